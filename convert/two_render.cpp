#include "convert/two_render.h"

#include "raster/alpha_compose.h"

namespace convert {

void TwoRenderFrames::draw(movie::Engine& engine, const raster::Target& frame) {
    // Every word of the frame's memory, padding at the rows' ends included.
    const size_t rowWords = static_cast<size_t>(frame.stride < 0 ? -frame.stride : frame.stride) / 4;
    const size_t count = rowWords * static_cast<size_t>(frame.height);
    overWhite_.resize(count);
    overBlack_.resize(count);
    // Laid out as the frame is, so that pixel i of each buffer is pixel i of the frame's memory.
    auto like = [&](std::vector<uint32_t>& pixels) {
        raster::Target t = frame;
        const uint8_t* lowest = reinterpret_cast<const uint8_t*>(frame.row(frame.stride < 0 ? frame.height - 1 : 0));
        t.origin = reinterpret_cast<uint8_t*>(pixels.data()) + (frame.origin - lowest);
        return t;
    };
    const raster::Rgba kept = engine.backgroundColor();
    engine.setBackgroundColor({255, 255, 255, 255});
    engine.drawOverBackground(like(overWhite_));
    engine.setBackgroundColor({0, 0, 0, 255});
    engine.drawOverBackground(like(overBlack_));
    engine.setBackgroundColor(kept);
}

void TwoRenderFrames::compose(const raster::Target& frame) {
    uint32_t* lowest = frame.row(frame.stride < 0 ? frame.height - 1 : 0);
    raster::ComposeAlpha(overWhite_.data(), overBlack_.data(), lowest, overWhite_.size());
}

}  // namespace convert
