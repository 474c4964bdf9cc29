#pragma once
// The filters of a placement applied to the layer an object was drawn into.

#include <cstdint>
#include <vector>

#include "raster/filters.h"
#include "swf/filters.h"

namespace movie {

// The filter work one frame may take, in pixels filtered (each pass of a blur over a pixel
// is one, a shadow or bevel's planes each one more): 128 Mi, some 64 passes over a 1080p
// frame. Filters past it are left out of the frame.
inline constexpr int64_t kMaxFilterWorkPerFrame = int64_t{1} << 27;

// What is left of a frame's filter work, and whether any filter went without for want of it.
struct FilterBudget {
    int64_t left = kMaxFilterWorkPerFrame;
    bool exhausted = false;
};

// Applies the filters in order to the part of the layer that holds the object (`drawn`) and
// what their effects reach around it. Sizes in the filters (blur widths, distances) are stage
// pixels and follow the stage's scale to the target. Returns the box that now holds the
// result, for the caller to mark.
raster::PixelBox ApplyFilters(raster::Filters& filters, const raster::Target& layer, const raster::PixelBox& drawn,
                              const std::vector<swf::Filter>& list, float scaleX, float scaleY, FilterBudget& budget);

}  // namespace movie
