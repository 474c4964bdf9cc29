#include "swf/shape_tags.h"

namespace swf {

namespace {

int ShapeVersion(uint16_t code) {
    switch (code) {
        case tag::kDefineShape: return 1;
        case tag::kDefineShape2: return 2;
        case tag::kDefineShape3: return 3;
        case tag::kDefineShape4: return 4;
        default: return 0;
    }
}

}  // namespace

ReadStatus ReadDefineShape(const Tag& tag, uint16_t& id, Rect& bounds, Shape& shape) {
    const int version = ShapeVersion(tag.code);
    ByteReader r = tag.reader();
    id = r.u16();
    bounds = ReadRect(r);
    bool nonZero = false;
    if (version == 4) {
        ReadRect(r);  // edge bounds
        nonZero = (r.u8() & 0x04) != 0;  // the winding rule; the stroke-scaling hints are not needed
    }
    if (!r.ok()) return false;
    const ReadStatus status = ReadShape(r, version, true, shape);
    shape.nonZero = nonZero;
    return status;
}

ReadStatus ReadDefineMorphShape(const Tag& tag, uint16_t& id, DefineMorphShape& m) {
    const bool v2 = tag.code == tag::kDefineMorphShape2;
    ByteReader r = tag.reader();
    id = r.u16();
    m.startBounds = ReadRect(r);
    m.endBounds = ReadRect(r);
    if (v2) {
        ReadRect(r);
        ReadRect(r);
        r.u8();
    }
    const uint32_t offset = r.u32();  // from here to the end edges
    const size_t offsetBase = r.position();
    MorphStyles styles;
    ReadMorphStyles(r, v2, styles);
    m.startFills = std::move(styles.startFills);
    m.endFills = std::move(styles.endFills);
    m.startLines = std::move(styles.startLines);
    m.endLines = std::move(styles.endLines);
    if (!r.ok()) return false;
    if (const ReadStatus start = ReadShape(r, 3, false, m.startEdges); !start) return start;
    // The end edges start where the offset says.
    if (offsetBase + offset > tag.length) return false;
    ByteReader e(tag.body + offsetBase + offset, tag.length - offsetBase - offset);
    if (offset == 0) return true;  // no end shape: nothing to morph to
    return ReadShape(e, 3, false, m.endEdges);
}

}  // namespace swf
