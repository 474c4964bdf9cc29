#pragma once
// The display: timelines playing and the objects on their display lists.
//
// A sprite's timeline belongs to the display object that shows it. Scripts and the engine's
// step order know timelines by handle only, through weak references: when an object leaves
// its display list its timeline goes with it and every handle to it resolves to nothing,
// without the timeline having to tell anyone.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "avm1/host.h"
#include "avm1/object.h"
#include "avm1/value.h"
#include "movie/definition.h"
#include "movie/display/drawing.h"

namespace movie {

struct DisplayObject;

// The filters a script may give one object; the rest are dropped (each is a pass over a layer).
inline constexpr size_t kMaxScriptFilters = 64;

// Where scripts' depths start in a display list's keys: script depth d is key d + 16384, so
// the timeline's depths (1 to 65535) keep their numbers as keys.
inline constexpr int32_t kScriptDepthOffset = 16384;

// One timeline playing: the main movie's or a sprite instance's.
struct TimelineInstance {
    const Timeline* timeline = nullptr;
    // The movie its characters come from: the main movie's, or one loaded into a clip or level.
    const MovieDefinition* movie = nullptr;
    int frame = -1;  // the frame shown; -1 before the first
    // By depth, drawn from the lowest: the timeline's depths (1 to 65535) as the file numbers
    // them, and scripts' depths shifted by kScriptDepthOffset into the same order.
    std::map<int32_t, DisplayObject> displayList;

    // What scripts see of it.
    uint32_t handle = 0;
    TimelineInstance* parent = nullptr;
    DisplayObject* object = nullptr;  // the display object that shows it
    int nesting = 0;
    int level = 0;  // a main timeline's level: _levelN
    bool playing = true;
    bool initialized = false;  // its first frame has run and its load event come
    bool removed = false;      // off the display, kept only until its unload handlers have run
    bool unloadQueued = false;  // its unload handlers are queued
    // By key (the name, without case before version 7): the value, the name as first set, and
    // when it was made, for for-in's order.
    struct Variable {
        avm1::Value value;
        std::string name;
        uint64_t serial = 0;
    };
    std::map<std::string, Variable> variables;
    uint64_t nextSerial = 0;
    avm1::ObjectHandle prototype;  // a registered class's, or none: MovieClip's
    // What its scripts drew, below its display list; null until they draw.
    std::shared_ptr<Drawing> drawing;
};

struct DisplayObject {
    DisplayObject() = default;
    // One owner each: a timeline lives as long as the object that shows it.
    DisplayObject(const DisplayObject&) = delete;
    DisplayObject& operator=(const DisplayObject&) = delete;
    DisplayObject(DisplayObject&&) = default;
    DisplayObject& operator=(DisplayObject&&) = default;

    uint16_t characterId = 0;
    const Character* character = nullptr;
    swf::Matrix matrix;
    swf::ColorTransform colorTransform;
    uint16_t ratio = 0;
    uint16_t clipDepth = 0;  // > 0: a mask for the depths above it up to this one
    uint8_t blendMode = 0;   // as the file numbers them: 0 and 1 normal, 2 layer, 3 multiply ...
    std::vector<swf::Filter> filters;
    bool visible = true;
    bool cacheAsBitmap = false;  // drawn as a bitmap: on whole pixels
    int placedFrame = -1;        // the frame of its timeline that placed it
    bool scripted = false;       // made or moved by a script: the timeline leaves it alone
    // A script set its position, scale, rotation or alpha: the timeline's moves leave those.
    bool transformedByScript = false;
    // _xscale, _yscale (as fractions) and _rotation (degrees) as a script last set them, read
    // back as set rather than from the matrix's rounded numbers.
    std::optional<std::array<double, 3>> scriptTransform;
    std::optional<swf::Color> opaqueBackground;  // fills the object's bounds behind it
    // setMask: what masks this object, and whether this one masks another (and so is drawn
    // only as that mask).
    std::weak_ptr<TimelineInstance> mask;
    bool isMask = false;
    // scrollRect in the object's twips: the part of it shown, from its origin.
    std::optional<swf::Rect> scrollRect;
    std::string name;
    std::shared_ptr<const std::vector<ClipAction>> clipActions;

    // What the object holds by its kind: a sprite's or a button's timeline (shared only so
    // that handles can hold weak references), an edit text's state, or nothing.
    struct EditTextState {
        std::string text;  // what it shows: a bound variable's value once scripts have run
        mutable std::string laidOutText;  // the text `layout` was made for
        mutable std::shared_ptr<const TextLayout> layout;
        // What scripts know the field by: a record without a timeline, whose handle they hold.
        std::shared_ptr<TimelineInstance> record;
        // The field's own definition once scripts change it (or made the field): the object's
        // character then points here. `changed` says the layout must be made again.
        std::shared_ptr<Character> own;
        mutable bool changed = false;
        // Properties scripts set that change nothing drawn, kept to be read back.
        std::map<std::string, avm1::Value> kept;
        // The format text put in from now on takes (setNewTextFormat), over the field's; and
        // the colour textColor reads, which formats given to the text already there leave.
        avm1::TextFormatFields newFormat;
        std::optional<swf::Color> textColor;
    };
    // A BitmapData a script attached: its pixels, shared with the script, and the rectangle
    // that shows them (the object's character).
    struct ScriptBitmapState {
        std::shared_ptr<avm1::ScriptBitmap> pixels;
        std::shared_ptr<Character> shape;
    };
    // A video: the record scripts know it by, and the NetStream it shows (0: its own frames).
    struct VideoState {
        std::shared_ptr<TimelineInstance> record;
        uint32_t stream = 0;
        int8_t smoothing = -1;   // what a script set (0 or 1), or -1: as the stream says
        uint8_t deblocking = 0;  // what a script set; the pictures follow their stream's setting
    };
    std::variant<std::monostate, std::shared_ptr<TimelineInstance>, EditTextState, ScriptBitmapState, VideoState> content;

    TimelineInstance* sprite() const {
        const auto* t = std::get_if<std::shared_ptr<TimelineInstance>>(&content);
        return t != nullptr ? t->get() : nullptr;
    }
    const ScriptBitmapState* scriptBitmap() const { return std::get_if<ScriptBitmapState>(&content); }
    VideoState* videoState() { return std::get_if<VideoState>(&content); }
    const VideoState* videoState() const { return std::get_if<VideoState>(&content); }
    EditTextState* editText() { return std::get_if<EditTextState>(&content); }
    const EditTextState* editText() const { return std::get_if<EditTextState>(&content); }
};

// The objects in an object's subtree, itself included.
size_t CountObjects(const DisplayObject& object);

// Placements: a later one's given fields replace an earlier one's (the moves of a timeline
// added up when it goes back), and a placement's given fields set an object's. Both go
// through one list of the fields.
void OverlayPlacement(Placement& into, const Placement& later);
void ApplyPlacement(DisplayObject& object, const Placement& placement);

}  // namespace movie
