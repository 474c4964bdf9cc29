#pragma once
// A movie as read from its file: the dictionary of characters and the timelines of the
// main movie and of every sprite, each frame a list of display-list commands.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "movie/morph.h"
#include "image/lossless.h"
#include "movie/render/shape.h"
#include "movie/sound/sound_data.h"
#include "movie/text/edit_text.h"
#include "movie/text/static_text.h"
#include "swf/control_tags.h"
#include "swf/display_tags.h"
#include "swf/tags.h"
#include "swf/video_tags.h"

namespace movie {

using swf::ReadDefineShape;

// The clip actions of a placed sprite: the events each answers and its bytecode.
using ClipAction = swf::ClipActionRecord;
namespace clip_event = swf::clip_event;

// A DoAction's bytecode, run after the frame's first `at` commands have been applied.
struct FrameScript {
    size_t at = 0;
    std::vector<uint8_t> code;
};

// A DoInitAction: bytecode run once, the first time its frame is reached.
struct InitScript {
    uint16_t spriteId = 0;
    std::vector<uint8_t> code;
};

// What a placement gives the object at its depth, each field given or not: a move gives only
// what changes. The player adds placements up, and applies them to objects, through one list
// of these fields (movie/engine.cpp).
struct Placement {
    std::optional<swf::Matrix> matrix;
    std::optional<swf::ColorTransform> colorTransform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    std::optional<uint8_t> blendMode;
    std::optional<std::vector<swf::Filter>> filters;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<swf::Color> opaqueBackground;  // opaque, whatever alpha the file gives
    std::shared_ptr<const std::vector<ClipAction>> clipActions;  // null when none
};

// PlaceObject, PlaceObject2 or PlaceObject3, or (remove) RemoveObject and RemoveObject2.
struct PlaceCommand : Placement {
    bool remove = false;
    uint16_t depth = 0;
    bool move = false;  // modifies (or replaces the character of) what is at the depth
    std::optional<uint16_t> characterId;
};

struct Frame {
    std::vector<PlaceCommand> commands;
    std::optional<swf::Color> background;
    std::vector<std::string> labels;
    std::vector<FrameScript> scripts;
    std::vector<InitScript> initScripts;
    std::vector<SoundCommand> sounds;  // event sounds started or stopped
    int32_t streamBlock = -1;          // the frame's block of its timeline's stream, or -1
};

struct Timeline {
    std::vector<Frame> frames;  // one per ShowFrame; commands after the last ShowFrame make one more
    bool loops = true;          // false when it ends without a ShowFrame and its End (sprites)
    std::shared_ptr<StreamSound> stream;  // its sound stream, when it has one
    // The frame a label names (labels compare without case), or -1.
    int frameOfLabel(std::string_view label) const;
};

// What each kind of character holds, one struct a kind.
struct SpriteDefinition {
    Timeline timeline;
    size_t bytes = 0;  // its tags' in the file: what getBytesTotal reports of its clips
};
struct ButtonDefinition {
    Timeline upState;  // the records of its up state as one frame
    // The sounds of its transitions (DefineButtonSound): kept, and inert without input.
    std::optional<swf::DefineButtonSound> sounds;
};
// DefineVideoStream with its VideoFrames, and the rectangle its pictures fill.
struct VideoDefinition {
    swf::DefineVideoStream stream;
    std::map<uint16_t, std::vector<uint8_t>> frames;  // by frame number
    ShapeGeometry rectangle;  // width x height pixels, filled with the picture as the stream says
    ShapeGeometry otherRectangle;  // the same, filled with the other smoothing
    // The rectangle filled with or without smoothing.
    const ShapeGeometry& rectangleFor(bool smoothing) const {
        return smoothing == stream.smoothing ? rectangle : otherRectangle;
    }
};
struct BitmapDefinition {
    image::Picture picture;
    raster::Bitmap bitmap;  // a view of `picture`
};

class Character {
public:
    // In the order of the alternatives below.
    enum class Kind : uint8_t { kShape, kSprite, kMorph, kBitmap, kButton, kFont, kText, kEditText, kVideo };
    using Data = std::variant<ShapeGeometry, SpriteDefinition, MorphDefinition, BitmapDefinition, ButtonDefinition, Font,
                              StaticText, EditTextDefinition, VideoDefinition>;

    explicit Character(Data data) : data_(std::move(data)) {}

    Kind kind() const { return static_cast<Kind>(data_.index()); }
    template <class T>
    T& as() { return std::get<T>(data_); }
    template <class T>
    const T& as() const { return std::get<T>(data_); }

    // Each for its own kind only.
    const ShapeGeometry& shape() const { return as<ShapeGeometry>(); }
    const MorphDefinition& morph() const { return as<MorphDefinition>(); }
    const Font& font() const { return as<Font>(); }
    const StaticText& text() const { return as<StaticText>(); }
    const EditTextDefinition& edit() const { return as<EditTextDefinition>(); }
    const VideoDefinition& video() const { return as<VideoDefinition>(); }
    // A sprite's timeline, or a button's up state as one.
    const Timeline& timeline() const {
        return kind() == Kind::kButton ? as<ButtonDefinition>().upState : as<SpriteDefinition>().timeline;
    }

private:
    Data data_;
};

// Limits on what a movie may hold, checked while reading.
inline constexpr size_t kMaxFrames = 1u << 20;
inline constexpr int kMaxSpriteNesting = 64;
inline constexpr uint64_t kMaxBitmapBytes = 1ull << 30;  // every decoded bitmap of a movie together
inline constexpr size_t kMaxWarnings = 100;
inline constexpr size_t kMaxExports = 1u << 16;  // names ExportAssets tags give, together
inline constexpr size_t kMaxDisplayObjects = 1u << 16;  // on every display list of a player together
// What the movie's timelines, shapes, scripts and other definitions take once read (bitmaps
// and sounds have budgets of their own): a tag's parsed form may be many times its bytes.
inline constexpr uint64_t kMaxDefinitionBytes = 512ull << 20;

class MovieDefinition : public BitmapSource {
public:
    // Reads every tag of the file into the dictionary and timelines. False with a message
    // naming the tag and its offset when a tag is damaged.
    bool load(const swf::SwfFile& file, std::string& error);
    // The most decoded bitmap memory the movie may take: kMaxBitmapBytes unless set.
    void setBitmapBudget(uint64_t bytes) { bitmapBudget_ = bytes; }
    // The most the movie's definitions may take once read: kMaxDefinitionBytes unless set.
    void setDefinitionBudget(uint64_t bytes) { definitionBudget_ = bytes; }
    // What its bitmaps and other definitions took from those budgets.
    uint64_t bitmapBytes() const { return bitmapBytes_; }
    uint64_t definitionBytes() const { return definitionBytes_; }

    const Timeline& timeline() const { return timeline_; }
    const Character* character(uint16_t id) const;
    // The character an ExportAssets tag names (attachMovie's linkage names), or 0.
    uint16_t exported(std::string_view name) const;
    // The main timeline's frame (from 0) whose ExportAssets tag gave `name`, or -1: a player
    // knows the name only once it has played that far.
    int exportFrame(std::string_view name) const;
    // The name a character is exported under, or null.
    const std::string* exportName(uint16_t id) const;
    // An embedded font by its name (without case), preferring the style asked for.
    const Font* fontNamed(const std::string& name, bool bold, bool italic) const;
    const raster::Bitmap* bitmap(uint16_t id) const override;
    // A DefineSound by its character id, or null.
    const EventSound* sound(uint16_t id) const;
    // Whether any timeline may make a sound: an event sound or a stream block.
    bool hasSound() const { return hasSound_; }
    const swf::Rect& frameSize() const { return frameSize_; }
    uint16_t frameRate88() const { return frameRate88_; }
    uint8_t version() const { return version_; }
    // The file's size as stored (what a loader's progress reports), and inflated (what
    // getBytesTotal reports).
    size_t fileBytes() const { return fileBytes_; }
    size_t inflatedBytes() const { return inflatedBytes_; }
    // The FileAttributes tag's UseNetwork flag: a local movie that may reach the network.
    bool usesNetwork() const { return usesNetwork_; }
    // The movie's ScriptLimits tag, when it has one.
    const std::optional<swf::ScriptLimits>& scriptLimits() const { return scriptLimits_; }
    // What loading left out and why (bitmaps that don't decode, for one), at most kMaxWarnings.
    const std::vector<std::string>& warnings() const { return warnings_; }
    // Tag counts by name, for reports.
    const std::map<std::string, int>& tagCounts() const { return tagCounts_; }

private:
    bool readTimeline(swf::TagReader& tags, Timeline& timeline, int nesting, std::string& error);
    bool readTag(const swf::Tag& tag, Timeline& timeline, Frame& frame, int nesting, std::string& error);
    bool defineJpegBitmap(const swf::Tag& tag, std::string& error);
    bool defineLosslessBitmap(const swf::Tag& tag, std::string& error);

    swf::Rect frameSize_;
    std::optional<swf::ScriptLimits> scriptLimits_;
    uint16_t frameRate88_ = 0;
    uint8_t version_ = 0;
    size_t fileBytes_ = 0, inflatedBytes_ = 0;
    bool usesNetwork_ = false;
    Timeline timeline_;
    std::map<uint16_t, std::unique_ptr<Character>> characters_;
    std::map<uint16_t, std::shared_ptr<const EventSound>> sounds_;
    bool hasSound_ = false;
    bool backgroundSeen_ = false;  // the first SetBackgroundColor is read
    struct Export {
        uint16_t id = 0;
        int frame = 0;
    };
    std::map<std::string, Export> exports_;  // by ExportKey
    std::map<uint16_t, std::string> exportNames_;
    std::string ExportKey(std::string_view name) const;
    std::map<std::string, int> tagCounts_;
    bool warnBitmap(const swf::Tag& tag, const std::string& why);
    void warn(const std::string& line);
    bool countBitmap(const swf::Tag& tag, int width, int height, std::string& error);
    bool countDefinition(const swf::Tag& tag, uint64_t bytes, std::string& error);

    std::vector<std::string> warnings_;
    uint64_t bitmapBytes_ = 0, bitmapBudget_ = kMaxBitmapBytes;
    uint64_t definitionBytes_ = 0, definitionBudget_ = kMaxDefinitionBytes;
    std::vector<uint8_t> jpegTables_;  // JPEGTables, shared by every DefineBits
};

// The readers of the individual tags, exposed for tests.
// `version` is the movie's: clip actions take 16-bit event flags before version 6.
bool ReadPlaceObject(const swf::Tag& tag, PlaceCommand& out, uint8_t version = 10);
// DefineButton or DefineButton2: its id and the records of its up state as one frame.
bool ReadDefineButton(const swf::Tag& tag, uint16_t& id, Timeline& upState);

}  // namespace movie
