#pragma once
// The movie engine: a loaded movie playing on its stage.
//
// Frame indexes count from 0. Frame n is the display after the control tags of frames
// 0 to n have run on the main timeline, with every sprite on the stage advanced once for
// each step the main timeline took since it was placed: gotoFrame(n) from frame k < n steps
// k + 1 .. n; from k > n it starts over at frame 0 and steps to n. Sprites play on their own
// and loop at their last frame. Steps may go on past the main timeline's last frame: it
// loops too, unless a script stops it.
//
// Scripts run as the reference players run them: each step, every timeline in turn (the
// newest first) gets its enterFrame event and, when playing, its next frame; a timeline
// placed during the step runs its first frame at once. Then the queued scripts run:
// init actions and initialize events first, then frame scripts and events in the order
// they were queued. A step's scripts share one instruction budget.

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "avm1/machine.h"
#include "movie/definition.h"
#include "movie/display/display_object.h"
#include "movie/morph_cache.h"
#include "movie/net_streams.h"
#include "movie/render/renderer.h"
#include "movie/script_host.h"
#include "movie/sound/sound_player.h"
#include "raster/target.h"

namespace movie {

// Clips whose paths at birth are remembered, for handles that outlive them.
inline constexpr size_t kMaxRememberedClips = size_t{1} << 16;
// Movies loaded by scripts from files beside the movie: how many, and the bytes of one file.
inline constexpr size_t kMaxLoadedMovies = 64;
inline constexpr size_t kMaxLoadedFileBytes = size_t{64} << 20;
// The distinct things a conversion's summary names as left out.
inline constexpr size_t kMaxLeftOut = 16;

class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // A movie from a file: files it loads come from the same folder.
    bool loadFile(const char* path, std::string& error);
    // A movie read from the file at `path`: files it loads come from the same folder.
    bool load(const swf::SwfFile& file, std::string_view path, std::string& error);
    // A movie from elsewhere: it loads no files.
    bool load(const swf::SwfFile& file, std::string& error);

    // The most decoded bitmap memory a movie may take (kMaxBitmapBytes unless set); set
    // before loading.
    void setBitmapBudget(uint64_t bytes) { bitmapBudget_ = bytes; }
    // The most its other definitions may take once read (kMaxDefinitionBytes unless set).
    void setDefinitionBudget(uint64_t bytes) { definitionBudget_ = bytes; }

    int totalFrames() const;
    // The frame shown: the number of steps taken since the first frame. Without scripts it
    // is also the main timeline's frame; scripts may stop or move the main timeline.
    int currentFrame() const { return ticks_ - 1; }
    // The main timeline's own frame.
    int timelineFrame() const { return root_.sprite() != nullptr ? root_.sprite()->frame : -1; }
    void gotoFrame(int frame);

    // The movie's own background until set here.
    void setBackgroundColor(raster::Rgba color) { background_ = color; backgroundSet_ = true; }
    raster::Rgba backgroundColor() const { return background_; }

    // What the movie's trace() prints, and what goes wrong in its scripts, line by line.
    // Set before loading to see the first frame's.
    void setTraceSink(std::function<void(const std::string&)> sink) { traceSink_ = std::move(sink); }
    void setLogSink(std::function<void(const std::string&)> sink) { logSink_ = std::move(sink); }

    // Stage size in whole pixels.
    int stageWidth() const;
    int stageHeight() const;
    const MovieDefinition& definition() const { return definition_; }

    // Draws the current frame scaled to the target: over the background colour, or over
    // transparent black (premultiplied) when `transparent`.
    void draw(const raster::Target& target, bool transparent, bool antiAlias);
    // Draws the current frame transparent, then lays it over the background colour in one
    // step, as the Windows player control does: a frame drawn so over white and over black
    // differs by exactly 255 - alpha in every channel, so the alpha composition of the two
    // gives back the transparent frame.
    void drawOverBackground(const raster::Target& target);

    // --- sound: what the movie plays, frame by frame ---
    // Whether the movie holds any sound that may play.
    bool makesSound() const { return definition_.hasSound(); }
    // The sample frames of 44.1 kHz sound that step `step` lasts: from step x 44100 / fps to
    // the next step's start, at the movie's exact 8.8 rate (a rate of 0 is one frame a second).
    size_t stepSamples(int step) const;
    // Mixes the current step's sound into `out`: stepSamples(currentFrame()) frames of 44.1
    // kHz stereo (2 samples each); the sounds the step started begin at its first sample.
    // Returns whether any sound played. A step's sound is taken once: a step whose sound is
    // not taken plays on unheard when the next step starts.
    bool mixAudio(std::vector<int16_t>& out);
    SoundPlayer& sound() { return sound_; }
    // For scripts: starts the sound of script number `sound` for the clip `owner` (0: the
    // whole movie); `listener` hears onSoundComplete when it ends. The voice, or 0.
    audio::VoiceId startScriptSound(uint32_t sound, uint32_t owner, double offsetSeconds, int loops,
                                    const avm1::Value& listener);
    // Calls target.method(args) at the start of the next step.
    void queueSoundEvent(const avm1::Value& target, const char* method, std::vector<avm1::Value> args);
    // For scripts: the FLV files NetStream objects play, each with the object that hears its
    // onStatus events.
    NetStreams& netStreams() { return netStreams_; }
    uint32_t newNetStream(const avm1::Value& listener);

    // --- for the script host: timelines by handle, and what scripts see ---
    // The handle's own timeline, or null when it has gone.
    TimelineInstance* ownTimeline(uint32_t handle) const;
    // What a script's handle names: its own timeline, or once that has gone, the clip now at
    // the path it was made at; null when there is none.
    TimelineInstance* timeline(uint32_t handle) const;
    std::weak_ptr<TimelineInstance> weakTimeline(uint32_t handle) const;
    TimelineInstance* rootTimeline() const { return root_.sprite(); }
    // Every timeline on the display, each once.
    void forEachTimeline(const std::function<void(const TimelineInstance&)>& visit) const;
    // Moves a timeline to a frame (clamped), as gotoAndPlay and gotoAndStop do.
    void seekTimeline(TimelineInstance& t, int frame) { seek(t, frame); }
    avm1::Machine& machine() { return *machine_; }
    void trace(const std::string& line);
    // What of the movie does not play (ActionScript 3 code, a codec this build lacks, a
    // feature not built yet, content past a limit), each said once, at most kMaxLeftOut; for a
    // summary after a conversion.
    void leaveOut(const std::string& what);
    const std::vector<std::string>& leftOut() const { return leftOut_; }
    void log(const std::string& line);
    // Milliseconds since the movie started, as the timeline counts them.
    double scriptTimerMs() const;

    // --- for scripts: clips made, moved and removed, at display-list keys (kScriptDepthOffset) ---
    // A new sprite clip (`sprite` null: an empty one) at `depth` of `parent`, replacing what
    // is there, not yet started; null when scripts may not change the display now or a limit
    // says no.
    TimelineInstance* makeClip(TimelineInstance& parent, int32_t depth, const Character* sprite, uint16_t id,
                               std::string name);
    // A made clip's initialize events and first frame, as a placement's; its class, when its
    // sprite has one registered, with `initObject`'s properties.
    void startClip(TimelineInstance& clip, const avm1::Value& initObject);
    bool removeClip(TimelineInstance& clip);
    // Moves the clip to `depth` of its list, and what is there to the clip's depth.
    bool moveClip(TimelineInstance& clip, int32_t depth);
    // The key of the clip in its parent's list.
    bool keyOf(const TimelineInstance& clip, int32_t& key) const;
    // The object's bounds under its own matrix, in its parent's twips; false when it has none.
    bool boundsInParent(const DisplayObject& object, swf::Rect& out);
    // A new text field (createTextField) at `depth` of `parent`, replacing what is there, with
    // `bounds` in the parent's twips; the record scripts know it by, or null.
    TimelineInstance* makeTextField(TimelineInstance& parent, int32_t depth, std::string name, const swf::Rect& bounds);
    // A script's BitmapData shown at `depth` of `parent`, replacing what is there; false when
    // scripts may not change the display now or it is full.
    bool attachBitmap(TimelineInstance& parent, int32_t depth, std::shared_ptr<avm1::ScriptBitmap> pixels, bool smoothing);
    // BitmapData.draw: what `source` shows, through `matrix` (its twips to the bitmap's
    // pixels) and `cx`, laid over the bitmap's pixels inside `clip` (x, y, width, height in
    // pixels; none: all of them).
    void drawInto(avm1::ScriptBitmap& into, const DisplayObject& source, const raster::Matrix& matrix,
                  const swf::ColorTransform& cx, const int64_t* clip, bool smoothing);
    // A copy of an exported bitmap's pixels as a BitmapData keeps them, or null.
    std::shared_ptr<avm1::ScriptBitmap> libraryBitmap(const TimelineInstance& from, std::string_view linkage) const;
    // A field's definition for scripts to change: the field's own from now on, laid out again.
    EditTextDefinition* editableText(DisplayObject& field);
    const TextLayout& textLayout(const DisplayObject& field) { return renderer_.layOut(field); }
    TextLayout measureText(const EditTextDefinition& field, const std::string& text, float& ascent, float& descent) {
        return renderer_.measure(field, text, ascent, descent);
    }
    // Its bounds in its own twips, and whether a point of them lies on what it draws.
    bool localBounds(const DisplayObject& object, swf::Rect& out);
    bool hitsShape(const DisplayObject& object, double x, double y);

    // --- for scripts: movies and text from files beside the movie ---
    // The movie a timeline's characters come from.
    const MovieDefinition& movieOf(const TimelineInstance& t) const { return t.movie != nullptr ? *t.movie : definition_; }
    // The character the movie of `from` exports as `linkage`, once its main timeline has
    // reached the frame of the export; 0 before then or when there is none.
    uint16_t exportedCharacter(const TimelineInstance& from, std::string_view linkage) const;
    // The bytes of `url` relative to the movie's folder; false with the reason for a URL
    // that leaves the folder or names the network, for a missing file, and past
    // kMaxLoadedFileBytes.
    bool readFile(std::string_view url, std::string& out, std::string& reason) const;
    // Puts the movie in `bytes` into `clip`, or onto level `level` (`clip` null): the clip's
    // children, variables and drawing go, its place and name stay, and the movie's first
    // frame runs at the next step. Bytes that hold no movie leave the clip empty. Returns
    // the timeline, or null when it cannot be (a level past the limit, a full display).
    TimelineInstance* loadMovie(TimelineInstance* clip, int level, const std::string& bytes, std::string_view url,
                                const avm1::Value& loader);
    // Empties the clip, or takes the level away.
    void unloadMovie(TimelineInstance* clip, int level);
    TimelineInstance* level(int n) const;
    // Its variables arrived: its data event, then its onData method.
    void dataLoaded(TimelineInstance& t);
    // The loaders waiting for their clips' first frames, for the collector.
    void traceLoaders(avm1::Tracer& tracer) const;

private:
    bool loadDefinition(const swf::SwfFile& file, std::string& error);
    void restart();
    void tick();
    void runClipFrame(TimelineInstance& t);
    void seek(TimelineInstance& t, int frame);
    void runFrame(TimelineInstance& t, int frame, bool scripts);
    // `placedFrame`: the frame the placement belongs to, when not the timeline's current one.
    void apply(TimelineInstance& t, const PlaceCommand& c, int placedFrame = -1);
    void startInstance(TimelineInstance& t, TimelineInstance* parent, DisplayObject* object, const Timeline* timeline);
    // Whether the display may hold one more object; says once when it may not.
    bool admitObject();
    // A fresh object at `depth` of `parent`'s list for a script, replacing what is there;
    // null when the display is full.
    DisplayObject* scriptSlot(TimelineInstance& parent, int32_t depth);
    // Gives a text field or a video on `parent`'s list the record scripts reach it by.
    void startTextRecord(TimelineInstance& parent, DisplayObject& field);
    // Takes the object at `it` off `list`: its subtree's unload events are queued (the deepest
    // first) and the object is kept aside until the step's scripts have run them. Returns the
    // next position.
    // A clip with unload handlers, `deferred`, stays on the list until they have run.
    std::map<int32_t, DisplayObject>::iterator removeObject(std::map<int32_t, DisplayObject>& list,
                                                            std::map<int32_t, DisplayObject>::iterator it,
                                                            bool deferred = true);
    bool hasUnloadHandler(const TimelineInstance& t) const;
    // A sprite's object off its list, kept until the step's unload handlers have run.
    void keepAside(DisplayObject&& object);
    // Queues the unload handlers of the timeline and those below it, once each; `hide`: they
    // are gone for scripts but their own handlers.
    void queueUnload(TimelineInstance& t, bool hide);
    // An object leaves a display list, with the objects of its subtree.
    void discard(const DisplayObject& object) { objects_ -= CountObjects(object); }
    // An object's timeline goes, with what its display lists held; the object stays.
    void discardChildren(const DisplayObject& object) { objects_ -= CountObjects(object) - 1; }
    void queueClipEvent(TimelineInstance& t, uint32_t event);
    void queueInitScripts(const TimelineInstance& t, const Frame& f);
    void runScripts();
    // Starts and stops the event sounds of a frame that runs.
    void startSounds(const TimelineInstance& t, const Frame& f);
    // Every timeline with a stream tells the sound player where it is, after a step.
    void followStreams();
    // At the start of a step: the sound of the last one plays on if nobody took it, and
    // what ended hears of it.
    void settleAudio();
    void noteEndedSounds();
    void runSoundEvents();
    int audioStep_ = -1;  // the last step whose sound was taken or passed
    struct SoundEvent {
        avm1::Value target;
        const char* method;
        std::vector<avm1::Value> args;
    };
    std::vector<SoundEvent> soundEvents_;
    std::map<audio::VoiceId, avm1::Value> soundListeners_;
    NetStreams netStreams_;
    std::map<uint32_t, avm1::Value> netListeners_;  // by stream
    double stepMs() const;
    // Edit text bound to variables shows their values once the step's scripts have run.
    void showBoundText(TimelineInstance& t);

    MovieDefinition definition_;
    std::optional<std::string> folder_;  // the main movie's folder, with its separator; none: no files load
    // Movies loaded by scripts, by file: loaded once, kept while the movie plays.
    std::map<std::string, std::unique_ptr<MovieDefinition>> loaded_;
    std::map<int, DisplayObject> levels_;  // _level1 and above
    // Clips whose loaded movie's first frame is to run, with the MovieClipLoader to tell.
    std::unordered_map<uint32_t, avm1::Value> loadInits_;
    const MovieDefinition* definitionOf(const std::string& bytes, const std::string& key);
    // Empties a timeline for a movie to come: its children unload, its variables and drawing go.
    void emptyTimeline(TimelineInstance& t);
    // Every timeline scripts can reach, by handle; a timeline that left the display leaves an
    // expired reference, pruned after the step.
    std::unordered_map<uint32_t, std::weak_ptr<TimelineInstance>> instances_;
    // The path each clip was made at ("_level0.a.b"), the oldest forgotten past
    // kMaxRememberedClips: a handle whose clip has gone names what lies there now.
    std::unordered_map<uint32_t, std::string> origins_;
    std::deque<uint32_t> originOrder_;
    void recordOrigin(const TimelineInstance& t);
    TimelineInstance* atPath(const std::string& path) const;
    uint32_t nextHandle_ = 1;
    uint32_t nextInstanceName_ = 1;  // "instance1" ...: what unnamed placed objects are called
    size_t objects_ = 0;  // on every display list together
    uint64_t bitmapBudget_ = kMaxBitmapBytes;
    uint64_t definitionBudget_ = kMaxDefinitionBytes;
    bool objectsReported_ = false, nestingReported_ = false;
    // The handles in the order their frames run: the newest first, the main timeline last.
    std::deque<uint32_t> execution_;
    std::vector<uint32_t> order_;  // scratch: the handles of the step running
    // Bytecode to run, or a method of the clip to call (onEnterFrame ...), or (neither) the
    // constructor of the clip's registered class.
    struct QueuedScript {
        uint32_t clip;
        const std::vector<uint8_t>* code = nullptr;
        const char* method = nullptr;
        bool unload = false;  // an unload handler: it runs on its clip although the clip is gone
        bool prototypeOnly = false;  // gives the clip its class's prototype, without constructing
        avm1::Value loader;  // an object: `method` is an event it broadcasts with the clip
    };
    uint32_t unloadingNow_ = 0;  // the removed clip whose unload handler runs
    // The class registered for the sprite a clip shows, or undefined.
    avm1::Value classOf(const DisplayObject& object) const;
    // Scripts that run while the engine walks a display list must not change it.
    bool displayLocked() const { return scriptsRunning_ == 0; }
    int scriptsRunning_ = 0;
    // What createEmptyMovieClip makes: a sprite of one empty frame.
    Character emptySprite_{SpriteDefinition{Timeline{{Frame{}}, true, nullptr}}};
    // Init actions and initialize events go first, construct events next, then the rest.
    std::deque<QueuedScript> urgent_, constructs_, queued_;
    // Objects removed during the step whose unload handlers are still to run.
    std::list<DisplayObject> unloading_;
    std::vector<std::shared_ptr<TimelineInstance>> replaced_;  // timelines of sprites replaced in place
    std::vector<std::weak_ptr<TimelineInstance>> pendingRemoval_;  // removed, kept for their unload handlers
    std::set<uint16_t> initDone_;
    // By movie: the furthest frame its main timeline has run.
    std::map<const MovieDefinition*, int> framesReached_;
    ScriptHost host_{*this};
    std::unique_ptr<avm1::Machine> machine_;
    std::function<void(const std::string&)> traceSink_, logSink_;
    std::vector<std::string> leftOut_;
    int ticks_ = 0;

    DisplayObject root_;  // shows the main timeline
    raster::Rgba background_{255, 255, 255, 255};
    bool backgroundSet_ = false;
    MorphCache morphs_;
    SoundPlayer sound_;
    Renderer renderer_{definition_, morphs_};
};

}  // namespace movie
