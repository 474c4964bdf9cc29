// Fuzzes the engine as a whole: a movie loaded, stepped through a few frames with its
// scripts, and drawn at a small size, transparent and opaque.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "movie/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    swf::SwfFile file;
    std::string error;
    if (!swf::ParseSwf(data, size, file, error)) return 0;
    movie::Engine player;
    player.setTraceSink([](const std::string&) {});
    player.setLogSink([](const std::string&) {});
    if (!player.load(file, error)) return 0;
    std::vector<uint32_t> pixels(32 * 24);
    const raster::Target target = raster::Target::TopDown(pixels.data(), 32, 24, 32 * 4);
    for (int frame = 0; frame < 4; ++frame) {
        player.gotoFrame(frame);
        player.draw(target, frame % 2 == 0, frame < 2);
    }
    return 0;
}
