// n-th roots by iterations on the inverse root, with multiplications only.
// From a start taken in double precision, z -> z + z (e + (n+1) e^2 / 2n) / n
// with e = 1 - a z^n, the series of (1 - e)^(-1/n) to its square term,
// converges to a^(-1/n) with the precision tripled at every step; each step
// works only on the leading bits that it needs, so the last one costs most.
// One Newton step on the root itself (Karp and Markstein) finishes: y = a
// z^(n-1) at the precision of z, then y + (a - y^n) z^(n-1) / n at twice it.
// The result carries 32 bits below the root's units with an error far below
// the last of them; only when it lies within 2^-16 of an integer does one
// power decide. root() takes this path from Tuning::root_newton limbs of root
// (sqrt_newton for square roots).
#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "kernels/nat.h"
#include "kernels/root.h"

namespace karvo::kernel {

namespace {

constexpr uint64_t kStart = 40;    // bits of the start from a double
constexpr uint64_t kFraction = 32; // bits of the result below the root's units

// The binary fraction m / 2^f.
struct Fixed {
    Nat m;
    int64_t f;
};

// m / 2^f cut to its leading `bits` bits, toward zero.
Fixed lead(View m, int64_t f, uint64_t bits) {
    m = trimmed(m);
    const uint64_t length = bit_length(m);
    if (length <= bits)
        return {Nat(m.begin(), m.end()), f};
    return {shift_right(m, length - bits), f - int64_t(length - bits)};
}
Fixed lead(const Fixed &x, uint64_t bits) { return lead(x.m, x.f, bits); }

// In place: each step cuts every product, and a new vector for each would
// cost about a tenth of a root of 10^4 digits.
void cut(Fixed &x, uint64_t bits) {
    const uint64_t length = bit_length(x.m);
    if (length > bits) {
        shift_right_in_place(x.m, length - bits);
        x.f -= int64_t(length - bits);
    }
}

Fixed product(const Fixed &x, const Fixed &y, uint64_t bits, const Tuning &t) {
    Fixed p{mul(x.m, y.m, t), x.f + y.f};
    cut(p, bits);
    return p;
}

// x^e for e >= 1 to `bits` leading bits, every partial power cut to them.
Fixed power(const Fixed &x, uint64_t e, uint64_t bits, const Tuning &t) {
    const Fixed base = lead(x, bits);
    Fixed r = base;
    for (int bit = std::bit_width(e) - 2; bit >= 0; --bit) {
        r = {sqr(r.m, t), 2 * r.f};
        cut(r, bits);
        if ((e >> bit) & 1)
            r = product(r, base, bits, t);
    }
    return r;
}

// Both on the finer of the two scales.
std::pair<Nat, Nat> aligned(const Fixed &x, const Fixed &y) {
    const int64_t f = std::max(x.f, y.f);
    return {shift_left(x.m, uint64_t(f - x.f)), shift_left(y.m, uint64_t(f - y.f))};
}

// |x - y| and whether x < y.
std::pair<Fixed, bool> difference(const Fixed &x, const Fixed &y) {
    const auto [xs, ys] = aligned(x, y);
    const int64_t f = std::max(x.f, y.f);
    if (compare(xs, ys) >= 0)
        return {{sub(xs, ys), f}, false};
    return {{sub(ys, xs), f}, true};
}

// x + c z / n, or x - c z / n when `negative` (then the term is the smaller),
// the term to `bits` leading bits: Newton's correction in both iterations.
Fixed corrected(const Fixed &x, const Fixed &z, const Fixed &c, bool negative, uint64_t n,
                uint64_t bits, const Tuning &t) {
    Fixed term = product(lead(z, bits), lead(c, bits), bits, t);
    divrem(term.m, from_u64(n), &term.m, nullptr, t);
    const auto [xs, ts] = aligned(x, term);
    return {negative ? sub(xs, ts) : add(xs, ts), std::max(x.f, term.f)};
}

} // namespace

Nat root_newton(View a, uint64_t n, const Tuning &t) {
    a = trimmed(a);
    // a / 2^(n R) lies in [2^-n, 1): its inverse root in (1, 2], its root in
    // [1/2, 1). Below, `a` names that fraction.
    const uint64_t length = bit_length(a), R = (length - 1) / n + 1, scale = n * R;
    const uint64_t w = uint64_t(std::bit_width(n)), guard = w + 16, K = R + kFraction;
    // The final step and the others lose about 3 w bits, to the error of
    // z^(n-1) and to e^3 (e is about n times the error of z). The list holds
    // the precisions, the last step's first.
    std::vector<uint64_t> steps;
    for (uint64_t k = (K + 3 * w + 4) / 2 + 1; k > kStart; k = (k + 3 * w + 5) / 3 + 1)
        steps.push_back(k);

    const uint64_t drop = length > 64 ? length - 64 : 0;
    const double log_a = std::log2(double(shift_right(a, drop)[0])) + double(drop) - double(scale);
    Fixed z{from_u64(uint64_t(std::llround(std::ldexp(std::exp2(-log_a / double(n)), kStart)))),
            int64_t(kStart)};
    const Fixed one{{1}, 0};
    uint64_t precision = kStart;
    for (auto k = steps.rbegin(); k != steps.rend(); ++k) {
        const uint64_t bits = *k + guard;
        const Fixed q = product(lead(a, int64_t(scale), bits), power(z, n, bits, t), bits, t);
        const auto [e, above] = difference(one, q);
        // e^2 (n+1) / 2n, to the bits that lie above the step's precision.
        const uint64_t square_bits = *k + 2 * w + guard - std::min(*k, 2 * precision);
        Fixed square = lead(e, square_bits);
        square = {sqr(square.m, t), 2 * square.f};
        cut(square, square_bits);
        divrem(mul(square.m, from_u64(n + 1), t), from_u64(2 * n), &square.m, nullptr, t);
        const auto [es, ss] = aligned(e, square);
        const Fixed v{above ? sub(es, ss) : add(es, ss), std::max(e.f, square.f)};
        z = corrected(z, z, v, above, n, *k - precision + guard, t);
        cut(z, bits);
        precision = *k;
    }

    const uint64_t bits = precision + guard;
    const Fixed z_n1 = power(z, n - 1, bits, t);
    const Fixed y = product(lead(a, int64_t(scale), bits), z_n1, bits, t);
    const auto [d, above] =
        difference(lead(a, int64_t(scale), K + guard), power(y, n, K + guard, t));
    Fixed root = corrected(y, z_n1, d, above, n, K - precision + 2 * guard, t);
    if (uint64_t(root.f) < R + kFraction) {
        root.m = shift_left(root.m, R + kFraction - uint64_t(root.f));
        root.f = int64_t(R + kFraction);
    }

    // The root's units and its 16 leading fraction bits: the error is far
    // below 2^-16, so unless those bits are all zeros or all ones the units
    // are the floor. Otherwise (exact powers and their neighbours, and a
    // chance of 2^-15 elsewhere) one power decides.
    const uint64_t fraction = uint64_t(root.f) - R;
    const Nat r = shift_right(root.m, fraction), high = shift_right(root.m, fraction - 16);
    const Limb bits16 = high.empty() ? 0 : high[0] & 0xffff;
    if (bits16 != 0 && bits16 != 0xffff)
        return r;
    const Nat c = bits16 == 0 ? r : add(r, Nat{1});
    return compare(pow(c, n, t), a) <= 0 ? c : sub(c, Nat{1});
}

} // namespace karvo::kernel
