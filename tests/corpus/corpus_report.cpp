// The corpus report: renders every visual test of the SWF corpus that has no ActionScript 3
// at its last frame and compares it with the reference render.
//
//   tevlin_corpus_report CORPUS_DIR
//
// Per test: the share of pixels whose every channel is within 32/255 of the reference, the
// PSNR, and what the movie uses (read from its tags). A test passes at 98 % of pixels. The
// last line reads "corpus: P passed of T; shapes-only: S passed of U; timeline scripts: L
// passed of M", the last counting the tests whose scripts only drive the timeline (see
// corpus_scan.h). Reference PNGs are
// decoded with ffmpeg. Without the corpus folder the report says so and exits 0.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "movie/engine.h"
#include "tests/corpus/corpus_scan.h"

namespace fs = std::filesystem;

namespace {

constexpr double kChannelTolerance = 32;
constexpr double kPassShare = 0.98;

using corpus::Features;

bool LowQuality(const std::string& toml) { return toml.find("quality = \"low\"") != std::string::npos; }

// The reference picture as RGBA bytes, by ffmpeg.
bool DecodePng(const fs::path& png, int& w, int& h, std::string& rgba) {
    const std::string probe = "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 '" +
                              png.string() + "' 2>/dev/null";
    FILE* p = popen(probe.c_str(), "r");
    if (!p) return false;
    const int got = std::fscanf(p, "%d,%d", &w, &h);
    pclose(p);
    if (got != 2 || w <= 0 || h <= 0) return false;
    FILE* d = popen(("ffmpeg -nostdin -v error -i '" + png.string() + "' -f rawvideo -pix_fmt rgba - 2>/dev/null").c_str(), "r");
    if (!d) return false;
    rgba.clear();
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, d)) > 0) rgba.append(buffer, n);
    pclose(d);
    return rgba.size() == static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path("../shared/corpus");
    const fs::path visual = corpus / "visual";
    if (!fs::is_directory(visual)) {
        std::printf("corpus: skipped, %s is not there\n", visual.string().c_str());
        return 0;
    }
    std::vector<fs::path> movies;
    for (const auto& e : fs::recursive_directory_iterator(visual)) {
        if (e.path().filename() == "test.swf") movies.push_back(e.path());
    }
    std::sort(movies.begin(), movies.end());
    int total = 0, passed = 0, shapesTotal = 0, shapesPassed = 0, timelineTotal = 0, timelinePassed = 0;
    std::printf("%-60s %-6s %7s %7s  %s\n", "test", "result", "match", "psnr", "uses");
    for (const fs::path& swfPath : movies) {
        const fs::path dir = swfPath.parent_path();
        const std::string name = fs::relative(dir, visual).string();
        swf::SwfFile file;
        std::string error;
        Features f;
        const bool parsed = swf::LoadSwfFile(swfPath.string().c_str(), file, error);
        if (parsed) f = corpus::Scan(file);
        if (f.as3) continue;  // ActionScript 3 movies are not this engine's
        fs::path expected = dir / "output.expected.png";
        if (!fs::exists(expected)) {
            for (const auto& e : fs::recursive_directory_iterator(dir)) {
                if (e.path().string().find(".expected.png") != std::string::npos) {
                    expected = e.path();
                    break;
                }
            }
        }
        ++total;
        if (f.shapesOnly()) ++shapesTotal;
        if (f.timelineScriptsOnly()) ++timelineTotal;
        const std::string toml = corpus::ReadText((dir / "test.toml").string());
        movie::Engine player;
        int w = 0, h = 0;
        std::string reference;
        if (!parsed || !player.load(file, error)) {
            std::printf("%-60s %-6s %7s %7s  %s (%s)\n", name.c_str(), "FAIL", "-", "-", f.describe().c_str(), error.c_str());
            continue;
        }
        if (!DecodePng(expected, w, h, reference)) {
            std::printf("%-60s %-6s %7s %7s  %s (no reference picture)\n", name.c_str(), "FAIL", "-", "-", f.describe().c_str());
            continue;
        }
        player.gotoFrame(corpus::FramesToRun(toml) - 1);
        std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
        player.draw(raster::Target::TopDown(pixels.data(), w, h, static_cast<ptrdiff_t>(w) * 4), false, !LowQuality(toml));
        size_t close = 0;
        double se = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const uint32_t p = pixels[i];
            const int ours[4] = {int(raster::ChannelR(p)), int(raster::ChannelG(p)), int(raster::ChannelB(p)),
                                 int(raster::ChannelA(p))};
            bool within = true;
            for (int c = 0; c < 4; ++c) {
                const int theirs = static_cast<uint8_t>(reference[i * 4 + c]);
                const double d = ours[c] - theirs;
                se += d * d;
                within = within && std::fabs(d) <= kChannelTolerance;
            }
            close += within ? 1 : 0;
        }
        const double share = pixels.empty() ? 0 : double(close) / double(pixels.size());
        const double mse = pixels.empty() ? 0 : se / (double(pixels.size()) * 4);
        const double psnr = mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
        const bool ok = share >= kPassShare;
        passed += ok;
        if (ok && f.shapesOnly()) ++shapesPassed;
        if (ok && f.timelineScriptsOnly()) ++timelinePassed;
        const std::string uses = f.describe() + (f.timelineScriptsOnly() ? " (timeline scripts)"
                                                 : f.objectName.empty() ? "" : " (names " + f.objectName + ")");
        std::printf("%-60s %-6s %6.2f%% %7.1f  %s\n", name.c_str(), ok ? "pass" : "FAIL", share * 100, psnr, uses.c_str());
    }
    std::printf("corpus: %d passed of %d; shapes-only: %d passed of %d; timeline scripts: %d passed of %d\n", passed, total,
                shapesPassed, shapesTotal, timelinePassed, timelineTotal);
    return 0;
}
