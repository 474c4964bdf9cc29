// The system's fonts as text finds them: names the system maps to one font share it, the
// fonts open at once are bounded, and layouts keep their glyph outlines whatever the caches do.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "movie/text/glyph_outline.h"

namespace {

using movie::GlyphShape;
using movie::ShapeGeometry;

// A system of fonts where "Real N" names a font of its own and every other name maps to
// the default; it counts what it opens.
class CountingSource final : public movie::DeviceFontSource {
public:
    ~CountingSource() override { closeFonts(); }
    int opened = 0;

protected:
    std::string pick(const std::string& family, bool, bool) override {
        return family.rfind("Real ", 0) == 0 ? family : std::string("default");
    }
    std::unique_ptr<movie::GlyphFont> open(const std::string& key, bool, bool) override {
        ++opened;
        return std::make_unique<Named>(key);
    }

private:
    struct Named final : movie::GlyphFont {
        explicit Named(std::string k) : key(std::move(k)) {}
        std::string key;
        GlyphShape glyph(uint32_t) const override { return nullptr; }
        float advance(uint32_t) const override { return 0; }
        float emUnits() const override { return 1024; }
        float ascent() const override { return 800; }
        float descent() const override { return 200; }
    };
};

TEST(DeviceFonts, NamesTheSystemMapsToOneFontShareIt) {
    CountingSource source;
    const movie::GlyphFont* first = source.find("No Such Font 0", false, false);
    ASSERT_NE(first, nullptr);
    // A movie naming a new font each frame, 20,000 frames: one font, opened once, and the
    // names remembered stay within their bound.
    for (int i = 1; i < 20000; ++i) {
        EXPECT_EQ(source.find("No Such Font " + std::to_string(i), false, false), first) << i;
    }
    EXPECT_EQ(source.opened, 1);
    EXPECT_EQ(source.find("_sans", false, false), first);
    // A style is a font of its own.
    EXPECT_NE(source.find("No Such Font", true, false), first);
    EXPECT_EQ(source.opened, 2);
    EXPECT_FALSE(source.overflowed());
}

TEST(DeviceFonts, FontsPastTheLimitAreDrawnInTheDefault) {
    CountingSource source;
    std::map<std::string, const movie::GlyphFont*> seen;
    for (size_t i = 0; i < movie::kMaxDeviceFonts; ++i) {
        const std::string name = "Real " + std::to_string(i);
        seen[name] = source.find(name, false, false);
    }
    EXPECT_FALSE(source.overflowed());
    EXPECT_EQ(source.openFonts(), movie::kMaxDeviceFonts);
    // One more real font: the default in that style instead, opened past the limit once.
    const movie::GlyphFont* past = source.find("Real 999", false, false);
    EXPECT_TRUE(source.overflowed());
    EXPECT_EQ(past, source.find("_sans", false, false));
    EXPECT_EQ(source.openFonts(), movie::kMaxDeviceFonts + 1);
    for (int i = 0; i < 100; ++i) source.find("Real " + std::to_string(1000 + i), true, true);
    EXPECT_EQ(source.openFonts(), movie::kMaxDeviceFonts + 2) << "the bold italic default, once";
    // The fonts opened before stay what they were, past any forgetting of names.
    for (int i = 0; i < 5000; ++i) source.find("Other " + std::to_string(i), false, false);
    for (const auto& [name, font] : seen) EXPECT_EQ(source.find(name, false, false), font) << name;
}

// The system's own fonts: any number of unknown names lead to a few fonts (their fallback),
// not a font each.
TEST(DeviceFonts, TheSystemsFontsAreOpenedOncePerFont) {
    const std::unique_ptr<movie::DeviceFontSource> source = movie::MakeDeviceFontSource();
    const movie::GlyphFont* sans = source->find("_sans", false, false);
    if (sans == nullptr) GTEST_SKIP() << "this system has no font";
    for (int i = 0; i < 500; ++i) source->find("Unknown Family " + std::to_string(i), false, false);
    EXPECT_LE(source->openFonts(), 3u);
}

// A font whose glyphs are outlines of `code` units wide, counted as they load.
class SquareFont final : public movie::CachedGlyphFont {
public:
    float emUnits() const override { return 1024; }
    float ascent() const override { return 800; }
    float descent() const override { return 200; }

private:
    void load(uint32_t code, Glyph& e) const override {
        movie::OutlineBuilder b(false);
        const double w = code % 500 + 10;
        b.moveTo(0, 0);
        b.lineTo(w, 0);
        b.lineTo(w, 100);
        b.lineTo(0, 100);
        b.close();
        e.shape = std::make_shared<const ShapeGeometry>(b.finish());
        e.advance = static_cast<float>(w);
        e.present = true;
    }
};

TEST(DeviceFonts, AGlyphOutlivesItsFontsCache) {
    SquareFont font;
    const GlyphShape kept = font.glyph(7);
    ASSERT_NE(kept, nullptr);
    const ShapeGeometry copy = *kept;
    // Many more characters than the cache holds: it is emptied on the way.
    for (uint32_t c = 100; c < 20000; ++c) ASSERT_NE(font.glyph(c), nullptr);
    EXPECT_EQ(kept->bounds.xMax, copy.bounds.xMax);
    EXPECT_EQ(kept->bounds.xMin, copy.bounds.xMin);
    EXPECT_EQ(font.advance(7), 17.0f);
}

}  // namespace
