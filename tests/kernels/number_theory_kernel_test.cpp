// The number-theory kernels against GMP: Lehmer's matrices on their own, gcd
// and the extended gcd on both sides of the half-gcd's crossover, and modular
// powers on both sides of the product crossovers and the window sizes. The
// operands are the hard ones for Euclid: Fibonacci neighbours (quotients of
// one all the way), one number a multiple of the other plus a little (one
// huge quotient), long runs of ones and zeros, equal numbers, and shared
// factors as large as the numbers. The seed is fixed, so a failure replays.
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "gmp_support.h"
#include "kernels/cancel.h"
#include "kernels/gcd.h"
#include "kernels/nat.h"

namespace karvo::kernel {
namespace {

// Every test's operands come from this one seed.
constexpr unsigned long kSeed = 20261207;

Nat fibonacci(unsigned i) {
    Mpz f;
    mpz_fib_ui(f, i);
    return f.nat();
}

// 2^bits - 1: a run of ones as long as the number.
Nat ones(uint64_t bits) { return sub(shift_left(Nat{1}, bits), Nat{1}); }

// The textbook extended Euclid on GMP integers: g, and x, y with a x + b y = g.
struct Textbook {
    Nat g;
    Mpz x, y;
    Textbook(const Nat &a, const Nat &b) {
        // The rows (r0, x, y) and (r1, s, t) of the table, from (a, 1, 0) and (b, 0, 1).
        Mpz r0(a), r1(b), s, t, q, tmp;
        mpz_set_ui(x, 1);
        mpz_set_ui(t, 1);
        while (mpz_size(r1) != 0) {
            mpz_tdiv_q(q, r0, r1);
            for (auto [older, newer] : {std::pair{&r0, &r1}, {&x, &s}, {&y, &t}}) {
                mpz_mul(tmp, q, *newer);
                mpz_sub(tmp, *older, tmp);
                mpz_swap(*older, *newer);
                mpz_swap(*newer, tmp);
            }
        }
        g = r0.nat();
    }
};

void expect_gcd(const Nat &a, const Nat &b, const Tuning &t) {
    Mpz g, ma(a), mb(b);
    mpz_gcd(g, ma, mb);
    ASSERT_EQ(gcd(a, b, t), g.nat()) << bit_length(a) << " " << bit_length(b);
}

void expect_gcdext(const Nat &a, const Nat &b, const Tuning &t) {
    Textbook want(a, b);
    const Bezout got = gcdext(a, b, t);
    Mpz x(got.x.mag), y(got.y.mag);
    if (got.x.negative)
        mpz_neg(x, x);
    if (got.y.negative)
        mpz_neg(y, y);
    ASSERT_EQ(got.g, want.g) << bit_length(a) << " " << bit_length(b);
    ASSERT_EQ(mpz_cmp(x, want.x), 0) << bit_length(a) << " " << bit_length(b);
    ASSERT_EQ(mpz_cmp(y, want.y), 0) << bit_length(a) << " " << bit_length(b);
}

// Pairs that make Euclid's quotients extreme, of about `bits` bits.
std::vector<std::pair<Nat, Nat>> hard_pairs(Random &rnd, uint64_t bits) {
    std::vector<std::pair<Nat, Nat>> pairs;
    // Fibonacci neighbours have about 0.694 bits per index.
    const unsigned i = unsigned(bits * 1.44) + 2;
    const Nat f0 = fibonacci(i), f1 = fibonacci(i + 1), g = rnd.bits(bits / 3 + 2, true);
    pairs.emplace_back(f1, f0);
    pairs.emplace_back(mul(f1, g), mul(f0, g));
    pairs.emplace_back(add(f1, f0), f1); // its first quotient is one too
    // One dividing the other, and one huge quotient.
    const Nat a = rnd.bits(bits / 2 + 1, false), k = rnd.bits(bits / 2 + 1, true);
    pairs.emplace_back(mul(a, k), a);
    pairs.emplace_back(add(mul(a, k), Nat{1}), a);
    pairs.emplace_back(sub(mul(a, k), Nat{1}), k);
    // Runs of ones: gcd(2^m - 1, 2^n - 1) = 2^gcd(m, n) - 1, and their
    // quotients are powers of two.
    pairs.emplace_back(ones(bits), ones(bits - bits / 3));
    pairs.emplace_back(ones(bits), ones(bits / 2 + 1));
    pairs.emplace_back(ones(bits), shift_left(Nat{1}, bits - 1));
    // Equal numbers, equal tops and numbers one apart.
    const Nat r = rnd.bits(bits, true);
    pairs.emplace_back(r, r);
    pairs.emplace_back(add(r, Nat{1}), r);
    pairs.emplace_back(r, shift_right(r, 1));
    // Random, with and without runs, and with a common factor of half the size.
    const Nat c = rnd.bits(bits / 2, false);
    pairs.emplace_back(rnd.bits(bits, false),
                       rnd.bits(bits - rnd.below(std::min<uint64_t>(bits, 70)), false));
    pairs.emplace_back(rnd.bits(bits, true), rnd.bits(bits, true));
    pairs.emplace_back(mul(rnd.bits(bits / 2, true), c), mul(rnd.bits(bits / 2, false), c));
    return pairs;
}

// The crossover at which the half-gcd takes over from Lehmer's algorithm:
// forced down to a few limbs so that its recursion, the undoing of a last
// quotient and the matrix products run on small numbers, and off.
std::vector<Tuning> gcd_tunings() {
    std::vector<Tuning> tunings;
    for (size_t h : {size_t(1), size_t(2), size_t(3), size_t(6), size_t(17), size_t(1) << 40}) {
        Tuning t = default_tuning();
        t.hgcd = h;
        tunings.push_back(t);
    }
    Tuning small = tunings[3]; // the multiplications' crossovers low too
    small.karatsuba = small.sqr_karatsuba = 4;
    small.toom3 = small.sqr_toom3 = 9;
    small.ntt = small.sqr_ntt = 40;
    tunings.push_back(small);
    tunings.push_back(default_tuning());
    return tunings;
}

// Each Lehmer matrix must be a prefix of the textbook Euclid sequence: the
// pair it reduces to appears in GMP's sequence, after exactly the steps whose
// product the matrix is, and the pair stays above the floor.
TEST(NumberTheoryKernel, LehmerMatricesArePrefixesOfTheTextbookSequence) {
    Random rnd(kSeed);
    size_t taken = 0;
    auto check = [&](const Nat &u, const Nat &v, uint64_t floor) {
        ASSERT_GE(compare(u, v), 0);
        const Matrix m = lehmer_matrix(u, v, floor);
        if (m.identity())
            return;
        ++taken;
        Nat x = u, y = v;
        apply_matrix(x, y, m);
        // (u, v) = M (x, y) with x > y > 0 and y >= 2^floor.
        const auto &[m0, m1] = m.m;
        ASSERT_EQ(add(mul(from_u64(m0[0]), x), mul(from_u64(m0[1]), y)), u);
        ASSERT_EQ(add(mul(from_u64(m1[0]), x), mul(from_u64(m1[1]), y)), v);
        ASSERT_GT(compare(x, y), 0);
        ASSERT_FALSE(y.empty());
        ASSERT_GT(bit_length(y), floor);
        Mpz r0(u), r1(v), q, tmp, p00, p01, p10, p11;
        mpz_set_ui(p00, 1);
        mpz_set_ui(p11, 1);
        bool odd = false;
        while (compare(r1.nat(), y) > 0) {
            mpz_tdiv_qr(q, tmp, r0, r1);
            mpz_swap(r0, r1);
            mpz_swap(r1, tmp);
            // P := P [[q, 1], [1, 0]]
            for (auto [first, second] : {std::pair{&p00, &p01}, {&p10, &p11}}) {
                mpz_addmul(*second, q, *first);
                mpz_swap(*first, *second);
            }
            odd = !odd;
        }
        ASSERT_EQ(r0.nat(), x);
        ASSERT_EQ(r1.nat(), y);
        ASSERT_TRUE(p00.nat() == from_u64(m0[0]) && p01.nat() == from_u64(m0[1]) &&
                    p10.nat() == from_u64(m1[0]) && p11.nat() == from_u64(m1[1]));
        ASSERT_EQ(odd, m.odd);
    };
    // Along whole Lehmer runs, where the numbers are what earlier steps left,
    // with floors from none to above the second number.
    auto walk = [&](Nat u, Nat v) {
        while (u.size() >= 3 && !v.empty()) {
            const uint64_t top = bit_length(u), k = top - 128;
            for (uint64_t floor : {uint64_t(0), k, k + 40, k + 64, k + 100, top - 64, top})
                check(u, v, floor);
            const Matrix m = lehmer_matrix(u, v);
            if (m.identity()) {
                Nat r;
                divrem(u, v, nullptr, &r);
                u = std::exchange(v, std::move(r));
            } else {
                apply_matrix(u, v, m);
            }
        }
    };
    for (size_t n : {3, 4, 8, 30}) {
        for (int i = 0; i < 30; ++i) {
            Nat u = rnd.limbs(n), v = rnd.limbs(n - rnd.below(2));
            if (compare(u, v) < 0)
                std::swap(u, v);
            walk(u, v);
            const Nat c = rnd.limbs(1 + rnd.below(2)); // remainders ending in multiples of c
            walk(mul(u, c), mul(v, c));
            check(u, u, 0);
            check(add(u, Nat{1}), u, 0);
            check(u, shift_right(u, 64), 0);
        }
    }
    for (auto &[u, v] : hard_pairs(rnd, 1000)) {
        if (compare(u, v) >= 0)
            walk(u, v);
    }
    // Short numbers with runs and a common factor of up to two limbs: the
    // remainders that end a matrix's steps are small multiples of it, where
    // a bound on the low bits that is too weak lets a step through.
    for (int i = 0; i < 1000; ++i) {
        const Nat c = rnd.bits(1 + rnd.below(128), true);
        Nat u = mul(rnd.bits(64 + rnd.below(192), true), c);
        Nat v = mul(rnd.bits(64 + rnd.below(192), true), c);
        if (compare(u, v) < 0)
            std::swap(u, v);
        walk(u, v);
    }
    // Fibonacci neighbours: about 90 quotients of one in the top 128 bits.
    for (unsigned i : {200, 201, 1000}) {
        check(fibonacci(i + 1), fibonacci(i), 0);
        check(fibonacci(i + 1), fibonacci(i), bit_length(fibonacci(i)) - 60);
    }
    EXPECT_GT(taken, 1000u); // most of them find steps
}

TEST(NumberTheoryKernel, GcdMatchesGmpOnBothSidesOfTheHalfGcd) {
    Random rnd(kSeed);
    for (const Tuning &t : gcd_tunings()) {
        SCOPED_TRACE(t.hgcd);
        for (uint64_t bits : {1, 63, 64, 65, 127, 128, 129, 192, 700, 2000, 6000}) {
            for (auto &[a, b] : hard_pairs(rnd, std::max<uint64_t>(bits, 4))) {
                expect_gcd(a, b, t);
                expect_gcd(b, a, t);
            }
        }
        // Zero, one, and lengths far apart.
        const Nat a = rnd.limbs(40);
        for (const Nat &b : {Nat{}, Nat{1}, Nat{2}, rnd.limbs(1), rnd.limbs(2), rnd.limbs(19)}) {
            expect_gcd(a, b, t);
            expect_gcd(b, a, t);
        }
        expect_gcd({}, {}, t);
    }
    // Around the default crossover, with a common factor.
    const size_t h = default_tuning().hgcd;
    for (size_t n : {h - 1, h, h + 1, 2 * h + 1}) {
        const Nat c = rnd.limbs(n / 3 + 1);
        expect_gcd(mul(rnd.limbs(n), c), mul(rnd.limbs(n - 1), c), default_tuning());
        expect_gcd(rnd.limbs(n), rnd.limbs(n / 2), default_tuning());
    }
}

TEST(NumberTheoryKernel, ExtendedGcdKeepsTheTextbookCofactorsOnHardOperands) {
    Random rnd(kSeed);
    for (const Tuning &t : gcd_tunings()) {
        SCOPED_TRACE(t.hgcd);
        for (uint64_t bits : {64, 129, 400, 1500, 4000}) {
            for (auto &[a, b] : hard_pairs(rnd, bits)) {
                expect_gcdext(a, b, t);
                expect_gcdext(b, a, t);
            }
        }
        // Many short ones, and with a factor of a limb or two in common: the
        // last steps of a Lehmer matrix, where a wrong bound on the low bits
        // would show, then fall on remainders that are multiples of it.
        for (int i = 0; i < 300; ++i) {
            const size_t an = 1 + rnd.below(4), bn = 1 + rnd.below(4);
            const Nat a = rnd.below(4) == 0 ? ones(64 * an) : rnd.limbs(an), b = rnd.limbs(bn);
            const Nat c = rnd.limbs(1 + rnd.below(2));
            expect_gcdext(a, b, t);
            expect_gcdext(mul(a, c), mul(b, c), t);
        }
        expect_gcdext({}, {}, t);
        expect_gcdext(Nat{7}, {}, t);
        expect_gcdext({}, Nat{7}, t);
        expect_gcdext(rnd.limbs(30), Nat{1}, t);
    }
}

// Exponents whose windows are all ones, single bits (long runs of zeros
// between squarings), and lengths on both sides of each window size's
// crossover; moduli of one limb up to past the product crossovers, with odd
// moduli (Montgomery) and even ones, and all-ones moduli.
TEST(NumberTheoryKernel, ModularPowersMatchGmp) {
    Random rnd(kSeed);
    Tuning low = default_tuning(); // Montgomery's products by Karatsuba and Toom-3
    low.karatsuba = low.sqr_karatsuba = 3;
    low.toom3 = low.sqr_toom3 = 7;
    for (const Tuning &t : {default_tuning(), low}) {
        auto check = [&](const Nat &base, const Nat &e, const Nat &m) {
            Mpz want, mb(base), me(e), mm(m);
            mpz_powm(want, mb, me, mm);
            ASSERT_EQ(powm(base, e, m, t), want.nat())
                << bit_length(base) << " " << bit_length(e) << " " << bit_length(m);
        };
        for (size_t mn : {1, 2, 3, 4, 5, 8, 13, 17, 40, 72}) {
            for (bool odd : {true, false}) {
                Nat m = rnd.limbs(mn);
                m[0] = odd ? m[0] | 1 : m[0] & ~Limb(1);
                if (compare(m, Nat{2}) < 0)
                    m = Nat{odd ? Limb(3) : Limb(2)};
                Nat base;
                divrem(rnd.limbs(mn + 1), m, nullptr, &base);
                for (uint64_t bits : {1, 2, 6, 7, 24, 25, 80, 81, 240, 241, 700}) {
                    check(base, rnd.bits(bits, true), m);
                    check(base, ones(bits), m);
                }
                check(base, shift_left(Nat{1}, 500), m);
                check(base, {}, m);
                check({}, rnd.limbs(2), m);
                check(Nat{1}, rnd.limbs(2), m);
                check(sub(m, Nat{1}), rnd.limbs(3), m);
            }
            const Nat all_ones = ones(64 * mn);
            check(sub(all_ones, Nat{5}), rnd.limbs(4), all_ones);
        }
    }
    // The largest windows.
    const Nat m = add(shift_left(rnd.limbs(3), 1), Nat{1});
    Nat base;
    divrem(rnd.limbs(4), m, nullptr, &base);
    for (uint64_t bits : {1792, 1793, 4608, 4609, 9000}) {
        Mpz want, mb(base), me(rnd.bits(bits, false)), mm(m);
        mpz_powm(want, mb, me, mm);
        ASSERT_EQ(powm(base, me.nat(), m), want.nat()) << bits;
    }
}

// Sets the calling thread's cancel flag for a scope. The flag's slot is
// taken once: GCC's null-pointer sanitizer misjudges a thread-local's address
// where a destructor stores to it directly.
class CancelScope {
  public:
    explicit CancelScope(const int *flag) : slot_(&cancel_flag) { *slot_ = flag; }
    ~CancelScope() { *slot_ = nullptr; }
    CancelScope(const CancelScope &) = delete;

  private:
    const int **slot_;
};

// A set cancel flag stops each long loop: Lehmer's, the half-gcd's and the
// modular power's.
TEST(NumberTheoryKernel, LongLoopsStopForTheCancelFlag) {
    Random rnd(kSeed);
    int flag = 1;
    const CancelScope scope(&flag);
    const Nat a = rnd.limbs(500), b = rnd.limbs(499);
    Tuning lehmer = default_tuning(), half = default_tuning();
    lehmer.hgcd = size_t(1) << 40;
    half.hgcd = 20;
    for (const Tuning &t : {lehmer, half}) {
        EXPECT_THROW(gcd(a, b, t), Cancelled);
        EXPECT_THROW(gcdext(a, b, t), Cancelled);
    }
    Nat x = a, y = b;
    EXPECT_THROW(hgcd(x, y, half, nullptr), Cancelled);
    Nat m = rnd.limbs(20), base;
    m[0] |= 1;
    divrem(a, m, nullptr, &base);
    EXPECT_THROW(powm(base, rnd.limbs(4), m), Cancelled);
    m[0] &= ~Limb(1);
    EXPECT_THROW(powm(base, rnd.limbs(4), m), Cancelled);
    flag = 0;
    Mpz want, ma(a), mb(b);
    mpz_gcd(want, ma, mb);
    EXPECT_EQ(gcd(a, b, half), want.nat());
}

} // namespace
} // namespace karvo::kernel
