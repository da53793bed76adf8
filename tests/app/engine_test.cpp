// The calculator's engine: numbers with a cached display string, the stack, typed entries and
// the operations with their failure rule.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>

#include "Calculator.h"

namespace {

using Rows = std::vector<std::string>;
using Action = std::function<void(Calculator &)>;

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

const Action kAdd = [](Calculator &c) { c.add(); }, kSub = [](Calculator &c) { c.sub(); },
             kMul = [](Calculator &c) { c.mul(); }, kDiv = [](Calculator &c) { c.div(); },
             kPow = [](Calculator &c) { c.pow(); }, kRoot = [](Calculator &c) { c.root(); },
             kFac = [](Calculator &c) { c.fac(); }, kMod = [](Calculator &c) { c.mod(); },
             kGcd = [](Calculator &c) { c.gcd(); }, kInv = [](Calculator &c) { c.modinv(); },
             kPowmod = [](Calculator &c) { c.modpow(); };

// The earlier-pushed number is the left operand (or the root's degree, the power's exponent);
// only the numbers an operation takes are replaced by its result.
TEST_F(Engine, OperationsTakeTheSecondAsLeftOperand) {
    // clang-format off
    const std::tuple<Rows, Action, Rows> cases[] = {
        {{"1", "7", "2"}, kAdd, {"1", "9"}}, {{"3", "5"}, kSub, {"-2"}},
        {{"7", "-2"}, kMul, {"-14"}},
        {{"-7", "2"}, kDiv, {"-3"}}, {{"2", "10"}, kPow, {"1024"}}, {{"2", "-1"}, kPow, {"0"}},
        {{"3", "-27"}, kRoot, {"-3"}}, {{"4", "5"}, kFac, {"4", "120"}}, {{"0"}, kFac, {"1"}},
        // The remainder of the magnitudes, as the library's division gives it.
        {{"9", "-17", "5"}, kMod, {"9", "2"}}, {{"17", "-5"}, kMod, {"2"}},
        {{"-12", "18"}, kGcd, {"6"}}, {{"0", "-4"}, kGcd, {"4"}},
        // The inverse lies in [0, |top|).
        {{"3", "7"}, kInv, {"5"}}, {{"-3", "7"}, kInv, {"2"}}, {{"3", "-7"}, kInv, {"5"}},
        {{"5", "1"}, kInv, {"0"}}, {{"1", "10", "13"}, kInv, {"1", "4"}},
        // Third to the power second, modulo top; a negative exponent through the inverse.
        {{"1", "4", "13", "497"}, kPowmod, {"1", "445"}}, {{"2", "-3", "5"}, kPowmod, {"2"}},
        {{"-2", "3", "5"}, kPowmod, {"3"}}, {{"7", "0", "1"}, kPowmod, {"0"}}};
    // clang-format on
    for (const auto &[before, operation, after] : cases) {
        auto calculator = with(before);
        operation(*calculator);
        EXPECT_EQ(shown(*calculator), after) << before.back();
        EXPECT_EQ(calculator->status(), "") << before.back();
    }
    auto calculator = with({"6", "7"});
    calculator->mul();
    auto product = calculator->numberAtPosition(0);
    EXPECT_EQ(product->outdated(), 1);
    EXPECT_TRUE(product->precision() == 100 && product->description() == "42");
}

// A refused or impossible call leaves the same number objects in the same order and says why;
// the next success clears the reason.
TEST_F(Engine, FailuresLeaveTheStackAndSayWhy) {
    // clang-format off
    const std::tuple<Rows, Action, const char *> failures[] = {
        {{"5"}, kAdd, "Add needs 2 numbers on the stack"}, {{"5"}, kRoot, "Root needs 2 numbers on the stack"},
        {{}, kFac, "Factorial needs 1 number on the stack"},
        {{"9", "4"}, kPowmod, "Modular power needs 3 numbers on the stack"},
        {{"1", "7", "0"}, kDiv, "Division by zero"}, {{"0", "-1"}, kPow, "Zero to a negative power"},
        {{"0", "27"}, kRoot, "Degree must be at least 1"},
        {{"-3", "27"}, kRoot, "Degree must be at least 1"},
        {{"2", "-16"}, kRoot, "Even root of a negative number"},
        {{"-3"}, kFac, "Factorial of a negative number"},
        {{"7", "0"}, kMod, "Division by zero"},
        {{"6", "-9"}, kInv, "No inverse modulo the top: the gcd is 3"},
        {{"6", "0"}, kInv, "Modulus is zero"}, {{"0", "5"}, kInv, "No inverse modulo the top: the gcd is 5"},
        {{"2", "3", "0"}, kPowmod, "Modulus is zero"},
        {{"4", "-1", "6"}, kPowmod, "Base has no inverse modulo the modulus"}};
    // clang-format on
    for (const auto &[entries, operation, status] : failures) {
        auto calculator = with(entries);
        auto before = numbers(*calculator);
        operation(*calculator);
        EXPECT_EQ(numbers(*calculator), before) << status;
        EXPECT_EQ(calculator->status(), status);
        EXPECT_EQ(calculator->canUndo(), !entries.empty()) << "a failure is no undo level";
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
    const std::tuple<std::shared_ptr<Number>, std::shared_ptr<Number>, Action, const char *> over[] = {
        {wide(60000, 1), wide(60000, 1), kMul, "Result of 119999 words exceeds max of 100000"},
        {wide(60000, 1), Number::fromString("2", 100, 10), kPow, "Result of 119999 words exceeds max of 100000"},
        {wide(100000, high), wide(100000, high), kAdd, "Result of 100001 words exceeds max of 100000"},
        {wide(100000, high), wide(100000, high, 2), kSub, "Result of 100001 words exceeds max of 100000"}};
    // clang-format on
    for (const auto &[second, top, operation, status] : over) {
        Calculator calculator;
        calculator.push(second);
        calculator.push(top);
        operation(calculator);
        EXPECT_EQ(numbers(calculator), (std::vector{second, top}));
        EXPECT_EQ(calculator.status(), status);
    }
}

// Records what the listener hears: (first, removed, added) per change, 'r' for a radix change.
struct Heard : StackListener {
    std::vector<std::tuple<int, int, int>> changes;
    int radixChanges = 0;
    size_t lastSize = 0;
    void stackChanged(int first, int removed, int added, const StackState &now) override {
        changes.emplace_back(first, removed, added);
        lastSize = now.stack.size();
    }
    void radixChanged(const StackState &) override { ++radixChanges; }
};

TEST_F(Engine, StackOperationsUndoAndRedo) {
    auto calculator = with({"1", "2", "3", "4"});
    Heard heard;
    calculator->addListener(&heard);
    EXPECT_TRUE(calculator->swap());
    EXPECT_EQ(shown(*calculator), (Rows{"1", "2", "4", "3"}));
    EXPECT_TRUE(calculator->rotate());
    EXPECT_EQ(shown(*calculator), (Rows{"1", "4", "3", "2"}));
    EXPECT_TRUE(calculator->drop());
    EXPECT_TRUE(calculator->changeSign());
    EXPECT_EQ(shown(*calculator), (Rows{"1", "4", "-3"}));
    EXPECT_TRUE(calculator->add());
    EXPECT_TRUE(calculator->setRadix(16));
    calculator->clear();
    EXPECT_EQ(calculator->stackSize(), 0);
    // Each change reports only the rows above the part that stayed.
    using C = std::tuple<int, int, int>;
    EXPECT_EQ(heard.changes,
              (std::vector<C>{{2, 2, 2}, {1, 3, 3}, {3, 1, 0}, {2, 1, 1}, {1, 2, 1}, {0, 2, 0}}));
    EXPECT_EQ(heard.radixChanges, 1);

    // Undo walks back through every kind of change, sharing the very same numbers.
    const std::vector<Rows> back = {{"1", "1"},          {"1", "1"},           {"1", "4", "-3"},
                                    {"1", "4", "3"},     {"1", "4", "3", "2"}, {"1", "2", "4", "3"},
                                    {"1", "2", "3", "4"}};
    for (const Rows &rows : back) {
        EXPECT_TRUE(calculator->undo());
        EXPECT_EQ(shown(*calculator), rows);
    }
    EXPECT_EQ(calculator->radix(), 10);
    auto four = calculator->numberAtPosition(3);
    EXPECT_TRUE(calculator->undo()) << "the entries are undo levels too";
    EXPECT_TRUE(calculator->redo());
    EXPECT_EQ(calculator->numberAtPosition(3), four);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(calculator->redo());
    EXPECT_EQ(calculator->radix(), 16);
    EXPECT_TRUE(calculator->redo());
    EXPECT_EQ(calculator->stackSize(), 0);
    EXPECT_FALSE(calculator->redo());
    EXPECT_EQ(calculator->status(), "Nothing to redo");
    // A new change forgets what could be redone.
    calculator->undo();
    calculator->enter("9");
    EXPECT_FALSE(calculator->canRedo());

    // Too few numbers: a status, no undo level.
    auto two = with({"5", "6"});
    EXPECT_FALSE(two->rotate());
    EXPECT_EQ(two->status(), "Rotate needs 3 numbers on the stack");
    EXPECT_FALSE(with({})->swap());
}

TEST_F(Engine, UndoKeepsAThousandLevelsWithoutCopyingNumbers) {
    Calculator calculator;
    calculator.enter(std::string(20000, '7'));
    auto big = calculator.numberAtPosition(0);
    for (int i = 0; i < 1200; ++i)
        calculator.enter("");
    // Each duplicate is a copy, but the levels below share those numbers.
    EXPECT_EQ(big.use_count(), 1 + 1 + 1000) << "the stack and every level that has it";
    int levels = 0;
    while (calculator.undo())
        ++levels;
    EXPECT_EQ(levels, 1000);
    EXPECT_EQ(calculator.stackSize(), 201);
}

TEST_F(Engine, EntriesAndTextInEveryRadix) {
    auto calculator = with({});
    EXPECT_FALSE(calculator->setRadix(37));
    EXPECT_EQ(calculator->status(), "Radix must be from 2 to 36");
    calculator->setRadix(16);
    EXPECT_TRUE(calculator->enter("-FF"));
    EXPECT_TRUE(calculator->enter("1a"));
    EXPECT_FALSE(calculator->enter("1g"));
    EXPECT_EQ(calculator->status(), "Not an integer in radix 16: 1g");
    calculator->add();
    auto sum = calculator->numberAtPosition(0);
    EXPECT_EQ(sum->descriptionIn(16), "-e5");
    EXPECT_EQ(sum->descriptionIn(10), "-229");
    EXPECT_EQ(sum->descriptionIn(36), "-6d");
    EXPECT_EQ(sum->fullText(2), "-11100101");
    EXPECT_EQ(sum->digitCount(2), 8);

    // The full text has every digit where the display form is cut.
    auto big = with({"2", "1000"});
    big->pow();
    auto power = big->numberAtPosition(0);
    EXPECT_EQ(power->description()->size(), 99u);
    EXPECT_EQ(power->digitCount(10), 302);
    const std::string full = power->fullText(10);
    EXPECT_TRUE(full.size() == 302 && full.starts_with("10715086") && full.ends_with("69376"));
    EXPECT_EQ(power->fullText(16), "1" + std::string(250, '0'));
    EXPECT_EQ(Number::withPrecision(100, 10)->fullText(7), "0");
}

TEST_F(Engine, PastesSkipBlanksAndLineContinuations) {
    auto calculator = with({});
    EXPECT_TRUE(calculator->paste("1234\\\n5678\\\r\n90 12\n"));
    EXPECT_TRUE(calculator->paste("  -42 \n"));
    EXPECT_EQ(shown(*calculator), (Rows{"1234567890"
                                        "12",
                                        "-42"}));
    EXPECT_FALSE(calculator->paste("12\\34"));
    EXPECT_EQ(calculator->status(), "Not a decimal integer: 12\\34");
    EXPECT_FALSE(calculator->paste(std::string(50, '9') + "x"));
    EXPECT_EQ(calculator->status(), "Not a decimal integer: " + std::string(40, '9') + "…");
    EXPECT_FALSE(calculator->paste(" \n"));
    EXPECT_EQ(calculator->status(), "Nothing to paste");
    EXPECT_EQ(calculator->stackSize(), 2);
    // A pasted number may be as long as the library holds, and no longer.
    EXPECT_TRUE(calculator->paste(std::string(963000, '9')));
    EXPECT_FALSE(calculator->paste(std::string(964000, '9')));
    EXPECT_EQ(calculator->status(), "Number exceeds 100000 words");
}

// The computing step runs apart from the stack: the stack may be shown, saved or changed
// meanwhile, and a cancelled computation leaves it as it was.
TEST_F(Engine, ComputationsRunApartAndCanBeCancelled) {
    auto calculator = with({"6", "7"});
    auto pending = calculator->prepare(Operation::Multiply);
    ASSERT_TRUE(pending);
    EXPECT_NE(pending->operands[0], calculator->numberAtPosition(0)) << "operands are copies";
    Outcome outcome;
    std::thread([&] { outcome = compute(*pending, 100, 10); }).join();
    EXPECT_TRUE(calculator->finish(*pending, outcome));
    EXPECT_EQ(shown(*calculator), Rows{"42"});

    // A result computed for a stack that has changed since is not used.
    calculator->enter("2");
    pending = calculator->prepare(Operation::Add);
    calculator->enter("1");
    EXPECT_FALSE(calculator->finish(*pending, compute(*pending, 100, 10)));
    EXPECT_EQ(shown(*calculator), (Rows{"42", "2", "1"}));

    // Hours of work, stopped from another thread.
    Calculator slow;
    const std::string digits(9000, '9');
    slow.enter(digits + "7");
    slow.enter(digits);
    slow.enter(digits + "5");
    auto before = numbers(slow);
    pending = slow.prepare(Operation::ModularPower);
    int cancel = 0;
    std::thread worker([&] { outcome = compute(*pending, 100, 10, &cancel); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    __atomic_store_n(&cancel, 1, __ATOMIC_RELAXED);
    worker.join();
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(slow.finish(*pending, outcome));
    EXPECT_EQ(slow.status(), "Cancelled modular power");
    EXPECT_EQ(numbers(slow), before);
}

} // namespace
