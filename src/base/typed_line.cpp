#include "base/typed_line.h"

#include <cmath>
#include <cstdlib>

namespace orvel {

std::string field(std::string_view line, int n) {
    std::size_t i = 0;
    const std::size_t len = line.size();
    for (int current = 1;; ++current) {
        while (i < len && line[i] == ' ') ++i;
        if (current == n) break;
        if (i < len && line[i] == '"') {
            // A quoted field may hold commas: skip to its closing quote first.
            const std::size_t close = line.find('"', i + 1);
            i = close == std::string_view::npos ? len : close + 1;
        }
        const std::size_t comma = line.find(',', i);
        if (comma == std::string_view::npos) return {};
        i = comma + 1;
    }
    if (i < len && line[i] == '"') {
        const std::size_t close = line.find('"', i + 1);
        const std::size_t stop = close == std::string_view::npos ? len : close;
        return std::string(line.substr(i + 1, stop - i - 1));
    }
    std::size_t stop = line.find(',', i);
    if (stop == std::string_view::npos) stop = len;
    while (stop > i && line[stop - 1] == ' ') --stop;
    return std::string(line.substr(i, stop - i));
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A whole number in base 16, 8 or 2 from text[i] on (after the "&").
LeadingNumber basedValue(std::string_view text, std::size_t i) {
    int base = 8;
    if (i < text.size()) {
        const char c = static_cast<char>(text[i] & ~0x20);
        if (c == 'H')
            base = 16, ++i;
        else if (c == 'O' || c == 'Q')
            base = 8, ++i;
        else if (c == 'B')
            base = 2, ++i;
    }
    LeadingNumber n;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d = -1;
        if (isDigit(c))
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || d >= base) break;
        n.value = n.value * base + d;
        n.length = i + 1;
    }
    return n;
}

}  // namespace

double numericValue(std::string_view text) {
    return leadingNumber(text).value;
}

LeadingNumber leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
    if (i < text.size() && text[i] == '&') return basedValue(text, i + 1);

    // Collect the longest prefix that fits the number syntax in a canonical form for strtod.
    std::string canon;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) canon.push_back(text[i++]);
    bool anyDigit = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            canon.push_back(c);
            anyDigit = true;
        } else if (c == '.' && !point) {
            canon.push_back(c);
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return {};
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent.push_back(text[j++]);
        bool expDigits = false;
        for (; j < text.size() && isDigit(text[j]); ++j) {
            exponent.push_back(text[j]);
            expDigits = true;
        }
        if (expDigits) {
            canon += exponent;
            end = j;
        }
    }
    return {std::strtod(canon.c_str(), nullptr), end};
}

std::string upperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool answerIs(std::string_view line, char letter) {
    const std::string f = upperCase(field(line, 1));
    return f.size() == 1 && f[0] == letter;
}

}  // namespace orvel
