// Control flow: branches, the end of a block, and the block structures whose bodies follow
// the action (functions, with, try).
#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

bool Jump(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::BranchAction>(&action.operands);
    return op != nullptr && a.branch(op->offset);
}

bool If(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::BranchAction>(&action.operands);
    if (op == nullptr) return false;
    return !a.boolean(a.pop()) || a.branch(op->offset);
}

// Return at the top of a block ends the block; so does a Throw that nothing catches.
bool Return(Activation&, const swf::Action&) { return false; }

bool Throw(Activation& a, const swf::Action&) {
    a.pop();
    return false;
}

// With: its body runs in the scope around it.
bool With(Activation& a, const swf::Action& action) {
    a.pop();
    a.machine.unsupported(swf::ActionName(action.code));
    return true;
}

// DefineFunction and DefineFunction2: the body is skipped; a function literal is undefined.
bool DefineFunction(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::DefineFunctionAction>(&action.operands);
    if (op == nullptr || op->codeSize > a.code->size() - a.next) return false;
    a.next += op->codeSize;
    a.machine.unsupported(swf::ActionName(action.code));
    if (op->name.empty()) a.push(Value());
    return true;
}

// Try: the try block runs, the catch block is skipped, finally runs.
bool Try(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::TryAction>(&action.operands);
    if (op == nullptr) return false;
    if (op->catchSize > 0) a.skips.emplace_back(a.next + op->trySize, a.next + op->trySize + op->catchSize);
    return true;
}

}  // namespace

void AddControlActions(ActionHandlers& h) {
    h.set(ActionCode::kJump, Jump);
    h.set(ActionCode::kIf, If);
    h.set(ActionCode::kReturn, Return);
    h.set(ActionCode::kThrow, Throw);
    h.set(ActionCode::kWith, With);
    h.set(ActionCode::kDefineFunction, DefineFunction);
    h.set(ActionCode::kDefineFunction2, DefineFunction);
    h.set(ActionCode::kTry, Try);
}

}  // namespace avm1
