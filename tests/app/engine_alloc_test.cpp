// The calculator's engine with one allocation failing at a time: for n = 1, 2, ...
// the n-th allocation of an action fails, until an action makes fewer than n.
// No exception may leave an action that reports by its result; an action either
// does exactly what it does with memory to spare, or reports a failure and
// leaves the stack, its undo levels and its listeners as they were. Every
// block is given back.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "Calculator.h"
#include "alloc_hooks.h"

namespace {

using Rows = std::vector<std::string>;

// Counts what the calculator tells its listeners; allocates nothing.
struct CountingListener : StackListener {
    void stackChanged(int, int, int, const StackState &) override { ++changes; }
    void radixChanged(const StackState &) override { ++changes; }
    int changes = 0;
};

// Everything an action may change, to compare before and after.
struct Observed {
    explicit Observed(Calculator &c) {
        for (int32_t i = 0; i < c.stackSize(); ++i) {
            numbers.push_back(c.numberAtPosition(i));
            texts.push_back(numbers.back()->fullText(10));
        }
        radix = c.radix();
        can_undo = c.canUndo();
        can_redo = c.canRedo();
    }
    bool operator==(const Observed &o) const {
        return numbers == o.numbers && texts == o.texts && radix == o.radix &&
               can_undo == o.can_undo && can_redo == o.can_redo;
    }
    std::vector<std::shared_ptr<Number>> numbers;
    Rows texts; // every digit, so that a value changed in place is seen
    int32_t radix = 0;
    bool can_undo = false, can_redo = false;
};

struct Action {
    std::string name;
    Rows entries;                            // pushed before the action
    std::function<void(Calculator &)> setup; // further preparation, may be empty
    std::function<bool(Calculator &)> run;   // true when it did its work
};

// The undo levels and, after undoing them all, the redo levels: the history
// as far as it can be seen from outside. Changes the calculator.
std::pair<int, int> history(Calculator &c) {
    int undone = 0, redone = 0;
    while (c.undo())
        ++undone;
    while (c.redo())
        ++redone;
    return {undone, redone};
}

std::unique_ptr<Calculator> prepared(const Action &a) {
    auto c = std::make_unique<Calculator>();
    for (const auto &entry : a.entries)
        EXPECT_TRUE(c->enter(entry)) << entry;
    if (a.setup)
        a.setup(*c);
    return c;
}

class EngineAlloc : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        bignum_init();
        bignum_set_messages(0);
        // The library keeps its last line for the thread; made once, at its
        // longest, it takes no block later.
        ::bignum *b = bignum_alloc();
        __bignum_grow(b, ~0ull);
        bignum_free(b);
    }

    // Walks the failing allocation over one action; the outcome with memory to
    // spare is the reference.
    static void walk(const Action &a) {
        SCOPED_TRACE(a.name);
        Rows want;
        std::string want_status;
        bool want_ok = false;
        std::pair<int, int> want_history;
        {
            auto c = prepared(a);
            want_history = history(*prepared(a));
            want_ok = a.run(*c);
            want = Observed(*c).texts;
            want_status = c->status();
        }
        for (uint64_t n = 1;; ++n) {
            const int parts = ::testing::UnitTest::GetInstance()
                                  ->current_test_info()
                                  ->result()
                                  ->total_part_count();
            const int64_t baseline = faults::live_blocks();
            bool struck = false;
            {
                auto c = prepared(a);
                CountingListener listener;
                c->addListener(&listener);
                const Observed before(*c);
                bool ok = false, threw = false;
                faults::fail_nth(n);
                try {
                    ok = a.run(*c);
                } catch (...) {
                    threw = true;
                }
                struck = faults::disarm();
                const Observed after(*c);
                EXPECT_FALSE(threw)
                    << "an exception left the action when allocation " << n << " failed";
                if (ok == want_ok && after.texts == want && c->status() == want_status) {
                    // done as with memory to spare
                } else {
                    EXPECT_FALSE(ok) << "allocation " << n << " failed";
                    EXPECT_TRUE(after == before)
                        << "the stack changed when allocation " << n << " failed";
                    EXPECT_EQ(listener.changes, 0) << "allocation " << n;
                    EXPECT_FALSE(c->status().empty()) << "no reason given, allocation " << n;
                    c->removeListener(&listener);
                    EXPECT_EQ(history(*c), want_history)
                        << "the undo levels changed when allocation " << n << " failed";
                }
                c->removeListener(&listener);
            }
            const bool failed_now = ::testing::UnitTest::GetInstance()
                                        ->current_test_info()
                                        ->result()
                                        ->total_part_count() != parts;
            // A failure's own report takes blocks; the count means something only without one.
            if (!failed_now) {
                EXPECT_EQ(faults::live_blocks(), baseline)
                    << "blocks not given back when allocation " << n << " failed";
            }
            if (!struck || HasFailure())
                break;
        }
    }
};

const std::string kLong = std::string(300, '7') + "1";
const std::string kOther = "-" + std::string(280, '3') + "9";

TEST_F(EngineAlloc, ComputingOperations) {
    const std::pair<const char *, bool (Calculator::*)()> binary[] = {
        {"add", &Calculator::add}, {"sub", &Calculator::sub},       {"mul", &Calculator::mul},
        {"div", &Calculator::div}, {"pow", &Calculator::pow},       {"mod", &Calculator::mod},
        {"gcd", &Calculator::gcd}, {"modinv", &Calculator::modinv},
    };
    for (const auto &[name, op] : binary) {
        const Rows operands = std::string(name) == "pow"      ? Rows{"-123456789", "97"}
                              : std::string(name) == "modinv" ? Rows{kOther, "1000000007"}
                                                              : Rows{kLong, kOther};
        walk({name, operands, nullptr, [op = op](Calculator &c) { return (c.*op)(); }});
    }
    walk({"root", {"3", kLong}, nullptr, [](Calculator &c) { return c.root(); }});
    walk({"fac", {"700"}, nullptr, [](Calculator &c) { return c.fac(); }});
    walk({"modpow", {kOther, "65537", kLong}, nullptr, [](Calculator &c) { return c.modpow(); }});
    walk({"div by zero", {kLong, "0"}, nullptr, [](Calculator &c) { return c.div(); }});
    walk({"too few numbers", {"5"}, nullptr, [](Calculator &c) { return c.add(); }});
}

TEST_F(EngineAlloc, EnteringNumbers) {
    walk({"enter", {"1"}, nullptr, [](Calculator &c) { return c.enter(kLong); }});
    walk({"enter in radix 16",
          {},
          [](Calculator &c) { c.setRadix(16); },
          [](Calculator &c) { return c.enter("-DeadBeef0123456789abcdef"); }});
    walk({"enter a copy of the top", {kLong}, nullptr, [](Calculator &c) { return c.enter(""); }});
    walk({"enter something else", {"1"}, nullptr, [](Calculator &c) { return c.enter("12x"); }});
    walk({"paste", {"1"}, nullptr, [](Calculator &c) {
              return c.paste(" 1234\\\n5678\\\r\n90 12\n");
          }});
}

TEST_F(EngineAlloc, StackOperations) {
    const Rows three = {"1", kLong, kOther};
    walk({"swap", three, nullptr, [](Calculator &c) { return c.swap(); }});
    walk({"drop", three, nullptr, [](Calculator &c) { return c.drop(); }});
    walk({"rotate", three, nullptr, [](Calculator &c) { return c.rotate(); }});
    walk({"change sign", three, nullptr, [](Calculator &c) { return c.changeSign(); }});
    walk({"radix", three, nullptr, [](Calculator &c) { return c.setRadix(7); }});
    walk({"undo", three, [](Calculator &c) { c.mul(); }, [](Calculator &c) { return c.undo(); }});
    walk({"redo", three,
          [](Calculator &c) {
              c.mul();
              c.undo();
          },
          [](Calculator &c) { return c.redo(); }});
}

// push, pop and clear report by exception: a failed allocation reaches the
// caller as std::bad_alloc, with the stack as it was.
TEST_F(EngineAlloc, StackCallsThatThrow) {
    auto strong = [](std::function<void(Calculator &)> f) {
        return [f](Calculator &c) {
            try {
                f(c);
                return true;
            } catch (const std::bad_alloc &) {
                c.setStatus("out of memory"); // what a caller would show
                return false;
            }
        };
    };
    auto number = Number::fromString(kLong, 100, 10);
    walk({"push", {"5", kOther}, nullptr, strong([&](Calculator &c) { c.push(number); })});
    walk({"pop", {"5", kOther}, nullptr, strong([](Calculator &c) { c.pop(); })});
    walk({"clear", {"5", kOther}, nullptr, strong([](Calculator &c) { c.clear(); })});
}

// The display string is rebuilt whole or not at all; a failed rebuild is tried again.
TEST_F(EngineAlloc, DisplayStrings) {
    for (uint64_t n = 1;; ++n) {
        auto number = Number::fromString(kLong, 100, 10);
        number->bignum()->sign = 2;
        std::optional<std::string> shown;
        bool threw = false;
        faults::fail_nth(n);
        try {
            shown = number->description();
        } catch (...) {
            threw = true;
        }
        const bool struck = faults::disarm();
        ASSERT_FALSE(threw) << "allocation " << n;
        const std::string want = "-7." + std::string(90, '7') + "x10^300";
        if (shown) {
            EXPECT_EQ(*shown, want) << "allocation " << n;
            EXPECT_EQ(number->outdated(), 0);
        }
        EXPECT_EQ(number->description(), want) << "allocation " << n;
        if (!struck)
            break;
    }
}

} // namespace
