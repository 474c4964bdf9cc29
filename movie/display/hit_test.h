#pragma once
// Whether a point lies on what a display object draws: inside a fill of its shapes (by the
// winding of the fill's edges) or within half a line's width of its lines, its children and
// what its scripts drew included.

#include "movie/display/display_object.h"
#include "movie/morph_cache.h"

namespace movie {

// (x, y) in the object's own twips.
bool HitsShape(const DisplayObject& o, MorphCache& morphs, double x, double y, int nesting = 0);
// The same for shape geometry.
bool HitsGeometry(const ShapeGeometry& g, double x, double y);

}  // namespace movie
