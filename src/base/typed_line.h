// The rules by which a typed line becomes answers and numbers.
#pragma once

#include <string>
#include <string_view>

namespace orvel {

constexpr std::size_t kMaxLineLength = 10000;  // characters kept of one typed line

// Field n (from 1) of a typed line: comma-separated, leading and trailing blanks removed, a field
// may be enclosed in double quotes. Empty when the line has fewer fields.
std::string field(std::string_view line, int n);

// The number at the start of a text: sign, digits with one decimal point, an E/e/D/d exponent;
// "&H", "&O"/"&Q", "&B" (or a bare "&", octal) introduce a whole number in base 16, 8 or 2.
// 0 when the text does not begin with a number.
double numericValue(std::string_view text);

// The number at the start of a text, as numericValue reads it, and how many characters of the
// text (leading blanks included) it takes; 0 characters when there is no digit to read.
struct LeadingNumber {
    double value = 0.0;
    std::size_t length = 0;
};
LeadingNumber leadingNumber(std::string_view text);

// The letters a-z replaced by A-Z.
std::string upperCase(std::string_view text);

// Answer rule: field 1 of the line, upper-cased, equals the one-letter literal.
bool answerIs(std::string_view line, char letter);

}  // namespace orvel
