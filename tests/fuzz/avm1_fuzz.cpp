// Fuzzes the interpreter on its own: the input is bytecode run on a main timeline with one
// named clip, in the movie version its first byte gives.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "avm1/machine.h"

namespace {

using avm1::Value;

class Host final : public avm1::Host {
public:
    std::map<uint32_t, std::map<std::string, Value>> vars;
    int frame[3] = {0, 0, 0};
    std::vector<uint8_t> script;

    uint32_t root() override { return 1; }
    uint32_t parent(uint32_t c) override { return c == 2 ? 1 : 0; }
    uint32_t child(uint32_t c, std::string_view n) override { return c == 1 && n == "a" ? 2 : 0; }
    bool exists(uint32_t c) override { return c == 1 || c == 2; }
    bool getVariable(uint32_t c, std::string_view n, Value& out) override {
        auto it = vars[c].find(std::string(n));
        if (it == vars[c].end()) return false;
        out = it->second;
        return true;
    }
    void setVariable(uint32_t c, std::string_view n, const Value& v) override {
        if (vars[c].size() < 1000) vars[c][std::string(n)] = v;
    }
    bool deleteVariable(uint32_t c, std::string_view n) override { return vars[c].erase(std::string(n)) > 0; }
    Value getProperty(uint32_t, int) override { return Value::Number(1); }
    void setProperty(uint32_t, int, const Value&) override {}
    void play(uint32_t) override {}
    void stop(uint32_t) override {}
    void gotoFrame(uint32_t c, int f, bool) override { frame[c] = f < 0 ? 0 : f > 9 ? 9 : f; }
    int frameOfLabel(uint32_t, std::string_view l) override { return l == "x" ? 3 : -1; }
    int currentFrame(uint32_t c) override { return frame[c]; }
    int totalFrames(uint32_t) override { return 10; }
    std::vector<const std::vector<uint8_t>*> frameScripts(uint32_t, int) override { return {&script}; }
    std::string path(uint32_t c) override { return c == 1 ? "_level0" : "_level0.a"; }
    std::string name(uint32_t c) override { return c == 2 ? "a" : ""; }
    void trace(const std::string&) override {}
    void log(const std::string&) override {}
    double timer() override { return 0; }
    void traceValues(avm1::Tracer& tracer) override {
        for (const auto& [clip, names] : vars) {
            for (const auto& [name, value] : names) tracer.value(value);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Host host;
    host.script.assign(data + 1, data + size);  // ActionCall runs the same code again
    avm1::Machine machine(host, data[0] % 12);
    machine.startFrame();
    machine.run(host.script, 1);
    return 0;
}
