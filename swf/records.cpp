#include "swf/records.h"

namespace swf {

Rect ReadRect(ByteReader& r) {
    const unsigned n = r.ubits(5);
    Rect rect;
    rect.xMin = r.sbits(n);
    rect.xMax = r.sbits(n);
    rect.yMin = r.sbits(n);
    rect.yMax = r.sbits(n);
    r.align();
    return rect;
}

Matrix ReadMatrix(ByteReader& r) {
    Matrix m;
    if (r.flag()) {
        const unsigned n = r.ubits(5);
        m.scaleX = r.fbits(n);
        m.scaleY = r.fbits(n);
    }
    if (r.flag()) {
        const unsigned n = r.ubits(5);
        m.rotateSkew0 = r.fbits(n);
        m.rotateSkew1 = r.fbits(n);
    }
    const unsigned n = r.ubits(5);
    m.translateX = r.sbits(n);
    m.translateY = r.sbits(n);
    r.align();
    return m;
}

Color ReadRgb(ByteReader& r) {
    Color c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

Color ReadRgba(ByteReader& r) {
    Color c = ReadRgb(r);
    c.a = r.u8();
    return c;
}

ColorTransform ReadColorTransform(ByteReader& r, bool withAlpha) {
    ColorTransform cx;
    const bool hasAdd = r.flag(), hasMul = r.flag();
    const unsigned n = r.ubits(4);
    auto field = [&] { return static_cast<int16_t>(r.sbits(n)); };
    if (hasMul) {
        cx.mulR = field();
        cx.mulG = field();
        cx.mulB = field();
        if (withAlpha) cx.mulA = field();
    }
    if (hasAdd) {
        cx.addR = field();
        cx.addG = field();
        cx.addB = field();
        if (withAlpha) cx.addA = field();
    }
    r.align();
    return cx;
}

Gradient ReadGradient(ByteReader& r, int shapeVersion, bool focal) {
    Gradient g;
    g.spread = static_cast<SpreadMode>(r.ubits(2));
    g.interpolation = static_cast<InterpolationMode>(r.ubits(2));
    const unsigned count = r.ubits(4);
    r.align();
    for (unsigned i = 0; i < count && r.ok(); ++i) {
        GradientRecord rec;
        rec.ratio = r.u8();
        rec.color = shapeVersion >= 3 ? ReadRgba(r) : ReadRgb(r);
        g.records.push_back(rec);
    }
    if (focal) g.focalPoint = r.fixed8();
    return g;
}

FillStyle ReadFillStyle(ByteReader& r, int shapeVersion) {
    FillStyle f;
    f.type = static_cast<FillType>(r.u8());
    switch (f.type) {
        case FillType::kSolid:
            f.color = shapeVersion >= 3 ? ReadRgba(r) : ReadRgb(r);
            break;
        case FillType::kLinearGradient:
        case FillType::kRadialGradient:
        case FillType::kFocalGradient:
            f.matrix = ReadMatrix(r);
            f.gradient = ReadGradient(r, shapeVersion, f.type == FillType::kFocalGradient);
            break;
        case FillType::kRepeatingBitmap:
        case FillType::kClippedBitmap:
        case FillType::kNonSmoothedRepeatingBitmap:
        case FillType::kNonSmoothedClippedBitmap:
            f.bitmapId = r.u16();
            f.matrix = ReadMatrix(r);
            break;
        default:
            r.fail();  // an unknown fill type: the rest of the record can't be found
    }
    return f;
}

namespace {

uint32_t ReadStyleCount(ByteReader& r, int shapeVersion) {
    uint32_t count = r.u8();
    if (count == 0xFF && shapeVersion >= 2) count = r.u16();
    return count;
}

}  // namespace

std::vector<FillStyle> ReadFillStyles(ByteReader& r, int shapeVersion) {
    const uint32_t count = ReadStyleCount(r, shapeVersion);
    std::vector<FillStyle> fills;
    // Each fill style takes at least 2 bytes: a count beyond what remains is damage.
    if (count > r.remaining() / 2 + 1) {
        r.fail();
        return fills;
    }
    fills.reserve(count);
    for (uint32_t i = 0; i < count && r.ok(); ++i) fills.push_back(ReadFillStyle(r, shapeVersion));
    return fills;
}

std::vector<LineStyle> ReadLineStyles(ByteReader& r, int shapeVersion) {
    const uint32_t count = ReadStyleCount(r, shapeVersion);
    std::vector<LineStyle> lines;
    if (count > r.remaining() / 4 + 1) {
        r.fail();
        return lines;
    }
    lines.reserve(count);
    for (uint32_t i = 0; i < count && r.ok(); ++i) {
        LineStyle l;
        l.width = r.u16();
        if (shapeVersion >= 4) {
            l.startCap = static_cast<CapStyle>(r.ubits(2));
            l.join = static_cast<JoinStyle>(r.ubits(2));
            l.hasFill = r.flag();
            l.noHScale = r.flag();
            l.noVScale = r.flag();
            l.pixelHinting = r.flag();
            r.ubits(5);  // reserved
            l.noClose = r.flag();
            l.endCap = static_cast<CapStyle>(r.ubits(2));
            r.align();
            if (l.join == JoinStyle::kMiter) l.miterLimit = r.fixed8();
            if (l.hasFill) {
                l.fill = ReadFillStyle(r, shapeVersion);
            } else {
                l.color = ReadRgba(r);
            }
        } else {
            l.color = shapeVersion >= 3 ? ReadRgba(r) : ReadRgb(r);
        }
        lines.push_back(l);
    }
    return lines;
}

namespace {
thread_local std::string g_limitNote;
}  // namespace

void NoteLimit(std::string what) { g_limitNote = std::move(what); }

std::string TakeLimitNote() {
    std::string note = std::move(g_limitNote);
    g_limitNote.clear();
    return note;
}

bool ReadShape(ByteReader& r, int shapeVersion, bool withStyles, Shape& out) {
    if (withStyles) {
        out.fills = ReadFillStyles(r, shapeVersion);
        out.lines = ReadLineStyles(r, shapeVersion);
    }
    unsigned fillBits = r.ubits(4), lineBits = r.ubits(4);
    while (r.ok()) {
        if (out.records.size() >= kMaxShapeRecords) {
            NoteLimit("a shape of more than " + std::to_string(kMaxShapeRecords) + " records (kMaxShapeRecords)");
            r.fail();
            break;
        }
        ShapeRecord rec;
        if (r.flag()) {  // an edge
            if (r.flag()) {
                rec.kind = ShapeRecord::Kind::kStraight;
                const unsigned n = r.ubits(4) + 2;
                if (r.flag()) {
                    rec.dx = r.sbits(n);
                    rec.dy = r.sbits(n);
                } else if (r.flag()) {
                    rec.dy = r.sbits(n);
                } else {
                    rec.dx = r.sbits(n);
                }
            } else {
                rec.kind = ShapeRecord::Kind::kCurved;
                const unsigned n = r.ubits(4) + 2;
                rec.controlDx = r.sbits(n);
                rec.controlDy = r.sbits(n);
                rec.dx = r.sbits(n);
                rec.dy = r.sbits(n);
            }
            out.records.push_back(std::move(rec));
            continue;
        }
        const uint32_t flags = r.ubits(5);
        if (flags == 0) break;  // the end record
        rec.hasNewStyles = (flags & 0x10) != 0;
        rec.hasLine = (flags & 0x08) != 0;
        rec.hasFill1 = (flags & 0x04) != 0;
        rec.hasFill0 = (flags & 0x02) != 0;
        rec.hasMove = (flags & 0x01) != 0;
        if (rec.hasMove) {
            const unsigned n = r.ubits(5);
            rec.moveX = r.sbits(n);
            rec.moveY = r.sbits(n);
        }
        if (rec.hasFill0) rec.fill0 = r.ubits(fillBits);
        if (rec.hasFill1) rec.fill1 = r.ubits(fillBits);
        if (rec.hasLine) rec.line = r.ubits(lineBits);
        // New style arrays exist from DefineShape2 on; in DefineShape the flag is ignored.
        if (rec.hasNewStyles && withStyles && shapeVersion >= 2) {
            r.align();
            rec.newFills = ReadFillStyles(r, shapeVersion);
            rec.newLines = ReadLineStyles(r, shapeVersion);
            fillBits = r.ubits(4);
            lineBits = r.ubits(4);
        } else {
            rec.hasNewStyles = false;
        }
        out.records.push_back(std::move(rec));
    }
    r.align();
    return r.ok();
}

}  // namespace swf
