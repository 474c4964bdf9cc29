// Device fonts on Linux: fontconfig picks the file, FreeType reads the outlines.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdlib>
#include <map>
#include <string>
#include <memory>
#include <unordered_map>

#include "movie/text/glyph_outline.h"

namespace movie {

namespace {

double D(FT_Pos v) { return static_cast<double>(v); }

class FreeTypeFont final : public CachedGlyphFont {
public:
    explicit FreeTypeFont(FT_Face face) : face_(face) {}
    ~FreeTypeFont() override { FT_Done_Face(face_); }
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    float emUnits() const override { return face_->units_per_EM > 0 ? face_->units_per_EM : 2048; }
    float ascent() const override { return static_cast<float>(face_->ascender); }
    float descent() const override { return static_cast<float>(-face_->descender); }

private:
    void load(uint32_t code, Glyph& e) const override {
        const FT_UInt index = FT_Get_Char_Index(face_, code);
        if (index == 0) return;  // not in the font: no room, no ink
        if (FT_Load_Glyph(face_, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return;
        e.advance = static_cast<float>(face_->glyph->advance.x);
        if (face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return;
        OutlineBuilder builder(true);
        FT_Outline_Funcs funcs{};
        funcs.move_to = [](const FT_Vector* to, void* user) {
            static_cast<OutlineBuilder*>(user)->moveTo(D(to->x), D(to->y));
            return 0;
        };
        funcs.line_to = [](const FT_Vector* to, void* user) {
            static_cast<OutlineBuilder*>(user)->lineTo(D(to->x), D(to->y));
            return 0;
        };
        funcs.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* user) {
            static_cast<OutlineBuilder*>(user)->quadTo(D(c->x), D(c->y), D(to->x), D(to->y));
            return 0;
        };
        funcs.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
            static_cast<OutlineBuilder*>(user)->cubicTo(D(c1->x), D(c1->y), D(c2->x), D(c2->y), D(to->x), D(to->y));
            return 0;
        };
        if (FT_Outline_Decompose(&face_->glyph->outline, &funcs, &builder) != 0) return;
        e.shape = std::make_shared<const ShapeGeometry>(builder.finish());
        e.present = true;
    }

    FT_Face face_;
};

class FreeTypeSource final : public DeviceFontSource {
public:
    FreeTypeSource() {
        ok_ = FT_Init_FreeType(&library_) == 0;
        config_ = FcInitLoadConfigAndFonts();
    }
    ~FreeTypeSource() override {
        closeFonts();
        if (ok_) FT_Done_FreeType(library_);
        if (config_ != nullptr) FcConfigDestroy(config_);
    }
    FreeTypeSource(const FreeTypeSource&) = delete;
    FreeTypeSource& operator=(const FreeTypeSource&) = delete;

protected:
    // The file fontconfig matches, and the face's index in it: "index:path".
    std::string pick(const std::string& family, bool bold, bool italic) override {
        if (!ok_ || config_ == nullptr) return {};
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(config_, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config_, pattern, &result);
        FcPatternDestroy(pattern);
        if (match == nullptr) return {};
        std::string key;
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            key = std::to_string(index) + ":" + reinterpret_cast<const char*>(file);
        }
        FcPatternDestroy(match);
        return key;
    }

    std::unique_ptr<GlyphFont> open(const std::string& key, bool, bool) override {
        const size_t colon = key.find(':');
        if (!ok_ || colon == std::string::npos) return nullptr;
        const long index = std::strtol(key.c_str(), nullptr, 10);
        FT_Face face = nullptr;
        if (FT_New_Face(library_, key.c_str() + colon + 1, index, &face) != 0) return nullptr;
        if ((face->face_flags & FT_FACE_FLAG_SCALABLE) == 0) {
            FT_Done_Face(face);
            return nullptr;
        }
        return std::make_unique<FreeTypeFont>(face);
    }

private:
    bool ok_ = false;
    FT_Library library_ = nullptr;
    FcConfig* config_ = nullptr;
};

}  // namespace

std::unique_ptr<DeviceFontSource> MakeDeviceFontSource() { return std::make_unique<FreeTypeSource>(); }

}  // namespace movie
