#include "movie/script_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/names.h"
#include "base/utf8.h"
#include "movie/engine.h"

namespace movie {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The slash path of _target: "/" for the main timeline, "/a/b" below it.
// The root of level N (N > 0) is "_levelN"; level 0's is "/".
std::string SlashPath(const TimelineInstance* t) {
    std::string out;
    for (; t != nullptr && t->parent != nullptr; t = t->parent) {
        out = "/" + (t->object != nullptr ? t->object->name : std::string()) + out;
    }
    if (t != nullptr && t->level > 0) return "_level" + std::to_string(t->level) + out;
    return out.empty() ? "/" : out;
}

// A matrix as _xscale, _yscale and _rotation see it: the lengths of its two axes and the
// angle of its x axis (radians). Skew is not kept: setting any of them makes a matrix of
// these three alone.
struct MatrixParts {
    double xscale, yscale, rotation;
};

MatrixParts Decompose(const swf::Matrix& m) {
    return {std::hypot(m.scaleX, m.rotateSkew0), std::hypot(m.rotateSkew1, m.scaleY), std::atan2(m.rotateSkew0, m.scaleX)};
}

void Recompose(swf::Matrix& m, MatrixParts p) {
    p.xscale = std::clamp(p.xscale, -32768.0, 32767.0);
    p.yscale = std::clamp(p.yscale, -32768.0, 32767.0);
    m.scaleX = static_cast<float>(p.xscale * std::cos(p.rotation));
    m.rotateSkew0 = static_cast<float>(p.xscale * std::sin(p.rotation));
    m.rotateSkew1 = static_cast<float>(-p.yscale * std::sin(p.rotation));
    m.scaleY = static_cast<float>(p.yscale * std::cos(p.rotation));
}

// The parts as a script last set them, else as the matrix has them.
MatrixParts PartsOf(const DisplayObject& o) {
    if (o.scriptTransform) return {(*o.scriptTransform)[0], (*o.scriptTransform)[1], (*o.scriptTransform)[2] * kPi / 180};
    return Decompose(o.matrix);
}

double RotationDegrees(const DisplayObject& o) {
    return o.scriptTransform ? (*o.scriptTransform)[2] : Decompose(o.matrix).rotation * 180.0 / kPi;
}

}  // namespace

bool ScriptHost::caseSensitive() const { return engine_.definition().version() >= 7; }

std::string ScriptHost::key(std::string_view name) const {
    return caseSensitive() ? std::string(name) : base::LowerCase(name);
}

uint32_t ScriptHost::root() {
    const TimelineInstance* t = engine_.rootTimeline();
    return t != nullptr ? t->handle : 0;
}

uint32_t ScriptHost::parent(uint32_t clip) {
    const TimelineInstance* t = engine_.timeline(clip);
    return t != nullptr && t->parent != nullptr ? t->parent->handle : 0;
}

uint32_t ScriptHost::child(uint32_t clip, std::string_view name) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || name.empty()) return 0;
    const bool exact = caseSensitive();
    for (const auto& [depth, object] : t->displayList) {
        if (!(exact ? object.name == name : base::SameNoCase(object.name, name)) || object.character == nullptr) continue;
        if (object.sprite() != nullptr) return object.sprite()->handle;  // a sprite's or a button's
        if (const DisplayObject::EditTextState* text = object.editText(); text != nullptr && text->record) {
            return text->record->handle;
        }
        if (const DisplayObject::VideoState* video = object.videoState(); video != nullptr && video->record) {
            return video->record->handle;
        }
        // A named object scripts cannot reach (a shape, static text, a bitmap) answers with its
        // parent, as in the reference players.
        return clip;
    }
    return 0;
}

bool ScriptHost::exists(uint32_t clip) { return engine_.timeline(clip) != nullptr; }

bool ScriptHost::removed(uint32_t clip) {
    const TimelineInstance* t = engine_.timeline(clip);
    return t == nullptr || t->removed;
}

bool ScriptHost::getVariable(uint32_t clip, std::string_view name, avm1::Value& out) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return false;
    auto it = t->variables.find(key(name));
    if (it == t->variables.end()) return false;
    out = it->second.value;
    return true;
}

void ScriptHost::setVariable(uint32_t clip, std::string_view name, const avm1::Value& value) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return;
    std::string k = key(name);
    auto it = t->variables.find(k);
    if (it != t->variables.end()) {
        it->second.value = value;
    } else if (t->variables.size() < avm1::kMaxVariablesPerClip) {
        t->variables.emplace(std::move(k), TimelineInstance::Variable{value, std::string(name), t->nextSerial++});
    } else if (!variablesReported_) {
        variablesReported_ = true;
        engine_.log("ActionScript: a timeline holds " + std::to_string(avm1::kMaxVariablesPerClip) +
                    " variables (kMaxVariablesPerClip): no more are made");
    }
}

std::vector<std::string> ScriptHost::variableNames(uint32_t clip) {
    std::vector<std::string> names;
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return names;
    // The variables newest first, then the named objects of its display list from the top.
    std::vector<const TimelineInstance::Variable*> order;
    for (const auto& [k, v] : t->variables) order.push_back(&v);
    std::sort(order.begin(), order.end(), [](const auto* a, const auto* b) { return a->serial > b->serial; });
    for (const auto* v : order) names.push_back(v->name);
    for (auto it = t->displayList.rbegin(); it != t->displayList.rend(); ++it) {
        if (!it->second.name.empty() && it->second.character != nullptr) names.push_back(it->second.name);
    }
    return names;
}

bool ScriptHost::deleteVariable(uint32_t clip, std::string_view name) {
    TimelineInstance* t = engine_.timeline(clip);
    return t != nullptr && t->variables.erase(key(name)) > 0;
}

avm1::Value ScriptHost::getProperty(uint32_t clip, int property) {
    using avm1::Value;
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return Value();
    const DisplayObject& o = *t->object;
    const swf::Matrix& m = o.matrix;
    switch (property) {
        case avm1::kPropX: return Value::Number(m.translateX / 20.0);
        case avm1::kPropY: return Value::Number(m.translateY / 20.0);
        case avm1::kPropXScale: return Value::Number(PartsOf(o).xscale * 100.0);
        case avm1::kPropYScale: return Value::Number(PartsOf(o).yscale * 100.0);
        case avm1::kPropRotation: return Value::Number(RotationDegrees(o));
        case avm1::kPropAlpha: return Value::Number(o.colorTransform.mulA * 100.0 / 256.0);
        case avm1::kPropVisible:
            return engine_.definition().version() >= 5 ? Value::Bool(o.visible) : Value::Number(o.visible ? 1 : 0);
        case avm1::kPropCurrentFrame: return Value::Number(std::max(t->frame, 0) + 1);
        case avm1::kPropTotalFrames:
        case avm1::kPropFramesLoaded: return Value::Number(totalFrames(clip));
        case avm1::kPropName: return Value::String(name(clip));
        case avm1::kPropTarget: return Value::String(SlashPath(t));
        case avm1::kPropQuality: return Value::String("HIGH");
        case avm1::kPropHighQuality: return Value::Number(1);
        case avm1::kPropUrl:
        case avm1::kPropDropTarget: return Value::String("");
        case avm1::kPropSoundBufTime: return Value::Number(5);
        case avm1::kPropFocusRect: return Value::Bool(true);
        case avm1::kPropOpaqueBackground:
            if (!o.opaqueBackground) return Value::Null();
            return Value::Number((o.opaqueBackground->r << 16) | (o.opaqueBackground->g << 8) | o.opaqueBackground->b);
        case avm1::kPropWidth:
        case avm1::kPropHeight: {
            swf::Rect box;
            if (!engine_.boundsInParent(o, box)) return Value::Number(0);
            const int32_t twips = property == avm1::kPropWidth ? box.xMax - box.xMin : box.yMax - box.yMin;
            return Value::Number(twips / 20.0);
        }
        default: return Value::Number(0);  // the mouse: no input
    }
}

void ScriptHost::setProperty(uint32_t clip, int property, const avm1::Value& value) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return;
    DisplayObject& o = *t->object;
    swf::Matrix& m = o.matrix;
    avm1::Machine& machine = engine_.machine();
    const double n = machine.toNumber(value);
    const bool number = std::isfinite(n);
    MatrixParts parts = PartsOf(o);
    double degrees = RotationDegrees(o);
    bool recompose = false;
    switch (property) {
        case avm1::kPropX:
        case avm1::kPropY:
        case avm1::kPropXScale:
        case avm1::kPropYScale:
        case avm1::kPropRotation:
        case avm1::kPropWidth:
        case avm1::kPropHeight:
        case avm1::kPropAlpha: o.transformedByScript = true; break;
        default: break;
    }
    switch (property) {
        case avm1::kPropX:
            if (number) m.translateX = static_cast<int32_t>(std::clamp(std::round(n * 20), -1e9, 1e9));
            break;
        case avm1::kPropY:
            if (number) m.translateY = static_cast<int32_t>(std::clamp(std::round(n * 20), -1e9, 1e9));
            break;
        case avm1::kPropXScale:
            if (number) parts.xscale = n / 100, recompose = true;
            break;
        case avm1::kPropYScale:
            if (number) parts.yscale = n / 100, recompose = true;
            break;
        case avm1::kPropRotation:
            if (number) {
                // Kept in (-180, 180], as the reference players read it back.
                degrees = std::fmod(n, 360.0);
                if (degrees > 180) degrees -= 360;
                if (degrees <= -180) degrees += 360;
                parts.rotation = degrees * kPi / 180;
                recompose = true;
            }
            break;
        case avm1::kPropWidth:
        case avm1::kPropHeight: {
            if (!number) break;
            // A text field takes the size as its own: its bounds grow or shrink, the text
            // keeps its size.
            if (o.editText() != nullptr) {
                const double scale = property == avm1::kPropWidth ? parts.xscale : parts.yscale;
                EditTextDefinition* f = std::fabs(scale) > 0 && n >= 0 ? engine_.editableText(o) : nullptr;
                if (f == nullptr) break;
                const auto size = static_cast<int32_t>(std::clamp(std::round(n * 20 / std::fabs(scale)), 0.0, 1e9));
                (property == avm1::kPropWidth ? f->bounds.xMax : f->bounds.yMax) =
                    (property == avm1::kPropWidth ? f->bounds.xMin : f->bounds.yMin) + size;
                fitText(o);
                break;
            }
            // The scale along the axis that gives the contents that size. A clip with nothing
            // in it has no extent to scale: it is scaled to nothing both ways.
            swf::Rect local;
            if (!engine_.localBounds(o, local)) {
                parts.xscale = parts.yscale = 0;
                recompose = true;
                break;
            }
            const double extent = property == avm1::kPropWidth ? local.xMax - local.xMin : local.yMax - local.yMin;
            if (extent <= 0) break;
            (property == avm1::kPropWidth ? parts.xscale : parts.yscale) = n * 20 / extent;
            recompose = true;
            break;
        }
        case avm1::kPropAlpha:
            if (number) o.colorTransform.mulA = static_cast<int16_t>(std::clamp(n * 256 / 100, -32768.0, 32767.0));
            break;
        case avm1::kPropVisible: o.visible = machine.toBoolean(value); break;
        case avm1::kPropName: o.name = machine.toString(value); break;
        case avm1::kPropOpaqueBackground:
            if (value.type() == avm1::Type::kUndefined || value.type() == avm1::Type::kNull || !number) {
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
        Recompose(m, parts);
        o.scriptTransform = std::array<double, 3>{parts.xscale, parts.yscale, degrees};
    }
}

void ScriptHost::stopAllSounds() { engine_.sound().stopAll(); }

void ScriptHost::play(uint32_t clip) {
    if (TimelineInstance* t = engine_.timeline(clip)) t->playing = true;
}

void ScriptHost::stop(uint32_t clip) {
    if (TimelineInstance* t = engine_.timeline(clip)) t->playing = false;
}

void ScriptHost::gotoFrame(uint32_t clip, int frame, bool play) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return;
    t->playing = play;
    engine_.seekTimeline(*t, frame);
}

int ScriptHost::frameOfLabel(uint32_t clip, std::string_view label) {
    const TimelineInstance* t = engine_.timeline(clip);
    return t != nullptr && t->timeline != nullptr ? t->timeline->frameOfLabel(label) : -1;
}

int ScriptHost::currentFrame(uint32_t clip) {
    const TimelineInstance* t = engine_.timeline(clip);
    return t != nullptr ? t->frame : 0;
}

int ScriptHost::totalFrames(uint32_t clip) {
    const TimelineInstance* t = engine_.timeline(clip);
    return t != nullptr && t->timeline != nullptr ? static_cast<int>(t->timeline->frames.size()) : 0;
}

std::vector<const std::vector<uint8_t>*> ScriptHost::frameScripts(uint32_t clip, int frame) {
    std::vector<const std::vector<uint8_t>*> out;
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->timeline == nullptr || frame < 0 || frame >= totalFrames(clip)) return out;
    for (const FrameScript& s : t->timeline->frames[static_cast<size_t>(frame)].scripts) out.push_back(&s.code);
    return out;
}

std::string ScriptHost::path(uint32_t clip) {
    std::string out;
    for (const TimelineInstance* t = engine_.timeline(clip); t != nullptr; t = t->parent) {
        out = (t->parent == nullptr ? "_level" + std::to_string(t->level) : (t->object != nullptr ? t->object->name : "")) +
              (out.empty() ? "" : "." + out);
    }
    return out;
}

std::string ScriptHost::name(uint32_t clip) {
    const TimelineInstance* t = engine_.timeline(clip);
    return t != nullptr && t->parent != nullptr && t->object != nullptr ? t->object->name : "";
}

void ScriptHost::trace(const std::string& line) { engine_.trace(line); }

void ScriptHost::log(const std::string& line) { engine_.log(line); }
void ScriptHost::leftOut(const std::string& what) { engine_.leaveOut(what); }

double ScriptHost::timer() { return engine_.scriptTimerMs(); }

void ScriptHost::traceValues(avm1::Tracer& tracer) {
    engine_.forEachTimeline([&](const TimelineInstance& t) {
        for (const auto& [name, variable] : t.variables) tracer.value(variable.value);
        tracer.object(t.prototype);
    });
    engine_.traceLoaders(tracer);
}

bool ScriptHost::readFile(std::string_view url, std::string& out, std::string& reason) {
    return engine_.readFile(url, out, reason);
}

uint32_t ScriptHost::loadMovie(uint32_t clip, int level, const std::string& bytes, std::string_view url,
                               const avm1::Value& loader) {
    TimelineInstance* t = clip != 0 ? engine_.timeline(clip) : nullptr;
    if (clip != 0 && (t == nullptr || t->object == nullptr)) return 0;
    // A text field shows no movie.
    if (t != nullptr && t->timeline == nullptr) return 0;
    TimelineInstance* into = engine_.loadMovie(t, level, bytes, url, loader);
    return into != nullptr ? into->handle : 0;
}

void ScriptHost::unloadMovie(uint32_t clip, int level) {
    TimelineInstance* t = clip != 0 ? engine_.timeline(clip) : nullptr;
    if (clip != 0 && (t == nullptr || t->timeline == nullptr)) return;
    engine_.unloadMovie(t, level);
}

uint32_t ScriptHost::level(int n) {
    const TimelineInstance* t = engine_.level(n);
    return t != nullptr ? t->handle : 0;
}

uint32_t ScriptHost::rootOf(uint32_t clip) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return root();
    // A clip whose _lockroot is true is _root for everything below it.
    for (const TimelineInstance* at = t; at != nullptr; at = at->parent) {
        if (at->parent == nullptr) return at->handle;
        auto v = at->variables.find(key("_lockroot"));
        if (v != at->variables.end() && v->second.value.type() == avm1::Type::kBool && v->second.value.boolean()) {
            return at->handle;
        }
    }
    return root();
}

double ScriptHost::movieBytes(uint32_t clip, bool stored) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return 0;
    const MovieDefinition& movie = engine_.movieOf(*t);
    if (t->timeline == &movie.timeline()) return static_cast<double>(stored ? movie.fileBytes() : movie.inflatedBytes());
    // A clip of a sprite counts its sprite's tags; one made empty by a script has none.
    const Character* c = t->object != nullptr ? t->object->character : nullptr;
    return c != nullptr && c->kind() == Character::Kind::kSprite ? static_cast<double>(c->as<SpriteDefinition>().bytes) : 0;
}

void ScriptHost::dataLoaded(uint32_t clip) {
    if (TimelineInstance* t = engine_.timeline(clip); t != nullptr && t->timeline != nullptr) engine_.dataLoaded(*t);
}

namespace {

// A script depth as a display-list key, when it is one scripts may use.
bool DepthKey(int depth, int32_t& key) {
    if (depth < avm1::kTimelineDepthBase || depth > avm1::kMaxScriptDepth) return false;
    key = depth + kScriptDepthOffset;
    return true;
}

}  // namespace

void ScriptHost::attachBitmap(uint32_t clip, int depth, std::shared_ptr<avm1::ScriptBitmap> bitmap, bool smoothing) {
    TimelineInstance* t = engine_.timeline(clip);
    int32_t key = 0;
    if (t != nullptr && DepthKey(depth, key)) engine_.attachBitmap(*t, key, std::move(bitmap), smoothing);
}

void ScriptHost::drawClip(avm1::ScriptBitmap& into, uint32_t clip, const double (&matrix)[6], const swf::ColorTransform& cx,
                          const int64_t* clipRect, bool smoothing) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return;
    // The clip's twips to its pixels, then the script's matrix.
    const auto f = [](double v) { return static_cast<float>(std::isfinite(v) ? std::clamp(v, -1e9, 1e9) : 0.0); };
    const raster::Matrix toBitmap = raster::Matrix{f(matrix[0]), f(matrix[1]), f(matrix[2]), f(matrix[3]), f(matrix[4]), f(matrix[5])} *
                                    raster::Matrix::scale(1.0f / 20, 1.0f / 20);
    engine_.drawInto(into, *t->object, toBitmap, cx, clipRect, smoothing);
}

std::shared_ptr<avm1::ScriptBitmap> ScriptHost::libraryBitmap(std::string_view linkage) {
    const TimelineInstance* root = engine_.rootTimeline();
    return root != nullptr ? engine_.libraryBitmap(*root, linkage) : nullptr;
}

uint32_t ScriptHost::exportedSound(uint32_t clip, std::string_view linkage) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return 0;
    const EventSound* sound = engine_.movieOf(*t).sound(engine_.exportedCharacter(*t, linkage));
    return sound != nullptr ? engine_.sound().scriptNumber(*sound) : 0;
}

uint32_t ScriptHost::loadSound(std::string_view url, std::string& reason) {
    std::string bytes;
    if (!engine_.readFile(url, bytes, reason)) return 0;
    auto sound = std::make_shared<EventSound>();
    sound->format.format = swf::sound_format::kMp3;
    sound->format.rateCode = 3;
    sound->format.sixteenBit = true;
    sound->format.stereo = true;
    // An ID3v2 tag ahead of the frames: its size is in its header, seven bits a byte.
    size_t skip = 0;
    if (bytes.size() >= 10 && bytes.compare(0, 3, "ID3") == 0) {
        skip = 10 + (size_t{static_cast<uint8_t>(bytes[6]) & 0x7Fu} << 21 | size_t{static_cast<uint8_t>(bytes[7]) & 0x7Fu} << 14 |
                     size_t{static_cast<uint8_t>(bytes[8]) & 0x7Fu} << 7 | (static_cast<uint8_t>(bytes[9]) & 0x7Fu));
        skip = std::min(skip, bytes.size());
    }
    sound->data.assign(bytes.begin() + static_cast<ptrdiff_t>(skip), bytes.end());
    const uint32_t number = engine_.sound().adopt(std::move(sound));
    if (engine_.sound().durationMs(*engine_.sound().scriptSound(number)) < 0) {
        reason = "the file holds no MP3 sound";
        return 0;
    }
    return number;
}

double ScriptHost::soundDurationMs(uint32_t sound) {
    const EventSound* s = engine_.sound().scriptSound(sound);
    return s != nullptr ? engine_.sound().durationMs(*s) : -1;
}

namespace {

// The handle a clip's gain is kept under: the clip's own, found again from a script's handle.
uint32_t GainOwner(Engine& engine, uint32_t clip, bool& exists) {
    if (clip == 0) {
        exists = true;
        return 0;
    }
    const TimelineInstance* t = engine.timeline(clip);
    exists = t != nullptr;
    return t != nullptr ? t->handle : 0;
}

}  // namespace

uint64_t ScriptHost::startSound(uint32_t sound, uint32_t owner, double offsetSeconds, int loops,
                                const avm1::Value& listener) {
    bool exists = false;
    const uint32_t gainOwner = GainOwner(engine_, owner, exists);
    if (!exists) return 0;
    return engine_.startScriptSound(sound, gainOwner, offsetSeconds, loops, listener);
}

void ScriptHost::stopSounds(uint32_t sound, uint32_t owner) {
    bool exists = false;
    const uint32_t gainOwner = GainOwner(engine_, owner, exists);
    if (!exists) return;
    audio::Mixer& mixer = engine_.sound().mixer();
    const EventSound* s = engine_.sound().scriptSound(sound);
    if (sound != 0 && s == nullptr) return;
    const uint32_t key = s != nullptr ? engine_.sound().soundKey(*s) : 0;
    if (gainOwner == 0) {
        if (s != nullptr) {
            mixer.stopSound(key);
        } else {
            mixer.stopAll();
        }
    } else if (s != nullptr) {
        mixer.stopWhere(key, gainOwner);
    } else {
        mixer.stopOwner(gainOwner);
    }
}

double ScriptHost::voicePositionMs(uint64_t voice) { return engine_.sound().mixer().positionMs(voice); }

bool ScriptHost::soundTransform(uint32_t owner, avm1::SoundTransformFields& out) {
    bool exists = false;
    const uint32_t gainOwner = GainOwner(engine_, owner, exists);
    if (!exists) return false;
    const audio::Gain g = engine_.sound().mixer().gain(gainOwner);
    out = avm1::SoundTransformFields{g.volume, g.ll, g.lr, g.rr, g.rl};
    return true;
}

void ScriptHost::setSoundTransform(uint32_t owner, const avm1::SoundTransformFields& t) {
    bool exists = false;
    const uint32_t gainOwner = GainOwner(engine_, owner, exists);
    if (exists) engine_.sound().mixer().setGain(gainOwner, audio::Gain{t.ll, t.lr, t.rr, t.rl, t.volume});
}

void ScriptHost::queueEvent(const avm1::Value& target, const char* method, std::vector<avm1::Value> args) {
    engine_.queueSoundEvent(target, method, std::move(args));
}

uint32_t ScriptHost::newNetStream(const avm1::Value& listener) {
    const uint32_t stream = engine_.newNetStream(listener);
    if (stream == 0) log("more than " + std::to_string(kMaxNetStreams) + " streams are open (kMaxNetStreams): a NetStream plays nothing");
    return stream;
}

bool ScriptHost::loadNetStream(uint32_t stream, std::string_view url, std::string& reason) {
    std::string bytes;
    std::vector<video::FlvPacket> packets;
    if (!engine_.readFile(url, bytes, reason) || !video::ReadFlv(bytes, packets, reason)) return false;
    engine_.netStreams().load(stream, std::move(packets), engine_.sound().mixer());
    return true;
}

void ScriptHost::netStreamCommand(uint32_t stream, StreamCommand command, double value) {
    NetStreams& streams = engine_.netStreams();
    audio::Mixer& mixer = engine_.sound().mixer();
    switch (command) {
        case StreamCommand::kPlay: streams.play(stream, mixer); break;
        case StreamCommand::kPause: streams.pause(stream, true, mixer); break;
        case StreamCommand::kResume: streams.pause(stream, false, mixer); break;
        case StreamCommand::kSeek: streams.seek(stream, value, mixer); break;
        case StreamCommand::kClose: streams.close(stream, mixer); break;
    }
}

double ScriptHost::netStreamTime(uint32_t stream) { return engine_.netStreams().timeSeconds(stream); }

namespace {

DisplayObject* VideoOf(Engine& engine, uint32_t handle) {
    TimelineInstance* t = engine.timeline(handle);
    if (t == nullptr || t->timeline != nullptr || t->object == nullptr || t->object->videoState() == nullptr) return nullptr;
    return t->object;
}

}  // namespace

void ScriptHost::attachVideo(uint32_t video, uint32_t stream) {
    if (DisplayObject* o = VideoOf(engine_, video)) o->videoState()->stream = stream;
}

bool ScriptHost::videoSize(uint32_t video, int& width, int& height) {
    DisplayObject* o = VideoOf(engine_, video);
    if (o == nullptr) return false;
    const uint32_t stream = o->videoState()->stream;
    if (stream == 0) {
        // Its own frames: the size its stream declares.
        const bool own = o->character != nullptr && o->character->kind() == Character::Kind::kVideo;
        width = own ? o->character->video().stream.width : 0;
        height = own ? o->character->video().stream.height : 0;
        return true;
    }
    const image::Picture* p = engine_.netStreams().picture(stream);
    width = p != nullptr ? p->width : 0;
    height = p != nullptr ? p->height : 0;
    return true;
}

bool ScriptHost::videoSettings(uint32_t video, bool& smoothing, int& deblocking) {
    const DisplayObject* o = VideoOf(engine_, video);
    if (o == nullptr) return false;
    const DisplayObject::VideoState& state = *o->videoState();
    const bool own = o->character != nullptr && o->character->kind() == Character::Kind::kVideo;
    smoothing = state.smoothing >= 0 ? state.smoothing != 0 : own && o->character->video().stream.smoothing;
    deblocking = state.deblocking;
    return true;
}

void ScriptHost::setVideoSmoothing(uint32_t video, bool smoothing) {
    if (DisplayObject* o = VideoOf(engine_, video)) o->videoState()->smoothing = smoothing ? 1 : 0;
}

void ScriptHost::setVideoDeblocking(uint32_t video, int deblocking) {
    if (DisplayObject* o = VideoOf(engine_, video)) o->videoState()->deblocking = static_cast<uint8_t>(std::clamp(deblocking, 0, 255));
}

uint32_t ScriptHost::createClip(uint32_t parent, std::string_view name, int depth, std::string_view linkage,
                                const avm1::Value& initObject) {
    TimelineInstance* p = engine_.timeline(parent);
    int32_t key = 0;
    if (p == nullptr || !DepthKey(depth, key)) return 0;
    const Character* sprite = nullptr;
    uint16_t id = 0;
    if (!linkage.empty()) {
        id = engine_.exportedCharacter(*p, linkage);
        sprite = id != 0 ? engine_.movieOf(*p).character(id) : nullptr;
        if (sprite == nullptr || sprite->kind() != Character::Kind::kSprite) return 0;
    }
    TimelineInstance* made = engine_.makeClip(*p, key, sprite, id, std::string(name));
    if (made == nullptr) return 0;
    const uint32_t handle = made->handle;
    engine_.startClip(*made, initObject);
    return handle;
}

uint32_t ScriptHost::duplicateClip(uint32_t clip, std::string_view name, int depth, const avm1::Value& initObject) {
    TimelineInstance* t = engine_.timeline(clip);
    int32_t key = 0;
    if (t == nullptr || t->parent == nullptr || t->object == nullptr || !DepthKey(depth, key)) return 0;
    const DisplayObject& original = *t->object;
    const Character* sprite = original.characterId != 0 ? original.character : nullptr;
    TimelineInstance* made = engine_.makeClip(*t->parent, key, sprite, original.characterId, std::string(name));
    if (made == nullptr || made->object == nullptr) return 0;
    // `original` may have been the object at `key`, now gone: read it again by handle.
    if (const TimelineInstance* again = engine_.timeline(clip); again != nullptr && again->object != nullptr) {
        DisplayObject& copy = *made->object;
        const DisplayObject& from = *again->object;
        copy.matrix = from.matrix;
        copy.colorTransform = from.colorTransform;
        copy.blendMode = from.blendMode;
        copy.filters = from.filters;
        copy.visible = from.visible;
        copy.cacheAsBitmap = from.cacheAsBitmap;
        copy.clipActions = from.clipActions;
        // The copy starts with what the original's scripts drew, and draws on apart from it.
        if (from.sprite() != nullptr && from.sprite()->drawing) {
            made->drawing = std::make_shared<Drawing>(*from.sprite()->drawing);
        }
    }
    const uint32_t handle = made->handle;
    engine_.startClip(*made, initObject);
    return handle;
}

bool ScriptHost::removeClip(uint32_t clip) {
    TimelineInstance* t = engine_.timeline(clip);
    int depth = 0;
    // Only clips at script depths go (those of the timeline must be moved there first), and
    // not those at the very top of them.
    if (t == nullptr || !depthOf(clip, depth) || depth < 0 || depth > avm1::kMaxRemovableDepth) return false;
    return engine_.removeClip(*t);
}

bool ScriptHost::depthOf(uint32_t clip, int& depth) {
    const TimelineInstance* t = engine_.timeline(clip);
    int32_t key = 0;
    if (t != nullptr && t->parent == nullptr) {
        depth = t->level - kScriptDepthOffset;  // a level's root: its number, as a timeline depth
        return true;
    }
    if (t == nullptr || !engine_.keyOf(*t, key)) return false;
    depth = key - kScriptDepthOffset;
    return true;
}

bool ScriptHost::swapDepths(uint32_t clip, int depth) {
    TimelineInstance* t = engine_.timeline(clip);
    int32_t key = 0;
    return t != nullptr && DepthKey(depth, key) && engine_.moveClip(*t, key);
}

uint32_t ScriptHost::clipAtDepth(uint32_t parent, int depth) {
    const TimelineInstance* p = engine_.timeline(parent);
    int32_t key = 0;
    if (p == nullptr || !DepthKey(depth, key)) return 0;
    auto it = p->displayList.find(key);
    if (it == p->displayList.end() || it->second.character == nullptr) return 0;
    if (const TimelineInstance* sprite = it->second.sprite()) return sprite->handle;
    if (const DisplayObject::EditTextState* text = it->second.editText(); text != nullptr && text->record) {
        return text->record->handle;
    }
    // What scripts cannot reach (a shape, static text, a bitmap) answers with its parent, as
    // in the reference players.
    return parent;
}

int ScriptHost::nextHighestDepth(uint32_t parent) {
    const TimelineInstance* p = engine_.timeline(parent);
    if (p == nullptr || p->displayList.empty()) return 0;
    return std::max(0, p->displayList.rbegin()->first - kScriptDepthOffset + 1);
}

std::string ScriptHost::sandboxType() { return engine_.definition().usesNetwork() ? "localWithNetwork" : "localWithFile"; }

avm1::ObjectHandle ScriptHost::clipPrototype(uint32_t clip) {
    const TimelineInstance* t = engine_.timeline(clip);
    return t != nullptr ? t->prototype : avm1::ObjectHandle{};
}

void ScriptHost::setClipPrototype(uint32_t clip, avm1::ObjectHandle prototype) {
    if (TimelineInstance* t = engine_.timeline(clip)) t->prototype = prototype;
}

void ScriptHost::draw(uint32_t clip, const avm1::DrawingCall& call) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return;
    if (!t->drawing) {
        if (call.op == avm1::DrawingCall::Op::kClear) return;
        t->drawing = std::make_shared<Drawing>();
    }
    Drawing& d = *t->drawing;
    switch (call.op) {
        case avm1::DrawingCall::Op::kClear: d.clear(); break;
        case avm1::DrawingCall::Op::kLineStyle: d.lineStyle(call.line); break;
        case avm1::DrawingCall::Op::kBeginFill: d.beginFill(call.fill); break;
        case avm1::DrawingCall::Op::kEndFill: d.endFill(); break;
        case avm1::DrawingCall::Op::kMoveTo: d.moveTo(call.x, call.y); break;
        case avm1::DrawingCall::Op::kLineTo: d.lineTo(call.x, call.y); break;
        case avm1::DrawingCall::Op::kCurveTo: d.curveTo(call.controlX, call.controlY, call.x, call.y); break;
    }
}

namespace {

// An affine map in doubles, so that points convert without a float's rounding.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    static Affine Of(const swf::Matrix& m) {
        return {m.scaleX, m.rotateSkew0, m.rotateSkew1, m.scaleY, static_cast<double>(m.translateX),
                static_cast<double>(m.translateY)};
    }
    // this after o.
    Affine operator*(const Affine& o) const {
        return {a * o.a + c * o.b, b * o.a + d * o.b, a * o.c + c * o.d, b * o.c + d * o.d, a * o.tx + c * o.ty + tx,
                b * o.tx + d * o.ty + ty};
    }
    void apply(double& x, double& y) const {
        const double nx = a * x + c * y + tx;
        y = b * x + d * y + ty;
        x = nx;
    }
    bool invert(Affine& out) const {
        const double det = a * d - b * c;
        if (det == 0 || !std::isfinite(det)) return false;
        out = {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
        return true;
    }
};

// The clip's twips to the stage's.
Affine GlobalOf(const TimelineInstance& t) {
    Affine m;
    for (const TimelineInstance* at = &t; at != nullptr; at = at->parent) {
        if (at->object != nullptr) m = Affine::Of(at->object->matrix) * m;
    }
    return m;
}

}  // namespace

bool ScriptHost::boundsIn(uint32_t clip, uint32_t space, bool, double (&out)[4]) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return false;
    Affine toSpace = GlobalOf(*t);
    if (space != 0) {
        const TimelineInstance* s = engine_.timeline(space);
        Affine inverse;
        if (s == nullptr || !GlobalOf(*s).invert(inverse)) return false;
        toSpace = inverse * toSpace;
    }
    swf::Rect local;
    if (!engine_.localBounds(*t->object, local)) return false;
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    for (int corner = 0; corner < 4; ++corner) {
        double x = corner & 1 ? local.xMax : local.xMin, y = corner & 2 ? local.yMax : local.yMin;
        toSpace.apply(x, y);
        if (corner == 0 || x < xMin) xMin = x;
        if (corner == 0 || x > xMax) xMax = x;
        if (corner == 0 || y < yMin) yMin = y;
        if (corner == 0 || y > yMax) yMax = y;
    }
    // Whole twips, as the reference players keep bounds.
    out[0] = std::round(xMin) / 20;
    out[1] = std::round(xMax) / 20;
    out[2] = std::round(yMin) / 20;
    out[3] = std::round(yMax) / 20;
    return true;
}

bool ScriptHost::toGlobal(uint32_t clip, double& x, double& y, bool inverse) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return false;
    Affine m = GlobalOf(*t);
    if (inverse && !m.invert(m)) return false;
    // Points are whole twips on both sides, as the reference players keep them.
    x = std::round(x * 20);
    y = std::round(y * 20);
    m.apply(x, y);
    x = std::round(x) / 20;
    y = std::round(y) / 20;
    return true;
}

bool ScriptHost::hitTest(uint32_t clip, double x, double y, bool shape) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return false;
    // The point is given in the coordinates of the clip's main timeline: onto the stage first.
    const TimelineInstance* root = t;
    while (root->parent != nullptr) root = root->parent;
    double sx = x * 20, sy = y * 20;
    if (root->object != nullptr) Affine::Of(root->object->matrix).apply(sx, sy);
    if (!shape) {
        double box[4];
        return boundsIn(clip, 0, true, box) && sx >= box[0] * 20 && sx <= box[1] * 20 && sy >= box[2] * 20 &&
               sy <= box[3] * 20;
    }
    // The point in the clip's own twips; its own matrix is part of the walk down from the stage.
    Affine inverse;
    if (!GlobalOf(*t).invert(inverse)) return false;
    inverse.apply(sx, sy);
    return engine_.hitsShape(*t->object, sx, sy);
}

bool ScriptHost::colorTransform(uint32_t clip, swf::ColorTransform& out) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return false;
    out = t->object->colorTransform;
    return true;
}

void ScriptHost::setColorTransform(uint32_t clip, const swf::ColorTransform& cx) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return;
    t->object->colorTransform = cx;
    t->object->transformedByScript = true;
}

namespace {

// The plain text of a field's HTML: tags dropped, paragraphs and breaks as carriage returns,
// the common entities decoded (as UTF-8 from version 6, Latin-1 before).
std::string PlainOfHtml(const std::string& html, bool utf8, bool multiline) {
    std::string out;
    for (size_t i = 0; i < html.size();) {
        if (html[i] == '<') {
            const size_t end = html.find('>', i);
            if (end == std::string::npos) break;
            const std::string tag = base::LowerCase(html.substr(i + 1, end - i - 1));
            if (tag == "br" || tag == "br/" || tag == "/p" || tag == "/li") out += '\r';
            i = end + 1;
        } else if (html[i] == '&') {
            static const std::pair<const char*, uint32_t> kEntities[] = {
                {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&nbsp;", 0xA0}};
            bool decoded = false;
            for (const auto& [entity, c] : kEntities) {
                if (html.compare(i, std::strlen(entity), entity) == 0) {
                    if (utf8) base::AppendUtf8(out, c);
                    else out += static_cast<char>(c);
                    i += std::strlen(entity);
                    decoded = true;
                    break;
                }
            }
            if (!decoded) out += html[i++];
        } else {
            out += html[i++];
        }
    }
    // In a field of one line a last paragraph's end adds no line; a multiline field keeps it.
    if (!multiline && !out.empty() && out.back() == '\r') out.pop_back();
    return out;
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            default: out += c;
        }
    }
    return out;
}

double ColorNumber(swf::Color c) { return (c.r << 16) | (c.g << 8) | c.b; }

swf::Color ColorOf(double n) {
    const uint32_t rgb = static_cast<uint32_t>(avm1::ToInt32(n));
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 255};
}

constexpr const char* kAutoSize[] = {"none", "left", "center", "right"};
constexpr const char* kAlign[] = {"left", "right", "center", "justify"};

// Properties kept to be read back, with what they read before a script sets them.
avm1::Value KeptDefault(avm1::Machine& m, std::string_view name) {
    using avm1::Value;
    if (name == "condenseWhite") return Value::Bool(false);
    if (name == "antiAliasType") return Value::String("normal");
    if (name == "gridFitType") return Value::String("pixel");
    if (name == "thickness" || name == "sharpness") return Value::Number(0);
    if (name == "mouseWheelEnabled") return Value::Bool(true);
    if (name == "restrict") return Value::Null();
    if (name == "filters") return Value::Object(m.newArray());
    return Value();  // styleSheet, tabEnabled, tabIndex
}

}  // namespace

DisplayObject* ScriptHost::textFieldOf(uint32_t field) {
    TimelineInstance* t = engine_.timeline(field);
    if (t == nullptr || t->timeline != nullptr || t->object == nullptr || t->object->editText() == nullptr) return nullptr;
    return t->object;
}

bool ScriptHost::concatenatedColorTransform(uint32_t clip, swf::ColorTransform& out) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return false;
    // Each parent's applies to what its child's gives: terms multiply, offsets scale and add;
    // the sums are kept in 16 bits, wrapping, as the reference players report them.
    double mul[4] = {1, 1, 1, 1}, add[4] = {0, 0, 0, 0};
    for (const TimelineInstance* at = t; at != nullptr; at = at->parent) {
        if (at->object == nullptr) continue;
        const swf::ColorTransform& c = at->object->colorTransform;
        const double m[4] = {c.mulR / 256.0, c.mulG / 256.0, c.mulB / 256.0, c.mulA / 256.0};
        const double a[4] = {static_cast<double>(c.addR), static_cast<double>(c.addG), static_cast<double>(c.addB),
                             static_cast<double>(c.addA)};
        for (int i = 0; i < 4; ++i) {
            add[i] = add[i] * m[i] + a[i];
            mul[i] *= m[i];
        }
    }
    const auto term = [](double v) {
        return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(std::clamp(std::round(v), -1e15, 1e15))));
    };
    out.mulR = term(mul[0] * 256);
    out.mulG = term(mul[1] * 256);
    out.mulB = term(mul[2] * 256);
    out.mulA = term(mul[3] * 256);
    out.addR = term(add[0]);
    out.addG = term(add[1]);
    out.addB = term(add[2]);
    out.addA = term(add[3]);
    return true;
}

bool ScriptHost::matrixOf(uint32_t clip, bool concatenated, double (&out)[6]) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return false;
    const Affine m = concatenated ? GlobalOf(*t) : Affine::Of(t->object->matrix);
    out[0] = m.a;
    out[1] = m.b;
    out[2] = m.c;
    out[3] = m.d;
    out[4] = m.tx / 20;
    out[5] = m.ty / 20;
    return true;
}

void ScriptHost::setMatrix(uint32_t clip, const double (&m)[6]) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return;
    for (double v : m) {
        if (!std::isfinite(v)) return;
    }
    swf::Matrix& to = t->object->matrix;
    to.scaleX = static_cast<float>(m[0]);
    to.rotateSkew0 = static_cast<float>(m[1]);
    to.rotateSkew1 = static_cast<float>(m[2]);
    to.scaleY = static_cast<float>(m[3]);
    to.translateX = static_cast<int32_t>(std::clamp(std::round(m[4] * 20), -1e9, 1e9));
    to.translateY = static_cast<int32_t>(std::clamp(std::round(m[5] * 20), -1e9, 1e9));
    t->object->transformedByScript = true;
    t->object->scriptTransform.reset();  // read back from the matrix from now on
}

namespace {

// Blend modes by the file's numbers from 1.
constexpr const char* kBlendModes[] = {"normal", "layer", "multiply", "screen", "lighten", "darken", "difference",
                                       "add", "subtract", "invert", "alpha", "erase", "overlay", "hardlight"};

}  // namespace

std::vector<avm1::SnapshotGlyph> ScriptHost::staticText(uint32_t clip) {
    std::vector<avm1::SnapshotGlyph> out;
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr) return out;
    const MovieDefinition& movie = engine_.movieOf(*t);
    for (const auto& [key, child] : t->displayList) {
        if (child.character == nullptr || child.character->kind() != Character::Kind::kText) continue;
        const StaticText& text = child.character->text();
        // The text's own matrix, then its placement: from text units (twips) to the clip's.
        const raster::Matrix m = ToRasterMatrix(child.matrix) * ToRasterMatrix(text.matrix);
        bool first = true;
        int32_t baseline = 0;
        for (const TextRun& run : text.runs) {
            const Character* c = movie.character(run.fontId);
            if (c == nullptr || c->kind() != Character::Kind::kFont) continue;
            const Font& font = c->font();
            const bool newLine = (first && !out.empty()) || (!first && run.y != baseline);
            baseline = run.y;
            for (size_t i = 0; i < run.glyphs.size(); ++i) {
                const TextRun::Glyph& g = run.glyphs[i];
                avm1::SnapshotGlyph glyph;
                glyph.code = g.index < font.codes.size() ? font.codes[g.index] : 0;
                glyph.newLine = i == 0 && newLine;
                const double gx = g.x, gy = run.y, height = run.height;
                glyph.x = (m.a * gx + m.c * gy + m.tx) / 20.0;
                glyph.y = (m.b * gx + m.d * gy + m.ty) / 20.0;
                double advance = 0;
                if (i + 1 < run.glyphs.size()) {
                    advance = static_cast<double>(run.glyphs[i + 1].x) - gx;
                } else if (font.hasLayout && g.index < font.advances.size()) {
                    advance = font.advances[g.index] * height / font.emUnits;
                }
                glyph.width = advance * m.a / 20.0;
                glyph.height = height * m.d / 20.0;
                glyph.matrix[0] = m.a;
                glyph.matrix[1] = m.b;
                glyph.matrix[2] = m.c;
                glyph.matrix[3] = m.d;
                glyph.matrix[4] = m.tx / 20.0;
                glyph.matrix[5] = m.ty / 20.0;
                glyph.font = font.name;
                glyph.color = (uint32_t{run.color.r} << 16) | (uint32_t{run.color.g} << 8) | run.color.b;
                out.push_back(std::move(glyph));
            }
            first = false;
        }
    }
    return out;
}

std::vector<swf::Filter> ScriptHost::filtersOf(uint32_t clip) {
    const TimelineInstance* t = engine_.timeline(clip);
    return t != nullptr && t->object != nullptr ? t->object->filters : std::vector<swf::Filter>();
}

void ScriptHost::setFilters(uint32_t clip, std::vector<swf::Filter> filters) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return;
    if (filters.size() > kMaxScriptFilters) filters.resize(kMaxScriptFilters);
    t->object->filters = std::move(filters);
}

// The size of the movie at level 0: a movie loaded in place of the first one brings its own.
void ScriptHost::stageSize(double& width, double& height) {
    const TimelineInstance* root = engine_.level(0);
    const swf::Rect& frame = root != nullptr ? engine_.movieOf(*root).frameSize() : engine_.definition().frameSize();
    width = (frame.xMax - frame.xMin) / 20;
    height = (frame.yMax - frame.yMin) / 20;
}

bool ScriptHost::getDisplayProperty(uint32_t clip, std::string_view name, avm1::Value& out) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return false;
    const DisplayObject& o = *t->object;
    if (name == "blendMode") {
        out = avm1::Value::String(kBlendModes[o.blendMode >= 1 && o.blendMode <= 14 ? o.blendMode - 1 : 0]);
    } else if (name == "cacheAsBitmap") {
        out = avm1::Value::Bool(o.cacheAsBitmap || !o.filters.empty());
    } else {
        return false;
    }
    return true;
}

void ScriptHost::setDisplayProperty(uint32_t clip, std::string_view name, const avm1::Value& value) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return;
    DisplayObject& o = *t->object;
    avm1::Machine& m = engine_.machine();
    if (name == "cacheAsBitmap") {
        o.cacheAsBitmap = m.toBoolean(value);
    } else if (name == "blendMode") {
        // A name, exactly; a number by the file's numbering (its low byte); nothing is normal;
        // anything else leaves the mode.
        if (value.isUndefined() || value.type() == avm1::Type::kNull) {
            o.blendMode = 0;
        } else if (value.type() == avm1::Type::kNumber) {
            const double n = value.number();
            const int mode = std::isfinite(n) ? (avm1::ToInt32(n) & 0xFF) : 0;
            if (mode >= 1 && mode <= 14) o.blendMode = static_cast<uint8_t>(mode);
        } else if (value.type() == avm1::Type::kString) {
            for (uint8_t i = 0; i < 14; ++i) {
                if (value.string() == kBlendModes[i]) o.blendMode = static_cast<uint8_t>(i + 1);
            }
        }
    }
}

void ScriptHost::setMask(uint32_t clip, uint32_t mask) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return;
    DisplayObject& o = *t->object;
    // The old mask draws again, unless it still masks something else: it is simply kept as a
    // mask then, as a second use would.
    if (const std::shared_ptr<TimelineInstance> old = o.mask.lock(); old != nullptr && old->object != nullptr) {
        old->object->isMask = false;
    }
    o.mask.reset();
    TimelineInstance* m = mask != 0 && mask != clip ? engine_.timeline(mask) : nullptr;
    if (m == nullptr || m->object == nullptr) return;
    o.mask = engine_.weakTimeline(mask);
    m->object->isMask = true;
}

bool ScriptHost::scrollRect(uint32_t clip, double (&out)[4]) {
    const TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr || !t->object->scrollRect) return false;
    const swf::Rect& r = *t->object->scrollRect;
    out[0] = r.xMin / 20.0;
    out[1] = r.yMin / 20.0;
    out[2] = (r.xMax - r.xMin) / 20.0;
    out[3] = (r.yMax - r.yMin) / 20.0;
    return true;
}

void ScriptHost::setScrollRect(uint32_t clip, const double* rect) {
    TimelineInstance* t = engine_.timeline(clip);
    if (t == nullptr || t->object == nullptr) return;
    if (rect == nullptr) {
        t->object->scrollRect.reset();
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(rect[i])) return;
    }
    const auto twips = [](double px) { return static_cast<int32_t>(std::clamp(std::round(px * 20), -1e9, 1e9)); };
    const int32_t x = twips(rect[0]), y = twips(rect[1]);
    t->object->scrollRect = swf::Rect{x, x + std::max(twips(rect[2]), 0), y, y + std::max(twips(rect[3]), 0)};
}

avm1::ClipKind ScriptHost::kindOf(uint32_t clip) {
    if (textFieldOf(clip) != nullptr) return avm1::ClipKind::kTextField;
    const TimelineInstance* t = engine_.timeline(clip);
    if (t != nullptr && t->timeline == nullptr && t->object != nullptr && t->object->videoState() != nullptr) {
        return avm1::ClipKind::kVideo;
    }
    if (t != nullptr && t->object != nullptr && t->object->character != nullptr &&
        t->object->character->kind() == Character::Kind::kButton) {
        return avm1::ClipKind::kButton;
    }
    return avm1::ClipKind::kMovieClip;
}

namespace {

// The fields `from` gives, over those of `into`.
void MergeFormat(avm1::TextFormatFields& into, const avm1::TextFormatFields& from) {
    const auto over = [](auto& field, const auto& given) {
        if (given) field = given;
    };
    over(into.font, from.font), over(into.url, from.url), over(into.target, from.target), over(into.align, from.align);
    over(into.size, from.size), over(into.color, from.color), over(into.leftMargin, from.leftMargin);
    over(into.rightMargin, from.rightMargin), over(into.indent, from.indent), over(into.leading, from.leading);
    over(into.blockIndent, from.blockIndent), over(into.letterSpacing, from.letterSpacing), over(into.bold, from.bold);
    over(into.italic, from.italic), over(into.underline, from.underline), over(into.bullet, from.bullet);
    over(into.kerning, from.kerning);
}

// A format's fields given into a field's definition; what the format leaves unset stays.
void ApplyFormat(EditTextDefinition& f, const avm1::TextFormatFields& format) {
    const auto twips = [](double px, double limit) { return std::clamp(std::round(px * 20), 0.0, limit); };
    if (format.font) {
        // A font by name: the field's own embedded one no longer applies.
        f.fontName = *format.font;
        f.fontId.reset();
    }
    if (format.size) f.height = static_cast<uint16_t>(twips(*format.size, 65535));
    if (format.color) f.color = ColorOf(*format.color);
    if (format.bold) f.bold = *format.bold;
    if (format.italic) f.italic = *format.italic;
    if (format.underline) f.underline = *format.underline;
    if (format.align) {
        for (uint8_t i = 0; i < 4; ++i) {
            if (*format.align == kAlign[i]) f.align = i;
        }
    }
    if (format.leftMargin) f.leftMargin = static_cast<uint16_t>(twips(*format.leftMargin, 65535));
    if (format.rightMargin) f.rightMargin = static_cast<uint16_t>(twips(*format.rightMargin, 65535));
    if (format.indent) f.indent = static_cast<uint16_t>(twips(*format.indent, 65535));
    if (format.leading) f.leading = static_cast<int16_t>(std::clamp(std::round(*format.leading * 20), -32768.0, 32767.0));
}

}  // namespace

bool ScriptHost::getTextField(uint32_t handle, std::string_view name, avm1::Value& out) {
    using avm1::Value;
    DisplayObject* o = textFieldOf(handle);
    if (o == nullptr) return false;
    const EditTextDefinition& f = o->character->edit();
    DisplayObject::EditTextState& state = *o->editText();
    // A field bound to a variable shows the variable's value as it is now.
    if (const TimelineInstance* record = engine_.timeline(handle);
        !f.variable.empty() && record != nullptr && record->parent != nullptr) {
        avm1::Value bound;
        if (engine_.machine().readVariable(record->parent->handle, f.variable, bound)) {
            state.text = engine_.machine().toString(bound);
        }
    }
    const auto plain = [&] { return f.html ? PlainOfHtml(state.text, engine_.definition().version() >= 6, f.multiline) : state.text; };
    avm1::Machine& m = engine_.machine();
    if (name == "text") {
        out = Value::String(plain());
    } else if (name == "htmlText") {
        out = Value::String(f.html ? state.text : plain());
    } else if (name == "html") {
        out = Value::Bool(f.html);
    } else if (name == "length") {
        out = Value::Number(static_cast<double>(base::DecodeText(plain(), engine_.definition().version() >= 6).size()));
    } else if (name == "border") {
        out = Value::Bool(f.border);
    } else if (name == "background") {
        out = Value::Bool(f.background);
    } else if (name == "borderColor") {
        out = Value::Number(ColorNumber(f.borderColor));
    } else if (name == "backgroundColor") {
        out = Value::Number(ColorNumber(f.backgroundColor));
    } else if (name == "textColor") {
        out = Value::Number(ColorNumber(state.textColor.value_or(f.color)));
    } else if (name == "autoSize") {
        out = Value::String(kAutoSize[f.autoSizeMode & 3]);
    } else if (name == "wordWrap") {
        out = Value::Bool(f.wordWrap);
    } else if (name == "multiline") {
        out = Value::Bool(f.multiline);
    } else if (name == "selectable") {
        out = Value::Bool(f.selectable);
    } else if (name == "embedFonts") {
        out = Value::Bool(f.useOutlines);
    } else if (name == "password") {
        out = Value::Bool(f.password);
    } else if (name == "type") {
        out = Value::String(f.readOnly ? "dynamic" : "input");
    } else if (name == "variable") {
        out = f.variable.empty() ? Value::Null() : Value::String(f.variable);
    } else if (name == "maxChars") {
        out = f.maxLength && *f.maxLength > 0 ? Value::Number(*f.maxLength) : Value::Null();
    } else if (name == "textWidth" || name == "textHeight" || name == "bottomScroll") {
        const TextLayout& layout = engine_.textLayout(*o);
        if (name == "bottomScroll") {
            out = Value::Number(std::max(layout.lines, 1));
        } else {
            // Leading lies between lines; a field of one line counts its line's leading too.
            const float height = layout.height + (layout.lines == 1 ? static_cast<float>(f.leading) : 0.0f);
            out = Value::Number(std::round((name == "textWidth" ? layout.width : height) / 20));
        }
    } else if (name == "scroll" || name == "maxscroll") {
        out = Value::Number(1);
    } else if (name == "hscroll" || name == "maxhscroll") {
        out = Value::Number(0);
    } else {
        auto it = state.kept.find(std::string(name));
        out = it != state.kept.end() ? it->second : KeptDefault(m, name);
    }
    return true;
}

bool ScriptHost::setTextField(uint32_t handle, std::string_view name, const avm1::Value& value) {
    DisplayObject* o = textFieldOf(handle);
    if (o == nullptr) return false;
    avm1::Machine& m = engine_.machine();
    DisplayObject::EditTextState& state = *o->editText();
    // Read-only ones change nothing.
    if (name == "length" || name == "textWidth" || name == "textHeight" || name == "bottomScroll" || name == "maxscroll" ||
        name == "maxhscroll") {
        return true;
    }
    if (name == "scroll" || name == "hscroll") return true;  // every line shows from the first
    if (name == "text" || name == "htmlText") {
        const std::string text = m.toString(value);
        // New text takes the format set for new text.
        if (EditTextDefinition* own = engine_.editableText(*o)) ApplyFormat(*own, state.newFormat);
        const EditTextDefinition& f = o->character->edit();
        state.text = f.html && name == "text" ? EscapeHtml(text) : text;
        // A field bound to a variable shows the variable: the variable takes the text.
        const TimelineInstance* record = engine_.timeline(handle);
        if (!f.variable.empty() && record != nullptr && record->parent != nullptr) {
            m.writeVariable(record->parent->handle, f.variable, avm1::Value::String(state.text));
        }
        fitText(*o);
        return true;
    }
    static const char* const kKept[] = {"condenseWhite", "antiAliasType", "gridFitType", "thickness", "sharpness",
                                        "mouseWheelEnabled", "restrict", "filters", "styleSheet", "tabEnabled", "tabIndex"};
    for (const char* kept : kKept) {
        if (name == kept) {
            state.kept[std::string(name)] = value;
            return true;
        }
    }
    EditTextDefinition* f = engine_.editableText(*o);
    if (f == nullptr) return false;
    const bool flag = m.toBoolean(value);
    if (name == "html") {
        f->html = flag;
    } else if (name == "border") {
        f->border = flag;
    } else if (name == "background") {
        f->background = flag;
    } else if (name == "borderColor" || name == "backgroundColor" || name == "textColor") {
        const double n = m.toNumber(value);
        const swf::Color c = ColorOf(std::isfinite(n) ? n : 0);
        (name == "borderColor" ? f->borderColor : name == "backgroundColor" ? f->backgroundColor : f->color) = c;
        if (name == "textColor") {
            state.textColor = c;
            state.newFormat.color = static_cast<double>(ColorNumber(c));
        }
    } else if (name == "autoSize") {
        // true is "left", false "none"; else the name, in any case, and what names no mode is
        // "none".
        f->autoSizeMode = 0;
        if (value.type() == avm1::Type::kBool) {
            f->autoSizeMode = flag ? 1 : 0;
        } else {
            const std::string mode = m.toString(value);
            for (uint8_t i = 0; i < 4; ++i) {
                if (base::SameNoCase(mode, kAutoSize[i])) f->autoSizeMode = i;
            }
        }
        f->autoSize = f->autoSizeMode != 0;
    } else if (name == "wordWrap") {
        f->wordWrap = flag;
    } else if (name == "multiline") {
        f->multiline = flag;
    } else if (name == "selectable") {
        f->selectable = flag;
    } else if (name == "embedFonts") {
        f->useOutlines = flag;
    } else if (name == "password") {
        f->password = flag;
    } else if (name == "type") {
        // Either name, in any case; anything else leaves the type as it is.
        const std::string type = m.toString(value);
        if (base::SameNoCase(type, "input") || base::SameNoCase(type, "dynamic")) f->readOnly = base::SameNoCase(type, "dynamic");
    } else if (name == "variable") {
        f->variable = value.isUndefined() || value.type() == avm1::Type::kNull ? std::string() : m.toString(value);
    } else if (name == "maxChars") {
        const double n = m.toNumber(value);
        if (std::isfinite(n) && n > 0) {
            f->maxLength = static_cast<uint16_t>(std::min(n, 65535.0));
        } else {
            f->maxLength.reset();
        }
    } else {
        return false;
    }
    fitText(*o);
    return true;
}

void ScriptHost::fitText(DisplayObject& o) {
    const EditTextDefinition& current = o.character->edit();
    if (current.autoSizeMode == 0) return;
    const TextLayout& layout = engine_.textLayout(o);
    constexpr int32_t kPadding = 80;  // 2 px each side
    const int32_t height = static_cast<int32_t>(std::ceil(layout.height)) + kPadding;
    const int32_t width = static_cast<int32_t>(std::ceil(layout.width)) + kPadding;
    const swf::Rect b = current.bounds;
    swf::Rect fitted = b;
    fitted.yMax = b.yMin + height;
    if (!current.wordWrap) {
        if (current.autoSizeMode == 1) {
            fitted.xMax = b.xMin + width;
        } else if (current.autoSizeMode == 3) {
            fitted.xMin = b.xMax - width;
        } else {
            const int32_t centre = (b.xMin + b.xMax) / 2;
            fitted.xMin = centre - width / 2;
            fitted.xMax = fitted.xMin + width;
        }
    }
    if (fitted.xMin == b.xMin && fitted.xMax == b.xMax && fitted.yMin == b.yMin && fitted.yMax == b.yMax) return;
    if (EditTextDefinition* f = engine_.editableText(o)) f->bounds = fitted;
}

uint32_t ScriptHost::createTextField(uint32_t parent, std::string_view name, int depth, double x, double y, double width,
                                     double height) {
    TimelineInstance* t = engine_.timeline(parent);
    int32_t key = 0;
    if (t == nullptr || !DepthKey(depth, key)) return 0;
    const auto twips = [](double px) { return static_cast<int32_t>(std::clamp(std::round(px * 20), -1e9, 1e9)); };
    const swf::Rect bounds{twips(x), twips(x) + std::max(twips(width), 0), twips(y), twips(y) + std::max(twips(height), 0)};
    TimelineInstance* made = engine_.makeTextField(*t, key, std::string(name), bounds);
    return made != nullptr ? made->handle : 0;
}

bool ScriptHost::textFormat(uint32_t handle, avm1::TextFormatFields& out) {
    DisplayObject* o = textFieldOf(handle);
    if (o == nullptr) return false;
    const EditTextDefinition& f = o->character->edit();
    std::string font = f.fontName;
    if (f.fontId) {
        if (const Character* c = engine_.definition().character(*f.fontId); c != nullptr && c->kind() == Character::Kind::kFont) {
            font = c->font().name;
        }
    }
    out.font = font.empty() ? "Times New Roman" : font;
    out.size = f.height / 20.0;
    out.color = ColorNumber(f.color);
    out.bold = f.bold;
    out.italic = f.italic;
    out.underline = f.underline;
    out.url = "";
    out.target = "";
    out.align = kAlign[f.align & 3];
    if (f.html) {
        // An HTML field's text has its own paragraphs: the first one's alignment, and an empty
        // field's is left. A paragraph that gives none takes the field's from version 8, and
        // is left aligned before.
        const DisplayObject::EditTextState& state = *o->editText();
        const bool utf8 = engine_.definition().version() >= 6;
        const std::vector<Paragraph> paragraphs = ParseHtmlText(state.text, TextStyle{}, engine_.definition().version() >= 8 ? f.align : 0, utf8);
        const bool empty = std::all_of(paragraphs.begin(), paragraphs.end(), [](const Paragraph& p) { return p.runs.empty(); });
        out.align = kAlign[empty ? 0 : paragraphs.front().align & 3];
    }
    out.leftMargin = f.leftMargin / 20.0;
    out.rightMargin = f.rightMargin / 20.0;
    out.indent = f.indent / 20.0;
    out.leading = f.leading / 20.0;
    out.blockIndent = 0;
    out.bullet = false;
    // A field from the movie's file kerns; one a script made does not.
    out.kerning = o->characterId != 0;
    out.letterSpacing = 0;
    return true;
}


void ScriptHost::setTextFormat(uint32_t handle, const avm1::TextFormatFields& format) {
    DisplayObject* o = textFieldOf(handle);
    EditTextDefinition* f = o != nullptr ? engine_.editableText(*o) : nullptr;
    if (f == nullptr) return;
    // textColor keeps reading the colour the field had.
    DisplayObject::EditTextState& state = *o->editText();
    if (!state.textColor) state.textColor = f->color;
    ApplyFormat(*f, format);
    fitText(*o);
}

bool ScriptHost::newTextFormat(uint32_t handle, avm1::TextFormatFields& out) {
    if (!textFormat(handle, out)) return false;
    MergeFormat(out, textFieldOf(handle)->editText()->newFormat);
    return true;
}

// The format is kept for text put in later; a field with no text yet shows it at once.
void ScriptHost::setNewTextFormat(uint32_t handle, const avm1::TextFormatFields& format) {
    DisplayObject* o = textFieldOf(handle);
    if (o == nullptr) return;
    DisplayObject::EditTextState& state = *o->editText();
    avm1::TextFormatFields& n = state.newFormat;
    MergeFormat(n, format);
    if (format.color) state.textColor = ColorOf(*format.color);
    if (state.text.empty()) {
        EditTextDefinition* f = engine_.editableText(*o);
        if (f == nullptr) return;
        ApplyFormat(*f, n);
        fitText(*o);
    }
}

bool ScriptHost::measureText(const avm1::TextFormatFields& format, const std::string& text, double wrap, double (&out)[4]) {
    EditTextDefinition f;
    f.fontName = "Times New Roman";
    f.height = 240;
    f.readOnly = true;
    f.multiline = true;
    ApplyFormat(f, format);
    constexpr int32_t kUnbounded = 1 << 28;
    f.bounds = swf::Rect{0, kUnbounded, 0, kUnbounded};
    if (std::isfinite(wrap) && wrap > 0) {
        f.wordWrap = true;
        f.bounds.xMax = static_cast<int32_t>(std::min(wrap * 20, static_cast<double>(kUnbounded)));
    }
    float ascent = 0, descent = 0;
    const TextLayout layout = engine_.measureText(f, text, ascent, descent);
    out[0] = layout.width / 20.0;
    out[1] = layout.height / 20.0;
    out[2] = ascent / 20.0;
    out[3] = descent / 20.0;
    return true;
}

}  // namespace movie
