#pragma once
// The ActionScript 1 and 2 machine: runs DoAction, DoInitAction and clip-event bytecode
// against a Host. Each action has one handler (avm1/actions/), the built-in functions and
// methods are tables (avm1/globals/), and one block's run is an Activation.
//
// Values may refer to objects of the machine's heap (avm1/heap.h); the actions that would make
// objects, arrays and functions are not built yet: they give undefined, and a function
// definition defines nothing, each reported once through the host's log.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/host.h"
#include "avm1/value.h"

namespace avm1 {

// Limits of one run, checked as the script runs.
inline constexpr int64_t kMaxInstructionsPerFrame = 1'000'000;  // all scripts of one frame together
inline constexpr size_t kMaxStackValues = 1u << 16;
inline constexpr size_t kMaxStringBytes = 1u << 24;  // 16 MiB: longer results stop the script
inline constexpr int kMaxCallDepth = 32;              // ActionCall of frames calling frames
inline constexpr size_t kMaxVariablesPerClip = 1u << 16;
inline constexpr int kRegisterCount = 4;              // the global registers of SWF 5 code

class Machine {
public:
    Machine(Host& host, int version) : host_(host), version_(version), heap_(version >= 7) {}

    // A new frame: the instruction budget starts over, and the heap is collected when it has
    // grown since the last collection. No block runs between frames, so the roots are the
    // registers and what the host keeps.
    void startFrame();
    // Collects the heap now; returns how many objects were freed.
    size_t collectGarbage();
    Heap& heap() { return heap_; }
    // Runs one block of bytecode with `clip` as its timeline and scope.
    void run(const std::vector<uint8_t>& code, uint32_t clip) { execute(code, clip, 0); }

    // A variable by its name and path ("a/b:v", "_root.a.v") as seen from `clip`: for text
    // fields bound to variables. False when there is none.
    bool readVariable(uint32_t clip, std::string_view name, Value& out);
    void writeVariable(uint32_t clip, std::string_view name, const Value& value);

    std::string toString(const Value& v);
    double toNumber(const Value& v) const;
    bool toBoolean(const Value& v) const;
    int version() const { return version_; }
    bool budgetSpent() const { return budget_ <= 0; }

    // --- for the action handlers and the built-ins ---
    Host& host() { return host_; }
    // Movies of version 4 and below know no booleans: comparisons give 1 and 0.
    Value boolResult(bool b) const { return version_ <= 4 ? Value::Number(b ? 1 : 0) : Value::Bool(b); }
    // Logs, once per operation, that it is not built yet.
    void unsupported(const char* what);
    // Runs a block `depth` calls deep (ActionCall nests them).
    void execute(const std::vector<uint8_t>& code, uint32_t clip, int depth);
    // The clip a target path names from `from` ("../a", "/b", "_root.c"), or 0.
    uint32_t resolvePath(uint32_t from, std::string_view path);
    Value getMember(const Value& object, const std::string& name);
    void setMember(const Value& object, const std::string& name, const Value& value);
    Value& registerAt(int index) { return registers_[index]; }
    // The next number of the fixed sequence RandomNumber draws from, so renders repeat.
    uint32_t nextRandom();

private:
    Host& host_;
    int version_;
    int64_t budget_ = kMaxInstructionsPerFrame;
    Value registers_[kRegisterCount];
    std::vector<std::string> reported_;  // operations already reported as unsupported
    bool budgetReported_ = false;
    uint32_t random_ = 0x2545F491u;
    Heap heap_;
    size_t collectAt_ = kFirstCollection;  // live objects that start the next collection
    static constexpr size_t kFirstCollection = 1024;
};

}  // namespace avm1
