#pragma once
// Draws filled paths and multi-style shapes onto a Target with source-over compositing.
//
// A shape's fill styles are drawn in one pass: per row, every style's coverage times its
// paint is summed before the sum is composited once. Where two styles meet along a shared
// edge their coverages add up to the pixel's full area, so no background shows through the
// seam, as it would if each style were composited on its own.

#include <vector>

#include "raster/blend.h"
#include "raster/geometry.h"
#include "raster/paint.h"
#include "raster/rasterizer.h"
#include "raster/shader.h"
#include "raster/stroke.h"
#include "raster/target.h"

namespace raster {

struct FillOptions {
    FillRule rule = FillRule::kNonZero;
    bool antiAlias = true;
    float tolerance = kDefaultTolerance;
};

// The layers a canvas holds at once: their buffers together (each one the target's size) and
// their nesting. A layer pushed past either is void: what is drawn into it is dropped, and so
// are the layers inside it.
inline constexpr size_t kMaxLayerBytes = size_t{512} << 20;
inline constexpr int kMaxLayerDepth = 256;

class Canvas {
public:
    explicit Canvas(const Target& target) : target_(target), dirty_(PixelBox::Whole(target.width, target.height)) {}
    void setTarget(const Target& target) {
        target_ = target;
        dirty_ = PixelBox::Whole(target.width, target.height);
    }
    const Target& target() const { return target_; }

    void clear(Rgba color);
    void fillPath(const Path& path, const Matrix& m, const Paint& paint, const FillOptions& o = {});

    // Strokes the path's outline; the stroke's regions fill with the non-zero rule.
    void strokePath(const Path& path, const Matrix& m, const StrokeStyle& style, const Paint& paint,
                    const FillOptions& o = {});

    // Layers: drawing goes to a fresh transparent buffer of the target's size until it is
    // popped, when it is composited onto what was below with an opacity and a blend mode.
    // A mask is a layer too: push it, draw the mask, push the content layer, draw the
    // content, then pop both at once, the content scaled by the mask's alpha.
    void pushLayer();
    void popLayer(float opacity = 1, BlendMode mode = BlendMode::kNormal);
    void popLayerThroughMask(float opacity = 1, BlendMode mode = BlendMode::kNormal);
    int layerDepth() const { return static_cast<int>(stack_.size()); }
    // How deep layers may nest on this target (kMaxLayerDepth, and kMaxLayerBytes over the
    // size of one layer), and whether a layer past it was pushed since the last call.
    int layerLimit() const;
    // Whether a shape was drawn in part since the last call: its fill or stroke went past
    // kMaxRasterEdges.
    bool takeCutShapes() { return rasterizer_.takeOverflow() | stroker_.takeOverflow(); }
    bool takeVoidedLayers() {
        const bool voided = voidedLayers_;
        voidedLayers_ = false;
        return voided;
    }
    // What drawing has written into the current layer so far.
    const PixelBox& dirty() const { return dirty_; }
    // A layer composites only the pixels that the canvas's own calls wrote into it. Code that
    // writes into target() itself (a filter on a layer, say) marks what it wrote.
    void markDirty(const PixelBox& box);
    // Widens what was drawn into the current layer by `pixels` on every side (an effect that
    // spreads, such as a blur).
    void growDirty(int pixels);

    // A shape with several fill styles: add each style's region, then fill them together.
    void beginShape();
    void addShapeRegion(uint32_t style, const Path& path, const Matrix& m, float tolerance = kDefaultTolerance);
    // Single edges of a region, in device pixels: a shape whose edges each bound two styles
    // adds every edge to both, in opposite directions.
    void addShapeLine(uint32_t style, Point from, Point to) { rasterizer_.addLine(from, to, style); }
    void addShapeQuad(uint32_t style, Point from, Point control, Point to, float tolerance = kDefaultTolerance);
    void fillShape(const std::vector<Paint>& paints, const FillOptions& o = {});

private:
    class PaintSink;
    class ShapeSink;
    struct Saved {
        Target target;
        PixelBox dirty;
        bool voidAbove = false;  // the layer pushed on this one has no buffer: it draws nothing
    };
    struct Layer {
        std::vector<uint32_t> pixels;
        int width = -1, height = -1;  // the layout of the last use
        PixelBox used;                // what may not be transparent since then
    };
    void prepareBuffers();
    void finishLayer(size_t depth, const PixelBox& written);

    Target target_;
    Rasterizer rasterizer_;
    Shader shader_;
    Stroker stroker_;
    std::vector<Shader> shapeShaders_;
    std::vector<uint32_t> colors_;       // one row of shaded colours
    std::vector<PremulColor> rowColor_;  // one row of a shape's summed colours
    PixelBox dirty_;                     // what drawing has written into target_ (its layer)
    std::vector<Saved> stack_;           // the targets below the current one
    std::vector<Layer> layerPool_;       // layer buffers by depth, kept for reuse
    bool voidedLayers_ = false;
};

}  // namespace raster
