// NetConnection, NetStream and Video: FLV files beside the movie played into Video objects.
// A NetConnection connects to nothing (null) only; a NetStream plays a file, raising the
// onStatus events the players raise (Play.Start and Buffer.Full when it starts; Buffer.Flush,
// Play.Stop and Buffer.Empty at its end; Play.StreamNotFound when the file cannot be read).
#include <algorithm>
#include <cmath>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

// --- NetConnection ---

Value ConstructConnection(Machine& m, const Value& self, std::vector<Value>&) {
    if (self.type() == Type::kObject) m.setMember(self, "isConnected", Value::Bool(false));
    return self;
}

// connect(null): a local connection, for files; anything else would reach a server.
Value Connect(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value target = Argument(args, 0);
    const bool local = target.type() == Type::kNull || target.type() == Type::kUndefined;
    if (self.type() == Type::kObject) m.setMember(self, "isConnected", Value::Bool(local));
    if (!local) m.host().log("NetConnection.connect: nothing is fetched from the network");
    return Value::Bool(local);
}

constexpr NativeMember kConnectionMethods[] = {{"connect", Connect}};

// --- NetStream ---

enum Slot : size_t { kStream, kPaused, kSlotCount };

Object* StreamOf(Machine& m, const Value& self) {
    Object* o = SelfObject(m, self);
    return o != nullptr && o->slots.size() == kSlotCount ? o : nullptr;
}

uint32_t NumberOf(const Object& o) {
    return o.slots[kStream].type() == Type::kNumber ? static_cast<uint32_t>(o.slots[kStream].number()) : 0;
}

Value ConstructStream(Machine& m, const Value& self, std::vector<Value>&) {
    if (SelfObject(m, self) == nullptr) return self;
    const uint32_t stream = m.host().newNetStream(self);
    if (Object* o = SelfObject(m, self)) {
        o->slots.assign(kSlotCount, Value::Number(stream));
        o->slots[kPaused] = Value::Bool(false);
    }
    return self;
}

Value StatusInfo(Machine& m, const char* level, const char* code) {
    const Value info = Value::Object(m.newObject());
    m.setMember(info, "code", Value::String(code));
    m.setMember(info, "level", Value::String(level));
    return info;
}

Value Play(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = StreamOf(m, self);
    if (o == nullptr || args.empty() || NumberOf(*o) == 0) return Value();
    const uint32_t stream = NumberOf(*o);
    const std::string url = m.toString(args[0]);
    std::string reason;
    const bool loaded = m.host().loadNetStream(stream, url, reason);
    if ((o = StreamOf(m, self)) == nullptr) return Value();
    o->slots[kPaused] = Value::Bool(false);
    if (!loaded) {
        m.host().log("NetStream.play: " + reason);
        m.host().queueEvent(self, "onStatus", {StatusInfo(m, "error", "NetStream.Play.StreamNotFound")});
        return Value();
    }
    m.host().netStreamCommand(stream, Host::StreamCommand::kPlay, 0);
    return Value();
}

// pause(): pauses or resumes; pause(true) pauses, pause(false) resumes.
Value Pause(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = StreamOf(m, self);
    if (o == nullptr || NumberOf(*o) == 0) return Value();
    const bool pause = args.empty() || args[0].type() == Type::kUndefined ? !o->slots[kPaused].boolean() : m.toBoolean(args[0]);
    if ((o = StreamOf(m, self)) == nullptr) return Value();
    o->slots[kPaused] = Value::Bool(pause);
    m.host().netStreamCommand(NumberOf(*o), pause ? Host::StreamCommand::kPause : Host::StreamCommand::kResume, 0);
    return Value();
}

Value Seek(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = StreamOf(m, self);
    if (o == nullptr || NumberOf(*o) == 0) return Value();
    const double seconds = args.empty() ? 0 : m.toNumber(args[0]);
    if ((o = StreamOf(m, self)) != nullptr) m.host().netStreamCommand(NumberOf(*o), Host::StreamCommand::kSeek, seconds);
    return Value();
}

// close(): the stream stops and forgets its file; it may play another.
Value Close(Machine& m, const Value& self, std::vector<Value>&) {
    Object* o = StreamOf(m, self);
    if (o == nullptr || NumberOf(*o) == 0) return Value();
    m.host().netStreamCommand(NumberOf(*o), Host::StreamCommand::kClose, 0);
    return Value();
}

Value SetBufferTime(Machine& m, const Value& self, std::vector<Value>& args) {
    if (self.type() == Type::kObject) m.setMember(self, "bufferTime", Value::Number(args.empty() ? 0 : m.toNumber(args[0])));
    return Value();
}

Value Time(Machine& m, const Value& self, std::vector<Value>&) {
    Object* o = StreamOf(m, self);
    if (o == nullptr) return Value();
    return Value::Number(NumberOf(*o) != 0 ? m.host().netStreamTime(NumberOf(*o)) : 0);
}

Value Nothing(Machine&, const Value&, std::vector<Value>&) { return Value(); }

constexpr NativeMember kStreamMethods[] = {{"play", Play},   {"pause", Pause},
                                           {"seek", Seek},   {"close", Close},
                                           {"setBufferTime", SetBufferTime}};

// --- Video ---

// attachVideo(stream): the Video shows the stream's pictures; attachVideo(null) its own.
Value AttachVideo(Machine& m, const Value& self, std::vector<Value>& args) {
    const uint32_t video = self.type() == Type::kClip ? ClipOf(m, self) : 0;
    if (video == 0) return Value();
    Object* s = args.empty() ? nullptr : StreamOf(m, args[0]);
    m.host().attachVideo(video, s != nullptr ? NumberOf(*s) : 0);
    return Value();
}

Value Clear(Machine& m, const Value& self, std::vector<Value>&) {
    if (const uint32_t video = self.type() == Type::kClip ? ClipOf(m, self) : 0) m.host().attachVideo(video, 0);
    return Value();
}

Value ConstructVideo(Machine&, const Value& self, std::vector<Value>&) { return self; }

uint32_t VideoOf(Machine& m, const Value& self) { return self.type() == Type::kClip ? ClipOf(m, self) : 0; }

// width and height: the size of the pictures shown, 0 before any.
template <bool kWidth>
Value VideoDimension(Machine& m, const Value& self, std::vector<Value>&) {
    int width = 0, height = 0;
    if (!m.host().videoSize(VideoOf(m, self), width, height)) return Value();
    return Value::Number(kWidth ? width : height);
}

Value GetSmoothing(Machine& m, const Value& self, std::vector<Value>&) {
    bool smoothing = false;
    int deblocking = 0;
    return m.host().videoSettings(VideoOf(m, self), smoothing, deblocking) ? Value::Bool(smoothing) : Value();
}

Value SetSmoothing(Machine& m, const Value& self, std::vector<Value>& args) {
    m.host().setVideoSmoothing(VideoOf(m, self), m.toBoolean(Argument(args, 0)));
    return Value();
}

Value GetDeblocking(Machine& m, const Value& self, std::vector<Value>&) {
    bool smoothing = false;
    int deblocking = 0;
    return m.host().videoSettings(VideoOf(m, self), smoothing, deblocking) ? Value::Number(deblocking) : Value();
}

Value SetDeblocking(Machine& m, const Value& self, std::vector<Value>& args) {
    const double v = m.toNumber(Argument(args, 0));
    m.host().setVideoDeblocking(VideoOf(m, self), std::isfinite(v) && v > 0 ? static_cast<int>(std::min(v, 255.0)) : 0);
    return Value();
}

constexpr NativeMember kVideoMethods[] = {{"attachVideo", AttachVideo}, {"clear", Clear}};

}  // namespace

void InstallNetStream(Machine& m, Builtins& b) {
    ObjectHandle connection, stream;
    DefineClass(m, "NetConnection", ConstructConnection, connection, kConnectionMethods);
    DefineClass(m, "NetStream", ConstructStream, stream, kStreamMethods);
    // time reads the stream's clock; writing it changes nothing.
    Object* p = m.heap().get(stream);
    p->setAccessor("time", Value::Object(m.newNative(Time)), Value::Object(m.newNative(Nothing)));
    p->setAttributes("time", attribute::kDontEnum);
    DefineClass(m, "Video", ConstructVideo, b.video, kVideoMethods);
    Object* video = m.heap().get(b.video);
    const struct {
        const char* name;
        NativeFunction get, set;
    } kVideoProperties[] = {{"width", VideoDimension<true>, Nothing},
                            {"height", VideoDimension<false>, Nothing},
                            {"smoothing", GetSmoothing, SetSmoothing},
                            {"deblocking", GetDeblocking, SetDeblocking}};
    for (const auto& property : kVideoProperties) {
        video->setAccessor(property.name, Value::Object(m.newNative(property.get)), Value::Object(m.newNative(property.set)));
        video->setAttributes(property.name, attribute::kDontEnum);
    }
}

}  // namespace avm1
