#pragma once
// How the player control draws a frame over its background colour: the engine's frame drawn
// transparent, then laid over the colour in one step. Laying the finished frame over the
// colour (rather than drawing the shapes onto it) makes a render over white and one over
// black differ by exactly 255 - alpha in every channel, so the two-render alpha composition
// gives back the engine's own transparent frame, the one the portable converter writes.

#include "movie/player.h"
#include "raster/target.h"

namespace player {

void DrawOverBackground(movie::Player& engine, const raster::Target& target);

}  // namespace player
