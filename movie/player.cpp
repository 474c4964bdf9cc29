#include "movie/player.h"

#include "movie/filters.h"

#include <algorithm>

namespace movie {

bool Player::loadFile(const char* path, std::string& error) {
    swf::SwfFile file;
    return swf::LoadSwfFile(path, file, error) && load(file, error);
}

bool Player::load(const swf::SwfFile& file, std::string& error) {
    morphs_.clear();  // they point into the old definition
    definition_ = MovieDefinition();
    if (!definition_.load(file, error)) return false;
    main_.timeline = &definition_.timeline();
    main_.reset();
    if (!backgroundSet_) background_ = {255, 255, 255, 255};
    if (totalFrames() > 0) gotoFrame(0);
    return true;
}

int Player::totalFrames() const { return static_cast<int>(definition_.timeline().frames.size()); }

int Player::stageWidth() const { return (definition_.frameSize().xMax - definition_.frameSize().xMin) / 20; }
int Player::stageHeight() const { return (definition_.frameSize().yMax - definition_.frameSize().yMin) / 20; }

void Player::gotoFrame(int frame) {
    const int last = totalFrames() - 1;
    if (last < 0) return;
    frame = std::clamp(frame, 0, last);
    if (frame < main_.frame) main_.reset();
    while (main_.frame < frame) step();
}

// One step of the main timeline: the sprites already on the stage advance, then the next
// frame's commands run.
void Player::step() {
    for (auto& [depth, object] : main_.displayList) {
        if (object.sprite) advance(*object.sprite, 1);
    }
    runFrame(main_, main_.frame + 1, 0);
}

void Player::advance(TimelineInstance& t, int nesting) {
    if (nesting > kMaxSpriteNesting || t.timeline == nullptr || t.timeline->frames.empty()) return;
    for (auto& [depth, object] : t.displayList) {
        if (object.sprite) advance(*object.sprite, nesting + 1);
    }
    int next = t.frame + 1;
    if (next >= static_cast<int>(t.timeline->frames.size())) {
        if (t.timeline->frames.size() == 1) return;  // a one-frame sprite stays as it is
        t.displayList.clear();  // looping: the sprite starts over from its first frame
        next = 0;
    }
    runFrame(t, next, nesting);
}

void Player::runFrame(TimelineInstance& t, int frame, int nesting) {
    if (t.timeline == nullptr || frame < 0 || frame >= static_cast<int>(t.timeline->frames.size())) return;
    const Frame& f = t.timeline->frames[static_cast<size_t>(frame)];
    for (const PlaceCommand& c : f.commands) apply(t, c, nesting);
    if (&t == &main_ && f.background && !backgroundSet_) background_ = {f.background->r, f.background->g, f.background->b, 255};
    t.frame = frame;
}

void Player::apply(TimelineInstance& t, const PlaceCommand& c, int nesting) {
    if (c.remove) {
        t.displayList.erase(c.depth);
        return;
    }
    auto existing = t.displayList.find(c.depth);
    const bool modify = c.move && existing != t.displayList.end();
    if (c.move && !modify && !c.characterId) return;  // nothing to move there
    DisplayObject& object = modify ? existing->second : t.displayList[c.depth];
    if (!modify) object = DisplayObject();
    if (c.characterId && (!modify || object.characterId != *c.characterId)) {
        const Character* character = definition_.character(*c.characterId);
        object.characterId = *c.characterId;
        object.character = character;
        object.sprite.reset();
        if (character != nullptr &&
            (character->kind == Character::Kind::kSprite || character->kind == Character::Kind::kButton) &&
            nesting < kMaxSpriteNesting) {
            object.sprite = std::make_unique<TimelineInstance>();
            object.sprite->timeline = &character->timeline;
            runFrame(*object.sprite, 0, nesting + 1);
        }
    }
    if (c.matrix) object.matrix = *c.matrix;
    if (c.colorTransform) object.colorTransform = *c.colorTransform;
    if (c.ratio) object.ratio = *c.ratio;
    if (c.name) object.name = *c.name;
    if (c.clipDepth) object.clipDepth = *c.clipDepth;
    if (c.blendMode) object.blendMode = *c.blendMode;
    if (c.visible) object.visible = *c.visible;
    if (c.hasFilters) object.filters = c.filters;
}

const ShapeGeometry& Player::morphAt(const Character* morph, uint16_t ratio) {
    constexpr size_t kMaxCachedMorphs = 256;
    const auto key = std::make_pair(morph, ratio);
    if (auto it = morphs_.find(key); it != morphs_.end()) return it->second;
    if (morphs_.size() >= kMaxCachedMorphs) morphs_.clear();
    swf::Rect bounds;
    const swf::Shape shape = MorphAt(morph->morph, ratio / 65535.0f, bounds);
    return morphs_.emplace(key, BuildShapeGeometry(shape, bounds)).first->second;
}

namespace {

// The file's blend mode numbers: 0 and 1 normal, 2 layer, 3 multiply, ..., 14 hard light.
// Unknown numbers draw as normal.
raster::BlendMode BlendModeOf(uint8_t mode) {
    if (mode <= 1 || mode > 14) return raster::BlendMode::kNormal;
    return static_cast<raster::BlendMode>(mode - 1);
}

}  // namespace

void Player::drawList(const TimelineInstance& t, const raster::Matrix& m, const raster::ColorTransform& cx, int nesting,
                      bool mask) {
    if (nesting > kMaxSpriteNesting) return;
    raster::Canvas& canvas = *canvas_;
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
        // An invisible object draws nothing; a mask still masks.
        if (!object.visible && !isClip) continue;
        const raster::Matrix om = m * ToRasterMatrix(object.matrix);
        const raster::ColorTransform ocx = cx.after(ToRasterTransform(object.colorTransform));
        // A blend mode composites the object as one layer onto what lies below it.
        const raster::BlendMode blend = isClip || mask ? raster::BlendMode::kNormal : BlendModeOf(object.blendMode);
        const bool blended = blend != raster::BlendMode::kNormal;
        // Alpha and erase act on the layer of a blended ancestor; with none, such an object
        // shows nothing, as in the reference players.
        if ((blend == raster::BlendMode::kAlpha || blend == raster::BlendMode::kErase) && blendGroups_ == 0) continue;
        // Filters work on the object drawn alone into a layer of its own.
        const bool filtered = !object.filters.empty() && !isClip && !mask;
        if (isClip || blended || filtered) canvas.pushLayer();
        if (blended) ++blendGroups_;
        // A mask covers by its shapes alone: its colours and alpha do not matter.
        raster::ColorTransform drawCx = ocx;
        if (isClip || mask) drawCx = raster::ColorTransform{0, 0, 0, 0, 255, 255, 255, 255};
        if (object.character->kind == Character::Kind::kShape) {
            DrawShape(canvas, object.character->shape, om, drawCx, antiAlias_, paints_, &definition_);
        } else if (object.character->kind == Character::Kind::kMorph) {
            DrawShape(canvas, morphAt(object.character, object.ratio), om, drawCx, antiAlias_, paints_, &definition_);
        } else if (object.character->kind == Character::Kind::kText) {
            drawText(object.character->text, om, drawCx);
        } else if (object.sprite) {
            drawList(*object.sprite, om, drawCx, nesting + 1, isClip || mask);
        }
        if (filtered) {
            canvas.growDirty(ApplyFilters(filters_, canvas.target(), object.filters, stageScaleX_, stageScaleY_));
        }
        if (blended) --blendGroups_;
        if (blended || filtered) canvas.popLayer(1, blend);
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

void Player::drawText(const StaticText& text, const raster::Matrix& m, const raster::ColorTransform& cx) {
    const raster::Matrix toText = m * ToRasterMatrix(text.matrix);
    for (const TextRun& run : text.runs) {
        const Character* font = definition_.character(run.fontId);
        if (font == nullptr || font->kind != Character::Kind::kFont) continue;
        // The glyphs are white: the run's colour tints them under the object's transform.
        raster::ColorTransform tint;
        tint.mulR = run.color.r / 255.0f;
        tint.mulG = run.color.g / 255.0f;
        tint.mulB = run.color.b / 255.0f;
        tint.mulA = run.color.a / 255.0f;
        const raster::ColorTransform glyphCx = cx.after(tint);
        const float scale = static_cast<float>(run.height) / font->font.emUnits;
        for (const TextRun::Glyph& g : run.glyphs) {
            if (g.index >= font->font.glyphs.size()) continue;
            const raster::Matrix place = toText * raster::Matrix{scale, 0, 0, scale, static_cast<float>(g.x),
                                                                 static_cast<float>(run.y)};
            DrawShape(*canvas_, font->font.glyphs[g.index], place, glyphCx, antiAlias_, paints_, &definition_);
        }
    }
}

void Player::draw(const raster::Target& target, bool transparent, bool antiAlias) {
    if (!canvas_) {
        canvas_ = std::make_unique<raster::Canvas>(target);
    } else {
        canvas_->setTarget(target);
    }
    antiAlias_ = antiAlias;
    canvas_->clear(transparent ? raster::Rgba{0, 0, 0, 0} : raster::Rgba{background_.r, background_.g, background_.b, 255});
    const swf::Rect& stage = definition_.frameSize();
    const float stageW = static_cast<float>(stage.xMax - stage.xMin), stageH = static_cast<float>(stage.yMax - stage.yMin);
    if (stageW <= 0 || stageH <= 0) return;
    const float sx = static_cast<float>(target.width) / stageW, sy = static_cast<float>(target.height) / stageH;
    stageScaleX_ = sx * 20;  // per stage pixel of 20 twips
    stageScaleY_ = sy * 20;
    const raster::Matrix toDevice{sx, 0, 0, sy, -static_cast<float>(stage.xMin) * sx, -static_cast<float>(stage.yMin) * sy};
    drawList(main_, toDevice, raster::ColorTransform(), 0, false);
}

}  // namespace movie
