#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "engine_test_support.h"

namespace {

std::shared_ptr<Number> number(const std::string &text) {
    ensureLibrary();
    return Number::fromString(text, 100, 10);
}

TEST(CalculatorStack, StartsEmptyWithFixedSettings) {
    Calculator calculator;
    EXPECT_EQ(calculator.stackSize(), 0);
    EXPECT_EQ(calculator.precision(), 100);
    EXPECT_EQ(calculator.radix(), 10);
    EXPECT_EQ(calculator.status(), "");
}

TEST(CalculatorStack, PositionsCountFromTheBottom) {
    Calculator calculator;
    EXPECT_EQ(calculator.numberAtPosition(0), nullptr);
    auto a = number("1"), b = number("2");
    calculator.push(a);
    calculator.push(b);
    EXPECT_EQ(calculator.numberAtPosition(0), a);
    EXPECT_EQ(calculator.numberAtPosition(1), b);
    EXPECT_EQ(calculator.numberAtPosition(-1), nullptr);
    EXPECT_EQ(calculator.numberAtPosition(2), nullptr);
    EXPECT_EQ(calculator.pop(), b);
    EXPECT_EQ(calculator.stackSize(), 1);
    EXPECT_EQ(calculator.numberAtPosition(0), a);
}

// A lock still held after the exception would make the push from another
// thread wait for ever (the test would then time out).
TEST(CalculatorStack, StackErrorsAreThrownAndReleaseTheLock) {
    Calculator calculator;
    EXPECT_THROW(calculator.pop(), std::out_of_range);
    EXPECT_THROW(calculator.push(nullptr), std::invalid_argument);
    EXPECT_EQ(calculator.stackSize(), 0);
    std::thread other([&] { calculator.push(number("8")); });
    other.join();
    EXPECT_EQ(shown(calculator), std::vector<std::string>{"8"});
}

TEST(CalculatorStack, ClearLeavesHeldNumbersUsable) {
    Calculator calculator;
    calculator.push(number("31"));
    auto held = calculator.numberAtPosition(0);
    calculator.clear();
    EXPECT_EQ(calculator.stackSize(), 0);
    EXPECT_EQ(held->description(), "31");
}

} // namespace
