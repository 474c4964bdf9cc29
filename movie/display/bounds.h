#pragma once
// The bounds of display objects as the engine measures them: shapes, morphs at their ratio and
// static text by their records' bounds; sprites by their children's under their matrices.

#include "movie/display/display_object.h"
#include "movie/morph_cache.h"

namespace movie {

// The object's bounds in its own twips; false when it has none. `nesting` counts the sprites
// it lies in, so that the walk stops at kMaxSpriteNesting.
bool BoundsOf(const DisplayObject& o, MorphCache& morphs, swf::Rect& out, int nesting = 0);
// Grows `out` (or starts it, when `any` is false) by `local` under the matrix.
void IncludeTransformed(const swf::Rect& local, const swf::Matrix& m, swf::Rect& out, bool& any);

}  // namespace movie
