#pragma once
// What the machine asks of the display. The machine knows nothing of clips but the handles
// the host hands out (0 is no clip); a handle whose clip has gone resolves to nothing, so a
// script can never reach freed data. Tests run the machine against a small fake host.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/heap.h"
#include "avm1/value.h"
#include "swf/filters.h"
#include "swf/records.h"

namespace avm1 {

// Clip properties by the index GetProperty and SetProperty use.
enum ClipProperty : int {
    kPropX = 0, kPropY, kPropXScale, kPropYScale, kPropCurrentFrame, kPropTotalFrames, kPropAlpha, kPropVisible,
    kPropWidth, kPropHeight, kPropRotation, kPropTarget, kPropFramesLoaded, kPropName, kPropDropTarget, kPropUrl,
    kPropHighQuality, kPropFocusRect, kPropSoundBufTime, kPropQuality, kPropXMouse, kPropYMouse, kPropertyCount
};
// The scripts' depth of the timeline's depth 0: timeline depth d is script depth d - 16384.
inline constexpr int kTimelineDepthBase = -16384;
inline constexpr int kMaxScriptDepth = 2130690044;  // past it, clips are not made or moved
inline constexpr int kMaxRemovableDepth = 2130690031;  // past it, clips are not removed
// Properties reached by name only.
inline constexpr int kPropOpaqueBackground = 64;
// The index of a property by its name ("_x" ...), without regard to case, or -1.
int PropertyIndex(std::string_view name);

// One call of a clip's drawing API with its arguments read: coordinates in the clip's twips.
struct DrawingCall {
    enum class Op : uint8_t { kClear, kLineStyle, kBeginFill, kEndFill, kMoveTo, kLineTo, kCurveTo };
    Op op = Op::kClear;
    int32_t x = 0, y = 0, controlX = 0, controlY = 0;
    std::optional<swf::LineStyle> line;  // kLineStyle: none stops lines
    std::optional<swf::FillStyle> fill;  // kBeginFill: none ends the fill
};

// What a handle names.
enum class ClipKind : uint8_t { kMovieClip, kTextField, kButton, kVideo };

// A text format's fields; none: not given (a TextFormat's null).
struct TextFormatFields {
    std::optional<std::string> font, url, target, align;
    std::optional<double> size, color, leftMargin, rightMargin, indent, leading, blockIndent, letterSpacing;
    std::optional<bool> bold, italic, underline, bullet, kerning;
};

// Sound's volume and pan as a clip keeps them: how much of each input goes to each side
// (ll: left to left, lr: left to right ...), and the volume over them, in percent.
struct SoundTransformFields {
    int32_t volume = 100, ll = 100, lr = 0, rr = 100, rl = 0;
};

class Host {
public:
    virtual ~Host() = default;
    virtual uint32_t root() = 0;
    virtual uint32_t parent(uint32_t clip) = 0;  // 0 for the root and for clips gone
    virtual uint32_t child(uint32_t clip, std::string_view name) = 0;  // by instance name
    virtual bool exists(uint32_t clip) = 0;
    // Taken off the display, kept only while its unload handlers or running script need it.
    virtual bool removed(uint32_t) { return false; }
    // Timeline variables. `get` leaves `out` alone and returns false when there is none.
    virtual bool getVariable(uint32_t clip, std::string_view name, Value& out) = 0;
    virtual void setVariable(uint32_t clip, std::string_view name, const Value& value) = 0;
    virtual bool deleteVariable(uint32_t clip, std::string_view name) = 0;
    // The clip's variables, oldest first, for for-in.
    virtual std::vector<std::string> variableNames(uint32_t) { return {}; }
    virtual Value getProperty(uint32_t clip, int property) = 0;
    virtual void setProperty(uint32_t clip, int property, const Value& value) = 0;
    // Timelines. Frames count from 0 here; `gotoFrame` clamps to the last frame.
    virtual void play(uint32_t clip) = 0;
    // stopAllSounds(): every sound that plays stops.
    virtual void stopAllSounds() {}
    virtual void stop(uint32_t clip) = 0;
    virtual void gotoFrame(uint32_t clip, int frame, bool play) = 0;
    virtual int frameOfLabel(uint32_t clip, std::string_view label) = 0;  // -1 when none
    virtual int currentFrame(uint32_t clip) = 0;
    virtual int totalFrames(uint32_t clip) = 0;
    // The scripts of a frame, for ActionCall.
    virtual std::vector<const std::vector<uint8_t>*> frameScripts(uint32_t clip, int frame) = 0;
    // "_level0.a.b", the clip's path as dot syntax prints it.
    virtual std::string path(uint32_t clip) = 0;
    virtual std::string name(uint32_t clip) = 0;
    virtual void trace(const std::string& line) = 0;
    virtual void log(const std::string& line) = 0;
    // Something of the movie that does not play (a feature not built yet), said once each; the
    // line has been logged already.
    virtual void leftOut(const std::string& /*what*/) {}
    // Milliseconds since the movie started, as the timeline counts them.
    virtual double timer() = 0;
    // Every value the host keeps for scripts (timeline variables), for the collector.
    virtual void traceValues(Tracer& tracer) = 0;

    // Clips that scripts make, move and remove. Depths are the scripts' own: the timeline's
    // first depth is -16384 (kTimelineDepthBase), script depths run from 0. Each gives 0 or
    // false when the clip or its parent is gone or the depth is out of range.
    // A new clip at `depth` of `parent`, replacing what is there: an empty one, or a sprite
    // the movie exports as `linkage`.
    virtual uint32_t createClip(uint32_t, std::string_view, int, std::string_view, const Value&) { return 0; }
    // A copy of `clip` beside it (the same character, transform and clip events).
    virtual uint32_t duplicateClip(uint32_t, std::string_view, int, const Value&) { return 0; }
    virtual bool removeClip(uint32_t) { return false; }
    virtual bool depthOf(uint32_t, int&) { return false; }
    // Moves the clip to `depth`, and what was there to the clip's old depth.
    virtual bool swapDepths(uint32_t, int) { return false; }
    virtual uint32_t clipAtDepth(uint32_t, int) { return 0; }
    // One above the highest script depth in use, 0 when there is none.
    virtual int nextHighestDepth(uint32_t) { return 0; }
    // What a clip inherits from: MovieClip.prototype unless a registered class or a write to
    // __proto__ gave it another (none: MovieClip.prototype).
    virtual ObjectHandle clipPrototype(uint32_t) { return {}; }
    // System.security.sandboxType: a local movie's, by whether it asks for the network.
    virtual std::string sandboxType() { return "localWithFile"; }
    virtual void setClipPrototype(uint32_t, ObjectHandle) {}

    // The drawing API on a clip.
    virtual void draw(uint32_t, const DrawingCall&) {}

    // Geometry, in pixels. The clip's bounds in the space of `space` (a clip; 0: the stage),
    // false when it draws nothing; with `strokes` false, without its lines' widths.
    virtual bool boundsIn(uint32_t, uint32_t, bool, double (&)[4]) { return false; }
    // A point of the clip's space to the stage's, or (`inverse`) back.
    virtual bool toGlobal(uint32_t, double&, double&, bool) { return false; }
    // Whether the stage point lies in the clip's bounds or (`shape`) on what it draws.
    virtual bool hitTest(uint32_t, double, double, bool) { return false; }
    // The clip's colour transform, as the file's terms (multipliers of 256 = 1).
    virtual bool colorTransform(uint32_t, swf::ColorTransform&) { return false; }
    virtual void setColorTransform(uint32_t, const swf::ColorTransform&) {}
    // With its parents' applied after it, up to the stage.
    virtual bool concatenatedColorTransform(uint32_t, swf::ColorTransform&) { return false; }
    // The clip's matrix {a, b, c, d, tx, ty}, translation in pixels: its own, or
    // (`concatenated`) to the stage.
    virtual bool matrixOf(uint32_t, bool, double (&)[6]) { return false; }
    virtual void setMatrix(uint32_t, const double (&)[6]) {}
    // The clip's filters, and new ones from a script.
    virtual std::vector<swf::Filter> filtersOf(uint32_t) { return {}; }
    // The characters of the static texts on the clip's own display list, in depth order.
    virtual std::vector<SnapshotGlyph> staticText(uint32_t) { return {}; }
    virtual void setFilters(uint32_t, std::vector<swf::Filter>) {}
    // The stage's size in pixels, as Stage.width and Stage.height give it.
    virtual void stageSize(double&, double&) {}
    // Display properties reached by name ("blendMode", "cacheAsBitmap"); false when the clip
    // has no such property.
    virtual bool getDisplayProperty(uint32_t, std::string_view, Value&) { return false; }
    virtual void setDisplayProperty(uint32_t, std::string_view, const Value&) {}
    // setMask: `mask` (0: none) masks the clip and draws only as its mask.
    virtual void setMask(uint32_t, uint32_t) {}
    // scrollRect {x, y, width, height} in pixels; false when it has none. Null sets none.
    virtual bool scrollRect(uint32_t, double (&)[4]) { return false; }
    virtual void setScrollRect(uint32_t, const double*) {}

    // Text fields. A handle may name one; its own properties ("text", "border" ...) by name,
    // false for a name it does not have.
    virtual ClipKind kindOf(uint32_t) { return ClipKind::kMovieClip; }
    virtual bool getTextField(uint32_t, std::string_view, Value&) { return false; }
    virtual bool setTextField(uint32_t, std::string_view, const Value&) { return false; }
    // A new field (createTextField), in pixels of the parent.
    virtual uint32_t createTextField(uint32_t, std::string_view, int, double, double, double, double) { return 0; }
    virtual bool textFormat(uint32_t, TextFormatFields&) { return false; }
    // Text set in a format as a field would lay it out, wrapped at `wrap` pixels when that is
    // a positive number: its width, height, ascent and descent in pixels.
    virtual bool measureText(const TextFormatFields&, const std::string&, double, double (&)[4]) { return false; }
    virtual void setTextFormat(uint32_t, const TextFormatFields&) {}
    // The format text put into the field from now on takes: read, and merged into.
    virtual bool newTextFormat(uint32_t field, TextFormatFields& out) { return textFormat(field, out); }
    virtual void setNewTextFormat(uint32_t field, const TextFormatFields& format) { setTextFormat(field, format); }

    // --- files beside the movie: loadMovie, loadVariables, LoadVars, XML ---
    // The bytes of `url` resolved against the movie's folder; false, with the reason, when it
    // names the network or a place outside that folder, or cannot be read.
    virtual bool readFile(std::string_view, std::string&, std::string& reason) {
        reason = "no files here";
        return false;
    }
    // Shows the movie in `bytes` where `clip` is (or, `clip` 0, on level `level`), what was
    // there gone; returns the clip that shows it, or 0 when there is no such place. Bytes
    // that hold no movie leave the clip empty. `loader`, an object, hears onLoadInit once the
    // movie's first frame has run.
    virtual uint32_t loadMovie(uint32_t, int, const std::string&, std::string_view, const Value&) { return 0; }
    // Empties the clip, or takes level `level` away (`clip` 0).
    virtual void unloadMovie(uint32_t, int) {}
    // The clip of _levelN, or 0.
    virtual uint32_t level(int) { return 0; }
    // What _root is for scripts of `clip`: the root of its level, or the nearest clip above
    // it (itself included) whose _lockroot is set.
    virtual uint32_t rootOf(uint32_t) { return root(); }
    // For a movie's main timeline the size of its file, as stored or inflated; for a clip of
    // a sprite the size of the sprite's tags; 0 for a clip a script made empty.
    virtual double movieBytes(uint32_t, bool) { return 0; }
    // A BitmapData shown at `depth` of the clip, replacing what is there.
    virtual void attachBitmap(uint32_t, int, std::shared_ptr<ScriptBitmap>, bool) {}
    // BitmapData.draw of a clip: what it shows through `matrix` (a, b, c, d, tx, ty from its
    // pixels to the bitmap's) and `cx`, over the pixels inside `clip` (x, y, w, h) or all.
    virtual void drawClip(ScriptBitmap&, uint32_t, const double (&)[6], const swf::ColorTransform&, const int64_t*, bool) {}
    // A copy of the pixels of a bitmap the movie exports under `linkage`, or null.
    virtual std::shared_ptr<ScriptBitmap> libraryBitmap(std::string_view) { return nullptr; }
    // The clip's data event (onClipEvent(data), onData): its variables arrived.
    virtual void dataLoaded(uint32_t) {}

    // --- sound: sounds by the number the host gives them (0: none), clips' gains ---
    // The sound the movie of `clip` exports as `linkage`.
    virtual uint32_t exportedSound(uint32_t, std::string_view) { return 0; }
    // The sound in the MP3 file at `url` beside the movie, or 0 with the reason.
    virtual uint32_t loadSound(std::string_view, std::string& reason) {
        reason = "sounds do not load here";
        return 0;
    }
    // Its length in milliseconds, or -1 when it does not decode.
    virtual double soundDurationMs(uint32_t) { return -1; }
    // Starts the sound for `owner` (a clip; 0: the whole movie) `offsetSeconds` into it,
    // `loops` times in all; `listener` hears onSoundComplete when it ends. The voice, or 0.
    virtual uint64_t startSound(uint32_t, uint32_t, double, int, const Value&) { return 0; }
    // Stops `sound` (0: every sound) where `owner` plays it (0: everywhere).
    virtual void stopSounds(uint32_t, uint32_t) {}
    // The voice's place in its sound in milliseconds, or -1 once it has stopped.
    virtual double voicePositionMs(uint64_t) { return -1; }
    // The gain of `owner` (0: the whole movie) as percentages; false when the clip is gone.
    virtual bool soundTransform(uint32_t, SoundTransformFields&) { return false; }
    virtual void setSoundTransform(uint32_t, const SoundTransformFields&) {}
    // Calls target.method(args) at the start of the next step.
    virtual void queueEvent(const Value&, const char*, std::vector<Value>) {}

    // --- NetStream: FLV files beside the movie, played into Video objects ---
    // A new stream for `listener` (which hears onStatus): its number, or 0.
    virtual uint32_t newNetStream(const Value&) { return 0; }
    // Gives the stream the file at `url`; false with the reason.
    virtual bool loadNetStream(uint32_t, std::string_view, std::string& reason) {
        reason = "streams do not play here";
        return false;
    }
    enum class StreamCommand : uint8_t { kPlay, kPause, kResume, kSeek, kClose };
    virtual void netStreamCommand(uint32_t, StreamCommand, double) {}
    virtual double netStreamTime(uint32_t) { return 0; }
    // Shows the stream (0: nothing) in the Video object `video`.
    virtual void attachVideo(uint32_t, uint32_t) {}
    // The Video object's picture size in pixels, or false.
    virtual bool videoSize(uint32_t, int&, int&) { return false; }
    // A Video object's smoothing and deblocking as scripts read them; false when `video` is
    // no Video object.
    virtual bool videoSettings(uint32_t, bool&, int&) { return false; }
    virtual void setVideoSmoothing(uint32_t, bool) {}
    virtual void setVideoDeblocking(uint32_t, int) {}
};

}  // namespace avm1
