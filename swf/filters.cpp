#include "swf/filters.h"

#include <cmath>
#include <cstring>

namespace swf {

namespace {

float ReadFloat(ByteReader& r) {
    const uint32_t bits = r.u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return std::isfinite(f) ? f : 0.0f;
}

// The size of a filter's fields after its id byte, or -1 when it can't be told.
long FieldsSize(FilterId id, ByteReader r) {
    switch (id) {
        case FilterId::kDropShadow: return 23;
        case FilterId::kBlur: return 9;
        case FilterId::kGlow: return 15;
        case FilterId::kBevel: return 27;
        case FilterId::kGradientGlow:
        case FilterId::kGradientBevel: {
            const uint8_t count = r.u8();
            return r.ok() ? 1 + 5L * count + 19 : -1;
        }
        case FilterId::kConvolution: {
            const uint8_t cols = r.u8(), rows = r.u8();
            return r.ok() ? 2 + 8 + 4L * cols * rows + 4 + 1 : -1;
        }
        case FilterId::kColorMatrix: return 80;
    }
    return -1;
}

// Blur, angle and distance (`withAngle`), strength, then the flags: inner, knockout,
// composite source, on top (`withOnTop`) and the passes in the bits left.
FilterEffect ReadEffect(ByteReader& r, bool withAngle, bool withOnTop) {
    FilterEffect e;
    e.blurX = r.fixed16();
    e.blurY = r.fixed16();
    if (withAngle) {
        e.angle = r.fixed16();
        e.distance = r.fixed16();
    }
    e.strength = r.fixed8();
    e.inner = r.flag();
    e.knockout = r.flag();
    e.compositeSource = r.flag();
    e.onTop = withOnTop ? r.flag() : false;
    e.passes = static_cast<uint8_t>(r.ubits(withOnTop ? 4 : 5));
    r.align();
    return e;
}

std::vector<GradientRecord> ReadStops(ByteReader& r) {
    std::vector<GradientRecord> stops(r.u8());
    for (GradientRecord& s : stops) s.color = ReadRgba(r);
    for (GradientRecord& s : stops) s.ratio = r.u8();
    return stops;
}

Filter ReadFields(FilterId id, ByteReader& r) {
    switch (id) {
        case FilterId::kDropShadow: {
            DropShadowFilter f;
            f.color = ReadRgba(r);
            f.effect = ReadEffect(r, true, false);
            return f;
        }
        case FilterId::kBlur: {
            BlurFilter f;
            f.blurX = r.fixed16();
            f.blurY = r.fixed16();
            f.passes = static_cast<uint8_t>(r.ubits(5));
            r.align();
            return f;
        }
        case FilterId::kGlow: {
            GlowFilter f;
            f.color = ReadRgba(r);
            f.effect = ReadEffect(r, false, false);
            return f;
        }
        case FilterId::kBevel: {
            BevelFilter f;
            f.highlight = ReadRgba(r);
            f.shadow = ReadRgba(r);
            f.effect = ReadEffect(r, true, true);
            return f;
        }
        case FilterId::kGradientGlow: {
            GradientGlowFilter f;
            f.stops = ReadStops(r);
            f.effect = ReadEffect(r, true, true);
            return f;
        }
        case FilterId::kGradientBevel: {
            GradientBevelFilter f;
            f.stops = ReadStops(r);
            f.effect = ReadEffect(r, true, true);
            return f;
        }
        case FilterId::kConvolution: {
            ConvolutionFilter f;
            f.columns = r.u8();
            f.rows = r.u8();
            f.divisor = ReadFloat(r);
            f.bias = ReadFloat(r);
            f.matrix.resize(static_cast<size_t>(f.columns) * f.rows);
            for (float& k : f.matrix) k = ReadFloat(r);
            f.outside = ReadRgba(r);
            r.ubits(6);
            f.clamp = r.flag();
            f.preserveAlpha = r.flag();
            r.align();
            return f;
        }
        case FilterId::kColorMatrix: {
            ColorMatrixFilter f;
            for (float& v : f.matrix) v = ReadFloat(r);
            return f;
        }
    }
    return BlurFilter{};  // not reached: the id was checked
}

}  // namespace

bool ReadFilterList(ByteReader& r, std::vector<Filter>& out) {
    const uint8_t count = r.u8();
    for (uint8_t i = 0; i < count && r.ok(); ++i) {
        const uint8_t id = r.u8();
        if (id > static_cast<uint8_t>(FilterId::kGradientBevel)) return false;
        const auto kind = static_cast<FilterId>(id);
        const long size = FieldsSize(kind, ByteReader(r.current(), r.remaining()));
        if (size < 0 || static_cast<size_t>(size) > r.remaining()) return false;
        ByteReader fields = r.sub(static_cast<size_t>(size));
        out.push_back(ReadFields(kind, fields));
    }
    return r.ok();
}

}  // namespace swf
