#include "movie/morph_cache.h"

namespace movie {

const ShapeGeometry& MorphCache::at(const Character* morph, uint16_t ratio) {
    const auto key = std::make_pair(morph, ratio);
    if (auto it = shapes_.find(key); it != shapes_.end()) return it->second;
    if (shapes_.size() >= kMaxCachedMorphs) shapes_.clear();
    swf::Rect bounds;
    const swf::Shape shape = MorphAt(morph->morph(), ratio / 65535.0f, bounds);
    return shapes_.emplace(key, BuildShapeGeometry(shape, bounds)).first->second;
}

}  // namespace movie
