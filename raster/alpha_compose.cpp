#include "raster/alpha_compose.h"

namespace raster {

void ComposeAlpha(const uint32_t* overWhite, const uint32_t* overBlack, uint32_t* out, size_t count) {
    // Plain enough for the compiler to vectorise; one pass, no allocation.
    for (size_t i = 0; i < count; ++i) out[i] = ComposePixel(overWhite[i], overBlack[i]);
}

}  // namespace raster
