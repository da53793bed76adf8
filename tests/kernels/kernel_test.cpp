// The kernels against GMP. Every algorithm runs on both sides of its
// crossover: each Tuning below forces a different path at small sizes.
// Operands come from mpz_rrandomb (long runs of one and zero bits, the worst
// cases for carries and quotient estimates) and mpz_urandomb; the seed is
// fixed, so a failure replays.
#include <gmp.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernels/nat.h"

namespace karvo::kernel {
namespace {

constexpr size_t kNever = size_t(1) << 40;

struct Path {
    const char *name;
    Tuning tuning;
};

const std::vector<Path> &paths() {
    static const std::vector<Path> all = {
        {"schoolbook", {kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever}},
        {"karatsuba", {2, kNever, kNever, 2, kNever, kNever, kNever, kNever}},
        {"toom3", {2, 3, kNever, 2, 3, kNever, 4, 2}},
        {"ntt", {1, 1, 1, 1, 1, 1, 4, 2}},
        {"mixed", {4, 9, 40, 5, 11, 50, 6, 3}},
        {"default", kDefaultTuning},
    };
    return all;
}

// The algorithms built on multiplication and division run on the schoolbook
// paths, on every path at once with low crossovers, and on the defaults; the
// single forced paths, slow at small sizes, are checked on their own above.
std::vector<Path> composite_paths() {
    std::vector<Path> r;
    for (const Path &p : paths()) {
        const std::string name = p.name;
        if (name == "schoolbook" || name == "mixed" || name == "default")
            r.push_back(p);
    }
    return r;
}

class Mpz {
  public:
    Mpz() { mpz_init(z_); }
    explicit Mpz(const Nat &a) : Mpz() {
        mpz_import(z_, a.size(), -1, sizeof(Limb), 0, 0, a.data());
    }
    ~Mpz() { mpz_clear(z_); }
    Mpz(const Mpz &) = delete;
    Mpz &operator=(const Mpz &) = delete;
    mpz_ptr get() { return z_; }
    Nat nat() const {
        Nat r((mpz_sizeinbase(z_, 2) + 63) / 64);
        size_t n = 0;
        mpz_export(r.data(), &n, -1, sizeof(Limb), 0, 0, z_);
        r.resize(n);
        return r;
    }

  private:
    mpz_t z_;
};

class Random {
  public:
    Random() {
        gmp_randinit_default(state_);
        gmp_randseed_ui(state_, 20261206);
    }
    ~Random() { gmp_randclear(state_); }
    // A number of exactly `limbs` limbs, alternately with long runs of equal bits.
    Nat number(size_t limbs) {
        if (limbs == 0)
            return {};
        Mpz z;
        flip_ = !flip_;
        if (flip_)
            mpz_rrandomb(z.get(), state_, limbs * 64);
        else
            mpz_urandomb(z.get(), state_, limbs * 64);
        mpz_setbit(z.get(), limbs * 64 - 1 - (mpz_get_ui(z.get()) % 7));
        return z.nat();
    }
    size_t below(size_t n) { return gmp_urandomm_ui(state_, n); }

  private:
    gmp_randstate_t state_;
    bool flip_ = false;
};

const std::vector<size_t> kSizes = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 64, 100, 161};

TEST(KernelMultiply, EveryPathMatchesGmpForBalancedUnbalancedAndSquares) {
    Random rnd;
    for (const Path &path : paths()) {
        SCOPED_TRACE(path.name);
        for (size_t an : kSizes) {
            for (size_t bn : {size_t(1), size_t(2), an / 3 + 1, an}) {
                const Nat a = rnd.number(an), b = rnd.number(bn);
                Mpz expected, ma(a), mb(b);
                mpz_mul(expected.get(), ma.get(), mb.get());
                ASSERT_EQ(mul(a, b, path.tuning), expected.nat()) << an << " x " << bn;
            }
            const Nat a = rnd.number(an);
            Mpz expected, ma(a);
            mpz_mul(expected.get(), ma.get(), ma.get());
            ASSERT_EQ(sqr(a, path.tuning), expected.nat()) << an;
        }
    }
}

TEST(KernelMultiply, AllOnesOperandsCarryThroughEveryLimb) {
    for (const Path &path : paths()) {
        SCOPED_TRACE(path.name);
        for (size_t n : {3, 17, 64, 130}) {
            const Nat ones(n, ~Limb(0));
            Mpz expected, m(ones);
            mpz_mul(expected.get(), m.get(), m.get());
            ASSERT_EQ(mul(ones, Nat(ones), path.tuning), expected.nat()) << n;
            ASSERT_EQ(sqr(ones, path.tuning), expected.nat()) << n;
        }
    }
}

TEST(KernelDivide, QuotientAndRemainderMatchGmpOnEveryPath) {
    Random rnd;
    for (const Path &path : paths()) {
        SCOPED_TRACE(path.name);
        for (size_t bn : kSizes) {
            for (size_t extra : {size_t(0), size_t(1), bn / 2 + 1, bn, 2 * bn + 3}) {
                const Nat a = rnd.number(bn + extra), b = rnd.number(bn);
                Nat q, r;
                divrem(a, b, &q, &r, path.tuning);
                Mpz eq, er, ma(a), mb(b);
                mpz_tdiv_qr(eq.get(), er.get(), ma.get(), mb.get());
                ASSERT_EQ(q, eq.nat()) << bn + extra << " / " << bn;
                ASSERT_EQ(r, er.nat()) << bn + extra << " / " << bn;
            }
        }
    }
}

TEST(KernelDivide, DivisorsThatStressTheQuotientEstimate) {
    // Divisor limbs of all ones below a top limb of B/2, and dividends that
    // are one below a multiple of the divisor.
    for (const Path &path : paths()) {
        SCOPED_TRACE(path.name);
        for (size_t n : {2, 5, 12, 40, 90}) {
            Nat b(n, ~Limb(0));
            b.back() = Limb(1) << 63;
            Mpz mb(b), product, a;
            mpz_mul(product.get(), mb.get(), mb.get());
            mpz_mul_2exp(product.get(), product.get(), 64 * 3);
            mpz_sub_ui(a.get(), product.get(), 1);
            Nat q, r;
            divrem(a.nat(), b, &q, &r, path.tuning);
            Mpz eq, er;
            mpz_tdiv_qr(eq.get(), er.get(), a.get(), mb.get());
            ASSERT_EQ(q, eq.nat()) << n;
            ASSERT_EQ(r, er.nat()) << n;
        }
    }
}

TEST(KernelRadix, TextBothWaysMatchesGmpInEveryRadix) {
    Random rnd;
    for (const Path &path : paths()) {
        SCOPED_TRACE(path.name);
        for (unsigned radix = 2; radix <= 36; radix += (radix < 11 ? 1 : 5)) {
            for (size_t n : {1, 2, 5, 13, 40, 77}) {
                const Nat a = rnd.number(n);
                Mpz ma(a);
                std::vector<char> buf(mpz_sizeinbase(ma.get(), radix) + 2);
                const std::string expected = mpz_get_str(buf.data(), int(radix), ma.get());
                ASSERT_EQ(to_digits(a, radix, path.tuning), expected) << radix << " " << n;
                std::vector<uint8_t> values;
                for (char c : expected)
                    values.push_back(uint8_t(c <= '9' ? c - '0' : c - 'a' + 10));
                ASSERT_EQ(from_digits(values.data(), values.size(), radix, path.tuning), a);
            }
        }
    }
}

TEST(KernelRadix, DigitsAtOrAboveTheRadixCountWithTheirValue) {
    // "z9" in radix 10 is 35 * 10 + 9; long runs of such digits too.
    for (const Path &path : paths()) {
        const std::vector<uint8_t> short_text = {35, 9};
        ASSERT_EQ(from_digits(short_text.data(), 2, 10, path.tuning), Nat{359});
        const std::vector<uint8_t> text(500, 35);
        Mpz expected;
        for (size_t i = 0; i < text.size(); ++i) {
            mpz_mul_ui(expected.get(), expected.get(), 10);
            mpz_add_ui(expected.get(), expected.get(), 35);
        }
        ASSERT_EQ(from_digits(text.data(), text.size(), 10, path.tuning), expected.nat())
            << path.name;
    }
}

TEST(KernelRadix, LeadingDigitsAndCountWithoutTheRest) {
    Random rnd;
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
        const Nat p = pow(Nat{10}, e), below = sub(p, Nat{1});
        EXPECT_EQ(leading_digits(p, 10, 5).total, e + 1);
        EXPECT_EQ(leading_digits(p, 10, 5).digits, "10000");
        EXPECT_EQ(leading_digits(below, 10, 5).total, e);
        EXPECT_EQ(leading_digits(below, 10, 5).digits, "99999");
    }
}

TEST(KernelPowerRootFactorial, MatchGmp) {
    Random rnd;
    for (const Path &path : composite_paths()) {
        SCOPED_TRACE(path.name);
        for (uint64_t e : {0, 1, 2, 7, 64, 333}) {
            for (size_t n : {1, 2, 5}) {
                const Nat base = rnd.number(n);
                Mpz expected, mb(base);
                mpz_pow_ui(expected.get(), mb.get(), e);
                ASSERT_EQ(pow(base, e, path.tuning), expected.nat()) << n << "^" << e;
            }
        }
        ASSERT_EQ(pow(Nat{96}, 1000, path.tuning), pow(Nat{96}, 1000, kDefaultTuning));
        for (uint64_t degree : {2, 3, 5, 17, 64, 65, 1000}) {
            for (size_t n : {1, 2, 3, 10, 57, 150}) {
                const Nat a = rnd.number(n);
                Mpz expected, ma(a);
                mpz_root(expected.get(), ma.get(), degree);
                ASSERT_EQ(root(a, degree, path.tuning), expected.nat()) << degree << " " << n;
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
            mpz_fac_ui(expected.get(), n);
            ASSERT_EQ(factorial(n, path.tuning), expected.nat()) << n;
        }
    }
}

TEST(KernelGcd, MatchesGmpIncludingSharedFactorsAndUnequalLengths) {
    Random rnd;
    for (size_t an : {1, 2, 3, 8, 40, 130}) {
        for (size_t bn : {size_t(1), an / 2 + 1, an}) {
            const Nat common = rnd.number(1 + rnd.below(4));
            const Nat a = mul(rnd.number(an), common), b = mul(rnd.number(bn), common);
            Mpz expected, ma(a), mb(b);
            mpz_gcd(expected.get(), ma.get(), mb.get());
            ASSERT_EQ(gcd(a, b), expected.nat()) << an << " " << bn;
        }
    }
    // Consecutive Fibonacci numbers: the longest run of quotients of one.
    Mpz f1, f2;
    mpz_fib2_ui(f1.get(), f2.get(), 5000);
    EXPECT_EQ(gcd(f1.nat(), f2.nat()), Nat{1});
}

// The textbook extended Euclidean algorithm on GMP integers: the reference
// whose cofactors Lehmer's version must reproduce exactly.
void textbook_gcdext(Mpz &g, Mpz &x, Mpz &y, const Nat &a, const Nat &b) {
    Mpz old_r(a), r(b), old_s, s, old_t, t, q, tmp;
    mpz_set_ui(old_s.get(), 1);
    mpz_set_ui(t.get(), 1);
    while (mpz_sgn(r.get()) != 0) {
        mpz_tdiv_q(q.get(), old_r.get(), r.get());
        for (auto [older, newer] : {std::pair{&old_r, &r}, {&old_s, &s}, {&old_t, &t}}) {
            mpz_mul(tmp.get(), q.get(), newer->get());
            mpz_sub(tmp.get(), older->get(), tmp.get());
            mpz_swap(older->get(), newer->get());
            mpz_swap(newer->get(), tmp.get());
        }
    }
    mpz_set(g.get(), old_r.get());
    mpz_set(x.get(), old_s.get());
    mpz_set(y.get(), old_t.get());
}

TEST(KernelGcd, ExtendedCofactorsAreTheTextbookOnes) {
    Random rnd;
    auto check = [](const Nat &a, const Nat &b) {
        Mpz g, x, y;
        textbook_gcdext(g, x, y, a, b);
        const Bezout e = gcdext(a, b);
        Mpz ex(e.x.mag), ey(e.y.mag);
        if (e.x.negative)
            mpz_neg(ex.get(), ex.get());
        if (e.y.negative)
            mpz_neg(ey.get(), ey.get());
        ASSERT_EQ(e.g, g.nat());
        ASSERT_EQ(mpz_cmp(ex.get(), x.get()), 0);
        ASSERT_EQ(mpz_cmp(ey.get(), y.get()), 0);
    };
    check({}, {});
    check({5}, {});
    check({}, {5});
    check({240}, {46});
    for (size_t an : {1, 2, 3, 20, 90}) {
        for (size_t bn : {size_t(1), an / 2 + 1, an, an + 2}) {
            const Nat common = rnd.number(1 + rnd.below(2));
            check(mul(rnd.number(an), common), mul(rnd.number(bn), common));
            check(rnd.number(an), rnd.number(bn));
        }
    }
}

TEST(KernelModularPower, OddAndEvenModuliMatchGmp) {
    Random rnd;
    for (const Path &path : composite_paths()) {
        SCOPED_TRACE(path.name);
        for (size_t mn : {1, 2, 3, 9, 33}) {
            for (size_t en : {size_t(1), size_t(2), mn + 1}) {
                for (bool odd : {true, false}) {
                    Nat m = rnd.number(mn);
                    m[0] = odd ? (m[0] | 1) : (m[0] & ~Limb(1));
                    if (compare(m, Nat{1}) <= 0)
                        continue;
                    Nat base;
                    divrem(rnd.number(mn + 1), m, nullptr, &base);
                    const Nat e = rnd.number(en);
                    Mpz expected, mb(base), me(e), mm(m);
                    mpz_powm(expected.get(), mb.get(), me.get(), mm.get());
                    ASSERT_EQ(powm(base, e, m, path.tuning), expected.nat())
                        << mn << " " << en << " " << odd;
                }
            }
        }
    }
}

} // namespace
} // namespace karvo::kernel
