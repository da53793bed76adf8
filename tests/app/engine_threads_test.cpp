// The calculator's engine used from several threads at once: pushing, entering, popping,
// adding, swapping and rotating, while another thread reads the stack. Every number pushed is
// a distinct power of two and only additions combine them, so at the end the numbers on the
// stack and those popped must hold each of those bits exactly once: nothing lost, nothing
// duplicated.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Calculator.h"

namespace {

constexpr int kWorkers = 4;
constexpr int kPerWorker = 250;
constexpr int kBits = kWorkers * kPerWorker;

// 2^bit in radix 16.
std::string power_of_two(int bit) {
    return std::string(1, "1248"[bit % 4]) + std::string(bit / 4, '0');
}

// Keeps its own count of the rows from what it is told; called with the stack locked.
class RowCounter : public StackListener {
  public:
    void stackChanged(int first, int removed, int added, const StackState &now) override {
        rows += added - removed;
        if (rows != int(now.stack.size()) || first + added != int(now.stack.size()))
            ++mismatches;
    }
    void radixChanged(const StackState &) override {}
    int rows = 0, mismatches = 0;
};

class EngineThreads : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { bignum_init(); }
};

TEST_F(EngineThreads, NothingLostOrDuplicated) {
    Calculator calculator;
    ASSERT_TRUE(calculator.setRadix(16));
    RowCounter counter;
    calculator.addListener(&counter);

    std::vector<std::vector<std::shared_ptr<Number>>> popped(kWorkers);
    std::atomic<int> running = kWorkers;
    std::atomic<bool> bad_read = false;
    auto worker = [&](int w) {
        for (int i = 0; i < kPerWorker; ++i) {
            const std::string text = power_of_two(w * kPerWorker + i);
            if (w % 2 == 0)
                EXPECT_TRUE(calculator.enter(text));
            else
                calculator.push(Number::fromString(text, 100, 16));
            switch ((i + w) % 6) {
            case 1:
                try {
                    popped[w].push_back(calculator.pop());
                } catch (const std::out_of_range &) { // another thread emptied it
                }
                break;
            case 2:
                calculator.add();
                break;
            case 3:
                calculator.swap();
                break;
            case 4: {
                // The sum computed outside the lock; dropped when the stack changed meanwhile.
                if (auto pending = calculator.prepare(Operation::Add))
                    calculator.finish(*pending, compute(*pending, 100, 16));
                break;
            }
            case 5:
                calculator.rotate();
                break;
            }
        }
        --running;
    };
    // Reads what it can while the workers change the stack: every number is positive.
    auto reader = [&] {
        while (running.load() > 0) {
            const StackState state = calculator.state();
            for (const auto &number : state.stack) {
                const std::string text = number->fullText(16);
                if (text.empty() || text[0] == '-' || text[0] == '0')
                    bad_read = true;
            }
            if (auto top = calculator.numberAtPosition(calculator.stackSize() - 1))
                if (top->isNegative())
                    bad_read = true;
        }
    };

    std::vector<std::thread> threads;
    for (int w = 0; w < kWorkers; ++w)
        threads.emplace_back(worker, w);
    threads.emplace_back(reader);
    for (auto &thread : threads)
        thread.join();
    calculator.removeListener(&counter);

    EXPECT_FALSE(bad_read.load());
    EXPECT_EQ(counter.mismatches, 0);
    EXPECT_EQ(counter.rows, calculator.stackSize());

    std::vector<std::shared_ptr<Number>> all = calculator.state().stack;
    for (const auto &mine : popped)
        all.insert(all.end(), mine.begin(), mine.end());
    std::vector<uint32_t> seen(kBits / 32 + 1, 0);
    int duplicated = 0;
    for (const auto &number : all) {
        ASSERT_NE(number, nullptr);
        const ::bignum *v = number->bignum();
        ASSERT_EQ(v->sign, 1);
        ASSERT_LE(v->oofm, seen.size());
        for (uint64_t i = 0; i < v->oofm; ++i) {
            duplicated += (seen[i] & v->numb[i]) != 0;
            seen[i] |= v->numb[i];
        }
    }
    EXPECT_EQ(duplicated, 0);
    int missing = 0;
    for (int bit = 0; bit < kBits; ++bit)
        missing += (seen[size_t(bit / 32)] >> (bit % 32) & 1) == 0;
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(seen.back() >> (kBits % 32), 0u) << "a bit above those pushed";
}

// Threads that each compute on copies of the same stack numbers, as the window's background
// computations do, while the stack keeps changing: every result equals the one computed before
// the threads started, and the numbers computed on are untouched.
TEST_F(EngineThreads, ComputationsOnSharedNumbers) {
    const std::string minuend = "-" + std::string(400, '3') + "12345",
                      subtrahend = "8" + std::string(150, '0') + "7";
    Calculator calculator;
    ASSERT_TRUE(calculator.enter(minuend));
    ASSERT_TRUE(calculator.enter(subtrahend));
    const auto difference = calculator.prepare(Operation::Subtract);
    ASSERT_TRUE(difference.has_value());
    PendingOperation quotient = *difference; // the same two numbers
    quotient.operation = Operation::Divide;
    const std::string want_difference = compute(*difference, 100, 10).result->fullText(10),
                      want_quotient = compute(quotient, 100, 10).result->fullText(10);
    ASSERT_EQ(want_difference.substr(0, 6), "-33333");
    ASSERT_EQ(want_quotient.substr(0, 5), "-4166");

    std::atomic<int> wrong = 0, waiting = kWorkers;
    std::vector<std::thread> threads;
    for (int t = 0; t < kWorkers; ++t) {
        threads.emplace_back([&, t] {
            --waiting; // all start together, so that their calls overlap
            while (waiting.load() > 0)
                std::this_thread::yield();
            for (int i = 0; i < 500; ++i) {
                const Outcome d = compute(*difference, 100, 10), q = compute(quotient, 100, 10);
                if (!d.result || d.result->fullText(10) != want_difference)
                    ++wrong;
                if (!q.result || q.result->fullText(10) != want_quotient)
                    ++wrong;
                if (t == 0 && i % 20 == 0) { // the stack changes meanwhile
                    calculator.enter("");
                    calculator.drop();
                }
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(difference->operands[0]->fullText(10), minuend);
    EXPECT_EQ(difference->operands[1]->fullText(10), subtrahend);
    EXPECT_EQ(calculator.stackSize(), 2);
}

} // namespace
