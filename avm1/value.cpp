#include "avm1/value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace avm1 {

const std::string& Value::string() const {
    static const std::string kEmpty;
    return type() == Type::kString ? std::get<4>(data_) : kEmpty;
}

std::string NumberToString(double n) {
    if (std::isnan(n)) return "NaN";
    if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
    if (n == 0) return "0";
    // 15 significant digits, then placed by the exponent.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(n));
    std::string digits;
    const char* p = buffer;
    for (; *p != 'e' && *p != '\0'; ++p) {
        if (*p >= '0' && *p <= '9') digits += *p;
    }
    int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = n < 0 ? "-" : "";
    if (exponent >= 15 || exponent < -5) {
        out += digits[0];
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += exponent >= 0 ? "e+" : "e-";
        out += std::to_string(std::abs(exponent));
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + "." + digits.substr(whole);
        }
    }
    return out;
}

std::string IntegerToString(double n, int radix) {
    if (std::isnan(n)) return "NaN";
    if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
    const int32_t i = ToInt32(n);
    uint32_t u = i < 0 ? 0u - static_cast<uint32_t>(i) : static_cast<uint32_t>(i);
    std::string digits;
    do {
        digits += "0123456789abcdefghijklmnopqrstuvwxyz"[u % static_cast<uint32_t>(radix)];
        u /= static_cast<uint32_t>(radix);
    } while (u != 0);
    if (i < 0) digits += '-';
    return std::string(digits.rbegin(), digits.rend());
}

double StringToNumber(std::string_view s, int version) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    // Blanks may lead, not trail: "  5" is 5, "5 " is no number.
    size_t a = 0, b = s.size();
    while (a < b && blank(s[a])) ++a;
    if (version <= 4) {
        while (b > a && blank(s[b - 1])) --b;
    }
    std::string t(s.substr(a, b - a));
    if (version <= 4) {
        // Version 4 takes the number the string starts with, and 0 when there is none.
        char* end = nullptr;
        const double v = std::strtod(t.c_str(), &end);
        const bool plain = t.find_first_of("xXnNiI") == std::string::npos;  // no hex, inf or nan forms
        return end != t.c_str() && plain ? v : 0.0;
    }
    if (t.empty()) return nan;
    const bool negative = t[0] == '-';
    const size_t digits = (t[0] == '-' || t[0] == '+') ? 1 : 0;
    if (version >= 6 && t.size() > digits + 2 && t[digits] == '0' && (t[digits + 1] == 'x' || t[digits + 1] == 'X')) {
        // From version 6, 0x numbers are hexadecimal, as 32-bit integers.
        // ... with a sign after the prefix too ("0x-10" is -16).
        std::string hex = t.substr(digits + 2);
        bool inner = false;
        if (!hex.empty() && (hex[0] == '-' || hex[0] == '+')) {
            inner = hex[0] == '-';
            hex.erase(0, 1);
        }
        if (hex.empty() || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return nan;
        const uint32_t v = static_cast<uint32_t>(std::strtoull(hex.c_str(), nullptr, 16));
        const double n = static_cast<double>(static_cast<int32_t>(v));
        return negative != inner ? -n : n;
    }
    if (version >= 6 && a == 0 && t.size() > digits + 1 && t[digits] == '0' &&
        t.find_first_not_of("01234567", digits) == std::string::npos) {
        // ... and a leading zero with octal digits only, not after blanks, makes an octal
        // number, a 32-bit integer like the hexadecimal ones.
        const double n = static_cast<double>(std::strtoull(t.c_str() + digits, nullptr, 8));
        return static_cast<double>(ToInt32(negative ? -n : n));
    }
    // strtod would also take "inf", "nan" and hexadecimal floats: only decimals are numbers.
    for (char c : t) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) {
            return nan;
        }
    }
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    return *end == '\0' ? v : nan;
}

int32_t ToInt32(double n) {
    if (std::isnan(n) || std::isinf(n)) return 0;
    const double m = std::fmod(std::trunc(n), 4294967296.0);
    const double u = m < 0 ? m + 4294967296.0 : m;
    return static_cast<int32_t>(static_cast<uint32_t>(u));
}

}  // namespace avm1
