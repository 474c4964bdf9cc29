// The RIFF writer's speed against plain fwrite of the same bytes to the same disk.
//
// Each run writes a file of full-HD 32-bit frames to a temporary folder (TEVLIN_BENCH_DIR,
// or the system's) and deletes it. The last line reads
//   avi_writer RIFF_MBPS FWRITE_MBPS RATIO
// with RATIO = RIFF_MBPS / FWRITE_MBPS (1.0 means the writer costs nothing over the disk).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "avi/avi_writer.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kFramesPerFile = 60;  // about 500 MB per file

std::filesystem::path BenchFile(const char* name) {
    const char* dir = std::getenv("TEVLIN_BENCH_DIR");
    return (dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path()) / name;
}

std::vector<uint32_t>& Pixels() {
    static std::vector<uint32_t> pixels = [] {
        std::vector<uint32_t> p(static_cast<size_t>(kWidth) * kHeight);
        for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint32_t>(i * 2654435761u);
        return p;
    }();
    return pixels;
}

void BM_RiffWriter(benchmark::State& state) {
    const std::string path = BenchFile("tevlin-bench-riff.avi").string();
    const avi::DibFrame frame = avi::MakeDibFrame(kWidth, kHeight, Pixels().data());
    for (auto _ : state) {
        avi::AviWriter* w = avi::OpenAviWriter(path.c_str(), 40, nullptr, avi::AviBackendKind::kRiff);
        if (w == nullptr) {
            state.SkipWithError("cannot create the file");
            return;
        }
        for (int k = 0; k < kFramesPerFile; ++k) {
            if (avi::AppendAviFrame(w, &frame) != avi::avierr::kOk) state.SkipWithError("append failed");
        }
        if (avi::CloseAviWriter(w) != avi::avierr::kOk) state.SkipWithError("close failed");
    }
    state.SetBytesProcessed(state.iterations() * kFramesPerFile * int64_t{frame.header.biSizeImage});
    std::filesystem::remove(path);
}

void BM_PlainFwrite(benchmark::State& state) {
    const std::string path = BenchFile("tevlin-bench-fwrite.bin").string();
    const size_t bytes = Pixels().size() * 4;
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            state.SkipWithError("cannot create the file");
            return;
        }
        for (int k = 0; k < kFramesPerFile; ++k) {
            if (std::fwrite(Pixels().data(), 1, bytes, f) != bytes) state.SkipWithError("fwrite failed");
        }
        std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * kFramesPerFile * static_cast<int64_t>(bytes));
    std::filesystem::remove(path);
}

BENCHMARK(BM_RiffWriter)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// Collects bytes per second by benchmark name, and shows the runs as usual.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) mbps[run.benchmark_name()] = it->second.value / 1e6;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> mbps;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double riff = reporter.mbps["BM_RiffWriter/min_time:2.000/real_time"];
    const double plain = reporter.mbps["BM_PlainFwrite/min_time:2.000/real_time"];
    if (riff > 0 && plain > 0) std::printf("avi_writer %.0f %.0f %.3f\n", riff, plain, riff / plain);
    benchmark::Shutdown();
    return 0;
}
