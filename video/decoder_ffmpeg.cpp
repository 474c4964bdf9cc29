// Embedded video through FFmpeg's libavcodec, converted to BGRA by libswscale.
#include <algorithm>
#include <cstring>
#include <vector>

#include "swf/video_tags.h"
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

    bool open(uint8_t codec, std::string& error) {
        av_log_set_level(AV_LOG_QUIET);
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
        bool got = false;
        while (avcodec_receive_frame(context_, frame_) >= 0) {
            got = convert(frame_, out, error) || got;
            av_frame_unref(frame_);
        }
        if (!got && error.empty()) error = "a frame of video gave no picture";
        return got;
    }

private:
    bool convert(const AVFrame* f, image::Picture& out, std::string& error) {
        if (!image::PictureSizeAllowed(f->width, f->height, "video frame", error)) return false;
        scaler_ = sws_getCachedContext(scaler_, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                       f->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
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
        sws_scale(scaler_, f->data, f->linesize, 0, f->height, planes, strides);
        out.width = f->width;
        out.height = f->height;
        out.pixels.resize(static_cast<size_t>(f->width) * static_cast<size_t>(f->height));
        for (int y = 0; y < f->height; ++y) {
            std::memcpy(out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(f->width),
                        aligned + static_cast<size_t>(y) * static_cast<size_t>(stride), static_cast<size_t>(f->width) * 4);
        }
        const bool alpha = f->format == AV_PIX_FMT_YUVA420P;
        for (uint32_t& p : out.pixels) {
            const uint32_t a = alpha ? p >> 24 : 255;
            if (a == 255) {
                p |= 0xFF000000u;
                continue;
            }
            auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
            p = a << 24 | scale(p >> 16 & 0xFF) << 16 | scale(p >> 8 & 0xFF) << 8 | scale(p & 0xFF);
        }
        return true;
    }

    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwsContext* scaler_ = nullptr;
    std::vector<uint8_t> padded_;
    std::vector<uint8_t> scratch_;
};

}  // namespace

std::unique_ptr<Decoder> OpenDecoder(uint8_t codec, std::string& error) {
    auto decoder = std::make_unique<CodecDecoder>();
    if (!decoder->open(codec, error)) return nullptr;
    return decoder;
}

bool HasCodecLibrary() { return true; }

}  // namespace video
