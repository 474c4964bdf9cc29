// Math: the functions and constants; random() draws from the machine's fixed sequence.
#include <algorithm>
#include <cmath>
#include <limits>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

double Arg(Machine& m, const std::vector<Value>& args, size_t i) {
    return i < args.size() ? m.toNumber(args[i]) : std::numeric_limits<double>::quiet_NaN();
}

template <double (*F)(double)>
Value Unary(Machine& m, const Value&, std::vector<Value>& args) {
    return Value::Number(F(Arg(m, args, 0)));
}

template <double (*F)(double, double)>
Value Binary(Machine& m, const Value&, std::vector<Value>& args) {
    return Value::Number(F(Arg(m, args, 0), Arg(m, args, 1)));
}

double Abs(double x) { return std::fabs(x); }
double Acos(double x) { return std::acos(x); }
double Asin(double x) { return std::asin(x); }
double Atan(double x) { return std::atan(x); }
double Ceil(double x) { return std::ceil(x); }
double Cos(double x) { return std::cos(x); }
double Exp(double x) { return std::exp(x); }
double Floor(double x) { return std::floor(x); }
double Log(double x) { return std::log(x); }
double Round(double x) { return std::floor(x + 0.5); }
double Sin(double x) { return std::sin(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Tan(double x) { return std::tan(x); }
double Atan2(double y, double x) { return std::atan2(y, x); }
double Pow(double x, double y) { return std::pow(x, y); }

// max and min: of no arguments -Infinity and Infinity; NaN when any is NaN. They compare two
// arguments at least, so one alone meets an undefined second and gives NaN, as the reference
// players' do.
template <bool Max>
Value Extreme(Machine& m, const Value&, std::vector<Value>& args) {
    double out = Max ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    if (args.empty()) return Value::Number(out);
    for (size_t i = 0; i < std::max<size_t>(args.size(), 2); ++i) {
        const double n = i < args.size() ? m.toNumber(args[i]) : std::numeric_limits<double>::quiet_NaN();
        if (std::isnan(n)) return Value::Number(n);
        if (Max ? n > out : n < out) out = n;
    }
    return Value::Number(out);
}

Value Random(Machine& m, const Value&, std::vector<Value>&) {
    return Value::Number(static_cast<double>(m.nextRandom()) / 4294967296.0);
}

constexpr NativeMember kFunctions[] = {
    {"abs", Unary<Abs>},   {"acos", Unary<Acos>}, {"asin", Unary<Asin>},   {"atan", Unary<Atan>},
    {"ceil", Unary<Ceil>}, {"cos", Unary<Cos>},   {"exp", Unary<Exp>},     {"floor", Unary<Floor>},
    {"log", Unary<Log>},   {"round", Unary<Round>}, {"sin", Unary<Sin>},   {"sqrt", Unary<Sqrt>},
    {"tan", Unary<Tan>},   {"atan2", Binary<Atan2>}, {"pow", Binary<Pow>}, {"max", Extreme<true>},
    {"min", Extreme<false>}, {"random", Random},
};

}  // namespace

void InstallMath(Machine& m, Builtins& b) {
    const ObjectHandle math = m.heap().make(b.object);
    DefineMethods(m, math, kFunctions);
    Object* o = m.heap().get(math);
    constexpr uint8_t kFixed = attribute::kDontEnum | attribute::kDontDelete | attribute::kReadOnly;
    const std::pair<const char*, double> constants[] = {
        {"E", 2.718281828459045},     {"LN10", 2.302585092994046},  {"LN2", 0.6931471805599453},
        {"LOG10E", 0.4342944819032518}, {"LOG2E", 1.4426950408889634}, {"PI", 3.141592653589793},
        {"SQRT1_2", 0.7071067811865476}, {"SQRT2", 1.4142135623730951}};
    for (const auto& [name, value] : constants) o->set(name, Value::Number(value), kFixed);
    m.heap().get(b.global)->set("Math", Value::Object(math), attribute::kDontEnum);
}

}  // namespace avm1
