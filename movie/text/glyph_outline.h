#pragma once
// Glyph outlines from a system font library made into the shapes the engine draws: contours
// of lines and quadratic curves (cubic ones split into quadratics), in font units with y
// growing downwards, filled with one opaque white style as embedded glyphs are.

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>

#include "movie/text/edit_text.h"
#include "movie/render/shape.h"

namespace movie {

class OutlineBuilder {
public:
    // `flipY`: the font's y grows upwards, as in TrueType.
    explicit OutlineBuilder(bool flipY) : flip_(flipY) {}
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void quadTo(double cx, double cy, double x, double y);
    void cubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y);
    void close();
    ShapeGeometry finish();

private:
    int32_t ix(double x) const;
    int32_t iy(double y) const;
    bool flip_;
    swf::Shape shape_;
    bool open_ = false;
    int32_t startX_ = 0, startY_ = 0, x_ = 0, y_ = 0;  // rounded, as the records have them
    double fx_ = 0, fy_ = 0;                            // the exact pen, for curve splitting
};

// A system font whose glyphs are read once each, when first asked for.
class CachedGlyphFont : public GlyphFont {
public:
    const ShapeGeometry* glyph(uint32_t code) const final;
    float advance(uint32_t code) const final;

protected:
    struct Glyph {
        ShapeGeometry shape;
        float advance = 0;
        bool present = false;  // false: the font has no glyph for the character
    };
    virtual void load(uint32_t code, Glyph& out) const = 0;

private:
    static constexpr size_t kMaxCachedGlyphs = 4096;
    const Glyph& entry(uint32_t code) const;
    mutable std::unordered_map<uint32_t, Glyph> cache_;
};

// The fonts of the system, for text whose movie carries no outlines: "_sans", "_serif",
// "_typewriter" or a family name, matched to the nearest font the system has.
// Each font is opened once and kept.
class DeviceFontSource {
public:
    virtual ~DeviceFontSource() = default;
    // Null when the system has no font at all.
    const GlyphFont* find(const std::string& name, bool bold, bool italic);

protected:
    // The backend's font for a family (DeviceFamily's), or null.
    virtual std::unique_ptr<GlyphFont> open(const std::string& family, bool bold, bool italic) = 0;
    // A backend closes its fonts before the library they come from.
    void closeFonts() { fonts_.clear(); }

private:
    std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<GlyphFont>> fonts_;
};

// FreeType and fontconfig on Linux, GDI on Windows.
std::unique_ptr<DeviceFontSource> MakeDeviceFontSource();

// The family a generic device font name stands for on this system, or the name itself.
std::string DeviceFamily(const std::string& name);

}  // namespace movie
