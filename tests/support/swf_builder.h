#pragma once
// Builds SWF files byte by byte for tests: a header with any frame RECT, rate and count,
// then a body of tags, stored plain or zlib-compressed. Every field can be forced to a
// wrong value, so tests can make the damaged files the readers must refuse.

#include <cstdint>
#include <array>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace testing_support {

// MSB-first bit packing, the inverse of the readers' bit reader.
class BitWriter {
public:
    void bits(uint32_t value, unsigned count);
    void signedBits(int32_t value, unsigned count) { bits(static_cast<uint32_t>(value), count); }
    void align();  // pads with zero bits to the next byte
    std::vector<uint8_t> take();

private:
    std::vector<uint8_t> bytes_;
    unsigned used_ = 0;  // bits used in the last byte
};

// The fewest bits that hold every value as a signed field.
unsigned SignedBitsNeeded(std::initializer_list<int32_t> values);

struct SwfFields {
    char signature = 'F';            // 'F' plain, 'C' zlib
    uint8_t version = 10;
    int32_t xMin = 0, xMax = 11000;  // twips
    int32_t yMin = 0, yMax = 8000;
    std::optional<unsigned> rectBits;  // forced Nbits; by default the fewest that fit
    uint16_t rate88 = 24 << 8;         // 8.8 frames per second
    uint16_t frameCount = 1;
    std::vector<uint8_t> tags = {0, 0};  // the body after the header fields: End by default
    std::optional<uint32_t> declaredLength;  // forced file-length field
};

// Record writers for tag bodies. Each leaves the writer aligned to a byte.
void WriteRect(BitWriter& w, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax);
// A MATRIX with optional scale and rotate-skew terms (16.16 values) and a translation in twips.
void WriteMatrix(BitWriter& w, std::optional<std::pair<double, double>> scale,
                 std::optional<std::pair<double, double>> rotateSkew, int32_t tx, int32_t ty);
// A CXFORMWITHALPHA (or CXFORM without alpha) with the given 8.8 multiply and add terms.
void WriteColorTransform(BitWriter& w, bool withAlpha, std::optional<std::array<int, 4>> mul,
                         std::optional<std::array<int, 4>> add);
void AppendU16(std::vector<uint8_t>& out, uint16_t v);
void AppendU32(std::vector<uint8_t>& out, uint32_t v);
void AppendBytes(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes);
// A tag: its record header (short when the body allows, or forced long) and body.
std::vector<uint8_t> TagRecord(uint16_t code, const std::vector<uint8_t>& body, bool forceLong = false);

// Writes SHAPE records (after the style arrays): style changes, edges, the end record.
class ShapeRecordWriter {
public:
    ShapeRecordWriter(unsigned fillBits, unsigned lineBits);
    // A style change; each argument present is written, absent ones left as they are.
    ShapeRecordWriter& change(std::optional<std::pair<int32_t, int32_t>> moveTo, std::optional<uint32_t> fill0,
                              std::optional<uint32_t> fill1, std::optional<uint32_t> line);
    ShapeRecordWriter& line(int32_t dx, int32_t dy);  // general form always
    ShapeRecordWriter& curve(int32_t controlDx, int32_t controlDy, int32_t anchorDx, int32_t anchorDy);
    // The end record; returns the bytes, with the fill and line bit counts in front.
    std::vector<uint8_t> end();

private:
    BitWriter w_;
    unsigned fillBits_, lineBits_;
};

// Solid fill style bytes: type 0 and the colour (RGB for shape versions 1 and 2).
std::vector<uint8_t> SolidFill(uint8_t r, uint8_t g, uint8_t b, uint8_t a, int shapeVersion = 3);
// A DefineShape body (versions 1 to 3): id, bounds, the style arrays given as bytes, records.
std::vector<uint8_t> DefineShapeBody(uint16_t id, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax,
                                     const std::vector<std::vector<uint8_t>>& fills,
                                     const std::vector<std::vector<uint8_t>>& lines, const std::vector<uint8_t>& records);

// A matrix as its optional 16.16 terms and translation, for the tag writers below.
struct MatrixFields {
    std::optional<std::pair<double, double>> scale;
    std::optional<std::pair<double, double>> rotateSkew;
    int32_t tx = 0, ty = 0;
};
void WriteMatrix(BitWriter& w, const MatrixFields& m);

struct GradientStopFields {
    uint8_t ratio = 0;
    std::array<uint8_t, 4> rgba{};
};
// A gradient fill style: type 0x10 linear, 0x12 radial (shape versions 1 to 3; RGBA from 3).
std::vector<uint8_t> GradientFill(uint8_t type, const MatrixFields& matrix, const std::vector<GradientStopFields>& stops,
                                  int shapeVersion = 3);
// A LINESTYLE (shape versions 1 to 3): width in twips and colour.
std::vector<uint8_t> LineStyle(uint16_t width, uint8_t r, uint8_t g, uint8_t b, uint8_t a, int shapeVersion = 3);

// PlaceObject2 from its optional fields; a matrix is written when any of its terms is given.
struct PlaceFields {
    uint16_t depth = 0;
    std::optional<uint16_t> character = std::nullopt;
    bool move = false;
    std::optional<std::pair<int32_t, int32_t>> translate = std::nullopt;
    std::optional<std::array<int, 4>> mul = std::nullopt;  // 8.8 colour transform terms
    std::optional<std::array<int, 4>> add = std::nullopt;
    std::optional<uint16_t> clipDepth = std::nullopt;
    std::optional<uint16_t> ratio = std::nullopt;
    std::optional<std::pair<double, double>> scale = std::nullopt;
    std::optional<std::pair<double, double>> rotateSkew = std::nullopt;
    // PlaceObject3 only.
    std::optional<uint8_t> blendMode = std::nullopt;
    std::optional<bool> cacheAsBitmap = std::nullopt;
    std::optional<bool> visible = std::nullopt;
    std::optional<std::vector<uint8_t>> filterList = std::nullopt;  // the FILTERLIST's bytes, count first
    std::optional<std::string> name = std::nullopt;
    std::optional<std::array<uint8_t, 4>> opaqueBackground = std::nullopt;  // PlaceObject3 only, RGBA
    // Clip actions: event flags (32-bit, as from version 6) and the bytecode of each.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> clipActions = {};
    std::optional<uint32_t> allEvents = std::nullopt;  // the events the placement answers: all its records' unless set
};
// A blur filter record: widths in pixels (16.16 in the file) and passes.
std::vector<uint8_t> BlurFilter(double blurX, double blurY, int passes);
// A glow filter record: its colour (RGBA), widths in pixels, strength, passes and flags.
std::vector<uint8_t> GlowFilter(std::array<uint8_t, 4> rgba, double blurX, double blurY, double strength, int passes,
                                bool inner = false, bool knockout = false);
std::vector<uint8_t> PlaceObject2Tag(const PlaceFields& p);
// PlaceObject3: the fields of PlaceObject2 and the blend mode and visibility.
std::vector<uint8_t> PlaceObject3Tag(const PlaceFields& p);
std::vector<uint8_t> RemoveObject2Tag(uint16_t depth);
// DefineShape3 of a w x h twips rectangle at the origin filled with one colour.
std::vector<uint8_t> RectShapeTag(uint16_t id, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
// DefineFont3 whose glyphs are rectangles: each glyph's character, its box in glyph units
// (20480 to the em, y down from the baseline) and advance; the font's ascent, descent and
// leading. Version 2 writes the same as DefineFont2, whose glyphs have 1024 units to the em.
struct BoxGlyph {
    uint16_t code;
    int32_t xMin, xMax, yMin, yMax;
    int16_t advance;
};
std::vector<uint8_t> DefineFont3Tag(uint16_t id, const std::string& name, const std::vector<BoxGlyph>& glyphs,
                                    uint16_t ascent, uint16_t descent, int16_t leading = 0, int version = 3);
// DefineFont (glyph outlines only, 1024 units to the em) followed by its DefineFontInfo with
// the glyphs' characters; advances and bounds are not stored in this version.
std::vector<uint8_t> DefineFont1Tags(uint16_t id, const std::string& name, const std::vector<BoxGlyph>& glyphs);
// DefineText (colour black) of records: each a baseline position, a height in twips and its
// glyphs as (index into the font, advance in twips).
struct TextLine {
    int32_t x = 0, y = 0;
    uint16_t height = 240;
    std::vector<std::pair<uint16_t, int32_t>> glyphs;
};
std::vector<uint8_t> DefineTextTag(uint16_t id, uint16_t fontId, const std::vector<TextLine>& lines);
// DefineEditText from its fields (flags follow from what is given).
struct EditTextFields {
    uint16_t id = 0;
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    std::optional<uint16_t> fontId = std::nullopt;
    uint16_t height = 240;
    std::optional<std::array<uint8_t, 4>> color = std::nullopt;
    std::optional<uint8_t> align = std::nullopt;  // with margins, indent and leading
    uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
    int16_t leading = 0;
    bool wordWrap = false, multiline = false, password = false, border = false, html = false, useOutlines = true;
    std::string variable;
    std::optional<std::string> text = std::nullopt;
};
std::vector<uint8_t> DefineEditTextTag(const EditTextFields& f);
std::vector<uint8_t> DoActionTag(const std::vector<uint8_t>& code);
std::vector<uint8_t> DoInitActionTag(uint16_t spriteId, const std::vector<uint8_t>& code);
std::vector<uint8_t> FrameLabelTag(const std::string& label);
std::vector<uint8_t> ShowFrameTag();
std::vector<uint8_t> EndTag();
std::vector<uint8_t> BackgroundTag(uint8_t r, uint8_t g, uint8_t b);
// DefineSprite: id, frame count, the control tags given, then End.
std::vector<uint8_t> DefineSpriteTag(uint16_t id, uint16_t frameCount, const std::vector<std::vector<uint8_t>>& tags);
// DefineMorphShape: the two bounds, the morph style arrays as bytes, and the start and end
// edges (each a ShapeRecordWriter result); the offset to the end edges is computed.
struct Bounds {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};
std::vector<uint8_t> DefineMorphShapeTag(uint16_t id, const Bounds& start, const Bounds& end,
                                         const std::vector<uint8_t>& styles, const std::vector<uint8_t>& startEdges,
                                         const std::vector<uint8_t>& endEdges);

// Sounds. A format as the tags pack it: format (sound_format numbering), rate code
// (0: 5.5 kHz ... 3: 44 kHz), 16 bits, stereo.
struct SoundFormatFields {
    uint8_t format = 3;
    uint8_t rateCode = 3;
    bool sixteenBit = true;
    bool stereo = true;
};
struct EnvelopePoint {
    uint32_t position44 = 0;
    uint16_t left = 32768, right = 32768;
};
struct SoundInfoFields {
    bool syncStop = false, noMultiple = false;
    std::optional<uint32_t> inPoint, outPoint;
    std::optional<uint16_t> loops;
    std::vector<EnvelopePoint> envelope;  // none when empty
};
// DefineSound: for MP3, `seekSamples` goes before the data.
std::vector<uint8_t> DefineSoundTag(uint16_t id, const SoundFormatFields& format, uint32_t sampleCount,
                                    const std::vector<uint8_t>& data, int16_t seekSamples = 0);
std::vector<uint8_t> StartSoundTag(uint16_t soundId, const SoundInfoFields& info = SoundInfoFields());
// SoundStreamHead2 with the same playback and stream format.
std::vector<uint8_t> SoundStreamHeadTag(const SoundFormatFields& format, uint16_t samplesPerBlock,
                                        int16_t latencySeek = 0);
// A block of a stream: its bytes as they are (for MP3 use Mp3StreamBlockTag).
std::vector<uint8_t> SoundStreamBlockTag(const std::vector<uint8_t>& data);
std::vector<uint8_t> Mp3StreamBlockTag(uint16_t sampleCount, int16_t seekSamples, const std::vector<uint8_t>& frames);

// DefineVideoStream and VideoFrame (codec in swf::video_codec numbering).
std::vector<uint8_t> DefineVideoStreamTag(uint16_t id, uint16_t frames, uint16_t width, uint16_t height, uint8_t codec,
                                          bool smoothing = false, uint8_t deblocking = 0);
std::vector<uint8_t> VideoFrameTag(uint16_t streamId, uint16_t frame, const std::vector<uint8_t>& data);

// The uncompressed image: header, RECT, rate, count, tags.
std::vector<uint8_t> BuildSwfImage(const SwfFields& fields);
// The file as stored: the image, its body zlib-compressed for 'C'.
std::string BuildSwfFile(const SwfFields& fields);
std::string ZlibCompress(const std::vector<uint8_t>& bytes);

}  // namespace testing_support
