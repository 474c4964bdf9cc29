#pragma once
// PlaceObject3's filter records applied to the layer an object was drawn into.

#include <vector>

#include "movie/definition.h"
#include "raster/filters.h"

namespace movie {

// Applies the filters in order. Sizes in the records (blur widths, distances) are stage
// pixels and follow the stage's scale to the target. A record that does not read whole is
// skipped. Returns how far the effects may reach beyond the drawn pixels, in device pixels,
// so the caller can mark them.
int ApplyFilters(raster::Filters& filters, const raster::Target& layer, const std::vector<FilterRecord>& records,
                 float scaleX, float scaleY);

}  // namespace movie
