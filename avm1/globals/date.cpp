// Date: times in milliseconds since 1970, in UTC (the converter's local time zone), from a
// clock that starts at a fixed moment and advances with the frames, so that a movie
// converts the same on every run.
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "avm1/globals/globals.h"

namespace avm1 {

namespace {

// 2000-01-01 00:00:00 UTC: when every conversion's clock starts.
constexpr double kClockStart = 946684800000.0;
constexpr double kMsPerDay = 86400000.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Days from 1970-01-01 of a civil date, and back (Howard Hinnant's algorithms).
double DaysFromCivil(double y, double m, double d) {
    y -= m <= 2 ? 1 : 0;
    const double era = std::floor(y / 400);
    const double yoe = y - era * 400;
    const double mp = std::fmod(m + 9, 12);
    const double doy = std::floor((153 * mp + 2) / 5) + d - 1;
    const double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    double year, month, day;  // month 1 to 12
};

Civil CivilFromDays(double z) {
    z += 719468;
    const double era = std::floor(z / 146097);
    const double doe = z - era * 146097;
    const double yoe = std::floor((doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
    const double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
    const double mp = std::floor((5 * doy + 2) / 153);
    const double d = doy - std::floor((153 * mp + 2) / 5) + 1;
    const double m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

// The fields of a time, month from 0 as scripts count it.
struct Fields {
    double year = 1970, month = 0, day = 1, hours = 0, minutes = 0, seconds = 0, ms = 0;
};

Fields Split(double t) {
    const double days = std::floor(t / kMsPerDay);
    double rest = t - days * kMsPerDay;
    const Civil c = CivilFromDays(days);
    Fields f;
    f.year = c.year;
    f.month = c.month - 1;
    f.day = c.day;
    f.hours = std::floor(rest / 3600000);
    rest -= f.hours * 3600000;
    f.minutes = std::floor(rest / 60000);
    rest -= f.minutes * 60000;
    f.seconds = std::floor(rest / 1000);
    f.ms = rest - f.seconds * 1000;
    return f;
}

double Join(const Fields& f) {
    for (double v : {f.year, f.month, f.day, f.hours, f.minutes, f.seconds, f.ms}) {
        if (!std::isfinite(v)) return kNaN;
    }
    const double year = f.year + std::floor(f.month / 12);
    const double month = f.month - std::floor(f.month / 12) * 12;
    const double days = DaysFromCivil(year, month + 1, 1) + f.day - 1;
    const double t = days * kMsPerDay + f.hours * 3600000 + f.minutes * 60000 + f.seconds * 1000 + f.ms;
    return std::fabs(t) > 8.64e15 ? kNaN : t;
}

// ECMA's TimeClip: times beyond 8.64e15 ms either side of 1970 are no time.
double TimeClip(double t) { return std::isfinite(t) && std::fabs(t) <= 8.64e15 ? t : kNaN; }

double Now(Machine& m) { return kClockStart + std::floor(m.host().timer()); }

Object* DateObject(Machine& m, const Value& self) {
    Object* o = SelfObject(m, self);
    return o != nullptr && o->wraps == Object::Wraps::kDate ? o : nullptr;
}

double TimeOf(Machine& m, const Value& self) {
    const Object* o = DateObject(m, self);
    return o != nullptr ? o->primitive.number() : kNaN;
}

Fields FieldsFromArgs(Machine& m, const std::vector<Value>& args) {
    Fields f;
    double* slots[] = {&f.year, &f.month, &f.day, &f.hours, &f.minutes, &f.seconds, &f.ms};
    for (size_t i = 0; i < args.size() && i < 7; ++i) *slots[i] = std::trunc(m.toNumber(args[i]));
    if (f.year >= 0 && f.year < 100) f.year += 1900;
    return f;
}

std::string Text(double t) {
    if (std::isnan(t)) return "Invalid Date";
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const Fields f = Split(t);
    const int weekday = static_cast<int>(std::fmod(std::fmod(std::floor(t / kMsPerDay) + 4, 7) + 7, 7));
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s %s %d %02d:%02d:%02d GMT+0000 %d", kDays[weekday],
                  kMonths[static_cast<int>(f.month)], static_cast<int>(f.day), static_cast<int>(f.hours),
                  static_cast<int>(f.minutes), static_cast<int>(f.seconds), static_cast<int>(f.year));
    return buffer;
}

Value Construct(Machine& m, const Value& self, std::vector<Value>& args) {
    double t = Now(m);
    if (args.size() == 1) {
        t = m.toNumber(args[0]);
    } else if (args.size() > 1) {
        t = Join(FieldsFromArgs(m, args));
    }
    if (Object* o = m.constructing() ? SelfObject(m, self) : nullptr) {
        o->wraps = Object::Wraps::kDate;
        o->primitive = Value::Number(TimeClip(t));
        return self;
    }
    return Value::String(Text(Now(m)));
}

// A getter of one field: 0 year, 1 month, 2 day, 3 hours, 4 minutes, 5 seconds, 6 ms,
// 7 weekday, 8 the time, 9 the year less 1900.
template <int Field>
Value Get(Machine& m, const Value& self, std::vector<Value>&) {
    const double t = TimeOf(m, self);
    if (std::isnan(t)) return Value::Number(kNaN);
    const Fields f = Split(t);
    switch (Field) {
        case 0: return Value::Number(f.year);
        case 1: return Value::Number(f.month);
        case 2: return Value::Number(f.day);
        case 3: return Value::Number(f.hours);
        case 4: return Value::Number(f.minutes);
        case 5: return Value::Number(f.seconds);
        case 6: return Value::Number(f.ms);
        case 7: return Value::Number(std::fmod(std::fmod(std::floor(t / kMsPerDay) + 4, 7) + 7, 7));
        case 8: return Value::Number(t);
        default: return Value::Number(f.year - 1900);
    }
}

// A setter from field `First`: its arguments set that field and the ones after it.
template <int First>
Value Set(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = DateObject(m, self);
    if (o == nullptr) return Value::Number(kNaN);
    double t = o->primitive.number();
    if (std::isnan(t)) t = 0;
    Fields f = Split(t);
    double* slots[] = {&f.year, &f.month, &f.day, &f.hours, &f.minutes, &f.seconds, &f.ms};
    for (size_t i = 0; i < args.size() && First + i < 7; ++i) {
        // Each setter takes the fields of its own group only: a date's, or a time's.
        if (First <= 2 && First + i > 2) break;
        *slots[First + i] = std::trunc(m.toNumber(args[i]));
    }
    if (args.empty()) *slots[First] = kNaN;
    o = DateObject(m, self);
    if (o == nullptr) return Value::Number(kNaN);
    o->primitive = Value::Number(Join(f));
    return o->primitive;
}

Value SetYear(Machine& m, const Value& self, std::vector<Value>& args) {
    std::vector<Value> year = {Value::Number(m.toNumber(Argument(args, 0)))};
    const double y = year[0].number();
    if (y >= 0 && y < 100) year[0] = Value::Number(y + 1900);
    return Set<0>(m, self, year);
}

Value SetTime(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = DateObject(m, self);
    if (o == nullptr) return Value::Number(kNaN);
    const double t = m.toNumber(Argument(args, 0));
    o = DateObject(m, self);
    if (o != nullptr) o->primitive = Value::Number(std::trunc(TimeClip(t)));
    return o != nullptr ? o->primitive : Value::Number(kNaN);
}

Value ToString(Machine& m, const Value& self, std::vector<Value>&) { return Value::String(Text(TimeOf(m, self))); }

Value TimezoneOffset(Machine&, const Value&, std::vector<Value>&) { return Value::Number(0); }

Value Utc(Machine& m, const Value&, std::vector<Value>& args) {
    return Value::Number(args.size() < 2 ? kNaN : Join(FieldsFromArgs(m, args)));
}

constexpr NativeMember kMethods[] = {
    {"getFullYear", Get<0>}, {"getYear", Get<9>},     {"getMonth", Get<1>},      {"getDate", Get<2>},
    {"getDay", Get<7>},      {"getHours", Get<3>},    {"getMinutes", Get<4>},    {"getSeconds", Get<5>},
    {"getMilliseconds", Get<6>}, {"getTime", Get<8>}, {"valueOf", Get<8>},
    {"getUTCFullYear", Get<0>}, {"getUTCYear", Get<9>}, {"getUTCMonth", Get<1>}, {"getUTCDate", Get<2>},
    {"getUTCDay", Get<7>},   {"getUTCHours", Get<3>}, {"getUTCMinutes", Get<4>}, {"getUTCSeconds", Get<5>},
    {"getUTCMilliseconds", Get<6>}, {"getTimezoneOffset", TimezoneOffset},
    {"setFullYear", Set<0>}, {"setMonth", Set<1>},    {"setDate", Set<2>},       {"setHours", Set<3>},
    {"setMinutes", Set<4>},  {"setSeconds", Set<5>},  {"setMilliseconds", Set<6>}, {"setTime", SetTime},
    {"setUTCFullYear", Set<0>}, {"setUTCMonth", Set<1>}, {"setUTCDate", Set<2>}, {"setUTCHours", Set<3>},
    {"setUTCMinutes", Set<4>}, {"setUTCSeconds", Set<5>}, {"setUTCMilliseconds", Set<6>}, {"setYear", SetYear},
    {"toString", ToString},
};
constexpr NativeMember kStatics[] = {{"UTC", Utc}};

}  // namespace

void InstallDate(Machine& m, Builtins& b) { b.dateCtor = DefineClass(m, "Date", Construct, b.date, kMethods, kStatics); }

}  // namespace avm1
