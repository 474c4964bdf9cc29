#include "support/swf_builder.h"

#include <zlib.h>

#include "swf/tags.h"

#include <algorithm>
#include <stdexcept>

namespace testing_support {

void BitWriter::bits(uint32_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
        if (used_ == 0) bytes_.push_back(0);
        if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> used_);
        used_ = (used_ + 1) % 8;
    }
}

void BitWriter::align() { used_ = 0; }

std::vector<uint8_t> BitWriter::take() {
    used_ = 0;
    return std::move(bytes_);
}

unsigned SignedBitsNeeded(std::initializer_list<int32_t> values) {
    unsigned needed = 1;
    for (int32_t v : values) {
        unsigned n = 1;
        while (n < 32 && (v < -(1 << (n - 1)) || v > (1 << (n - 1)) - 1)) ++n;
        needed = std::max(needed, n);
    }
    return needed;
}

void WriteRect(BitWriter& w, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax) {
    const unsigned n = SignedBitsNeeded({xMin, xMax, yMin, yMax});
    w.bits(n, 5);
    for (int32_t v : {xMin, xMax, yMin, yMax}) w.signedBits(v, n);
    w.align();
}

void WriteMatrix(BitWriter& w, std::optional<std::pair<double, double>> scale,
                 std::optional<std::pair<double, double>> rotateSkew, int32_t tx, int32_t ty) {
    auto pair = [&](std::optional<std::pair<double, double>> terms) {
        w.bits(terms ? 1 : 0, 1);
        if (!terms) return;
        const int32_t a = static_cast<int32_t>(terms->first * 65536), b = static_cast<int32_t>(terms->second * 65536);
        const unsigned n = SignedBitsNeeded({a, b});
        w.bits(n, 5);
        w.signedBits(a, n);
        w.signedBits(b, n);
    };
    pair(scale);
    pair(rotateSkew);
    const unsigned n = SignedBitsNeeded({tx, ty});
    w.bits(n, 5);
    w.signedBits(tx, n);
    w.signedBits(ty, n);
    w.align();
}

void WriteColorTransform(BitWriter& w, bool withAlpha, std::optional<std::array<int, 4>> mul,
                         std::optional<std::array<int, 4>> add) {
    w.bits(add ? 1 : 0, 1);
    w.bits(mul ? 1 : 0, 1);
    unsigned n = 1;
    for (const auto& terms : {mul, add}) {
        if (terms) {
            for (int v : *terms) n = std::max(n, SignedBitsNeeded({v}));
        }
    }
    w.bits(n, 4);
    for (const auto& terms : {mul, add}) {
        if (!terms) continue;
        for (int i = 0; i < (withAlpha ? 4 : 3); ++i) w.signedBits((*terms)[i], n);
    }
    w.align();
}

void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
    AppendU16(out, static_cast<uint16_t>(v));
    AppendU16(out, static_cast<uint16_t>(v >> 16));
}

void AppendBytes(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> TagRecord(uint16_t code, const std::vector<uint8_t>& body, bool forceLong) {
    std::vector<uint8_t> out;
    if (!forceLong && body.size() < 0x3F) {
        AppendU16(out, static_cast<uint16_t>(code << 6 | body.size()));
    } else {
        AppendU16(out, static_cast<uint16_t>(code << 6 | 0x3F));
        AppendU32(out, static_cast<uint32_t>(body.size()));
    }
    AppendBytes(out, body);
    return out;
}

ShapeRecordWriter::ShapeRecordWriter(unsigned fillBits, unsigned lineBits) : fillBits_(fillBits), lineBits_(lineBits) {
    w_.bits(fillBits, 4);
    w_.bits(lineBits, 4);
}

ShapeRecordWriter& ShapeRecordWriter::change(std::optional<std::pair<int32_t, int32_t>> moveTo,
                                             std::optional<uint32_t> fill0, std::optional<uint32_t> fill1,
                                             std::optional<uint32_t> line) {
    w_.bits(0, 1);
    w_.bits((line ? 8u : 0u) | (fill1 ? 4u : 0u) | (fill0 ? 2u : 0u) | (moveTo ? 1u : 0u), 5);
    if (moveTo) {
        const unsigned n = SignedBitsNeeded({moveTo->first, moveTo->second});
        w_.bits(n, 5);
        w_.signedBits(moveTo->first, n);
        w_.signedBits(moveTo->second, n);
    }
    if (fill0) w_.bits(*fill0, fillBits_);
    if (fill1) w_.bits(*fill1, fillBits_);
    if (line) w_.bits(*line, lineBits_);
    return *this;
}

ShapeRecordWriter& ShapeRecordWriter::line(int32_t dx, int32_t dy) {
    const unsigned n = std::max(2u, SignedBitsNeeded({dx, dy}));
    w_.bits(3, 2);
    w_.bits(n - 2, 4);
    w_.bits(1, 1);
    w_.signedBits(dx, n);
    w_.signedBits(dy, n);
    return *this;
}

ShapeRecordWriter& ShapeRecordWriter::curve(int32_t controlDx, int32_t controlDy, int32_t anchorDx, int32_t anchorDy) {
    const unsigned n = std::max(2u, SignedBitsNeeded({controlDx, controlDy, anchorDx, anchorDy}));
    w_.bits(2, 2);
    w_.bits(n - 2, 4);
    for (int32_t v : {controlDx, controlDy, anchorDx, anchorDy}) w_.signedBits(v, n);
    return *this;
}

std::vector<uint8_t> ShapeRecordWriter::end() {
    w_.bits(0, 6);
    w_.align();
    return w_.take();
}

std::vector<uint8_t> SolidFill(uint8_t r, uint8_t g, uint8_t b, uint8_t a, int shapeVersion) {
    std::vector<uint8_t> out = {0x00, r, g, b};
    if (shapeVersion >= 3) out.push_back(a);
    return out;
}

std::vector<uint8_t> DefineShapeBody(uint16_t id, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax,
                                     const std::vector<std::vector<uint8_t>>& fills,
                                     const std::vector<std::vector<uint8_t>>& lines, const std::vector<uint8_t>& records) {
    std::vector<uint8_t> body;
    AppendU16(body, id);
    BitWriter w;
    WriteRect(w, xMin, xMax, yMin, yMax);
    AppendBytes(body, w.take());
    body.push_back(static_cast<uint8_t>(fills.size()));
    for (const auto& f : fills) AppendBytes(body, f);
    body.push_back(static_cast<uint8_t>(lines.size()));
    for (const auto& l : lines) AppendBytes(body, l);
    AppendBytes(body, records);
    return body;
}

void WriteMatrix(BitWriter& w, const MatrixFields& m) { WriteMatrix(w, m.scale, m.rotateSkew, m.tx, m.ty); }

namespace {

void AppendColour(std::vector<uint8_t>& out, const std::array<uint8_t, 4>& rgba, bool withAlpha) {
    out.insert(out.end(), rgba.begin(), rgba.begin() + (withAlpha ? 4 : 3));
}

}  // namespace

std::vector<uint8_t> GradientFill(uint8_t type, const MatrixFields& matrix, const std::vector<GradientStopFields>& stops,
                                  int shapeVersion) {
    std::vector<uint8_t> out = {type};
    BitWriter w;
    WriteMatrix(w, matrix);
    AppendBytes(out, w.take());
    out.push_back(static_cast<uint8_t>(std::min<size_t>(stops.size(), 15)));
    for (size_t i = 0; i < stops.size() && i < 15; ++i) {
        out.push_back(stops[i].ratio);
        AppendColour(out, stops[i].rgba, shapeVersion >= 3);
    }
    return out;
}

std::vector<uint8_t> LineStyle(uint16_t width, uint8_t r, uint8_t g, uint8_t b, uint8_t a, int shapeVersion) {
    std::vector<uint8_t> out;
    AppendU16(out, width);
    AppendColour(out, {r, g, b, a}, shapeVersion >= 3);
    return out;
}

namespace {

// The fields after PlaceObject2's flags and depth, up to its clip depth.
void AppendPlaceFields(std::vector<uint8_t>& body, const PlaceFields& p) {
    if (p.character) AppendU16(body, *p.character);
    BitWriter w;
    if (p.translate || p.scale || p.rotateSkew) {
        const auto t = p.translate.value_or(std::pair{0, 0});
        WriteMatrix(w, p.scale, p.rotateSkew, t.first, t.second);
    }
    if (p.mul || p.add) WriteColorTransform(w, true, p.mul, p.add);
    AppendBytes(body, w.take());
    if (p.ratio) AppendU16(body, *p.ratio);
    if (p.name) {
        body.insert(body.end(), p.name->begin(), p.name->end());
        body.push_back(0);
    }
    if (p.clipDepth) AppendU16(body, *p.clipDepth);
}

void AppendClipActions(std::vector<uint8_t>& body, const PlaceFields& p) {
    if (p.clipActions.empty()) return;
    uint32_t all = 0;
    for (const auto& [events, code] : p.clipActions) all |= events;
    if (p.allEvents) all = *p.allEvents;
    AppendU16(body, 0);
    AppendU32(body, all);
    for (const auto& [events, code] : p.clipActions) {
        AppendU32(body, events);
        AppendU32(body, static_cast<uint32_t>(code.size()));
        AppendBytes(body, code);
    }
    AppendU32(body, 0);
}

uint8_t PlaceFlags(const PlaceFields& p) {
    uint8_t flags = 0;
    if (p.move) flags |= 0x01;
    if (p.character) flags |= 0x02;
    if (p.translate || p.scale || p.rotateSkew) flags |= 0x04;
    if (p.mul || p.add) flags |= 0x08;
    if (p.ratio) flags |= 0x10;
    if (p.name) flags |= 0x20;
    if (p.clipDepth) flags |= 0x40;
    if (!p.clipActions.empty()) flags |= 0x80;
    return flags;
}

}  // namespace

std::vector<uint8_t> PlaceObject3Tag(const PlaceFields& p) {
    std::vector<uint8_t> body = {PlaceFlags(p), static_cast<uint8_t>((p.filterList ? 0x01 : 0) | (p.blendMode ? 0x02 : 0) | (p.cacheAsBitmap ? 0x04 : 0) |
                                                                     (p.visible ? 0x20 : 0) | (p.opaqueBackground ? 0x40 : 0))};
    AppendU16(body, p.depth);
    AppendPlaceFields(body, p);
    if (p.filterList) AppendBytes(body, *p.filterList);
    if (p.blendMode) body.push_back(*p.blendMode);
    if (p.cacheAsBitmap) body.push_back(*p.cacheAsBitmap ? 1 : 0);
    if (p.visible) body.push_back(*p.visible ? 1 : 0);
    if (p.opaqueBackground) body.insert(body.end(), p.opaqueBackground->begin(), p.opaqueBackground->end());
    AppendClipActions(body, p);
    return TagRecord(swf::tag::kPlaceObject3, body);
}

std::vector<uint8_t> BlurFilter(double blurX, double blurY, int passes) {
    std::vector<uint8_t> out = {1};  // the blur's id
    AppendU32(out, static_cast<uint32_t>(static_cast<int32_t>(blurX * 65536)));
    AppendU32(out, static_cast<uint32_t>(static_cast<int32_t>(blurY * 65536)));
    out.push_back(static_cast<uint8_t>(passes << 3));
    return out;
}

std::vector<uint8_t> GlowFilter(std::array<uint8_t, 4> rgba, double blurX, double blurY, double strength, int passes,
                                bool inner, bool knockout) {
    std::vector<uint8_t> out = {2};  // the glow's id
    out.insert(out.end(), rgba.begin(), rgba.end());
    AppendU32(out, static_cast<uint32_t>(static_cast<int32_t>(blurX * 65536)));
    AppendU32(out, static_cast<uint32_t>(static_cast<int32_t>(blurY * 65536)));
    AppendU16(out, static_cast<uint16_t>(static_cast<int16_t>(strength * 256)));
    out.push_back(static_cast<uint8_t>((inner ? 0x80 : 0) | (knockout ? 0x40 : 0) | 0x20 | (passes & 31)));
    return out;
}

std::vector<uint8_t> PlaceObject2Tag(const PlaceFields& p) {
    std::vector<uint8_t> body = {PlaceFlags(p)};
    AppendU16(body, p.depth);
    AppendPlaceFields(body, p);
    AppendClipActions(body, p);
    return TagRecord(swf::tag::kPlaceObject2, body);
}

std::vector<uint8_t> RectShapeTag(uint16_t id, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const auto records = ShapeRecordWriter(1, 0)
                             .change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt)
                             .line(w, 0).line(0, h).line(-w, 0).line(0, -h)
                             .end();
    return TagRecord(swf::tag::kDefineShape3, DefineShapeBody(id, 0, w, 0, h, {SolidFill(r, g, b, a)}, {}, records));
}

std::vector<uint8_t> DefineFont3Tag(uint16_t id, const std::string& name, const std::vector<BoxGlyph>& glyphs,
                                    uint16_t ascent, uint16_t descent, int16_t leading, int version) {
    std::vector<std::vector<uint8_t>> shapes;
    for (const BoxGlyph& g : glyphs) {
        const auto shape = ShapeRecordWriter(1, 0)
                                 .change(std::pair{g.xMin, g.yMin}, 1u, std::nullopt, std::nullopt)
                                 .line(g.xMax - g.xMin, 0).line(0, g.yMax - g.yMin).line(g.xMin - g.xMax, 0)
                                 .line(0, g.yMin - g.yMax)
                                 .end();  // with the fill and line bit counts first
        shapes.push_back(shape);
    }
    std::vector<uint8_t> body;
    AppendU16(body, id);
    body.push_back(0x80 | 0x08 | 0x04);  // layout, wide offsets, wide codes
    body.push_back(0);                   // language
    body.push_back(static_cast<uint8_t>(name.size()));
    body.insert(body.end(), name.begin(), name.end());
    AppendU16(body, static_cast<uint16_t>(glyphs.size()));
    uint32_t offset = static_cast<uint32_t>(4 * (glyphs.size() + 1));
    for (const auto& shape : shapes) {
        AppendU32(body, offset);
        offset += static_cast<uint32_t>(shape.size());
    }
    AppendU32(body, offset);  // the code table's
    for (const auto& shape : shapes) AppendBytes(body, shape);
    for (const BoxGlyph& g : glyphs) AppendU16(body, g.code);
    AppendU16(body, ascent);
    AppendU16(body, descent);
    AppendU16(body, static_cast<uint16_t>(leading));
    for (const BoxGlyph& g : glyphs) AppendU16(body, static_cast<uint16_t>(g.advance));
    for (size_t i = 0; i < glyphs.size(); ++i) {
        BitWriter w;
        WriteRect(w, glyphs[i].xMin, glyphs[i].xMax, glyphs[i].yMin, glyphs[i].yMax);
        AppendBytes(body, w.take());
    }
    AppendU16(body, 0);  // no kerning
    return TagRecord(version == 2 ? swf::tag::kDefineFont2 : swf::tag::kDefineFont3, body);
}

std::vector<uint8_t> DefineFont1Tags(uint16_t id, const std::string& name, const std::vector<BoxGlyph>& glyphs) {
    std::vector<std::vector<uint8_t>> shapes;
    for (const BoxGlyph& g : glyphs) {
        shapes.push_back(ShapeRecordWriter(1, 0)
                             .change(std::pair{g.xMin, g.yMin}, 1u, std::nullopt, std::nullopt)
                             .line(g.xMax - g.xMin, 0).line(0, g.yMax - g.yMin).line(g.xMin - g.xMax, 0)
                             .line(0, g.yMin - g.yMax)
                             .end());
    }
    std::vector<uint8_t> font;
    AppendU16(font, id);
    uint16_t offset = static_cast<uint16_t>(2 * glyphs.size());
    for (const auto& shape : shapes) {
        AppendU16(font, offset);
        offset = static_cast<uint16_t>(offset + shape.size());
    }
    for (const auto& shape : shapes) AppendBytes(font, shape);
    std::vector<uint8_t> info;
    AppendU16(info, id);
    info.push_back(static_cast<uint8_t>(name.size()));
    info.insert(info.end(), name.begin(), name.end());
    info.push_back(0x01);  // wide codes
    for (const BoxGlyph& g : glyphs) AppendU16(info, g.code);
    std::vector<uint8_t> out = TagRecord(swf::tag::kDefineFont, font);
    AppendBytes(out, TagRecord(swf::tag::kDefineFontInfo, info));
    return out;
}

std::vector<uint8_t> DefineTextTag(uint16_t id, uint16_t fontId, const std::vector<TextLine>& lines) {
    constexpr int kGlyphBits = 8, kAdvanceBits = 16;
    std::vector<uint8_t> body;
    AppendU16(body, id);
    BitWriter header;
    WriteRect(header, 0, 2000, 0, 1000);
    WriteMatrix(header, std::nullopt, std::nullopt, 0, 0);
    AppendBytes(body, header.take());
    body.push_back(kGlyphBits);
    body.push_back(kAdvanceBits);
    for (const TextLine& line : lines) {
        body.push_back(0x80 | 0x08 | 0x04 | 0x02 | 0x01);  // font, colour, y and x
        AppendU16(body, fontId);
        AppendBytes(body, {0, 0, 0});
        AppendU16(body, static_cast<uint16_t>(line.x));
        AppendU16(body, static_cast<uint16_t>(line.y));
        AppendU16(body, line.height);
        body.push_back(static_cast<uint8_t>(line.glyphs.size()));
        BitWriter w;
        for (const auto& [index, advance] : line.glyphs) {
            w.bits(index, kGlyphBits);
            w.signedBits(advance, kAdvanceBits);
        }
        AppendBytes(body, w.take());
    }
    body.push_back(0);
    return TagRecord(swf::tag::kDefineText, body);
}

std::vector<uint8_t> DefineEditTextTag(const EditTextFields& f) {
    std::vector<uint8_t> body;
    AppendU16(body, f.id);
    BitWriter w;
    WriteRect(w, f.xMin, f.xMax, f.yMin, f.yMax);
    AppendBytes(body, w.take());
    body.push_back(static_cast<uint8_t>((f.text ? 0x80 : 0) | (f.wordWrap ? 0x40 : 0) | (f.multiline ? 0x20 : 0) |
                                        (f.password ? 0x10 : 0) | (f.color ? 0x04 : 0) | (f.fontId ? 0x01 : 0)));
    body.push_back(static_cast<uint8_t>((f.align ? 0x20 : 0) | (f.border ? 0x08 : 0) | (f.html ? 0x02 : 0) |
                                        (f.useOutlines ? 0x01 : 0)));
    if (f.fontId) {
        AppendU16(body, *f.fontId);
        AppendU16(body, f.height);
    }
    if (f.color) body.insert(body.end(), f.color->begin(), f.color->end());
    if (f.align) {
        body.push_back(*f.align);
        AppendU16(body, f.leftMargin);
        AppendU16(body, f.rightMargin);
        AppendU16(body, f.indent);
        AppendU16(body, static_cast<uint16_t>(f.leading));
    }
    body.insert(body.end(), f.variable.begin(), f.variable.end());
    body.push_back(0);
    if (f.text) {
        body.insert(body.end(), f.text->begin(), f.text->end());
        body.push_back(0);
    }
    return TagRecord(swf::tag::kDefineEditText, body);
}

std::vector<uint8_t> DoActionTag(const std::vector<uint8_t>& code) { return TagRecord(swf::tag::kDoAction, code); }

std::vector<uint8_t> DoInitActionTag(uint16_t spriteId, const std::vector<uint8_t>& code) {
    std::vector<uint8_t> body;
    AppendU16(body, spriteId);
    AppendBytes(body, code);
    return TagRecord(swf::tag::kDoInitAction, body);
}

std::vector<uint8_t> FrameLabelTag(const std::string& label) {
    std::vector<uint8_t> body(label.begin(), label.end());
    body.push_back(0);
    return TagRecord(swf::tag::kFrameLabel, body);
}

std::vector<uint8_t> RemoveObject2Tag(uint16_t depth) {
    std::vector<uint8_t> body;
    AppendU16(body, depth);
    return TagRecord(swf::tag::kRemoveObject2, body);
}

namespace {

uint8_t SoundFormatByte(const SoundFormatFields& f) {
    return static_cast<uint8_t>(f.format << 4 | (f.rateCode & 3) << 2 | (f.sixteenBit ? 2 : 0) | (f.stereo ? 1 : 0));
}

}  // namespace

std::vector<uint8_t> DefineSoundTag(uint16_t id, const SoundFormatFields& format, uint32_t sampleCount,
                                    const std::vector<uint8_t>& data, int16_t seekSamples) {
    std::vector<uint8_t> body;
    AppendU16(body, id);
    body.push_back(SoundFormatByte(format));
    AppendU32(body, sampleCount);
    if (format.format == 2) AppendU16(body, static_cast<uint16_t>(seekSamples));
    AppendBytes(body, data);
    return TagRecord(swf::tag::kDefineSound, body, true);
}

std::vector<uint8_t> StartSoundTag(uint16_t soundId, const SoundInfoFields& info) {
    std::vector<uint8_t> body;
    AppendU16(body, soundId);
    body.push_back(static_cast<uint8_t>((info.syncStop ? 0x20 : 0) | (info.noMultiple ? 0x10 : 0) |
                                        (!info.envelope.empty() ? 0x08 : 0) | (info.loops ? 0x04 : 0) |
                                        (info.outPoint ? 0x02 : 0) | (info.inPoint ? 0x01 : 0)));
    if (info.inPoint) AppendU32(body, *info.inPoint);
    if (info.outPoint) AppendU32(body, *info.outPoint);
    if (info.loops) AppendU16(body, *info.loops);
    if (!info.envelope.empty()) {
        body.push_back(static_cast<uint8_t>(info.envelope.size()));
        for (const EnvelopePoint& p : info.envelope) {
            AppendU32(body, p.position44);
            AppendU16(body, p.left);
            AppendU16(body, p.right);
        }
    }
    return TagRecord(swf::tag::kStartSound, body);
}

std::vector<uint8_t> SoundStreamHeadTag(const SoundFormatFields& format, uint16_t samplesPerBlock, int16_t latencySeek) {
    std::vector<uint8_t> body;
    body.push_back(static_cast<uint8_t>(SoundFormatByte(format) & 0x0F));  // playback: rate, size, type
    body.push_back(SoundFormatByte(format));
    AppendU16(body, samplesPerBlock);
    if (format.format == 2) AppendU16(body, static_cast<uint16_t>(latencySeek));
    return TagRecord(swf::tag::kSoundStreamHead2, body);
}

std::vector<uint8_t> SoundStreamBlockTag(const std::vector<uint8_t>& data) {
    return TagRecord(swf::tag::kSoundStreamBlock, data, true);
}

std::vector<uint8_t> Mp3StreamBlockTag(uint16_t sampleCount, int16_t seekSamples, const std::vector<uint8_t>& frames) {
    std::vector<uint8_t> body;
    AppendU16(body, sampleCount);
    AppendU16(body, static_cast<uint16_t>(seekSamples));
    AppendBytes(body, frames);
    return TagRecord(swf::tag::kSoundStreamBlock, body, true);
}

std::vector<uint8_t> DefineVideoStreamTag(uint16_t id, uint16_t frames, uint16_t width, uint16_t height, uint8_t codec,
                                          bool smoothing, uint8_t deblocking) {
    std::vector<uint8_t> body;
    AppendU16(body, id);
    AppendU16(body, frames);
    AppendU16(body, width);
    AppendU16(body, height);
    body.push_back(static_cast<uint8_t>((deblocking & 7) << 1 | (smoothing ? 1 : 0)));
    body.push_back(codec);
    return TagRecord(swf::tag::kDefineVideoStream, body);
}

std::vector<uint8_t> VideoFrameTag(uint16_t streamId, uint16_t frame, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> body;
    AppendU16(body, streamId);
    AppendU16(body, frame);
    AppendBytes(body, data);
    return TagRecord(swf::tag::kVideoFrame, body, true);
}

std::vector<uint8_t> ShowFrameTag() { return TagRecord(swf::tag::kShowFrame, {}); }
std::vector<uint8_t> EndTag() { return TagRecord(swf::tag::kEnd, {}); }
std::vector<uint8_t> BackgroundTag(uint8_t r, uint8_t g, uint8_t b) { return TagRecord(swf::tag::kSetBackgroundColor, {r, g, b}); }

std::vector<uint8_t> DefineSpriteTag(uint16_t id, uint16_t frameCount, const std::vector<std::vector<uint8_t>>& tags) {
    std::vector<uint8_t> body;
    AppendU16(body, id);
    AppendU16(body, frameCount);
    for (const auto& t : tags) AppendBytes(body, t);
    AppendBytes(body, EndTag());
    return TagRecord(swf::tag::kDefineSprite, body);
}

std::vector<uint8_t> DefineMorphShapeTag(uint16_t id, const Bounds& start, const Bounds& end,
                                         const std::vector<uint8_t>& styles, const std::vector<uint8_t>& startEdges,
                                         const std::vector<uint8_t>& endEdges) {
    std::vector<uint8_t> body;
    AppendU16(body, id);
    BitWriter w;
    WriteRect(w, start.xMin, start.xMax, start.yMin, start.yMax);
    WriteRect(w, end.xMin, end.xMax, end.yMin, end.yMax);
    AppendBytes(body, w.take());
    AppendU32(body, static_cast<uint32_t>(styles.size() + startEdges.size()));
    AppendBytes(body, styles);
    AppendBytes(body, startEdges);
    AppendBytes(body, endEdges);
    return TagRecord(swf::tag::kDefineMorphShape, body, true);
}

std::vector<uint8_t> BuildSwfImage(const SwfFields& fields) {
    BitWriter rect;
    const unsigned nbits =
        fields.rectBits.value_or(SignedBitsNeeded({fields.xMin, fields.xMax, fields.yMin, fields.yMax}));
    rect.bits(nbits, 5);
    for (int32_t v : {fields.xMin, fields.xMax, fields.yMin, fields.yMax}) rect.signedBits(v, nbits);
    std::vector<uint8_t> image = {static_cast<uint8_t>(fields.signature), 'W', 'S', fields.version, 0, 0, 0, 0};
    const std::vector<uint8_t> rectBytes = rect.take();
    image.insert(image.end(), rectBytes.begin(), rectBytes.end());
    image.push_back(static_cast<uint8_t>(fields.rate88));
    image.push_back(static_cast<uint8_t>(fields.rate88 >> 8));
    image.push_back(static_cast<uint8_t>(fields.frameCount));
    image.push_back(static_cast<uint8_t>(fields.frameCount >> 8));
    image.insert(image.end(), fields.tags.begin(), fields.tags.end());
    const uint32_t length = fields.declaredLength.value_or(static_cast<uint32_t>(image.size()));
    for (int i = 0; i < 4; ++i) image[4 + i] = static_cast<uint8_t>(length >> (8 * i));
    return image;
}

std::string ZlibCompress(const std::vector<uint8_t>& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, bytes.data(),
                  static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("compress2 failed");
    }
    out.resize(size);
    return out;
}

std::string BuildSwfFile(const SwfFields& fields) {
    const std::vector<uint8_t> image = BuildSwfImage(fields);
    std::string file(image.begin(), image.begin() + 8);
    if (fields.signature == 'C') {
        file += ZlibCompress(std::vector<uint8_t>(image.begin() + 8, image.end()));
    } else {
        file.append(image.begin() + 8, image.end());
    }
    return file;
}

}  // namespace testing_support
