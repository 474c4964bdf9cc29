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

#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "convert/conversion.h"
#include "convert/two_render.h"
#include "support/demo_movie.h"
#include "swf/swf_header.h"
#include "swf/tags.h"

namespace {

constexpr int kRuns = 3;

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
    return 0;
}
