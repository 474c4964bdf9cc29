#include "swf/bitmap_tags.h"

namespace swf {

bool ReadDefineBits(const Tag& tag, DefineBits& out) {
    out = DefineBits();
    ByteReader r = tag.reader();
    out.id = r.u16();
    out.usesJpegTables = tag.code == tag::kDefineBits;
    const bool withAlpha = tag.code == tag::kDefineBitsJpeg3 || tag.code == tag::kDefineBitsJpeg4;
    size_t imageSize = 0;
    if (withAlpha) {
        imageSize = r.u32();
        if (tag.code == tag::kDefineBitsJpeg4) out.deblocking = r.u16();
    }
    if (!r.ok() || (withAlpha && imageSize > r.remaining())) return false;
    out.image = r.current();
    out.imageSize = withAlpha ? imageSize : r.remaining();
    if (withAlpha && r.remaining() > imageSize) {
        out.alpha = out.image + imageSize;
        out.alphaSize = r.remaining() - imageSize;
    }
    return true;
}

bool ReadDefineBitsLossless(const Tag& tag, DefineBitsLossless& out) {
    out = DefineBitsLossless();
    ByteReader r = tag.reader();
    out.id = r.u16();
    out.format = r.u8();
    out.width = r.u16();
    out.height = r.u16();
    if (out.format == 3) out.colorTableSize = static_cast<uint16_t>(r.u8() + 1);
    out.withAlpha = tag.code == tag::kDefineBitsLossless2;
    if (!r.ok()) return false;
    out.data = r.current();
    out.dataSize = r.remaining();
    return true;
}

}  // namespace swf
