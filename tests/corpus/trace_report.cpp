// The trace report: runs every timeline and ActionScript 1/2 test of the SWF corpus for the
// frames its test.toml gives and compares what the movie prints with trace() with the
// test's output.txt, exactly.
//
//   tevlin_trace_report CORPUS_DIR [--list]
//
// --list prints every test with its result; --show NAME prints one test's expected and
// printed lines side by side, and its log. The last lines read
//   "trace avm1: M of T match; timeline scripts: m of t"
//   "trace timeline: M of T match; timeline scripts: m of t"
// where "timeline scripts" counts the tests whose scripts only drive the timeline.
// Without the corpus folder the report says so and exits 0.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "movie/engine.h"
#include "tests/corpus/corpus_scan.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaxFramesRun = 2000;  // a test asking for more is cut here

struct Tally {
    int total = 0, matched = 0, timelineTotal = 0, timelineMatched = 0;
};

std::string Normalized(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

const char* g_show = nullptr;  // --show's test name

void Show(const std::string& expected, const std::string& printed, const std::vector<std::string>& log) {
    auto lines = [](const std::string& s) {
        std::vector<std::string> out;
        size_t from = 0;
        while (from < s.size()) {
            const size_t nl = s.find('\n', from);
            out.push_back(s.substr(from, nl == std::string::npos ? std::string::npos : nl - from));
            if (nl == std::string::npos) break;
            from = nl + 1;
        }
        return out;
    };
    const std::vector<std::string> e = lines(expected), p = lines(printed);
    for (size_t i = 0; i < std::max(e.size(), p.size()); ++i) {
        const std::string a = i < e.size() ? e[i] : "<none>", b = i < p.size() ? p[i] : "<none>";
        std::printf("%s %-48s | %s\n", a == b ? " " : "!", a.c_str(), b.c_str());
    }
    for (const std::string& l : log) std::printf("log: %s\n", l.c_str());
}

void RunGroup(const fs::path& group, bool list, Tally& tally) {
    if (!fs::is_directory(group)) return;
    std::vector<fs::path> tests;
    for (const auto& e : fs::directory_iterator(group)) {
        if (fs::exists(e.path() / "test.swf") && fs::exists(e.path() / "output.txt")) tests.push_back(e.path());
    }
    std::sort(tests.begin(), tests.end());
    for (const fs::path& dir : tests) {
        if (g_show != nullptr && dir.filename().string() != g_show) continue;
        swf::SwfFile file;
        std::string error;
        if (!swf::LoadSwfFile((dir / "test.swf").string().c_str(), file, error)) {
            ++tally.total;
            if (list) std::printf("%-50s FAIL  (%s)\n", dir.filename().string().c_str(), error.c_str());
            continue;
        }
        const corpus::Features f = corpus::Scan(file);
        if (f.as3) continue;
        ++tally.total;
        if (f.timelineScriptsOnly()) ++tally.timelineTotal;
        const int frames = std::min(corpus::FramesToRun(corpus::ReadText((dir / "test.toml").string())), kMaxFramesRun);
        std::string printed;
        movie::Engine player;
        player.setTraceSink([&](const std::string& line) { printed += line + "\n"; });
        std::vector<std::string> log;
        player.setLogSink([&](const std::string& line) { log.push_back(line); });
        // Read from its file, so that what it loads comes from beside it.
        bool ok = player.loadFile((dir / "test.swf").string().c_str(), error);
        if (ok) player.gotoFrame(frames - 1);
        const std::string expected = Normalized(corpus::ReadText((dir / "output.txt").string()));
        if (g_show != nullptr) Show(expected, Normalized(printed), log);
        ok = ok && Normalized(printed) == expected;
        tally.matched += ok;
        if (ok && f.timelineScriptsOnly()) ++tally.timelineMatched;
        if (list) {
            std::printf("%-50s %s  %s\n", dir.filename().string().c_str(), ok ? "match" : "FAIL ",
                        f.timelineScriptsOnly() ? "timeline scripts" : ("names " + f.objectName).c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path("../shared/corpus");
    const bool list = argc > 2 && std::strcmp(argv[2], "--list") == 0;
    if (argc > 3 && std::strcmp(argv[2], "--show") == 0) g_show = argv[3];
    if (!fs::is_directory(corpus / "avm1")) {
        std::printf("trace: skipped, %s is not there\n", (corpus / "avm1").string().c_str());
        return 0;
    }
    for (const char* group : {"avm1", "timeline"}) {
        Tally t;
        RunGroup(corpus / group, list, t);
        std::printf("trace %s: %d of %d match; timeline scripts: %d of %d\n", group, t.matched, t.total, t.timelineMatched,
                    t.timelineTotal);
    }
    return 0;
}
