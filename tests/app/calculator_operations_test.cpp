#include <gtest/gtest.h>

#include <functional>

#include "engine_test_support.h"

namespace {

using Rows = std::vector<std::string>;
using Operation = std::function<void(Calculator &)>;

const Operation kAdd = [](Calculator &c) { c.add(); };
const Operation kSub = [](Calculator &c) { c.sub(); };
const Operation kMul = [](Calculator &c) { c.mul(); };
const Operation kDiv = [](Calculator &c) { c.div(); };
const Operation kPow = [](Calculator &c) { c.pow(); };
const Operation kRoot = [](Calculator &c) { c.root(); };
const Operation kFac = [](Calculator &c) { c.fac(); };

struct Case {
    const char *name;
    Rows before;
    Operation operation;
    Rows after;
};

// The earlier-pushed number is always the left operand (or the root's degree).
TEST(CalculatorOperations, UseTheSecondAsLeftOperandAndTheTopAsRight) {
    const Case cases[] = {
        {"add", {"7", "2"}, kAdd, {"9"}},
        {"sub", {"7", "2"}, kSub, {"5"}},
        {"sub below zero", {"3", "5"}, kSub, {"-2"}},
        {"mul", {"7", "-2"}, kMul, {"-14"}},
        {"div", {"7", "2"}, kDiv, {"3"}},
        {"div negative", {"-7", "2"}, kDiv, {"-3"}},
        {"pow", {"2", "10"}, kPow, {"1024"}},
        {"pow negative exponent", {"2", "-1"}, kPow, {"0"}},
        {"root", {"3", "27"}, kRoot, {"3"}},
        {"odd root of negative", {"3", "-27"}, kRoot, {"-3"}},
        {"only the two top take part", {"1", "20", "300"}, kAdd, {"1", "320"}},
        {"fac", {"4", "5"}, kFac, {"4", "120"}},
        {"fac of zero", {"0"}, kFac, {"1"}},
    };
    for (const auto &c : cases) {
        auto calculator = calculatorWith(c.before);
        c.operation(*calculator);
        EXPECT_EQ(shown(*calculator), c.after) << c.name;
        EXPECT_EQ(calculator->status(), "") << c.name;
    }
}

TEST(CalculatorOperations, TooFewNumbersChangeNothing) {
    for (const auto &operation : {kAdd, kSub, kMul, kDiv, kPow, kRoot}) {
        auto calculator = calculatorWith({"5"});
        auto before = numbers(*calculator);
        operation(*calculator);
        EXPECT_EQ(numbers(*calculator), before);
    }
    auto one = calculatorWith({"5"});
    EXPECT_EQ(one->mul(), nullptr);
    EXPECT_EQ(one->pow(), nullptr);
    EXPECT_EQ(one->root(), nullptr);
    auto empty = calculatorWith({});
    EXPECT_EQ(empty->fac(), nullptr);
    EXPECT_EQ(empty->stackSize(), 0);
}

TEST(CalculatorOperations, ReturnedResultIsTheNewTop) {
    auto calculator = calculatorWith({"6", "7"});
    auto product = calculator->mul();
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(calculator->numberAtPosition(0), product);
    EXPECT_EQ(product->outdated(), 1);
    EXPECT_EQ(product->description(), "42");
}

TEST(CalculatorOperations, ResultTakesTheCalculatorSettings) {
    ensureLibrary();
    Calculator calculator;
    calculator.push(Number::fromString("ff", 20, 16));
    calculator.push(Number::fromString("1", 20, 16));
    auto sum = calculator.pow();
    EXPECT_EQ(sum->precision(), 100);
    EXPECT_EQ(sum->radix(), 10);
    EXPECT_EQ(sum->description(), "255");
}

TEST(CalculatorOperations, UnofferedOperationsLeaveTheStack) {
    auto calculator = calculatorWith({"9", "4", "5"});
    auto before = numbers(*calculator);
    calculator->modpow();
    calculator->mod();
    calculator->gcd();
    calculator->modinv();
    EXPECT_EQ(numbers(*calculator), before);
}

struct Failure {
    Rows before;
    Operation operation;
    const char *status;
};

// A refused call leaves the same number objects in the same order and says why.
TEST(CalculatorOperations, RefusedCallsLeaveTheStackAndSayWhy) {
    const Failure failures[] = {
        {{"1", "7", "0"}, kDiv, "Division by zero"},
        {{"0", "-1"}, kPow, "Zero to a negative power"},
        {{"0", "27"}, kRoot, "Root degree must be at least 1"},
        {{"-3", "27"}, kRoot, "Root degree must be at least 1"},
        {{"2", "-16"}, kRoot, "Even root of a negative number"},
        {{"-3"}, kFac, "Factorial of a negative number"},
    };
    for (const auto &f : failures) {
        auto calculator = calculatorWith(f.before);
        auto before = numbers(*calculator);
        f.operation(*calculator);
        EXPECT_EQ(numbers(*calculator), before) << f.status;
        EXPECT_EQ(shown(*calculator), f.before) << f.status;
        EXPECT_EQ(calculator->status(), f.status);
    }
}

TEST(CalculatorOperations, NextSuccessClearsTheStatus) {
    auto calculator = calculatorWith({"5", "7", "0"});
    calculator->div();
    EXPECT_EQ(calculator->status(), "Division by zero");
    calculator->add();
    EXPECT_EQ(shown(*calculator), (Rows{"5", "7"}));
    EXPECT_EQ(calculator->status(), "");
}

// A number of `words` words, the top one `topWord` and the others zero.
std::shared_ptr<Number> wide(uint64_t words, uint32_t topWord = 1) {
    auto n = Number::withPrecision(100, 10);
    std::vector<uint32_t> mostSignificantFirst(words, 0);
    mostSignificantFirst[0] = topWord;
    bignum_set_ui8(n->bignum(), words, mostSignificantFirst.data());
    return n;
}

TEST(CalculatorOperations, ResultsOverTheWordLimitAreRefused) {
    ensureLibrary();
    const uint32_t high = 0x80000000u; // doubling a number with this top word adds a word
    auto minusWide = wide(100000, high);
    minusWide->bignum()->sign = 2;
    struct Operands {
        std::shared_ptr<Number> second, top;
        Operation operation;
    };
    const Operands cases[] = {
        {wide(60000), wide(60000), kMul},
        {wide(60000), Number::fromString("2", 100, 10), kPow},
        {wide(100000, high), wide(100000, high), kAdd},
        {wide(100000, high), minusWide, kSub},
    };
    for (const auto &c : cases) {
        Calculator calculator;
        calculator.push(c.second);
        calculator.push(c.top);
        c.operation(calculator);
        EXPECT_EQ(numbers(calculator), (std::vector{c.second, c.top}));
        EXPECT_EQ(calculator.status(), "Result exceeds 100000 words");
    }
}

} // namespace
