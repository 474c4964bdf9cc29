#include "raster/shader.h"

#include <algorithm>

namespace raster {

void Shader::prepare(const Paint& paint) {
    solid_ = paint.kind == Paint::Kind::kSolid || paint.gradient == nullptr;
    if (solid_) {
        color_ = PremultipliedWord(paint.cx.apply(paint.color));
        return;
    }
    gradient_ = paint.gradient;
    if (paint.cx.isIdentity()) {
        table_ = gradient_->table();
    } else {
        gradient_->buildTable(paint.cx, table_);
    }
    invertible_ = paint.matrix.invert(toGradient_);
}

void Shader::shade(int y, int x0, int count, uint32_t* out) const {
    if (solid_) {
        std::fill_n(out, count, color_);
        return;
    }
    if (!invertible_) {
        std::fill_n(out, count, 0u);
        return;
    }
    const Point start = toGradient_.apply({static_cast<float>(x0) + 0.5f, static_cast<float>(y) + 0.5f});
    const float du = toGradient_.a, dv = toGradient_.b;
    const Gradient& g = *gradient_;
    float u = start.x, v = start.y;
    if (g.kind() == GradientKind::kLinear) {
        for (int i = 0; i < count; ++i, u += du) out[i] = table_[g.index((u + 1) * 0.5f)];
        return;
    }
    for (int i = 0; i < count; ++i, u += du, v += dv) out[i] = table_[g.index(g.position(u, v))];
}

}  // namespace raster
