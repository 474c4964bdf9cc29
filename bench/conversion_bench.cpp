// Converts the demo movie into an AVI file, every frame, through the converter's own loop, and
// prints per frame size and pipeline:
//   convert SIZE PIPELINE FPS fps  step MS  draw MS  compose MS  write MS   (milliseconds per frame)
// Pipelines:
//   transparent  the portable converter's: one transparent draw straight into the frame
//   two-render   the Windows capture's: the player control draws the frame over white and over
//                black (each a transparent draw laid over the colour), then the alpha
//                composition of the two gives the frame
// "write" is the RIFF writer appending the frame to a file in the temporary folder (removed
// afterwards). Each pipeline runs kRuns times; the fastest run is printed, the figure least
// disturbed by other work on the machine.
//
// Then every core and the other formats, at 1920x1080 (straight alpha, as the converter writes):
//   threads 1920x1080 avi  1 thread FPS fps  2 threads FPS fps: x RATIO
//   format 1920x1080 NAME  FPS fps  MB MB a second of video  (against AVI MB)
// the AVI written with the writing on a thread of its own beside the drawing, and ProRes 4444,
// FFV1 and VP9 through the encoders (two threads), each file's size over the video's length.
//
// Then the cost of sound: the same movie with an MP3 stream (128 kb/s stereo, encoded by
// ffmpeg) loaded and converted with its sound, against the movie without it:
//   sound SIZE mp3-stream FPS fps against FPS fps: +PERCENT %  (sound MS ms a frame)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "base/inflate.h"
#include "convert/conversion.h"
#include "convert/two_render.h"
#include "encode/av_sink.h"
#include "encode/formats.h"
#include "support/demo_movie.h"
#include "support/ffmpeg_tools.h"
#include "support/swf_builder.h"
#include "support/temp_dir.h"
#include "swf/swf_header.h"
#include "swf/tags.h"

namespace {

constexpr int kRuns = 5;

// The movie's tags with a stream of MP3 frames: its head first, then before each ShowFrame
// the frames that start before that frame ends (1152 samples each at 44.1 kHz).
std::string WithMp3Stream(const std::string& stored, const std::vector<std::vector<uint8_t>>& mp3, uint16_t rate88) {
    // The movie uncompressed: its header, then the inflated body.
    std::string movie = stored;
    if (stored[0] == 'C') {
        const auto* s = reinterpret_cast<const uint8_t*>(stored.data());
        const size_t length = s[4] | s[5] << 8 | s[6] << 16 | static_cast<size_t>(s[7]) << 24;
        std::vector<uint8_t> body;
        if (!base::InflateZlib(s + 8, stored.size() - 8, length - 8, body)) return {};
        movie = "F" + stored.substr(1, 7) + std::string(body.begin(), body.end());
    }
    const auto* b = reinterpret_cast<const uint8_t*>(movie.data());
    const size_t rectBits = b[8] >> 3;
    const size_t tagsAt = 8 + (5 + 4 * rectBits + 7) / 8 + 4;
    std::vector<uint8_t> out(b, b + tagsAt);
    testing_support::AppendBytes(out, testing_support::SoundStreamHeadTag({2, 3, true, true}, 1838));
    const double perFrame = 44100.0 * 256 / rate88;
    size_t at = tagsAt, next = 0;
    uint64_t started = 0;
    for (int frame = 0; at + 2 <= movie.size();) {
        const uint16_t head = static_cast<uint16_t>(b[at] | b[at + 1] << 8);
        size_t length = head & 0x3F, header = 2;
        if (length == 0x3F) {
            length = b[at + 2] | b[at + 3] << 8 | b[at + 4] << 16 | static_cast<size_t>(b[at + 5]) << 24;
            header = 6;
        }
        if (head >> 6 == swf::tag::kShowFrame) {
            std::vector<uint8_t> block;
            uint16_t samples = 0;
            while (next < mp3.size() && static_cast<double>(started) < (frame + 1) * perFrame) {
                block.insert(block.end(), mp3[next].begin(), mp3[next].end());
                started += 1152;
                samples = static_cast<uint16_t>(samples + 1152);
                ++next;
            }
            if (!block.empty()) testing_support::AppendBytes(out, testing_support::Mp3StreamBlockTag(samples, 0, block));
            ++frame;
        }
        out.insert(out.end(), b + at, b + at + header + length);
        at += header + length;
    }
    const uint32_t size = static_cast<uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(size >> (8 * i));
    return std::string(out.begin(), out.end());
}

// Every frame of the engine's movie at w x h into `path`, at the movie's exact rate.
convert::Job WholeMovie(const movie::Engine& engine, const swf::SwfFile& file, int w, int h, const std::string& path) {
    const swf::ExactRate rate = swf::ExactFrameRate(file.frameRate88);
    convert::Job job;
    job.output = path;
    job.width = w;
    job.height = h;
    job.last = engine.totalFrames() - 1;
    job.framePeriodMs = 1000 * static_cast<int32_t>(rate.scale) / static_cast<int32_t>(rate.rate);
    job.rate = rate.rate;
    job.scale = rate.scale;
    return job;
}

// The fastest of kRuns conversions of the movie's every frame at w x h, each by an engine
// that loads the movie afresh (so that decoding its sound is counted every time).
bool BestConversion(const std::string& bytes, int w, int h, bool audio, const std::string& path, convert::Timings& best) {
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        swf::SwfFile file;
        std::string error;
        movie::Engine engine;
        if (!swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error) ||
            !engine.load(file, error)) {
            std::fprintf(stderr, "conversion bench: a movie does not load: %s\n", error.c_str());
            return false;
        }
        convert::Job job = WholeMovie(engine, file, w, h, path);
        job.audio = audio;
        convert::Outcome outcome = convert::ConvertToAvi(engine, job);
        // Loading counts: it decodes the first frame's sound.
        outcome.timings.total = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::error_code ec;
        std::filesystem::remove(path, ec);
        if (outcome.status != convert::Outcome::Status::kDone || outcome.written != job.last + 1 || outcome.sound != audio) {
            std::fprintf(stderr, "conversion bench: converting into %s failed\n", path.c_str());
            return false;
        }
        if (run == 0 || outcome.timings.total < best.total) best = outcome.timings;
    }
    return true;
}

// One conversion of the whole movie at w x h into `path` (by its extension and `codec`), on
// `threads` threads; false when it fails. The file is left for its size.
bool ConvertOnce(movie::Engine& engine, const swf::SwfFile& file, int w, int h, const std::string& path,
                 const std::string& codec, int threads, convert::Outcome& outcome) {
    const swf::ExactRate rate = swf::ExactFrameRate(file.frameRate88);
    convert::Job job = WholeMovie(engine, file, w, h, path);
    job.threads = threads;
    encode::Choice choice;
    std::string error;
    if (!encode::Choose(path, "", codec, choice, error)) {
        std::fprintf(stderr, "conversion bench: %s\n", error.c_str());
        return false;
    }
    if (choice.ownAviWriter) {
        outcome = convert::ConvertToAvi(engine, job);
    } else {
        encode::SinkSettings settings;
        settings.path = path;
        settings.choice = choice;
        settings.width = w;
        settings.height = h;
        settings.rate = rate.rate;
        settings.scale = rate.scale;
        settings.threads = threads;
        const std::unique_ptr<convert::FrameSink> sink = encode::OpenSink(settings, error);
        if (sink == nullptr) {
            std::fprintf(stderr, "conversion bench: %s\n", error.c_str());
            return false;
        }
        outcome = convert::Convert(engine, job, *sink);
    }
    if (outcome.status != convert::Outcome::Status::kDone || outcome.written != job.last + 1) {
        std::fprintf(stderr, "conversion bench: converting into %s failed: %s\n", path.c_str(), outcome.error.c_str());
        return false;
    }
    return true;
}

// The AVI on one thread and on two, then the other formats, at full HD.
int ThreadsAndFormats(movie::Engine& engine, const swf::SwfFile& file) {
    testing_support::TempDir dir;
    const int w = 1920, h = 1080, frames = engine.totalFrames();
    const double seconds = frames * 256.0 / file.frameRate88;
    double best[3] = {0, 0, 0};
    for (int threads : {1, 2}) {
        for (int run = 0; run < kRuns; ++run) {
            convert::Outcome outcome;
            if (!ConvertOnce(engine, file, w, h, dir.file("threads.avi"), "", threads, outcome)) return 1;
            const double fps = frames * 1000.0 / outcome.timings.total;
            best[threads] = std::max(best[threads], fps);
        }
    }
    std::printf("threads %dx%d avi  1 thread %7.1f fps  2 threads %7.1f fps: x %.2f\n", w, h, best[1], best[2],
                best[2] / best[1]);
    const double aviMb = static_cast<double>(std::filesystem::file_size(dir.file("threads.avi"))) / 1e6 / seconds;
    const struct {
        const char* name;
        const char* file;
    } formats[] = {{"prores", "f.mov"}, {"ffv1", "f.mkv"}, {"vp9", "f.webm"}};
    for (const auto& f : formats) {
        convert::Outcome outcome;
        if (!ConvertOnce(engine, file, w, h, dir.file(f.file), f.name, 2, outcome)) return 1;
        const double mb = static_cast<double>(std::filesystem::file_size(dir.file(f.file))) / 1e6 / seconds;
        std::printf("format %dx%d %-7s %7.1f fps  %8.2f MB a second of video  (against AVI %.1f MB)\n", w, h, f.name,
                    frames * 1000.0 / outcome.timings.total, mb, aviMb);
    }
    return 0;
}

// The demo movie with and without an MP3 stream.
int SoundCost(const std::string& movie, uint16_t rate88, int frames, const std::string& path) {
    testing_support::TempDir dir;
    const std::string flv = dir.file("stream.flv");
    std::string errors;
    std::vector<std::vector<uint8_t>> mp3;
    const std::string seconds = std::to_string(frames * 256.0 / rate88 + 0.5);
    if (!testing_support::RunFfmpeg("-f lavfi -i aevalsrc='0.3*sin(2*PI*440*t)|0.3*sin(2*PI*550*t)':s=44100:d=" + seconds +
                                        " -c:a libmp3lame -b:a 128k -f flv",
                                    flv, &errors) ||
        !testing_support::ReadFlvAudioPackets(flv, mp3)) {
        std::printf("sound: skipped, ffmpeg does not encode MP3 here (%s)\n", errors.c_str());
        return 0;
    }
    const std::string withSound = WithMp3Stream(movie, mp3, rate88);
    const int w = testing_support::kDemoWidth, h = testing_support::kDemoHeight;
    convert::Timings silent, sounding;
    if (!BestConversion(movie, w, h, false, path, silent) || !BestConversion(withSound, w, h, true, path, sounding)) return 1;
    const double silentFps = frames * 1000.0 / silent.total, soundFps = frames * 1000.0 / sounding.total;
    std::printf("sound %dx%d mp3-stream %7.1f fps against %7.1f fps: %+.1f %%  (mixing %.3f ms, stepping %.3f ms against "
                "%.3f ms a frame)\n",
                w, h, soundFps, silentFps, (silent.total > 0 ? (sounding.total / silent.total - 1) * 100 : 0),
                sounding.sound / frames, sounding.step / frames, silent.step / frames);
    return 0;
}

}  // namespace

int main() {
    const std::string bytes = testing_support::BuildDemoMovie();
    swf::SwfFile file;
    std::string error;
    movie::Engine engine;
    if (!swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error) ||
        !engine.load(file, error)) {
        std::fprintf(stderr, "conversion bench: the demo movie does not load: %s\n", error.c_str());
        return 1;
    }
    swf::MovieHeader header;
    header.frameRate = file.frameRate88 >> 8;
    header.frameRate88 = file.frameRate88;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("tevlin-conversion-bench-" + std::to_string(getpid()) + ".avi"))
            .string();
    const int frames = engine.totalFrames();
    const struct {
        int w, h;
    } sizes[] = {{testing_support::kDemoWidth, testing_support::kDemoHeight}, {1920, 1080}};
    for (const auto& size : sizes) {
        for (bool twoRender : {false, true}) {
            convert::TransparentFrames transparent;
            convert::TwoRenderFrames twoRenders;
            convert::Job job;
            job.output = path;
            job.width = size.w;
            job.height = size.h;
            job.first = 0;
            job.last = frames - 1;
            job.framePeriodMs = swf::FramePeriodMs(header);
            job.frames = twoRender ? static_cast<convert::FrameMaker*>(&twoRenders) : &transparent;
            convert::Timings best;
            for (int run = 0; run < kRuns; ++run) {
                const convert::Outcome outcome = convert::ConvertToAvi(engine, job);
                std::error_code ec;
                std::filesystem::remove(path, ec);
                if (outcome.status != convert::Outcome::Status::kDone || outcome.written != frames) {
                    std::fprintf(stderr, "conversion bench: writing %s failed\n", path.c_str());
                    return 1;
                }
                if (run == 0 || outcome.timings.total < best.total) best = outcome.timings;
            }
            std::printf("convert %dx%d %-11s %7.1f fps  step %5.2f ms  draw %6.2f ms  compose %5.2f ms  write %5.2f ms\n",
                        size.w, size.h, twoRender ? "two-render" : "transparent", frames * 1000.0 / best.total,
                        best.step / frames, best.draw / frames, best.compose / frames, best.write / frames);
        }
    }
    if (ThreadsAndFormats(engine, file) != 0) return 1;
    return SoundCost(bytes, file.frameRate88, frames, path);
}
