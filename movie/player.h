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
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "avm1/machine.h"
#include "movie/definition.h"
#include "movie/glyph_outline.h"
#include "raster/canvas.h"
#include "raster/filters.h"

namespace movie {

struct DisplayObject;
class Player;

// One timeline playing: the main movie's or a sprite instance's.
struct TimelineInstance {
    TimelineInstance() = default;
    TimelineInstance(const TimelineInstance&) = delete;
    TimelineInstance& operator=(const TimelineInstance&) = delete;
    ~TimelineInstance();

    const Timeline* timeline = nullptr;
    int frame = -1;  // the frame shown; -1 before the first
    std::map<uint16_t, DisplayObject> displayList;  // by depth, drawn from the lowest

    // What scripts see of it.
    Player* player = nullptr;   // set while the player knows it by its handle
    uint32_t handle = 0;
    TimelineInstance* parent = nullptr;
    DisplayObject* object = nullptr;  // the display object that shows it
    int nesting = 0;
    bool playing = true;
    bool initialized = false;  // its first frame has run and its load event come
    std::map<std::string, avm1::Value> variables;
};

struct DisplayObject {
    uint16_t characterId = 0;
    const Character* character = nullptr;
    swf::Matrix matrix;
    swf::ColorTransform colorTransform;
    uint16_t ratio = 0;
    uint16_t clipDepth = 0;  // > 0: a mask for the depths above it up to this one
    uint8_t blendMode = 0;   // as the file numbers them: 0 and 1 normal, 2 layer, 3 multiply ...
    std::vector<FilterRecord> filters;
    bool visible = true;
    bool cacheAsBitmap = false;  // drawn as a bitmap: on whole pixels
    int placedFrame = -1;        // the frame of its timeline that placed it
    std::optional<swf::Color> opaqueBackground;  // fills the object's bounds behind it
    std::string name;
    // Edit text: what it shows, and its layout made for that text.
    std::string text;
    mutable std::string laidOutText;
    mutable std::shared_ptr<const TextLayout> layout;
    std::shared_ptr<const std::vector<ClipAction>> clipActions;
    std::unique_ptr<TimelineInstance> sprite;  // for sprite characters
};

class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool loadFile(const char* path, std::string& error);
    bool load(const swf::SwfFile& file, std::string& error);

    // The most decoded bitmap memory a movie may take (kMaxBitmapBytes unless set); set
    // before loading.
    void setBitmapBudget(uint64_t bytes) { bitmapBudget_ = bytes; }

    int totalFrames() const;
    // The frame shown: the number of steps taken since the first frame. Without scripts it
    // is also the main timeline's frame; scripts may stop or move the main timeline.
    int currentFrame() const { return ticks_ - 1; }
    // The main timeline's own frame.
    int timelineFrame() const { return root_.sprite ? root_.sprite->frame : -1; }
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

private:
    friend struct TimelineInstance;
    friend class ScriptHost;

    void restart();
    void tick();
    void runClipFrame(TimelineInstance& t);
    void seek(TimelineInstance& t, int frame);
    void runFrame(TimelineInstance& t, int frame, bool scripts);
    // `placedFrame`: the frame the placement belongs to, when not the timeline's current one.
    void apply(TimelineInstance& t, const PlaceCommand& c, int placedFrame = -1);
    void startInstance(TimelineInstance& t, TimelineInstance* parent, DisplayObject* object, const Timeline* timeline);
    void queueClipEvent(TimelineInstance& t, uint32_t event);
    void queueInitScripts(const TimelineInstance& t, const Frame& f);
    void runScripts();
    TimelineInstance* instance(uint32_t handle) const;
    void log(const std::string& line);

    // The object's bounds in its own twips; false when it has none.
    bool boundsOf(const DisplayObject& o, swf::Rect& out, int nesting);
    const ShapeGeometry& morphAt(const Character* morph, uint16_t ratio);
    void drawText(const StaticText& text, const raster::Matrix& m, const raster::ColorTransform& cx);
    void drawEditText(const DisplayObject& o, const TimelineInstance& owner, const raster::Matrix& m,
                      const raster::ColorTransform& cx, bool mask);
    void fillRect(const swf::Rect& r, const raster::Matrix& m, raster::Rgba color);
    const GlyphFont* fontFor(const EditTextDefinition& field, const TextStyle& style);
    void drawList(const TimelineInstance& t, const raster::Matrix& m, const raster::ColorTransform& cx, int nesting,
                  bool mask);

    MovieDefinition definition_;
    // Every timeline scripts can reach, by handle; declared before the display so that it
    // outlives every timeline that leaves it.
    std::unordered_map<uint32_t, TimelineInstance*> instances_;
    uint32_t nextHandle_ = 1;
    size_t objects_ = 0;  // on every display list together
    uint64_t bitmapBudget_ = kMaxBitmapBytes;
    bool objectsReported_ = false, nestingReported_ = false;
    // The handles in the order their frames run: the newest first, the main timeline last.
    std::deque<uint32_t> execution_;
    std::vector<uint32_t> order_;  // scratch: the handles of the step running
    struct QueuedScript {
        uint32_t clip;
        const std::vector<uint8_t>* code;
    };
    std::deque<QueuedScript> urgent_, queued_;  // init actions and initialize events go first
    std::set<uint16_t> initDone_;
    std::unique_ptr<class ScriptHost> host_;
    std::unique_ptr<avm1::Machine> machine_;
    std::function<void(const std::string&)> traceSink_, logSink_;
    int ticks_ = 0;

    DisplayObject root_;  // shows the main timeline
    raster::Rgba background_{255, 255, 255, 255};
    bool backgroundSet_ = false;
    std::unique_ptr<raster::Canvas> canvas_;
    bool antiAlias_ = true;
    // Scratch kept between frames: the paints of a shape, the clip depths of open masks.
    std::vector<raster::Paint> paints_;
    std::vector<uint16_t> clipEnds_;
    int blendGroups_ = 0;  // blended objects being drawn around the current one
    raster::Filters filters_;
    float stageScaleX_ = 1, stageScaleY_ = 1;  // stage pixels to target pixels
    // Fonts for edit text: the movie's own as the layout sees them, and the system's.
    std::map<const Font*, std::unique_ptr<GlyphFont>> embeddedFonts_;
    std::unique_ptr<DeviceFontSource> deviceFonts_;
    // Morph shapes made at the ratios drawn, so a morph that holds still is built once.
    std::map<std::pair<const Character*, uint16_t>, ShapeGeometry> morphs_;
};

}  // namespace movie
