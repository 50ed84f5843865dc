#include "base/typed_line.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvel {
namespace {

TEST(FieldRule, CommasBlanksAndQuotes) {
    EXPECT_EQ(field("  y , no", 1), "y");
    EXPECT_EQ(field("  y , no", 2), "no");
    EXPECT_EQ(field("34,15,20", 1), "34");
    EXPECT_EQ(field("34,15,20", 2), "15");
    EXPECT_EQ(field("34,15,20", 3), "20");
    EXPECT_EQ(field("34,15,20", 4), "");
    EXPECT_EQ(field("", 1), "");
    EXPECT_EQ(field("\"a,b\",c", 1), "a,b");
    EXPECT_EQ(field("\"a,b\",c", 2), "c");
    EXPECT_EQ(field("\"a,b", 1), "a,b");           // missing closing quote: rest of the line
    EXPECT_EQ(field("\"ab\"xyz,c", 1), "ab");      // text after the closing quote is ignored
    EXPECT_EQ(field("-0,30,0", 1), "-0");
    EXPECT_EQ(field("33 52 7", 1), "33 52 7");
    EXPECT_EQ(field("a,,c", 2), "");
}

TEST(NumberReader, DecimalForms) {
    EXPECT_EQ(numericValue("12.5e1"), 125.0);
    EXPECT_EQ(numericValue("  -3.25"), -3.25);
    EXPECT_EQ(numericValue("+7"), 7.0);
    EXPECT_EQ(numericValue("1.5D2"), 150.0);
    EXPECT_EQ(numericValue("1.5d-1"), 0.15);
    EXPECT_EQ(numericValue("2E"), 2.0);       // an exponent letter without digits stops there
    EXPECT_EQ(numericValue("33 52 7"), 33.0);  // stops at the first blank
    EXPECT_EQ(numericValue(".5"), 0.5);
    EXPECT_EQ(numericValue("1.2.3"), 1.2);
    EXPECT_EQ(numericValue("\t\n 4"), 4.0);
    EXPECT_EQ(numericValue("abc"), 0.0);
    EXPECT_EQ(numericValue("-"), 0.0);
    EXPECT_EQ(numericValue(""), 0.0);
    EXPECT_TRUE(std::signbit(numericValue("-0")));
    EXPECT_TRUE(std::isinf(numericValue("1e999")));
}

TEST(NumberReader, OtherBases) {
    EXPECT_EQ(numericValue("&HFF"), 255.0);
    EXPECT_EQ(numericValue("&hff"), 255.0);
    EXPECT_EQ(numericValue("&O17"), 15.0);
    EXPECT_EQ(numericValue("&Q17"), 15.0);
    EXPECT_EQ(numericValue("&17"), 15.0);
    EXPECT_EQ(numericValue("&B101"), 5.0);
    EXPECT_EQ(numericValue("&B102"), 2.0);
    EXPECT_EQ(numericValue("&H"), 0.0);
}

TEST(AnswerRule, FirstFieldUpperCasedAndWhole) {
    EXPECT_TRUE(answerIs("y", 'Y'));
    EXPECT_TRUE(answerIs(" Y ", 'Y'));
    EXPECT_TRUE(answerIs("Y, and more", 'Y'));
    EXPECT_TRUE(answerIs("\"y\"", 'Y'));
    EXPECT_FALSE(answerIs("yes", 'Y'));
    EXPECT_FALSE(answerIs("Y.", 'Y'));
    EXPECT_FALSE(answerIs("", 'Y'));
    EXPECT_TRUE(answerIs("n", 'N'));
    EXPECT_FALSE(answerIs("no", 'N'));
    EXPECT_TRUE(answerIs("x", 'X'));
    EXPECT_EQ(upperCase("aZ1-b\xe9"), "AZ1-B\xe9");
}

}  // namespace
}  // namespace orvel
