#include "swf/display_tags.h"

namespace swf {

namespace {

// CLIPACTIONS: reserved, all events, then records up to a zero event mask. False when the
// records stop short of that mark; those read whole before are kept.
bool ReadClipActions(ByteReader& r, uint8_t movieVersion, std::vector<ClipActionRecord>& out) {
    auto events = [&]() -> uint32_t { return movieVersion >= 6 ? r.u32() : r.u16(); };
    r.u16();
    // The events the placement answers at all: a record's events outside them never fire, as
    // in the reference players.
    const uint32_t all = events();
    while (r.ok()) {
        const uint32_t mask = events();
        if (!r.ok()) return false;
        if (mask == 0) return true;
        const uint32_t size = r.u32();
        if (!r.ok() || size > r.remaining() || out.size() >= kMaxClipActions) return false;
        ByteReader body = r.sub(size);
        ClipActionRecord action;
        action.events = mask & all;
        if ((mask & clip_event::kKeyPress) != 0 && size > 0) action.keyCode = body.u8();  // a key press names its key first
        action.code.assign(body.current(), body.current() + body.remaining());
        out.push_back(std::move(action));
    }
    return false;
}

}  // namespace

bool ReadRemoveObject(const Tag& tag, uint16_t& depth) {
    ByteReader r = tag.reader();
    if (tag.code == tag::kRemoveObject) r.u16();
    depth = r.u16();
    return r.ok();
}

bool ReadPlaceObject(const Tag& tag, uint8_t movieVersion, PlaceObject& out) {
    out = PlaceObject();
    ByteReader r = tag.reader();
    if (tag.code == tag::kPlaceObject) {
        out.version = 1;
        out.characterId = r.u16();
        out.depth = r.u16();
        out.matrix = ReadMatrix(r);
        if (r.ok() && r.remaining() > 0) out.colorTransform = ReadColorTransform(r, false);
        return r.ok();
    }
    const bool v3 = tag.code == tag::kPlaceObject3;
    out.version = v3 ? 3 : 2;
    const uint8_t flags = r.u8();
    const uint8_t flags2 = v3 ? r.u8() : 0;
    out.depth = r.u16();
    out.move = (flags & place_flag::kMove) != 0;
    // The class name comes with its own flag only: movies with the image flag and a
    // character carry no name, whatever the format's description suggests.
    if (v3 && (flags2 & place_flag::kHasClassName) != 0) out.className = r.string();
    if (flags & place_flag::kHasCharacter) out.characterId = r.u16();
    if (flags & place_flag::kHasMatrix) out.matrix = ReadMatrix(r);
    if (flags & place_flag::kHasColorTransform) out.colorTransform = ReadColorTransform(r, true);
    if (flags & place_flag::kHasRatio) out.ratio = r.u16();
    if (flags & place_flag::kHasName) out.name = r.string();
    if (flags & place_flag::kHasClipDepth) out.clipDepth = r.u16();
    if (v3) {
        if ((flags2 & place_flag::kHasFilterList) != 0 && !ReadFilterList(r, out.filters.emplace())) return false;
        if (flags2 & place_flag::kHasBlendMode) out.blendMode = r.u8();
        if (flags2 & place_flag::kHasCacheAsBitmap) out.cacheAsBitmap = r.u8() != 0;
        if (flags2 & place_flag::kHasVisible) out.visible = r.u8() != 0;
        if (flags2 & place_flag::kHasOpaqueBackground) out.backgroundColor = ReadRgba(r);
    }
    if ((flags & place_flag::kHasClipActions) != 0 && r.ok()) {
        ByteReader rest(r.current(), r.remaining());
        ReadClipActions(rest, movieVersion, out.clipActions);
    }
    return r.ok();
}

bool ReadDefineButton(const Tag& tag, DefineButton& out) {
    out = DefineButton();
    const bool v2 = tag.code == tag::kDefineButton2;
    ByteReader r = tag.reader();
    out.id = r.u16();
    size_t actionsAt = 0;  // DefineButton2: where the first condition record starts, 0 for none
    if (v2) {
        out.trackAsMenu = (r.u8() & 0x01) != 0;
        const size_t offsetAt = r.position();
        const uint16_t offset = r.u16();
        if (offset != 0) actionsAt = offsetAt + offset;
    }
    for (;;) {
        const uint8_t flags = r.u8();
        if (!r.ok()) return false;
        if (flags == 0) break;  // the end of the records
        ButtonRecord b;
        b.states = flags & 0x0F;
        b.characterId = r.u16();
        b.depth = r.u16();
        b.matrix = ReadMatrix(r);
        if (v2) b.colorTransform = ReadColorTransform(r, true);
        if (v2 && (flags & 0x10) != 0 && !ReadFilterList(r, b.filters.emplace())) return false;
        if (v2 && (flags & 0x20) != 0) b.blendMode = r.u8();
        if (!r.ok()) return false;
        out.records.push_back(std::move(b));
    }
    if (!v2) {
        ButtonAction a;
        a.conditions = kButtonConditionOverDownToOverUp;
        a.code.assign(r.current(), r.current() + r.remaining());
        if (!a.code.empty()) out.actions.push_back(std::move(a));
        return true;
    }
    // BUTTONCONDACTIONs: each a size to the next (0 for the last), the conditions, the code.
    if (actionsAt == 0 || actionsAt >= tag.length) return true;
    ByteReader a(tag.body + actionsAt, tag.length - actionsAt);
    while (a.remaining() >= 4) {
        const uint16_t size = a.u16();
        ButtonAction action;
        action.conditions = a.u16();
        const size_t length = size == 0 ? a.remaining() : size >= 4 ? size - 4u : 0;
        if (length > a.remaining()) break;  // damaged: the actions read so far stand
        action.code.assign(a.current(), a.current() + length);
        a.skip(length);
        out.actions.push_back(std::move(action));
        if (size == 0 || size < 4) break;
    }
    return true;
}

bool ReadDefineButtonSound(const Tag& tag, DefineButtonSound& out) {
    out = DefineButtonSound();
    ByteReader r = tag.reader();
    out.buttonId = r.u16();
    for (ButtonSound& sound : out.sounds) {
        sound.soundId = r.u16();
        if (sound.soundId != 0 && !ReadSoundInfo(r, sound.info)) return false;
    }
    return r.ok();
}

}  // namespace swf
