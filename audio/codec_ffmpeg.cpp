// ADPCM, MP3, Nellymoser and Speex through FFmpeg's libavcodec.
#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/codec.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace audio {

namespace {

constexpr size_t kNellymoserBlockBytes = 64;

// The length of the MPEG audio layer III frame whose header starts at `p`, or 0 when no
// such header starts there.
size_t Mp3FrameBytes(const uint8_t* p, size_t available) {
    if (available < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return 0;
    const int version = (p[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (p[1] >> 1) & 3;    // 1: layer III
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
    static constexpr int kMpeg1Kbps[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr int kMpeg2Kbps[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static constexpr int kRates[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int kbps = mpeg1 ? kMpeg1Kbps[bitrateIndex] : kMpeg2Kbps[bitrateIndex];
    const int padding = (p[2] >> 1) & 1;
    return static_cast<size_t>((mpeg1 ? 144000 : 72000) * kbps / rate + padding);
}

int16_t FromFloat(float v) {
    return static_cast<int16_t>(std::clamp<long>(std::lrintf(v * 32768.0f), -32768, 32767));
}

int16_t SampleOf(const AVFrame* f, int channel, int i) {
    const int channels = f->ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(f->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const uint8_t* plane = planar ? f->extended_data[channel] : f->extended_data[0];
    const size_t index = planar ? static_cast<size_t>(i) : static_cast<size_t>(i) * channels + channel;
    switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8: return static_cast<int16_t>((plane[index] - 128) * 256);
        case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t*>(plane)[index];
        case AV_SAMPLE_FMT_S32: return static_cast<int16_t>(reinterpret_cast<const int32_t*>(plane)[index] >> 16);
        case AV_SAMPLE_FMT_FLT: return FromFloat(reinterpret_cast<const float*>(plane)[index]);
        case AV_SAMPLE_FMT_DBL: return FromFloat(static_cast<float>(reinterpret_cast<const double*>(plane)[index]));
        default: return 0;
    }
}

class CodecDecoder final : public Decoder {
public:
    ~CodecDecoder() override {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&context_);
    }

    bool open(const swf::SoundFormat& format, std::string& error) {
        format_ = format;
        AVCodecID id = AV_CODEC_ID_NONE;
        switch (format.format) {
            case swf::sound_format::kAdpcm: id = AV_CODEC_ID_ADPCM_SWF; break;
            case swf::sound_format::kMp3: id = AV_CODEC_ID_MP3; break;
            case swf::sound_format::kNellymoser16k:
            case swf::sound_format::kNellymoser8k:
            case swf::sound_format::kNellymoser: id = AV_CODEC_ID_NELLYMOSER; break;
            case swf::sound_format::kSpeex: id = AV_CODEC_ID_SPEEX; break;
            default: break;
        }
        av_log_set_level(AV_LOG_QUIET);  // what does not decode is reported by our own messages
        const AVCodec* codec = id != AV_CODEC_ID_NONE ? avcodec_find_decoder(id) : nullptr;
        if (codec == nullptr) {
            error = "the codec library has no decoder for sound format " + std::to_string(format.format);
            return false;
        }
        context_ = avcodec_alloc_context3(codec);
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (context_ == nullptr || packet_ == nullptr || frame_ == nullptr) {
            error = "out of memory opening a sound decoder";
            return false;
        }
        // Nellymoser and Speex are mono whatever the flag says.
        const bool mono = id == AV_CODEC_ID_NELLYMOSER || id == AV_CODEC_ID_SPEEX;
        context_->sample_rate = static_cast<int>(format.sampleRate());
        av_channel_layout_default(&context_->ch_layout, mono ? 1 : format.channels());
        if (avcodec_open2(context_, codec, nullptr) < 0) {
            error = std::string("the ") + codec->name + " decoder does not open";
            return false;
        }
        return true;
    }

    bool decode(const uint8_t* data, size_t size, Pcm& out, std::string& error) override {
        bool ok = true;
        if (format_.format == swf::sound_format::kMp3) {
            // One packet a frame; bytes between frames are skipped.
            size_t at = 0;
            while (at < size && ok) {
                const size_t bytes = Mp3FrameBytes(data + at, size - at);
                if (bytes == 0 || bytes > size - at) {
                    ++at;
                    continue;
                }
                ok = sendPacket(data + at, bytes, out, error);
                at += bytes;
            }
        } else if (format_.format == swf::sound_format::kNellymoser16k ||
                   format_.format == swf::sound_format::kNellymoser8k ||
                   format_.format == swf::sound_format::kNellymoser) {
            for (size_t at = 0; at + kNellymoserBlockBytes <= size && ok; at += kNellymoserBlockBytes) {
                ok = sendPacket(data + at, kNellymoserBlockBytes, out, error);
            }
        } else if (size > 0) {
            ok = sendPacket(data, size, out, error);
        }
        return ok;
    }

private:
    // False only when decoding must stop (the limit); a packet that does not decode is
    // skipped with its reason kept.
    bool sendPacket(const uint8_t* data, size_t size, Pcm& out, std::string& error) {
        // The library reads a little past a packet's end: give it padding.
        padded_.assign(data, data + size);
        padded_.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        packet_->data = padded_.data();
        packet_->size = static_cast<int>(size);
        if (avcodec_send_packet(context_, packet_) < 0) {
            error = "a packet of sound does not decode";
            return true;
        }
        while (avcodec_receive_frame(context_, frame_) >= 0) {
            const bool kept = append(frame_, out, error);
            av_frame_unref(frame_);
            if (!kept) return false;
        }
        return true;
    }

    bool append(const AVFrame* f, Pcm& out, std::string& error) {
        const int channels = f->ch_layout.nb_channels;
        if (channels <= 0 || f->nb_samples <= 0) return true;
        if (out.samples.empty()) {
            // The sound is what its first frame says it is.
            out.channels = static_cast<uint8_t>(std::min(channels, 2));
            if (f->sample_rate > 0) out.rate = static_cast<uint32_t>(f->sample_rate);
        }
        const size_t count = static_cast<size_t>(f->nb_samples) * out.channels;
        if (out.samples.size() + count > limitSamples()) {
            error = "the sound is longer than the decoding limit";
            return false;
        }
        out.samples.reserve(out.samples.size() + count);
        for (int i = 0; i < f->nb_samples; ++i) {
            for (int c = 0; c < out.channels; ++c) out.samples.push_back(SampleOf(f, std::min(c, channels - 1), i));
        }
        return true;
    }

    swf::SoundFormat format_;
    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    std::vector<uint8_t> padded_;
};

}  // namespace

std::unique_ptr<Decoder> OpenCodecDecoder(const swf::SoundFormat& format, std::string& error) {
    auto decoder = std::make_unique<CodecDecoder>();
    if (!decoder->open(format, error)) return nullptr;
    return decoder;
}

bool HasCodecLibrary() { return true; }

}  // namespace audio
