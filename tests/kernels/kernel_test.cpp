// The kernels against GMP. Every algorithm runs on both sides of its
// crossover: each Tuning below forces a different path at small sizes.
// Operands come from mpz_rrandomb (long runs of one and zero bits, the worst
// cases for carries and quotient estimates), mpz_urandomb and all-ones limbs;
// the seed is fixed, so a failure replays.
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "gmp_support.h"
#include "kernels/arith.h"
#include "kernels/div.h"
#include "kernels/isa.h"
#include "kernels/mul.h"
#include "kernels/nat.h"

namespace karvo::kernel {
namespace {

// Says which instruction set the kernels run on, and skips every test when
// the one KARVO_ISA asks for cannot run here: another path would only repeat
// a run that CTest makes anyway.
class InstructionSet : public ::testing::Environment {
  public:
    void SetUp() override {
        std::printf("kernel path: %s (requested %s, best on this processor %s)\n", isa_name(isa()),
                    isa_name(requested()), isa_name(best_isa()));
        if (isa() != requested())
            GTEST_SKIP() << "the " << isa_name(requested()) << " path cannot run on this processor";
    }
};
const auto *const kInstructionSet =
    ::testing::AddGlobalTestEnvironment(new InstructionSet); // NOLINT: gtest owns it

constexpr size_t kNever = size_t(1) << 40;

// The first nine crossovers as listed, Toom-4's after them.
Tuning with_toom4(Tuning t, size_t toom4, size_t sqr_toom4) {
    t.toom4 = toom4;
    t.sqr_toom4 = sqr_toom4;
    return t;
}

// Division by a Newton reciprocal from div_newton limbs of divisor and quotient, reciprocals
// by Newton's iteration from inv_newton limbs, cube roots by Newton's iteration from two
// limbs of root, and conversion to text by reciprocals of every power from the fourth level.
Tuning with_newton(Tuning t, size_t div_newton, size_t inv_newton) {
    t.div_newton = div_newton;
    t.inv_newton = inv_newton;
    t.cbrt_newton = 2;
    t.radix_reciprocal = 1;
    return t;
}

// Unequal operands by the transform from ntt_unbalanced limbs of the shorter, once the two
// reach 2 ntt limbs together.
Tuning with_unbalanced(Tuning t, size_t ntt_unbalanced) {
    t.ntt_unbalanced = ntt_unbalanced;
    return t;
}

struct Path {
    const char *name;
    Tuning tuning;
    bool composite; // also used for the algorithms built on multiplication and division
};

// The single forced paths, slow at small sizes, run only the multiplication, division and
// radix tests; the algorithms built on them run on the others.
const Path kPaths[] = {
    {"schoolbook", {kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever}, true},
    {"karatsuba", {2, kNever, kNever, 2, kNever, kNever, kNever, kNever, kNever}, false},
    {"toom3", {2, 3, kNever, 2, 3, kNever, 4, 2, 2}, false},
    {"toom4", with_toom4({2, 3, kNever, 2, 3, kNever, 4, 2, 2}, 13, 13), false},
    {"ntt", {1, 1, 1, 1, 1, 1, 4, 2, 2}, false},
    {"mixed", with_unbalanced({4, 9, 40, 5, 11, 50, 6, 3, 3}, 20), true},
    {"mixed with toom4", with_toom4({4, 9, 70, 5, 11, 80, 6, 3, 3}, 20, 25), true},
    {"newton", with_newton({4, 9, 40, 5, 11, 50, 6, 3, 3}, 2, 1), true},
    {"newton over schoolbook",
     with_newton({kNever, kNever, kNever, kNever, kNever, kNever, kNever, 3, 3}, 5, 4), false},
    {"default", default_tuning(), true},
};

// Every test's operands come from this one seed.
constexpr unsigned long kSeed = 20261206;

const std::vector<size_t> kSizes = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 64, 100, 130, 161};

TEST(Kernel, MultiplyOnEveryPathMatchesGmp) {
    Random rnd(kSeed);
    for (const Path &path : kPaths) {
        SCOPED_TRACE(path.name);
        for (size_t an : kSizes) {
            for (size_t bn : {size_t(1), size_t(2), an / 3 + 1, an, an}) {
                const Nat a = rnd.number(an), b = rnd.number(bn);
                Mpz expected, ma(a), mb(b);
                mpz_mul(expected, ma, mb);
                ASSERT_EQ(mul(a, b, path.tuning), expected.nat()) << an << " x " << bn;
                mpz_mul(expected, ma, ma);
                ASSERT_EQ(sqr(a, path.tuning), expected.nat()) << an;
            }
        }
    }
}

// The rows one at a time (products added, subtracted or stored; sums and differences) at
// every length, so every entry into the four-limb loop, with the largest carries: all-ones
// limbs in a, r and the multiplier. Schoolbook products (of unequal and of equal lengths) and
// squares of every length up to 40 besides, where the rows and the doubled diagonal meet.
TEST(Kernel, RowsOfEveryLengthMatchGmp) {
    Random rnd(kSeed);
    for (size_t n = 1; n <= 40; ++n) {
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE(testing::Message() << n << " limbs, round " << round);
            const Nat a = round == 0 ? Nat(n, ~Limb(0)) : rnd.number(n);
            const Nat start = round < 2 ? Nat(n, ~Limb(0)) : rnd.number(n);
            const Limb w = round == 0 ? ~Limb(0) : rnd.number(1)[0];
            Nat ours = start, theirs = start;
            ASSERT_EQ(addmul_1(ours.data(), a.data(), n, w),
                      mpn_addmul_1(theirs.data(), a.data(), long(n), w));
            ASSERT_EQ(ours, theirs);
            ASSERT_EQ(submul_1(ours.data(), a.data(), n, w),
                      mpn_submul_1(theirs.data(), a.data(), long(n), w));
            ASSERT_EQ(ours, theirs);
            ASSERT_EQ(mul_1(ours.data(), a.data(), n, w),
                      mpn_mul_1(theirs.data(), a.data(), long(n), w));
            ASSERT_EQ(ours, theirs);

            // Sums and differences, in place as Toom's interpolation does them.
            ASSERT_EQ(add_n(ours.data(), ours.data(), a.data(), n),
                      mpn_add_n(theirs.data(), theirs.data(), a.data(), long(n)));
            ASSERT_EQ(ours, theirs);
            ASSERT_EQ(sub_n(ours.data(), a.data(), ours.data(), n),
                      mpn_sub_n(theirs.data(), a.data(), theirs.data(), long(n)));
            ASSERT_EQ(ours, theirs);

            const Nat b = rnd.number(1 + rnd.below(n));
            Nat product(n + b.size()), expected(n + b.size()), square(2 * n),
                expected_square(2 * n);
            mul_basecase(product.data(), a.data(), n, b.data(), b.size());
            mpn_mul(expected.data(), a.data(), long(n), b.data(), long(b.size()));
            ASSERT_EQ(product, expected);
            sqr_basecase(square.data(), a.data(), n);
            mpn_sqr(expected_square.data(), a.data(), long(n));
            ASSERT_EQ(square, expected_square);
            // Equal lengths, which the unrolled eight-limb product takes.
            const Nat c = round == 1 ? Nat(n, ~Limb(0)) : rnd.number(n);
            Nat full(2 * n), expected_full(2 * n);
            mul_basecase(full.data(), a.data(), n, c.data(), n);
            mpn_mul_n(expected_full.data(), a.data(), c.data(), long(n));
            ASSERT_EQ(full, expected_full);
        }
    }
}

// Every kind of transform arithmetic (the path's vector one, AVX-512 IFMA or AVX2 doubles as
// KARVO_ISA chooses; the doubles, which the avx512 path has too; and the scalar one, which the
// portable path gets for all three): lengths 2^k and 3 2^k, short
// transforms below the vector width, all-ones operands whose coefficients reach the bound the
// primes allow, squares and unbalanced operands.
TEST(Kernel, TransformArithmeticMatchesGmp) {
    Random rnd(kSeed);
    for (const auto arithmetic :
         {NttArithmetic::scalar, NttArithmetic::vector, NttArithmetic::doubles}) {
        // 12000 limbs: five primes (vector) cost fewer points than four.
        for (size_t an : {1, 2, 5, 12, 40, 97, 300, 1200, 3000, 12000}) {
            for (size_t bn : {size_t(1), an / 5 + 1, an}) {
                const Nat a = rnd.number(an), b = rnd.number(bn);
                Mpz expected, ma(a), mb(b);
                Nat product(an + bn);
                mpz_mul(expected, ma, mb);
                mul_ntt(product.data(), a.data(), an, b.data(), bn, arithmetic);
                ASSERT_EQ(Nat(trimmed(product).begin(), trimmed(product).end()), expected.nat())
                    << an << " x " << bn << " arithmetic " << int(arithmetic);
            }
            const Nat a = rnd.number(an);
            Mpz expected, ma(a);
            Nat square(2 * an);
            mpz_mul(expected, ma, ma);
            sqr_ntt(square.data(), a.data(), an, arithmetic);
            ASSERT_EQ(Nat(trimmed(square).begin(), trimmed(square).end()), expected.nat()) << an;
        }
    }
}

// Operands made of k-limb pieces that are zero, all ones, a copy of the piece
// below or random: evaluations of the split operands come out zero, negative
// or at their largest, and the interpolation's carries run long.
Nat pieces(Random &rnd, size_t n, size_t k) {
    Nat a;
    while (a.size() < n) {
        const size_t len = std::min(k, n - a.size());
        const size_t kind = rnd.below(4);
        if (kind == 0 || kind == 1)
            a.insert(a.end(), len, kind == 0 ? 0 : ~Limb(0));
        else if (kind == 2 && a.size() >= k)
            a.insert(a.end(), a.end() - k, a.end() - k + len);
        else
            a.insert(a.end(), len, rnd.number(1)[0]);
    }
    a.back() |= 1;
    return a;
}

// Every size across the crossovers, so every remainder of the split, with
// each algorithm recursing into each lower one.
TEST(Kernel, ToomAndKaratsubaOnPieceLayoutsMatchGmp) {
    const Path paths[] = {
        {"karatsuba over schoolbook", {6, kNever, kNever, 6, kNever, kNever, 4, 2, 2}, false},
        {"toom3 over karatsuba", {2, 5, kNever, 2, 5, kNever, 4, 2, 2}, false},
        {"toom3 over schoolbook", {9, 9, kNever, 9, 9, kNever, 4, 2, 2}, false},
        {"toom4 over toom3", with_toom4({2, 5, kNever, 2, 5, kNever, 4, 2, 2}, 13, 13), false},
        {"toom4 over karatsuba", with_toom4({2, 13, kNever, 2, 13, kNever, 4, 2, 2}, 13, 13),
         false},
        {"toom4 over schoolbook", with_toom4({20, 20, kNever, 20, 20, kNever, 4, 2, 2}, 20, 20),
         false},
    };
    Random rnd(kSeed);
    for (const Path &path : paths) {
        SCOPED_TRACE(path.name);
        for (size_t n = 2; n <= 90; ++n) {
            for (size_t split : {2, 3, 4}) {
                const size_t k = (n + split - 1) / split, bn = 2 * n / 5 + 1;
                const Nat a = pieces(rnd, n, k), b = pieces(rnd, n, k);
                Mpz expected, ma(a), mb(b), mb_short(Nat(b.begin(), b.begin() + bn));
                mpz_mul(expected, ma, mb);
                ASSERT_EQ(mul(a, b, path.tuning), expected.nat()) << n << " in " << k;
                mpz_mul(expected, ma, ma);
                ASSERT_EQ(sqr(a, path.tuning), expected.nat()) << n << " in " << k;
                mpz_mul(expected, ma, mb_short);
                ASSERT_EQ(mul(a, View(b).first(bn), path.tuning), expected.nat())
                    << n << " x " << bn;
            }
        }
    }
}

// Unequal lengths at every ratio from just above one to past seven, so that Toom-3/2,
// Toom-4/2, the cut into pieces of twice the shorter length and the balanced and short
// pieces after them each meet their edges (top pieces of one limb and of a whole piece),
// over schoolbook, Karatsuba and Toom-3 products of the pieces, and the transform takes
// the longer shapes on the mixed path.
TEST(Kernel, UnbalancedProductsMatchGmp) {
    const Path paths[] = {
        {"over schoolbook", {6, kNever, kNever, 6, kNever, kNever, 4, 2, 2}, false},
        {"over karatsuba and toom3", {2, 9, kNever, 2, 9, kNever, 4, 2, 2}, false},
        {"mixed", with_unbalanced({4, 9, 40, 5, 11, 50, 6, 3, 3}, 20), true},
    };
    Random rnd(kSeed);
    for (const Path &path : paths) {
        SCOPED_TRACE(path.name);
        for (size_t bn : {6, 7, 8, 13, 21, 40}) {
            for (size_t an = bn + 1; an <= 7 * bn + 2; ++an) {
                const Nat a = rnd.number(an), b = rnd.number(bn);
                Mpz expected, ma(a), mb(b);
                mpz_mul(expected, ma, mb);
                ASSERT_EQ(mul(a, b, path.tuning), expected.nat()) << an << " x " << bn;
            }
        }
    }
}

// The quotient limb of schoolbook division: three limbs by a normalised two, through the
// reciprocal, at the edges (the largest and smallest divisors, windows just below d B) and
// at random.
TEST(Kernel, ThreeByTwoDivisionIsExact) {
    Random rnd(kSeed);
    std::vector<std::array<Limb, 5>> cases; // u2 u1 u0 d1 d0
    const Limb top = Limb(1) << 63, ones = ~Limb(0);
    for (const auto &[d1, d0] : std::vector<std::pair<Limb, Limb>>{
             {top, 0}, {top, 1}, {top, ones}, {ones, ones}, {ones, 0}, {top + 1, ones}}) {
        if (d0 > 0)
            cases.push_back({d1, d0 - 1, ones, d1, d0});
        cases.push_back({d1 - 1, ones, ones, d1, d0});
        cases.push_back({0, 0, 0, d1, d0});
        cases.push_back({0, ones, ones, d1, d0});
    }
    for (int i = 0; i < 20000; ++i) {
        const Nat d = rnd.number(2), u = rnd.number(3);
        const Limb d1 = d[1] | top, d0 = d[0];
        Limb u2 = u[2], u1 = u[1];
        if (u2 > d1 || (u2 == d1 && u1 >= d0))
            u2 = d1 - 1 - (u2 % 3 == 0 ? 0 : u2 % (d1 - top + 1));
        cases.push_back({u2, u1, u[0], d1, d0});
    }
    for (const auto &[u2, u1, u0, d1, d0] : cases) {
        Limb r1 = 0, r0 = 0;
        const Limb q = divide_3_by_2(r1, r0, u2, u1, u0, d1, d0, reciprocal_3_by_2(d1, d0));
        Mpz mu(Nat{u0, u1, u2}), md(Nat{d0, d1}), eq, er;
        mpz_tdiv_qr(eq, er, mu, md);
        Nat expectQ = eq.nat(), expectR = er.nat();
        expectR.resize(2, 0);
        ASSERT_EQ(Nat{q}, expectQ.empty() ? Nat{0} : expectQ) << u2 << " " << u1 << " " << u0;
        ASSERT_EQ((Nat{r0, r1}), expectR) << u2 << " " << u1 << " " << u0;
    }
}

TEST(Kernel, DivideOnEveryPathMatchesGmp) {
    Random rnd(kSeed);
    for (const Path &path : kPaths) {
        SCOPED_TRACE(path.name);
        for (size_t bn : kSizes) {
            // Divisor limbs of all ones below a top limb of B/2, and a dividend one below a
            // multiple of it, stress the quotient estimate.
            Nat hard(bn + 1, ~Limb(0));
            hard.back() = Limb(1) << 63;
            Mpz mh(hard), edge;
            mpz_mul(edge, mh, mh);
            mpz_mul_2exp(edge, edge, 64 * 3);
            mpz_sub_ui(edge, edge, 1);
            std::vector<std::pair<Nat, Nat>> cases = {{edge.nat(), hard}};
            // Quotients of two and three limbs take a short top block and a product by
            // the rest of the divisor.
            for (size_t extra :
                 {size_t(0), size_t(1), size_t(2), size_t(3), bn / 2 + 1, bn, 2 * bn + 3})
                cases.emplace_back(rnd.number(bn + extra), rnd.number(bn));
            for (const auto &[a, b] : cases) {
                Nat q, r;
                divrem(a, b, &q, &r, path.tuning);
                Mpz eq, er, ma(a), mb(b);
                mpz_tdiv_qr(eq, er, ma, mb);
                ASSERT_EQ(q, eq.nat()) << a.size() << " / " << b.size();
                ASSERT_EQ(r, er.nat()) << a.size() << " / " << b.size();
            }
        }
    }
}

// The approximate quotient is never below the true one and at most the
// documented error above it: quotients as long as the divisor (divide and
// conquer all the way) and shorter (d cut to its top limbs), divisors of all
// ones under B/2 and dividends just below a multiple of them, where the
// skipped corrections would have had most to do.
TEST(Kernel, ApproximateQuotientIsNeverTooSmall) {
    Random rnd(kSeed);
    for (const Path &path : kPaths) {
        SCOPED_TRACE(path.name);
        for (size_t dn : {size_t(2), size_t(3), size_t(9), size_t(33), size_t(130), size_t(161)}) {
            for (size_t qn : {size_t(0), size_t(1), dn / 2, dn - 1, dn}) {
                Nat hard(dn, ~Limb(0));
                hard.back() = Limb(1) << 63;
                Nat d = rnd.number(dn);
                d.back() |= Limb(1) << 63;
                Mpz md(hard), edge;
                mpz_mul_2exp(edge, md, 64 * qn);
                mpz_sub_ui(edge, edge, 1);
                const Nat ones(dn + qn, ~Limb(0));
                for (const auto &[a, b] : {std::pair{edge.nat(), hard},
                                           {rnd.number(dn + qn), d},
                                           {ones, d},
                                           {ones, hard}}) {
                    Nat u(dn + qn, 0), q(qn + 1);
                    std::copy(a.begin(), a.end(), u.begin());
                    div_appr(q.data(), u.data(), u.size(), b.data(), dn, path.tuning);
                    Mpz exact, ma(a), mb(b), mq(q), most;
                    mpz_tdiv_q(exact, ma, mb);
                    mpz_add_ui(most, exact, kApproxQuotientError);
                    ASSERT_GE(mpz_cmp(mq, exact), 0) << dn << " " << qn;
                    ASSERT_LE(mpz_cmp(mq, most), 0) << dn << " " << qn;
                }
            }
        }
    }
}

// One reciprocal, many dividends: up to its capacity, shorter than the divisor, multiples of it
// and one below them, where a short estimate must be corrected. The reciprocal comes from a
// division or from Newton's iteration.
TEST(Kernel, DivisionByAReciprocalMatchesGmp) {
    Random rnd(kSeed);
    for (const Tuning &tuning : {default_tuning(), with_newton(default_tuning(), 1, 1),
                                 with_newton(default_tuning(), kNever, kNever)}) {
        SCOPED_TRACE(tuning.inv_newton);
        for (size_t dn : {1, 2, 3, 8, 30, 120}) {
            for (const Nat &d : {rnd.number(dn), Nat(dn, ~Limb(0)), [&] {
                                     Nat top(dn, 0);
                                     top.back() = 1;
                                     return top;
                                 }()}) {
                const Reciprocal reciprocal(d, 3 * dn + 2, tuning);
                ASSERT_EQ(reciprocal.capacity(), 3 * dn + 2);
                for (size_t xn : {size_t(0), dn - 1, dn, 2 * dn, 3 * dn + 2}) {
                    Nat x = rnd.number(xn);
                    for (int edge = 0; edge < 2; ++edge) {
                        Mpz mx(x), md(d), q, r;
                        mpz_tdiv_qr(q, r, mx, md);
                        Nat kq, kr;
                        reciprocal.divrem(x, &kq, &kr);
                        ASSERT_EQ(kq, q.nat()) << dn << " " << xn;
                        ASSERT_EQ(kr, r.nat()) << dn << " " << xn;
                        if (xn <= dn)
                            break;
                        // The largest multiple of d below x, less one.
                        mpz_mul(mx, q, md);
                        mpz_sub_ui(mx, mx, 1);
                        x = mx.nat();
                    }
                }
            }
        }
    }
}

// Divisors that push quotient estimates to their limits: powers of two and one below them (the
// bit at the bottom, middle and top of the top limb), B^n - 1, B^n / 2 and one above it, a top
// limb of B / 2 over limbs of all ones, long runs of ones and zeros, and random limbs. Some are
// shorter than n limbs; none is zero.
std::vector<Nat> hard_divisors(Random &rnd, size_t n) {
    std::vector<Nat> ds;
    for (unsigned bit : {0u, 31u, 63u}) {
        Nat power(n, 0);
        power.back() = Limb(1) << bit;
        ds.push_back(power);
        if (n > 1 || bit > 0)
            ds.push_back(sub(power, Nat{1}));
    }
    ds.push_back(Nat(n, ~Limb(0)));
    Nat half(n, 0), hard(n, ~Limb(0));
    half.back() = hard.back() = Limb(1) << 63;
    ds.push_back(half);
    ds.push_back(add(half, Nat{1}));
    ds.push_back(hard);
    ds.push_back(rnd.number(n));
    ds.push_back(rnd.number(n));
    return ds;
}

// Dividends of about an limbs for d: random, all ones, and multiples of d (with the largest
// quotient of their length, all ones) less one, exact, and d - 1 above.
std::vector<Nat> hard_dividends(Random &rnd, const Nat &d, size_t an) {
    std::vector<Nat> as = {rnd.number(an), Nat(an, ~Limb(0))};
    const size_t qn = an > d.size() ? an - d.size() : 1;
    for (const Nat &q : {rnd.number(qn), Nat(qn, ~Limb(0))}) {
        const Nat multiple = mul(q, d);
        as.push_back(sub(multiple, Nat{1}));
        as.push_back(multiple);
        as.push_back(sub(add(multiple, d), Nat{1}));
    }
    return as;
}

void check_divrem(const Nat &a, const Nat &b, const Tuning &tuning) {
    Nat q, r;
    divrem(a, b, &q, &r, tuning);
    Mpz eq, er, ma(a), mb(b);
    mpz_tdiv_qr(eq, er, ma, mb);
    ASSERT_EQ(q, eq.nat()) << a.size() << " / " << b.size();
    ASSERT_EQ(r, er.nat()) << a.size() << " / " << b.size();
}

// The reciprocal's contract, a x < B^(2n) <= a (x + 2) with B^n <= x < 2 B^n, which bounds the
// corrections of everything built on it: Newton's iteration from 3 limbs, from a few more (so
// that the steps split odd and even lengths from different starts), and one division.
TEST(Kernel, NewtonReciprocalStaysWithinTwoBelow) {
    Random rnd(kSeed);
    std::vector<size_t> sizes;
    for (size_t n = 1; n <= 40; ++n)
        sizes.push_back(n);
    for (size_t n : {63, 64, 65, 100, 129, 200})
        sizes.push_back(n);
    for (size_t inv_newton :
         {size_t(1), size_t(4), size_t(7), default_tuning().inv_newton, kNever}) {
        const Tuning tuning = with_newton(default_tuning(), kNever, inv_newton);
        for (size_t n : sizes) {
            std::vector<Nat> as = hard_divisors(rnd, n);
            Nat low_one(n, 0);
            low_one[0] = 1;
            low_one.back() = Limb(1) << 63;
            as.push_back(low_one);
            // Enough random ones that some step starts from a reciprocal one below the floor
            // and carries into the top half.
            for (int i = 0; i < 24; ++i)
                as.push_back(rnd.number(n));
            for (Nat a : as) {
                a.resize(n);
                a.back() |= Limb(1) << 63;
                Nat x(n + 1);
                invert_approx(x.data(), a.data(), n, tuning);
                Mpz ma(a), mx(x), power, product;
                mpz_setbit(power, 128 * n);
                mpz_mul(product, ma, mx);
                ASSERT_LT(mpz_cmp(product, power), 0) << n << " " << inv_newton;
                mpz_add(product, product, ma);
                mpz_add(product, product, ma);
                ASSERT_GE(mpz_cmp(product, power), 0) << n << " " << inv_newton;
                ASSERT_EQ(x[n], 1u) << n << " " << inv_newton;
            }
        }
    }
}

// floor(B^(dn + qn) / d) exactly, for divisors that are not normalised, quotients shorter and
// longer than the divisor, on both sides of the crossover from one division to Newton's
// iteration (the larger of div_newton and inv_newton).
TEST(Kernel, ReciprocalFloorIsExact) {
    Random rnd(kSeed);
    for (auto [div_newton, inv_newton] :
         {std::pair{size_t(1), size_t(1)}, {2, 2}, {9, 1}, {1, 9}, {kNever, size_t(1)}}) {
        const Tuning tuning = with_newton(default_tuning(), div_newton, inv_newton);
        for (size_t dn : {1, 2, 3, 5, 8, 17, 40, 100}) {
            for (const Nat &d : hard_divisors(rnd, dn)) {
                for (size_t qn : {size_t(1), size_t(2), size_t(7), size_t(8), size_t(9), dn, dn + 1,
                                  2 * dn + 3}) {
                    Mpz md(d), power, expected;
                    mpz_setbit(power, 64 * (d.size() + qn));
                    mpz_tdiv_q(expected, power, md);
                    ASSERT_EQ(reciprocal_floor(d, qn, tuning), expected.nat())
                        << d.size() << " " << qn << " " << div_newton << " " << inv_newton;
                }
            }
        }
    }
    // Across the default crossover, at qn + 1 limbs of reciprocal.
    const size_t c = std::max(default_tuning().inv_newton, default_tuning().div_newton);
    for (size_t qn : {c - 2, c - 1, c}) {
        for (size_t dn : {size_t(3), qn}) {
            for (const Nat &d : {rnd.number(dn), Nat(dn, ~Limb(0))}) {
                Mpz md(d), power, expected;
                mpz_setbit(power, 64 * (d.size() + qn));
                mpz_tdiv_q(expected, power, md);
                ASSERT_EQ(reciprocal_floor(d, qn, default_tuning()), expected.nat())
                    << d.size() << " " << qn;
            }
        }
    }
}

// Division by a Newton reciprocal forced down to a few limbs: quotients of one limb, shorter
// than half the divisor (from the divisor's top limbs, then one product), up to its length (two
// blocks) and longer (blocks of up to the divisor's length, the top one short), against hard
// divisors and dividends; then the crossovers at 24 limbs (division) and 10 (reciprocal), with
// divisor and quotient on either side.
TEST(Kernel, DivisionByANewtonReciprocalMatchesGmp) {
    Random rnd(kSeed);
    const Tuning forced[] = {
        with_newton(default_tuning(), 2, 1),
        with_newton({4, 9, 40, 5, 11, 50, 6, 3, 3}, 3, 5),
        with_newton({kNever, kNever, kNever, kNever, kNever, kNever, kNever, 3, 3}, 7, 3),
    };
    for (const Tuning &tuning : forced) {
        SCOPED_TRACE(tuning.div_newton);
        for (size_t bn : {2, 3, 4, 5, 8, 13, 17, 33, 64, 100}) {
            for (const Nat &b : hard_divisors(rnd, bn)) {
                for (size_t qn : {size_t(1), size_t(2), bn / 3, (bn - 1) / 2, bn / 2, bn / 2 + 1,
                                  bn - 1, bn, bn + 1, 2 * bn, 3 * bn + 5}) {
                    for (const Nat &a : hard_dividends(rnd, b, b.size() + qn - 1))
                        check_divrem(a, b, tuning);
                }
            }
        }
    }
    const Tuning crossover = with_newton(default_tuning(), 24, 10);
    for (size_t bn : {23, 24, 25, 40}) {
        for (size_t qn : {23, 24, 25, 80}) {
            const Nat b = rnd.number(bn);
            for (const Nat &a : hard_dividends(rnd, b, bn + qn - 1))
                check_divrem(a, b, crossover);
        }
    }
}

// The default crossovers, with products by the transforms: divisor and quotient on either side
// of div_newton, a quotient of many blocks, and radix conversion, whose top levels divide by a
// Newton reciprocal.
TEST(Kernel, LongDivisionsAtTheDefaultCrossoversMatchGmp) {
    Random rnd(kSeed);
    const Tuning &t = default_tuning();
    const size_t c = t.div_newton;
    for (auto [bn, qn] : {std::pair{c - 1, c + 1},
                          {c, c + 1},
                          {c + 1, c},
                          {c + 1, c - 1},
                          {2 * c, 2 * c},
                          {c, 5 * c + 7},
                          {3 * c, c}}) {
        for (const Nat &b : {rnd.number(bn), Nat(bn, ~Limb(0)), [&] {
                                 Nat hard(bn, ~Limb(0));
                                 hard.back() = Limb(1) << 63;
                                 return hard;
                             }()}) {
            for (const Nat &a : hard_dividends(rnd, b, bn + qn - 1))
                check_divrem(a, b, t);
        }
    }
    for (size_t n : {4 * c, 4 * c + 999}) {
        Mpz ma(rnd.number(n));
        std::vector<char> buf(mpz_sizeinbase(ma, 10) + 2);
        ASSERT_EQ(to_digits(ma.nat(), 10), mpz_get_str(buf.data(), 10, ma)) << n;
    }
}

// Digit values may exceed the radix: "z9" in radix 10 is 35 * 10 + 9.
TEST(Kernel, RadixConversionOnEveryPathMatchesGmp) {
    Random rnd(kSeed);
    for (const Path &path : kPaths) {
        SCOPED_TRACE(path.name);
        for (unsigned radix = 2; radix <= 36; radix += (radix < 11 ? 1 : 5)) {
            for (size_t n : {1, 2, 5, 13, 40, 77}) {
                Mpz ma(rnd.number(n));
                std::vector<char> buf(mpz_sizeinbase(ma, radix) + 2);
                const std::string expected = mpz_get_str(buf.data(), int(radix), ma);
                ASSERT_EQ(to_digits(ma.nat(), radix, path.tuning), expected) << radix << " " << n;
                std::vector<uint8_t> values;
                for (char c : expected)
                    values.push_back(uint8_t(c <= '9' ? c - '0' : c - 'a' + 10));
                ASSERT_EQ(from_digits(values.data(), values.size(), radix, path.tuning), ma.nat());
            }
        }
        const uint8_t z9[] = {35, 9};
        ASSERT_EQ(from_digits(z9, 2, 10, path.tuning), Nat{359});
        // Runs of the largest value, random values up to it, and random digits
        // below the radix (which make wider chunks: 19 digits in radix 10), at
        // lengths around the eight digits gathered at once, around one and two
        // chunks, and into the tree.
        for (unsigned radix : {3u, 7u, 10u, 17u, 35u}) {
            for (size_t length : {7, 8, 9, 16, 17, 18, 19, 20, 38, 500, 6000}) {
                for (int kind : {0, 1, 2}) {
                    std::vector<uint8_t> text(length);
                    for (uint8_t &v : text)
                        v = kind == 0 ? 35 : uint8_t(rnd.below(kind == 1 ? 36 : radix));
                    Mpz expected;
                    for (uint8_t v : text) {
                        mpz_mul_ui(expected, expected, radix);
                        mpz_add_ui(expected, expected, v);
                    }
                    ASSERT_EQ(from_digits(text.data(), text.size(), radix, path.tuning),
                              expected.nat())
                        << radix << " " << length << " " << kind;
                }
            }
        }
    }
}

// Every radix on every path: powers of the radix and their neighbours (runs of
// zero and of top digits, chunks of zeros to pad) around one and two chunks of
// digits (19 and 38 in radix 10) and far beyond, and random numbers whose
// pieces run out of levels (basecase only) or batch unevenly.
TEST(Kernel, RadixConversionOfStructuredNumbersMatchesGmp) {
    Random rnd(kSeed);
    for (const Path &path : kPaths) {
        SCOPED_TRACE(path.name);
        for (unsigned radix = 3; radix <= 36; ++radix) {
            if ((radix & (radix - 1)) == 0)
                continue;
            unsigned chunk = 1;
            for (double p = radix; p * radix < 18446744073709551616.0; p *= radix)
                ++chunk;
            std::vector<Nat> numbers;
            for (unsigned k :
                 {chunk - 1, chunk, chunk + 1, 2 * chunk, 2 * chunk + 1, 333u, 2000u}) {
                Mpz p;
                mpz_ui_pow_ui(p, radix, k);
                const Nat power = p.nat();
                numbers.push_back(power);
                numbers.push_back(sub(power, Nat{1}));
                numbers.push_back(add(power, Nat{1}));
            }
            for (size_t n : {3, 21, 50, 64})
                numbers.push_back(rnd.number(n));
            for (const Nat &a : numbers) {
                Mpz ma(a);
                std::vector<char> buf(mpz_sizeinbase(ma, radix) + 2);
                ASSERT_EQ(to_digits(a, radix, path.tuning), mpz_get_str(buf.data(), int(radix), ma))
                    << radix << " " << a.size();
            }
        }
    }
}

TEST(Kernel, LeadingDigitsAndCountWithoutTheRest) {
    Random rnd(kSeed);
    for (size_t n : {1, 60, 65, 200, 1000}) {
        for (unsigned radix : {2, 7, 10, 16, 36}) {
            const Nat a = rnd.number(n);
            const std::string all = to_digits(a, radix);
            const LeadingDigits lead = leading_digits(a, radix, 99);
            EXPECT_EQ(lead.total, all.size()) << n << " " << radix;
            EXPECT_EQ(lead.digits, all.substr(0, 99)) << n << " " << radix;
        }
    }
    // Exact powers of the radix and one below: where the digit count changes.
    for (unsigned e : {3000, 5000}) {
        const Nat p = pow(Nat{10}, e);
        const LeadingDigits at = leading_digits(p, 10, 5),
                            below = leading_digits(sub(p, Nat{1}), 10, 5);
        EXPECT_TRUE(at.total == e + 1 && at.digits == "10000");
        EXPECT_TRUE(below.total == e && below.digits == "99999");
    }
}

TEST(Kernel, PowerRootFactorialGcdAndModularPowerMatchGmp) {
    Random rnd(kSeed);
    for (const Path &path : kPaths) {
        if (!path.composite)
            continue;
        SCOPED_TRACE(path.name);
        for (uint64_t e : {0, 1, 2, 7, 64, 333}) {
            for (size_t n : {1, 2, 5}) {
                Mpz expected, mb(rnd.number(n));
                mpz_pow_ui(expected, mb, e);
                ASSERT_EQ(pow(mb.nat(), e, path.tuning), expected.nat()) << n << "^" << e;
            }
        }
        for (uint64_t degree : {2, 3, 5, 17, 64, 65, 1000}) {
            for (size_t n : {1, 2, 3, 10, 57, 150}) {
                Mpz expected, ma(rnd.number(n));
                mpz_root(expected, ma, degree);
                ASSERT_EQ(root(ma.nat(), degree, path.tuning), expected.nat())
                    << degree << " " << n;
                // Perfect powers and one below them.
                const Nat exact = pow(expected.nat(), degree, path.tuning);
                ASSERT_EQ(root(exact, degree, path.tuning), expected.nat());
                if (compare(exact, Nat{1}) > 0) {
                    ASSERT_EQ(root(sub(exact, Nat{1}), degree, path.tuning),
                              sub(expected.nat(), Nat{1}));
                }
            }
        }
        for (uint64_t n : {0, 1, 2, 20, 21, 100, 1000, 3001}) {
            Mpz expected;
            mpz_fac_ui(expected, n);
            ASSERT_EQ(factorial(n, path.tuning), expected.nat()) << n;
        }
        // gcd with shared factors and unequal lengths.
        for (size_t an : {1, 2, 3, 8, 40, 130}) {
            for (size_t bn : {size_t(1), an / 2 + 1, an}) {
                const Nat common = rnd.number(1 + rnd.below(4));
                Mpz expected, ma(mul(rnd.number(an), common)), mb(mul(rnd.number(bn), common));
                mpz_gcd(expected, ma, mb);
                ASSERT_EQ(gcd(ma.nat(), mb.nat(), path.tuning), expected.nat()) << an << " " << bn;
            }
        }
        for (size_t mn : {1, 2, 3, 9, 33}) {
            for (size_t en : {size_t(1), size_t(2), mn + 1}) {
                for (bool odd : {true, false}) {
                    Nat m = rnd.number(mn), base;
                    m[0] = odd ? (m[0] | 1) : (m[0] & ~Limb(1));
                    if (compare(m, Nat{1}) <= 0)
                        continue;
                    divrem(rnd.number(mn + 1), m, nullptr, &base);
                    Mpz expected, mb(base), me(rnd.number(en)), mm(m);
                    mpz_powm(expected, mb, me, mm);
                    ASSERT_EQ(powm(base, me.nat(), m, path.tuning), expected.nat())
                        << mn << " " << en << " " << odd;
                }
            }
        }
    }
    // Consecutive Fibonacci numbers: the longest run of quotients of one.
    Mpz f1, f2;
    mpz_fib2_ui(f1, f2, 5000);
    EXPECT_EQ(gcd(f1.nat(), f2.nat()), Nat{1});
}

// Each root algorithm forced at small sizes, and the crossover at 3 limbs of
// root with sizes on both sides. Perfect powers and their neighbours, and
// lengths at and next to multiples of the degree, are where a root off by one
// would show.
TEST(Kernel, RootsMatchGmpOnEveryPath) {
    Random rnd(kSeed);
    Tuning newton = default_tuning(), recursive = default_tuning(), crossover = default_tuning();
    newton.root_newton = newton.sqrt_newton = newton.cbrt_newton = 0;
    recursive.root_newton = recursive.sqrt_newton = recursive.cbrt_newton = kNever;
    crossover.root_newton = crossover.sqrt_newton = crossover.cbrt_newton = 3;
    for (const Tuning &tuning : {newton, recursive, crossover}) {
        auto check = [&](const Nat &a, uint64_t degree) {
            Mpz expected, ma(a);
            mpz_root(expected, ma, degree);
            ASSERT_EQ(root(a, degree, tuning), expected.nat())
                << degree << " " << bit_length(a) << " " << tuning.root_newton;
        };
        for (uint64_t degree : {2, 3, 4, 5, 7, 64}) {
            for (size_t n : {1, 2, 4, 5, 7, 8, 12, 30, 70}) {
                check(rnd.number(n), degree);
                const Nat r = rnd.number((n + degree - 1) / degree);
                const Nat exact = pow(r, degree);
                for (const Nat &a : {exact, sub(exact, Nat{1}), add(exact, Nat{1})})
                    check(a, degree);
                const uint64_t bits = (bit_length(exact) + degree - 1) / degree * degree;
                for (uint64_t length : {bits - 1, bits, bits + 1}) {
                    Mpz a(rnd.number(length / 64 + 1));
                    mpz_tdiv_r_2exp(a, a, length);
                    mpz_setbit(a, length - 1);
                    check(a.nat(), degree);
                }
            }
        }
        // Roots of 1 and 2 under large degrees.
        for (uint64_t degree : {65, 1000, 4097}) {
            const Nat two = pow(Nat{2}, degree), three = pow(Nat{3}, degree);
            for (const Nat &a : {sub(two, Nat{1}), two, sub(three, Nat{1}), three})
                check(a, degree);
        }
    }
    // Roots of up to 64 bits under degrees in the thousands: r^n and its neighbours
    // for r at the ends of the root's bit lengths, and uniform radicands.
    for (uint64_t degree : {1000, 5003, 40000}) {
        for (const Limb r : {Limb(3), Limb(5) << 30, (Limb(1) << 40) + 1, ~Limb(0) >> 2,
                             (Limb(1) << 63) + 29, ~Limb(0)}) {
            if (bit_length(Nat{r}) * degree > 600000)
                continue;
            const Nat exact = pow(Nat{r}, degree);
            for (const Nat &a : {sub(exact, Nat{1}), exact, add(exact, Nat{1})}) {
                Mpz expected, ma(a);
                mpz_root(expected, ma, degree);
                ASSERT_EQ(root(a, degree), expected.nat()) << degree << " " << r;
            }
        }
        for (size_t limbs : {size_t(100), size_t(900)}) {
            const Nat a = rnd.number(limbs);
            Mpz expected, ma(a);
            mpz_root(expected, ma, degree);
            ASSERT_EQ(root(a, degree), expected.nat()) << degree << " " << limbs;
        }
    }
}

// Runs body(tuning, check) on every composite path with the Newton side of `newton` switched
// off; check(a) compares root(a, degree) with GMP's.
template <class Body> void on_composite_paths(size_t Tuning::*newton, uint64_t degree, Body body) {
    for (const Path &path : kPaths) {
        if (!path.composite)
            continue;
        Tuning tuning = path.tuning;
        tuning.*newton = kNever;
        SCOPED_TRACE(path.name);
        auto check = [&](const Nat &a) {
            Mpz expected, ma(a);
            mpz_root(expected, ma, degree);
            ASSERT_EQ(root(a, degree, tuning), expected.nat()) << bit_length(a);
        };
        body(tuning, check);
    }
}

// Karatsuba's square root at every limb count up to 70 and a few beyond, with
// the radicand's top limb holding 1 to 64 bits (the normalising shift, and
// whether a zero limb or two pad it), on the paths of multiplication and
// division. Squares and their neighbours bring the corrections of the root
// and the exact remainder at the top level; all ones and (B^k - 1)^2 +- 1
// the largest quotients; 4^k and 4^k - 1 the longest runs of zeros and ones.
TEST(Kernel, SquareRootsMatchGmpAtEveryLimbCount) {
    Random rnd(kSeed);
    std::vector<size_t> sizes;
    for (size_t n = 1; n <= 70; ++n)
        sizes.push_back(n);
    for (size_t n : {127, 128, 129, 257})
        sizes.push_back(n);
    on_composite_paths(&Tuning::sqrt_newton, 2, [&](const Tuning &tuning, const auto &check) {
        for (size_t n : sizes) {
            for (unsigned top : {1u, 2u, 3u, 31u, 32u, 33u, 63u, 64u}) {
                Mpz a(rnd.number(n));
                mpz_tdiv_r_2exp(a, a, (n - 1) * 64 + top);
                mpz_setbit(a, (n - 1) * 64 + top - 1);
                check(a.nat());
                const Nat s = root(a.nat(), 2, tuning), square = sqr(s);
                for (const Nat &b : {square, sub(square, Nat{1}), add(square, Nat{1})})
                    check(b);
            }
            const Nat ones(n, ~Limb(0)), power = shift_left(Nat{1}, 64 * n - 2);
            const Nat ones_squared = sqr(Nat((n + 1) / 2, ~Limb(0)));
            for (const Nat &b : {ones, add(ones_squared, Nat{1}), sub(ones_squared, Nat{1}), power,
                                 sub(power, Nat{1}), shift_left(power, 1)})
                check(b);
        }
    });
}

// Karatsuba's cube root at every bit length up to 800 and at longer ones, on the paths of
// multiplication and division. Cubes and their neighbours bring the corrections of the root
// and, at the top, the roots whose guard bits lie next to a whole unit; all ones and
// (2^m - 1)^3 +- 1 the largest quotients; 8^m and 8^m - 1 the longest runs.
TEST(Kernel, CubeRootsMatchGmpAtEveryBitLength) {
    Random rnd(kSeed);
    std::vector<uint64_t> lengths;
    for (uint64_t bits = 1; bits <= 800; ++bits)
        lengths.push_back(bits);
    for (uint64_t bits : {2000, 4095, 4096, 4097, 9000, 12800})
        lengths.push_back(bits);
    on_composite_paths(&Tuning::cbrt_newton, 3, [&](const Tuning &tuning, const auto &check) {
        for (uint64_t bits : lengths) {
            const Nat a = rnd.bits(bits, bits % 2 == 0);
            check(a);
            const Nat r = root(a, 3, tuning), cube = pow(r, 3);
            for (const Nat &b : {cube, sub(cube, Nat{1}), add(cube, Nat{1})})
                check(b);
            const uint64_t m = (bits + 2) / 3;
            const Nat ones_cubed = pow(sub(shift_left(Nat{1}, m), Nat{1}), 3);
            const Nat power = shift_left(Nat{1}, 3 * m);
            for (const Nat &b : {Nat(size_t((bits + 63) / 64), ~Limb(0)), sub(ones_cubed, Nat{1}),
                                 add(ones_cubed, Nat{1}), power, sub(power, Nat{1})})
                check(b);
        }
    });
}

// The extended gcd must reproduce the cofactors of the textbook extended
// Euclidean algorithm, run here on GMP integers, exactly.
void check_textbook(const Nat &a, const Nat &b, const Tuning &tuning = default_tuning()) {
    Mpz r0(a), r1(b), s0, s1, t0, t1, q, tmp;
    mpz_set_ui(s0, 1);
    mpz_set_ui(t1, 1);
    while (mpz_size(r1) != 0) {
        mpz_tdiv_q(q, r0, r1);
        for (auto [older, newer] : {std::pair{&r0, &r1}, {&s0, &s1}, {&t0, &t1}}) {
            mpz_mul(tmp, q, *newer);
            mpz_sub(tmp, *older, tmp);
            mpz_swap(*older, *newer);
            mpz_swap(*newer, tmp);
        }
    }
    const Bezout e = gcdext(a, b, tuning);
    Mpz x(e.x.mag), y(e.y.mag);
    if (e.x.negative)
        mpz_neg(x, x);
    if (e.y.negative)
        mpz_neg(y, y);
    ASSERT_EQ(e.g, r0.nat()) << a.size() << " " << b.size();
    ASSERT_TRUE(mpz_cmp(x, s0) == 0 && mpz_cmp(y, t0) == 0) << a.size() << " " << b.size();
    ASSERT_EQ(gcd(a, b, tuning), e.g);
}

TEST(Kernel, ExtendedGcdGivesTheTextbookCofactors) {
    Random rnd(kSeed);
    auto check = [](const Nat &a, const Nat &b) { check_textbook(a, b); };
    check({}, {});
    check({5}, {});
    check({}, {5});
    check({240}, {46});
    for (size_t an : {1, 3, 20, 90}) {
        for (size_t bn : {size_t(1), an / 2 + 1, an, an + 2}) {
            const Nat common = rnd.number(1 + rnd.below(2));
            check(mul(rnd.number(an), common), mul(rnd.number(bn), common));
            check(rnd.number(an), rnd.number(bn));
        }
    }
}

// The half-gcd, forced down to a few limbs so that its recursion, the undoing
// of a last quotient and the matrix products all run, on both sides of its
// crossover, must still take exactly the textbook steps.
TEST(Kernel, HalfGcdKeepsTheTextbookCofactors) {
    Random rnd(kSeed);
    Tuning mixed{4, 9, 40, 5, 11, 50, 6, 3, 3};
    mixed.hgcd = 3;
    for (Tuning tuning : {Tuning{.hgcd = 1}, Tuning{.hgcd = 2}, Tuning{.hgcd = 5}, mixed}) {
        SCOPED_TRACE(tuning.hgcd);
        for (size_t an : {1, 2, 3, 4, 6, 9, 17, 40}) {
            for (size_t bn : {size_t(1), an / 2 + 1, an - an / 8, an, an + 1, 3 * an + 2}) {
                const Nat a = rnd.number(an), b = rnd.number(bn), g = rnd.number(an / 3 + 1);
                check_textbook(a, b, tuning);
                check_textbook(mul(a, g), mul(b, g), tuning); // a large gcd
            }
            const Nat a = rnd.number(an), k = rnd.number(1 + an / 4);
            check_textbook(a, a, tuning);
            check_textbook(a, {}, tuning);
            check_textbook({}, a, tuning);
            check_textbook(mul(a, k), a, tuning);
            check_textbook(add(mul(a, k), Nat{1}), a, tuning);
        }
        // Fibonacci pairs: quotients of one all the way, with and without a common factor.
        for (unsigned i : {90, 200, 1001, 2500}) {
            Mpz f1, f2;
            mpz_fib2_ui(f2, f1, i);
            check_textbook(f2.nat(), f1.nat(), tuning);
            check_textbook(mul(f2.nat(), Nat{1000003}), mul(f1.nat(), Nat{1000003}), tuning);
        }
    }
    // Across the default crossover, and a large quotient above it.
    const size_t h = default_tuning().hgcd;
    for (size_t an : {h - 1, h, h + 1, 2 * h + 100}) {
        check_textbook(rnd.number(an), rnd.number(an - 1));
        check_textbook(rnd.number(an), rnd.number(an / 2 + 3));
    }
    check_textbook(rnd.number(4 * h), rnd.number(h + 2));
}

} // namespace
} // namespace karvo::kernel
