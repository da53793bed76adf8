#include <gtest/gtest.h>

#include "Entry.h"
#include "engine_test_support.h"

namespace {

using Rows = std::vector<std::string>;

TEST(Entry, AcceptsDecimalIntegersWithOptionalMinusAndBlanks) {
    const std::pair<const char *, const char *> accepted[] = {
        {"12", "12"},     {"-5", "-5"},
        {"  42\t", "42"}, {"007", "7"},
        {"-0", "0"},      {" -123456789012345678901234567890 ", "-123456789012345678901234567890"},
    };
    for (const auto &[text, display] : accepted) {
        auto calculator = calculatorWith({});
        EXPECT_TRUE(calculator->enter(text)) << text;
        EXPECT_EQ(shown(*calculator), Rows{display}) << text;
    }
}

TEST(Entry, NegativeEntryIsANegativeValue) {
    auto calculator = calculatorWith({"-5", "3"});
    calculator->add();
    EXPECT_EQ(shown(*calculator), Rows{"-2"});
}

TEST(Entry, RefusesAnythingElseAndSaysWhy) {
    for (const char *text : {"- 5", "5-", "1.5", "abc", "+5", "-", "1 2", "--5", "１２"}) {
        auto calculator = calculatorWith({"9"});
        EXPECT_FALSE(calculator->enter(text)) << text;
        EXPECT_EQ(shown(*calculator), Rows{"9"}) << text;
        EXPECT_EQ(calculator->status(), "Not a decimal integer: " + std::string(text)) << text;
    }
}

TEST(Entry, ReasonShowsTheTextWithoutSurroundingBlanks) {
    auto calculator = calculatorWith({});
    calculator->enter("  x1 ");
    EXPECT_EQ(calculator->status(), "Not a decimal integer: x1");
    EXPECT_TRUE(calculator->enter("1"));
    EXPECT_EQ(calculator->status(), "");
}

TEST(Entry, BlankTextDuplicatesTheTopAsAnIndependentCopy) {
    auto calculator = calculatorWith({"1", "7"});
    EXPECT_TRUE(calculator->enter(""));
    EXPECT_TRUE(calculator->enter("  "));
    EXPECT_EQ(shown(*calculator), (Rows{"1", "7", "7", "7"}));
    auto top = calculator->numberAtPosition(3), below = calculator->numberAtPosition(2);
    EXPECT_NE(top, below);
    EXPECT_NE(top->bignum(), below->bignum());
}

TEST(Entry, BlankTextOnAnEmptyStackDoesNothing) {
    auto calculator = calculatorWith({});
    EXPECT_FALSE(calculator->enter(""));
    EXPECT_EQ(calculator->stackSize(), 0);
    EXPECT_EQ(calculator->status(), "");
}

} // namespace
