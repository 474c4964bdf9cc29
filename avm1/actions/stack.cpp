// The stack, the constant pool and the registers.
#include "avm1/actions/handlers.h"

namespace avm1 {

namespace {

using swf::ActionCode;

// Push: each value in turn. Values read whole before damage are pushed.
bool Push(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::PushAction>(&action.operands);
    if (op == nullptr) return true;
    swf::PushAction values = *op;
    swf::PushValue v;
    using T = swf::PushValue::Type;
    while (!a.stopped && values.next(v)) {
        switch (v.type) {
            case T::kString: a.push(Value::String(std::string(v.string))); break;
            case T::kFloat:
            case T::kDouble:
            case T::kInteger: a.push(Value::Number(v.number)); break;
            case T::kNull: a.push(Value::Null()); break;
            case T::kUndefined: a.push(Value()); break;
            case T::kRegister: {
                const Value* r = a.reg(v.index);
                a.push(r != nullptr ? *r : Value());
                break;
            }
            case T::kBoolean: a.push(Value::Bool(v.boolean)); break;
            case T::kConstant8:
            case T::kConstant16: a.push(v.index < a.pool->size() ? Value::String((*a.pool)[v.index]) : Value()); break;
        }
    }
    return true;
}

bool Pop(Activation& a, const swf::Action&) {
    a.pop();
    return true;
}

bool PushDuplicate(Activation& a, const swf::Action&) {
    const Value v = a.peek();
    a.push(v);
    return true;
}

bool StackSwap(Activation& a, const swf::Action&) {
    Value top = a.pop(), below = a.pop();
    a.push(std::move(top));
    a.push(std::move(below));
    return true;
}

bool ConstantPool(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::ConstantPoolAction>(&action.operands);
    if (op == nullptr) return true;
    swf::ConstantPoolAction strings = *op;
    auto pool = std::make_shared<std::vector<std::string>>();
    std::string_view s;
    while (strings.next(s)) pool->emplace_back(s);
    a.machine.charge(static_cast<int64_t>(pool->size()) * kWorkPerElement);
    a.pool = std::move(pool);
    return true;
}

bool StoreRegister(Activation& a, const swf::Action& action) {
    const auto* op = std::get_if<swf::StoreRegisterAction>(&action.operands);
    if (op != nullptr) {
        if (Value* r = a.reg(op->reg)) *r = a.peek();
    }
    return true;
}

}  // namespace

void AddStackActions(ActionHandlers& h) {
    h.set(ActionCode::kPush, Push);
    h.set(ActionCode::kPop, Pop);
    h.set(ActionCode::kPushDuplicate, PushDuplicate);
    h.set(ActionCode::kStackSwap, StackSwap);
    h.set(ActionCode::kConstantPool, ConstantPool);
    h.set(ActionCode::kStoreRegister, StoreRegister);
}

}  // namespace avm1
