#include "movie/text/font_library.h"

#include <string>
#include <unordered_map>

namespace movie {

namespace {

// An embedded font as the text layout sees it.
class EmbeddedFont final : public GlyphFont {
public:
    explicit EmbeddedFont(const Font& f) : font_(f) {
        for (size_t i = 0; i < f.codes.size() && i < f.glyphs.size(); ++i) index_.emplace(f.codes[i], i);
    }
    GlyphShape glyph(uint32_t code) const override {
        auto it = index_.find(code);
        // The movie's own outlines live as long as the movie: the layout borrows them.
        return it == index_.end() ? nullptr : GlyphShape(GlyphShape(), &font_.glyphs[it->second]);
    }
    float advance(uint32_t code) const override {
        auto it = index_.find(code);
        if (it == index_.end()) return 0;
        return it->second < font_.advances.size() ? font_.advances[it->second] : font_.emUnits / 2;
    }
    float emUnits() const override { return font_.emUnits; }
    float ascent() const override { return font_.hasLayout ? font_.ascent : font_.emUnits * 0.8f; }
    float descent() const override { return font_.hasLayout ? font_.descent : font_.emUnits * 0.2f; }

private:
    const Font& font_;
    std::unordered_map<uint32_t, size_t> index_;
};

}  // namespace

const GlyphFont* FontLibrary::fontFor(const EditTextDefinition& field, const TextStyle& style) {
    const Character* own = field.fontId ? definition_.character(*field.fontId) : nullptr;
    const Font* base = own != nullptr && own->kind() == Character::Kind::kFont ? &own->font() : nullptr;
    const std::string name = !style.face.empty() ? style.face : base != nullptr ? base->name : std::string("_sans");
    const bool bold = style.bold || (style.face.empty() && base != nullptr && base->bold);
    const bool italic = style.italic || (style.face.empty() && base != nullptr && base->italic);
    if (field.useOutlines) {
        const Font* embedded =
            style.face.empty() && !style.bold && !style.italic ? base : definition_.fontNamed(name, bold, italic);
        if (embedded == nullptr) embedded = base;
        if (embedded != nullptr && !embedded->glyphs.empty()) {
            std::unique_ptr<GlyphFont>& slot = embedded_[embedded];
            if (!slot) slot = std::make_unique<EmbeddedFont>(*embedded);
            return slot.get();
        }
        return nullptr;
    }
    if (!device_) device_ = MakeDeviceFontSource();
    return device_->find(name, bold, italic);
}

}  // namespace movie
