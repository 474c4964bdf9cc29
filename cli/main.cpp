// tevlin: the portable command-line converter.
//
//   tevlin info MOVIE
//   tevlin render MOVIE -o OUT.png [--frame N] [--size WxH] [--transparent] [--quality low|high] [--trace FILE]
//   tevlin convert MOVIE [-o OUT.avi] [--size WxH] [--frames FIRST-LAST | --duration TIME] [--max-frames N]
//                  [--quality low|high] [--no-audio] [--trace FILE] [-y] [--quiet]
//
// The AVI holds the movie's sound beside its frames (PCM, 44.1 kHz stereo 16-bit) when the
// movie makes any; --no-audio (or ffmpeg's -an) leaves it out.
//
// --trace writes what the movie's scripts print with trace(), one line each ("-" for the
// standard output). What goes wrong in the scripts is reported on the standard error.
//
// Frame numbers count from 0: frame N is the display after N steps from the first frame. Frames
// past the movie's declared last one are the movie stepping on, as a player plays it: the main
// timeline loops unless a script stops it, and scripts keep running. convert writes the declared
// frames unless --frames or --duration ask for others; --duration takes seconds ("2.5") or
// [HH:]MM:SS[.frac] as ffmpeg's -t does, counted from FIRST.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "cli/png_writer.h"
#include "convert/conversion.h"
#include "movie/engine.h"
#include "swf/swf_header.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

constexpr int kMaxDimension = 16384;
constexpr int64_t kMaxFramePixels = 64ll * 1024 * 1024;  // 256 MB of pixels per frame

const char* kUsage =
    "usage: tevlin info MOVIE\n"
    "       tevlin render MOVIE -o OUT.png [--frame N] [--size WxH] [--transparent] [--quality low|high]\n"
    "                     [--trace FILE]\n"
    "       tevlin convert MOVIE [-o OUT.avi] [--size WxH] [--frames FIRST-LAST | --duration TIME]\n"
    "                     [--max-frames N] [--quality low|high] [--no-audio] [--trace FILE] [-y] [--quiet]\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "tevlin: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

int Fail(const std::string& problem) {
    std::fprintf(stderr, "tevlin: %s\n", problem.c_str());
    return 1;
}

struct Options {
    std::string movie, output, trace;
    int frame = 0;
    int width = 0, height = 0;  // 0: the stage size
    int first = 0, last = -1;   // -1: the last frame
    int maxFrames = -1;         // -1: no cap
    double duration = -1;       // seconds; -1: none given
    bool framesGiven = false;
    bool transparent = false, antiAlias = true, overwrite = false, quiet = false, audio = true;
};

bool ParseInt(const char* s, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end == s || *end != '\0' || v < 0 || v > 1000000000) return false;
    out = static_cast<int>(v);
    return true;
}

// A duration as ffmpeg takes it: seconds with an optional fraction ("90", "2.5") or
// [HH:]MM:SS[.frac] ("1:30", "00:01:30.5"). False for anything else or a negative time.
bool ParseDuration(const char* s, double& seconds) {
    double parts[3] = {0, 0, 0};
    int count = 0;
    const char* p = s;
    while (true) {
        if (count == 3 || !(*p >= '0' && *p <= '9')) return false;
        char* end = nullptr;
        parts[count++] = std::strtod(p, &end);
        // Only the last field may have a fraction; minutes and seconds after a colon stay below 60.
        const bool fraction = std::memchr(p, '.', static_cast<size_t>(end - p)) != nullptr;
        p = end;
        if (*p == '\0') break;
        if (*p != ':' || fraction) return false;
        ++p;
    }
    for (int k = 1; k < count; ++k) {
        if (parts[k] >= 60) return false;
    }
    seconds = 0;
    for (int k = 0; k < count; ++k) seconds = seconds * 60 + parts[k];
    return std::isfinite(seconds) && seconds <= 1e7;
}

// Parses the arguments after the command; an error message, or empty.
std::string ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)name;
            return argv[++i];
        };
        if (a == "-o") {
            const char* v = value("-o");
            if (!v) return "-o needs a file name";
            o.output = v;
        } else if (a == "--frame") {
            const char* v = value("--frame");
            if (!v || !ParseInt(v, o.frame)) return "--frame needs a frame number from 0";
        } else if (a == "--size") {
            const char* v = value("--size");
            int w = 0, h = 0;
            char x = 0;
            if (!v || std::sscanf(v, "%d%c%d", &w, &x, &h) != 3 || (x != 'x' && x != 'X') || w <= 0 || h <= 0) {
                return "--size needs WIDTHxHEIGHT in pixels";
            }
            o.width = w;
            o.height = h;
        } else if (a == "--frames") {
            const char* v = value("--frames");
            int first = 0, last = 0;
            if (!v || std::sscanf(v, "%d-%d", &first, &last) != 2 || first < 0 || last < first) {
                return "--frames needs FIRST-LAST, frame numbers from 0 with FIRST <= LAST";
            }
            o.first = first;
            o.last = last;
            o.framesGiven = true;
        } else if (a == "--duration" || a == "-t") {
            const char* v = value("--duration");
            if (!v || !ParseDuration(v, o.duration) || o.duration <= 0) {
                return "--duration needs a time above 0: seconds (2.5) or [HH:]MM:SS[.frac]";
            }
        } else if (a == "--quality") {
            const char* v = value("--quality");
            if (!v || (std::strcmp(v, "low") != 0 && std::strcmp(v, "high") != 0)) return "--quality is low or high";
            o.antiAlias = std::strcmp(v, "high") == 0;
        } else if (a == "--max-frames") {
            const char* v = value("--max-frames");
            if (!v || !ParseInt(v, o.maxFrames) || o.maxFrames < 1) return "--max-frames needs a count from 1";
        } else if (a == "--trace") {
            const char* v = value("--trace");
            if (!v || !*v) return "--trace needs a file name, or - for the standard output";
            o.trace = v;
        } else if (a == "--transparent") {
            o.transparent = true;
        } else if (a == "-y") {
            o.overwrite = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--no-audio" || a == "-an") {
            o.audio = false;
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a;
        } else if (o.movie.empty()) {
            o.movie = a;
        } else {
            return "more than one movie: " + a;
        }
    }
    if (o.framesGiven && o.duration > 0) return "give --frames or --duration, not both";
    return o.movie.empty() ? "no movie given" : "";
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::exists(b, ec) && std::filesystem::equivalent(a, b, ec);
}

// The file trace() lines go to, open for the whole run.
struct TraceFile {
    FILE* file = nullptr;
    bool ours = false;
    ~TraceFile() {
        if (ours && file != nullptr) std::fclose(file);
    }
};

bool LoadMovie(const Options& o, swf::SwfFile& file, movie::Engine& player, TraceFile& trace, std::string& error) {
    if (!o.trace.empty()) {
        if (o.trace == "-") {
            trace.file = stdout;
        } else {
            if (SameFile(o.movie, o.trace) || (!o.output.empty() && (o.output == o.trace || SameFile(o.output, o.trace)))) {
                error = "the trace file " + o.trace + " is the movie or the output";
                return false;
            }
            trace.file = std::fopen(o.trace.c_str(), "w");
            trace.ours = true;
            if (trace.file == nullptr) {
                error = "cannot create the trace file " + o.trace;
                return false;
            }
        }
        FILE* out = trace.file;
        player.setTraceSink([out](const std::string& line) {
            std::fwrite(line.data(), 1, line.size(), out);
            std::fputc('\n', out);
        });
    }
    if (!o.quiet) player.setLogSink([](const std::string& line) { std::fprintf(stderr, "tevlin: %s\n", line.c_str()); });
    return swf::LoadSwfFile(o.movie.c_str(), file, error) && player.load(file, o.movie, error);
}

// The output size: the options' or the stage's, checked against the limits.
bool FrameSize(const Options& o, const movie::Engine& player, int& w, int& h, std::string& error) {
    w = o.width ? o.width : player.stageWidth();
    h = o.height ? o.height : player.stageHeight();
    if (w <= 0 || h <= 0) {
        error = "the movie's stage is empty (" + std::to_string(w) + "x" + std::to_string(h) + "): give --size";
        return false;
    }
    if (w > kMaxDimension || h > kMaxDimension || int64_t{w} * h > kMaxFramePixels) {
        error = "a frame of " + std::to_string(w) + "x" + std::to_string(h) + " is larger than the limit of " +
                std::to_string(kMaxDimension) + " pixels a side (kMaxDimension) and " + std::to_string(kMaxFramePixels) +
                " pixels (kMaxFramePixels)";
        return false;
    }
    return true;
}

int Info(const Options& o) {
    swf::SwfFile file;
    movie::Engine player;
    TraceFile trace;
    std::string error;
    if (!LoadMovie(o, file, player, trace, error)) return Fail(o.movie + ": " + error);
    std::printf("file: %s\n", o.movie.c_str());
    std::printf("version: %d\n", file.version);
    std::printf("compression: %s\n", file.compressed ? "zlib" : "none");
    std::printf("frame size: %dx%d pixels\n", player.stageWidth(), player.stageHeight());
    std::printf("frame rate: %.2f fps\n", file.frameRate88 / 256.0);
    std::printf("frames: %d (header says %d)\n", player.totalFrames(), file.frameCount);
    std::printf("tags:\n");
    for (const auto& [name, count] : player.definition().tagCounts()) std::printf("  %-28s %d\n", name.c_str(), count);
    return 0;
}

int Render(const Options& o) {
    if (o.output.empty()) return Usage("render needs -o OUT.png");
    swf::SwfFile file;
    movie::Engine player;
    TraceFile trace;
    std::string error;
    if (!LoadMovie(o, file, player, trace, error)) return Fail(o.movie + ": " + error);
    int w = 0, h = 0;
    if (!FrameSize(o, player, w, h, error)) return Fail(error);
    player.gotoFrame(o.frame);
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
    const raster::Target target = raster::Target::TopDown(pixels.data(), w, h, static_cast<ptrdiff_t>(w) * 4);
    player.draw(target, o.transparent, o.antiAlias);
    if (!cli::WritePng(o.output, target, error)) return Fail(error);
    return 0;
}

void Progress(int done, int total, std::chrono::steady_clock::time_point start) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double fps = seconds > 0 ? done / seconds : 0;
    const int width = 30, filled = total ? done * width / total : width;
    const int left = fps > 0 ? static_cast<int>((total - done) / fps) : 0;
    std::fprintf(stderr, "\r[%.*s%.*s] %d/%d frames  %.1f fps  %d:%02d left ", filled,
                 "##############################", width - filled, "..............................", done, total, fps,
                 left / 60, left % 60);
    std::fflush(stderr);
}

// Frames per second as the movie declares them; a rate of 0 plays as the player's slowest.
double FramesPerSecond(const swf::SwfFile& file) {
    swf::MovieHeader header;
    header.frameRate = file.frameRate88 >> 8;
    header.frameRate88 = file.frameRate88;
    return file.frameRate88 != 0 ? file.frameRate88 / 256.0 : 1000.0 / swf::FramePeriodMs(header);
}

// Whether the picture moves on in the two seconds after the engine's current frame: drawn
// small, each step compared with the frame it started from. The engine is left stepped on.
bool PictureChangesAfter(movie::Engine& player, const swf::SwfFile& file) {
    const int sw = player.stageWidth(), sh = player.stageHeight();
    if (sw <= 0 || sh <= 0) return false;
    const double scale = std::min(1.0, 256.0 / std::max(sw, sh));
    const int w = std::max(1, static_cast<int>(sw * scale)), h = std::max(1, static_cast<int>(sh * scale));
    std::vector<uint32_t> first(static_cast<size_t>(w) * static_cast<size_t>(h)), later(first.size());
    auto draw = [&](std::vector<uint32_t>& pixels) {
        std::fill(pixels.begin(), pixels.end(), 0u);
        player.draw(raster::Target::TopDown(pixels.data(), w, h, static_cast<ptrdiff_t>(w) * 4), true, false);
    };
    draw(first);
    const int steps = std::clamp(static_cast<int>(std::lround(2 * FramesPerSecond(file))), 1, 240);
    for (int k = 0; k < steps; ++k) {
        player.gotoFrame(player.currentFrame() + 1);
        draw(later);
        if (later != first) return true;
    }
    return false;
}

int Convert(Options o) {
    swf::SwfFile file;
    movie::Engine player;
    TraceFile trace;
    std::string error;
    if (!LoadMovie(o, file, player, trace, error)) return Fail(o.movie + ": " + error);
    if (o.output.empty()) o.output = std::filesystem::path(o.movie).filename().string() + ".avi";
    if (SameFile(o.movie, o.output)) return Fail("the output " + o.output + " is the movie itself");
    std::error_code ec;
    if (std::filesystem::exists(o.output, ec) && !o.overwrite) {
        return Fail(o.output + " exists: give -y to replace it");
    }
    int w = 0, h = 0;
    if (!FrameSize(o, player, w, h, error)) return Fail(error);
    const int total = player.totalFrames();
    int last = o.last < 0 ? total - 1 : o.last;
    if (o.duration > 0) {
        const double frames = std::round(o.duration * FramesPerSecond(file));
        last = o.first + static_cast<int>(std::clamp(frames, 1.0, 1e9)) - 1;
    }
    if (total <= 0) last = -1;  // a movie without frames has nothing to step
    if (o.maxFrames > 0) last = std::min(last, o.first + o.maxFrames - 1);

    swf::MovieHeader header;
    header.frameRate = file.frameRate88 >> 8;
    header.frameRate88 = file.frameRate88;
    convert::Job job;
    job.output = o.output;
    job.width = w;
    job.height = h;
    job.first = o.first;
    job.last = last;
    job.framePeriodMs = swf::FramePeriodMs(header);
    // The stream runs at the movie's own 8.8 rate, as a fraction in lowest terms (24 fps is
    // 24/1, 12.5 is 25/2), so that its length is frames / rate exactly.
    const swf::ExactRate exact = swf::ExactFrameRate(file.frameRate88);
    job.rate = exact.rate;
    job.scale = exact.scale;
    convert::TransparentFrames frames(o.antiAlias);
    job.frames = &frames;
    job.audio = o.audio;
    const bool showProgress = !o.quiet && isatty(fileno(stderr));
    const auto start = std::chrono::steady_clock::now();
    if (showProgress) job.progress = [start](int done, int count) { Progress(done, count, start); };
    const convert::Outcome outcome = convert::ConvertToAvi(player, job);
    if (showProgress && outcome.status != convert::Outcome::Status::kCannotCreate) std::fputc('\n', stderr);
    switch (outcome.status) {
        case convert::Outcome::Status::kDone: break;
        case convert::Outcome::Status::kCannotCreate: return Fail("cannot create " + o.output);
        case convert::Outcome::Status::kOutOfMemory:
            std::fprintf(stderr, "tevlin: out of memory after %d frames; %s holds the frames written\n",
                         outcome.written, o.output.c_str());
            return 3;
        case convert::Outcome::Status::kWriteFailed: {
            char code[16];
            std::snprintf(code, sizeof code, "%08x", static_cast<unsigned>(outcome.error));
            return Fail("writing " + o.output + " failed after " + std::to_string(outcome.written) +
                        " frames (AVI error " + code + "); the file holds the frames written");
        }
    }
    if (!o.quiet && !o.framesGiven && o.duration < 0 && total == 1 && outcome.written == 1 &&
        PictureChangesAfter(player, file)) {
        std::fprintf(stderr, "tevlin: the movie has one frame, and its scripts change the picture after it: "
                             "give --duration SECONDS or --frames FIRST-LAST to convert more\n");
    }
    if (!o.quiet) {
        // The rate the stream was written at.
        const unsigned rate = job.rate != 0 ? job.rate : 1000u;
        const unsigned scale = job.rate != 0 ? job.scale : static_cast<unsigned>(job.framePeriodMs);
        std::printf("wrote %s: %d frames of %dx%d at %u/%u fps%s\n", o.output.c_str(), outcome.written, w, h, rate, scale,
                    outcome.sound ? ", with sound" : "");
    }
    return 0;
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage("no command given");
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options o;
    if (std::string problem = ParseOptions(argc, argv, o); !problem.empty()) return Usage(problem);
    if (command == "info") return Info(o);
    if (command == "render") return Render(o);
    if (command == "convert") return Convert(o);
    return Usage("unknown command " + command);
}

}  // namespace

// Exit codes: 0 done, 1 refused or failed (with the reason), 2 bad arguments, 3 out of memory.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("tevlin: out of memory\n", stderr);
        return 3;
    }
}
