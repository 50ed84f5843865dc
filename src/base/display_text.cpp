#include "base/display_text.h"

namespace orvel {

namespace {

bool isContinuation(unsigned char c) {
    return c >= 0x80 && c <= 0xbf;
}

// The length of the well-formed UTF-8 character at text[i] (a lead byte of 0xc2 or above), or 0
// when the bytes there are not one (overlong forms and surrogates are not).
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) -> unsigned char {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
    if (lead >= 0xc2 && lead <= 0xdf) length = 2;
    if (lead >= 0xe0 && lead <= 0xef) length = 3;
    if (lead >= 0xf0 && lead <= 0xf4) length = 4;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
    if (length == 0 || at(1) < low || at(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (!isContinuation(at(k))) return 0;
    return length;
}

void appendEscape(std::string& out, unsigned char c) {
    constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xf];
}

}  // namespace

std::string displaySafe(std::string_view text, LineFeeds lineFeeds) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool control = c < 0x20 || c == 0x7f;
        if (control && !(c == '\n' && lineFeeds == LineFeeds::kept)) {
            appendEscape(out, c);
            ++i;
            continue;
        }
        const std::size_t length = c < 0x80 ? 1 : utf8Length(text, i);
        if (length == 0) {
            // A byte outside any UTF-8 character: a terminal of 8-bit controls acts on 0x80..0x9f.
            if (c <= 0x9f)
                appendEscape(out, c);
            else
                out += static_cast<char>(c);
            ++i;
        } else if (c == 0xc2 && static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            // U+0080..U+009F: the same C1 controls, which UTF-8 terminals act on too.
            appendEscape(out, c);
            appendEscape(out, static_cast<unsigned char>(text[i + 1]));
            i += 2;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace orvel
