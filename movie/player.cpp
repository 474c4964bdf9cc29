#include "movie/player.h"

#include "movie/filters.h"
#include "base/names.h"

#include <algorithm>
#include <cmath>

namespace movie {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool SameName(std::string_view a, std::string_view b, bool caseSensitive) {
    return caseSensitive ? a == b : base::SameNoCase(a, b);
}

// Every field a placement gives, with the display object's field it sets: both the moves
// that add up when the timeline goes back and the placing of an object go through this list.
template <class Visit>
void ForEachPlacementField(Visit&& visit) {
    visit(&Placement::matrix, &DisplayObject::matrix);
    visit(&Placement::colorTransform, &DisplayObject::colorTransform);
    visit(&Placement::ratio, &DisplayObject::ratio);
    visit(&Placement::name, &DisplayObject::name);
    visit(&Placement::clipDepth, &DisplayObject::clipDepth);
    visit(&Placement::blendMode, &DisplayObject::blendMode);
    visit(&Placement::filters, &DisplayObject::filters);
    visit(&Placement::cacheAsBitmap, &DisplayObject::cacheAsBitmap);
    visit(&Placement::visible, &DisplayObject::visible);
    visit(&Placement::opaqueBackground, &DisplayObject::opaqueBackground);
    visit(&Placement::clipActions, &DisplayObject::clipActions);
}

template <class T>
bool Given(const std::optional<T>& field) { return field.has_value(); }
template <class T>
bool Given(const std::shared_ptr<T>& field) { return field != nullptr; }
template <class T>
const T& ValueOf(const std::optional<T>& field) { return *field; }
template <class T>
const std::shared_ptr<T>& ValueOf(const std::shared_ptr<T>& field) { return field; }

// Fields a later placement gives replace those of the earlier one.
void Overlay(Placement& into, const Placement& later) {
    ForEachPlacementField([&](auto field, auto) {
        if (Given(later.*field)) into.*field = later.*field;
    });
}

void ApplyPlacement(DisplayObject& object, const Placement& placement) {
    ForEachPlacementField([&](auto field, auto objectField) {
        if (Given(placement.*field)) object.*objectField = ValueOf(placement.*field);
    });
}

}  // namespace

TimelineInstance::~TimelineInstance() {
    if (player != nullptr) {
        player->instances_.erase(handle);
        player->objects_ -= displayList.size();
    }
}

// What scripts reach of the player, by the handles of its timelines.
class ScriptHost final : public avm1::Host {
public:
    explicit ScriptHost(Player& p) : p_(p) {}

    bool caseSensitive() const { return p_.definition_.version() >= 7; }
    std::string key(std::string_view name) const { return caseSensitive() ? std::string(name) : base::LowerCase(name); }

    uint32_t root() override { return p_.root_.sprite ? p_.root_.sprite->handle : 0; }
    uint32_t parent(uint32_t clip) override {
        const TimelineInstance* t = p_.instance(clip);
        return t != nullptr && t->parent != nullptr ? t->parent->handle : 0;
    }
    uint32_t child(uint32_t clip, std::string_view name) override {
        const TimelineInstance* t = p_.instance(clip);
        if (t == nullptr || name.empty()) return 0;
        for (const auto& [depth, object] : t->displayList) {
            if (object.sprite && object.character != nullptr && object.character->kind == Character::Kind::kSprite &&
                SameName(object.name, name, caseSensitive())) {
                return object.sprite->handle;
            }
        }
        return 0;
    }
    bool exists(uint32_t clip) override { return p_.instance(clip) != nullptr; }

    bool getVariable(uint32_t clip, std::string_view name, avm1::Value& out) override {
        const TimelineInstance* t = p_.instance(clip);
        if (t == nullptr) return false;
        auto it = t->variables.find(key(name));
        if (it == t->variables.end()) return false;
        out = it->second;
        return true;
    }
    void setVariable(uint32_t clip, std::string_view name, const avm1::Value& value) override {
        TimelineInstance* t = p_.instance(clip);
        if (t == nullptr) return;
        std::string k = key(name);
        auto it = t->variables.find(k);
        if (it != t->variables.end()) {
            it->second = value;
        } else if (t->variables.size() < avm1::kMaxVariablesPerClip) {
            t->variables.emplace(std::move(k), value);
        } else if (!variablesReported_) {
            variablesReported_ = true;
            p_.log("ActionScript: a timeline holds " + std::to_string(avm1::kMaxVariablesPerClip) +
                   " variables (kMaxVariablesPerClip): no more are made");
        }
    }
    bool deleteVariable(uint32_t clip, std::string_view name) override {
        TimelineInstance* t = p_.instance(clip);
        return t != nullptr && t->variables.erase(key(name)) > 0;
    }

    avm1::Value getProperty(uint32_t clip, int property) override;
    void setProperty(uint32_t clip, int property, const avm1::Value& value) override;

    void play(uint32_t clip) override {
        if (TimelineInstance* t = p_.instance(clip)) t->playing = true;
    }
    void stop(uint32_t clip) override {
        if (TimelineInstance* t = p_.instance(clip)) t->playing = false;
    }
    void gotoFrame(uint32_t clip, int frame, bool play) override {
        TimelineInstance* t = p_.instance(clip);
        if (t == nullptr) return;
        t->playing = play;
        p_.seek(*t, frame);
    }
    int frameOfLabel(uint32_t clip, std::string_view label) override {
        const TimelineInstance* t = p_.instance(clip);
        return t != nullptr && t->timeline != nullptr ? t->timeline->frameOfLabel(label) : -1;
    }
    int currentFrame(uint32_t clip) override {
        const TimelineInstance* t = p_.instance(clip);
        return t != nullptr ? t->frame : 0;
    }
    int totalFrames(uint32_t clip) override {
        const TimelineInstance* t = p_.instance(clip);
        return t != nullptr && t->timeline != nullptr ? static_cast<int>(t->timeline->frames.size()) : 0;
    }
    std::vector<const std::vector<uint8_t>*> frameScripts(uint32_t clip, int frame) override {
        std::vector<const std::vector<uint8_t>*> out;
        const TimelineInstance* t = p_.instance(clip);
        if (t == nullptr || t->timeline == nullptr || frame < 0 || frame >= totalFrames(clip)) return out;
        for (const FrameScript& s : t->timeline->frames[static_cast<size_t>(frame)].scripts) out.push_back(&s.code);
        return out;
    }
    std::string path(uint32_t clip) override {
        std::string out;
        for (const TimelineInstance* t = p_.instance(clip); t != nullptr; t = t->parent) {
            out = (t->parent == nullptr ? std::string("_level0") : (t->object != nullptr ? t->object->name : "")) +
                  (out.empty() ? "" : "." + out);
        }
        return out;
    }
    std::string name(uint32_t clip) override {
        const TimelineInstance* t = p_.instance(clip);
        return t != nullptr && t->parent != nullptr && t->object != nullptr ? t->object->name : "";
    }
    void trace(const std::string& line) override {
        if (p_.traceSink_) p_.traceSink_(line);
    }
    void log(const std::string& line) override { p_.log(line); }
    double timer() override {
        const double rate = p_.definition_.frameRate88() / 256.0;
        return rate > 0 ? (p_.ticks_ > 0 ? p_.ticks_ - 1 : 0) * 1000.0 / rate : 0;
    }

private:
    // The slash path of _target: "/" for the main timeline, "/a/b" below it.
    std::string slashPath(const TimelineInstance* t) {
        std::string out;
        for (; t != nullptr && t->parent != nullptr; t = t->parent) {
            out = "/" + (t->object != nullptr ? t->object->name : std::string()) + out;
        }
        return out.empty() ? "/" : out;
    }

    Player& p_;
    bool variablesReported_ = false;
};

avm1::Value ScriptHost::getProperty(uint32_t clip, int property) {
    using avm1::Value;
    const TimelineInstance* t = p_.instance(clip);
    if (t == nullptr || t->object == nullptr) return Value();
    const DisplayObject& o = *t->object;
    const swf::Matrix& m = o.matrix;
    switch (property) {
        case avm1::kPropX: return Value::Number(m.translateX / 20.0);
        case avm1::kPropY: return Value::Number(m.translateY / 20.0);
        case avm1::kPropXScale: return Value::Number(std::hypot(m.scaleX, m.rotateSkew0) * 100.0);
        case avm1::kPropYScale: return Value::Number(std::hypot(m.rotateSkew1, m.scaleY) * 100.0);
        case avm1::kPropRotation: return Value::Number(std::atan2(m.rotateSkew0, m.scaleX) * 180.0 / kPi);
        case avm1::kPropAlpha: return Value::Number(o.colorTransform.mulA * 100.0 / 256.0);
        case avm1::kPropVisible:
            return p_.definition_.version() >= 5 ? Value::Bool(o.visible) : Value::Number(o.visible ? 1 : 0);
        case avm1::kPropCurrentFrame: return Value::Number(std::max(t->frame, 0) + 1);
        case avm1::kPropTotalFrames:
        case avm1::kPropFramesLoaded: return Value::Number(totalFrames(clip));
        case avm1::kPropName: return Value::String(name(clip));
        case avm1::kPropTarget: return Value::String(slashPath(t));
        case avm1::kPropQuality: return Value::String("HIGH");
        case avm1::kPropHighQuality: return Value::Number(1);
        case avm1::kPropUrl:
        case avm1::kPropDropTarget: return Value::String("");
        case avm1::kPropSoundBufTime: return Value::Number(5);
        case avm1::kPropFocusRect: return Value::Bool(true);
        case avm1::kPropOpaqueBackground:
            if (!o.opaqueBackground) return Value::Null();
            return Value::Number((o.opaqueBackground->r << 16) | (o.opaqueBackground->g << 8) | o.opaqueBackground->b);
        default: return Value::Number(0);  // sizes and the mouse: not measured
    }
}

void ScriptHost::setProperty(uint32_t clip, int property, const avm1::Value& value) {
    TimelineInstance* t = p_.instance(clip);
    if (t == nullptr || t->object == nullptr) return;
    DisplayObject& o = *t->object;
    swf::Matrix& m = o.matrix;
    const double n = p_.machine_->toNumber(value);
    const bool number = std::isfinite(n);
    double xscale = std::hypot(m.scaleX, m.rotateSkew0), yscale = std::hypot(m.rotateSkew1, m.scaleY);
    double rotation = std::atan2(m.rotateSkew0, m.scaleX);
    bool recompose = false;
    switch (property) {
        case avm1::kPropX:
            if (number) m.translateX = static_cast<int32_t>(std::clamp(std::round(n * 20), -1e9, 1e9));
            break;
        case avm1::kPropY:
            if (number) m.translateY = static_cast<int32_t>(std::clamp(std::round(n * 20), -1e9, 1e9));
            break;
        case avm1::kPropXScale:
            if (number) xscale = n / 100, recompose = true;
            break;
        case avm1::kPropYScale:
            if (number) yscale = n / 100, recompose = true;
            break;
        case avm1::kPropRotation:
            if (number) rotation = n * kPi / 180, recompose = true;
            break;
        case avm1::kPropAlpha:
            if (number) o.colorTransform.mulA = static_cast<int16_t>(std::clamp(n * 256 / 100, -32768.0, 32767.0));
            break;
        case avm1::kPropVisible: o.visible = p_.machine_->toBoolean(value); break;
        case avm1::kPropName: o.name = p_.machine_->toString(value); break;
        case avm1::kPropOpaqueBackground:
            if (value.type == avm1::Type::kUndefined || value.type == avm1::Type::kNull || !number) {
                o.opaqueBackground.reset();
            } else {
                const uint32_t rgb = static_cast<uint32_t>(avm1::ToInt32(n));
                o.opaqueBackground = swf::Color{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                                static_cast<uint8_t>(rgb), 255};
            }
            break;
        default: break;  // read-only, or not measured
    }
    if (recompose) {
        xscale = std::clamp(xscale, -32768.0, 32767.0);
        yscale = std::clamp(yscale, -32768.0, 32767.0);
        m.scaleX = static_cast<float>(xscale * std::cos(rotation));
        m.rotateSkew0 = static_cast<float>(xscale * std::sin(rotation));
        m.rotateSkew1 = static_cast<float>(-yscale * std::sin(rotation));
        m.scaleY = static_cast<float>(yscale * std::cos(rotation));
    }
}

Player::Player() : host_(std::make_unique<ScriptHost>(*this)) {}
Player::~Player() { root_ = DisplayObject(); }

bool Player::loadFile(const char* path, std::string& error) {
    swf::SwfFile file;
    return swf::LoadSwfFile(path, file, error) && load(file, error);
}

bool Player::load(const swf::SwfFile& file, std::string& error) {
    root_ = DisplayObject();  // its timelines point into the old definition
    morphs_.clear();
    definition_ = MovieDefinition();
    definition_.setBitmapBudget(bitmapBudget_);
    if (!definition_.load(file, error)) return false;
    for (const std::string& w : definition_.warnings()) log(w);
    restart();
    if (totalFrames() > 0) gotoFrame(0);
    return true;
}

void Player::restart() {
    root_ = DisplayObject();
    objects_ = 0;
    objectsReported_ = false;
    nestingReported_ = false;
    instances_.clear();
    execution_.clear();
    urgent_.clear();
    queued_.clear();
    initDone_.clear();
    ticks_ = 0;
    machine_ = std::make_unique<avm1::Machine>(*host_, definition_.version());
    if (!backgroundSet_) background_ = {255, 255, 255, 255};
    root_.sprite = std::make_unique<TimelineInstance>();
    startInstance(*root_.sprite, nullptr, &root_, &definition_.timeline());
}

int Player::totalFrames() const { return static_cast<int>(definition_.timeline().frames.size()); }

int Player::stageWidth() const { return (definition_.frameSize().xMax - definition_.frameSize().xMin) / 20; }
int Player::stageHeight() const { return (definition_.frameSize().yMax - definition_.frameSize().yMin) / 20; }

void Player::log(const std::string& line) {
    if (logSink_) logSink_(line);
}

TimelineInstance* Player::instance(uint32_t handle) const {
    auto it = instances_.find(handle);
    return it == instances_.end() ? nullptr : it->second;
}

void Player::gotoFrame(int frame) {
    if (totalFrames() <= 0) return;
    frame = std::max(frame, 0);
    if (frame < currentFrame()) restart();
    while (currentFrame() < frame) tick();
}

void Player::startInstance(TimelineInstance& t, TimelineInstance* parent, DisplayObject* object, const Timeline* timeline) {
    t.player = this;
    t.handle = nextHandle_++;
    t.parent = parent;
    t.object = object;
    t.timeline = timeline;
    t.nesting = parent != nullptr ? parent->nesting + 1 : 0;
    instances_[t.handle] = &t;
    execution_.push_front(t.handle);
}

// One step: every timeline's events and next frame, newest first, then the scripts.
void Player::tick() {
    machine_->startFrame();
    // A step never starts another: the copy can be scratch kept between steps.
    order_.assign(execution_.begin(), execution_.end());
    for (uint32_t handle : order_) {
        if (TimelineInstance* t = instance(handle)) runClipFrame(*t);
    }
    runScripts();
    execution_.erase(std::remove_if(execution_.begin(), execution_.end(), [&](uint32_t h) { return instance(h) == nullptr; }),
                     execution_.end());
    ++ticks_;
}

void Player::runClipFrame(TimelineInstance& t) {
    const bool first = !t.initialized;
    t.initialized = true;
    queueClipEvent(t, first ? clip_event::kLoad : clip_event::kEnterFrame);
    if (!t.playing || t.timeline == nullptr || t.timeline->frames.empty()) return;
    const int count = static_cast<int>(t.timeline->frames.size());
    const int next = t.frame + 1;
    if (next < count) {
        runFrame(t, next, true);
    } else if (count > 1) {
        seek(t, 0);  // looping
    }
}

void Player::queueClipEvent(TimelineInstance& t, uint32_t event) {
    if (t.object == nullptr || !t.object->clipActions) return;
    const bool urgent = (event & (clip_event::kInitialize | clip_event::kConstruct)) != 0;
    for (const ClipAction& a : *t.object->clipActions) {
        if ((a.events & event) != 0) (urgent ? urgent_ : queued_).push_back({t.handle, &a.code});
    }
}

void Player::runScripts() {
    while (!urgent_.empty() || !queued_.empty()) {
        std::deque<QueuedScript>& from = urgent_.empty() ? queued_ : urgent_;
        const QueuedScript s = from.front();
        from.pop_front();
        if (machine_->budgetSpent()) continue;  // the machine said so once; the rest are dropped
        if (instance(s.clip) != nullptr) machine_->run(*s.code, s.clip);
    }
}

// Init actions run once each, ahead of the frame's other scripts.
void Player::queueInitScripts(const TimelineInstance& t, const Frame& f) {
    for (const InitScript& init : f.initScripts) {
        if (initDone_.insert(init.spriteId).second) urgent_.push_back({t.handle, &init.code});
    }
}

// Runs a frame's commands; with `scripts`, its scripts are queued in their places among
// them and its init actions ahead of everything.
void Player::runFrame(TimelineInstance& t, int frame, bool scripts) {
    if (t.timeline == nullptr || frame < 0 || frame >= static_cast<int>(t.timeline->frames.size())) return;
    const Frame& f = t.timeline->frames[static_cast<size_t>(frame)];
    t.frame = frame;
    const uint32_t handle = t.handle;
    if (scripts) queueInitScripts(t, f);
    size_t nextScript = 0;
    for (size_t i = 0; i < f.commands.size(); ++i) {
        for (; scripts && nextScript < f.scripts.size() && f.scripts[nextScript].at <= i; ++nextScript) {
            queued_.push_back({handle, &f.scripts[nextScript].code});
        }
        apply(t, f.commands[i]);
    }
    for (; scripts && nextScript < f.scripts.size(); ++nextScript) queued_.push_back({handle, &f.scripts[nextScript].code});
    if (t.parent == nullptr && f.background && !backgroundSet_) {
        background_ = {f.background->r, f.background->g, f.background->b, 255};
    }
}

// Moves a timeline to a frame. Forward, the frames between run their commands only; back,
// the display is rebuilt as frame `frame` has it, keeping what stays at its depth with its
// character. Either way the frame's own scripts are queued.
void Player::seek(TimelineInstance& t, int frame) {
    if (t.timeline == nullptr || t.timeline->frames.empty()) return;
    frame = std::clamp(frame, 0, static_cast<int>(t.timeline->frames.size()) - 1);
    if (frame == t.frame) return;
    if (frame > t.frame) {
        for (int f = t.frame + 1; f <= frame; ++f) runFrame(t, f, f == frame);
        return;
    }
    // What each depth holds at the frame, and the frame that placed it there.
    std::map<uint16_t, std::pair<PlaceCommand, int>> state;
    std::optional<swf::Color> background;
    for (int f = 0; f <= frame; ++f) {
        const Frame& fr = t.timeline->frames[static_cast<size_t>(f)];
        if (fr.background) background = fr.background;
        for (const PlaceCommand& c : fr.commands) {
            auto it = state.find(c.depth);
            if (c.remove) {
                if (it != state.end()) state.erase(it);
            } else if (!c.move || it == state.end()) {
                if (c.move && !c.characterId) continue;
                PlaceCommand placed = c;
                placed.move = false;
                state[c.depth] = {std::move(placed), f};
            } else {
                if (c.characterId && it->second.first.characterId != c.characterId) it->second.second = f;
                if (c.characterId) it->second.first.characterId = c.characterId;
                Overlay(it->second.first, c);
            }
        }
    }
    // An object stays when the same placement put it there: same character, same frame.
    for (auto it = t.displayList.begin(); it != t.displayList.end();) {
        auto s = state.find(it->first);
        const bool stays = s != state.end() && s->second.first.characterId &&
                           *s->second.first.characterId == it->second.characterId && s->second.second == it->second.placedFrame;
        if (stays) {
            ++it;
        } else {
            it = t.displayList.erase(it);
            --objects_;
        }
    }
    t.frame = frame;
    const uint32_t handle = t.handle;
    const Frame& target = t.timeline->frames[static_cast<size_t>(frame)];
    queueInitScripts(t, target);
    for (auto& [depth, placed] : state) {
        placed.first.move = t.displayList.count(depth) != 0;
        apply(t, placed.first, placed.second);
    }
    for (const FrameScript& s : target.scripts) queued_.push_back({handle, &s.code});
    if (t.parent == nullptr && background && !backgroundSet_) background_ = {background->r, background->g, background->b, 255};
}

void Player::apply(TimelineInstance& t, const PlaceCommand& c, int placedFrame) {
    if (c.remove) {
        objects_ -= t.displayList.erase(c.depth);
        return;
    }
    auto existing = t.displayList.find(c.depth);
    const bool modify = c.move && existing != t.displayList.end();
    if (c.move && !modify && !c.characterId) return;  // nothing to move there
    if (existing == t.displayList.end()) {
        // Sprites that place themselves, or many of each other, would grow without end.
        if (objects_ >= kMaxDisplayObjects) {
            if (!objectsReported_) {
                objectsReported_ = true;
                log("the display holds " + std::to_string(kMaxDisplayObjects) +
                    " objects (kMaxDisplayObjects): no more are placed");
            }
            return;
        }
        ++objects_;
    }
    DisplayObject& object = modify ? existing->second : t.displayList[c.depth];
    if (!modify) {
        object = DisplayObject();
        object.placedFrame = placedFrame < 0 ? t.frame : placedFrame;
    }
    bool spawned = false;
    if (c.characterId && (!modify || object.characterId != *c.characterId)) {
        const Character* character = definition_.character(*c.characterId);
        object.characterId = *c.characterId;
        object.character = character;
        object.placedFrame = placedFrame < 0 ? t.frame : placedFrame;
        object.sprite.reset();
        if (character != nullptr &&
            (character->kind == Character::Kind::kSprite || character->kind == Character::Kind::kButton) &&
            t.nesting < kMaxSpriteNesting) {
            object.sprite = std::make_unique<TimelineInstance>();
            startInstance(*object.sprite, &t, &object, &character->timeline);
            spawned = true;
        } else if (character != nullptr && character->kind == Character::Kind::kSprite && !nestingReported_) {
            nestingReported_ = true;
            log("sprites nest deeper than " + std::to_string(kMaxSpriteNesting) +
                " (kMaxSpriteNesting): the deeper ones show nothing");
        }
    }
    ApplyPlacement(object, c);
    if (!modify && object.character != nullptr && object.character->kind == Character::Kind::kEditText) {
        const EditTextDefinition& field = object.character->edit;
        object.text = field.initialText;
        avm1::Value bound;
        if (!field.variable.empty() && !machine_->readVariable(t.handle, field.variable, bound)) {
            machine_->writeVariable(t.handle, field.variable, avm1::Value::String(field.initialText));
        }
    }
    if (spawned) {
        // A new timeline: its initialize events first, then its first frame at once.
        TimelineInstance& child = *object.sprite;
        queueClipEvent(child, clip_event::kInitialize | clip_event::kConstruct);
        runClipFrame(child);
    }
}

bool Player::boundsOf(const DisplayObject& o, swf::Rect& out, int nesting) {
    if (o.character == nullptr || nesting > kMaxSpriteNesting) return false;
    switch (o.character->kind) {
        case Character::Kind::kShape: out = o.character->shape.bounds; return true;
        case Character::Kind::kMorph: out = morphAt(o.character, o.ratio).bounds; return true;
        case Character::Kind::kText: {
            // The text's bounds are in its own space, under its matrix.
            const swf::Matrix& m = o.character->text.matrix;
            const swf::Rect& b = o.character->text.bounds;
            out = {m.translateX + b.xMin, m.translateX + b.xMax, m.translateY + b.yMin, m.translateY + b.yMax};
            return true;
        }
        default: break;
    }
    if (!o.sprite) return false;
    bool any = false;
    for (const auto& [depth, child] : o.sprite->displayList) {
        swf::Rect b;
        if (!boundsOf(child, b, nesting + 1)) continue;
        const swf::Matrix& m = child.matrix;
        for (int corner = 0; corner < 4; ++corner) {
            const double x = corner & 1 ? b.xMax : b.xMin, y = corner & 2 ? b.yMax : b.yMin;
            const int32_t tx = static_cast<int32_t>(x * m.scaleX + y * m.rotateSkew1 + m.translateX);
            const int32_t ty = static_cast<int32_t>(x * m.rotateSkew0 + y * m.scaleY + m.translateY);
            if (!any) {
                out = {tx, tx, ty, ty};
                any = true;
            }
            out.xMin = std::min(out.xMin, tx);
            out.xMax = std::max(out.xMax, tx);
            out.yMin = std::min(out.yMin, ty);
            out.yMax = std::max(out.yMax, ty);
        }
    }
    return any;
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
        raster::Matrix om = m * ToRasterMatrix(object.matrix);
        // A cached bitmap lands on whole device pixels, as the reference players place it.
        if (object.cacheAsBitmap && !isClip && !mask) {
            om.tx = std::round(om.tx);
            om.ty = std::round(om.ty);
        }
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
        swf::Rect box;
        if (object.opaqueBackground && !isClip && !mask && boundsOf(object, box, nesting)) {
            const swf::Color& c = *object.opaqueBackground;
            fillRect(box, om, drawCx.apply(raster::Rgba{c.r, c.g, c.b, 255}));
        }
        if (object.character->kind == Character::Kind::kShape) {
            DrawShape(canvas, object.character->shape, om, drawCx, antiAlias_, paints_, &definition_);
        } else if (object.character->kind == Character::Kind::kMorph) {
            DrawShape(canvas, morphAt(object.character, object.ratio), om, drawCx, antiAlias_, paints_, &definition_);
        } else if (object.character->kind == Character::Kind::kText) {
            drawText(object.character->text, om, drawCx);
        } else if (object.character->kind == Character::Kind::kEditText) {
            drawEditText(object, t, om, drawCx, isClip || mask);
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

void Player::fillRect(const swf::Rect& r, const raster::Matrix& m, raster::Rgba color) {
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

// An embedded font as the text layout sees it.
class EmbeddedFont final : public GlyphFont {
public:
    explicit EmbeddedFont(const Font& f) : font_(f) {
        for (size_t i = 0; i < f.codes.size() && i < f.glyphs.size(); ++i) index_.emplace(f.codes[i], i);
    }
    const ShapeGeometry* glyph(uint32_t code) const override {
        auto it = index_.find(code);
        return it == index_.end() ? nullptr : &font_.glyphs[it->second];
    }
    float advance(uint32_t code) const override {
        auto it = index_.find(code);
        if (it == index_.end()) return 0;
        return it->second < font_.advances.size() ? font_.advances[it->second] : font_.emUnits / 2;
    }
    float emUnits() const override { return font_.emUnits; }
    float ascent() const override { return font_.hasLayout ? font_.ascent : font_.emUnits * 0.8f; }
    float descent() const override { return font_.hasLayout ? font_.descent : font_.emUnits * 0.2f; }

private:
    const Font& font_;
    std::unordered_map<uint32_t, size_t> index_;
};

}  // namespace

// The field's font for a style: its own embedded font, or one the HTML names, when the
// field uses outlines and the font has them; else the system's font of that name.
const GlyphFont* Player::fontFor(const EditTextDefinition& field, const TextStyle& style) {
    const Character* own = field.fontId ? definition_.character(*field.fontId) : nullptr;
    const Font* base = own != nullptr && own->kind == Character::Kind::kFont ? &own->font : nullptr;
    const std::string name = !style.face.empty() ? style.face : base != nullptr ? base->name : std::string("_sans");
    const bool bold = style.bold || (style.face.empty() && base != nullptr && base->bold);
    const bool italic = style.italic || (style.face.empty() && base != nullptr && base->italic);
    if (field.useOutlines) {
        const Font* embedded = style.face.empty() && !style.bold && !style.italic ? base : definition_.fontNamed(name, bold, italic);
        if (embedded == nullptr) embedded = base;
        if (embedded != nullptr && !embedded->glyphs.empty()) {
            std::unique_ptr<GlyphFont>& slot = embeddedFonts_[embedded];
            if (!slot) slot = std::make_unique<EmbeddedFont>(*embedded);
            return slot.get();
        }
        return nullptr;  // a field of outlines draws none it doesn't have
    }
    if (!deviceFonts_) deviceFonts_ = MakeDeviceFontSource();
    return deviceFonts_->find(name, bold, italic);
}

void Player::drawEditText(const DisplayObject& o, const TimelineInstance& owner, const raster::Matrix& m,
                          const raster::ColorTransform& cx, bool mask) {
    const EditTextDefinition& field = o.character->edit;
    // A bound variable's value shows in place of the field's own text.
    const std::string* text = &o.text;
    std::string boundText;
    avm1::Value bound;
    if (!field.variable.empty() && machine_->readVariable(owner.handle, field.variable, bound)) {
        boundText = machine_->toString(bound);
        text = &boundText;
    }
    if (!o.layout || o.laidOutText != *text) {
        struct Fonts final : FontResolver {
            Player& p;
            const EditTextDefinition& f;
            Fonts(Player& player, const EditTextDefinition& field) : p(player), f(field) {}
            const GlyphFont* resolve(const TextStyle& style) override { return p.fontFor(f, style); }
        } fonts(*this, field);
        TextStyle base;
        base.size = field.height;
        base.color = field.color;
        const bool utf8 = definition_.version() >= 6;
        const auto paragraphs = field.html ? ParseHtmlText(*text, base, field.align, utf8)
                                           : ParsePlainText(*text, base, field.align, utf8);
        o.layout = std::make_shared<const TextLayout>(LayOutText(field, paragraphs, fonts));
        o.laidOutText = *text;
    }
    const swf::Rect& b = field.bounds;
    if (!mask && field.border) {
        // A white background inside a black border one pixel wide, whatever the scale.
        fillRect(b, m, cx.apply(raster::Rgba{0, 0, 0, 255}));
        const float sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
        const int32_t insetX = sx > 0 ? static_cast<int32_t>(std::lround(1 / sx)) : 20;
        const int32_t insetY = sy > 0 ? static_cast<int32_t>(std::lround(1 / sy)) : 20;
        const swf::Rect inner{b.xMin + insetX, b.xMax - insetX, b.yMin + insetY, b.yMax - insetY};
        if (inner.xMax > inner.xMin && inner.yMax > inner.yMin) fillRect(inner, m, cx.apply(raster::Rgba{255, 255, 255, 255}));
    }
    if (o.layout->glyphs.empty() && o.layout->underlines.empty()) return;
    // The text is clipped to the field's bounds.
    raster::Canvas& canvas = *canvas_;
    if (!mask) {
        canvas.pushLayer();
        fillRect(b, m, raster::Rgba{255, 255, 255, 255});
        canvas.pushLayer();
    }
    for (const PlacedGlyph& g : o.layout->glyphs) {
        raster::ColorTransform tint;
        tint.mulR = g.color.r / 255.0f;
        tint.mulG = g.color.g / 255.0f;
        tint.mulB = g.color.b / 255.0f;
        tint.mulA = g.color.a / 255.0f;
        const raster::Matrix place = m * raster::Matrix{g.scale, 0, 0, g.scale, g.x, g.y};
        DrawShape(canvas, *g.shape, place, mask ? cx : cx.after(tint), antiAlias_, paints_, &definition_);
    }
    for (const Underline& u : o.layout->underlines) {
        const swf::Rect line{static_cast<int32_t>(u.x0), static_cast<int32_t>(u.x1), static_cast<int32_t>(u.y - u.thickness / 2),
                             static_cast<int32_t>(u.y + u.thickness / 2)};
        fillRect(line, m, cx.apply(raster::Rgba{u.color.r, u.color.g, u.color.b, u.color.a}));
    }
    if (!mask) canvas.popLayerThroughMask();
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
    if (!root_.sprite || !root_.visible) return;
    drawList(*root_.sprite, toDevice * ToRasterMatrix(root_.matrix), raster::ColorTransform().after(ToRasterTransform(root_.colorTransform)),
             0, false);
}

}  // namespace movie
