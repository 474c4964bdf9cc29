#pragma once
// The draw list: a display tree drawn onto a target through raster/. Masks (clip depths),
// blend groups, filters on the object's own layer, cached bitmaps on whole pixels, opaque
// backgrounds, shapes, morphs, static and edit text. What it keeps between frames (the canvas,
// paints, filter scratch, fonts) is reused, so a frame in the steady state allocates nothing.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "movie/display/display_object.h"
#include "movie/morph_cache.h"
#include "movie/net_streams.h"
#include "movie/render/filters.h"
#include "movie/render/video_frames.h"
#include "movie/text/font_library.h"
#include "raster/canvas.h"
#include "raster/filters.h"

namespace movie {

// How far (the stage matrix's rotate and skew terms) a field in device fonts may turn and
// still be drawn.
constexpr float kDeviceTextTurnLimit = 0.006f;

class Renderer {
public:
    Renderer(const MovieDefinition& definition, MorphCache& morphs) : definition_(definition), morphs_(morphs), fonts_(definition) {}

    // Draws `root` (the object showing the main timeline), then the levels above it in their
    // order, scaled from the stage to the target, over `clear`.
    void draw(const DisplayObject& root, const std::map<int, DisplayObject>& levels, const raster::Target& target,
              raster::Rgba clear, bool antiAlias);
    // Draws what `object` shows (its own matrix and colour left out) through `toTarget` (its
    // twips to the target's pixels) onto a cleared, transparent `target`: BitmapData.draw.
    void drawInto(const DisplayObject& object, const raster::Target& target, const raster::Matrix& toTarget,
                  const raster::ColorTransform& cx, bool antiAlias);
    // A new movie is loaded into the definition: nothing made from the old one is kept.
    void movieChanged() {
        fonts_.clearEmbedded();
        videos_.clear();
    }
    void setLog(std::function<void(const std::string&)> log) {
        log_ = log;
        videos_.setLog(std::move(log));
    }
    // Where videos that show a NetStream find its picture.
    void setNetStreams(NetStreams* streams) { netStreams_ = streams; }
    // An edit text's layout, made again when its text or definition changed.
    const TextLayout& layOut(const DisplayObject& field);
    // Text laid out as a field of that definition would show it, uncached; with the ascent
    // and descent (twips) of the font its first line takes.
    TextLayout measure(const EditTextDefinition& field, const std::string& text, float& ascent, float& descent);

private:
    void drawList(const TimelineInstance& t, const raster::Matrix& m, const raster::ColorTransform& cx, int nesting,
                  bool mask);
    // One object of a list under its parent's matrix `m`; `isClip`: it masks the depths above it.
    void drawObject(const DisplayObject& object, const raster::Matrix& m, const raster::ColorTransform& cx, int nesting,
                    bool mask, bool isClip);
    // The matrix from a timeline's parent to the stage.
    static raster::Matrix ParentToStage(const TimelineInstance& t);
    void drawText(const StaticText& text, const raster::Matrix& m, const raster::ColorTransform& cx);
    void drawEditText(const DisplayObject& o, const raster::Matrix& m, const raster::ColorTransform& cx, bool mask);
    // Moves an object drawn as a bitmap so that its bounds start on a whole device pixel.
    void SnapToPixels(const DisplayObject& object, raster::Matrix& om, int nesting);
    // A field's border and background.
    void drawFieldBox(const EditTextDefinition& field, const raster::Matrix& m, const raster::ColorTransform& cx);
    void fillRect(const swf::Rect& r, const raster::Matrix& m, raster::Rgba color);
    // Whole device pixels [x0, x1) x [y0, y1).
    void fillPixels(int x0, int x1, int y0, int y1, raster::Rgba color);

    const MovieDefinition& definition_;
    const MovieDefinition* movie_ = nullptr;  // the movie of the timeline being drawn: its bitmaps and fonts
    MorphCache& morphs_;
    VideoFrames videos_;
    NetStreams* netStreams_ = nullptr;
    FontLibrary fonts_;
    std::unique_ptr<raster::Canvas> canvas_;
    bool antiAlias_ = true;
    // Scratch kept between frames: the paints of a shape, the clip depths of open masks.
    std::vector<raster::Paint> paints_;
    std::vector<uint16_t> clipEnds_;
    int blendGroups_ = 0;  // blended objects being drawn around the current one
    raster::Filters filters_;
    FilterBudget filterBudget_;       // this frame's
    bool filterBudgetReported_ = false;
    bool fontsReported_ = false;
    bool layersReported_ = false;
    bool edgesReported_ = false;
    std::function<void(const std::string&)> log_;
    float stageScaleX_ = 1, stageScaleY_ = 1;  // stage pixels to target pixels
    raster::Matrix stageToDevice_;              // the stage's twips to the target's pixels
};

}  // namespace movie
