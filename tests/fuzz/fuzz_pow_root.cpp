// Differential fuzzing of powers, integer roots and factorials against GMP: negative exponents
// truncate, roots are exact floors of any degree (odd roots of negative numbers too), factorials
// up to the word limit under both names, the refusals and their messages, and destinations
// shared with the operands where the interface allows it.
#include <cmath>

#include "fuzz_pool.h"

using namespace fz;

namespace {

bool odd(const Mpz &v) { return mpz_odd_p(v.get()); }

// dst = base ^ exponent. The exponent is read before dst is written, so dst may be the exponent.
void power(Input &in, Pool &p) {
    bignum *base = p.operand(in, true), *exponent = p.operand(in, true);
    const uint8_t c = in.byte();
    if (c % 4 == 0 && p.index(base) >= 0) { // small bases with long exponents
        load(base, long(in.below(4)), c & 4 ? 2 : 1, c >> 3 & 1);
        if (exponent != base) {
            const uint64_t most = (c & 0x30) == 0x30 && p.large() ? 3300000 : c & 16 ? 70000 : 3000;
            load(exponent, long(in.below(most)), c & 32 ? 2 : 1, c >> 6 & 1);
            p.spend(most / 32);
        }
    } else if (c % 4 == 1 && exponent != base && p.index(exponent) >= 0) {
        // an exponent that keeps the result near the limit for this base, or a part of it
        const uint64_t bits = mpz_sizeinbase(magnitude_of(base), 2);
        const uint64_t e = bits > 1 ? (32 * kMaxWords) / (bits - 1) - in.below(3) : in.below(5);
        const bool whole = (c & 0x70) == 0x70 && p.large();
        load(exponent, long(whole ? e : e / (2 + in.below(64))), c & 8 ? 2 : 1);
        p.spend(whole ? kMaxWords : 0);
    }
    bignum *dst = c & 0x80 ? exponent : p.destination(in);
    if (dst == base || p.index(dst) < 0) // never the base, never a constant
        return;
    const State sb(base), se(exponent);
    State want = {1, 1, 1};
    std::string refusal;
    uint64_t at_most = 0;
    const bool negative = sb.negative() && odd(se.mag);
    if (se.mag.sgn() == 0) {
        // x^0 = 1, 0^0 too
    } else if (sb.mag.sgn() == 0) {
        if (se.negative())
            refusal = "zero to a negative power";
        else
            want = cleared();
    } else if (sb.mag == Mpz(1)) {
        want = trimmed(negative ? Mpz(-1) : Mpz(1));
    } else if (se.negative()) { // 1 / base^|e| truncated
        want = cleared();
    } else {
        // Refused from its size: a base of b bits to the power e needs at least (b - 1) e + 1 bits.
        const uint64_t bits = mpz_sizeinbase(sb.mag, 2);
        refusal = "too large";
        at_most = kAny;
        if (mpz_fits_ulong_p(se.mag) &&
            (bits - 1) * (unsigned __int128)mpz_get_ui(se.mag) < 32 * kMaxWords + 64) {
            Mpz v;
            mpz_pow_ui(v, sb.mag, mpz_get_ui(se.mag));
            at_most = word_count(v);
            if (word_count(v) <= kMaxWords) {
                want = trimmed(negative ? -v : v);
                refusal.clear();
            }
        }
    }
    context("bignum_pow(" + p.name(dst) + ", " + p.name(base) + ", " + p.name(exponent) + ") of " +
            describe(base) + " ^ " + describe(exponent));
    Frozen ro(freeze_operands());
    bignum *ret = bignum_pow(dst, ro(base), exponent == dst ? exponent : ro(exponent));
    if (refusal == "too large") {
        expect(ret == nullptr, "returned a record for a power beyond the limit");
        expect_too_large("bignum_pow", at_most);
        expect_holds("destination", dst, cleared());
    } else if (!refusal.empty()) {
        expect(ret == nullptr, "returned a record for zero to a negative power");
        expect_line("bignum_pow", refusal);
        expect_holds("destination", dst, cleared());
    } else {
        expect(ret == dst, "did not return the destination");
        expect_quiet();
        expect_holds("destination", dst, want);
    }
    expect_holds("base afterwards", base, sb);
    if (exponent != dst)
        expect_holds("exponent afterwards", exponent, se);
}

// dst = the floor of the degree-th root of |radicand|, negative for an odd root of a negative
// radicand. Refusals leave dst as it was. dst may be either operand.
void root(Input &in, Pool &p) {
    bignum *degree = p.operand(in, true), *radicand = p.operand(in, true);
    const uint8_t c = in.byte();
    if (p.index(degree) >= 0 && degree != radicand && c % 2 == 0) {
        const uint8_t k = in.byte();
        const Mpz d = k < 150   ? Mpz(long(1 + k % 12))
                      : k < 220 ? Mpz(long(in.range(13, 400)))
                      : k < 240 ? Mpz(long(in.u64() >> (in.byte() % 64)))
                                : Mpz(-long(in.below(3)));
        const bool marked_negative = d.sgn() < 0 || (d.sgn() == 0 && k & 1); // -0 now and then
        load(degree, d, marked_negative ? 2 : 1);
        // near a perfect power, where a floor is easiest to get wrong
        if ((c & 6) == 2 && p.index(radicand) >= 0 && mpz_cmp_ui(d.get(), 0) > 0 &&
            mpz_cmp_ui(d.get(), 400) <= 0) {
            const unsigned n = unsigned(mpz_get_ui(d));
            Mpz b = decode_magnitude(in, std::max<uint64_t>(1, decode_words(in, false) / n)), v;
            mpz_pow_ui(v, b, n);
            v = v + Mpz(long(in.below(3)) - 1);
            p.spend(word_count(v));
            load(radicand, v, c & 8 ? 2 : 1, c >> 4 & 1);
        }
    }
    const uint8_t w = in.byte();
    bignum *dst = w % 4 == 0 ? degree : w % 4 == 1 ? radicand : p.destination(in);
    if (p.index(dst) < 0)
        return;
    const State sd(degree), sr(radicand), sdst(dst);
    std::string refusal;
    State want;
    if (sd.mag.sgn() == 0 || sd.negative()) {
        refusal = "degree must be at least 1";
    } else if (sr.negative() && !odd(sd.mag)) {
        refusal = "even root of a negative number";
    } else {
        Mpz r;
        if (mpz_fits_ulong_p(sd.mag))
            mpz_root(r, sr.mag, mpz_get_ui(sd.mag));
        else // a degree beyond 64 bits exceeds any radicand's bit length
            r = sr.mag.sgn() ? 1 : 0;
        want = trimmed(sr.negative() ? -r : r);
    }
    context("bignum_root(" + p.name(dst) + ", " + p.name(degree) + ", " + p.name(radicand) +
            ") degree " + describe(degree) + " of " + describe(radicand));
    Frozen ro(freeze_operands());
    bignum *ret = bignum_root(dst, degree == dst ? degree : ro(degree),
                              radicand == dst ? radicand : ro(radicand));
    if (!refusal.empty()) {
        expect(ret == nullptr, "returned a record for a refused root");
        expect_line("bignum_root", refusal);
        expect_holds("destination left as it was", dst, sdst);
    } else {
        expect(ret == dst, "did not return the destination");
        expect_quiet();
        expect_holds("destination", dst, want);
    }
    if (degree != dst)
        expect_holds("degree afterwards", degree, sd);
    if (radicand != dst)
        expect_holds("radicand afterwards", radicand, sr);
}

// The least n whose factorial needs more than 100000 words.
uint64_t first_too_large() {
    static const uint64_t n = [] {
        uint64_t lo = 1000, hi = 400000; // words(lo!) <= 100000 < words(hi!)
        while (hi - lo > 1) {
            const uint64_t mid = (lo + hi) / 2;
            const double bits = std::lgamma(double(mid) + 1) / std::log(2.0);
            (bits / 32 > double(kMaxWords) + 2 ? hi : lo) = mid;
        }
        Mpz f; // exact from a little below the estimate
        mpz_fac_ui(f, lo - 40);
        for (uint64_t m = lo - 40;; f = f * Mpz(long(++m)))
            if (word_count(f) > kMaxWords)
                return m;
    }();
    return n;
}

// n! for n >= 0 (0! = 1), refused for negative n and above the limit. The destination is
// cleared before n is read: a record taken into itself gives 0! = 1.
void factorial(Input &in, Pool &p) {
    const bool poor = in.byte() & 1;
    const std::string name = poor ? "bignum_factorial_poor" : "bignum_factorial";
    bignum *n = p.operand(in, true);
    const uint8_t c = in.byte();
    if (p.index(n) >= 0 && c % 4 != 3) {
        uint64_t v = c % 4 == 0 ? in.below(300) : c % 4 == 1 ? in.below(6000) : in.below(30000);
        if (c % 16 == 2 && p.large()) // at the word limit
            v = first_too_large() + in.below(9) - 4;
        p.spend(v / 2);
        load(n, long(v), c & 4 ? 2 : 1, c >> 3 & 1, c & 16);
    }
    bignum *dst = c & 0x80 ? n : p.destination(in);
    if (p.index(dst) < 0)
        return;
    const State sn(n), effective = dst == n ? cleared() : sn;
    State want;
    std::string refusal;
    uint64_t at_most = kAny;
    if (effective.negative()) {
        refusal = "factorial of a negative number";
    } else if (mpz_cmp_ui(effective.mag.get(), first_too_large()) >= 0) {
        refusal = "too large";
        if (mpz_cmp_ui(effective.mag.get(), first_too_large() + 1000) < 0) {
            Mpz f;
            mpz_fac_ui(f, mpz_get_ui(effective.mag));
            at_most = word_count(f) + 1; // estimated from lgamma, within a word
        }
    } else {
        Mpz f;
        mpz_fac_ui(f, mpz_get_ui(effective.mag));
        want = trimmed(f);
    }
    context(name + "(" + p.name(dst) + ", " + p.name(n) + ") of " + describe(n));
    Frozen ro(freeze_operands());
    bignum *ret = (poor ? bignum_factorial_poor : bignum_factorial)(dst, n == dst ? n : ro(n));
    if (refusal == "too large") {
        expect(ret == nullptr, "returned a record for a factorial beyond the limit");
        expect_too_large(name, at_most);
        expect_holds("destination", dst, cleared());
    } else if (!refusal.empty()) {
        expect(ret == nullptr, "returned a record for a negative argument");
        expect_line(name, refusal);
        expect_holds("destination", dst, cleared());
    } else {
        expect(ret == dst, "did not return the destination");
        expect_quiet();
        expect_holds("destination", dst, want);
    }
    if (n != dst)
        expect_holds("argument afterwards", n, sn);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    initialize("fuzz_pow_root");
    first_too_large();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return run_actions(data, size, 6, {reload_slot, power, root, root, factorial});
}
