#include "encode/av_sink.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "raster/straight_alpha.h"

namespace encode {

namespace {

constexpr int kSourceRate = 44100;  // the engine's sound: 44.1 kHz stereo 16-bit
constexpr int kSourceChannels = 2;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The library's messages below errors are for its own developers.
void QuietLibrary() {
    static const bool once = [] {
        av_log_set_level(AV_LOG_ERROR);
        return true;
    }();
    (void)once;
}

// The threads of the encoders whose bitstream depends on how many they have (x264 splits its
// work by them, libvpx's row threading turns on above one): fixed, so that the file is the
// same whatever the conversion's own thread count.
constexpr int kFixedEncoderThreads = 4;

// Our constant-quality levels when none is asked: visually lossless for editing, small for
// the web.
constexpr int kDefaultVp9Crf = 24;

class AvSink final : public convert::FrameSink {
public:
    explicit AvSink(const SinkSettings& s) : s_(s) {}

    ~AvSink() override {
        if (format_ != nullptr && !closed_) {
            // Not closed: drop what is half made, but leave no open file behind.
            if (format_->pb != nullptr && !(format_->oformat->flags & AVFMT_NOFILE)) avio_closep(&format_->pb);
        }
        release();
    }

    bool open(std::string& error) {
        QuietLibrary();
        const bool toPipe = s_.path == "-";
        const std::string url = toPipe ? "pipe:1" : s_.path;
        int r = avformat_alloc_output_context2(&format_, nullptr, s_.choice.container->muxer, url.c_str());
        if (r < 0 || format_ == nullptr) return fail(error, "cannot make a " + std::string(s_.choice.container->name) + " file: " + AvError(r));
        // No random identifiers (Matroska's UIDs): the same movie makes the same file.
        format_->flags |= AVFMT_FLAG_BITEXACT;
        if (!openVideo(error)) return false;
        if (s_.audio && *s_.choice.container->audioCodec != '\0' && !openAudio(error)) return false;
        if (!(format_->oformat->flags & AVFMT_NOFILE)) {
            r = avio_open(&format_->pb, url.c_str(), AVIO_FLAG_WRITE);
            if (r < 0) return fail(error, "cannot create " + s_.path + ": " + AvError(r));
            createdFile_ = !toPipe;
        }
        AVDictionary* options = nullptr;
        if (std::strcmp(s_.choice.container->name, "image2") == 0) {
            av_dict_set_int(&options, "start_number", s_.firstNumber, 0);
        }
        r = avformat_write_header(format_, &options);
        av_dict_free(&options);
        if (r < 0) return fail(error, "cannot write the head of " + s_.path + ": " + AvError(r));
        headerWritten_ = true;
        return true;
    }

    bool bottomUp() const override { return false; }
    // Whether open() made the file (and so may remove it when it fails after).
    bool createdFile() const { return createdFile_; }

    bool write(const convert::SinkFrame& f) override {
        if (!error_.empty()) return false;
        const size_t count = static_cast<size_t>(s_.width) * static_cast<size_t>(s_.height);
        if (!s_.choice.codec->alpha) {
            raster::OverOpaqueColor(f.pixels, f.pixels, count, s_.background);
        } else if (s_.alpha == convert::Alpha::kStraight) {
            raster::UnpremultiplyPixels(f.pixels, f.pixels, count);
        }
        int r = av_frame_make_writable(picture_);
        if (r < 0) return failed("cannot make a frame: " + AvError(r));
        const auto* source = reinterpret_cast<const uint8_t*>(f.pixels);
        const int sourcePitch = s_.width * 4;
        if (picture_->format == AV_PIX_FMT_BGRA) {
            av_image_copy_plane(picture_->data[0], picture_->linesize[0], source, sourcePitch, sourcePitch, s_.height);
        } else if (picture_->format == AV_PIX_FMT_GBRAP) {
            // Split here: the scaler's planar path rounds alpha through 16 bits (128 becomes 129).
            for (int y = 0; y < s_.height; ++y) {
                const uint32_t* row = f.pixels + static_cast<size_t>(y) * s_.width;
                uint8_t* planes[4];
                for (int p = 0; p < 4; ++p) planes[p] = picture_->data[p] + static_cast<ptrdiff_t>(y) * picture_->linesize[p];
                for (int x = 0; x < s_.width; ++x) {
                    const uint32_t v = row[x];
                    planes[0][x] = static_cast<uint8_t>(v >> 8);   // green
                    planes[1][x] = static_cast<uint8_t>(v);        // blue
                    planes[2][x] = static_cast<uint8_t>(v >> 16);  // red
                    planes[3][x] = static_cast<uint8_t>(v >> 24);  // alpha
                }
            }
        } else {
            const uint8_t* planes[1] = {source};
            const int pitches[1] = {sourcePitch};
            sws_scale(scaler_, planes, pitches, 0, s_.height, picture_->data, picture_->linesize);
        }
        picture_->pts = frames_++;
        picture_->pkt_duration = 1;
        if (!encode(video_, videoStream_, picture_)) return false;
        if (audio_ != nullptr && !addSound(f.samples, f.sampleFrames)) return false;
        if (audio_ == nullptr && f.heard) soundLeftOut_ = true;
        return true;
    }

    bool close() override {
        if (closed_) return error_.empty();
        closed_ = true;
        if (headerWritten_) {
            if (error_.empty() && audio_ != nullptr) finishSound();
            if (error_.empty()) encode(video_, videoStream_, nullptr);
            const int r = av_write_trailer(format_);
            if (r < 0 && error_.empty()) error_ = "cannot complete " + s_.path + ": " + AvError(r);
        }
        if (format_->pb != nullptr && !(format_->oformat->flags & AVFMT_NOFILE)) {
            if (format_->pb->error < 0 && error_.empty()) error_ = "cannot write " + s_.path + ": " + AvError(format_->pb->error);
            const int r = avio_closep(&format_->pb);
            if (r < 0 && error_.empty()) error_ = "cannot close " + s_.path + ": " + AvError(r);
        }
        return error_.empty();
    }

    std::string error() const override { return error_; }
    bool hasSound() const override { return audio_ != nullptr; }
    bool soundLeftOut() const override { return soundLeftOut_; }

private:
    bool fail(std::string& error, const std::string& why) {
        error = why;
        return false;
    }
    bool failed(const std::string& why) {
        if (error_.empty()) error_ = why;
        return false;
    }

    bool openVideo(std::string& error) {
        const CodecInfo& info = *s_.choice.codec;
        const AVCodec* codec = avcodec_find_encoder_by_name(info.encoder);
        if (codec == nullptr) return fail(error, std::string("this build's libavcodec has no ") + info.encoder + " encoder");
        videoStream_ = avformat_new_stream(format_, nullptr);
        video_ = avcodec_alloc_context3(codec);
        if (videoStream_ == nullptr || video_ == nullptr) return fail(error, "out of memory");
        const AVPixelFormat pixels = av_get_pix_fmt(info.pixelFormat);
        video_->width = s_.width;
        video_->height = s_.height;
        video_->pix_fmt = pixels;
        video_->time_base = AVRational{static_cast<int>(s_.scale), static_cast<int>(s_.rate)};
        video_->framerate = AVRational{static_cast<int>(s_.rate), static_cast<int>(s_.scale)};
        video_->sample_aspect_ratio = AVRational{1, 1};
        video_->thread_count = info.threadsShapeOutput ? kFixedEncoderThreads : std::max(1, s_.threads);
        if (format_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        const bool yuv = (av_pix_fmt_desc_get(pixels)->flags & AV_PIX_FMT_FLAG_RGB) == 0;
        if (yuv) {
            video_->colorspace = AVCOL_SPC_BT709;
            video_->color_primaries = AVCOL_PRI_BT709;
            video_->color_trc = AVCOL_TRC_BT709;
            video_->color_range = AVCOL_RANGE_MPEG;
        }
        AVDictionary* options = nullptr;
        const std::string name = info.name;
        if (name == "prores") {
            av_dict_set(&options, "profile", "4444", 0);
            av_dict_set(&options, "vendor", "apl0", 0);
        } else if (name == "ffv1") {
            // Version 3 with a fixed number of slices: coded in parallel, and the same file
            // whatever the number of threads.
            av_dict_set(&options, "level", "3", 0);
            video_->slices = 4;
        } else if (name == "utvideo") {
            video_->slices = 4;
        } else if (name == "vp9") {
            av_dict_set_int(&options, "crf", s_.crf >= 0 ? s_.crf : kDefaultVp9Crf, 0);
            if (s_.bitrate == 0) video_->bit_rate = 0;  // constant quality
            av_dict_set(&options, "deadline", "good", 0);
            av_dict_set(&options, "cpu-used", "4", 0);
            av_dict_set(&options, "row-mt", "1", 0);
        } else if (name == "h264") {
            if (s_.crf >= 0) av_dict_set_int(&options, "crf", s_.crf, 0);
        }
        if (s_.bitrate > 0) video_->bit_rate = s_.bitrate;
        const int r = avcodec_open2(video_, codec, &options);
        av_dict_free(&options);
        if (r < 0) return fail(error, std::string("cannot start the ") + info.encoder + " encoder: " + AvError(r));
        if (avcodec_parameters_from_context(videoStream_->codecpar, video_) < 0) return fail(error, "out of memory");
        videoStream_->time_base = video_->time_base;
        videoStream_->avg_frame_rate = video_->framerate;
        videoStream_->r_frame_rate = video_->framerate;
        videoStream_->sample_aspect_ratio = video_->sample_aspect_ratio;

        picture_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (picture_ == nullptr || packet_ == nullptr) return fail(error, "out of memory");
        picture_->format = pixels;
        picture_->width = s_.width;
        picture_->height = s_.height;
        // Some encoders (ProRes) write the colour description from the frame's.
        picture_->colorspace = video_->colorspace;
        picture_->color_primaries = video_->color_primaries;
        picture_->color_trc = video_->color_trc;
        picture_->color_range = video_->color_range;
        if (av_frame_get_buffer(picture_, 0) < 0) return fail(error, "out of memory for a frame");
        if (pixels != AV_PIX_FMT_BGRA && pixels != AV_PIX_FMT_GBRAP) {
            scaler_ = sws_getContext(s_.width, s_.height, AV_PIX_FMT_BGRA, s_.width, s_.height, pixels,
                                     SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP | SWS_BITEXACT, nullptr, nullptr,
                                     nullptr);
            if (scaler_ == nullptr) return fail(error, std::string("cannot convert frames to ") + info.pixelFormat);
            if (yuv) {
                const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
                int* inverse = nullptr;
                int* table = nullptr;
                int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
                sws_getColorspaceDetails(scaler_, &inverse, &srcRange, &table, &dstRange, &brightness, &contrast,
                                         &saturation);
                sws_setColorspaceDetails(scaler_, bt709, 1, bt709, 0, brightness, contrast, saturation);
            }
        }
        return true;
    }

    bool openAudio(std::string& error) {
        const char* encoder = s_.choice.container->audioCodec;
        const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
        if (codec == nullptr) return fail(error, std::string("this build's libavcodec has no ") + encoder + " encoder for the sound");
        audioStream_ = avformat_new_stream(format_, nullptr);
        audio_ = avcodec_alloc_context3(codec);
        if (audioStream_ == nullptr || audio_ == nullptr) return fail(error, "out of memory");
        // 16-bit samples where the codec takes them, else its first format.
        AVSampleFormat sampleFormat = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        for (const AVSampleFormat* f = codec->sample_fmts; f != nullptr && *f != AV_SAMPLE_FMT_NONE; ++f) {
            if (*f == AV_SAMPLE_FMT_S16) sampleFormat = *f;
        }
        // 44.1 kHz where the codec takes it (Opus does not: 48 kHz).
        int rate = kSourceRate;
        if (codec->supported_samplerates != nullptr) {
            rate = 0;
            for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
                if (*r == kSourceRate || (rate == 0 && *r == 48000)) rate = *r;
            }
            if (rate == 0) rate = codec->supported_samplerates[0];
        }
        audio_->sample_fmt = sampleFormat;
        audio_->sample_rate = rate;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        av_channel_layout_copy(&audio_->ch_layout, &stereo);
        audio_->time_base = AVRational{1, rate};
        if (std::strcmp(encoder, "aac") == 0) audio_->bit_rate = 192000;
        if (std::strcmp(encoder, "libopus") == 0) audio_->bit_rate = 160000;
        if (format_->oformat->flags & AVFMT_GLOBALHEADER) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int r = avcodec_open2(audio_, codec, nullptr);
        if (r < 0) return fail(error, std::string("cannot start the ") + encoder + " encoder: " + AvError(r));
        if (avcodec_parameters_from_context(audioStream_->codecpar, audio_) < 0) return fail(error, "out of memory");
        audioStream_->time_base = audio_->time_base;

        r = swr_alloc_set_opts2(&resampler_, &audio_->ch_layout, sampleFormat, rate, &stereo, AV_SAMPLE_FMT_S16,
                                kSourceRate, 0, nullptr);
        if (r < 0 || swr_init(resampler_) < 0) return fail(error, "cannot convert the sound for " + std::string(encoder));
        fifo_ = av_audio_fifo_alloc(sampleFormat, kSourceChannels, 4096);
        chunk_ = av_frame_alloc();
        if (fifo_ == nullptr || chunk_ == nullptr) return fail(error, "out of memory");
        return true;
    }

    // Sends a frame (null: the end) and writes the packets it gives.
    bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
        int r = avcodec_send_frame(codec, frame);
        if (r < 0 && r != AVERROR_EOF) return failed(std::string("encoding failed: ") + AvError(r));
        while (true) {
            r = avcodec_receive_packet(codec, packet_);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return failed(std::string("encoding failed: ") + AvError(r));
            if (codec == video_ && packet_->duration == 0) packet_->duration = 1;
            av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
            packet_->stream_index = stream->index;
            // The muxer takes the packet's data and leaves it empty for the next one.
            r = av_interleaved_write_frame(format_, packet_);
            if (r < 0) return failed("cannot write " + s_.path + ": " + AvError(r));
        }
    }

    // Converts the engine's samples to the codec's and encodes whole codec frames of them.
    bool addSound(const int16_t* samples, size_t count) {
        const int out = swr_get_out_samples(resampler_, static_cast<int>(count));
        if (out < 0) return failed("cannot convert the sound");
        if (!resample(reinterpret_cast<const uint8_t*>(samples), static_cast<int>(count), out)) return false;
        return drainFifo(false);
    }

    bool resample(const uint8_t* in, int count, int room) {
        if (room <= 0) return true;
        // The converted samples' buffer, grown when a frame needs more room, kept for the next.
        if (room > convertedRoom_) {
            if (converted_ != nullptr) av_freep(&converted_[0]);
            av_freep(&converted_);
            convertedRoom_ = 0;
            if (av_samples_alloc_array_and_samples(&converted_, nullptr, kSourceChannels, room, audio_->sample_fmt, 0) < 0) {
                return failed("out of memory for the sound");
            }
            convertedRoom_ = room;
        }
        const uint8_t* inputs[1] = {in};
        const int got = swr_convert(resampler_, converted_, room, in != nullptr ? inputs : nullptr, count);
        bool ok = got >= 0;
        if (ok && got > 0) ok = av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_), got) == got;
        return ok ? true : failed("cannot convert the sound");
    }

    // Encodes the samples waiting: whole codec frames, and at the end what is left.
    bool drainFifo(bool end) {
        const int frameSize = audio_->frame_size > 0 ? audio_->frame_size : 0;
        while (true) {
            const int waiting = av_audio_fifo_size(fifo_);
            if (waiting == 0 || (!end && frameSize > 0 && waiting < frameSize)) return true;
            const int take = frameSize > 0 ? std::min(waiting, frameSize) : waiting;
            av_frame_unref(chunk_);
            chunk_->nb_samples = take;
            chunk_->format = audio_->sample_fmt;
            chunk_->sample_rate = audio_->sample_rate;
            if (av_channel_layout_copy(&chunk_->ch_layout, &audio_->ch_layout) < 0 || av_frame_get_buffer(chunk_, 0) < 0) {
                return failed("out of memory for the sound");
            }
            if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(chunk_->data), take) != take) {
                return failed("cannot convert the sound");
            }
            chunk_->pts = samplesSent_;
            samplesSent_ += take;
            if (!encode(audio_, audioStream_, chunk_)) return false;
        }
    }

    void finishSound() {
        const int left = swr_get_out_samples(resampler_, 0);
        if (left > 0 && !resample(nullptr, 0, left)) return;
        if (!drainFifo(true)) return;
        encode(audio_, audioStream_, nullptr);
    }

    void release() {
        if (converted_ != nullptr) av_freep(&converted_[0]);
        av_freep(&converted_);
        av_packet_free(&packet_);
        sws_freeContext(scaler_);
        swr_free(&resampler_);
        if (fifo_ != nullptr) av_audio_fifo_free(fifo_);
        av_frame_free(&picture_);
        av_frame_free(&chunk_);
        avcodec_free_context(&video_);
        avcodec_free_context(&audio_);
        if (format_ != nullptr) avformat_free_context(format_);
        format_ = nullptr;
    }

    SinkSettings s_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* audio_ = nullptr;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    SwsContext* scaler_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    AVFrame* picture_ = nullptr;
    AVFrame* chunk_ = nullptr;
    AVPacket* packet_ = nullptr;
    uint8_t** converted_ = nullptr;  // planes of converted samples, room for convertedRoom_ of them
    int convertedRoom_ = 0;
    int64_t frames_ = 0, samplesSent_ = 0;
    bool headerWritten_ = false, closed_ = false, createdFile_ = false, soundLeftOut_ = false;
    std::string error_;
};

}  // namespace

std::string LibraryVersions() {
    auto version = [](const char* name, unsigned v) {
        return std::string(name) + " " + std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." +
               std::to_string(v & 0xFF);
    };
    return version("libavcodec", avcodec_version()) + ", " + version("libavformat", avformat_version()) + ", " +
           version("libswscale", swscale_version()) + ", " + version("libswresample", swresample_version());
}

bool HaveEncoder(const CodecInfo& codec) { return avcodec_find_encoder_by_name(codec.encoder) != nullptr; }

bool HaveAudioEncoder(const ContainerInfo& container) {
    return *container.audioCodec == '\0' || avcodec_find_encoder_by_name(container.audioCodec) != nullptr;
}

std::unique_ptr<convert::FrameSink> OpenSink(const SinkSettings& settings, std::string& error) {
    auto sink = std::make_unique<AvSink>(settings);
    if (!sink->open(error)) {
        // A file it made and could not start is not left behind half made.
        const bool made = sink->createdFile();
        sink.reset();
        if (made) std::remove(settings.path.c_str());
        return nullptr;
    }
    return sink;
}

}  // namespace encode
