#pragma once
// The SWF records that drawing tags share, as plain structures, and their readers.
// Coordinates stay in twips (1/20 pixel) and fixed-point values as the file has them;
// the movie engine turns them into pixels.

#include <cstdint>
#include <string>
#include <optional>
#include <variant>
#include <vector>

#include "swf/byte_reader.h"

namespace swf {

struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;  // twips
};

struct Matrix {
    float scaleX = 1, scaleY = 1;       // 16.16
    float rotateSkew0 = 0, rotateSkew1 = 0;
    int32_t translateX = 0, translateY = 0;  // twips
};

struct Color {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// CXFORM and CXFORMWITHALPHA: multiply terms in 8.8 (256 = 1), add terms -255..255 scale.
struct ColorTransform {
    int16_t mulR = 256, mulG = 256, mulB = 256, mulA = 256;
    int16_t addR = 0, addG = 0, addB = 0, addA = 0;
};

enum class SpreadMode : uint8_t { kPad = 0, kReflect = 1, kRepeat = 2 };
enum class InterpolationMode : uint8_t { kNormal = 0, kLinear = 1 };

struct GradientRecord {
    uint8_t ratio = 0;
    Color color;
};

struct Gradient {
    SpreadMode spread = SpreadMode::kPad;
    InterpolationMode interpolation = InterpolationMode::kNormal;
    std::vector<GradientRecord> records;
    float focalPoint = 0;  // focal gradients only, -1..1
};

enum class FillType : uint8_t {
    kSolid = 0x00,
    kLinearGradient = 0x10,
    kRadialGradient = 0x12,
    kFocalGradient = 0x13,
    kRepeatingBitmap = 0x40,
    kClippedBitmap = 0x41,
    kNonSmoothedRepeatingBitmap = 0x42,
    kNonSmoothedClippedBitmap = 0x43,
};

struct FillStyle {
    FillType type = FillType::kSolid;
    Color color;
    Matrix matrix;     // gradient or bitmap matrix
    Gradient gradient;
    uint16_t bitmapId = 0;
};

enum class CapStyle : uint8_t { kRound = 0, kNone = 1, kSquare = 2 };
enum class JoinStyle : uint8_t { kRound = 0, kBevel = 1, kMiter = 2 };

struct LineStyle {
    uint16_t width = 0;  // twips
    Color color;
    CapStyle startCap = CapStyle::kRound, endCap = CapStyle::kRound;
    JoinStyle join = JoinStyle::kRound;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    float miterLimit = 3;  // 8.8
    bool hasFill = false;
    FillStyle fill;        // LINESTYLE2 with a fill
};

// A style change: the fields it gives. A new style array resets the indexes to 0 (none).
struct StyleChangeRecord {
    struct Point {
        int32_t x = 0, y = 0;  // absolute, twips
    };
    std::optional<Point> moveTo;
    std::optional<uint32_t> fill0, fill1, line;  // 1-based style indexes, 0 for none
    struct Styles {
        std::vector<FillStyle> fills;
        std::vector<LineStyle> lines;
    };
    std::optional<Styles> newStyles;
};
// Edges: deltas in twips from the pen.
struct StraightEdgeRecord {
    int32_t dx = 0, dy = 0;
};
struct CurvedEdgeRecord {
    int32_t controlDx = 0, controlDy = 0;  // from the pen to the control point
    int32_t anchorDx = 0, anchorDy = 0;    // from the control point to the anchor
};
using ShapeRecord = std::variant<StyleChangeRecord, StraightEdgeRecord, CurvedEdgeRecord>;

struct Shape {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<ShapeRecord> records;
    // DefineShape4's UsesFillWindingRule: fills by the non-zero rule; otherwise even-odd.
    bool nonZero = false;
};

// Limits that protect the readers from hostile counts.
inline constexpr uint32_t kMaxShapeRecords = 1u << 22;
// Style and glyph counts are 16-bit at most and checked against the bytes that remain.


Rect ReadRect(ByteReader& r);
Matrix ReadMatrix(ByteReader& r);
Color ReadRgb(ByteReader& r);
Color ReadRgba(ByteReader& r);
ColorTransform ReadColorTransform(ByteReader& r, bool withAlpha);
// Style arrays. shapeVersion: 1 to 4 for DefineShape to DefineShape4 (3 and up carry alpha,
// 4 has LINESTYLE2).
std::vector<FillStyle> ReadFillStyles(ByteReader& r, int shapeVersion);
std::vector<LineStyle> ReadLineStyles(ByteReader& r, int shapeVersion);

// The styles of a morph shape, paired by index: the start's and the end's, read by the same
// reader as a shape's (DefineMorphShape2's lines are LINESTYLE2).
struct MorphStyles {
    std::vector<FillStyle> startFills, endFills;
    std::vector<LineStyle> startLines, endLines;
};
void ReadMorphStyles(ByteReader& r, bool morph2, MorphStyles& out);
// Style arrays (unless withStyles is false: glyph shapes) and records up to the end record.
// Past kMaxShapeRecords the status names the limit.
ReadStatus ReadShape(ByteReader& r, int shapeVersion, bool withStyles, Shape& out);

}  // namespace swf
