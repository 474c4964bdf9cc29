// Control flow: branches, returns and throws, and the block structures whose bodies follow
// the action (functions, with, try). A body runs as a range of the same activation, so a
// branch out of it (a break, a continue) leaves it where the branch goes.
#include <algorithm>

#include "avm1/actions/handlers.h"
#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

using swf::ActionCode;
using Flow = Machine::Flow;

bool Jump(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::BranchAction>(&action.operands);
    return op != nullptr && a.branch(op->offset);
}

bool If(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::BranchAction>(&action.operands);
    if (op == nullptr) return false;
    return !a.boolean(a.pop()) || a.branch(op->offset);
}

bool Return(Activation& a, const swf::Action&) {
    a.returned = a.pop();
    return false;
}

bool Throw(Activation& a, const swf::Action&) {
    a.machine.throwValue(a.pop());
    return true;
}

// After a body ran as a range: goes on where it left off, or past `end` when it ran to its
// end; false ends the block (a return, or the scripts stopped).
bool Resume(Activation& a, Flow flow, size_t bodyEnd, size_t end) {
    switch (flow) {
        case Flow::kNormal: a.next = a.ip == bodyEnd ? end : a.ip; return true;
        case Flow::kThrow: return true;  // the run loop sees it
        case Flow::kReturn: return false;
        case Flow::kAbort: a.stopped = true; return false;
    }
    return false;
}

bool With(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::WithAction>(&action.operands);
    const Value object = a.pop();
    if (op == nullptr || op->size > a.code->size() - a.next) return false;
    const size_t begin = a.next, end = a.next + op->size;
    // with(undefined) and with(null) skip their block; a string, number or boolean is looked
    // into as its wrapper object.
    if (object.isNullish()) {
        a.next = end;
        return true;
    }
    Value scopeObject = object;
    const Builtins& b = a.machine.builtins();
    if (object.type() == Type::kString) scopeObject = a.machine.construct(Value::Object(b.stringCtor), {object});
    if (object.type() == Type::kNumber) scopeObject = a.machine.construct(Value::Object(b.numberCtor), {object});
    if (object.type() == Type::kBool) scopeObject = a.machine.construct(Value::Object(b.booleanCtor), {object});
    const bool scoped = scopeObject.type() == Type::kObject || scopeObject.type() == Type::kClip;
    if (scoped) {
        a.scope.emplace_back();
        a.scope.back().value = scopeObject;
        a.scope.back().kind = ScopeEntry::Kind::kWith;
    }
    const Flow flow = a.machine.runRange(a, begin, end);
    if (scoped) a.scope.pop_back();
    return Resume(a, flow, end, end);
}

bool DefineFunction(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::DefineFunctionAction>(&action.operands);
    if (op == nullptr || op->codeSize > a.code->size() - a.next) return false;
    FunctionBody body;
    body.code = a.code;
    body.begin = a.next;
    body.end = a.next + op->codeSize;
    body.name = std::string(op->name);
    body.version2 = op->version2;
    body.registerCount = op->registerCount;
    body.flags = op->flags;
    swf::DefineFunctionAction params = *op;
    swf::FunctionParameter p;
    while (params.next(p)) {
        body.parameters.emplace_back(p.name);
        body.parameterRegisters.push_back(p.reg);
    }
    // Functions of version 5 close over nothing: they see the globals and their timeline.
    if (a.version() >= 6) {
        body.scope = a.scope;
    } else {
        for (const ScopeEntry& e : a.scope) {
            if (e.kind == ScopeEntry::Kind::kGlobal || e.kind == ScopeEntry::Kind::kTarget) body.scope.push_back(e);
        }
    }
    body.pool = a.pool;
    body.clip = a.clip;
    body.clipPath = a.host.path(a.clip);
    a.next = body.end;
    a.machine.charge(static_cast<int64_t>(body.scope.size() + body.parameters.size()) * kWorkPerElement);
    const Value function = MakeFunction(a.machine, std::move(body));
    if (function.isUndefined()) {
        a.stopped = true;
        return false;
    }
    if (op->name.empty()) {
        a.push(function);
    } else {
        a.defineLocal(op->name, function, false);
    }
    return true;
}

bool Try(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::TryAction>(&action.operands);
    if (op == nullptr) return false;
    const size_t tryBegin = a.next;
    const size_t tryEnd = tryBegin + op->trySize;
    const size_t catchEnd = tryEnd + (op->hasCatch ? op->catchSize : 0);
    const size_t finallyEnd = catchEnd + (op->hasFinally ? op->finallySize : 0);
    if (finallyEnd > a.code->size()) return false;
    Machine& m = a.machine;
    const size_t height = m.stack().size();
    Flow flow = m.runRange(a, tryBegin, tryEnd);
    size_t leftAt = a.ip;
    if (flow == Flow::kThrow && op->hasCatch) {
        const Value caught = m.takeThrown().value_or(Value());
        // A catch starts on the stack as it was at the try: what the block pushed is gone.
        m.stack().resize(std::min(m.stack().size(), std::max(height, a.stackBase)));
        if (op->catchInRegister) {
            if (Value* r = a.reg(op->catchRegister)) *r = caught;
        } else {
            a.defineLocal(op->catchName, caught, false);
        }
        flow = m.runRange(a, tryEnd, catchEnd);
        leftAt = a.ip;
    }
    if (op->hasFinally && flow != Flow::kAbort) {
        std::optional<Value> pending = m.takeThrown();
        const Value returned = a.returned;
        const Flow after = m.runRange(a, catchEnd, finallyEnd);
        if (after != Flow::kNormal || a.ip != finallyEnd) {
            flow = after;  // the finally block's own return, throw or branch wins
            leftAt = a.ip;
        } else {
            a.returned = returned;
            if (pending) m.throwValue(std::move(*pending));
        }
    }
    // Running off the end of the try or catch block goes on past every block.
    if (flow == Flow::kNormal && (leftAt == tryEnd || leftAt == catchEnd || leftAt == finallyEnd)) leftAt = finallyEnd;
    a.ip = leftAt;
    return Resume(a, flow, finallyEnd, finallyEnd);
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
