// karvo::Integer as a program uses it, checked against GMP: computations,
// operators on random values of up to thousands of words, text and streams,
// errors (which must leave standard output empty), hashing and value semantics.
#include <gmpxx.h>
#include <gtest/gtest.h>

#include <karvo/integer.hpp>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <typeinfo>
#include <unordered_set>
#include <vector>

using karvo::Integer;

namespace {

mpz_class Z(const Integer &x) { return mpz_class(x.to_string(16), 16); }
Integer I(const mpz_class &z) { return Integer(z.get_str(16), 16); }

::testing::AssertionResult Same(const Integer &got, const mpz_class &want) {
    const mpz_class g = Z(got);
    if (g == want)
        return ::testing::AssertionSuccess();
    const std::string gs = g.get_str(16), ws = want.get_str(16);
    return ::testing::AssertionFailure()
           << "got " << gs.substr(0, 80) << (gs.size() > 80 ? "..." : "") << " (" << gs.size()
           << " hex digits), want " << ws.substr(0, 80) << (ws.size() > 80 ? "..." : "") << " ("
           << ws.size() << " hex digits)";
}

// Seeded operands: mostly a few words, now and then thousands; uniform bits or
// long runs of ones and zeros (carries and borrows across many words).
class Rng {
  public:
    Rng() {
        const char *env = std::getenv("KARVO_TEST_SEED");
        seed_ = env != nullptr ? std::strtoull(env, nullptr, 10) : 20240607;
        gmp_randinit_default(st_);
        gmp_randseed_ui(st_, seed_);
    }
    ~Rng() { gmp_randclear(st_); }
    Rng(const Rng &) = delete;
    Rng &operator=(const Rng &) = delete;
    unsigned long seed() const { return seed_; }

    unsigned long below(unsigned long n) { return gmp_urandomm_ui(st_, n); }
    mpz_class bits(unsigned long n) {
        mpz_class z;
        if (below(2) == 0)
            mpz_urandomb(z.get_mpz_t(), st_, n);
        else
            mpz_rrandomb(z.get_mpz_t(), st_, n);
        return z;
    }
    unsigned long words(unsigned long max) {
        const unsigned long roll = below(10);
        return roll < 6 ? below(4) : roll < 9 ? below(40) : below(max + 1);
    }
    mpz_class value(unsigned long max_words) {
        mpz_class z = bits(32 * words(max_words) + below(32));
        return below(2) == 0 ? mpz_class(-z) : z;
    }

  private:
    unsigned long seed_;
    gmp_randstate_t st_;
};

// Values at the edges of machine words and of 32-bit words.
std::vector<mpz_class> Edges() {
    const mpz_class one = 1;
    const std::vector<mpz_class> magnitudes = {0,
                                               1,
                                               2,
                                               3,
                                               one << 31,
                                               (one << 32) - 1,
                                               one << 32,
                                               (one << 63) - 1,
                                               one << 63,
                                               (one << 64) - 1,
                                               one << 64,
                                               (one << 64) + 1,
                                               (one << 96) - 1};
    std::vector<mpz_class> v;
    for (const mpz_class &m : magnitudes) {
        v.push_back(m);
        if (m != 0)
            v.push_back(-m);
    }
    return v;
}

mpz_class TruncQuotient(const mpz_class &a, const mpz_class &b) {
    mpz_class q;
    mpz_tdiv_q(q.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
    return q;
}
mpz_class MagnitudeRemainder(const mpz_class &a, const mpz_class &b) {
    mpz_class r;
    mpz_class x = abs(a), y = abs(b);
    mpz_tdiv_r(r.get_mpz_t(), x.get_mpz_t(), y.get_mpz_t());
    return r;
}

// Runs f, which must throw exactly E, with standard output captured; returns
// what() and fails the test when anything was printed.
template <class E, class F> std::string QuietThrow(F &&f) {
    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    std::string what = "(nothing thrown)";
    bool right_type = false;
    try {
        f();
    } catch (const std::exception &e) {
        right_type = typeid(e) == typeid(E);
        what = e.what();
    }
    std::fflush(stdout);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(right_type) << "wanted " << typeid(E).name() << ", got: " << what;
    EXPECT_EQ(out, "") << "printed while failing with: " << what;
    return what;
}

// 2^(32 BIGNUM_MAX_WORDS) - 1: every word of the largest record all ones.
Integer Largest() {
    const Integer half = karvo::pow(2, 32 * BIGNUM_MAX_WORDS - 1);
    return half + (half - 1);
}

std::string Upper(std::string s) {
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

// ---------------------------------------------------------------------------
// Small programs

TEST(IntegerUse, DigitSumOfHundredFactorial) {
    const Integer f = karvo::factorial(100);
    mpz_class want;
    mpz_fac_ui(want.get_mpz_t(), 100);
    EXPECT_TRUE(Same(f, want));
    int sum = 0;
    for (char c : f.to_string())
        sum += c - '0';
    EXPECT_EQ(sum, 648);
    // The same sum, digit by digit through / and %.
    Integer rest = f;
    Integer by_division = 0;
    while (!rest.is_zero()) {
        by_division += rest % 10;
        rest /= 10;
    }
    EXPECT_EQ(by_division, 648);
}

TEST(IntegerUse, FibonacciByMatrixPowers) {
    // [[F(n+1), F(n)], [F(n), F(n-1)]] = [[1, 1], [1, 0]]^n
    auto fib = [](unsigned long n) {
        Integer a = 1, b = 0, c = 0, d = 1; // the result
        Integer p = 1, q = 1, r = 1, s = 0; // the running square
        for (; n != 0; n >>= 1) {
            if (n & 1) {
                Integer a2 = a * p + b * r, b2 = a * q + b * s;
                Integer c2 = c * p + d * r, d2 = c * q + d * s;
                a = a2, b = b2, c = c2, d = d2;
            }
            Integer p2 = p * p + q * r, q2 = p * q + q * s;
            Integer r2 = r * p + s * r, s2 = r * q + s * s;
            p = p2, q = q2, r = r2, s = s2;
        }
        return b;
    };
    for (unsigned long n : {0ul, 1ul, 2ul, 93ul, 94ul, 1000ul, 50000ul}) {
        mpz_class want;
        mpz_fib_ui(want.get_mpz_t(), n);
        EXPECT_TRUE(Same(fib(n), want)) << "F(" << n << ")";
    }
}

TEST(IntegerUse, RsaRoundTrip) {
    Rng rng;
    SCOPED_TRACE("seed " + std::to_string(rng.seed()));
    for (int round = 0; round < 3; ++round) {
        mpz_class p, q;
        const mpz_class p0 = rng.bits(512) | (mpz_class(1) << 511);
        const mpz_class q0 = rng.bits(512) | (mpz_class(1) << 511);
        mpz_nextprime(p.get_mpz_t(), p0.get_mpz_t());
        mpz_nextprime(q.get_mpz_t(), q0.get_mpz_t());
        const Integer n = I(p) * I(q);
        const Integer phi = (I(p) - 1) * (I(q) - 1);
        const Integer e = 65537;
        if (karvo::gcd(e, phi) != 1)
            continue;
        const Integer d = karvo::modinv(e, phi);
        mpz_class want_d;
        const mpz_class ephi = Z(phi), ee = 65537;
        mpz_invert(want_d.get_mpz_t(), ee.get_mpz_t(), ephi.get_mpz_t());
        EXPECT_TRUE(Same(d, want_d));
        EXPECT_EQ(e * d % phi, 1);

        const Integer message = I(rng.bits(1000)) % n;
        const Integer cipher = karvo::modpow(message, e, n);
        mpz_class want_c;
        const mpz_class m = Z(message), nn = Z(n);
        mpz_powm(want_c.get_mpz_t(), m.get_mpz_t(), ee.get_mpz_t(), nn.get_mpz_t());
        EXPECT_TRUE(Same(cipher, want_c));
        EXPECT_EQ(karvo::modpow(cipher, d, n), message);
    }
}

// ---------------------------------------------------------------------------
// Construction from built-in integers

template <class T> class IntegerFromBuiltin : public ::testing::Test {};
using BuiltinTypes = ::testing::Types<char, signed char, unsigned char, short, unsigned short, int,
                                      unsigned, long, unsigned long, long long, unsigned long long>;
TYPED_TEST_SUITE(IntegerFromBuiltin, BuiltinTypes);

TYPED_TEST(IntegerFromBuiltin, ExactAtTheTypesLimits) {
    using T = TypeParam;
    using L = std::numeric_limits<T>;
    auto gmp = [](T v) {
        return std::is_signed_v<T> ? mpz_class(std::to_string((long long)v))
                                   : mpz_class(std::to_string((unsigned long long)v));
    };
    for (T v : {L::min(), T(L::min() + 1), T(0), T(1), T(L::max() - 1), L::max()}) {
        const Integer x = v; // implicit
        EXPECT_TRUE(Same(x, gmp(v)));
        EXPECT_EQ(x.sign(), v < 0 ? -1 : v > 0 ? 1 : 0);
        // Mixed with a built-in operand on either side.
        EXPECT_TRUE(Same(x + v, 2 * gmp(v)));
        EXPECT_TRUE(Same(v - x, 0));
        EXPECT_TRUE(x == v && v == x && !(x < v) && x <= v);
    }
}

TEST(IntegerFromBuiltin, Int64EdgesThroughEveryOperator) {
    const int64_t lo = INT64_MIN, hi = INT64_MAX;
    const uint64_t top = UINT64_MAX;
    const mpz_class zlo("-9223372036854775808"), zhi("9223372036854775807"),
        ztop("18446744073709551615");
    EXPECT_TRUE(Same(Integer(lo) - 1, zlo - 1));
    EXPECT_TRUE(Same(Integer(hi) + 1, zhi + 1));
    EXPECT_TRUE(Same(Integer(top) + 1, ztop + 1));
    EXPECT_TRUE(Same(-Integer(lo), -zlo));
    EXPECT_TRUE(Same(Integer(lo) / -1, -zlo));
    EXPECT_TRUE(Same(Integer(lo) * lo, zlo * zlo));
    EXPECT_TRUE(Same(Integer(top) * top, ztop * ztop));
    EXPECT_TRUE(Same(Integer(lo) % hi, 1));
    EXPECT_TRUE(Same(Integer(top) / lo, -1));
    EXPECT_TRUE(Same(Integer(top) % lo, zhi));
    EXPECT_TRUE(Integer(lo) < Integer(hi) && Integer(hi) < Integer(top));
    EXPECT_EQ(Integer(lo).to_int64(), lo);
    EXPECT_EQ(Integer(hi).to_int64(), hi);
    EXPECT_EQ(Integer(-1).to_int64(), -1);
    EXPECT_EQ(Integer(uint64_t(1) << 32).to_int64(), int64_t(1) << 32);
    EXPECT_EQ((Integer(lo) + 1).to_int64(), lo + 1);
}

// ---------------------------------------------------------------------------
// Operators against GMP

TEST(IntegerArith, EveryOperatorOnRandomSignedValues) {
    Rng rng;
    SCOPED_TRACE("seed " + std::to_string(rng.seed()));
    std::vector<mpz_class> values = Edges();
    for (int i = 0; i < 120; ++i)
        values.push_back(rng.value(3000));
    for (size_t i = 0; i < values.size(); ++i) {
        const mpz_class &za = values[i];
        // Against a random partner, an edge, and itself.
        for (const mpz_class &zb : {values[rng.below(values.size())], values[i % 26], za}) {
            const Integer a = I(za), b = I(zb);
            SCOPED_TRACE("a has " + std::to_string(mpz_sizeinbase(za.get_mpz_t(), 2)) +
                         " bits, b " + std::to_string(mpz_sizeinbase(zb.get_mpz_t(), 2)));
            EXPECT_TRUE(Same(a + b, za + zb));
            EXPECT_TRUE(Same(a - b, za - zb));
            EXPECT_TRUE(Same(a * b, za * zb));
            EXPECT_TRUE(Same(-a, -za));
            if (zb != 0) {
                EXPECT_TRUE(Same(a / b, TruncQuotient(za, zb)));
                EXPECT_TRUE(Same(a % b, MagnitudeRemainder(za, zb)));
            }
            EXPECT_EQ(a == b, za == zb);
            EXPECT_EQ(a != b, za != zb);
            EXPECT_EQ(a < b, za < zb);
            EXPECT_EQ(a <= b, za <= zb);
            EXPECT_EQ(a > b, za > zb);
            EXPECT_EQ(a >= b, za >= zb);
            EXPECT_EQ((a <=> b) < 0, cmp(za, zb) < 0);

            Integer c = a;
            c += b;
            EXPECT_TRUE(Same(c, za + zb));
            c = a;
            c -= b;
            EXPECT_TRUE(Same(c, za - zb));
            c = a;
            c *= b;
            EXPECT_TRUE(Same(c, za * zb));
            if (zb != 0) {
                c = a;
                c /= b;
                EXPECT_TRUE(Same(c, TruncQuotient(za, zb)));
                c = a;
                c %= b;
                EXPECT_TRUE(Same(c, MagnitudeRemainder(za, zb)));
            }
        }
    }
}

TEST(IntegerArith, OperandsThatAreAlsoTheDestination) {
    Rng rng;
    SCOPED_TRACE("seed " + std::to_string(rng.seed()));
    for (int i = 0; i < 60; ++i) {
        const mpz_class z = rng.value(2500);
        Integer x = I(z);
        x += x;
        EXPECT_TRUE(Same(x, 2 * z));
        x = I(z);
        x *= x; // one record as both factors: the square
        EXPECT_TRUE(Same(x, z * z));
        x = I(z);
        x -= x;
        EXPECT_TRUE(Same(x, 0));
        EXPECT_EQ(x.sign(), 0);
        if (z != 0) {
            x = I(z);
            x /= x;
            EXPECT_TRUE(Same(x, 1));
            x = I(z);
            x %= x;
            EXPECT_TRUE(Same(x, 0));
        }
    }
}

TEST(IntegerArith, IncrementAndDecrementAcrossWordBoundaries) {
    for (const mpz_class &z : Edges()) {
        Integer x = I(z);
        EXPECT_TRUE(Same(x++, z));
        EXPECT_TRUE(Same(x, z + 1));
        EXPECT_TRUE(Same(++x, z + 2));
        EXPECT_TRUE(Same(x--, z + 2));
        EXPECT_TRUE(Same(--x, z));
    }
    Integer y = -1;
    ++y;
    EXPECT_EQ(y.sign(), 0);
    EXPECT_EQ(y, 0);
    --y;
    EXPECT_EQ(y.to_string(), "-1");
}

TEST(IntegerArith, DivisionRoundsTowardZeroAndRemainderIsOfMagnitudes) {
    struct Row {
        long a, b, q, r;
    };
    // clang-format off
    const Row rows[] = {
        { 7,  2,  3, 1}, {-7,  2, -3, 1}, { 7, -2, -3, 1}, {-7, -2,  3, 1},
        { 6,  3,  2, 0}, {-6,  3, -2, 0}, { 6, -3, -2, 0}, {-6, -3,  2, 0},
        { 2,  7,  0, 2}, {-2,  7,  0, 2}, { 2, -7,  0, 2}, {-2, -7,  0, 2},
        { 0,  5,  0, 0}, { 0, -5,  0, 0}, { 5,  5,  1, 0}, {-5,  5, -1, 0},
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.a) + " / " + std::to_string(row.b));
        const Integer a = row.a, b = row.b;
        EXPECT_EQ(a / b, row.q);
        EXPECT_EQ(a % b, row.r);
        EXPECT_EQ((a / b).to_string(), std::to_string(row.q)); // no "-0"
    }
    // a == (a / b) b + (a < 0 ? -(a % b) : a % b) on large operands too.
    Rng rng;
    for (int i = 0; i < 40; ++i) {
        const Integer a = I(rng.value(1500)), b = I(rng.value(700));
        if (b.is_zero())
            continue;
        const Integer r = a % b;
        EXPECT_EQ(a, (a / b) * b + (a.sign() < 0 ? -r : r));
        EXPECT_TRUE(r >= 0 && r < karvo::abs(b));
    }
}

TEST(IntegerArith, ComparisonOrdersNegativesAsIntegers) {
    EXPECT_LT(Integer(-5), Integer(-3));
    EXPECT_GT(Integer(-3), Integer(-5));
    EXPECT_LT(Integer(-5), 0);
    EXPECT_LT(Integer("-100000000000000000000000000"), Integer(-1));
    EXPECT_GT(Integer(-1), Integer("-100000000000000000000000000"));
    EXPECT_EQ(Integer(-5) <=> Integer(-5), std::strong_ordering::equal);
    EXPECT_EQ(Integer("-0"), Integer(0));
    EXPECT_EQ(Integer(5) - 5, -Integer(0));
    // Sorting a mix of signs and sizes gives GMP's order.
    Rng rng;
    std::vector<mpz_class> z;
    for (int i = 0; i < 200; ++i)
        z.push_back(rng.value(6));
    std::vector<Integer> x;
    for (const mpz_class &v : z)
        x.push_back(I(v));
    std::sort(z.begin(), z.end());
    std::sort(x.begin(), x.end());
    for (size_t i = 0; i < z.size(); ++i)
        EXPECT_TRUE(Same(x[i], z[i]));
}

// ---------------------------------------------------------------------------
// Free functions and members against GMP

TEST(IntegerFunctions, PowRootFactorial) {
    Rng rng;
    SCOPED_TRACE("seed " + std::to_string(rng.seed()));
    for (int i = 0; i < 60; ++i) {
        const mpz_class base = rng.value(20);
        const unsigned long e = rng.below(60);
        mpz_class want;
        mpz_pow_ui(want.get_mpz_t(), base.get_mpz_t(), e);
        EXPECT_TRUE(Same(karvo::pow(I(base), e), want));
    }
    // A negative exponent truncates 1 / base^|e|.
    EXPECT_EQ(karvo::pow(7, -2), 0);
    EXPECT_EQ(karvo::pow(-7, -3), 0);
    EXPECT_EQ(karvo::pow(1, -5), 1);
    EXPECT_EQ(karvo::pow(-1, -5), -1);
    EXPECT_EQ(karvo::pow(-1, -4), 1);
    EXPECT_EQ(karvo::pow(0, 0), 1);

    for (int i = 0; i < 60; ++i) {
        const mpz_class x = rng.value(i < 50 ? 40 : 2000);
        unsigned long n = 1 + rng.below(9);
        if (x < 0 && n % 2 == 0)
            ++n;
        mpz_class want;
        mpz_root(want.get_mpz_t(), x.get_mpz_t(), n); // rounded toward zero
        EXPECT_TRUE(Same(karvo::root(I(x), n), want)) << "degree " << n;
    }
    // A degree beyond 64 bits: the root of anything above 1 is 1.
    EXPECT_EQ(karvo::root(5, Integer("100000000000000000000000000000")), 1);
    EXPECT_EQ(karvo::root(-5, Integer("100000000000000000000000000001")), -1);

    for (unsigned long n : {0ul, 1ul, 2ul, 20ul, 21ul, 34ul, 35ul, 1000ul, 20000ul}) {
        mpz_class want;
        mpz_fac_ui(want.get_mpz_t(), n);
        EXPECT_TRUE(Same(karvo::factorial(n), want)) << n << "!";
    }
}

TEST(IntegerFunctions, GcdModinvModpow) {
    Rng rng;
    SCOPED_TRACE("seed " + std::to_string(rng.seed()));
    EXPECT_EQ(karvo::gcd(0, 0), 0);
    EXPECT_EQ(karvo::gcd(0, -12), 12);
    for (int i = 0; i < 80; ++i) {
        const mpz_class a = rng.value(300), b = rng.value(300);
        EXPECT_TRUE(Same(karvo::gcd(I(a), I(b)), gcd(a, b)));
        const mpz_class g = rng.value(8);
        EXPECT_TRUE(Same(karvo::gcd(I(a * g), I(b * g)), gcd(a * g, b * g)));
    }
    int inverses = 0;
    for (int i = 0; i < 120; ++i) {
        const mpz_class a = rng.value(40), m = rng.value(40);
        if (abs(m) <= 1)
            continue;
        mpz_class want;
        const mpz_class am = abs(m);
        if (mpz_invert(want.get_mpz_t(), a.get_mpz_t(), am.get_mpz_t()) != 0) {
            ++inverses;
            EXPECT_TRUE(Same(karvo::modinv(I(a), I(m)), want));
        } else {
            QuietThrow<std::domain_error>([&] { karvo::modinv(I(a), I(m)); });
        }
    }
    EXPECT_GT(inverses, 20);
    EXPECT_EQ(karvo::modinv(-3, 7), 2);
    EXPECT_EQ(karvo::modinv(3, -7), 5);
    EXPECT_EQ(karvo::modinv(12345, 1), 0);
    EXPECT_EQ(karvo::modinv(5, -1), 0);

    for (int i = 0; i < 80; ++i) {
        const mpz_class base = rng.value(i < 70 ? 30 : 200), m = rng.value(i < 70 ? 30 : 200);
        mpz_class e = rng.bits(rng.below(300));
        if (m == 0)
            continue;
        const mpz_class am = abs(m);
        mpz_class inverse;
        if (rng.below(4) == 0 &&
            mpz_invert(inverse.get_mpz_t(), base.get_mpz_t(), am.get_mpz_t()) != 0)
            e = -e; // a negative exponent raises the inverse
        mpz_class want;
        mpz_powm(want.get_mpz_t(), base.get_mpz_t(), e.get_mpz_t(), am.get_mpz_t());
        EXPECT_TRUE(Same(karvo::modpow(I(base), I(e), I(m)), want));
    }
    EXPECT_EQ(karvo::modpow(-2, 3, 5), 2);
    EXPECT_EQ(karvo::modpow(-2, 3, -5), 2);
    EXPECT_EQ(karvo::modpow(3, -1, 7), 5);
    EXPECT_EQ(karvo::modpow(-10, 0, 1), 0);
}

TEST(IntegerFunctions, SignAbsBitsDigitsToInt64) {
    Rng rng;
    SCOPED_TRACE("seed " + std::to_string(rng.seed()));
    std::vector<mpz_class> values = Edges();
    for (int i = 0; i < 100; ++i)
        values.push_back(rng.value(400));
    for (const mpz_class &z : values) {
        const Integer x = I(z);
        EXPECT_EQ(x.sign(), sgn(z));
        EXPECT_EQ(x.is_zero(), z == 0);
        EXPECT_TRUE(Same(karvo::abs(x), abs(z)));
        EXPECT_EQ(x.bit_length(), z == 0 ? 0 : mpz_sizeinbase(z.get_mpz_t(), 2));
        for (int radix : {2, 3, 7, 10, 16, 36}) {
            const std::string digits = mpz_class(abs(z)).get_str(radix);
            EXPECT_EQ(x.digits(radix), digits.size()) << "radix " << radix;
        }
        if (mpz_fits_slong_p(z.get_mpz_t()))
            EXPECT_EQ(x.to_int64(), z.get_si());
        else
            QuietThrow<std::overflow_error>([&] { (void)x.to_int64(); });
    }
    QuietThrow<std::overflow_error>([] { (void)Integer("9223372036854775808").to_int64(); });
    QuietThrow<std::overflow_error>([] { (void)Integer("-9223372036854775809").to_int64(); });
}

// ---------------------------------------------------------------------------
// Errors: the right exception, the library's reason, nothing printed

TEST(IntegerErrors, DomainErrorsCarryTheLibrarysReason) {
    const Integer seven = 7, zero = 0;
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { (void)(seven / zero); }), "division by zero");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { (void)(seven % 0); }), "division by zero");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] {
                  Integer x = -5;
                  x /= 0;
              }),
              "division by zero");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { karvo::pow(0, -1); }),
              "zero to a negative power");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { karvo::root(-8, 2); }),
              "even root of a negative number");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { karvo::root(8, 0); }),
              "degree must be at least 1");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { karvo::root(8, -3); }),
              "degree must be at least 1");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { karvo::factorial(-1); }),
              "factorial of a negative number");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { karvo::modpow(2, 3, 0); }), "modulus is zero");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { karvo::modpow(-2, 3, 0); }), "modulus is zero");
    EXPECT_EQ(QuietThrow<std::domain_error>([&] { karvo::modpow(6, -1, 9); }),
              "base has no inverse modulo the modulus");
    EXPECT_NE(QuietThrow<std::domain_error>([&] { karvo::modinv(6, 9); }), "");
    EXPECT_NE(QuietThrow<std::domain_error>([&] { karvo::modinv(0, 9); }), "");
    EXPECT_NE(QuietThrow<std::domain_error>([&] { karvo::modinv(3, 0); }), "");
}

TEST(IntegerErrors, OverflowAboveTheWordLimit) {
    const Integer largest = Largest();
    EXPECT_EQ(largest.bit_length(), 32ull * BIGNUM_MAX_WORDS);
    const std::string limit = " exceeds max of 100000";
    EXPECT_EQ(QuietThrow<std::overflow_error>([&] { (void)(largest + 1); }),
              "result of 100001 words" + limit);
    EXPECT_EQ(QuietThrow<std::overflow_error>([&] { (void)(-largest - 1); }),
              "result of 100001 words" + limit);
    EXPECT_NE(QuietThrow<std::overflow_error>([&] { (void)(largest * largest); }).find(limit),
              std::string::npos);
    EXPECT_NE(QuietThrow<std::overflow_error>([&] { (void)(largest * 2); }).find(limit),
              std::string::npos);
    EXPECT_NE(
        QuietThrow<std::overflow_error>([&] { karvo::pow(2, 32 * BIGNUM_MAX_WORDS); }).find(limit),
        std::string::npos);
    EXPECT_NE(QuietThrow<std::overflow_error>([&] { karvo::factorial(1000000); }).find(limit),
              std::string::npos);
    EXPECT_NE(QuietThrow<std::overflow_error>([&] {
                  Integer(std::string(8 * BIGNUM_MAX_WORDS + 1, 'F'), 16);
              }).find(limit),
              std::string::npos);
    // Just below the limit everything works, and a refused value is left as it was.
    Integer x = largest;
    EXPECT_TRUE(Same(x - 1 + 1, Z(largest)));
    QuietThrow<std::overflow_error>([&] { x += 1; });
    EXPECT_EQ(x, largest);
    EXPECT_EQ(Integer(largest.to_string(16), 16), largest);
}

TEST(IntegerErrors, ACancelledLongCallThrowsRuntimeError) {
    const Integer a = karvo::pow(2, 32 * 3000) - 1 - karvo::pow(2, 20000);
    const Integer b = karvo::pow(2, 32 * 2900) - 12346;
    int flag = 1;
    bignum_set_cancel_flag(&flag);
    EXPECT_EQ(QuietThrow<std::runtime_error>([&] { karvo::gcd(a, b); }), "cancelled");
    EXPECT_EQ(QuietThrow<std::runtime_error>([&] { karvo::modinv(a, b); }), "cancelled");
    EXPECT_EQ(QuietThrow<std::runtime_error>([&] { karvo::modpow(a, b, b - 2); }), "cancelled");
    bignum_set_cancel_flag(nullptr);
    mpz_class want;
    const mpz_class za = Z(a), zb = Z(b);
    mpz_gcd(want.get_mpz_t(), za.get_mpz_t(), zb.get_mpz_t());
    EXPECT_TRUE(Same(karvo::gcd(a, b), want));
}

TEST(IntegerErrors, InvalidTextAndRadix) {
    for (const char *bad : {"", "-", "+5", " 5", "5 ", "12a", "--1", "1-", "0x10", "1.0", "١"})
        EXPECT_NE(QuietThrow<std::invalid_argument>([&] { Integer{bad}; }), "") << bad;
    // The digit one past the radix is refused in either case.
    for (int radix = 2; radix <= 35; ++radix) {
        const char digit = "0123456789abcdefghijklmnopqrstuvwxyz"[radix];
        QuietThrow<std::invalid_argument>([&] { Integer(std::string("1") + digit, radix); });
        QuietThrow<std::invalid_argument>(
            [&] { Integer(std::string("-") + char(std::toupper(digit)), radix); });
    }
    for (int radix : {-1, 0, 1, 37, 64}) {
        QuietThrow<std::invalid_argument>([&] { Integer("1", radix); });
        QuietThrow<std::invalid_argument>([&] { (void)Integer(5).to_string(radix); });
        QuietThrow<std::invalid_argument>([&] { (void)Integer(5).digits(radix); });
    }
}

// ---------------------------------------------------------------------------
// Text and streams

TEST(IntegerText, RoundTripsInEveryRadix) {
    Rng rng;
    SCOPED_TRACE("seed " + std::to_string(rng.seed()));
    for (int radix = 2; radix <= 36; ++radix) {
        std::vector<mpz_class> values = Edges();
        for (int i = 0; i < 12; ++i)
            values.push_back(rng.value(radix == 10 || radix == 7 ? 3000 : 300));
        for (const mpz_class &z : values) {
            const std::string lower = z.get_str(radix);
            const Integer x = I(z);
            EXPECT_EQ(x.to_string(radix), lower) << "radix " << radix;
            EXPECT_TRUE(Same(Integer(lower, radix), z)) << "radix " << radix;
            EXPECT_TRUE(Same(Integer(Upper(lower), radix), z)) << "radix " << radix;
        }
        // Leading zeros, and a zero with a minus sign.
        EXPECT_EQ(Integer("-0001", radix), -1);
        const Integer minus_zero("-000", radix);
        EXPECT_EQ(minus_zero.sign(), 0);
        EXPECT_EQ(minus_zero.to_string(radix), "0");
    }
    EXPECT_EQ(Integer("-Zz", 36), -(35 * 36 + 35));
    EXPECT_EQ(Integer("DeadBeef", 16), 0xdeadbeefu);
}

TEST(IntegerText, StreamOutputFormatsAsGmpDoes) {
    Rng rng;
    std::vector<mpz_class> values = Edges();
    for (int i = 0; i < 20; ++i)
        values.push_back(rng.value(20));
    using F = std::ios_base;
    const std::vector<std::pair<F::fmtflags, int>> formats = {
        {F::dec, 0},
        {F::hex, 0},
        {F::oct, 0},
        {F::hex | F::uppercase | F::showbase, 0},
        {F::oct | F::showbase, 0},
        {F::dec | F::showpos, 0},
        {F::hex | F::showpos | F::showbase, 0},
        {F::dec | F::right, 30},
        {F::dec | F::left, 30},
        {F::hex | F::showbase | F::internal, 30},
        {F::dec | F::internal | F::showpos, 30},
    };
    for (const mpz_class &z : values) {
        for (auto [flags, width] : formats) {
            std::ostringstream got, want;
            got.flags(flags);
            want.flags(flags);
            got.fill('*');
            want.fill('*');
            got << std::setw(width) << I(z) << '|';
            want << std::setw(width) << z << '|';
            EXPECT_EQ(got.str(), want.str());
        }
    }
    std::ostringstream os;
    os << Integer(-255) << ' ' << std::hex << Integer(-255) << ' ' << std::oct << Integer(8);
    EXPECT_EQ(os.str(), "-255 -ff 10");
}

TEST(IntegerText, StreamInput) {
    {
        std::istringstream in("  -123\n456 +7");
        Integer a, b, c = 99;
        in >> a >> b;
        EXPECT_EQ(a, -123);
        EXPECT_EQ(b, 456);
        EXPECT_TRUE(in.good());
        in >> c; // '+' is not accepted
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(c, 99);
    }
    {
        std::istringstream in("FF -1a 7fffffffffffffffffffffffffffffff");
        Integer a, b, c;
        in >> std::hex >> a >> b >> c;
        EXPECT_EQ(a, 255);
        EXPECT_EQ(b, -26);
        EXPECT_TRUE(Same(c, (mpz_class(1) << 127) - 1));
        EXPECT_TRUE(in.eof());
        EXPECT_FALSE(in.fail());
    }
    {
        std::istringstream in("777 8");
        Integer a, b = 5;
        in >> std::oct >> a;
        EXPECT_EQ(a, 511);
        in >> b;
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(b, 5);
    }
    {
        // Digits stop at the first character that is not one.
        std::istringstream in("12abc");
        Integer a;
        std::string rest;
        in >> a >> rest;
        EXPECT_EQ(a, 12);
        EXPECT_EQ(rest, "abc");
    }
    for (const char *bad : {"", "   ", "-", "- 5", "x"}) {
        std::istringstream in(bad);
        Integer a = 3;
        in >> a;
        EXPECT_TRUE(in.fail()) << '"' << bad << '"';
        EXPECT_EQ(a, 3);
    }
    {
        // Above the word limit: failbit, nothing printed.
        std::istringstream in(std::string(8 * BIGNUM_MAX_WORDS + 1, 'f'));
        Integer a = 3;
        std::fflush(stdout);
        ::testing::internal::CaptureStdout();
        in >> std::hex >> a;
        std::fflush(stdout);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(a, 3);
    }
    // Out and back in, large values included.
    Rng rng;
    for (int i = 0; i < 20; ++i) {
        const Integer x = I(rng.value(2000));
        std::stringstream io;
        io << x << ' ' << std::hex << x;
        Integer dec, hex;
        io >> std::dec >> dec >> std::hex >> hex;
        EXPECT_EQ(dec, x);
        EXPECT_EQ(hex, x);
    }
}

// ---------------------------------------------------------------------------
// Hashing and value semantics

TEST(IntegerValue, EqualValuesHashEqual) {
    const std::hash<Integer> h;
    Integer moved_from = 5;
    Integer taken = std::move(moved_from);
    const Integer zeros[] = {Integer(),      Integer(0),      Integer("-0"),
                             Integer(5) - 5, Integer(-7) % 7, moved_from};
    for (const Integer &z : zeros)
        EXPECT_EQ(h(z), h(Integer(0)));
    EXPECT_EQ(h(taken), h(Integer(5)));

    Rng rng;
    std::unordered_set<Integer> set;
    std::vector<mpz_class> distinct;
    for (int i = 0; i < 200; ++i) {
        const mpz_class z = rng.value(50);
        // The same value reached three ways.
        const Integer a = I(z), b = Integer(z.get_str(7), 7), c = (I(z) * 3 - I(z)) / 2;
        EXPECT_EQ(h(a), h(b));
        EXPECT_EQ(h(a), h(c));
        set.insert(a);
        set.insert(b);
        set.insert(c);
        if (std::find(distinct.begin(), distinct.end(), z) == distinct.end())
            distinct.push_back(z);
    }
    EXPECT_EQ(set.size(), distinct.size());
}

TEST(IntegerValue, CopyMoveAndSwap) {
    const mpz_class big = (mpz_class(1) << 70000) - 12345;
    Integer a = I(big);
    Integer copy = a;
    copy += 1;
    EXPECT_TRUE(Same(a, big));
    EXPECT_TRUE(Same(copy, big + 1));

    Integer assigned = -3;
    assigned = a;
    EXPECT_TRUE(Same(assigned, big));
    Integer &self = assigned;
    assigned = self;
    EXPECT_TRUE(Same(assigned, big));
    assigned = std::move(self);
    EXPECT_TRUE(Same(assigned, big));

    Integer moved = std::move(a);
    EXPECT_TRUE(Same(moved, big));
    EXPECT_TRUE(a.is_zero()); // NOLINT(bugprone-use-after-move): the moved-from state is defined
    EXPECT_EQ(a.to_string(), "0");
    EXPECT_EQ(a.sign(), 0);
    EXPECT_EQ(a.bit_length(), 0u);
    EXPECT_EQ(a.digits(), 1u);
    EXPECT_EQ(a + 7, 7);
    EXPECT_EQ(a * moved, 0);
    EXPECT_EQ(a - moved, -moved);
    a += 41;
    ++a;
    EXPECT_EQ(a, 42);

    Integer target = 1;
    target = std::move(moved);
    EXPECT_TRUE(Same(target, big));
    EXPECT_TRUE(moved.is_zero()); // NOLINT(bugprone-use-after-move)
    moved -= 1;
    EXPECT_EQ(moved, -1);

    Integer x = -5, y = I(big);
    swap(x, y);
    EXPECT_EQ(y, -5);
    EXPECT_TRUE(Same(x, big));
    x.swap(y);
    EXPECT_EQ(x, -5);

    // The largest value copies whole.
    const Integer largest = Largest();
    const Integer largest_copy = largest;
    EXPECT_EQ(largest_copy, largest);
    EXPECT_EQ(largest_copy.bit_length(), 32ull * BIGNUM_MAX_WORDS);
}

TEST(IntegerValue, SharedOperandsAreReadOnlyAcrossThreads) {
    // A value used by several threads at once stays exact for all of them.
    // Operands long enough that the calls overlap.
    const mpz_class za = -((mpz_class(1) << 200000) + 77), zb = (mpz_class(1) << 100000) + 5;
    const Integer a = I(za), b = I(zb);
    const Integer sum = I(za + zb), difference = I(za - zb), quotient = I(TruncQuotient(za, zb));
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                if (a + b != sum || a - b != difference || a / b != quotient || a.sign() != -1 ||
                    b - a != -difference)
                    ++wrong[t];
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(wrong[t], 0) << "thread " << t;
}
