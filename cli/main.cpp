// tevlin: the portable command-line converter.
//
//   tevlin info MOVIE... [--json]
//   tevlin render MOVIE -o OUT.png [--frame N] [--size WxH] [--scale F] [--transparent] [--quality low|high]
//                 [--trace FILE]
//   tevlin convert MOVIE... [-o OUT | -o FOLDER/] [-f FORMAT] [--codec NAME] [--crf N] [--bitrate RATE]
//                  [--alpha straight|premultiplied] [--background COLOR] [--size WxH] [--scale F]
//                  [--frames FIRST-LAST | --start TIME --duration TIME] [--max-frames N] [--threads N]
//                  [--quality low|high] [--no-audio] [--trace FILE] [-y | -n] [--strict] [--quiet]
//   tevlin --help | convert --help | --version
//
// The output's extension picks the container (.avi, .mov, .mkv, .webm, .mp4, .nut, a frame%05d.png
// pattern for an image sequence) and --codec the codec, each container with a default that keeps
// the alpha where it can; "-o -" writes NUT (or -f's format) to the standard output. Frames carry
// straight alpha unless --alpha premultiplied. The file holds the movie's sound beside its
// frames when the movie makes any, in the container's sound codec; --no-audio (or ffmpeg's -an)
// leaves it out.
//
// --trace writes what the movie's scripts print with trace(), one line each ("-" for the
// standard output). What goes wrong in the scripts is reported on the standard error.
//
// Frame numbers count from 0: frame N is the display after N steps from the first frame. Frames
// past the movie's declared last one are the movie stepping on, as a player plays it: the main
// timeline loops unless a script stops it, and scripts keep running. convert writes the declared
// frames unless --frames, --start or --duration ask for others; times are seconds ("2.5") or
// [HH:]MM:SS[.frac] as ffmpeg's -ss and -t take them.
//
// Ctrl-C (or SIGTERM) stops a conversion after the frame being made and closes the file on the
// frames written: exit 130 (143).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "cli/output_files.h"
#include "cli/png_writer.h"
#include "convert/conversion.h"
#include "encode/formats.h"
#include "movie/engine.h"
#include "swf/swf_header.h"
#ifdef TEVLIN_HAVE_ENCODERS
#include "encode/av_sink.h"
#endif

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
constexpr int kMaxThreads = 64;

const char* kUsage =
    "usage: tevlin info MOVIE... [--json]\n"
    "       tevlin render MOVIE -o OUT.png [--frame N] [--size WxH] [--scale F] [--transparent]\n"
    "                     [--quality low|high] [--trace FILE]\n"
    "       tevlin convert MOVIE... [-o OUT | -o FOLDER/] [-f FORMAT] [--codec NAME] [--crf N] [--bitrate RATE]\n"
    "                     [--alpha straight|premultiplied] [--background COLOR] [--size WxH] [--scale F]\n"
    "                     [--frames FIRST-LAST | --start TIME --duration TIME] [--max-frames N] [--threads N]\n"
    "                     [--quality low|high] [--no-audio] [--trace FILE] [-y | -n] [--strict] [--quiet]\n"
    "       tevlin --help | tevlin convert --help | tevlin --version\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "tevlin: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

int Fail(const std::string& problem) {
    std::fprintf(stderr, "tevlin: %s\n", problem.c_str());
    return 1;
}

void Warn(const std::string& line) { std::fprintf(stderr, "tevlin: %s\n", line.c_str()); }

// Ctrl-C and SIGTERM: the conversion stops after the frame being made.
std::atomic<bool> g_stop{false};
volatile std::sig_atomic_t g_signal = 0;

// A second one ends the program at once, as the signal would have without us.
extern "C" void OnStopSignal(int signal) {
    if (g_stop.load()) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_signal = signal;
    g_stop.store(true);
}

bool HaveEncoders() {
#ifdef TEVLIN_HAVE_ENCODERS
    return true;
#else
    return false;
#endif
}

struct Options {
    std::vector<std::string> movies;
    std::string output, trace, format, codec;
    int frame = 0;
    int width = 0, height = 0;  // 0: the stage size; -1 or -2: kept in proportion to the other side
    double scale = 0;           // 0: none
    int first = 0, last = -1;   // -1: the last frame
    int maxFrames = -1;         // -1: no cap
    double start = -1, duration = -1;  // seconds; -1: none given
    bool framesGiven = false;
    int crf = -1;
    int64_t bitrate = 0;
    int threads = 0;  // 0: one per core
    bool premultiplied = false;
    bool backgroundGiven = false;
    uint32_t background = 0;
    bool transparent = false, antiAlias = true, overwrite = false, neverOverwrite = false, quiet = false,
         audio = true, json = false, help = false, strict = false;
};

bool ParseInt(const char* s, int& out) {
    if (s == nullptr || !(*s >= '0' && *s <= '9')) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s, &end, 10);
    if (errno != 0 || *end != '\0' || v < 0 || v > 1000000000) return false;
    out = static_cast<int>(v);
    return true;
}

// A size side: a count from 1, or -1 (in proportion) and -2 (in proportion, rounded to even)
// as ffmpeg's scale takes them.
bool ParseSide(const std::string& s, int& out) {
    if (s == "-1" || s == "-2") {
        out = s == "-1" ? -1 : -2;
        return true;
    }
    return ParseInt(s.c_str(), out) && out > 0;
}

// A plain decimal number at `s`: digits with a point among them or not ("2", "0.5", "2.",
// ".5"). Signs, exponents, hexadecimal, "inf" and "nan" are not numbers here. The value, and
// where the number ends; false when it holds no digit.
bool ReadDecimal(const char* s, double& value, const char*& end) {
    const char* p = s;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) ++digits;
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p) ++digits;
    }
    if (digits == 0) return false;
    value = std::strtod(std::string(s, p).c_str(), nullptr);
    end = p;
    return true;
}

// A time as ffmpeg takes it: seconds with an optional fraction ("90", "2.5") or
// [HH:]MM:SS[.frac] ("1:30", "00:01:30.5"). False for anything else or a negative time.
bool ParseDuration(const char* s, double& seconds) {
    double parts[3] = {0, 0, 0};
    int count = 0;
    const char* p = s;
    while (true) {
        const char* end = nullptr;
        if (count == 3 || !ReadDecimal(p, parts[count++], end)) return false;
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

// A bit rate as ffmpeg takes one: bits a second with an optional k or M ("800k", "5M").
bool ParseBitrate(const std::string& s, int64_t& bits) {
    double v = 0;
    const char* end = nullptr;
    if (!ReadDecimal(s.c_str(), v, end)) return false;
    double factor = 1;
    if (*end == 'k' || *end == 'K') {
        factor = 1e3;
        ++end;
    } else if (*end == 'M' || *end == 'm') {
        factor = 1e6;
        ++end;
    }
    if (*end != '\0' || !(v > 0) || v * factor > 4e9 || v * factor < 1000) return false;
    bits = static_cast<int64_t>(std::llround(v * factor));
    return true;
}

// Parses the arguments after the command; an error message, or empty.
std::string ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "-o") {
            const char* v = value();
            if (!v || !*v) return "-o needs a file name, a folder or - for the standard output";
            o.output = v;
        } else if (a == "-f" || a == "--format") {
            const char* v = value();
            if (!v || encode::FindContainer(v) == nullptr) {
                return "-f needs a format: avi, mov, matroska, webm, mp4, nut or image2";
            }
            o.format = v;
        } else if (a == "--codec" || a == "-c:v" || a == "-vcodec") {
            const char* v = value();
            if (!v || encode::FindCodec(v) == nullptr) {
                return "--codec needs a codec: rawvideo, utvideo, ffv1, png, qtrle, prores, vp9 or h264";
            }
            o.codec = v;
        } else if (a == "--crf" || a == "-crf") {
            const char* v = value();
            if (!v || !ParseInt(v, o.crf) || o.crf > 63) return "--crf needs a quality level from 0 (best) to 63";
        } else if (a == "--bitrate" || a == "-b:v") {
            const char* v = value();
            if (!v || !ParseBitrate(v, o.bitrate)) return "--bitrate needs bits a second, as 800k or 5M";
        } else if (a == "--alpha") {
            const char* v = value();
            if (!v || (std::strcmp(v, "straight") != 0 && std::strcmp(v, "premultiplied") != 0)) {
                return "--alpha is straight or premultiplied";
            }
            o.premultiplied = std::strcmp(v, "premultiplied") == 0;
        } else if (a == "--background") {
            const char* v = value();
            if (!v || !encode::ParseColor(v, o.background)) {
                return "--background needs a colour: a name (black, white, ...) or #RRGGBB";
            }
            o.backgroundGiven = true;
        } else if (a == "--threads" || a == "-threads") {
            const char* v = value();
            if (!v || !ParseInt(v, o.threads) || o.threads < 1 || o.threads > kMaxThreads) {
                return "--threads needs a count from 1 to " + std::to_string(kMaxThreads);
            }
        } else if (a == "--frame") {
            const char* v = value();
            if (!v || !ParseInt(v, o.frame)) return "--frame needs a frame number from 0";
        } else if (a == "--size" || a == "-s") {
            const char* v = value();
            const std::string text = v ? v : "";
            const size_t x = text.find_first_of("xX");
            if (x == std::string::npos || !ParseSide(text.substr(0, x), o.width) ||
                !ParseSide(text.substr(x + 1), o.height) || (o.width < 0 && o.height < 0)) {
                return "--size needs WIDTHxHEIGHT in pixels (-1 for one side keeps the proportions, -2 rounds it to even)";
            }
        } else if (a == "--scale") {
            const char* v = value();
            const char* end = nullptr;
            if (!v || !ReadDecimal(v, o.scale, end) || *end != '\0' || !(o.scale > 0) || o.scale > 100) {
                return "--scale needs a factor above 0, as 0.5 or 2";
            }
        } else if (a == "--frames") {
            const char* v = value();
            const std::string text = v ? v : "";
            const size_t dash = text.find('-');
            if (dash == std::string::npos || !ParseInt(text.substr(0, dash).c_str(), o.first) ||
                !ParseInt(text.substr(dash + 1).c_str(), o.last) || o.last < o.first) {
                return "--frames needs FIRST-LAST, frame numbers from 0 with FIRST <= LAST";
            }
            o.framesGiven = true;
        } else if (a == "--duration" || a == "-t") {
            const char* v = value();
            if (!v || !ParseDuration(v, o.duration) || o.duration <= 0) {
                return "--duration needs a time above 0: seconds (2.5) or [HH:]MM:SS[.frac]";
            }
        } else if (a == "--start" || a == "-ss") {
            const char* v = value();
            if (!v || !ParseDuration(v, o.start)) return "--start needs a time: seconds (2.5) or [HH:]MM:SS[.frac]";
        } else if (a == "--quality") {
            const char* v = value();
            if (!v || (std::strcmp(v, "low") != 0 && std::strcmp(v, "high") != 0)) return "--quality is low or high";
            o.antiAlias = std::strcmp(v, "high") == 0;
        } else if (a == "--max-frames" || a == "-frames:v" || a == "-vframes") {
            const char* v = value();
            if (!v || !ParseInt(v, o.maxFrames) || o.maxFrames < 1) return "--max-frames needs a count from 1";
        } else if (a == "--trace") {
            const char* v = value();
            if (!v || !*v) return "--trace needs a file name, or - for the standard output";
            o.trace = v;
        } else if (a == "--transparent") {
            o.transparent = true;
        } else if (a == "-y") {
            o.overwrite = true;
        } else if (a == "-n") {
            o.neverOverwrite = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--strict") {
            o.strict = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--no-audio" || a == "-an") {
            o.audio = false;
        } else if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a;
        } else {
            o.movies.push_back(a);
        }
    }
    if (o.help) return "";
    if (o.framesGiven && (o.duration > 0 || o.start >= 0)) return "give --frames or --start and --duration, not both";
    if (o.overwrite && o.neverOverwrite) return "give -y or -n, not both";
    if (o.scale > 0 && (o.width != 0 || o.height != 0)) return "give --size or --scale, not both";
    if (o.crf >= 0 && o.bitrate > 0) return "give --crf or --bitrate, not both";
    return o.movies.empty() ? "no movie given" : "";
}

cli::Existing ExistingRule(const Options& o) {
    return o.overwrite ? cli::Existing::kReplace : o.neverOverwrite ? cli::Existing::kKeep : cli::Existing::kRefuse;
}

// The trace file, checked before anything is loaded or made: not the movie, not the output,
// not an existing file unless -y.
bool CheckTrace(const Options& o, const std::string& movie, const std::string& output, std::string& error) {
    if (o.trace.empty() || o.trace == "-") return true;
    if (!output.empty() && output != "-" && cli::SameTarget(o.trace, output)) {
        error = "the trace file " + o.trace + " is the output";
        return false;
    }
    return cli::CheckNewFile(o.trace, movie, ExistingRule(o), "the trace file", error);
}

// Loads the movie, its trace() lines going to the trace file (under a hidden name until the
// run commits it).
bool LoadMovie(const Options& o, const std::string& movie, swf::SwfFile& file, movie::Engine& player,
               cli::TraceOutput& trace, std::string& error) {
    if (!o.trace.empty()) {
        if (!trace.open(o.trace, o.overwrite, error)) return false;
        FILE* out = trace.file();
        player.setTraceSink([out](const std::string& line) {
            std::fwrite(line.data(), 1, line.size(), out);
            std::fputc('\n', out);
        });
    }
    if (!o.quiet) player.setLogSink([](const std::string& line) { Warn(line); });
    return swf::LoadSwfFile(movie.c_str(), file, error) && player.load(file, movie, error);
}

// The output size: the options' or the stage's, checked against the limits. A side of -1
// follows the stage's proportions, -2 the same rounded to an even count.
bool FrameSize(const Options& o, const movie::Engine& player, int& w, int& h, std::string& error) {
    const int sw = player.stageWidth(), sh = player.stageHeight();
    w = o.width;
    h = o.height;
    if (o.scale > 0) {
        w = static_cast<int>(std::clamp(std::lround(sw * o.scale), 1l, 1l << 30));
        h = static_cast<int>(std::clamp(std::lround(sh * o.scale), 1l, 1l << 30));
    } else if (w == 0 && h == 0) {
        w = sw;
        h = sh;
    } else if (w < 0 || h < 0) {
        if (sw <= 0 || sh <= 0) {
            error = "the movie's stage is empty (" + std::to_string(sw) + "x" + std::to_string(sh) +
                    "): give both sides of --size";
            return false;
        }
        auto proportional = [](int given, int num, int den, int rule) {
            const double exact = static_cast<double>(given) * num / den;
            long v = rule == -2 ? 2 * std::lround(exact / 2) : std::lround(exact);
            return static_cast<int>(std::clamp(v, rule == -2 ? 2l : 1l, 1l << 30));
        };
        if (w < 0) w = proportional(h, sw, sh, w);
        if (h < 0) h = proportional(w, sh, sw, h);
    }
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

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* CompressionName(const swf::SwfFile& file) {
    switch (file.compression) {
        case swf::Compression::kZlib: return "zlib";
        case swf::Compression::kLzma: return "lzma";
        case swf::Compression::kNone: break;
    }
    return "none";
}

int InfoOne(const Options& o, const std::string& movie, bool last) {
    swf::SwfFile file;
    movie::Engine player;
    cli::TraceOutput trace;
    std::string error;
    if (!CheckTrace(o, movie, "", error) || !LoadMovie(o, movie, file, player, trace, error)) {
        if (o.json) {
            std::printf("  {\"file\": %s, \"error\": %s}%s\n", JsonString(movie).c_str(), JsonString(error).c_str(),
                        last ? "" : ",");
        }
        return Fail(movie + ": " + error);
    }
    if (!trace.commit(error)) return Fail(movie + ": " + error);
    const swf::ExactRate exact = swf::ExactFrameRate(file.frameRate88);
    const auto& tags = player.definition().tagCounts();
    if (o.json) {
        std::printf("  {\"file\": %s, \"version\": %d, \"compression\": \"%s\", \"width\": %d, \"height\": %d, "
                    "\"frame_rate\": %.6g, \"frame_rate_exact\": \"%u/%u\", \"frames\": %d, \"header_frames\": %d, "
                    "\"duration\": %.6f, \"sound\": %s, \"actionscript3\": %s, \"tags\": {",
                    JsonString(movie).c_str(), file.version, CompressionName(file), player.stageWidth(),
                    player.stageHeight(), file.frameRate88 / 256.0, exact.rate, exact.scale, player.totalFrames(),
                    file.frameCount, player.totalFrames() * static_cast<double>(exact.scale) / exact.rate,
                    player.makesSound() ? "true" : "false", tags.count("DoABC") ? "true" : "false");
        bool firstTag = true;
        for (const auto& [name, count] : tags) {
            std::printf("%s%s: %d", firstTag ? "" : ", ", JsonString(name).c_str(), count);
            firstTag = false;
        }
        std::printf("}}%s\n", last ? "" : ",");
        return 0;
    }
    std::printf("file: %s\n", movie.c_str());
    std::printf("version: %d\n", file.version);
    std::printf("compression: %s\n", CompressionName(file));
    std::printf("frame size: %dx%d pixels\n", player.stageWidth(), player.stageHeight());
    std::printf("frame rate: %.2f fps\n", file.frameRate88 / 256.0);
    std::printf("frames: %d (header says %d)\n", player.totalFrames(), file.frameCount);
    std::printf("tags:\n");
    for (const auto& [name, count] : tags) std::printf("  %-28s %d\n", name.c_str(), count);
    return 0;
}

int Info(const Options& o) {
    int status = 0;
    if (o.json) std::printf("[\n");
    for (size_t i = 0; i < o.movies.size(); ++i) {
        const int r = InfoOne(o, o.movies[i], i + 1 == o.movies.size());
        if (status == 0) status = r;
    }
    if (o.json) std::printf("]\n");
    return status;
}

int Render(const Options& o) {
    if (o.output.empty()) return Usage("render needs -o OUT.png");
    if (o.movies.size() > 1) return Usage("render takes one movie");
    const std::string& movie = o.movies.front();
    std::string error;
    // The picture and the trace file are checked before the movie is read: neither replaces
    // the movie, each other or (without -y) a file that is there.
    if (!cli::CheckNewFile(o.output, movie, ExistingRule(o), "the output", error) || !CheckTrace(o, movie, o.output, error)) {
        return Fail(movie + ": " + error);
    }
    swf::SwfFile file;
    movie::Engine player;
    cli::TraceOutput trace;
    if (!LoadMovie(o, movie, file, player, trace, error)) return Fail(movie + ": " + error);
    int w = 0, h = 0;
    if (!FrameSize(o, player, w, h, error)) return Fail(error);
    player.gotoFrame(o.frame);
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
    const raster::Target target = raster::Target::TopDown(pixels.data(), w, h, static_cast<ptrdiff_t>(w) * 4);
    player.draw(target, o.transparent, o.antiAlias);
    cli::PartFile png(o.output, o.overwrite);
    if (!cli::WritePng(png.path(), target, error)) return Fail(png.named(error));
    if (!png.commit(error)) return Fail(error);
    if (!trace.commit(error)) return Fail(movie + ": " + error);
    return 0;
}

void Progress(const std::string& name, int done, int total, std::chrono::steady_clock::time_point start) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double fps = seconds > 0 ? done / seconds : 0;
    const int width = 30, filled = total ? done * width / total : width;
    const int left = fps > 0 ? static_cast<int>((total - done) / fps) : 0;
    std::fprintf(stderr, "\r%s [%.*s%.*s] %d/%d frames  %.1f fps  %d:%02d left ", name.c_str(), filled,
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

// One conversion's output: where it goes and what it is.
struct Output {
    std::string path;
    encode::Choice choice;
};

// The file name of a movie's output in a folder: the movie's name with the format's extension.
std::string NameInFolder(const std::string& folder, const std::string& movie, const encode::ContainerInfo& container) {
    std::string name = std::filesystem::path(movie).filename().string();
    if (std::strcmp(container.name, "image2") == 0) {
        name += ".%05d.png";
    } else {
        const std::string extensions = container.extensions;
        name += extensions.substr(0, extensions.find(' '));
    }
    return (std::filesystem::path(folder) / name).string();
}

bool IsFolderName(const std::string& path) {
    std::error_code ec;
    return !path.empty() && path != "-" && (path.back() == '/' || path.back() == '\\' || std::filesystem::is_directory(path, ec));
}

// Where a movie's conversion goes, checked before the movie is loaded: the format this build
// writes, a folder that is there, and no file replaced unless -y.
bool PlanOutput(const Options& o, const std::string& movie, Output& out, std::string& error) {
    if (!o.output.empty() && !IsFolderName(o.output)) {
        out.path = o.output;
    } else {
        const encode::ContainerInfo* container = encode::FindContainer(o.format.empty() ? "avi" : o.format);
        out.path = NameInFolder(o.output.empty() ? "." : o.output, movie, *container);
        if (o.output.empty()) out.path = std::filesystem::path(out.path).filename().string();
    }
    const bool toPipe = out.path == "-";
    if (!toPipe && cli::SameTarget(movie, out.path)) {
        error = "the output " + out.path + " is the movie itself";
        return false;
    }
    const std::string format = toPipe && o.format.empty() ? "nut" : o.format;
    if (!encode::Choose(out.path, format, o.codec, out.choice, error)) return false;
    if (!out.choice.ownAviWriter && !HaveEncoders()) {
        error = std::string("this build writes AVI only (uncompressed, through its own writer): ") + out.choice.codec->name +
                " in " + out.choice.container->name + " needs the Linux converter";
        return false;
    }
    if (toPipe && !out.choice.container->streamable) {
        error = std::string("the ") + out.choice.container->name +
                " format cannot be written to a pipe: give -f nut or -f matroska for -o -";
        return false;
    }
#ifdef TEVLIN_HAVE_ENCODERS
    if (!out.choice.ownAviWriter && !encode::HaveEncoder(*out.choice.codec)) {
        error = std::string("this build's libavcodec has no ") + out.choice.codec->encoder + " encoder for " +
                out.choice.codec->name;
        return false;
    }
#endif
    if (toPipe) return true;
    const bool sequence = std::strcmp(out.choice.container->name, "image2") == 0;
    std::filesystem::path parent = std::filesystem::path(out.path).parent_path();
    if (parent.empty()) parent = ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(parent, ec)) {
        error = "cannot create " + out.path + ": the folder " + parent.string() + " is not there";
        return false;
    }
#ifndef _WIN32
    if (access(parent.c_str(), W_OK) != 0) {
        error = "cannot create " + out.path + ": the folder " + parent.string() + " is not writable (" +
                std::strerror(errno) + ")";
        return false;
    }
#endif
    std::string existing = out.path;
    if (sequence) {
        char first[4096];
        std::snprintf(first, sizeof first, out.path.c_str(), o.framesGiven ? o.first : 0);
        existing = first;
    }
    if (std::filesystem::exists(existing, ec)) {
        if (std::filesystem::is_directory(existing, ec)) {
            error = "cannot create " + existing + ": it is a folder";
            return false;
        }
        if (!o.overwrite) {
            error = existing + (o.neverOverwrite ? " exists: not replaced (-n)" : " exists: give -y to replace it");
            return false;
        }
    }
    return true;
}

// What of the movie did not play, in one line.
std::string LeftOut(const movie::Engine& player) {
    std::string line;
    for (const std::string& what : player.leftOut()) line += (line.empty() ? "" : "; ") + what;
    if (player.leftOut().size() >= movie::kMaxLeftOut) line += "; and more";
    return line;
}

std::string Hex(uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFF);
    return text;
}

// The result of converting one movie: the exit status the command would have for it alone.
int ConvertOne(const Options& o, const std::string& movie, int index, int count) {
    Output out;
    std::string error;
    if (!PlanOutput(o, movie, out, error) || !CheckTrace(o, movie, out.path, error)) return Fail(movie + ": " + error);
    swf::SwfFile file;
    movie::Engine player;
    cli::TraceOutput trace;
    if (!LoadMovie(o, movie, file, player, trace, error)) return Fail(movie + ": " + error);
    if (o.strict && !player.leftOut().empty()) {
        return Fail(movie + ": not converted (--strict): the engine would leave out " + LeftOut(player));
    }
    int w = 0, h = 0;
    if (!FrameSize(o, player, w, h, error)) return Fail(movie + ": " + error);
    const encode::CodecInfo& codec = *out.choice.codec;
    if (std::strcmp(codec.pixelFormat, "yuv420p") == 0 && (w % 2 != 0 || h % 2 != 0)) {
        return Fail(movie + ": " + codec.name + " needs an even width and height, not " + std::to_string(w) + "x" +
                    std::to_string(h) + ": give --size with even sides (or -2 for one of them)");
    }
    if ((o.crf >= 0 || o.bitrate > 0) && !codec.rateControl) {
        return Fail(std::string("--crf and --bitrate apply to h264 and vp9, not to ") + codec.name);
    }

    const int total = player.totalFrames();
    const double fps = FramesPerSecond(file);
    int first = o.first;
    if (o.start >= 0) first = static_cast<int>(std::clamp(std::round(o.start * fps), 0.0, 1e9));
    int last = o.last < 0 ? total - 1 : o.last;
    if (o.duration > 0) {
        const double frames = std::round(o.duration * fps);
        last = first + static_cast<int>(std::clamp(frames, 1.0, 1e9)) - 1;
    } else if (o.start >= 0) {
        last = total - 1;
    }
    if (total <= 0) last = -1;  // a movie without frames has nothing to step
    if (o.maxFrames > 0) last = std::min(last, first + o.maxFrames - 1);

    swf::MovieHeader header;
    header.frameRate = file.frameRate88 >> 8;
    header.frameRate88 = file.frameRate88;
    // The file is written under a hidden name beside its own and renamed when whole: a reader
    // never sees half of it, and two runs to one name leave one whole file, not a mix.
    const bool sequence = std::strcmp(out.choice.container->name, "image2") == 0;
    cli::PartFile part;
    if (out.path != "-" && !sequence) part.start(out.path, o.overwrite);
    const std::string writtenPath = out.path != "-" && !sequence ? part.path() : out.path;
    convert::Job job;
    job.output = writtenPath;
    job.width = w;
    job.height = h;
    job.first = first;
    job.last = last;
    job.framePeriodMs = swf::FramePeriodMs(header);
    // The streams run at the movie's own 8.8 rate, as a fraction in lowest terms (24 fps is
    // 24/1, 12.5 is 25/2), so that the length is frames / rate.
    const swf::ExactRate exact = swf::ExactFrameRate(file.frameRate88);
    job.rate = exact.rate;
    job.scale = exact.scale;
    convert::TransparentFrames frames(o.antiAlias);
    job.frames = &frames;
    job.alpha = o.premultiplied ? convert::Alpha::kPremultiplied : convert::Alpha::kStraight;
    job.threads = o.threads > 0 ? o.threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    job.stop = &g_stop;
    job.audio = o.audio && !sequence;
    if (o.audio && sequence && player.makesSound() && !o.quiet) {
        Warn(movie + ": an image sequence holds no sound: the movie's sound is left out");
    }

    std::unique_ptr<convert::FrameSink> sink;
    if (out.choice.ownAviWriter) {
        sink = convert::OpenAviSinkFor(job, error);
    } else {
#ifdef TEVLIN_HAVE_ENCODERS
        encode::SinkSettings settings;
        settings.path = writtenPath;
        settings.choice = out.choice;
        settings.width = w;
        settings.height = h;
        settings.rate = job.rate;
        settings.scale = job.scale;
        // The streams are set before the first frame: a movie with sound tags, or with scripts
        // (which may load sounds and streams), gets a sound stream.
        const auto& tags = player.definition().tagCounts();
        settings.audio = job.audio && (player.makesSound() || tags.count("DoAction") || tags.count("DoInitAction"));
        settings.alpha = job.alpha;
        const raster::Rgba back = player.backgroundColor();
        settings.background = o.backgroundGiven ? o.background : (uint32_t{back.r} << 16 | uint32_t{back.g} << 8 | back.b);
        settings.crf = o.crf;
        settings.bitrate = o.bitrate;
        settings.threads = job.threads;
        settings.firstNumber = first;
        sink = encode::OpenSink(settings, error);
        if (sink != nullptr && !codec.alpha && !o.quiet) {
            Warn(std::string(codec.name) + " keeps no alpha: the frames are laid over " + Hex(settings.background) +
                 (o.backgroundGiven ? "" : ", the movie's background (--background sets another)"));
        }
#endif
    }
    // Messages name the file the user gave, not the hidden one it is written as.
    const auto named = [&](const std::string& text) { return part.named(text); };
    if (sink == nullptr) return Fail(movie + ": " + named(error));

    const bool showProgress = !o.quiet && isatty(fileno(stderr));
    const auto start = std::chrono::steady_clock::now();
    const std::string label = count > 1 ? "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "]" : "";
    if (showProgress) job.progress = [start, label](int done, int all) { Progress(label, done, all, start); };
    const convert::Outcome outcome = convert::Convert(player, job, *sink);
    const bool soundLeftOut = sink->soundLeftOut();
    sink.reset();  // closed: the file may move
    if (showProgress) std::fputc('\n', stderr);
    const std::string shown = out.path == "-" ? "the standard output" : out.path;
    if (outcome.status == convert::Outcome::Status::kCannotCreate) {
        part.discard();
        return Fail("cannot create " + shown + ": " + named(outcome.error));
    }
    // Whatever was written goes into place, whole: a failed or stopped run keeps its frames.
    if (!part.commit(error)) return Fail(movie + ": " + error);
    if (!trace.commit(error)) return Fail(movie + ": " + error);
    switch (outcome.status) {
        case convert::Outcome::Status::kDone: break;
        case convert::Outcome::Status::kCannotCreate: break;
        case convert::Outcome::Status::kOutOfMemory:
            Warn("out of memory after " + std::to_string(outcome.written) + " frames; " + shown +
                 " holds the frames written");
            return 3;
        case convert::Outcome::Status::kWriteFailed:
            return Fail("writing " + shown + " failed after " + std::to_string(outcome.written) + " frames (" +
                        named(outcome.error) + "); the file holds the frames written");
    }
    if (outcome.stopped) {
        Warn("stopped after " + std::to_string(outcome.written) + " frames; " + shown + " holds the frames written");
        return g_signal == SIGTERM ? 143 : 130;
    }
    if (soundLeftOut) player.leaveOut("the sound of scripts in a movie without sound tags (the file has no sound stream)");
    if (!player.leftOut().empty()) {
        if (o.strict) {
            return Fail(movie + ": left out (--strict makes it an error): " + LeftOut(player) + "; " + shown +
                        " holds the frames as converted");
        }
        if (!o.quiet) Warn("warning: " + movie + " converted without what the engine does not play: " + LeftOut(player));
    }
    if (!o.quiet && !o.framesGiven && o.duration < 0 && o.start < 0 && total == 1 && outcome.written == 1 &&
        PictureChangesAfter(player, file)) {
        Warn("the movie has one frame, and its scripts change the picture after it: "
             "give --duration SECONDS or --frames FIRST-LAST to convert more");
    }
    if (!o.quiet && out.path != "-") {
        std::printf("wrote %s: %d frames of %dx%d at %u/%u fps%s%s\n", out.path.c_str(), outcome.written, w, h, job.rate,
                    job.scale, out.choice.ownAviWriter ? "" : (std::string(" (") + codec.name + ")").c_str(),
                    outcome.sound ? ", with sound" : "");
    }
    return 0;
}

int Convert(const Options& o) {
    if (o.movies.size() > 1 && !o.output.empty() && !IsFolderName(o.output)) {
        return Usage("several movies need -o FOLDER/ (or no -o: the outputs go into the current folder)");
    }
    if (o.output == "-" && o.movies.size() > 1) return Usage("-o - takes one movie");
    if (o.output == "-" && o.trace == "-") return Usage("-o - and --trace - would mix the video and the trace on the standard output");
    if (!o.output.empty() && (o.output.back() == '/' || o.output.back() == '\\')) {
        std::error_code ec;
        if (!std::filesystem::is_directory(o.output, ec)) return Fail("the output folder " + o.output + " is not there");
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    int status = 0;
    std::vector<std::string> failures;
    for (size_t i = 0; i < o.movies.size(); ++i) {
        if (g_stop.load()) break;
        const int r = ConvertOne(o, o.movies[i], static_cast<int>(i), static_cast<int>(o.movies.size()));
        if (r == 130 || r == 143) return r;
        if (r != 0) {
            failures.push_back(o.movies[i]);
            if (status == 0) status = r;
        }
    }
    if (o.movies.size() > 1) {
        std::string line = "converted " + std::to_string(o.movies.size() - failures.size()) + " of " +
                           std::to_string(o.movies.size()) + " movies";
        if (!failures.empty()) {
            line += "; failed:";
            for (const std::string& f : failures) line += " " + f;
        }
        std::fprintf(stderr, "tevlin: %s\n", line.c_str());
    }
    return status;
}

std::string Version() {
    std::string v = "tevlin " TEVLIN_VERSION;
#ifdef TEVLIN_HAVE_ENCODERS
    v += " (" + encode::LibraryVersions() + ")";
#else
    v += " (writes AVI only)";
#endif
    return v;
}

void ConvertHelp() {
    std::printf(
        "tevlin convert MOVIE... [options]: converts movies into video files.\n"
        "\n"
        "output\n"
        "  -o OUT              the file (its extension picks the format), a FOLDER/ for several movies, or - for\n"
        "                      the standard output (NUT unless -f); default MOVIE.swf.avi in the current folder\n"
        "  -f FORMAT           the format whatever the name: avi, mov, matroska, webm, mp4, nut, image2\n"
        "  --codec NAME        the video codec (also -c:v); each format has a default, below\n"
        "  --crf N             constant quality for h264 and vp9 (lower is better)\n"
        "  --bitrate RATE      average bits a second for h264 and vp9, as 5M or 800k (also -b:v)\n"
        "  --alpha MODE        straight (default: colour as drawn, as PNG and editors take it) or premultiplied\n"
        "  --background COLOR  under the frames of codecs without alpha (name or #RRGGBB); default the movie's\n"
        "  -y                  replace existing files;  -n  never replace (the default refuses too)\n"
        "\n"
        "frames\n"
        "  --size WxH          the frame size; -1 for one side keeps the proportions, -2 rounds it to even\n"
        "  --scale F           the stage size times F\n"
        "  --frames A-B        frames A to B, counted from 0 (past the last: the movie playing on)\n"
        "  --start TIME        from TIME (seconds or [HH:]MM:SS[.frac], also -ss)\n"
        "  --duration TIME     that much time (also -t); default the movie's declared frames\n"
        "  --max-frames N      at most N frames\n"
        "  --quality low|high  anti-aliasing (default high)\n"
        "  --no-audio          leave the sound out (also -an)\n"
        "\n"
        "running\n"
        "  --threads N         threads (default one per core): the movie is drawn while the last frame is\n"
        "                      encoded, and encoders use their own; the file is the same whatever N\n"
        "  --trace FILE        what the movie's scripts trace() (- for the standard output)\n"
        "  --quiet             no progress, warnings or closing line\n"
        "  --strict            a movie with content the engine does not play (ActionScript 3, a codec this\n"
        "                      build lacks, a feature not built yet) is an error, not a warning\n"
        "\n"
        "formats (extension: default codec; codecs; sound)\n");
    for (const encode::ContainerInfo& c : encode::Containers()) {
        const std::string audio = *c.audioCodec ? c.audioCodec : "none";
        std::printf("  %-9s %-10s %-9s %-40s sound: %s\n", c.name,
                    std::strcmp(c.name, "image2") == 0 ? "%05d.png" : c.extensions, c.defaultCodec, c.codecs,
                    audio.c_str());
    }
    std::printf("\ncodecs%s\n", HaveEncoders() ? "" : " (this build writes AVI only: rawvideo in avi)");
    for (const encode::CodecInfo& c : encode::Codecs()) {
        bool have = std::strcmp(c.name, "rawvideo") == 0;
#ifdef TEVLIN_HAVE_ENCODERS
        have = encode::HaveEncoder(c);
#endif
        std::printf("  %-9s %-4s %-9s %s%s\n", c.name, c.alpha ? "alpha" : "", c.lossless ? "lossless" : "lossy",
                    c.description, have ? "" : " (not in this build)");
    }
    std::printf("\nexit status: 0 done, 1 refused or failed (with the reason), 2 bad arguments, 3 out of memory,\n"
                "130 or 143 stopped by Ctrl-C or SIGTERM (the file holds the frames written)\n");
}

void Help() {
    std::printf("%s\n", Version().c_str());
    std::fputs(kUsage, stdout);
    std::printf(
        "\n"
        "  info       describes movies (--json: an array of objects, one a movie)\n"
        "  render     writes one frame as a PNG (--frame N, from 0; --transparent keeps the alpha)\n"
        "  convert    converts movies into video files with alpha: tevlin convert --help lists every option,\n"
        "             format and codec\n");
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage("no command given");
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        Help();
        return 0;
    }
    if (command == "--version" || command == "-version") {
        std::printf("%s\n", Version().c_str());
        return 0;
    }
    Options o;
    const std::string problem = ParseOptions(argc, argv, o);
    if (o.help) {
        if (command == "convert") {
            ConvertHelp();
        } else {
            Help();
        }
        return 0;
    }
    if (command != "info" && command != "render" && command != "convert") return Usage("unknown command " + command);
    if (!problem.empty()) return Usage(problem);
    if (command == "info") return Info(o);
    if (command == "render") return Render(o);
    return Convert(o);
}

}  // namespace

// Exit codes: 0 done, 1 refused or failed (with the reason), 2 bad arguments, 3 out of memory,
// 130 and 143 stopped by SIGINT and SIGTERM.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("tevlin: out of memory\n", stderr);
        return 3;
    }
}
