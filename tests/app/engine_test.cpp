// The calculator's engine: numbers with a cached display string, the stack, typed entries and
// the operations with their failure rule.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>

#include "Calculator.h"

namespace {

using Rows = std::vector<std::string>;
using Operation = std::function<void(Calculator &)>;

class Engine : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { bignum_init(); }
    // A calculator with the given entries pushed in order.
    static std::unique_ptr<Calculator> with(const Rows &entries) {
        auto calculator = std::make_unique<Calculator>();
        for (const auto &entry : entries)
            EXPECT_TRUE(calculator->enter(entry)) << entry;
        return calculator;
    }
    // The stack's numbers as displayed, bottom first, and the number objects themselves.
    static Rows shown(Calculator &c) {
        Rows rows;
        for (int32_t i = 0; i < c.stackSize(); ++i)
            rows.push_back(c.numberAtPosition(i)->description().value_or("<none>"));
        return rows;
    }
    static std::vector<std::shared_ptr<Number>> numbers(Calculator &c) {
        std::vector<std::shared_ptr<Number>> all;
        for (int32_t i = 0; i < c.stackSize(); ++i)
            all.push_back(c.numberAtPosition(i));
        return all;
    }
};

// A number shows the text it was made from until its first description, then the library's
// text; later changes to the value are seen only after markAsOutdated.
TEST_F(Engine, DisplayIsRebuiltLazilyAndCached) {
    auto zero = Number::withPrecision(50, 16);
    EXPECT_TRUE(zero->outdated() == 0 && zero->precision() == 50 && zero->radix() == 16);
    EXPECT_EQ(zero->description(), "0");
    auto n = Number::fromString("000123", 100, 10);
    EXPECT_EQ(n->outdated(), 1);
    EXPECT_EQ(n->displayString(), "000123");
    EXPECT_EQ(n->description(), "123");
    EXPECT_EQ(n->outdated(), 0);
    bignum_set(n->bignum(), 255);
    EXPECT_EQ(n->description(), "123") << "the text is cached";
    n->bignum()->sign = 2;
    n->markAsOutdated();
    EXPECT_EQ(n->description(), "-255");
    EXPECT_EQ(n->updateStringWithPrecision(100, 16), "-ff");
    EXPECT_EQ(n->updateString(), "-ff") << "the radix is kept";
    bignum_set(n->bignum(), 0); // a zero marked negative has no sign to show
    n->bignum()->sign = 2;
    EXPECT_EQ(n->updateString(), "0");
    EXPECT_EQ(n->updateStringWithPrecision(100, 37), "");

    auto big = Number::fromString("1" + std::string(150, '0'), 100, 10);
    big->bignum()->sign = 2;
    EXPECT_EQ(big->description(), "-1." + std::string(90, '0') + "x10^150");
    big->markAsOutdated();
    EXPECT_EQ(big->updateStringWithPrecision(Number::kMaxPrecision + 1, 8), std::nullopt);
    EXPECT_TRUE(big->displayString() == std::nullopt && big->outdated() == 1);
    EXPECT_TRUE(big->precision() == 100 && big->radix() == 10);
}

TEST_F(Engine, CopyIsEqualAndIndependent) {
    auto source = Number::fromString("9876", 60, 10);
    auto twin = source->copy();
    EXPECT_NE(twin->bignum(), source->bignum());
    EXPECT_TRUE(bignum_eq(twin->bignum(), source->bignum()));
    EXPECT_TRUE(twin->displayString() == "9876" && twin->outdated() == 1);
    EXPECT_TRUE(twin->precision() == 60 && twin->radix() == 10);
    bignum_set(twin->bignum(), 5);
    twin->markAsOutdated();
    EXPECT_EQ(twin->description(), "5");
    EXPECT_EQ(source->description(), "9876");
    source->updateStringWithPrecision(Number::kMaxPrecision + 1, 10);
    EXPECT_EQ(source->copy()->displayString(), std::nullopt);

    // Return on an empty entry pushes such a copy of the top; on an empty stack it does nothing.
    auto calculator = with({"1", "7", ""});
    EXPECT_EQ(shown(*calculator), (Rows{"1", "7", "7"}));
    EXPECT_NE(calculator->numberAtPosition(2)->bignum(), calculator->numberAtPosition(1)->bignum());
    auto empty = with({});
    EXPECT_FALSE(empty->enter("  "));
    EXPECT_TRUE(empty->stackSize() == 0 && empty->status() == "");
}

// A lock still held after the exception would make the push from another thread wait for ever
// (the test would then time out).
TEST_F(Engine, StackErrorsAreThrownAndReleaseTheLock) {
    Calculator calculator;
    EXPECT_TRUE(calculator.precision() == 100 && calculator.radix() == 10);
    EXPECT_THROW(calculator.pop(), std::out_of_range);
    EXPECT_THROW(calculator.push(nullptr), std::invalid_argument);
    std::thread other([&] { calculator.push(Number::fromString("8", 100, 10)); });
    other.join();
    EXPECT_EQ(shown(calculator), Rows{"8"});
    auto held = calculator.pop();
    EXPECT_EQ(calculator.numberAtPosition(0), nullptr);
    calculator.push(held);
    calculator.clear();
    EXPECT_EQ(held->description(), "8") << "clear leaves held numbers usable";
}

TEST_F(Engine, EntriesAreDecimalIntegers) {
    // clang-format off
    const std::pair<const char *, const char *> accepted[] = {
        {"-5", "-5"}, {"  42\t", "42"}, {"007", "7"}, {"-0", "0"},
        {" -123456789012345678901234567890 ", "-123456789012345678901234567890"}};
    // clang-format on
    for (const auto &[text, display] : accepted)
        EXPECT_EQ(shown(*with({text})), Rows{display}) << text;
    for (const char *text : {"- 5", "5-", "1.5", "abc", "+5", "-", "1 2", "--5", "  x1 "}) {
        auto calculator = with({"9"});
        EXPECT_FALSE(calculator->enter(text)) << text;
        EXPECT_EQ(shown(*calculator), Rows{"9"}) << text;
        std::string trimmed = std::string(text) == "  x1 " ? "x1" : text;
        EXPECT_EQ(calculator->status(), "Not a decimal integer: " + trimmed);
        EXPECT_TRUE(calculator->enter("1"));
        EXPECT_EQ(calculator->status(), "");
    }
}

const Operation kAdd = [](Calculator &c) { c.add(); }, kSub = [](Calculator &c) { c.sub(); },
                kMul = [](Calculator &c) { c.mul(); }, kDiv = [](Calculator &c) { c.div(); },
                kPow = [](Calculator &c) { c.pow(); }, kRoot = [](Calculator &c) { c.root(); },
                kFac = [](Calculator &c) { c.fac(); };

// The earlier-pushed number is the left operand (or the root's degree); only the top two take
// part, and the result takes the calculator's precision and radix.
TEST_F(Engine, OperationsTakeTheSecondAsLeftOperand) {
    // clang-format off
    const std::tuple<Rows, Operation, Rows> cases[] = {
        {{"1", "7", "2"}, kAdd, {"1", "9"}}, {{"3", "5"}, kSub, {"-2"}},
        {{"7", "-2"}, kMul, {"-14"}},
        {{"-7", "2"}, kDiv, {"-3"}}, {{"2", "10"}, kPow, {"1024"}}, {{"2", "-1"}, kPow, {"0"}},
        {{"3", "-27"}, kRoot, {"-3"}}, {{"4", "5"}, kFac, {"4", "120"}}, {{"0"}, kFac, {"1"}}};
    // clang-format on
    for (const auto &[before, operation, after] : cases) {
        auto calculator = with(before);
        operation(*calculator);
        EXPECT_EQ(shown(*calculator), after) << before.back();
    }
    auto calculator = with({"6", "7"});
    auto product = calculator->mul();
    EXPECT_EQ(calculator->numberAtPosition(0), product);
    EXPECT_EQ(product->outdated(), 1);
    Calculator hex;
    hex.push(Number::fromString("ff", 20, 16));
    hex.push(Number::fromString("1", 20, 16));
    auto power = hex.pow();
    EXPECT_TRUE(power->precision() == 100 && power->radix() == 10 && power->description() == "255");
}

// A refused or impossible call leaves the same number objects in the same order and says why;
// the next success clears the reason.
TEST_F(Engine, FailuresLeaveTheStackAndSayWhy) {
    // clang-format off
    const std::tuple<Rows, Operation, const char *> failures[] = {
        {{"5"}, kAdd, ""}, {{"5"}, kSub, ""}, {{"5"}, kMul, ""}, {{"5"}, kDiv, ""}, {{"5"}, kPow, ""},
        {{"5"}, kRoot, ""}, {{}, kFac, ""},
        {{"9", "4", "5"}, [](Calculator &c) { c.modpow(), c.mod(), c.gcd(), c.modinv(); }, ""},
        {{"1", "7", "0"}, kDiv, "Division by zero"}, {{"0", "-1"}, kPow, "Zero to a negative power"},
        {{"0", "27"}, kRoot, "Root degree must be at least 1"},
        {{"-3", "27"}, kRoot, "Root degree must be at least 1"},
        {{"2", "-16"}, kRoot, "Even root of a negative number"},
        {{"-3"}, kFac, "Factorial of a negative number"}};
    // clang-format on
    for (const auto &[entries, operation, status] : failures) {
        auto calculator = with(entries);
        auto before = numbers(*calculator);
        operation(*calculator);
        EXPECT_EQ(numbers(*calculator), before) << status;
        EXPECT_EQ(calculator->status(), status);
    }
    auto calculator = with({"5", "7", "0"});
    calculator->div();
    calculator->add();
    EXPECT_EQ(shown(*calculator), (Rows{"5", "7"}));
    EXPECT_EQ(calculator->status(), "");
    // Results over the word limit: numbers of `words` words with the top one `top`.
    auto wide = [](uint64_t words, uint32_t top, uint8_t sign = 1) {
        auto n = Number::withPrecision(100, 10);
        std::vector<uint32_t> msf(words, 0);
        msf[0] = top;
        bignum_set_ui8(n->bignum(), words, msf.data());
        n->bignum()->sign = sign;
        return n;
    };
    const uint32_t high = 0x80000000u; // doubling a number with this top word adds a word
    // clang-format off
    const std::tuple<std::shared_ptr<Number>, std::shared_ptr<Number>, Operation> over[] = {
        {wide(60000, 1), wide(60000, 1), kMul},
        {wide(60000, 1), Number::fromString("2", 100, 10), kPow},
        {wide(100000, high), wide(100000, high), kAdd},
        {wide(100000, high), wide(100000, high, 2), kSub}};
    // clang-format on
    for (const auto &[second, top, operation] : over) {
        Calculator calculator;
        calculator.push(second);
        calculator.push(top);
        operation(calculator);
        EXPECT_EQ(numbers(calculator), (std::vector{second, top}));
        EXPECT_EQ(calculator.status(), "Result exceeds 100000 words");
    }
}

} // namespace
