#pragma once
// One run of one block of bytecode or of one function call: its position, its scope chain,
// `this`, its registers and constant pool, the timeline it belongs to and the one SetTarget
// points it at. Its values live on the machine's shared stack above `stackBase`. The action
// handlers work through it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/machine.h"

namespace avm1 {

struct Activation {
    Activation(Machine& m, uint32_t timeline);
    ~Activation();
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;

    Machine& machine;
    Host& host;
    const std::vector<uint8_t>* code = nullptr;
    size_t ip = 0;    // the action running
    size_t next = 0;  // where the run goes on after it; branches move it
    uint32_t clip = 0;    // the timeline the code belongs to
    uint32_t target = 0;  // the timeline SetTarget points the code at
    // SetTarget named no clip: the root stands in as the target, but the target itself (the
    // empty path) is nothing.
    bool targetLost = false;
    int depth = 0;
    SharedPool pool;
    std::vector<ScopeEntry> scope;  // innermost last
    Value self;                     // `this`
    ObjectHandle locals;            // a function's variables; none at the top of a block
    Value callee;                   // the function running, for arguments.callee
    ObjectHandle home;              // where the function was found, for super
    std::vector<Value> registers;
    // Where registers past a function's own go: the registers of the block that runs it
    // (the reference players' global registers), or none.
    std::vector<Value>* outerRegisters = nullptr;
    // Register `i`: the activation's own, else the outer ones; null when neither has it.
    Value* reg(size_t i) {
        if (i < registers.size()) return &registers[i];
        if (outerRegisters != nullptr && i < outerRegisters->size()) return &(*outerRegisters)[i];
        return nullptr;
    }
    size_t stackBase = 0;
    Value returned;
    bool stopped = false;

    // The top of the stack, or undefined when this activation has put nothing there.
    Value pop();
    Value& peek();
    // False, and the run stopped, past kMaxStackValues.
    bool push(Value v);
    // The count operand of calls and initialisers, popped: 0 for NaN and negatives, and no
    // more than the values there are.
    size_t popCount();
    // `count` values popped: the first popped first.
    std::vector<Value> popArgs(size_t count);
    double number(const Value& v) { return machine.toNumber(v); }
    std::string string(const Value& v) { return machine.toString(v); }
    bool boolean(const Value& v) const { return machine.toBoolean(v); }
    int version() const { return machine.version(); }
    // A branch from the next action; false when it would leave the block.
    bool branch(int16_t offset);

    // A clip given as a value: a clip, or a target path from the current target.
    uint32_t targetOf(const Value& v);
    // A variable by its name, which may carry a path: "a/b:v", "/:v", "_root.a.v".
    // `with`, when given, is set to the with() object the variable was found on, or to the
    // object or clip its path names (a function called by a path is that one's method).
    Value getVariable(std::string_view name, Value* with = nullptr);
    void setVariable(std::string_view name, const Value& value);
    // `var name = value`: on the function's own variables, or the timeline's at the top.
    void defineLocal(std::string_view name, const Value& value, bool onlyIfMissing);
    bool deleteVariable(std::string_view name);
    // SetTarget: the target timeline, and the scope link it stands for.
    // `clip` 0: the path named nothing, and the root stands in.
    void retarget(uint32_t clip);
    // GotoFrame2 and gotoAndPlay/Stop: a number is a frame from 1; a string a label, a
    // frame number, or either after a "path:".
    void gotoFrameValue(const Value& frame, bool play, int bias);

private:
    bool splitPath(std::string_view name, uint32_t& clip, std::string_view& var);
    // `reading`: the path must lead to an object that has the last name.
    bool dottedPath(std::string_view name, Value& owner, std::string_view& last, bool reading);
    // A plain name through the scope chain, innermost first.
    Value lookup(std::string_view name, Value* with = nullptr);
    // A name no scope link is asked about: this, _global, _root, _level0.
    bool special(std::string_view name, Value& out);
};

}  // namespace avm1
