#include "swf/records.h"

#include <array>

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

namespace {

// One reader for the styles of shapes and of morph shapes. A shape gives each field once; a
// morph gives every field that can change between its start and its end twice in a row (the
// start's, then the end's), and the rest once. `N` is 1 or 2, and out[0], out[1] the styles
// filled: the start and the end.
template <size_t N>
class StyleReader {
public:
    StyleReader(ByteReader& r, int shapeVersion) : r_(r), version_(shapeVersion) {}

    void fill(const std::array<FillStyle*, N>& out) {
        const auto type = static_cast<FillType>(r_.u8());
        for (FillStyle* f : out) f->type = type;
        switch (type) {
            case FillType::kSolid:
                for (FillStyle* f : out) f->color = color();
                break;
            case FillType::kLinearGradient:
            case FillType::kRadialGradient:
            case FillType::kFocalGradient: {
                for (FillStyle* f : out) f->matrix = ReadMatrix(r_);
                std::array<Gradient*, N> gradients;
                for (size_t i = 0; i < N; ++i) gradients[i] = &out[i]->gradient;
                gradient(gradients, type == FillType::kFocalGradient);
                break;
            }
            case FillType::kRepeatingBitmap:
            case FillType::kClippedBitmap:
            case FillType::kNonSmoothedRepeatingBitmap:
            case FillType::kNonSmoothedClippedBitmap: {
                const uint16_t id = r_.u16();
                for (FillStyle* f : out) {
                    f->bitmapId = id;
                    f->matrix = ReadMatrix(r_);
                }
                break;
            }
            default:
                r_.fail();  // an unknown fill type: the rest of the record can't be found
        }
    }

    void line(const std::array<LineStyle*, N>& out) {
        for (LineStyle* l : out) l->width = r_.u16();
        if (version_ < 4) {
            for (LineStyle* l : out) l->color = color();
            return;
        }
        LineStyle flags;
        flags.startCap = static_cast<CapStyle>(r_.ubits(2));
        flags.join = static_cast<JoinStyle>(r_.ubits(2));
        flags.hasFill = r_.flag();
        flags.noHScale = r_.flag();
        flags.noVScale = r_.flag();
        flags.pixelHinting = r_.flag();
        r_.ubits(5);  // reserved
        flags.noClose = r_.flag();
        flags.endCap = static_cast<CapStyle>(r_.ubits(2));
        r_.align();
        if (flags.join == JoinStyle::kMiter) flags.miterLimit = r_.fixed8();
        for (LineStyle* l : out) {
            l->startCap = flags.startCap;
            l->join = flags.join;
            l->hasFill = flags.hasFill;
            l->noHScale = flags.noHScale;
            l->noVScale = flags.noVScale;
            l->pixelHinting = flags.pixelHinting;
            l->noClose = flags.noClose;
            l->endCap = flags.endCap;
            l->miterLimit = flags.miterLimit;
        }
        if (flags.hasFill) {
            std::array<FillStyle*, N> fills;
            for (size_t i = 0; i < N; ++i) fills[i] = &out[i]->fill;
            fill(fills);
        } else {
            for (LineStyle* l : out) l->color = ReadRgba(r_);
        }
    }

    // A style array's count: a byte, or 0xFF and 16 bits from DefineShape2 on.
    uint32_t count() {
        uint32_t n = r_.u8();
        if (n == 0xFF && version_ >= 2) n = r_.u16();
        return n;
    }

private:
    Color color() { return version_ >= 3 ? ReadRgba(r_) : ReadRgb(r_); }

    void gradient(const std::array<Gradient*, N>& out, bool focal) {
        const uint8_t head = r_.u8();
        for (Gradient* g : out) {
            g->spread = static_cast<SpreadMode>((head >> 6) & 3);
            g->interpolation = static_cast<InterpolationMode>((head >> 4) & 3);
        }
        const unsigned records = head & 0x0F;
        for (unsigned i = 0; i < records && r_.ok(); ++i) {
            for (Gradient* g : out) {
                GradientRecord rec;
                rec.ratio = r_.u8();
                rec.color = color();
                g->records.push_back(rec);
            }
        }
        if (focal) {
            for (Gradient* g : out) g->focalPoint = r_.fixed8();
        }
    }

    ByteReader& r_;
    int version_;
};

// A style array into N parallel vectors; a count beyond what the bytes could hold (each style
// takes at least `minBytes`) is damage.
template <size_t N, class Style, class ReadOne>
void ReadStyleArray(StyleReader<N>& styles, ByteReader& r, size_t minBytes, const std::array<std::vector<Style>*, N>& out,
                    ReadOne readOne) {
    const uint32_t count = styles.count();
    if (count > r.remaining() / minBytes + 1) {
        r.fail();
        return;
    }
    for (std::vector<Style>* v : out) v->reserve(count);
    for (uint32_t i = 0; i < count && r.ok(); ++i) {
        std::array<Style*, N> one;
        for (size_t k = 0; k < N; ++k) one[k] = &out[k]->emplace_back();
        readOne(one);
    }
}

}  // namespace

std::vector<FillStyle> ReadFillStyles(ByteReader& r, int shapeVersion) {
    std::vector<FillStyle> fills;
    StyleReader<1> styles(r, shapeVersion);
    ReadStyleArray<1, FillStyle>(styles, r, 2, {&fills}, [&](const std::array<FillStyle*, 1>& f) { styles.fill(f); });
    return fills;
}

std::vector<LineStyle> ReadLineStyles(ByteReader& r, int shapeVersion) {
    std::vector<LineStyle> lines;
    StyleReader<1> styles(r, shapeVersion);
    ReadStyleArray<1, LineStyle>(styles, r, 4, {&lines}, [&](const std::array<LineStyle*, 1>& l) { styles.line(l); });
    return lines;
}

void ReadMorphStyles(ByteReader& r, bool morph2, MorphStyles& out) {
    StyleReader<2> styles(r, morph2 ? 4 : 3);
    ReadStyleArray<2, FillStyle>(styles, r, 2, {&out.startFills, &out.endFills},
                                 [&](const std::array<FillStyle*, 2>& f) { styles.fill(f); });
    if (!r.ok()) return;
    ReadStyleArray<2, LineStyle>(styles, r, 4, {&out.startLines, &out.endLines},
                                 [&](const std::array<LineStyle*, 2>& l) { styles.line(l); });
}

namespace {

static_assert(kMaxShapeRecords == 1u << 22, "the message names the limit's value");
constexpr char kShapeRecordsLimit[] = "a shape of more than 4194304 records (kMaxShapeRecords)";

}  // namespace

ReadStatus ReadShape(ByteReader& r, int shapeVersion, bool withStyles, Shape& out) {
    if (withStyles) {
        out.fills = ReadFillStyles(r, shapeVersion);
        out.lines = ReadLineStyles(r, shapeVersion);
    }
    unsigned fillBits = r.ubits(4), lineBits = r.ubits(4);
    while (r.ok()) {
        if (out.records.size() >= kMaxShapeRecords) {
            r.failAtLimit(kShapeRecordsLimit);
            break;
        }
        if (r.flag()) {  // an edge
            if (r.flag()) {
                StraightEdgeRecord edge;
                const unsigned n = r.ubits(4) + 2;
                if (r.flag()) {
                    edge.dx = r.sbits(n);
                    edge.dy = r.sbits(n);
                } else if (r.flag()) {
                    edge.dy = r.sbits(n);
                } else {
                    edge.dx = r.sbits(n);
                }
                out.records.emplace_back(edge);
            } else {
                CurvedEdgeRecord edge;
                const unsigned n = r.ubits(4) + 2;
                edge.controlDx = r.sbits(n);
                edge.controlDy = r.sbits(n);
                edge.anchorDx = r.sbits(n);
                edge.anchorDy = r.sbits(n);
                out.records.emplace_back(edge);
            }
            continue;
        }
        const uint32_t flags = r.ubits(5);
        if (flags == 0) break;  // the end record
        StyleChangeRecord change;
        if (flags & 0x01) {
            const unsigned n = r.ubits(5);
            StyleChangeRecord::Point p;
            p.x = r.sbits(n);
            p.y = r.sbits(n);
            change.moveTo = p;
        }
        if (flags & 0x02) change.fill0 = r.ubits(fillBits);
        if (flags & 0x04) change.fill1 = r.ubits(fillBits);
        if (flags & 0x08) change.line = r.ubits(lineBits);
        // New style arrays exist from DefineShape2 on; in DefineShape the flag is ignored.
        if ((flags & 0x10) != 0 && withStyles && shapeVersion >= 2) {
            r.align();
            StyleChangeRecord::Styles styles;
            styles.fills = ReadFillStyles(r, shapeVersion);
            styles.lines = ReadLineStyles(r, shapeVersion);
            change.newStyles = std::move(styles);
            fillBits = r.ubits(4);
            lineBits = r.ubits(4);
        }
        out.records.emplace_back(std::move(change));
    }
    r.align();
    return ReadStatus::Of(r);
}

}  // namespace swf
