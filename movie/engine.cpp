#include "movie/engine.h"

#include <algorithm>

#include <cmath>

#include "base/file.h"
#include "base/names.h"
#include "movie/display/bounds.h"
#include "movie/display/hit_test.h"
#include "swf/swf_header.h"
#include "raster/composite.h"

namespace movie {

Engine::Engine() {
    // What these say is always something that does not play: a sound, a picture, a video.
    auto lost = [this](const std::string& line) {
        log(line);
        leaveOut(line);
    };
    sound_.setLog(lost);
    renderer_.setLog(lost);
    renderer_.setNetStreams(&netStreams_);
    netStreams_.setLog(lost);
    netStreams_.setStatusSink([this](uint32_t stream, const char* code) {
        auto it = netListeners_.find(stream);
        if (it == netListeners_.end()) return;
        // { level: "status", code: ... }, listed by for-in as the players list it.
        const avm1::Value info = avm1::Value::Object(machine_->newObject());
        machine_->setMember(info, "code", avm1::Value::String(code));
        machine_->setMember(info, "level", avm1::Value::String("status"));
        queueSoundEvent(it->second, "onStatus", {info});
    });
}
Engine::~Engine() = default;

bool Engine::loadFile(const char* path, std::string& error) {
    swf::SwfFile file;
    return swf::LoadSwfFile(path, file, error) && load(file, path, error);
}

bool Engine::load(const swf::SwfFile& file, std::string_view path, std::string& error) {
    const size_t slash = path.find_last_of("/\\");
    folder_ = slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
    return loadDefinition(file, error);
}

bool Engine::load(const swf::SwfFile& file, std::string& error) {
    folder_.reset();
    return loadDefinition(file, error);
}

bool Engine::loadDefinition(const swf::SwfFile& file, std::string& error) {
    root_ = DisplayObject();  // its timelines point into the old definition
    levels_.clear();
    loaded_.clear();
    morphs_.clear();
    renderer_.movieChanged();
    host_.reset();
    sound_.forget();
    definition_ = MovieDefinition();
    definition_.setBitmapBudget(bitmapBudget_);
    definition_.setDefinitionBudget(definitionBudget_);
    if (!definition_.load(file, error)) return false;
    leftOut_.clear();
    for (const std::string& w : definition_.warnings()) {
        log(w);
        leaveOut(w);
    }
    if (definition_.tagCounts().count("DoABC") != 0) {
        const std::string as3 = "ActionScript 3 code (DoABC): this engine plays ActionScript 1 and 2";
        log(as3);
        leaveOut(as3);
    }
    restart();
    if (totalFrames() > 0) gotoFrame(0);
    return true;
}

void Engine::restart() {
    root_ = DisplayObject();
    levels_.clear();
    loadInits_.clear();
    objects_ = 0;
    objectsReported_ = false;
    nestingReported_ = false;
    instances_.clear();
    origins_.clear();
    originOrder_.clear();
    execution_.clear();
    urgent_.clear();
    constructs_.clear();
    queued_.clear();
    initDone_.clear();
    framesReached_.clear();
    unloading_.clear();
    replaced_.clear();
    pendingRemoval_.clear();
    ticks_ = 0;
    sound_.reset();
    audioStep_ = -1;
    soundEvents_.clear();
    soundListeners_.clear();
    netStreams_.clear(sound_.mixer());
    netListeners_.clear();
    nextInstanceName_ = 1;
    machine_ = std::make_unique<avm1::Machine>(host_, definition_.version());
    if (const auto& limits = definition_.scriptLimits(); limits && limits->maxRecursionDepth > 0) {
        machine_->setMaxCallDepth(limits->maxRecursionDepth);
    }
    if (!backgroundSet_) background_ = {255, 255, 255, 255};
    root_.content = std::make_shared<TimelineInstance>();
    startInstance(*root_.sprite(), nullptr, &root_, &definition_.timeline());
}

int Engine::totalFrames() const { return static_cast<int>(definition_.timeline().frames.size()); }

int Engine::stageWidth() const { return (definition_.frameSize().xMax - definition_.frameSize().xMin) / 20; }
int Engine::stageHeight() const { return (definition_.frameSize().yMax - definition_.frameSize().yMin) / 20; }

void Engine::log(const std::string& line) {
    if (logSink_) logSink_(line);
}

void Engine::leaveOut(const std::string& what) {
    if (leftOut_.size() >= kMaxLeftOut || std::find(leftOut_.begin(), leftOut_.end(), what) != leftOut_.end()) return;
    leftOut_.push_back(what);
}

void Engine::trace(const std::string& line) {
    if (traceSink_) traceSink_(line);
}

double Engine::scriptTimerMs() const {
    const double rate = definition_.frameRate88() / 256.0;
    return rate > 0 ? (ticks_ > 0 ? ticks_ - 1 : 0) * 1000.0 / rate : 0;
}

void Engine::forEachTimeline(const std::function<void(const TimelineInstance&)>& visit) const {
    for (const auto& [handle, weak] : instances_) {
        if (const std::shared_ptr<TimelineInstance> t = weak.lock()) visit(*t);
    }
}

TimelineInstance* Engine::ownTimeline(uint32_t handle) const {
    auto it = instances_.find(handle);
    TimelineInstance* t = it == instances_.end() ? nullptr : it->second.lock().get();
    // A removed clip is gone for scripts, but for its own unload handlers.
    return t != nullptr && (!t->removed || handle == unloadingNow_) ? t : nullptr;
}

TimelineInstance* Engine::timeline(uint32_t handle) const {
    if (TimelineInstance* t = ownTimeline(handle)) return t;
    // A handle whose clip has gone names what lies at the path the clip was made at, as the
    // reference players' clip references do.
    auto origin = origins_.find(handle);
    if (origin == origins_.end()) return nullptr;
    TimelineInstance* at = atPath(origin->second);
    return at != nullptr && at->handle != handle ? at : nullptr;
}

void Engine::recordOrigin(const TimelineInstance& t) {
    std::string path;
    const TimelineInstance* at = &t;
    for (; at->parent != nullptr; at = at->parent) {
        if (at->object == nullptr) return;
        path = "." + at->object->name + path;
    }
    path = "_level" + std::to_string(at->level) + path;
    origins_[t.handle] = std::move(path);
    originOrder_.push_back(t.handle);
    // The oldest are forgotten: a handle of theirs, once its clip goes, names nothing.
    while (originOrder_.size() > kMaxRememberedClips) {
        origins_.erase(originOrder_.front());
        originOrder_.pop_front();
    }
}

TimelineInstance* Engine::atPath(const std::string& path) const {
    const bool exact = definition_.version() >= 7;
    size_t i = path.find('.');
    const std::string first = path.substr(0, i);
    int n = 0;
    if (first.size() <= 6) return nullptr;
    for (const char c : first.substr(6)) n = n * 10 + (c - '0');
    TimelineInstance* t = level(n);
    while (t != nullptr && i != std::string::npos) {
        const size_t end = path.find('.', i + 1);
        const std::string name = path.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
        i = end;
        TimelineInstance* next = nullptr;
        for (auto& [depth, object] : t->displayList) {
            if (!(exact ? object.name == name : base::SameNoCase(object.name, name))) continue;
            if (TimelineInstance* sprite = object.sprite()) {
                next = sprite;
            } else if (DisplayObject::EditTextState* text = object.editText(); text != nullptr && text->record) {
                next = text->record.get();
            }
            if (next != nullptr) break;
        }
        t = next;
    }
    return t != nullptr && !t->removed ? t : nullptr;
}

std::weak_ptr<TimelineInstance> Engine::weakTimeline(uint32_t handle) const {
    auto it = instances_.find(handle);
    return it == instances_.end() ? std::weak_ptr<TimelineInstance>() : it->second;
}

void Engine::gotoFrame(int frame) {
    if (totalFrames() <= 0) return;
    frame = std::max(frame, 0);
    if (frame < currentFrame()) restart();
    while (currentFrame() < frame) tick();
}

void Engine::startInstance(TimelineInstance& t, TimelineInstance* parent, DisplayObject* object, const Timeline* timeline) {
    t.handle = nextHandle_++;
    t.parent = parent;
    t.object = object;
    t.timeline = timeline;
    t.movie = parent != nullptr ? parent->movie : &definition_;
    t.nesting = parent != nullptr ? parent->nesting + 1 : 0;
    const auto* shared = object != nullptr ? std::get_if<std::shared_ptr<TimelineInstance>>(&object->content) : nullptr;
    instances_[t.handle] = shared != nullptr ? std::weak_ptr<TimelineInstance>(*shared) : std::weak_ptr<TimelineInstance>();
    execution_.push_front(t.handle);
}

// One step: every timeline's events and next frame, newest first, then the scripts.
void Engine::tick() {
    machine_->startFrame();
    settleAudio();
    netStreams_.setNow(ticks_ * stepMs());
    runSoundEvents();
    // A step never starts another: the copy can be scratch kept between steps.
    order_.assign(execution_.begin(), execution_.end());
    for (uint32_t handle : order_) {
        if (TimelineInstance* t = ownTimeline(handle); t != nullptr && !t->removed) runClipFrame(*t);
    }
    // A loaded movie whose first frame ran tells its loader, after every frame's scripts.
    if (!loadInits_.empty()) {
        for (uint32_t handle : order_) {
            auto it = loadInits_.find(handle);
            const TimelineInstance* t = ownTimeline(handle);
            if (it == loadInits_.end() || t == nullptr || !t->initialized) continue;
            queued_.push_back({handle, nullptr, "onLoadInit", false, false, it->second});
            loadInits_.erase(it);
        }
    }
    runScripts();
    // Intervals and timeouts whose time has come, by the frame clock, after the frame's scripts.
    ++scriptsRunning_;
    machine_->runTimers();
    --scriptsRunning_;
    runScripts();
    // Loads asked for during the step, and the scripts their events queued.
    ++scriptsRunning_;
    machine_->completeLoads();
    --scriptsRunning_;
    runScripts();
    if (TimelineInstance* root = root_.sprite()) showBoundText(*root);
    for (auto& [n, level] : levels_) {
        if (TimelineInstance* t = level.sprite()) showBoundText(*t);
    }
    // Loaders whose clips went hear nothing more.
    for (auto it = loadInits_.begin(); it != loadInits_.end();) it = ownTimeline(it->first) ? std::next(it) : loadInits_.erase(it);
    // Clips kept on their lists for their unload handlers leave them now, and with what was
    // removed, go.
    for (const std::weak_ptr<TimelineInstance>& weak : pendingRemoval_) {
        const std::shared_ptr<TimelineInstance> t = weak.lock();
        int32_t key = 0;
        if (t != nullptr && t->parent != nullptr && keyOf(*t, key)) {
            removeObject(t->parent->displayList, t->parent->displayList.find(key), false);
        }
    }
    pendingRemoval_.clear();
    unloading_.clear();
    replaced_.clear();
    // Timelines that left the display during the step go from the tables.
    execution_.erase(std::remove_if(execution_.begin(), execution_.end(),
                                    [&](uint32_t h) {
                                        auto it = instances_.find(h);
                                        if (it == instances_.end()) return true;
                                        if (!it->second.expired()) return false;
                                        instances_.erase(it);
                                        return true;
                                    }),
                     execution_.end());
    followStreams();
    netStreams_.endStep(sound_.mixer());
    ++ticks_;
}

void Engine::startSounds(const TimelineInstance& t, const Frame& f) {
    for (const SoundCommand& c : f.sounds) {
        if (const EventSound* sound = movieOf(t).sound(c.soundId)) sound_.command(*sound, c.info, t.handle);
    }
}

size_t Engine::stepSamples(int step) const {
    const swf::ExactRate r = swf::ExactFrameRate(definition_.frameRate88());
    auto at = [&](int64_t k) { return static_cast<uint64_t>(std::max<int64_t>(k, 0)) * kSoundRate * r.scale / r.rate; };
    return static_cast<size_t>(at(int64_t{step} + 1) - at(step));
}

bool Engine::mixAudio(std::vector<int16_t>& out) {
    const int step = currentFrame();
    const size_t frames = stepSamples(step);
    out.assign(frames * kSoundChannels, 0);
    if (step <= audioStep_ || step < 0) return false;  // taken already
    audioStep_ = step;
    const bool heard = sound_.mix(out.data(), frames);
    noteEndedSounds();
    return heard;
}

void Engine::settleAudio() {
    const int step = currentFrame();
    if (step < 0 || step <= audioStep_) return;
    sound_.skip(stepSamples(step));
    audioStep_ = step;
    noteEndedSounds();
}

void Engine::noteEndedSounds() {
    if (soundListeners_.empty()) return;
    for (audio::VoiceId voice : sound_.mixer().finished()) {
        auto it = soundListeners_.find(voice);
        if (it == soundListeners_.end()) continue;
        soundEvents_.push_back({it->second, "onSoundComplete", {}});
        soundListeners_.erase(it);
    }
    // Voices stopped by scripts or frames hear nothing: forget them.
    for (auto it = soundListeners_.begin(); it != soundListeners_.end();) {
        it = sound_.mixer().playing(it->first) ? std::next(it) : soundListeners_.erase(it);
    }
}

void Engine::runSoundEvents() {
    if (soundEvents_.empty()) return;
    std::vector<SoundEvent> events;
    events.swap(soundEvents_);
    ++scriptsRunning_;
    for (SoundEvent& e : events) machine_->callMethod(e.target, e.method, std::move(e.args));
    --scriptsRunning_;
    runScripts();
}

audio::VoiceId Engine::startScriptSound(uint32_t number, uint32_t owner, double offsetSeconds, int loops,
                                        const avm1::Value& listener) {
    const EventSound* sound = sound_.scriptSound(number);
    if (sound == nullptr) return 0;
    std::shared_ptr<const audio::Pcm> pcm = sound_.decoded(*sound);
    if (!pcm) return 0;
    audio::VoiceOptions options;
    options.owner = owner;
    options.loops = static_cast<uint32_t>(std::max(loops, 1));
    if (std::isfinite(offsetSeconds) && offsetSeconds > 0) {
        options.startFrame = static_cast<uint64_t>(std::min(offsetSeconds * pcm->rate, 9e15));
    }
    const audio::VoiceId voice = sound_.start(*sound, options);
    if (voice != 0 && listener.type() == avm1::Type::kObject) soundListeners_[voice] = listener;
    return voice;
}

double Engine::stepMs() const {
    const swf::ExactRate r = swf::ExactFrameRate(definition_.frameRate88());
    return 1000.0 * r.scale / r.rate;
}

uint32_t Engine::newNetStream(const avm1::Value& listener) {
    const uint32_t stream = netStreams_.create();
    if (stream != 0) netListeners_[stream] = listener;
    return stream;
}

void Engine::queueSoundEvent(const avm1::Value& target, const char* method, std::vector<avm1::Value> args) {
    soundEvents_.push_back({target, method, std::move(args)});
}

void Engine::followStreams() {
    if (!definition_.hasSound() && loaded_.empty()) return;
    forEachTimeline([this](const TimelineInstance& t) {
        if (t.removed || t.timeline == nullptr || !t.timeline->stream || t.frame < 0 ||
            t.frame >= static_cast<int>(t.timeline->frames.size())) {
            return;
        }
        sound_.streamFrame(t.handle, *t.timeline->stream, t.frame,
                           t.timeline->frames[static_cast<size_t>(t.frame)].streamBlock);
    });
    sound_.endStep();
}

void Engine::runClipFrame(TimelineInstance& t) {
    const bool first = !t.initialized;
    t.initialized = true;
    queueClipEvent(t, first ? clip_event::kLoad : clip_event::kEnterFrame);
    const uint32_t handle = t.handle;
    if (t.playing && t.timeline != nullptr && !t.timeline->frames.empty()) {
        const int count = static_cast<int>(t.timeline->frames.size());
        const int next = t.frame + 1;
        if (next < count) {
            runFrame(t, next, true);
        } else if (count > 1 && (t.timeline->loops || t.parent == nullptr)) {
            seek(t, 0);  // looping
        }
    }
    // The onLoad method comes after the first frame's scripts, which may be what define it.
    if (first) queued_.push_back({handle, nullptr, "onLoad"});
}

std::map<int32_t, DisplayObject>::iterator Engine::removeObject(std::map<int32_t, DisplayObject>& list,
                                                                std::map<int32_t, DisplayObject>::iterator it,
                                                                bool deferred) {
    TimelineInstance* sprite = it->second.sprite();
    // A clip with unload handlers (its own or below it) stays on the list until they have
    // run, at the mirrored depth (script depth d goes to -32769 - d), where scripts still
    // find it by name and depth, as in the reference players.
    if (deferred && sprite != nullptr && !sprite->unloadQueued && hasUnloadHandler(*sprite)) {
        const int32_t mirrored = -1 - it->first;
        if (list.find(mirrored) == list.end()) {
            queueUnload(*sprite, false);
            pendingRemoval_.push_back(weakTimeline(sprite->handle));
            auto next = std::next(it);
            auto node = list.extract(it);
            node.key() = mirrored;
            list.insert(std::move(node));
            return next;
        }
    }
    discard(it->second);
    if (sprite != nullptr) {
        queueUnload(*sprite, true);
        keepAside(std::move(it->second));
    }
    return list.erase(it);
}

void Engine::keepAside(DisplayObject&& object) {
    // At a new address, which its timeline is told, until the step ends.
    DisplayObject& kept = unloading_.emplace_back(std::move(object));
    kept.sprite()->object = &kept;
}

bool Engine::hasUnloadHandler(const TimelineInstance& t) const {
    if (t.object != nullptr && t.object->clipActions) {
        for (const ClipAction& a : *t.object->clipActions) {
            if ((a.events & clip_event::kUnload) != 0) return true;
        }
    }
    if (machine_->hasMember(avm1::Value::Clip(t.handle), "onUnload")) return true;
    for (const auto& [depth, child] : t.displayList) {
        if (const TimelineInstance* sprite = child.sprite(); sprite != nullptr && hasUnloadHandler(*sprite)) return true;
    }
    return false;
}

void Engine::queueUnload(TimelineInstance& t, bool hide) {
    if (hide) t.removed = true;
    for (auto& [depth, child] : t.displayList) {
        if (TimelineInstance* sprite = child.sprite()) queueUnload(*sprite, hide);
    }
    if (t.unloadQueued) return;
    t.unloadQueued = true;
    if (t.object != nullptr && t.object->clipActions) {
        for (const ClipAction& a : *t.object->clipActions) {
            if ((a.events & clip_event::kUnload) != 0) queued_.push_back({t.handle, &a.code, nullptr, true});
        }
    }
    queued_.push_back({t.handle, nullptr, "onUnload", true});
}

void Engine::queueClipEvent(TimelineInstance& t, uint32_t event) {
    if (t.object == nullptr) return;
    // Each event is its own pass over the handlers: a handler of initialize and construct
    // runs once for each. Initialize events go first, construct events after every pending
    // initialize, then the rest in order.
    // An exported sprite's clip takes its registered class's prototype before its construct
    // handlers run, and the constructor after them; the class is looked up when they run, so
    // one registered by the frame's init actions counts.
    const bool exported = (event & clip_event::kConstruct) != 0 && t.object->character != nullptr &&
                          t.object->character->kind() == Character::Kind::kSprite &&
                          t.parent != nullptr && movieOf(*t.parent).exportName(t.object->characterId) != nullptr;
    if (exported) constructs_.push_back({t.handle, nullptr, nullptr, false, true});
    if (t.object->clipActions) {
        for (const uint32_t one : {clip_event::kInitialize, clip_event::kConstruct, event & ~(clip_event::kInitialize | clip_event::kConstruct)}) {
            if ((event & one) == 0) continue;
            std::deque<QueuedScript>& queue = one == clip_event::kInitialize ? urgent_ : one == clip_event::kConstruct ? constructs_ : queued_;
            for (const ClipAction& a : *t.object->clipActions) {
                if ((a.events & one) != 0) queue.push_back({t.handle, &a.code});
            }
        }
    }
    // Then the clip's method for the event, when it has one by the time it runs.
    if ((event & clip_event::kEnterFrame) != 0) queued_.push_back({t.handle, nullptr, "onEnterFrame"});
    if (exported) constructs_.push_back({t.handle, nullptr, nullptr});
}

avm1::Value Engine::classOf(const DisplayObject& object) const {
    if (object.character == nullptr || object.character->kind() != Character::Kind::kSprite) return {};
    const TimelineInstance* t = object.sprite();
    if (t == nullptr || t->parent == nullptr) return {};
    const std::string* name = movieOf(*t->parent).exportName(object.characterId);
    return name != nullptr ? machine_->registeredClass(*name) : avm1::Value();
}

void Engine::runScripts() {
    ++scriptsRunning_;
    while (!urgent_.empty() || !constructs_.empty() || !queued_.empty()) {
        std::deque<QueuedScript>& from = !urgent_.empty() ? urgent_ : !constructs_.empty() ? constructs_ : queued_;
        const QueuedScript s = from.front();
        from.pop_front();
        if (machine_->budgetSpent()) continue;  // the machine said so once; the rest are dropped
        unloadingNow_ = s.unload ? s.clip : 0;
        const TimelineInstance* t = ownTimeline(s.clip);
        if (t == nullptr) continue;
        // A clip on its way out hears nothing but its unload.
        if (t->unloadQueued && !s.unload) continue;
        if (s.code != nullptr) {
            machine_->run(*s.code, s.clip);
        } else if (s.loader.type() == avm1::Type::kObject) {
            machine_->callMethod(s.loader, "broadcastMessage", {avm1::Value::String(s.method), avm1::Value::Clip(s.clip)});
        } else if (s.method != nullptr) {
            machine_->runMethod(s.clip, s.method);
        } else if (t->object != nullptr && s.prototypeOnly) {
            machine_->adoptClass(s.clip, classOf(*t->object));
        } else if (t->object != nullptr) {
            machine_->constructClip(s.clip, classOf(*t->object), avm1::Value());
        }
    }
    unloadingNow_ = 0;
    --scriptsRunning_;
}

TimelineInstance* Engine::makeClip(TimelineInstance& parent, int32_t depth, const Character* sprite, uint16_t id,
                                   std::string name) {
    if (displayLocked()) return nullptr;
    if (sprite == nullptr) {
        sprite = &emptySprite_;
        id = 0;
    }
    if (sprite->kind() != Character::Kind::kSprite) return nullptr;
    if (parent.nesting + 1 >= kMaxSpriteNesting) {
        if (!nestingReported_) {
            nestingReported_ = true;
            log("sprites nest deeper than " + std::to_string(kMaxSpriteNesting) +
                " (kMaxSpriteNesting): the deeper ones show nothing");
        }
        return nullptr;
    }
    DisplayObject* slot = scriptSlot(parent, depth);
    if (slot == nullptr) return nullptr;
    DisplayObject& object = *slot;
    object.characterId = id;
    object.character = sprite;
    object.name = std::move(name);
    object.content = std::make_shared<TimelineInstance>();
    startInstance(*object.sprite(), &parent, &object, &sprite->timeline());
    recordOrigin(*object.sprite());
    return object.sprite();
}

bool Engine::admitObject() {
    if (objects_ < kMaxDisplayObjects) return true;
    if (!objectsReported_) {
        objectsReported_ = true;
        log("the display holds " + std::to_string(kMaxDisplayObjects) + " objects (kMaxDisplayObjects): no more are placed");
    }
    return false;
}

DisplayObject* Engine::scriptSlot(TimelineInstance& parent, int32_t depth) {
    auto existing = parent.displayList.find(depth);
    if (existing == parent.displayList.end() && !admitObject()) return nullptr;
    if (existing != parent.displayList.end()) removeObject(parent.displayList, existing);
    ++objects_;
    DisplayObject& object = parent.displayList[depth];
    object.scripted = true;
    object.placedFrame = parent.frame;
    return &object;
}

void Engine::startTextRecord(TimelineInstance& parent, DisplayObject& field) {
    DisplayObject::EditTextState* text = field.editText();
    DisplayObject::VideoState* video = field.videoState();
    if (text == nullptr && video == nullptr) return;
    std::shared_ptr<TimelineInstance>& record = text != nullptr ? text->record : video->record;
    record = std::make_shared<TimelineInstance>();
    TimelineInstance& r = *record;
    r.handle = nextHandle_++;
    r.parent = &parent;
    r.object = &field;
    r.nesting = parent.nesting + 1;
    r.playing = false;
    r.initialized = true;
    instances_[r.handle] = record;
}

TimelineInstance* Engine::makeTextField(TimelineInstance& parent, int32_t depth, std::string name, const swf::Rect& bounds) {
    if (displayLocked() || parent.timeline == nullptr) return nullptr;
    DisplayObject* slot = scriptSlot(parent, depth);
    if (slot == nullptr) return nullptr;
    // The reference players' field: Times New Roman at 12 px in black, one line, selectable.
    EditTextDefinition field;
    field.bounds = {0, std::max(bounds.xMax - bounds.xMin, 0), 0, std::max(bounds.yMax - bounds.yMin, 0)};
    field.fontName = "Times New Roman";
    field.readOnly = true;
    DisplayObject& object = *slot;
    object.name = std::move(name);
    object.matrix.translateX = bounds.xMin;
    object.matrix.translateY = bounds.yMin;
    DisplayObject::EditTextState state;
    state.own = std::make_shared<Character>(Character::Data(std::move(field)));
    object.character = state.own.get();
    object.content = std::move(state);
    startTextRecord(parent, object);
    recordOrigin(*object.editText()->record);
    return object.editText()->record.get();
}

bool Engine::attachBitmap(TimelineInstance& parent, int32_t depth, std::shared_ptr<avm1::ScriptBitmap> pixels, bool smoothing) {
    if (displayLocked() || parent.timeline == nullptr || pixels == nullptr) return false;
    DisplayObject* slot = scriptSlot(parent, depth);
    if (slot == nullptr) return false;
    ShapeGeometry geometry = PictureRectangle(pixels->width, pixels->height, smoothing);
    DisplayObject::ScriptBitmapState state{std::move(pixels), std::make_shared<Character>(Character::Data(std::move(geometry)))};
    slot->character = state.shape.get();
    slot->content = std::move(state);
    return true;
}

void Engine::drawInto(avm1::ScriptBitmap& into, const DisplayObject& source, const raster::Matrix& matrix,
                      const swf::ColorTransform& cx, const int64_t* clip, bool smoothing) {
    if (into.width <= 0 || into.height <= 0) return;
    std::vector<uint32_t> drawn(static_cast<size_t>(into.width) * static_cast<size_t>(into.height));
    const raster::Target target = raster::Target::TopDown(drawn.data(), into.width, into.height,
                                                          static_cast<ptrdiff_t>(into.width) * 4);
    renderer_.drawInto(source, target, matrix, raster::ColorTransform().after(ToRasterTransform(cx)), smoothing);
    int64_t x0 = 0, y0 = 0, x1 = into.width, y1 = into.height;
    if (clip != nullptr) {
        x0 = std::max<int64_t>(x0, clip[0]);
        y0 = std::max<int64_t>(y0, clip[1]);
        x1 = std::min<int64_t>(x1, clip[0] + clip[2]);
        y1 = std::min<int64_t>(y1, clip[1] + clip[3]);
    }
    for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x = x0; x < x1; ++x) {
            const size_t i = static_cast<size_t>(y * into.width + x);
            uint32_t out = raster::Over(into.pixels[i], drawn[i]);
            if (!into.transparent) out |= 0xFF000000u;
            into.pixels[i] = out;
        }
    }
}

std::shared_ptr<avm1::ScriptBitmap> Engine::libraryBitmap(const TimelineInstance& from, std::string_view linkage) const {
    const MovieDefinition& movie = movieOf(from);
    const uint16_t id = exportedCharacter(from, linkage);
    const raster::Bitmap* b = id != 0 ? movie.bitmap(id) : nullptr;
    if (b == nullptr || b->empty()) return nullptr;
    auto out = std::make_shared<avm1::ScriptBitmap>();
    out->width = b->width;
    out->height = b->height;
    out->pixels.reserve(static_cast<size_t>(b->width) * static_cast<size_t>(b->height));
    for (int y = 0; y < b->height; ++y) {
        for (int x = 0; x < b->width; ++x) out->pixels.push_back(b->at(x, y));
    }
    return out;
}

EditTextDefinition* Engine::editableText(DisplayObject& field) {
    DisplayObject::EditTextState* state = field.editText();
    if (state == nullptr || field.character == nullptr || field.character->kind() != Character::Kind::kEditText) {
        return nullptr;
    }
    if (!state->own) {
        state->own = std::make_shared<Character>(*field.character);
        field.character = state->own.get();
    }
    state->changed = true;
    return &state->own->as<EditTextDefinition>();
}

void Engine::startClip(TimelineInstance& clip, const avm1::Value& initObject) {
    if (clip.object == nullptr) return;
    const uint32_t handle = clip.handle;
    queueClipEvent(clip, clip_event::kInitialize);
    // Its first frame's objects are placed first (its scripts wait in the queue); then a clip
    // made by a script is constructed at once, with the init object's properties first.
    runClipFrame(clip);
    const avm1::Value ctor = classOf(*clip.object);
    if (ownTimeline(handle) != nullptr && (ctor.type() == avm1::Type::kObject || initObject.type() == avm1::Type::kObject)) {
        machine_->constructClip(handle, ctor, initObject);
    }
}

bool Engine::keyOf(const TimelineInstance& clip, int32_t& key) const {
    if (clip.parent == nullptr || clip.object == nullptr) return false;
    for (const auto& [depth, object] : clip.parent->displayList) {
        if (&object == clip.object) {
            key = depth;
            return true;
        }
    }
    return false;
}

bool Engine::boundsInParent(const DisplayObject& object, swf::Rect& out) {
    swf::Rect local;
    if (!BoundsOf(object, morphs_, local, 0)) return false;
    bool any = false;
    IncludeTransformed(local, object.matrix, out, any);
    return true;
}

bool Engine::localBounds(const DisplayObject& object, swf::Rect& out) { return BoundsOf(object, morphs_, out, 0); }

bool Engine::hitsShape(const DisplayObject& object, double x, double y) { return HitsShape(object, morphs_, x, y); }

bool Engine::removeClip(TimelineInstance& clip) {
    int32_t key = 0;
    if (displayLocked() || !keyOf(clip, key)) return false;
    TimelineInstance& parent = *clip.parent;
    removeObject(parent.displayList, parent.displayList.find(key));
    return true;
}

bool Engine::moveClip(TimelineInstance& clip, int32_t depth) {
    int32_t key = 0;
    if (displayLocked() || !keyOf(clip, key)) return false;
    if (key == depth) return true;
    auto& list = clip.parent->displayList;
    // Nodes move between keys without moving the objects they hold: pointers to them stay good.
    auto node = list.extract(key);
    node.mapped().scripted = true;
    // A clip a script moved between depths is the script's: the timeline's moves leave it.
    node.mapped().transformedByScript = true;
    if (auto other = list.extract(depth)) {
        other.key() = key;
        other.mapped().scripted = true;
        list.insert(std::move(other));
    }
    node.key() = depth;
    list.insert(std::move(node));
    return true;
}

uint16_t Engine::exportedCharacter(const TimelineInstance& from, std::string_view linkage) const {
    const MovieDefinition& movie = movieOf(from);
    const int frame = movie.exportFrame(linkage);
    if (frame < 0) return 0;
    auto it = framesReached_.find(&movie);
    return it != framesReached_.end() && it->second >= frame ? movie.exported(linkage) : 0;
}

// Init actions run once each, ahead of the frame's other scripts.
void Engine::queueInitScripts(const TimelineInstance& t, const Frame& f) {
    for (const InitScript& init : f.initScripts) {
        if (initDone_.insert(init.spriteId).second) urgent_.push_back({t.handle, &init.code});
    }
}

// Runs a frame's commands; with `scripts`, its scripts are queued in their places among
// them and its init actions ahead of everything.
void Engine::runFrame(TimelineInstance& t, int frame, bool scripts) {
    if (t.timeline == nullptr || frame < 0 || frame >= static_cast<int>(t.timeline->frames.size())) return;
    const Frame& f = t.timeline->frames[static_cast<size_t>(frame)];
    t.frame = frame;
    if (const MovieDefinition& movie = movieOf(t); t.timeline == &movie.timeline()) {
        int& reached = framesReached_[&movie];
        reached = std::max(reached, frame);
    }
    const uint32_t handle = t.handle;
    if (scripts) {
        queueInitScripts(t, f);
        startSounds(t, f);
    }
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
void Engine::seek(TimelineInstance& t, int frame) {
    if (t.timeline == nullptr || t.timeline->frames.empty()) return;
    frame = std::clamp(frame, 0, static_cast<int>(t.timeline->frames.size()) - 1);
    if (frame == t.frame) return;
    if (frame > t.frame) {
        for (int f = t.frame + 1; f <= frame; ++f) runFrame(t, f, f == frame);
        return;
    }
    // What each depth holds at the frame, and the frame that placed it there.
    std::map<int32_t, std::pair<PlaceCommand, int>> state;
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
                OverlayPlacement(it->second.first, c);
            }
        }
    }
    // An object stays when the same placement put it there: same character, same frame.
    for (auto it = t.displayList.begin(); it != t.displayList.end();) {
        auto s = state.find(it->first);
        // What scripts made or moved stays, unless it lies among the timeline's depths (a
        // script depth below 0), which going back clears as the reference players do.
        const bool stays = (it->second.scripted && it->first >= kScriptDepthOffset) ||
                           (s != state.end() && s->second.first.characterId &&
                            *s->second.first.characterId == it->second.characterId && s->second.second == it->second.placedFrame);
        if (stays) {
            ++it;
        } else {
            it = removeObject(t.displayList, it);
        }
    }
    t.frame = frame;
    const uint32_t handle = t.handle;
    const Frame& target = t.timeline->frames[static_cast<size_t>(frame)];
    queueInitScripts(t, target);
    startSounds(t, target);
    for (auto& [depth, placed] : state) {
        placed.first.move = t.displayList.count(depth) != 0;
        apply(t, placed.first, placed.second);
    }
    for (const FrameScript& s : target.scripts) queued_.push_back({handle, &s.code});
    if (t.parent == nullptr && background && !backgroundSet_) background_ = {background->r, background->g, background->b, 255};
}

void Engine::apply(TimelineInstance& t, const PlaceCommand& c, int placedFrame) {
    if (c.remove) {
        if (auto it = t.displayList.find(c.depth); it != t.displayList.end()) removeObject(t.displayList, it);
        return;
    }
    auto existing = t.displayList.find(c.depth);
    const bool modify = c.move && existing != t.displayList.end();
    if (c.move && !modify && !c.characterId) return;  // nothing to move there
    if (!c.move && existing != t.displayList.end()) {
        // A placement onto a depth that is taken fails, and the reference players say so
        // where trace() prints.
        trace("Warning: Failed to place object at depth " + std::to_string(c.depth) + ".");
        return;
    }
    if (existing == t.displayList.end()) {
        // Sprites that place themselves, or many of each other, would grow without end.
        if (!admitObject()) return;
        ++objects_;
    }
    DisplayObject& object = modify ? existing->second : t.displayList[c.depth];
    if (!modify) {
        if (existing != t.displayList.end()) discardChildren(object);
        object = DisplayObject();
        object.placedFrame = placedFrame < 0 ? t.frame : placedFrame;
    }
    bool spawned = false;
    if (c.characterId && (!modify || object.characterId != *c.characterId)) {
        const Character* character = movieOf(t).character(*c.characterId);
        object.characterId = *c.characterId;
        object.character = character;
        object.placedFrame = placedFrame < 0 ? t.frame : placedFrame;
        discardChildren(object);
        // A sprite replaced in place unloads as a removed one does; its timeline is kept until
        // its handlers (and those of its children kept aside) have run.
        if (auto* old = std::get_if<std::shared_ptr<TimelineInstance>>(&object.content); old != nullptr && *old) {
            queueUnload(**old, true);
            replaced_.push_back(std::move(*old));
        }
        object.content = std::monostate();
        if (character != nullptr &&
            (character->kind() == Character::Kind::kSprite || character->kind() == Character::Kind::kButton) &&
            t.nesting < kMaxSpriteNesting) {
            object.content = std::make_shared<TimelineInstance>();
            startInstance(*object.sprite(), &t, &object, &character->timeline());
            spawned = true;
        } else if (character != nullptr && character->kind() == Character::Kind::kEditText) {
            object.content = DisplayObject::EditTextState{character->edit().initialText, {}, {}};
            startTextRecord(t, object);
        } else if (character != nullptr && character->kind() == Character::Kind::kVideo) {
            object.content = DisplayObject::VideoState{};
            startTextRecord(t, object);
        } else if (character != nullptr && character->kind() == Character::Kind::kSprite && !nestingReported_) {
            nestingReported_ = true;
            log("sprites nest deeper than " + std::to_string(kMaxSpriteNesting) +
                " (kMaxSpriteNesting): the deeper ones show nothing");
        }
    }
    if (modify && object.transformedByScript && (c.matrix || c.colorTransform)) {
        // A script moved it: the timeline's moves no longer change where it is or its colour.
        Placement kept = c;
        kept.matrix.reset();
        kept.colorTransform.reset();
        ApplyPlacement(object, kept);
    } else {
        ApplyPlacement(object, c);
    }
    // What scripts can reach is never nameless: the players call it "instance" and a number.
    if (!modify && object.name.empty() && (object.sprite() != nullptr || object.editText() != nullptr || object.videoState() != nullptr)) {
        object.name = "instance" + std::to_string(nextInstanceName_++);
    }
    if (!modify) {
        if (const TimelineInstance* sprite = object.sprite()) recordOrigin(*sprite);
        if (const DisplayObject::EditTextState* text = object.editText(); text != nullptr && text->record) recordOrigin(*text->record);
        if (const DisplayObject::VideoState* video = object.videoState(); video != nullptr && video->record) recordOrigin(*video->record);
    }
    if (!modify && object.character != nullptr && object.character->kind() == Character::Kind::kEditText) {
        const EditTextDefinition& field = object.character->edit();
        avm1::Value bound;
        if (!field.variable.empty() && !machine_->readVariable(t.handle, field.variable, bound)) {
            machine_->writeVariable(t.handle, field.variable, avm1::Value::String(field.initialText));
        }
    }
    if (spawned) {
        // A new timeline: its initialize events first, then its first frame at once.
        TimelineInstance& child = *object.sprite();
        queueClipEvent(child, clip_event::kInitialize | clip_event::kConstruct);
        runClipFrame(child);
    }
}

void Engine::showBoundText(TimelineInstance& t) {
    for (auto& [depth, object] : t.displayList) {
        if (TimelineInstance* sprite = object.sprite()) {
            showBoundText(*sprite);
        } else if (object.character != nullptr && object.character->kind() == Character::Kind::kEditText &&
                   !object.character->edit().variable.empty()) {
            avm1::Value bound;
            if (machine_->readVariable(t.handle, object.character->edit().variable, bound)) {
                if (DisplayObject::EditTextState* state = object.editText()) state->text = machine_->toString(bound);
            }
        }
    }
}

void Engine::draw(const raster::Target& target, bool transparent, bool antiAlias) {
    const raster::Rgba clear = transparent ? raster::Rgba{0, 0, 0, 0} : raster::Rgba{background_.r, background_.g, background_.b, 255};
    renderer_.draw(root_, levels_, target, clear, antiAlias);
}

void Engine::drawOverBackground(const raster::Target& target) {
    draw(target, true, true);
    const uint32_t background = raster::PremultipliedWord(background_);
    for (int y = 0; y < target.height; ++y) {
        uint32_t* row = target.row(y);
        for (int x = 0; x < target.width; ++x) row[x] = raster::Over(background, row[x]);
    }
}

// --- movies and text from files beside the movie ---

namespace {

// Whether a URL names a file at or below the movie's folder: relative, without a scheme, a
// drive or a step up.
bool BesideTheMovie(std::string_view path) {
    if (path.empty() || path[0] == '/' || path[0] == '\\') return false;
    if (path.find(':') != std::string_view::npos) return false;
    size_t i = 0;
    while (i <= path.size()) {
        size_t end = path.find_first_of("/\\", i);
        if (end == std::string_view::npos) end = path.size();
        if (path.substr(i, end - i) == "..") return false;
        i = end + 1;
    }
    return true;
}

}  // namespace

bool Engine::readFile(std::string_view url, std::string& out, std::string& reason) const {
    // What follows ? or # is for a server: the file is what comes before.
    std::string_view path = url.substr(0, url.find_first_of("?#"));
    if (path.size() >= 8 && base::SameNoCase(path.substr(0, 8), "file:///")) {
        reason = "only files beside the movie, named relative to it, are read";
        return false;
    }
    if (path.find("://") != std::string_view::npos) {
        reason = "nothing is fetched from the network";
        return false;
    }
    if (!folder_) {
        reason = "the movie was not read from a file";
        return false;
    }
    if (!BesideTheMovie(path)) {
        reason = "only files beside the movie, named relative to it, are read";
        return false;
    }
    std::vector<uint8_t> data;
    const std::string file = *folder_ + std::string(path);
    switch (base::ReadWholeFile(file.c_str(), kMaxLoadedFileBytes, data)) {
        case base::FileRead::kOk: break;
        case base::FileRead::kCannotOpen: reason = "cannot open " + file + ": " + base::ReadProblem(file.c_str()); return false;
        case base::FileRead::kTooLarge:
            reason = "larger than the limit of " + std::to_string(kMaxLoadedFileBytes) + " bytes (kMaxLoadedFileBytes)";
            return false;
        case base::FileRead::kFailed: reason = "cannot read " + file + ": " + base::ReadProblem(file.c_str()); return false;
    }
    out.assign(data.begin(), data.end());
    return true;
}

const MovieDefinition* Engine::definitionOf(const std::string& bytes, const std::string& key) {
    if (auto it = loaded_.find(key); it != loaded_.end()) return it->second.get();
    if (loaded_.size() >= kMaxLoadedMovies) {
        log("scripts loaded " + std::to_string(kMaxLoadedMovies) + " movies (kMaxLoadedMovies): " + key + " is not loaded");
        return nullptr;
    }
    swf::SwfFile file;
    std::string error;
    // The movies scripts load share the budgets with the movie itself: each takes what the
    // others left.
    uint64_t bitmaps = definition_.bitmapBytes(), definitions = definition_.definitionBytes();
    for (const auto& [name, other] : loaded_) {
        bitmaps += other->bitmapBytes();
        definitions += other->definitionBytes();
    }
    auto definition = std::make_unique<MovieDefinition>();
    definition->setBitmapBudget(bitmapBudget_ > bitmaps ? bitmapBudget_ - bitmaps : 0);
    definition->setDefinitionBudget(definitionBudget_ > definitions ? definitionBudget_ - definitions : 0);
    if (!swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error) ||
        !definition->load(file, error)) {
        log("the loaded file " + key + " is no movie: " + error);
        return nullptr;
    }
    for (const std::string& w : definition->warnings()) log(key + ": " + w);
    return loaded_.emplace(key, std::move(definition)).first->second.get();
}

void Engine::emptyTimeline(TimelineInstance& t) {
    for (auto it = t.displayList.begin(); it != t.displayList.end();) it = removeObject(t.displayList, it, false);
    // _lockroot belongs to the clip, not to the movie in it.
    std::optional<TimelineInstance::Variable> lockRoot;
    for (auto& [key, variable] : t.variables) {
        if (base::SameNoCase(key, "_lockroot")) lockRoot = variable;
    }
    t.variables.clear();
    if (lockRoot) t.variables.emplace(lockRoot->name, *lockRoot);
    t.drawing.reset();
    t.prototype = {};
}

TimelineInstance* Engine::loadMovie(TimelineInstance* clip, int level, const std::string& bytes, std::string_view url,
                                    const avm1::Value& loader) {
    const std::string key(url.substr(0, url.find_first_of("?#")));
    const MovieDefinition* movie = definitionOf(bytes, key);
    TimelineInstance* t = clip;
    if (t == nullptr) {
        if (level <= 0) {
            t = root_.sprite();
        } else if (auto it = levels_.find(level); it != levels_.end()) {
            t = it->second.sprite();
        } else {
            if (!admitObject()) return nullptr;
            ++objects_;
            DisplayObject& object = levels_[level];
            object.content = std::make_shared<TimelineInstance>();
            startInstance(*object.sprite(), nullptr, &object, nullptr);
            object.sprite()->level = level;
            recordOrigin(*object.sprite());
            t = object.sprite();
        }
    }
    if (t == nullptr) return nullptr;
    emptyTimeline(*t);
    t->timeline = movie != nullptr ? &movie->timeline() : &emptySprite_.timeline();
    t->movie = movie;
    t->frame = -1;
    t->playing = true;
    t->initialized = false;
    // The new movie runs its frames as a timeline placed now does: ahead of the others.
    execution_.erase(std::remove(execution_.begin(), execution_.end(), t->handle), execution_.end());
    execution_.push_front(t->handle);
    // Variables the URL's query names go onto the movie's timeline.
    if (const size_t q = url.find('?'); q != std::string_view::npos) {
        std::string_view query = url.substr(q + 1);
        query = query.substr(0, query.find('#'));
        machine_->decodeVariables(avm1::Value::Clip(t->handle), query);
    }
    if (loader.type() == avm1::Type::kObject) loadInits_[t->handle] = loader;
    return t;
}

void Engine::unloadMovie(TimelineInstance* clip, int level) {
    if (clip == nullptr) {
        auto it = levels_.find(level);
        if (level <= 0 || it == levels_.end()) {
            if (level == 0 && root_.sprite() != nullptr) unloadMovie(root_.sprite(), -1);
            return;
        }
        discard(it->second);
        if (TimelineInstance* t = it->second.sprite()) {
            queueUnload(*t, true);
            keepAside(std::move(it->second));
        }
        levels_.erase(it);
        return;
    }
    // The clip stays, empty; its unload handlers run first, while what they use is there.
    const uint32_t handle = clip->handle;
    if (clip->object != nullptr && clip->object->clipActions) {
        const auto actions = clip->object->clipActions;
        for (const ClipAction& a : *actions) {
            if ((a.events & clip_event::kUnload) != 0) machine_->run(a.code, handle);
        }
    }
    machine_->runMethod(handle, "onUnload");
    clip = ownTimeline(handle);
    if (clip == nullptr) return;
    emptyTimeline(*clip);
    clip->timeline = &emptySprite_.timeline();
    clip->movie = nullptr;
    clip->frame = -1;
    loadInits_.erase(clip->handle);
}

TimelineInstance* Engine::level(int n) const {
    if (n == 0) return root_.sprite();
    auto it = levels_.find(n);
    return it != levels_.end() ? it->second.sprite() : nullptr;
}

void Engine::dataLoaded(TimelineInstance& t) {
    queueClipEvent(t, clip_event::kData);
    queued_.push_back({t.handle, nullptr, "onData"});
}

void Engine::traceLoaders(avm1::Tracer& tracer) const {
    for (const auto& [handle, loader] : loadInits_) tracer.value(loader);
    for (const auto& [voice, listener] : soundListeners_) tracer.value(listener);
    for (const auto& [stream, listener] : netListeners_) tracer.value(listener);
    for (const SoundEvent& e : soundEvents_) {
        tracer.value(e.target);
        for (const avm1::Value& v : e.args) tracer.value(v);
    }
    for (const auto* queue : {&urgent_, &constructs_, &queued_}) {
        for (const QueuedScript& s : *queue) tracer.value(s.loader);
    }
}

}  // namespace movie
