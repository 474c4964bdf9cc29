// Array: every method, with sort and sortOn by the reference players' flags.
#include <algorithm>
#include <cmath>

#include "avm1/globals/globals.h"
#include "avm1/strings.h"

namespace avm1 {

namespace {

namespace sort_flag {
constexpr int kCaseInsensitive = 1, kDescending = 2, kUniqueSort = 4, kReturnIndexedArray = 8, kNumeric = 16;
}

// The array's elements, its holes made undefined values: every method but pop and push
// makes them so, as the reference players do.
std::vector<Value>* Elements(Machine& m, const Value& self) {
    std::vector<Value>* e = m.elementsOf(self);
    if (e != nullptr) FillHoles(*e);
    return e;
}

// The elements read without changing the array: its holes read as undefined.
std::vector<Value> Copy(const std::vector<Value>& e) {
    std::vector<Value> out = e;
    FillHoles(out);
    return out;
}

Value Length(const std::vector<Value>& e) { return Value::Number(static_cast<double>(e.size())); }

Value ArrayValue(Machine& m, std::vector<Value> elements) {
    const ObjectHandle h = m.newArray(std::move(elements));
    return h ? Value::Object(h) : Value();
}

Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value> elements;
    if (args.size() == 1 && args[0].type() == Type::kNumber) {
        const double n = args[0].number();
        if (n >= 0 && n <= static_cast<double>(kMaxArrayLength) && n == std::trunc(n)) {
            if (!m.charge(static_cast<int64_t>(n) * kWorkPerElement)) return Value();
            elements.resize(static_cast<size_t>(n), Hole());
        } else if (n < 0 && n >= -2147483648.0 && n == std::trunc(n)) {
            // A negative length makes an empty array whose length reads back as given, until
            // the array is written.
            Value made = Value();
            if (Object* o = m.constructing() ? SelfObject(m, self) : nullptr) {
                o->prototype = m.builtins().array;
                o->elements.emplace();
                made = self;
            } else {
                made = ArrayValue(m, {});
            }
            if (Object* o = SelfObject(m, made)) o->primitive = Value::Number(n);
            return made;
        } else {
            elements = args;
        }
    } else {
        elements = args;
    }
    if (Object* o = m.constructing() ? SelfObject(m, self) : nullptr) {
        o->prototype = m.builtins().array;
        o->elements = std::move(elements);
        return self;
    }
    return ArrayValue(m, std::move(elements));
}

// A position from the start, or from the end when negative, clamped into [0, size].
size_t Position(double n, size_t size) {
    const double s = static_cast<double>(size);
    if (n < 0) n = std::max(0.0, s + n);
    return static_cast<size_t>(std::min(n, s));
}

Value Push(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* e = m.elementsOf(self);
    if (e == nullptr || !m.charge(static_cast<int64_t>(args.size()) * kWorkPerElement)) return Value();
    if (e->size() + args.size() > kMaxArrayLength) return Length(*e);
    e->insert(e->end(), args.begin(), args.end());
    return Length(*e);
}

Value Pop(Machine& m, const Value& self, std::vector<Value>&) {
    std::vector<Value>* e = m.elementsOf(self);
    if (e == nullptr || e->empty()) return Value();
    Value v = IsHole(e->back()) ? Value() : std::move(e->back());
    e->pop_back();
    return v;
}

Value Shift(Machine& m, const Value& self, std::vector<Value>&) {
    std::vector<Value>* e = Elements(m, self);
    if (e == nullptr || e->empty() || !m.charge(static_cast<int64_t>(e->size()) * kWorkPerElement / 4)) return Value();
    e = Elements(m, self);
    Value v = std::move(e->front());
    e->erase(e->begin());
    return v;
}

Value Unshift(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* e = Elements(m, self);
    if (e == nullptr || !m.charge(static_cast<int64_t>(e->size() + args.size()) * kWorkPerElement / 4)) return Value();
    e = Elements(m, self);
    if (e->size() + args.size() > kMaxArrayLength) return Length(*e);
    e->insert(e->begin(), args.begin(), args.end());
    return Length(*e);
}

Value Slice(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* e = m.elementsOf(self);
    if (e == nullptr) return Value();
    const size_t size = e->size();
    const size_t from = Position(IntegerArgument(m, args, 0, 0), size);
    const size_t to = Position(IntegerArgument(m, args, 1, static_cast<double>(size)), size);
    e = m.elementsOf(self);
    if (e == nullptr) return Value();
    std::vector<Value> out;
    if (from < to && to <= e->size()) out.assign(e->begin() + static_cast<std::ptrdiff_t>(from), e->begin() + static_cast<std::ptrdiff_t>(to));
    FillHoles(out);
    return ArrayValue(m, std::move(out));
}

Value Splice(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* e = Elements(m, self);
    // An undefined start or count, or a negative count, does nothing and gives undefined.
    if (e == nullptr || args.empty() || args[0].isUndefined() || (args.size() > 1 && args[1].isUndefined())) return Value();
    const size_t size = e->size();
    const size_t from = Position(IntegerArgument(m, args, 0, 0), size);
    const double count = args.size() > 1 ? IntegerArgument(m, args, 1, 0) : static_cast<double>(size - from);
    if (count < 0) return Value();
    const size_t removing = count <= 0 ? 0 : std::min(static_cast<size_t>(std::min(count, 4e9)), size - from);
    e = Elements(m, self);
    if (e == nullptr || from > e->size() || from + removing > e->size()) return Value();
    if (!m.charge(static_cast<int64_t>(e->size() + args.size()) * kWorkPerElement / 4)) return Value();
    e = Elements(m, self);
    const auto at = e->begin() + static_cast<std::ptrdiff_t>(from);
    std::vector<Value> removed(at, at + static_cast<std::ptrdiff_t>(removing));
    e->erase(at, at + static_cast<std::ptrdiff_t>(removing));
    if (args.size() > 2 && e->size() + args.size() - 2 <= kMaxArrayLength) {
        e->insert(e->begin() + static_cast<std::ptrdiff_t>(from), args.begin() + 2, args.end());
    }
    return ArrayValue(m, std::move(removed));
}

Value Concat(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* e = m.elementsOf(self);
    if (e == nullptr) return Value();
    std::vector<Value> out = Copy(*e);
    for (const Value& a : args) {
        if (std::vector<Value>* more = m.elementsOf(a)) {
            if (!m.charge(static_cast<int64_t>(more->size()) * kWorkPerElement) ||
                out.size() + more->size() > kMaxArrayLength) {
                break;
            }
            const std::vector<Value> items = Copy(*more);
            out.insert(out.end(), items.begin(), items.end());
        } else {
            out.push_back(a);
        }
    }
    return ArrayValue(m, std::move(out));
}

Value Join(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value>* e = m.elementsOf(self);
    std::vector<Value> items;
    if (e != nullptr) {
        items = Copy(*e);  // element conversions may run scripts that change it
    } else if (self.type() == Type::kObject) {
        // An object that is no array joins as many elements as its length says, none of
        // them its own: each is undefined.
        const double n = m.toNumber(m.getMember(self, "length"));
        if (!(n > 0)) return Value::String("");
        const size_t count = static_cast<size_t>(std::min(n, static_cast<double>(kMaxArrayLength)));
        if (!m.charge(static_cast<int64_t>(count) * kWorkPerElement)) return Value();
        items.resize(count);
    } else {
        return Value();
    }
    const std::string separator = args.empty() || args[0].isUndefined() ? "," : m.toString(args[0]);
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += separator;
        out += m.toString(items[i]);
        if (!m.admitString(out.size())) return Value();
    }
    return Value::String(std::move(out));
}

Value ToString(Machine& m, const Value& self, std::vector<Value>&) {
    std::vector<Value> none;
    return Join(m, self, none);
}

Value Reverse(Machine& m, const Value& self, std::vector<Value>&) {
    std::vector<Value>* e = Elements(m, self);
    if (e == nullptr) return Value();
    std::reverse(e->begin(), e->end());
    return self;
}

// --- sorting ---

// A comparison of two elements: negative, zero or positive.
class Order {
public:
    Order(Machine& m, Value function, int flags, std::vector<std::string> fields, std::vector<int> fieldFlags)
        : m_(m), function_(std::move(function)), flags_(flags), fields_(std::move(fields)), fieldFlags_(std::move(fieldFlags)) {}

    int compare(const Value& x, const Value& y) {
        if (fields_.empty()) return directed(compareValues(x, y, flags_), flags_);
        for (size_t i = 0; i < fields_.size(); ++i) {
            const int flags = i < fieldFlags_.size() ? fieldFlags_[i] : flags_;
            const int c = compareValues(m_.getMember(x, fields_[i]), m_.getMember(y, fields_[i]), flags);
            if (c != 0) return directed(c, flags);
        }
        return 0;
    }

private:
    static int directed(int c, int flags) { return (flags & sort_flag::kDescending) != 0 ? -c : c; }

    int compareValues(const Value& x, const Value& y, int flags) {
        m_.charge(kWorkPerElement);
        if (m_.isFunction(function_)) {
            const double r = m_.toNumber(m_.call(function_, Value(), {x, y}));
            return r < 0 ? -1 : r > 0 ? 1 : 0;
        }
        if ((flags & sort_flag::kNumeric) != 0 && x.type() == Type::kNumber && y.type() == Type::kNumber) {
            const double a = x.number(), b = y.number();
            if (std::isnan(a) || std::isnan(b)) return std::isnan(a) == std::isnan(b) ? 0 : std::isnan(a) ? 1 : -1;
            return a < b ? -1 : a > b ? 1 : 0;
        }
        // Undefined goes after everything, as the reference players sort it.
        if (x.isUndefined() || y.isUndefined()) return x.isUndefined() == y.isUndefined() ? 0 : x.isUndefined() ? 1 : -1;
        std::string a = m_.toString(x), b = m_.toString(y);
        if ((flags & sort_flag::kCaseInsensitive) != 0) {
            a = LowerText(a, m_.version());
            b = LowerText(b, m_.version());
        }
        const int c = a.compare(b);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }

    Machine& m_;
    Value function_;
    int flags_;
    std::vector<std::string> fields_;
    std::vector<int> fieldFlags_;
};

// A merge sort of indexes: stable, and safe with comparisons that contradict themselves (a
// script's function may answer anything).
void SortIndexes(std::vector<size_t>& order, const std::vector<Value>& items, Order& by, bool& equalSeen) {
    std::vector<size_t> scratch(order.size());
    for (size_t width = 1; width < order.size(); width *= 2) {
        for (size_t lo = 0; lo < order.size(); lo += 2 * width) {
            const size_t mid = std::min(lo + width, order.size()), hi = std::min(lo + 2 * width, order.size());
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                const int c = by.compare(items[order[i]], items[order[j]]);
                if (c == 0) equalSeen = true;
                scratch[k++] = c <= 0 ? order[i++] : order[j++];
            }
            while (i < mid) scratch[k++] = order[i++];
            while (j < hi) scratch[k++] = order[j++];
        }
        order.swap(scratch);
    }
    if (order.size() == 1) return;
}

Value SortWith(Machine& m, const Value& self, Order& by, int flags) {
    std::vector<Value>* e = Elements(m, self);
    if (e == nullptr) return Value();
    const std::vector<Value> items = *e;
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    bool equal = false;
    SortIndexes(order, items, by, equal);
    if ((flags & sort_flag::kUniqueSort) != 0 && equal) return Value::Number(0);
    if ((flags & sort_flag::kReturnIndexedArray) != 0) {
        std::vector<Value> indexes;
        for (size_t i : order) indexes.push_back(Value::Number(static_cast<double>(i)));
        return ArrayValue(m, std::move(indexes));
    }
    e = Elements(m, self);
    if (e == nullptr || e->size() != items.size()) return self;
    for (size_t i = 0; i < order.size(); ++i) (*e)[i] = items[order[i]];
    return self;
}

int FlagsOf(Machine& m, const Value& v) { return v.isUndefined() ? 0 : ToInt32(m.toNumber(v)); }

// sort(), sort(flags), sort(compare), sort(compare, flags).
Value Sort(Machine& m, const Value& self, std::vector<Value>& args) {
    Value function;
    int flags = 0;
    // undefined or a boolean where the function or the flags go sorts nothing.
    if (!args.empty() && (args[0].isUndefined() || args[0].type() == Type::kBool)) return Value();
    if (!args.empty() && m.isFunction(args[0])) {
        function = args[0];
        flags = FlagsOf(m, Argument(args, 1));
    } else {
        flags = FlagsOf(m, Argument(args, 0));
    }
    Order by(m, function, flags, {}, {});
    return SortWith(m, self, by, flags);
}

// sortOn(field or fields, flags or one flags per field).
Value SortOn(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<std::string> fields;
    std::vector<int> fieldFlags;
    if (const std::vector<Value>* names = m.elementsOf(Argument(args, 0))) {
        for (const Value& n : std::vector<Value>(*names)) fields.push_back(m.toString(n));
    } else if (!args.empty()) {
        fields.push_back(m.toString(args[0]));
    }
    int flags = 0;
    if (const std::vector<Value>* list = m.elementsOf(Argument(args, 1))) {
        if (list->size() == fields.size()) {
            for (const Value& f : std::vector<Value>(*list)) fieldFlags.push_back(FlagsOf(m, f));
        }
    } else {
        flags = FlagsOf(m, Argument(args, 1));
    }
    if (fields.empty()) return self;
    Order by(m, Value(), flags, std::move(fields), std::move(fieldFlags));
    return SortWith(m, self, by, flags);
}

constexpr NativeMember kMethods[] = {
    {"push", Push},       {"pop", Pop},   {"shift", Shift},       {"unshift", Unshift},
    {"slice", Slice},     {"splice", Splice}, {"concat", Concat}, {"join", Join},
    {"toString", ToString}, {"reverse", Reverse}, {"sort", Sort}, {"sortOn", SortOn},
};

}  // namespace

void InstallArray(Machine& m, Builtins& b) {
    b.array = m.heap().make(b.object);
    b.arrayCtor = DefineClass(m, "Array", Construct, b.array, kMethods);
    Object* ctor = m.heap().get(b.arrayCtor);
    const std::pair<const char*, int> constants[] = {
        {"CASEINSENSITIVE", sort_flag::kCaseInsensitive}, {"DESCENDING", sort_flag::kDescending},
        {"UNIQUESORT", sort_flag::kUniqueSort}, {"RETURNINDEXEDARRAY", sort_flag::kReturnIndexedArray},
        {"NUMERIC", sort_flag::kNumeric}};
    for (const auto& [name, value] : constants) {
        ctor->set(name, Value::Number(value), attribute::kDontEnum | attribute::kDontDelete | attribute::kReadOnly);
    }
    m.heap().get(b.array)->elements.emplace();
}

}  // namespace avm1
