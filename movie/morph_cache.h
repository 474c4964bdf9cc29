#pragma once
// Morph shapes made at the ratios drawn or measured, so that a morph that holds still is built
// once. Bounded: past kMaxCachedMorphs shapes it starts over.

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

#include "movie/definition.h"

namespace movie {

class MorphCache {
public:
    static constexpr size_t kMaxCachedMorphs = 256;

    // `morph` is a character of kind kMorph.
    const ShapeGeometry& at(const Character* morph, uint16_t ratio);
    void clear() { shapes_.clear(); }

private:
    std::map<std::pair<const Character*, uint16_t>, ShapeGeometry> shapes_;
};

}  // namespace movie
