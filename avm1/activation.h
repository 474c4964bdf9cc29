#pragma once
// One run of one block of bytecode: its position, its stack and constant pool, the timeline
// it belongs to and the one SetTarget points it at. The action handlers work through it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "avm1/machine.h"

namespace avm1 {

struct Activation {
    Activation(Machine& m, uint32_t timeline) : machine(m), host(m.host()), clip(timeline), target(timeline) {}

    Machine& machine;
    Host& host;
    const std::vector<uint8_t>* code = nullptr;
    size_t ip = 0;    // the action running
    size_t next = 0;  // where the run goes on after it; branches move it
    uint32_t clip = 0;    // the timeline the code belongs to
    uint32_t target = 0;  // the timeline SetTarget points the code at
    int depth = 0;
    std::vector<std::string> pool;
    std::vector<Value> stack;
    // Try blocks: on reaching `first`, execution goes on at `second` (past the catch block).
    std::vector<std::pair<size_t, size_t>> skips;
    bool stopped = false;

    // The top of the stack, or undefined when it is empty.
    Value pop();
    // False, and the run stopped, past kMaxStackValues.
    bool push(Value v);
    // The count operand of calls and initialisers, popped: 0 for NaN and negatives.
    size_t popCount();
    double number(const Value& v) const { return machine.toNumber(v); }
    std::string string(const Value& v) { return machine.toString(v); }
    bool boolean(const Value& v) const { return machine.toBoolean(v); }
    int version() const { return machine.version(); }
    // False, and the run stopped, for a string past kMaxStringBytes.
    bool checkString(const std::string& s);
    // A branch from the next action; false when it would leave the block.
    bool branch(int16_t offset);

    // A clip given as a value: a clip, or a target path from the current target.
    uint32_t targetOf(const Value& v);
    // A variable by its name, which may carry a path: "a/b:v", "/:v", "_root.a.v".
    Value getVariable(std::string_view name);
    void setVariable(std::string_view name, const Value& value);
    // GotoFrame2 and gotoAndPlay/Stop: a number is a frame from 1; a string a label, a
    // frame number, or either after a "path:".
    void gotoFrameValue(const Value& frame, bool play, int bias);

private:
    bool splitPath(std::string_view name, uint32_t& clip, std::string_view& var);
};

}  // namespace avm1
