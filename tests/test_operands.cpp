// Operands are only read: records in read-only memory go through every operation, and the
// outcomes that the sign handling of addition, subtraction and division decides are pinned,
// including a destination that is also an operand.
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "support/oracle.h"

using namespace kt;

namespace {

// A record, words included, in pages that are made read-only: a library call that writes
// to it, even for a moment, faults.
class Frozen {
  public:
    explicit Frozen(const Mpz &v, uint8_t sign = 0, uint64_t pad = 0) {
        Num source(v, pad);
        const uint64_t words = source->oofm, room = std::max<uint64_t>(words, 10);
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        bytes_ = (sizeof(bignum) + room * 4 + page - 1) / page * page;
        void *memory =
            mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::bad_alloc();
        auto *numb = reinterpret_cast<uint32_t *>(static_cast<char *>(memory) + sizeof(bignum));
        std::memcpy(numb, source->numb, words * 4);
        rec_ = new (memory) bignum{sign ? sign : source->sign, words, 4, room, 1ull << 32, numb};
        mprotect(memory, bytes_, PROT_READ);
    }
    Frozen(const Frozen &) = delete;
    Frozen &operator=(const Frozen &) = delete;
    ~Frozen() { munmap(rec_, bytes_); }
    operator bignum *() const { return rec_; } // NOLINT: passed like a Num

  private:
    bignum *rec_;
    size_t bytes_;
};

} // namespace

// Every sign combination, on one-word, two-word and long operands, and a zero marked negative.
TEST(ReadOnlyOperands, ArithmeticAndDivision) {
    const Mpz values[] = {3, 5, Mpz::pow2(64) + 7, Mpz::ones(40) - 12345, Mpz::pow2(32 * 70) - 1};
    for (const Mpz &x : values) {
        for (const Mpz &y : values) {
            for (int signs = 0; signs < 4; ++signs) {
                const Mpz a = signs & 1 ? -x : x, b = signs & 2 ? -y : y;
                SCOPED_TRACE(a.str(16) + ", " + b.str(16));
                Frozen fa(a, 0, signs == 3 ? 2 : 0), fb(b);
                Num sum(9), diff(9), prod(9), q(9), r(9), m(9);
                // -x + x is a zero marked negative
                const uint8_t sum_sign = (a + b).sgn() == 0 && a.sgn() < 0 ? 2 : 0;
                EXPECT_TRUE(Gives([&] { return bignum_add(sum, fa, fb); }, sum, {a + b, sum_sign}));
                EXPECT_TRUE(Gives([&] { return bignum_sub(diff, fa, fb); }, diff, a - b));
                EXPECT_TRUE(Gives([&] { return bignum_mul(prod, fa, fb); }, prod, a * b));
                EXPECT_TRUE(Gives([&] { return bignum_div(q, r, fa, fb); }, q, tdiv_q(a, b)));
                EXPECT_TRUE(Holds(r, mod_abs(a, b)));
                EXPECT_TRUE(Gives([&] { return bignum_mod(m, fa, fb); }, m, mod_abs(a, b)));
                EXPECT_EQ(bignum_cmp(fa, fb), bignum_cmp(Num(a), Num(b)));
            }
        }
    }
    // The same record on both sides, and -0 against 3.
    Frozen minus(-Mpz::pow2(100)), zero(0, 2), three(3);
    Num d(4), s(4), q(4), r(4);
    EXPECT_TRUE(Gives([&] { return bignum_sub(d, minus, minus); }, d, {0, 1, 0}));
    EXPECT_TRUE(Gives([&] { return bignum_add(s, minus, minus); }, s, -Mpz::pow2(101)));
    EXPECT_TRUE(Gives([&] { return bignum_div(q, r, minus, minus); }, q, Mpz(1)));
    EXPECT_TRUE(Gives([&] { return bignum_add(s, zero, three); }, s, {3, 1, 1}));
    EXPECT_TRUE(Gives([&] { return bignum_sub(d, zero, three); }, d, Mpz(-3)));
    EXPECT_TRUE(Gives([&] { return bignum_div(q, r, zero, three); }, q, {0, 1}));
    EXPECT_TRUE(Gives([&] { return bignum_div(q, r, three, three); }, q, Mpz(1)));
    // A refused division reads its operands only.
    EXPECT_TRUE(Gives([&] { return bignum_div(q, r, minus, zero); }, q,
                      Refusal("bignum_div().. division by zero\n")));
}

TEST(ReadOnlyOperands, PowersRootsNumberTheoryAndText) {
    const Mpz a = -(Mpz::ones(30) - 99), b = Mpz::pow2(32 * 25) + 12345, e = 1000003;
    Frozen fa(a), fb(b), fe(e), three(3), two(2), negative_three(-3), modulus(Mpz::ones(20));
    Num dst(7), g(7), x(7), y(7);
    Mpz want, gx, gy;

    mpz_pow_ui(want, a, 3);
    EXPECT_TRUE(Gives([&] { return bignum_pow(dst, fa, three); }, dst, want));
    EXPECT_TRUE(Gives([&] { return bignum_pow(dst, fa, negative_three); }, dst, Mpz(0)));
    mpz_root(want, a, 3);
    EXPECT_TRUE(Gives([&] { return bignum_root(dst, three, fa); }, dst, want));
    load(dst, 7);
    EXPECT_TRUE(Gives([&] { return bignum_root(dst, two, fa); }, dst,
                      {7, 1, 1, "bignum_root().. even root of a negative number\n"}));
    EXPECT_TRUE(Gives([&] { return bignum_factorial(dst, three); }, dst, Mpz(6)));
    mpz_gcd(want, a, b);
    EXPECT_TRUE(Gives([&] { return bignum_gcd(dst, fa, fb); }, dst, want));
    ASSERT_EQ(bignum_modinv(g, x, y, fa, fb), y.get());
    EXPECT_TRUE(Holds(g, want) && value_of(x) * a + value_of(y) * b == want);
    mpz_powm(want, abs(a), e, Mpz::ones(20)); // a negative base acts as its magnitude
    EXPECT_TRUE(Gives([&] { return bignum_modpow(dst, fa, fe, modulus); }, dst, want));

    // Text, bytes and bits.
    const std::string digits = abs(a).str(10);
    std::string text(digits.size() + 1, '\0');
    EXPECT_EQ(bignum_cstr_base(fa, int32_t(text.size()), text.data(), 10), int32_t(digits.size()));
    EXPECT_EQ(text.c_str(), digits);
    char hex[16];
    EXPECT_GT(bignum_cstr(fa, sizeof hex, hex), 0);
    std::vector<uint8_t> bytes(4 * 30);
    bignum_getbytes(fa, bytes.data());
    EXPECT_EQ(bignum_bitlen(fb), 32u * 25 + 1);
    EXPECT_EQ(bignum_isbitset(fb, 32 * 25 + 1), 1);
    EXPECT_EQ(bignum_lowest_set_bit(fb), 0);
    Num copy;
    EXPECT_TRUE(bignum_set_bn(copy, fa) == copy.get() && Holds(copy, a));
    EXPECT_TRUE(bignum_rshift_multi(dst, fa, fb) == dst.get() && IsClearZero(dst));
}

// Outcomes decided by the markers that are easy to lose: a zero marked negative after -3 + 3,
// and each destination that is also an operand, which counts as zero when read and, in
// division, ends with the marker the operand had.
TEST(OperandSigns, NegativeZeroAndSharedDestinations) {
    {
        Num a(-3), b(3), dst(8);
        EXPECT_TRUE(Gives([&] { return bignum_add(dst, a, b); }, dst, {0, 2, 0}));
        EXPECT_TRUE(Holds(a, -3, 2, 1) && Holds(b, 3, 1, 1));
        EXPECT_TRUE(bignum_iszero(dst) && bignum_eq(dst, bignum_zero()));
        EXPECT_TRUE(Gives([&] { return bignum_add(dst, b, a); }, dst, {0, 1, 0}));
        EXPECT_TRUE(Gives([&] { return bignum_sub(dst, a, a); }, dst, {0, 1, 0}));
        // The zero marked negative as an operand: -0 + 5 is 5, -0 - 5 is -5, 5 - (-0) is 5.
        Num nz(0), five(5);
        nz->sign = 2;
        EXPECT_TRUE(Gives([&] { return bignum_add(dst, nz, five); }, dst, {5, 1, 1}));
        EXPECT_TRUE(Gives([&] { return bignum_sub(dst, nz, five); }, dst, {-5, 2, 1}));
        EXPECT_TRUE(Gives([&] { return bignum_sub(dst, five, nz); }, dst, {5, 1, 1}));
        EXPECT_TRUE(Gives([&] { return bignum_add(dst, nz, nz); }, dst, {0, 2, 1}));
        EXPECT_EQ(nz->sign, 2);
    }
    // dst = a: the sum is b and the difference -b; dst = b: both are a, as it stands.
    for (const Mpz &va : {Mpz(-1234), Mpz(1234)}) {
        for (const Mpz &vb : {Mpz(-99), Mpz(99)}) {
            SCOPED_TRACE(va.str() + ", " + vb.str());
            Num a(va), b(vb, 1);
            bignum_add(a, a, b);
            EXPECT_TRUE(Holds(a, vb, 0, 2) && Holds(b, vb, 0, 2));
            load(a, va);
            bignum_sub(a, a, b);
            EXPECT_TRUE(Holds(a, -vb, 0, 2));
            load(a, va, 1);
            load(b, vb);
            bignum_add(b, a, b);
            EXPECT_TRUE(Holds(b, va, 0, 2));
            load(b, vb);
            bignum_sub(b, a, b);
            EXPECT_TRUE(Holds(b, va, 0, 2));
        }
    }
    // A division output that is also an operand counts as zero and keeps that operand's marker.
    for (long n : {-100L, 100L}) {
        for (long d : {-7L, 7L}) {
            SCOPED_TRACE(std::to_string(n) + " / " + std::to_string(d));
            const uint8_t n_sign = n < 0 ? 2 : 1, d_sign = d < 0 ? 2 : 1;
            Num divd(n), divs(d), q(5), r(5);
            EXPECT_TRUE(
                Gives([&] { return bignum_div(divd, r, divd, divs); }, divd, {0, n_sign, 0}));
            EXPECT_TRUE(Holds(r, 0, 1, 0) && Holds(divs, d));
            load(divd, n);
            EXPECT_TRUE(Gives([&] { return bignum_div(q, divd, divd, divs); }, q, {0, 1, 0}));
            EXPECT_TRUE(Holds(divd, 0, n_sign, 0));
            load(divd, n);
            EXPECT_TRUE(Gives([&] { return bignum_mod(divd, divd, divs); }, divd, {0, n_sign, 0}));
            // The divisor read as zero: refused, the output holding zero under the divisor's
            // marker.
            load(divd, n);
            EXPECT_TRUE(Gives([&] { return bignum_div(divs, r, divd, divs); }, divs,
                              {0, d_sign, 0, "bignum_div().. division by zero\n"}));
            EXPECT_TRUE(Holds(divd, n));
            load(divs, d);
            EXPECT_TRUE(Gives([&] { return bignum_mod(divs, divd, divs); }, divs,
                              {0, d_sign, 0, "bignum_mod().. division by zero\n"}));
        }
    }
    // The same record as dividend and divisor: 1 and 0, the operand as it was.
    Num v(-77), q(3), r(3);
    EXPECT_TRUE(Gives([&] { return bignum_div(q, r, v, v); }, q, {1, 1, 1}));
    EXPECT_TRUE(Holds(r, 0, 1, 0) && Holds(v, -77, 2, 1));
}
