#pragma once
// A host for machine tests: the main timeline (1) with a clip "a" (2) holding a clip "b" (3),
// recording what scripts print, log and do to the timelines.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "avm1/host.h"
#include "avm1/machine.h"
#include "support/action_builder.h"

namespace testing_support {

using avm1::Value;

// The main timeline (1) with a clip "a" (2) holding a clip "b" (3).
class FakeHost : public avm1::Host {
public:
    std::map<uint32_t, std::map<std::string, Value>> vars;
    std::vector<std::string> traced, logged, calls;
    std::map<uint32_t, int> frames{{1, 0}, {2, 0}, {3, 0}};

    uint32_t root() override { return 1; }
    uint32_t parent(uint32_t c) override { return c == 3 ? 2 : c == 2 ? 1 : 0; }
    uint32_t child(uint32_t c, std::string_view n) override {
        if (c == 1 && n == "a") return 2;
        if (c == 2 && n == "b") return 3;
        return 0;
    }
    bool exists(uint32_t c) override { return c >= 1 && c <= 3; }
    bool getVariable(uint32_t c, std::string_view n, Value& out) override {
        auto it = vars[c].find(std::string(n));
        if (it == vars[c].end()) return false;
        out = it->second;
        return true;
    }
    void setVariable(uint32_t c, std::string_view n, const Value& v) override { vars[c][std::string(n)] = v; }
    bool deleteVariable(uint32_t c, std::string_view n) override { return vars[c].erase(std::string(n)) > 0; }
    Value getProperty(uint32_t c, int p) override {
        return p == avm1::kPropCurrentFrame ? Value::Number(frames[c] + 1) : Value::Number(0);
    }
    void setProperty(uint32_t, int, const Value&) override {}
    void play(uint32_t c) override { calls.push_back("play " + std::to_string(c)); }
    void stop(uint32_t c) override { calls.push_back("stop " + std::to_string(c)); }
    void gotoFrame(uint32_t c, int f, bool play) override {
        frames[c] = std::max(0, std::min(f, 9));
        calls.push_back("goto " + std::to_string(c) + " " + std::to_string(f) + (play ? " play" : " stop"));
    }
    int frameOfLabel(uint32_t, std::string_view l) override { return l == "end" ? 9 : -1; }
    int currentFrame(uint32_t c) override { return frames[c]; }
    int totalFrames(uint32_t) override { return 10; }
    std::vector<const std::vector<uint8_t>*> frameScripts(uint32_t, int f) override {
        std::vector<const std::vector<uint8_t>*> out;
        if (f == 4) out.push_back(&frame4);
        return out;
    }
    std::string path(uint32_t c) override { return c == 1 ? "_level0" : c == 2 ? "_level0.a" : "_level0.a.b"; }
    std::string name(uint32_t c) override { return c == 2 ? "a" : c == 3 ? "b" : ""; }
    void trace(const std::string& line) override { traced.push_back(line); }
    void log(const std::string& line) override { logged.push_back(line); }
    double timer() override { return 1234.5; }
    void traceValues(avm1::Tracer& tracer) override {
        for (const auto& [clip, names] : vars) {
            for (const auto& [name, value] : names) tracer.value(value);
        }
    }

    std::vector<uint8_t> frame4 = Actions().push("called").trace().bytes();
};

// What a block traces when it runs once on the main timeline of a fresh machine.
inline std::vector<std::string> TracedBy(const Actions& a, int version = 8) {
    FakeHost host;
    avm1::Machine m(host, version);
    m.startFrame();
    const std::vector<uint8_t> code = a.bytes();
    m.run(code, 1);
    return host.traced;
}


}  // namespace testing_support
