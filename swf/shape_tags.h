#pragma once
// The shape tags as typed records: DefineShape 1 to 4, and DefineMorphShape and
// DefineMorphShape2 (a start and an end shape with matching edges and paired styles).

#include <cstdint>

#include "swf/records.h"
#include "swf/tags.h"

namespace swf {

// The shape's id, bounds, styles and records. Past kMaxShapeRecords the status names the limit.
ReadStatus ReadDefineShape(const Tag& tag, uint16_t& id, Rect& bounds, Shape& shape);

struct DefineMorphShape {
    Rect startBounds, endBounds;
    std::vector<FillStyle> startFills, endFills;  // paired by index
    std::vector<LineStyle> startLines, endLines;
    Shape startEdges, endEdges;  // records only: the styles are above
};

ReadStatus ReadDefineMorphShape(const Tag& tag, uint16_t& id, DefineMorphShape& out);

}  // namespace swf
