#include "movie/render/renderer.h"

#include <cmath>
#include <limits>

#include "movie/display/bounds.h"
#include "movie/render/filters.h"

namespace movie {

namespace {

// Glyphs are white shapes: a text colour tints them by multiplying each channel.
raster::ColorTransform Tint(const swf::Color& c) {
    raster::ColorTransform tint;
    tint.mulR = c.r / 255.0f;
    tint.mulG = c.g / 255.0f;
    tint.mulB = c.b / 255.0f;
    tint.mulA = c.a / 255.0f;
    return tint;
}

// The file's blend mode numbers: 0 and 1 normal, 2 layer, 3 multiply, ..., 14 hard light.
// Unknown numbers draw as normal.
raster::BlendMode BlendModeOf(uint8_t mode) {
    if (mode <= 1 || mode > 14) return raster::BlendMode::kNormal;
    return static_cast<raster::BlendMode>(mode - 1);
}

}  // namespace

void Renderer::drawList(const TimelineInstance& t, const raster::Matrix& m, const raster::ColorTransform& cx, int nesting,
                      bool mask) {
    if (nesting > kMaxSpriteNesting) return;
    raster::Canvas& canvas = *canvas_;
    // The timeline's characters, bitmaps and fonts come from its own movie.
    struct MovieScope {
        const MovieDefinition*& at;
        const MovieDefinition* saved;
        ~MovieScope() { at = saved; }
    } scope{movie_, movie_};
    if (t.movie != nullptr) movie_ = t.movie;
    // What the timeline's scripts drew lies below its display list.
    if (t.drawing && !t.drawing->empty()) DrawShape(canvas, t.drawing->geometry(), m, cx, antiAlias_, paints_, movie_);
    // Clip depths of the masks this list opened, innermost last, above those of the lists
    // it lies in.
    const size_t base = clipEnds_.size();
    for (const auto& [depth, object] : t.displayList) {
        while (clipEnds_.size() > base && depth > clipEnds_.back()) {
            canvas.popLayerThroughMask();
            clipEnds_.pop_back();
        }
        if (object.character == nullptr) continue;
        const bool isClip = object.clipDepth > 0 && !mask;
        // An invisible object draws nothing; a mask still masks. A clip a script made another's
        // mask draws only as that mask.
        if ((!object.visible && !isClip) || (object.isMask && !mask)) continue;
        // A mask a script set: the masked object is drawn through the mask's shapes where the
        // mask lies on the stage.
        const std::shared_ptr<TimelineInstance> scriptMask = mask || isClip ? nullptr : object.mask.lock();
        const bool masked = scriptMask != nullptr && scriptMask->object != nullptr && nesting + scriptMask->nesting < kMaxSpriteNesting;
        if (isClip || masked) canvas.pushLayer();
        if (masked) {
            drawObject(*scriptMask->object, stageToDevice_ * ParentToStage(*scriptMask), raster::ColorTransform(),
                       scriptMask->nesting, true, false);
            canvas.pushLayer();
        }
        drawObject(object, m, cx, nesting, mask, isClip);
        if (masked) canvas.popLayerThroughMask();
        if (isClip) {
            canvas.pushLayer();
            clipEnds_.push_back(object.clipDepth);
        }
    }
    while (clipEnds_.size() > base) {
        canvas.popLayerThroughMask();
        clipEnds_.pop_back();
    }
}

raster::Matrix Renderer::ParentToStage(const TimelineInstance& t) {
    raster::Matrix out;
    for (const TimelineInstance* at = t.parent; at != nullptr; at = at->parent) {
        if (at->object != nullptr) out = ToRasterMatrix(at->object->matrix) * out;
    }
    return out;
}

void Renderer::SnapToPixels(const DisplayObject& object, raster::Matrix& om, int nesting) {
    swf::Rect local;
    if (!BoundsOf(object, morphs_, local, nesting)) {
        om.tx = std::floor(om.tx + 0.5f);
        om.ty = std::floor(om.ty + 0.5f);
        return;
    }
    float left = std::numeric_limits<float>::infinity(), top = left;
    for (const auto& [x, y] : {std::pair{local.xMin, local.yMin}, std::pair{local.xMax, local.yMin},
                               std::pair{local.xMin, local.yMax}, std::pair{local.xMax, local.yMax}}) {
        const raster::Point p = om.apply({static_cast<float>(x), static_cast<float>(y)});
        left = std::min(left, p.x);
        top = std::min(top, p.y);
    }
    if (!std::isfinite(left) || !std::isfinite(top)) return;
    om.tx += std::floor(left + 0.5f) - left;
    om.ty += std::floor(top + 0.5f) - top;
}

void Renderer::drawObject(const DisplayObject& object, const raster::Matrix& m, const raster::ColorTransform& cx,
                          int nesting, bool mask, bool isClip) {
    raster::Canvas& canvas = *canvas_;
    raster::Matrix om = m * ToRasterMatrix(object.matrix);
    // An object drawn as a bitmap (cached, or filtered) lands on whole device pixels: the
    // top left corner of its bounds is moved to the nearest one, as the reference players
    // place their bitmaps.
    if ((object.cacheAsBitmap || !object.filters.empty()) && !isClip && !mask) SnapToPixels(object, om, nesting);
    const raster::ColorTransform ocx = cx.after(ToRasterTransform(object.colorTransform));
    // A blend mode composites the object as one layer onto what lies below it.
    const raster::BlendMode blend = isClip || mask ? raster::BlendMode::kNormal : BlendModeOf(object.blendMode);
    const bool blended = blend != raster::BlendMode::kNormal;
    // Alpha and erase act on the layer of a blended ancestor; with none, such an object
    // shows nothing, as in the reference players.
    if ((blend == raster::BlendMode::kAlpha || blend == raster::BlendMode::kErase) && blendGroups_ == 0) return;
    // Filters work on the object drawn alone into a layer of its own.
    const bool filtered = !object.filters.empty() && !isClip && !mask;
    if (blended || filtered) canvas.pushLayer();
    if (blended) ++blendGroups_;
    // A mask covers by its shapes alone: its colours and alpha do not matter. A filtered
    // object takes its colour transform after its filters, effects included, as the reference
    // players draw it: it is drawn untransformed.
    raster::ColorTransform drawCx = filtered ? raster::ColorTransform{} : ocx;
    if (isClip || mask) drawCx = raster::ColorTransform{0, 0, 0, 0, 255, 255, 255, 255};
    // A scroll rectangle shows the part of the object from its corner, cut to its size. What
    // is drawn as a mask is moved the same way but not cut, as in the reference players.
    const bool scrolled = object.scrollRect.has_value() && !mask;
    if (object.scrollRect) {
        const swf::Rect& r = *object.scrollRect;
        if (scrolled) {
            canvas.pushLayer();
            fillRect({0, r.xMax - r.xMin, 0, r.yMax - r.yMin}, om, raster::Rgba{255, 255, 255, 255});
            canvas.pushLayer();
        }
        om = om * raster::Matrix::translate(-static_cast<float>(r.xMin), -static_cast<float>(r.yMin));
    }
    swf::Rect box;
    if (object.opaqueBackground && !isClip && !mask && BoundsOf(object, morphs_, box, nesting)) {
        const swf::Color& c = *object.opaqueBackground;
        fillRect(box, om, drawCx.apply(raster::Rgba{c.r, c.g, c.b, 255}));
    }
    if (const DisplayObject::ScriptBitmapState* bitmap = object.scriptBitmap()) {
        // A script's bitmap: its pixels as they are now.
        class Pixels final : public BitmapSource {
        public:
            explicit Pixels(const avm1::ScriptBitmap& b)
                : view_{b.pixels.data(), b.width, b.height, b.width} {}
            const raster::Bitmap* bitmap(uint16_t) const override { return view_.empty() ? nullptr : &view_; }

        private:
            raster::Bitmap view_;
        } pixels(*bitmap->pixels);
        DrawShape(canvas, object.character->shape(), om, drawCx, antiAlias_, paints_, &pixels);
    } else if (object.character->kind() == Character::Kind::kVideo) {
        // A video: the picture of the frame its ratio names, filling its rectangle.
        const DisplayObject::VideoState* state = object.videoState();
        const image::Picture* picture = state != nullptr && state->stream != 0
                                            ? (netStreams_ != nullptr ? netStreams_->picture(state->stream) : nullptr)
                                            : videos_.at(*object.character, object.ratio);
        if (picture != nullptr) {
            class Frame final : public BitmapSource {
            public:
                explicit Frame(const image::Picture& p) : view_{p.pixels.data(), p.width, p.height, p.width} {}
                const raster::Bitmap* bitmap(uint16_t) const override { return &view_; }

            private:
                raster::Bitmap view_;
            } frame(*picture);
            const VideoDefinition& video = object.character->video();
            const bool smoothing = state != nullptr && state->smoothing >= 0 ? state->smoothing != 0 : video.stream.smoothing;
            DrawShape(canvas, video.rectangleFor(smoothing), om, drawCx, antiAlias_, paints_, &frame);
        }
    } else if (object.character->kind() == Character::Kind::kShape) {
        DrawShape(canvas, object.character->shape(), om, drawCx, antiAlias_, paints_, movie_);
    } else if (object.character->kind() == Character::Kind::kMorph) {
        DrawShape(canvas, morphs_.at(object.character, object.ratio), om, drawCx, antiAlias_, paints_, movie_);
    } else if (object.character->kind() == Character::Kind::kText) {
        drawText(object.character->text(), om, drawCx);
    } else if (object.character->kind() == Character::Kind::kEditText) {
        drawEditText(object, om, drawCx, isClip || mask);
    } else if (const TimelineInstance* sprite = object.sprite()) {
        drawList(*sprite, om, drawCx, nesting + 1, isClip || mask);
    }
    if (scrolled) canvas.popLayerThroughMask();
    if (filtered) {
        canvas.markDirty(ApplyFilters(filters_, canvas.target(), canvas.dirty(), object.filters, stageScaleX_, stageScaleY_,
                                      filterBudget_));
        if (!ocx.isIdentity()) raster::TransformColors(canvas.target(), canvas.dirty(), ocx);
    }
    if (blended) --blendGroups_;
    if (blended || filtered) canvas.popLayer(1, blend);
}

void Renderer::fillRect(const swf::Rect& r, const raster::Matrix& m, raster::Rgba color) {
    raster::Path rect;
    rect.moveTo(static_cast<float>(r.xMin), static_cast<float>(r.yMin));
    rect.lineTo(static_cast<float>(r.xMax), static_cast<float>(r.yMin));
    rect.lineTo(static_cast<float>(r.xMax), static_cast<float>(r.yMax));
    rect.lineTo(static_cast<float>(r.xMin), static_cast<float>(r.yMax));
    rect.close();
    raster::FillOptions fill;
    fill.antiAlias = antiAlias_;
    canvas_->fillPath(rect, m, raster::Paint::Solid(color), fill);
}

namespace {

struct FieldFonts final : FontResolver {
    FontLibrary& library;
    const EditTextDefinition& f;
    FieldFonts(FontLibrary& l, const EditTextDefinition& field) : library(l), f(field) {}
    const GlyphFont* resolve(const TextStyle& style) override { return library.fontFor(f, style); }
};

TextStyle BaseStyle(const EditTextDefinition& field) {
    TextStyle base;
    base.size = field.height;
    base.color = field.color;
    base.face = field.fontId ? std::string() : field.fontName;
    base.bold = field.bold;
    base.italic = field.italic;
    base.underline = field.underline;
    return base;
}

}  // namespace

const TextLayout& Renderer::layOut(const DisplayObject& o) {
    const EditTextDefinition& field = o.character->edit();
    const DisplayObject::EditTextState* state = o.editText();
    const std::string* text = &state->text;
    if (!state->layout || state->laidOutText != *text || state->changed) {
        FieldFonts fonts(fonts_, field);
        const TextStyle base = BaseStyle(field);
        const bool utf8 = definition_.version() >= 6;
        // An HTML paragraph that gives no alignment takes the field's from version 8; before,
        // it is left aligned.
        const uint8_t htmlAlign = definition_.version() >= 8 ? field.align : 0;
        const auto paragraphs = field.html ? ParseHtmlText(*text, base, htmlAlign, utf8)
                                           : ParsePlainText(*text, base, field.align, utf8);
        state->layout = std::make_shared<const TextLayout>(LayOutText(field, paragraphs, fonts));
        if (!fontsReported_ && fonts_.deviceFontsOverflowed() && log_) {
            fontsReported_ = true;
            log_("text naming more system fonts than kMaxDeviceFonts (" + std::to_string(kMaxDeviceFonts) +
                 ") is drawn in the default font");
        }
        state->laidOutText = *text;
        state->changed = false;
    }
    return *state->layout;
}

TextLayout Renderer::measure(const EditTextDefinition& field, const std::string& text, float& ascent, float& descent) {
    FieldFonts fonts(fonts_, field);
    const TextStyle base = BaseStyle(field);
    ascent = descent = 0;
    if (const GlyphFont* font = fonts.resolve(base); font != nullptr && font->emUnits() > 0) {
        ascent = font->ascent() * base.size / font->emUnits();
        descent = font->descent() * base.size / font->emUnits();
    }
    const auto paragraphs = ParsePlainText(text, base, field.align, definition_.version() >= 6);
    return LayOutText(field, paragraphs, fonts);
}

void Renderer::drawEditText(const DisplayObject& o, const raster::Matrix& m, const raster::ColorTransform& cx,
                            bool mask) {
    const EditTextDefinition& field = o.character->edit();
    if (o.editText() == nullptr) return;
    const TextLayout& layout = layOut(o);
    const swf::Rect& b = field.bounds;
    // Text in device fonts is not drawn turned: a field in them whose matrix rotates or skews
    // by more than kDeviceTextTurnLimit shows nothing at all, its border and background
    // included; one that turns less is drawn upright. So the reference players draw them.
    raster::Matrix boxMatrix = m;
    if (!field.useOutlines) {
        const float turnB = std::fabs(m.b) * 20 / stageScaleY_, turnC = std::fabs(m.c) * 20 / stageScaleX_;
        if (turnB > kDeviceTextTurnLimit || turnC > kDeviceTextTurnLimit) return;
        boxMatrix.b = boxMatrix.c = 0;
    }
    if (!mask && (field.border || field.background)) drawFieldBox(field, boxMatrix, cx);
    if (layout.glyphs.empty() && layout.underlines.empty()) return;
    // The text is cut to the field's bounds less the padding on the left and right, as the
    // reference players cut it: a glyph that runs into the right padding shows only in part.
    const swf::Rect clip{b.xMin + kFieldPadding, b.xMax - kFieldPadding, b.yMin, b.yMax};
    if (!mask && (clip.xMax <= clip.xMin || clip.yMax <= clip.yMin)) return;
    raster::Canvas& canvas = *canvas_;
    if (!mask) {
        canvas.pushLayer();
        fillRect(clip, m, raster::Rgba{255, 255, 255, 255});
        canvas.pushLayer();
    }
    for (const PlacedGlyph& g : layout.glyphs) {
        const raster::Matrix place = m * raster::Matrix{g.scale, 0, 0, g.scale, g.x, g.y};
        DrawShape(canvas, *g.shape, place, mask ? cx : cx.after(Tint(g.color)), antiAlias_, paints_, movie_);
    }
    for (const Underline& u : layout.underlines) {
        const swf::Rect line{static_cast<int32_t>(u.x0), static_cast<int32_t>(u.x1), static_cast<int32_t>(u.y - u.thickness / 2),
                             static_cast<int32_t>(u.y + u.thickness / 2)};
        fillRect(line, m, cx.apply(raster::Rgba{u.color.r, u.color.g, u.color.b, u.color.a}));
    }
    if (!mask) canvas.popLayerThroughMask();
}

void Renderer::fillPixels(int x0, int x1, int y0, int y1, raster::Rgba color) {
    if (x1 <= x0 || y1 <= y0) return;
    fillRect({x0, x1, y0, y1}, raster::Matrix{}, color);
}

void Renderer::drawFieldBox(const EditTextDefinition& field, const raster::Matrix& m, const raster::ColorTransform& cx) {
    const auto rgba = [&cx](swf::Color c) { return cx.apply(raster::Rgba{c.r, c.g, c.b, 255}); };
    const swf::Rect& b = field.bounds;
    if (m.b == 0 && m.c == 0) {
        // Upright, the box lands on whole pixels: its corner and its size each rounded (halves
        // to even), the border one pixel wide on the box's edges, its right and bottom lines
        // one pixel short so that the bottom right corner stays open, the background inside.
        const float ax = m.a * static_cast<float>(b.xMin) + m.tx, bx = m.a * static_cast<float>(b.xMax) + m.tx;
        const float ay = m.d * static_cast<float>(b.yMin) + m.ty, by = m.d * static_cast<float>(b.yMax) + m.ty;
        const auto whole = [](float v) {
            return static_cast<int>(std::clamp(std::nearbyint(v), -1.0e6f, 1.0e6f));
        };
        const int x0 = whole(std::min(ax, bx)), y0 = whole(std::min(ay, by));
        const int w = whole(std::fabs(bx - ax)), h = whole(std::fabs(by - ay));
        if (!field.border) {
            fillPixels(x0, x0 + w, y0, y0 + h, rgba(field.backgroundColor));
            return;
        }
        const raster::Rgba line = rgba(field.borderColor);
        fillPixels(x0, x0 + w + 1, y0, y0 + 1, line);          // top, to the right line
        fillPixels(x0, x0 + 1, y0 + 1, y0 + h + 1, line);      // left, to the bottom line
        fillPixels(x0 + 1, x0 + w, y0 + h, y0 + h + 1, line);  // bottom
        fillPixels(x0 + w, x0 + w + 1, y0 + 1, y0 + h, line);  // right
        if (field.background) fillPixels(x0 + 1, x0 + w, y0 + 1, y0 + h, rgba(field.backgroundColor));
        return;
    }
    // Turned, the box follows the field's matrix: a border one pixel wide whatever the scale,
    // its right and bottom lines just outside the bounds.
    const float sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
    const int32_t insetX = sx > 0 ? static_cast<int32_t>(std::lround(1 / sx)) : 20;
    const int32_t insetY = sy > 0 ? static_cast<int32_t>(std::lround(1 / sy)) : 20;
    const swf::Rect inner{b.xMin + insetX, b.xMax, b.yMin + insetY, b.yMax};
    if (!field.border) {
        fillRect(b, m, rgba(field.backgroundColor));
    } else if (inner.xMax > inner.xMin && inner.yMax > inner.yMin) {
        const raster::Rgba line = rgba(field.borderColor);
        const int32_t right = b.xMax + insetX, bottom = b.yMax + insetY;
        fillRect({b.xMin, right, b.yMin, inner.yMin}, m, line);
        fillRect({b.xMin, right, b.yMax, bottom}, m, line);
        fillRect({b.xMin, inner.xMin, inner.yMin, b.yMax}, m, line);
        fillRect({b.xMax, right, inner.yMin, b.yMax}, m, line);
        if (field.background) fillRect(inner, m, rgba(field.backgroundColor));
    } else {
        fillRect(b, m, rgba(field.borderColor));  // too small for anything inside
    }
}

void Renderer::drawText(const StaticText& text, const raster::Matrix& m, const raster::ColorTransform& cx) {
    const raster::Matrix toText = m * ToRasterMatrix(text.matrix);
    for (const TextRun& run : text.runs) {
        const Character* font = movie_->character(run.fontId);
        if (font == nullptr || font->kind() != Character::Kind::kFont) continue;
        // The glyphs are white: the run's colour tints them under the object's transform.
        const raster::ColorTransform glyphCx = cx.after(Tint(run.color));
        const float scale = static_cast<float>(run.height) / font->font().emUnits;
        for (const TextRun::Glyph& g : run.glyphs) {
            if (g.index >= font->font().glyphs.size()) continue;
            const raster::Matrix place = toText * raster::Matrix{scale, 0, 0, scale, static_cast<float>(g.x),
                                                                 static_cast<float>(run.y)};
            DrawShape(*canvas_, font->font().glyphs[g.index], place, glyphCx, antiAlias_, paints_, movie_);
        }
    }
}

void Renderer::drawInto(const DisplayObject& object, const raster::Target& target, const raster::Matrix& toTarget,
                        const raster::ColorTransform& cx, bool antiAlias) {
    // A canvas of its own: the frame's is left as it is.
    std::unique_ptr<raster::Canvas> frameCanvas = std::move(canvas_);
    const raster::Matrix frameStage = stageToDevice_;
    const MovieDefinition* frameMovie = movie_;
    const bool frameAntiAlias = antiAlias_;
    canvas_ = std::make_unique<raster::Canvas>(target);
    canvas_->clear(raster::Rgba{0, 0, 0, 0});
    antiAlias_ = antiAlias;
    movie_ = &definition_;
    for (const TimelineInstance* at = object.sprite() != nullptr ? object.sprite()->parent : nullptr; at != nullptr; at = at->parent) {
        if (at->movie != nullptr) {
            movie_ = at->movie;
            break;
        }
    }
    // Masks set by scripts are placed by the stage: the stage as the object's space.
    stageToDevice_ = toTarget;
    raster::Matrix undo;
    if (const TimelineInstance* sprite = object.sprite()) {
        drawList(*sprite, toTarget, cx, sprite->nesting, false);
    } else if (ToRasterMatrix(object.matrix).invert(undo)) {
        drawObject(object, toTarget * undo, cx, 0, false, false);
    }
    canvas_ = std::move(frameCanvas);
    stageToDevice_ = frameStage;
    movie_ = frameMovie;
    antiAlias_ = frameAntiAlias;
}

void Renderer::draw(const DisplayObject& root, const std::map<int, DisplayObject>& levels, const raster::Target& target,
                    raster::Rgba clear, bool antiAlias) {
    movie_ = &definition_;
    if (!canvas_) {
        canvas_ = std::make_unique<raster::Canvas>(target);
    } else {
        canvas_->setTarget(target);
    }
    antiAlias_ = antiAlias;
    canvas_->clear(clear);
    const swf::Rect& stage = definition_.frameSize();
    const float stageW = static_cast<float>(stage.xMax - stage.xMin), stageH = static_cast<float>(stage.yMax - stage.yMin);
    if (stageW <= 0 || stageH <= 0) return;
    const float sx = static_cast<float>(target.width) / stageW, sy = static_cast<float>(target.height) / stageH;
    stageScaleX_ = sx * 20;  // per stage pixel of 20 twips
    stageScaleY_ = sy * 20;
    const raster::Matrix toDevice{sx, 0, 0, sy, -static_cast<float>(stage.xMin) * sx, -static_cast<float>(stage.yMin) * sy};
    stageToDevice_ = toDevice;
    const auto drawLevel = [&](const DisplayObject& level) {
        if (level.sprite() == nullptr || !level.visible) return;
        drawList(*level.sprite(), toDevice * ToRasterMatrix(level.matrix),
                 raster::ColorTransform().after(ToRasterTransform(level.colorTransform)), 0, false);
    };
    filterBudget_ = FilterBudget();
    drawLevel(root);
    for (const auto& [n, level] : levels) drawLevel(level);
    if (filterBudget_.exhausted && !filterBudgetReported_ && log_) {
        filterBudgetReported_ = true;
        log_("filters past the work a frame may take (kMaxFilterWorkPerFrame, " +
             std::to_string(kMaxFilterWorkPerFrame) + " pixels filtered) are left out of those frames");
    }
    if (canvas_->takeCutShapes() && !edgesReported_ && log_) {
        edgesReported_ = true;
        log_("shapes of more than kMaxRasterEdges (" + std::to_string(raster::kMaxRasterEdges) +
             ") edges at this size are drawn in part");
    }
    if (canvas_->takeVoidedLayers() && !layersReported_ && log_) {
        layersReported_ = true;
        log_("masks, blend modes and filters nested deeper than " + std::to_string(canvas_->layerLimit()) +
             " layers at this size (kMaxLayerDepth, kMaxLayerBytes) are left out with what they hold");
    }
}

}  // namespace movie
