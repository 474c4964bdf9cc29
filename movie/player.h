#pragma once
// The movie engine: a loaded movie playing on its stage.
//
// Frame indexes count from 0. Frame n is the display after the control tags of frames
// 0 to n have run on the main timeline, with every sprite on the stage advanced once for
// each step the main timeline took since it was placed: gotoFrame(n) from frame k < n steps
// k + 1 .. n; from k > n it starts over at frame 0 and steps to n. Sprites play on their own
// and loop at their last frame.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "movie/definition.h"
#include "raster/canvas.h"
#include "raster/filters.h"

namespace movie {

struct DisplayObject;

// One timeline playing: the main movie's or a sprite instance's.
struct TimelineInstance {
    const Timeline* timeline = nullptr;
    int frame = -1;  // the frame shown; -1 before the first
    std::map<uint16_t, DisplayObject> displayList;  // by depth, drawn from the lowest

    void reset() {
        frame = -1;
        displayList.clear();
    }
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
    std::string name;
    std::unique_ptr<TimelineInstance> sprite;  // for sprite characters
};

class Player {
public:
    bool loadFile(const char* path, std::string& error);
    bool load(const swf::SwfFile& file, std::string& error);

    int totalFrames() const;
    int currentFrame() const { return main_.frame; }
    void gotoFrame(int frame);

    // The movie's own background until set here.
    void setBackgroundColor(raster::Rgba color) { background_ = color; backgroundSet_ = true; }
    raster::Rgba backgroundColor() const { return background_; }

    // Stage size in whole pixels.
    int stageWidth() const;
    int stageHeight() const;
    const MovieDefinition& definition() const { return definition_; }

    // Draws the current frame scaled to the target: over the background colour, or over
    // transparent black (premultiplied) when `transparent`.
    void draw(const raster::Target& target, bool transparent, bool antiAlias);

private:
    void step();
    void advance(TimelineInstance& t, int nesting);
    void runFrame(TimelineInstance& t, int frame, int nesting);
    void apply(TimelineInstance& t, const PlaceCommand& c, int nesting);
    const ShapeGeometry& morphAt(const Character* morph, uint16_t ratio);
    void drawText(const StaticText& text, const raster::Matrix& m, const raster::ColorTransform& cx);
    void drawList(const TimelineInstance& t, const raster::Matrix& m, const raster::ColorTransform& cx, int nesting,
                  bool mask);

    MovieDefinition definition_;
    TimelineInstance main_;
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
    // Morph shapes made at the ratios drawn, so a morph that holds still is built once.
    std::map<std::pair<const Character*, uint16_t>, ShapeGeometry> morphs_;
};

}  // namespace movie
