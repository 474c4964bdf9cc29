// System: the player's capabilities, as constants (a conversion runs without a screen, so
// these are what a desktop player reports), and the security calls, which have nothing to do.
#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

Value Nothing(Machine&, const Value&, std::vector<Value>&) { return Value(); }

constexpr NativeMember kSecurity[] = {{"allowDomain", Nothing}, {"allowInsecureDomain", Nothing},
                                      {"loadPolicyFile", Nothing}};
constexpr NativeMember kSystem[] = {{"setClipboard", Nothing}, {"showSettings", Nothing}};

}  // namespace

void InstallSystem(Machine& m, Builtins& b) {
    Heap& heap = m.heap();
    const ObjectHandle system = heap.make(b.object);
    const ObjectHandle capabilities = heap.make(b.object);
    const ObjectHandle security = heap.make(b.object);
    DefineMethods(m, security, kSecurity);
    heap.get(security)->set("sandboxType", Value::String(m.host().sandboxType()), attribute::kReadOnly | attribute::kDontDelete);
    DefineMethods(m, system, kSystem);
    Object* c = heap.get(capabilities);
    const std::pair<const char*, Value> values[] = {
        {"screenResolutionX", Value::Number(1536)}, {"screenResolutionY", Value::Number(864)},
        {"pixelAspectRatio", Value::Number(1)},     {"screenDPI", Value::Number(72)},
        {"screenColor", Value::String("color")},    {"os", Value::String("Linux")},
        {"version", Value::String("LNX 32,0,0,0")}, {"manufacturer", Value::String("Adobe Linux")},
        {"playerType", Value::String("StandAlone")}, {"language", Value::String("en")},
        {"hasAudio", Value::Bool(true)},            {"hasMP3", Value::Bool(true)},
        {"hasVideoEncoder", Value::Bool(false)},    {"hasAccessibility", Value::Bool(false)},
        {"isDebugger", Value::Bool(false)},         {"localFileReadDisable", Value::Bool(false)},
        {"avHardwareDisable", Value::Bool(true)},   {"hasPrinting", Value::Bool(false)},
        {"hasStreamingAudio", Value::Bool(true)},   {"hasStreamingVideo", Value::Bool(true)},
        {"hasEmbeddedVideo", Value::Bool(true)},    {"hasScreenBroadcast", Value::Bool(false)},
        {"hasScreenPlayback", Value::Bool(false)},  {"hasAudioEncoder", Value::Bool(false)},
    };
    for (const auto& [name, value] : values) c->set(name, value, attribute::kReadOnly | attribute::kDontDelete);
    Object* s = heap.get(system);
    s->set("capabilities", Value::Object(capabilities));
    s->set("security", Value::Object(security));
    s->set("useCodepage", Value::Bool(false));
    heap.get(b.global)->set("System", Value::Object(system), attribute::kDontEnum);
}

}  // namespace avm1
