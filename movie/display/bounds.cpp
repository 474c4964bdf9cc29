#include "movie/display/bounds.h"

#include <algorithm>

namespace movie {

bool BoundsOf(const DisplayObject& o, MorphCache& morphs, swf::Rect& out, int nesting) {
    // A level's root has no character: only its timeline.
    if ((o.character == nullptr && o.sprite() == nullptr) || nesting > kMaxSpriteNesting) return false;
    if (o.scrollRect) {
        // What a scroll rectangle shows is all there is of the object.
        out = {0, o.scrollRect->xMax - o.scrollRect->xMin, 0, o.scrollRect->yMax - o.scrollRect->yMin};
        return true;
    }
    switch (o.character != nullptr ? o.character->kind() : Character::Kind::kSprite) {
        case Character::Kind::kShape: out = o.character->shape().bounds; return true;
        case Character::Kind::kMorph: out = morphs.at(o.character, o.ratio).bounds; return true;
        case Character::Kind::kText: {
            // The text's bounds are in its own space, under its matrix.
            const swf::Matrix& m = o.character->text().matrix;
            const swf::Rect& b = o.character->text().bounds;
            out = {m.translateX + b.xMin, m.translateX + b.xMax, m.translateY + b.yMin, m.translateY + b.yMax};
            return true;
        }
        case Character::Kind::kEditText: out = o.character->edit().bounds; return true;
        case Character::Kind::kVideo: out = o.character->video().rectangle.bounds; return true;
        default: break;
    }
    const TimelineInstance* sprite = o.sprite();
    if (sprite == nullptr) return false;
    bool any = sprite->drawing && sprite->drawing->bounds(out);
    for (const auto& [depth, child] : sprite->displayList) {
        swf::Rect b;
        if (BoundsOf(child, morphs, b, nesting + 1)) IncludeTransformed(b, child.matrix, out, any);
    }
    return any;
}

void IncludeTransformed(const swf::Rect& local, const swf::Matrix& m, swf::Rect& out, bool& any) {
    for (int corner = 0; corner < 4; ++corner) {
        const double x = corner & 1 ? local.xMax : local.xMin, y = corner & 2 ? local.yMax : local.yMin;
        const int32_t tx = static_cast<int32_t>(x * m.scaleX + y * m.rotateSkew1 + m.translateX);
        const int32_t ty = static_cast<int32_t>(x * m.rotateSkew0 + y * m.scaleY + m.translateY);
        if (!any) {
            out = {tx, tx, ty, ty};
            any = true;
        }
        out.xMin = std::min(out.xMin, tx);
        out.xMax = std::max(out.xMax, tx);
        out.yMin = std::min(out.yMin, ty);
        out.yMax = std::max(out.yMax, ty);
    }
}

}  // namespace movie
