#include "player/frame_draw.h"

#include "raster/composite.h"

namespace player {

void DrawOverBackground(movie::Player& engine, const raster::Target& target) {
    engine.draw(target, true, true);
    const uint32_t background = raster::PremultipliedWord(engine.backgroundColor());
    for (int y = 0; y < target.height; ++y) {
        uint32_t* row = target.row(y);
        for (int x = 0; x < target.width; ++x) row[x] = raster::Over(background, row[x]);
    }
}

}  // namespace player
