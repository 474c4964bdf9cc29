#pragma once
// The fonts edit text draws with: a movie's embedded fonts as the text layout sees them, and
// the system's fonts through the device-font source, each made once and kept while the movie
// is loaded.

#include <map>
#include <memory>

#include "movie/definition.h"
#include "movie/text/glyph_outline.h"

namespace movie {

class FontLibrary {
public:
    explicit FontLibrary(const MovieDefinition& definition) : definition_(definition) {}

    // The field's font for a style: its own embedded font, or one the HTML names, when the
    // field uses outlines and the font has them (none otherwise: such a field draws no glyph
    // it lacks); else the system's font of that name.
    const GlyphFont* fontFor(const EditTextDefinition& field, const TextStyle& style);
    // A new movie: its embedded fonts are made anew; the system's stay.
    void clearEmbedded() { embedded_.clear(); }
    // Whether text named more system fonts than kMaxDeviceFonts and was drawn in the default.
    bool deviceFontsOverflowed() const { return device_ != nullptr && device_->overflowed(); }

private:
    const MovieDefinition& definition_;
    std::map<const Font*, std::unique_ptr<GlyphFont>> embedded_;
    std::unique_ptr<DeviceFontSource> device_;
};

}  // namespace movie
