// The calling thread's side of long computations: the last message and the
// cancel flag, which must change nothing for threads that do not use them.
#include <atomic>
#include <string>
#include <thread>

#include "support/oracle.h"

using namespace kt;

TEST(LastMessage, HoldsTheTextOfTheLastRefusal) {
    Num q, r, zero(0), seven(7), minus(-4), two(2);
    Stdout([&] { bignum_div(q, r, seven, zero); });
    EXPECT_STREQ(bignum_last_message(), "division by zero");
    Stdout([&] { bignum_root(q, two, minus); });
    EXPECT_STREQ(bignum_last_message(), "even root of a negative number");
    // A success leaves the last line as it was.
    bignum_add(q, seven, two);
    EXPECT_STREQ(bignum_last_message(), "even root of a negative number");
    Num big(Mpz::ones(60000)), square;
    Stdout([&] { bignum_mul(square, big, big); });
    EXPECT_STREQ(bignum_last_message(), "result of 119999 words exceeds max of 100000");
}

TEST(LastMessage, BelongsToTheThreadThatPrintedIt) {
    Num q, zero(0), seven(7);
    Stdout([&] { bignum_mod(q, seven, zero); });
    std::string other = "unset";
    std::thread([&] { other = bignum_last_message(); }).join();
    EXPECT_EQ(other, "");
    EXPECT_STREQ(bignum_last_message(), "division by zero");
}

namespace {

// Operands whose gcd, extended gcd and modular power take many loop turns.
struct Long {
    Num a{Mpz::ones(3000) - Mpz::pow2(20000)}, b{Mpz::ones(2900) - 12345}, e{Mpz::ones(200)};
};

} // namespace

TEST(CancelFlag, ASetFlagStopsEachLongLoop) {
    Long in;
    int flag = 1;
    bignum_set_cancel_flag(&flag);
    Snapshot sa(in.a), sb(in.b);
    Num g(5), x(6), y(7), dst(9);
    EXPECT_TRUE(Gives([&] { return bignum_gcd(dst, in.a, in.b); }, dst,
                      Refusal("bignum_gcd().. cancelled\n")));
    load(dst, 9);
    EXPECT_TRUE(Gives([&] { return bignum_modpow(dst, in.a, in.e, in.b); }, dst,
                      Refusal("bignum_modpow().. cancelled\n")));
    const bignum *ret = reinterpret_cast<bignum *>(1);
    EXPECT_EQ(Stdout([&] { ret = bignum_modinv(g, x, y, in.a, in.b); }),
              "bignum_modinv().. cancelled\n");
    EXPECT_EQ(ret, nullptr);
    EXPECT_TRUE(Holds(g, 5) && Holds(x, 6) && Holds(y, 7));
    EXPECT_STREQ(bignum_last_message(), "cancelled");
    EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());

    // Cleared, the same thread computes again; short work never looks at it.
    flag = 0;
    Mpz want;
    mpz_gcd(want, in.a.value(), in.b.value());
    EXPECT_TRUE(Gives([&] { return bignum_gcd(dst, in.a, in.b); }, dst, want));
    flag = 1;
    Num three(3), four(4), sum;
    EXPECT_TRUE(Gives([&] { return bignum_add(sum, three, four); }, sum, Mpz(7)));
    bignum_set_cancel_flag(nullptr);
    EXPECT_TRUE(Gives([&] { return bignum_gcd(dst, in.a, in.b); }, dst, want));
}

TEST(CancelFlag, AnotherThreadStopsARunningModularPower) {
    // Hours of work unless it stops: a 3000-word exponent and modulus.
    Num base(Mpz::ones(3000) - 7), exponent(Mpz::ones(3000)), modulus(Mpz::ones(3000) - 2);
    int flag = 0;
    std::atomic<bool> started = false;
    const bignum *ret = reinterpret_cast<bignum *>(1);
    Num dst;
    std::thread worker([&] {
        bignum_set_cancel_flag(&flag);
        started = true;
        ret = bignum_modpow(dst, base, exponent, modulus);
        bignum_set_cancel_flag(nullptr);
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Stdout([&] {
        __atomic_store_n(&flag, 1, __ATOMIC_RELAXED);
        worker.join();
    });
    EXPECT_EQ(ret, nullptr);
    EXPECT_TRUE(IsClearZero(dst));
}

TEST(CancelFlag, OnlyTheThreadThatSetItIsStopped) {
    Long in;
    int flag = 1;
    bignum_set_cancel_flag(&flag);
    Mpz want;
    mpz_gcd(want, in.a.value(), in.b.value());
    Num dst;
    std::thread([&] { bignum_gcd(dst, in.a, in.b); }).join();
    bignum_set_cancel_flag(nullptr);
    EXPECT_TRUE(Holds(dst, want));
}
