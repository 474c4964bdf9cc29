#pragma once
// Morph shapes (DefineMorphShape and DefineMorphShape2): a start and an end shape with
// matching edges and paired styles, drawn at the ratio a PlaceObject gives.

#include <string>
#include <vector>

#include "swf/records.h"
#include "swf/shape_tags.h"
#include "swf/tags.h"

namespace movie {

using MorphDefinition = swf::DefineMorphShape;
using swf::ReadDefineMorphShape;

// The shape at t from 0 (start) to 1 (end): styles and edges interpolated pairwise, a
// straight edge paired with a curve taken as a curve with its control at its middle.
swf::Shape MorphAt(const MorphDefinition& m, float t, swf::Rect& bounds);

}  // namespace movie
