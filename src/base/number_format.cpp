#include "base/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvel {

std::string formatNumber(double x, int p) {
    if (x == 0.0 || std::isnan(x)) return " 0 ";
    const char sign = std::signbit(x) ? '-' : ' ';
    if (std::isinf(x)) {
        // Infinity is written as the largest p-digit mantissa with exponent 998.
        return std::string(1, sign) + "9." + std::string(static_cast<size_t>(p - 1), '9') +
               "E+998 ";
    }
    // glibc prints the exact decimal expansion of a double; 40 digits after the first is
    // more than enough to see the (p+1)-th digit of any value.
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.40e", std::fabs(x));
    // buf: d.ddddd...e[+-]XX
    std::string digits;
    const char* s = buf;
    for (; *s && *s != 'e'; ++s)
        if (*s >= '0' && *s <= '9') digits.push_back(*s);
    const int exp10 = std::atoi(s + 1);  // |x| = d.ddd * 10^exp10
    int e = exp10 + 1;                   // |x| = 0.dddd * 10^e

    // The (p+1)-th digit alone decides the rounding; an exact 5 rounds to even.
    std::string kept = digits.substr(0, static_cast<size_t>(p));
    const int next = digits[static_cast<size_t>(p)] - '0';
    const int last = kept.back() - '0';
    const bool up = next > 5 || (next == 5 && (last % 2) == 1);
    if (up) {
        int i = p - 1;
        while (i >= 0 && kept[static_cast<size_t>(i)] == '9') kept[static_cast<size_t>(i--)] = '0';
        if (i >= 0) {
            kept[static_cast<size_t>(i)]++;
        } else {
            // Carry out of the first digit: a new leading digit, the last one dropped.
            kept.insert(kept.begin(), '1');
            kept.pop_back();
            ++e;
        }
    }
    while (kept.size() > 1 && kept.back() == '0') kept.pop_back();
    const int k = static_cast<int>(kept.size());

    std::string out(1, sign);
    auto scientific = [&] {
        out.push_back(kept[0]);
        if (k > 1) {
            out.push_back('.');
            out.append(kept, 1, std::string::npos);
        }
        if (e - 1 >= 0) {
            out += "E+" + std::to_string(e - 1);
        } else {
            out += "E-" + std::to_string(1 - e);
        }
    };
    if (k <= e) {
        if (e <= p) {
            out += kept;
            out.append(static_cast<size_t>(e - k), '0');
        } else {
            scientific();
        }
    } else if (k - e <= p) {
        if (e > 0) {
            out.append(kept, 0, static_cast<size_t>(e));
            out.push_back('.');
            out.append(kept, static_cast<size_t>(e), std::string::npos);
        } else {
            out.push_back('.');
            out.append(static_cast<size_t>(-e), '0');
            out += kept;
        }
    } else {
        scientific();
    }
    out.push_back(' ');
    return out;
}

}  // namespace orvel
