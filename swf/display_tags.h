#pragma once
// The tags that put characters on a display list, as typed records: PlaceObject 1 to 3 and
// RemoveObject 1 and 2, and the character records of DefineButton and DefineButton2 with their
// states and actions. Optional fields are given or not, as the tag's flags say; filters are
// decoded here, once.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "swf/filters.h"
#include "swf/records.h"
#include "swf/sound_info.h"
#include "swf/tags.h"

namespace swf {

// The flags of PlaceObject2 and 3 (first byte) and of PlaceObject3 (second byte).
namespace place_flag {
inline constexpr uint8_t kMove = 0x01, kHasCharacter = 0x02, kHasMatrix = 0x04, kHasColorTransform = 0x08,
                         kHasRatio = 0x10, kHasName = 0x20, kHasClipDepth = 0x40, kHasClipActions = 0x80;
inline constexpr uint8_t kHasFilterList = 0x01, kHasBlendMode = 0x02, kHasCacheAsBitmap = 0x04,
                         kHasClassName = 0x08, kHasImage = 0x10, kHasVisible = 0x20, kHasOpaqueBackground = 0x40;
}  // namespace place_flag

// The events of clip actions, as the flags of a PlaceObject2 or 3 number them.
namespace clip_event {
inline constexpr uint32_t kLoad = 1u << 0, kEnterFrame = 1u << 1, kUnload = 1u << 2, kData = 1u << 8, kInitialize = 1u << 9,
                          kKeyPress = 1u << 17, kConstruct = 1u << 18;
}

inline constexpr size_t kMaxClipActions = 4096;  // records of one placement

struct ClipActionRecord {
    uint32_t events = 0;
    uint8_t keyCode = 0;  // for kKeyPress
    std::vector<uint8_t> code;
};

struct PlaceObject {
    uint8_t version = 1;  // 1, 2 or 3: PlaceObject, PlaceObject2, PlaceObject3
    uint16_t depth = 0;
    bool move = false;  // modifies (or replaces the character of) what is at the depth
    std::optional<uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    std::optional<std::string> className;
    std::optional<std::vector<Filter>> filters;
    std::optional<uint8_t> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Color> backgroundColor;
    // Damaged clip actions keep the records read whole before the damage: the reference
    // players play such movies (an end mark cut to 16 bits, say).
    std::vector<ClipActionRecord> clipActions;
};

// PlaceObject, PlaceObject2 or PlaceObject3. `movieVersion` is the file's: clip actions take
// 16-bit event flags before version 6.
bool ReadPlaceObject(const Tag& tag, uint8_t movieVersion, PlaceObject& out);
// RemoveObject or RemoveObject2: the depth (RemoveObject's character id does not matter).
bool ReadRemoveObject(const Tag& tag, uint16_t& depth);

// The states of a button record.
namespace button_state {
inline constexpr uint8_t kUp = 0x01, kOver = 0x02, kDown = 0x04, kHitTest = 0x08;
}

struct ButtonRecord {
    uint8_t states = 0;  // button_state flags
    uint16_t characterId = 0;
    uint16_t depth = 0;
    Matrix matrix;
    std::optional<ColorTransform> colorTransform;  // DefineButton2
    std::optional<std::vector<Filter>> filters;
    std::optional<uint8_t> blendMode;
};

// A button's actions and the transitions that run them (DefineButton's one list runs on
// release: kOverDownToOverUp).
struct ButtonAction {
    uint16_t conditions = 0;  // DefineButton2's condition flags, the key code in bits 9-15
    std::vector<uint8_t> code;
};
inline constexpr uint16_t kButtonConditionOverDownToOverUp = 0x0008;

struct DefineButton {
    uint16_t id = 0;
    bool trackAsMenu = false;
    std::vector<ButtonRecord> records;
    std::vector<ButtonAction> actions;
};

// DefineButton or DefineButton2. The records must read whole; actions that do not are left
// out from the damage on.
bool ReadDefineButton(const Tag& tag, DefineButton& out);

// DefineButtonSound: the sound each transition starts, in the order over up to idle, idle to
// over up, over up to over down, over down to over up. A sound id of 0 is no sound.
struct ButtonSound {
    uint16_t soundId = 0;
    SoundInfo info;
};
struct DefineButtonSound {
    uint16_t buttonId = 0;
    std::array<ButtonSound, 4> sounds;
};
bool ReadDefineButtonSound(const Tag& tag, DefineButtonSound& out);

}  // namespace swf
