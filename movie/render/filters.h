#pragma once
// The filters of a placement applied to the layer an object was drawn into.

#include <vector>

#include "raster/filters.h"
#include "swf/filters.h"

namespace movie {

// Applies the filters in order. Sizes in the filters (blur widths, distances) are stage
// pixels and follow the stage's scale to the target. Returns how far the effects may reach
// beyond the drawn pixels, in device pixels, so the caller can mark them.
int ApplyFilters(raster::Filters& filters, const raster::Target& layer, const std::vector<swf::Filter>& list,
                 float scaleX, float scaleY);

}  // namespace movie
