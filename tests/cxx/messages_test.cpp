// The per-thread switch for the library's printed lines, and karvo::Integer's
// use of it: a C++ program hears nothing from the library, while C callers and
// other threads keep their documented lines.
#include <gtest/gtest.h>

#include <bignum.h>
#include <karvo/integer.hpp>

#include <cstdio>
#include <latch>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

template <class F> std::string Stdout(F &&f) {
    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    f();
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

// 7 / 0 through the C interface; true when it was refused.
bool CDivideByZero() {
    const karvo::Integer init = 1; // runs bignum_init() once, as every caller must
    bignum *q = bignum_alloc(), *r = bignum_alloc(), *a = bignum_alloc(), *zero = bignum_alloc();
    bignum_set(a, 7);
    bignum_set(zero, 0);
    const bool refused = bignum_div(q, r, a, zero) == nullptr;
    for (bignum *b : {q, r, a, zero})
        bignum_free(b);
    return refused;
}

// (-4)! through the C interface; true when it was refused.
bool CNegativeFactorial() {
    bignum *dst = bignum_alloc(), *n = bignum_alloc();
    bignum_set(n, 4);
    n->sign = 2;
    const bool refused = bignum_factorial(dst, n) == nullptr;
    bignum_free(dst);
    bignum_free(n);
    return refused;
}

const std::string kDivisionLine = "bignum_div().. division by zero\n";

} // namespace

TEST(IntegerMessages, OnByDefaultOffKeepsTheLastMessage) {
    EXPECT_EQ(Stdout([] { EXPECT_TRUE(CDivideByZero()); }), kDivisionLine);

    EXPECT_EQ(bignum_set_messages(0), 1);
    EXPECT_EQ(Stdout([] { EXPECT_TRUE(CNegativeFactorial()); }), "");
    EXPECT_STREQ(bignum_last_message(), "factorial of a negative number");
    EXPECT_EQ(Stdout([] { EXPECT_TRUE(CDivideByZero()); }), "");
    EXPECT_STREQ(bignum_last_message(), "division by zero");

    EXPECT_EQ(bignum_set_messages(0), 0);
    EXPECT_EQ(bignum_set_messages(5), 0); // any non-zero turns printing on
    EXPECT_EQ(bignum_set_messages(1), 1);
    EXPECT_EQ(Stdout([] { EXPECT_TRUE(CDivideByZero()); }), kDivisionLine);
}

TEST(IntegerMessages, EachThreadHasItsOwnSwitch) {
    // Both threads are running when they fail; only the one that kept the
    // default prints.
    std::string silent_message, printing_message;
    const std::string out = Stdout([&] {
        std::latch both_ready(2);
        std::thread silent([&] {
            bignum_set_messages(0);
            both_ready.arrive_and_wait();
            EXPECT_TRUE(CNegativeFactorial());
            silent_message = bignum_last_message();
        });
        std::thread printing([&] {
            both_ready.arrive_and_wait();
            EXPECT_TRUE(CDivideByZero());
            printing_message = bignum_last_message();
        });
        silent.join();
        printing.join();
    });
    EXPECT_EQ(out, kDivisionLine);
    EXPECT_EQ(silent_message, "factorial of a negative number");
    EXPECT_EQ(printing_message, "division by zero");

    // A thread that turns printing off leaves new threads, and this one, printing.
    std::thread([] { bignum_set_messages(0); }).join();
    EXPECT_EQ(Stdout([] { std::thread([] { CDivideByZero(); }).join(); }), kDivisionLine);
    EXPECT_EQ(Stdout([] { CDivideByZero(); }), kDivisionLine);
}

TEST(IntegerMessages, IntegerPutsTheThreadsSettingBack) {
    const karvo::Integer seven = 7;
    // Printing on: a refused Integer call prints nothing, yet leaves its reason
    // as the last message, and C calls after it print again.
    std::string what;
    EXPECT_EQ(Stdout([&] {
                  try {
                      (void)(seven / 0);
                  } catch (const std::domain_error &e) {
                      what = e.what();
                  }
              }),
              "");
    EXPECT_EQ(what, "division by zero");
    EXPECT_STREQ(bignum_last_message(), "division by zero");
    EXPECT_EQ(Stdout([] { CDivideByZero(); }), kDivisionLine);

    // Printing off: it stays off after Integer calls that succeed and that fail.
    bignum_set_messages(0);
    (void)(seven * seven);
    EXPECT_THROW(karvo::factorial(-seven), std::domain_error);
    EXPECT_EQ(bignum_set_messages(1), 0);
}

TEST(IntegerMessages, AProgramOfIntegersOnSeveralThreadsPrintsNothing) {
    std::vector<std::string> last(3);
    const std::string out = Stdout([&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back([&, t] {
                karvo::Integer x = karvo::factorial(200 + t);
                for (int i = 0; i < 50; ++i) {
                    x = x / 3 + karvo::pow(x % 1000, 3);
                    try {
                        (void)karvo::root(-x - 1, 2 * (i + 1));
                    } catch (const std::domain_error &) {
                    }
                    try {
                        (void)(x / (x - x));
                    } catch (const std::domain_error &) {
                    }
                    try {
                        (void)karvo::Integer("12z", 10);
                    } catch (const std::invalid_argument &) {
                    }
                }
                last[t] = bignum_last_message();
            });
        }
        for (std::thread &t : threads)
            t.join();
    });
    EXPECT_EQ(out, "");
    for (const std::string &m : last)
        EXPECT_EQ(m, "division by zero");
}
