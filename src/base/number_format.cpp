#include "base/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvel {

namespace {

// The significant digits of a finite non-zero |x|, rounded to at most p, trailing zeros
// dropped, with its decimal exponent: |x| = 0.digits x 10^exponent.
struct RoundedDigits {
    std::string digits;
    int exponent = 0;
};

RoundedDigits roundedDigits(double x, int p) {
    // glibc prints the exact decimal expansion of a double; 40 digits after the first is
    // more than enough to see the (p+1)-th digit of any value.
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.40e", std::fabs(x));
    // buf: d.ddddd...e[+-]XX
    std::string digits;
    const char* s = buf;
    for (; *s && *s != 'e'; ++s)
        if (*s >= '0' && *s <= '9') digits.push_back(*s);
    RoundedDigits r;
    r.exponent = std::atoi(s + 1) + 1;  // |x| = d.ddd * 10^exp10 = 0.dddd * 10^(exp10 + 1)
    // The (p+1)-th digit alone decides the rounding; an exact 5 rounds to even.
    std::string kept = digits.substr(0, static_cast<size_t>(p));
    const int next = digits[static_cast<size_t>(p)] - '0';
    const int last = kept.back() - '0';
    if (next > 5 || (next == 5 && (last % 2) == 1)) {
        int i = p - 1;
        while (i >= 0 && kept[static_cast<size_t>(i)] == '9') kept[static_cast<size_t>(i--)] = '0';
        if (i >= 0) {
            kept[static_cast<size_t>(i)]++;
        } else {
            // Carry out of the first digit: a new leading digit, the last one dropped.
            kept.insert(kept.begin(), '1');
            kept.pop_back();
            ++r.exponent;
        }
    }
    while (kept.size() > 1 && kept.back() == '0') kept.pop_back();
    r.digits = std::move(kept);
    return r;
}

// d.ddd E+x: the digits with the point after the first, and the exponent of that form.
std::string scientific(const RoundedDigits& r) {
    std::string out(1, r.digits[0]);
    if (r.digits.size() > 1) out += '.' + r.digits.substr(1);
    const int e = r.exponent - 1;
    return out + (e >= 0 ? "E+" + std::to_string(e) : "E-" + std::to_string(-e));
}

// The digits laid out in fixed form when at most p digits are needed, otherwise scientific.
std::string layout(const RoundedDigits& r, int p) {
    const int k = static_cast<int>(r.digits.size());
    const int e = r.exponent;
    // A whole number: the digits, then zeros up to the decimal point.
    if (k <= e) return e <= p ? r.digits + std::string(static_cast<size_t>(e - k), '0')
                              : scientific(r);
    if (k - e > p) return scientific(r);
    // A fraction: the point inside the digits, or leading zeros after it (no zero before it).
    if (e > 0)
        return r.digits.substr(0, static_cast<size_t>(e)) + '.' +
               r.digits.substr(static_cast<size_t>(e));
    return '.' + std::string(static_cast<size_t>(-e), '0') + r.digits;
}

}  // namespace

std::string formatNumber(double x, int p) {
    if (x == 0.0 || std::isnan(x)) return " 0 ";
    const char sign = std::signbit(x) ? '-' : ' ';
    if (std::isinf(x)) {
        // Infinity is written as the largest p-digit mantissa with exponent 998.
        return std::string(1, sign) + "9." + std::string(static_cast<size_t>(p - 1), '9') +
               "E+998 ";
    }
    return sign + layout(roundedDigits(x, p), p) + ' ';
}

std::string formatSpaced(double x) {
    std::string t = formatShort(x);
    if (t.front() == ' ') t.erase(0, 1);
    return " " + t;
}

}  // namespace orvel
