#include "swf/control_tags.h"

namespace swf {

namespace {

Bytes Rest(const ByteReader& r) { return {r.current(), r.remaining()}; }

}  // namespace

bool ReadDefineSpriteHeader(const Tag& tag, DefineSpriteHeader& out) {
    ByteReader r = tag.reader();
    out.id = r.u16();
    out.frameCount = r.u16();
    out.tags = Rest(r);
    return r.ok();
}

bool ReadDoInitAction(const Tag& tag, DoInitAction& out) {
    ByteReader r = tag.reader();
    out.spriteId = r.u16();
    out.code = Rest(r);
    return r.ok();
}

bool ReadSetBackgroundColor(const Tag& tag, Color& out) {
    ByteReader r = tag.reader();
    out = ReadRgb(r);
    return r.ok();
}

bool ReadScriptLimits(const Tag& tag, ScriptLimits& out) {
    ByteReader r = tag.reader();
    out.maxRecursionDepth = r.u16();
    out.timeoutSeconds = r.u16();
    return r.ok();
}

bool ReadFrameLabel(const Tag& tag, FrameLabel& out) {
    ByteReader r = tag.reader();
    out.name = r.string();
    out.anchor = r.ok() && r.remaining() > 0 && r.u8() == 1;
    return true;  // a label without its end mark is the rest of the tag
}

std::vector<ExportedAsset> ReadExportAssets(const Tag& tag) {
    ByteReader r = tag.reader();
    const uint16_t count = r.u16();
    std::vector<ExportedAsset> out;
    for (uint16_t i = 0; i < count && r.ok(); ++i) {
        ExportedAsset asset;
        asset.id = r.u16();
        asset.name = r.string();
        if (!r.ok()) break;
        out.push_back(std::move(asset));
    }
    return out;
}

bool ReadDefineButtonCxform(const Tag& tag, DefineButtonCxform& out) {
    ByteReader r = tag.reader();
    out.buttonId = r.u16();
    out.colorTransform = ReadColorTransform(r, false);
    return r.ok();
}

bool ReadFontInfoFontId(const Tag& tag, uint16_t& fontId) {
    ByteReader r = tag.reader();
    fontId = r.u16();
    return r.ok();
}

}  // namespace swf
