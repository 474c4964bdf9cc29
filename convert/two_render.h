#pragma once
// The Windows program's frames: its player control draws the frame over white and over black
// (each a transparent draw laid over the colour), and the alpha composition of the two gives
// the frame. Here for the benchmark and the tests, so that what they time and check is what
// the Windows capture does.

#include <cstdint>
#include <vector>

#include "convert/conversion.h"

namespace convert {

class TwoRenderFrames final : public FrameMaker {
public:
    void draw(movie::Engine& engine, const raster::Target& frame) override;
    void compose(const raster::Target& frame) override;

private:
    std::vector<uint32_t> overWhite_, overBlack_;
};

}  // namespace convert
