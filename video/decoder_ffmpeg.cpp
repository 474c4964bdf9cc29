// Embedded video through FFmpeg's libavcodec, converted to BGRA by libswscale.
#include <algorithm>
#include <cstring>
#include <vector>

#include "swf/video_tags.h"
#include "video/deblock.h"
#include "video/decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace video {

namespace {

class CodecDecoder final : public Decoder {
public:
    ~CodecDecoder() override {
        sws_freeContext(scaler_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&context_);
    }

    bool open(uint8_t codec, uint8_t deblocking, std::string& error) {
        av_log_set_level(AV_LOG_QUIET);
        sorenson_ = codec == swf::video_codec::kSorensonH263;
        deblocking_ = deblocking;
        AVCodecID id = AV_CODEC_ID_NONE;
        bool cropByte = false;  // VP6 in FLV files carries a crop byte the decoder takes as extradata
        switch (codec) {
            case swf::video_codec::kSorensonH263: id = AV_CODEC_ID_FLV1; break;
            case swf::video_codec::kScreenVideo: id = AV_CODEC_ID_FLASHSV; break;
            case swf::video_codec::kVp6: id = AV_CODEC_ID_VP6F, cropByte = true; break;
            case swf::video_codec::kVp6Alpha: id = AV_CODEC_ID_VP6A, cropByte = true; break;
            case swf::video_codec::kScreenVideo2: id = AV_CODEC_ID_FLASHSV2; break;
            default: break;
        }
        const AVCodec* decoder = id != AV_CODEC_ID_NONE ? avcodec_find_decoder(id) : nullptr;
        if (decoder == nullptr) {
            error = "no decoder for video codec " + std::to_string(codec);
            return false;
        }
        context_ = avcodec_alloc_context3(decoder);
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (context_ == nullptr || packet_ == nullptr || frame_ == nullptr) {
            error = "out of memory opening a video decoder";
            return false;
        }
        if (cropByte) {
            context_->extradata = static_cast<uint8_t*>(av_mallocz(1 + AV_INPUT_BUFFER_PADDING_SIZE));
            if (context_->extradata == nullptr) return false;
            context_->extradata_size = 1;
        }
        context_->thread_count = 1;  // the same pictures on every machine
        if (avcodec_open2(context_, decoder, nullptr) < 0) {
            error = std::string("the ") + decoder->name + " decoder does not open";
            return false;
        }
        return true;
    }

    bool decode(const uint8_t* data, size_t size, image::Picture& out, std::string& error) override {
        padded_.assign(data, data + size);
        padded_.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        packet_->data = padded_.data();
        packet_->size = static_cast<int>(size);
        if (avcodec_send_packet(context_, packet_) < 0) {
            error = "a frame of video does not decode";
            return false;
        }
        // The filter's strength for this picture, or 0 for none.
        SorensonPictureInfo picture;
        const int strength = sorenson_ && ReadSorensonPicture(data, size, picture) && SorensonDeblocks(deblocking_, picture)
                                 ? DeblockStrength(picture.quantizer)
                                 : 0;
        bool got = false;
        while (avcodec_receive_frame(context_, frame_) >= 0) {
            got = convert(frame_, strength, out, error) || got;
            av_frame_unref(frame_);
        }
        if (!got && error.empty()) error = "a frame of video gave no picture";
        return got;
    }

private:
    // Copies the picture's planes and filters the copies: the decoder keeps its own as the
    // reference for the next frames. Rows are whole 64-byte blocks with a spare block at the
    // end, as the scaler's vector code reads past a row's last pixel.
    void deblock(const AVFrame* f, int strength, const uint8_t* planes[3], int strides[3]) {
        size_t offsets[3] = {};
        int widths[3] = {}, heights[3] = {};
        size_t total = 0;
        for (int i = 0; i < 3; ++i) {
            widths[i] = i == 0 ? f->width : (f->width + 1) / 2;
            heights[i] = i == 0 ? f->height : (f->height + 1) / 2;
            strides[i] = (widths[i] + 63) / 64 * 64;
            offsets[i] = total;
            total += static_cast<size_t>(strides[i]) * static_cast<size_t>(heights[i]);
        }
        filtered_.resize(total + 64);  // kept from frame to frame: every byte read is written first or padding
        for (int i = 0; i < 3; ++i) {
            const int w = widths[i], h = heights[i];
            uint8_t* plane = filtered_.data() + offsets[i];
            for (int y = 0; y < h; ++y) {
                std::memcpy(plane + static_cast<size_t>(y) * static_cast<size_t>(strides[i]),
                            f->data[i] + static_cast<ptrdiff_t>(y) * f->linesize[i], static_cast<size_t>(w));
            }
            DeblockPlane(plane, w, h, strides[i], strength);
            planes[i] = plane;
        }
    }

    bool convert(const AVFrame* f, int strength, image::Picture& out, std::string& error) {
        if (!image::PictureSizeAllowed(f->width, f->height, "video frame", error)) return false;
        const uint8_t* source[4] = {f->data[0], f->data[1], f->data[2], f->data[3]};
        int sourceStrides[4] = {f->linesize[0], f->linesize[1], f->linesize[2], f->linesize[3]};
        if (strength > 0 && f->format == AV_PIX_FMT_YUV420P) deblock(f, strength, source, sourceStrides);
        // Each pixel takes the nearest colour sample, converted at full precision per pixel:
        // the players' pictures to within a level or two.
        scaler_ = sws_getCachedContext(scaler_, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                       f->height, AV_PIX_FMT_BGRA, SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
        if (scaler_ == nullptr) {
            error = "the video's pixel format does not convert";
            return false;
        }
        // The scaler's vector code writes past the end of a row: rows of whole 64-byte
        // blocks with one spare row, copied out after.
        const int stride = (f->width * 4 + 63) / 64 * 64;
        scratch_.resize(static_cast<size_t>(stride) * static_cast<size_t>(f->height + 1) + 64);
        uint8_t* aligned = scratch_.data() + (64 - reinterpret_cast<uintptr_t>(scratch_.data()) % 64) % 64;
        uint8_t* planes[4] = {aligned, nullptr, nullptr, nullptr};
        int strides[4] = {stride, 0, 0, 0};
        sws_scale(scaler_, source, sourceStrides, 0, f->height, planes, strides);
        out.width = f->width;
        out.height = f->height;
        out.pixels.resize(static_cast<size_t>(f->width) * static_cast<size_t>(f->height));
        for (int y = 0; y < f->height; ++y) {
            std::memcpy(out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(f->width),
                        aligned + static_cast<size_t>(y) * static_cast<size_t>(stride), static_cast<size_t>(f->width) * 4);
        }
        // VP6 with alpha: the players take the colour planes as already multiplied by the
        // alpha plane (over white a pixel shows its colour plus white times one less its
        // alpha); colour brighter than its alpha is held to it, where their sums saturate.
        const bool alpha = f->format == AV_PIX_FMT_YUVA420P;
        for (uint32_t& p : out.pixels) {
            const uint32_t a = alpha ? p >> 24 : 255;
            if (a == 255) {
                p |= 0xFF000000u;
                continue;
            }
            auto hold = [a](uint32_t c) { return std::min(c, a); };
            p = a << 24 | hold(p >> 16 & 0xFF) << 16 | hold(p >> 8 & 0xFF) << 8 | hold(p & 0xFF);
        }
        return true;
    }

    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwsContext* scaler_ = nullptr;
    std::vector<uint8_t> padded_;
    std::vector<uint8_t> scratch_;
    std::vector<uint8_t> filtered_;
    bool sorenson_ = false;
    uint8_t deblocking_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> OpenDecoder(uint8_t codec, uint8_t deblocking, std::string& error) {
    auto decoder = std::make_unique<CodecDecoder>();
    if (!decoder->open(codec, deblocking, error)) return nullptr;
    return decoder;
}

bool HasCodecLibrary() { return true; }

}  // namespace video
