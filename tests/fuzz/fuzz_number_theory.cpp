// Differential fuzzing of gcd, the Bezout coefficients and the modular power against GMP, with
// operands of any size and sign (past the half-gcd crossover now and then), outputs shared with
// the inputs where the interface allows it, and the cancel flag: a set flag either lets a call
// finish with the right result or stops it with the documented refusal.
#include "fuzz_pool.h"

using namespace fz;

namespace {

// Extended Euclid on the magnitudes as the textbook writes it (old_s = 1, s = 0, old_t = 0,
// t = 1), which fixes the coefficients the library gives.
void textbook(const Mpz &a, const Mpz &b, Mpz &g, Mpz &s, Mpz &t) {
    Mpz old_r = a, r = b, old_s = 1, cs = 0, old_t = 0, ct = 1, q;
    while (r.sgn() > 0) {
        mpz_tdiv_q(q, old_r, r);
        const Mpz nr = old_r - q * r, ns = old_s - q * cs, nt = old_t - q * ct;
        old_r = r, r = nr, old_s = cs, cs = ns, old_t = ct, ct = nt;
    }
    g = old_r, s = old_s, t = old_t;
}

// GMP's coefficients when they lie strictly inside |s| < b / 2g and |t| < a / 2g: there they are
// unique, so the textbook's are the same.
bool strict_gcdext(const Mpz &a, const Mpz &b, Mpz &g, Mpz &s, Mpz &t) {
    mpz_gcdext(g, s, t, a, b);
    return mpz_cmp(Mpz(2) * g * abs(s), b) < 0 && mpz_cmp(Mpz(2) * g * abs(t), a) < 0;
}

// g = gcd(a, b) and a s + b t = g for magnitudes a and b; both zero give 0, 0, 0.
void bezout(const Mpz &a, const Mpz &b, Mpz &g, Mpz &s, Mpz &t) {
    if (a.sgn() == 0 && b.sgn() == 0) {
        g = s = t = 0;
        return;
    }
    Mpz g2, s2, t2;
    if (std::max(word_count(a), word_count(b)) > 64 && strict_gcdext(a, b, g, s, t))
        return; // long Euclid runs are slow; the unique coefficients are the same
    textbook(a, b, g, s, t);
    if (strict_gcdext(a, b, g2, s2, t2) && (s2 != s || t2 != t))
        fail("reference: GMP's strict coefficients " + hex(s2) + ", " + hex(t2) +
             " differ from the textbook's " + hex(s) + ", " + hex(t));
}

// Sets the cancel flag for one call now and then: 1 (the call may stop) or 0 (it must not).
class Cancel {
  public:
    explicit Cancel(Input &in) {
        const uint8_t c = in.byte();
        if (c % 8 == 1 || c % 8 == 2) {
            reset_last_message(); // a stop must be a report of this call
            flag_ = c % 8 == 1;
            bignum_set_cancel_flag(&flag_);
            armed_ = true;
        }
    }
    ~Cancel() {
        if (armed_)
            bignum_set_cancel_flag(nullptr);
    }
    bool may_stop() const { return armed_ && flag_ != 0; }

  private:
    int flag_ = 0;
    bool armed_ = false;
};

bool stopped(bignum *ret, const std::string &function) {
    if (ret != nullptr || bignum_last_message() != std::string("cancelled"))
        return false;
    expect_line(function, "cancelled");
    return true;
}

// gcd of the magnitudes, never negative; with a zero operand (its words all zero) the other one
// is copied as it stands with marker 1. The destination may be either operand.
void gcd(Input &in, Pool &p) {
    bignum *a = p.operand(in, true), *b = p.operand(in, true);
    bignum *dst = p.destination(in);
    const State sa(a), sb(b);
    State want;
    if (sb.mag.sgn() == 0)
        want = {sa.mag, 1, sa.oofm};
    else if (sa.mag.sgn() == 0)
        want = {sb.mag, 1, sb.oofm};
    else {
        Mpz g;
        mpz_gcd(g, sa.mag, sb.mag);
        want = trimmed(g);
    }
    Cancel cancel(in);
    context("bignum_gcd(" + p.name(dst) + ", " + p.name(a) + ", " + p.name(b) + ") of " +
            describe(a) + " and " + describe(b) + (cancel.may_stop() ? ", cancel flag set" : ""));
    Frozen ro(freeze_operands());
    bignum *ret = bignum_gcd(dst, a == dst ? a : ro(a), b == dst ? b : ro(b));
    if (cancel.may_stop() && stopped(ret, "bignum_gcd")) {
        expect_holds("destination", dst, cleared());
    } else {
        expect(ret == dst, "did not return the destination");
        expect_quiet();
        expect_holds("destination", dst, want);
    }
    if (a != dst)
        expect_holds("operand a afterwards", a, sa);
    if (b != dst)
        expect_holds("operand b afterwards", b, sb);
}

// g = gcd(|a|, |b|), a x + b y = g with the textbook's coefficients, each taking the sign of its
// input; trimmed, zero with marker 1. Outputs may be null or the inputs; y is returned.
void modinv(Input &in, Pool &p) {
    bignum *a = p.operand(in, true), *b = p.operand(in, true);
    bignum *out[3];
    const uint8_t c = in.byte();
    for (int i = 0; i < 3; i++) {
        const int how = c >> (2 * i) & 3;
        out[i] = how == 0 ? nullptr : p.slot(((c >> 6) + i) % Pool::kSlots);
        if (how == 3) // an input as an output
            out[i] = i % 2 ? b : a;
        if (out[i] && p.index(out[i]) < 0) // never a constant
            out[i] = nullptr;
        for (int j = 0; j < i; j++)
            if (out[i] == out[j])
                out[i] = nullptr;
    }
    bignum *g = out[0], *x = out[1], *y = out[2];
    const State sa(a), sb(b);
    State before[3];
    for (int i = 0; i < 3; i++)
        if (out[i])
            before[i] = State(out[i]);
    Mpz wg, ws, wt;
    bezout(sa.mag, sb.mag, wg, ws, wt);
    if (sa.negative())
        ws = -ws;
    if (sb.negative())
        wt = -wt;
    Cancel cancel(in);
    context("bignum_modinv(" + p.name(g) + ", " + p.name(x) + ", " + p.name(y) + ", " + p.name(a) +
            ", " + p.name(b) + ") of " + describe(a) + " and " + describe(b) +
            (cancel.may_stop() ? ", cancel flag set" : ""));
    Frozen ro(freeze_operands());
    auto input = [&](bignum *v) { return v == g || v == x || v == y ? v : ro(v); };
    bignum *ret = bignum_modinv(g, x, y, input(a), input(b));
    if (cancel.may_stop() && stopped(ret, "bignum_modinv")) {
        for (int i = 0; i < 3; i++)
            if (out[i])
                expect_holds("output left as it was", out[i], before[i]);
        return;
    }
    expect(ret == y, "did not return y");
    expect_quiet();
    if (g)
        expect_holds("g", g, trimmed(wg));
    if (x)
        expect_holds("x", x, trimmed(ws));
    if (y)
        expect_holds("y", y, trimmed(wt));
    if (a != g && a != x && a != y)
        expect_holds("operand a afterwards", a, sa);
    if (b != g && b != x && b != y)
        expect_holds("operand b afterwards", b, sb);
}

// |base|^exponent reduced into [0, |modulus|), through the inverse for a negative exponent;
// a modulus of 1 gives 0; a zero modulus and a base without inverse are refused.
void modpow(Input &in, Pool &p) {
    bignum *base = p.operand(in, true), *modulus = p.operand(in, true);
    auto other = [&](uint8_t from, bignum *x, bignum *y, bignum *z) -> bignum * {
        for (int k = 0; k < Pool::kSlots; k++) {
            bignum *s = p.slot((from + k) % Pool::kSlots);
            if (s != x && s != y && s != z)
                return s;
        }
        return nullptr;
    };
    Rec spare_exponent, spare_dst;
    bignum *exponent = other(in.byte(), base, modulus, nullptr);
    if (!exponent)
        exponent = spare_exponent.get();
    if (in.byte() % 4 != 0) { // a fresh exponent: the longer, the smaller the modulus
        const uint64_t words = modulus->oofm > 200 ? in.below(3) : decode_words(in, false);
        const Mpz v = decode_magnitude(in, std::min<uint64_t>(words, modulus->oofm > 40 ? 8 : 70));
        const uint8_t flags = in.byte();
        load(exponent, v, flags & 1 ? 2 : 1, flags >> 1 & 1, flags & 4);
    }
    bignum *dst = other(in.byte(), base, exponent, modulus);
    if (!dst)
        dst = spare_dst.get();
    const State sb(base), se(exponent), sm(modulus);
    // Each exponent bit costs products and reductions of the modulus's size, quadratic in it at
    // worst: bound the work so that an input stays well under a second with the sanitizers.
    const uint64_t bits = mpz_sizeinbase(se.mag, 2), mw = word_count(sm.mag);
    if (mw > 64 && bits * mw * mw > 40000000)
        return;
    std::string refusal;
    Mpz want;
    if (sm.mag.sgn() == 0) {
        refusal = "modulus is zero";
    } else {
        Mpz b;
        mpz_mod(b, sb.mag, sm.mag);
        if (se.negative()) {
            Mpz g;
            mpz_gcd(g, b, sm.mag);
            if (g != Mpz(1))
                refusal = "base has no inverse modulo the modulus";
            else if (sm.mag != Mpz(1))
                mpz_invert(b, b, sm.mag);
        }
        if (refusal.empty() && sm.mag != Mpz(1))
            mpz_powm(want, b, se.mag, sm.mag);
    }
    Cancel cancel(in);
    context("bignum_modpow(" + p.name(dst) + ", " + p.name(base) + ", " + p.name(exponent) + ", " +
            p.name(modulus) + ") of " + describe(base) + " ^ " + describe(exponent) + " mod " +
            describe(modulus) + (cancel.may_stop() ? ", cancel flag set" : ""));
    Frozen ro(freeze_operands());
    bignum *ret = bignum_modpow(dst, ro(base), ro(exponent), ro(modulus));
    if (cancel.may_stop() && stopped(ret, "bignum_modpow")) {
        expect_holds("destination", dst, cleared());
    } else if (!refusal.empty()) {
        expect(ret == nullptr, "returned a record for a refused power");
        expect_line("bignum_modpow", refusal);
        expect_holds("destination", dst, cleared());
    } else {
        expect(ret == dst, "did not return the destination");
        expect_quiet();
        expect_holds("destination", dst, trimmed(want));
    }
    expect_holds("base afterwards", base, sb);
    expect_holds("exponent afterwards", exponent, se);
    expect_holds("modulus afterwards", modulus, sm);
}

// Operands with a common factor, so that gcds are large and coefficients long.
void load_common(Input &in, Pool &p) {
    bignum *a = p.slot(in.byte() % Pool::kSlots), *b = p.slot(in.byte() % Pool::kSlots);
    const Mpz f = decode_magnitude(in, decode_words(in, p.large()));
    const Mpz x = decode_magnitude(in, decode_words(in, p.large()));
    const Mpz y = decode_magnitude(in, decode_words(in, p.large()));
    const uint8_t flags = in.byte();
    p.spend(2 * word_count(f) + word_count(x) + word_count(y));
    load(a, f * x, flags & 1 ? 2 : 1, flags >> 2 & 1, flags & 16);
    if (b != a)
        load(b, f * y, flags & 2 ? 2 : 1, flags >> 3 & 1, flags & 32);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    initialize("fuzz_number_theory");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return run_actions(data, size, 6, {reload_slot, load_common, gcd, modinv, modinv, modpow});
}
