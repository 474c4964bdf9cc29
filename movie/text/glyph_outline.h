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
    GlyphShape glyph(uint32_t code) const final;
    float advance(uint32_t code) const final;

protected:
    struct Glyph {
        GlyphShape shape;
        float advance = 0;
        bool present = false;  // false: the font has no glyph for the character
    };
    virtual void load(uint32_t code, Glyph& out) const = 0;

private:
    static constexpr size_t kMaxCachedGlyphs = 4096;
    const Glyph& entry(uint32_t code) const;
    mutable std::unordered_map<uint32_t, Glyph> cache_;
};

// The system fonts open at once: names that the system maps to one font share it, so only
// movies that name many fonts the system really has meet this. Past it, a name not yet seen
// is drawn in the default font ("_sans" in its style).
inline constexpr size_t kMaxDeviceFonts = 32;
// The names remembered on the way to their fonts; past it they are looked up afresh.
inline constexpr size_t kMaxDeviceFontNames = 1024;

// The fonts of the system, for text whose movie carries no outlines: "_sans", "_serif",
// "_typewriter" or a family name, matched to the nearest font the system has. Each font is
// opened once and kept while the source lives (layouts lay out with them).
class DeviceFontSource {
public:
    virtual ~DeviceFontSource() = default;
    // Null when the system has no font at all.
    const GlyphFont* find(const std::string& name, bool bold, bool italic);
    // Whether a name was drawn in the default font because kMaxDeviceFonts were open.
    bool overflowed() const { return overflowed_; }
    size_t openFonts() const { return fonts_.size(); }

protected:
    // Which font the system picks for a family (DeviceFamily's) in a style, as a key that
    // names it (its file, its face): empty when none.
    virtual std::string pick(const std::string& family, bool bold, bool italic) = 0;
    // The font a key from pick names, or null.
    virtual std::unique_ptr<GlyphFont> open(const std::string& key, bool bold, bool italic) = 0;
    // A backend closes its fonts before the library they come from.
    void closeFonts() {
        names_.clear();
        fonts_.clear();
    }

private:
    using Key = std::tuple<std::string, bool, bool>;
    const GlyphFont* openPicked(const std::string& picked, bool bold, bool italic, bool evenWhenFull);
    std::map<Key, const GlyphFont*> names_;               // a movie's name and style to its font
    std::map<Key, std::unique_ptr<GlyphFont>> fonts_;     // by the picked key and style
    bool overflowed_ = false;
};

// FreeType and fontconfig on Linux, GDI on Windows.
std::unique_ptr<DeviceFontSource> MakeDeviceFontSource();

// The family a generic device font name stands for on this system, or the name itself.
std::string DeviceFamily(const std::string& name);

}  // namespace movie
