// Toom-3 multiplication, from Tuning::toom3 limbs up to Tuning::ntt: each
// operand is split in three pieces of k limbs, the product polynomial is
// evaluated at 0, 1, -1, -2 and infinity (five products of k + 1 limbs) and
// interpolated with Bodrato's sequence.
#include <algorithm>
#include <vector>

#include "kernels/arith.h"
#include "kernels/mul.h"

namespace karvo::kernel {

namespace {

// A signed value for the evaluation and interpolation steps.
struct Signed {
    std::vector<Limb> mag; // normalised
    bool neg = false;
};

Signed from(const Limb *a, size_t n) {
    n = normalized_size(a, n);
    return {std::vector<Limb>(a, a + n), false};
}

std::vector<Limb> add_mag(const std::vector<Limb> &a, const std::vector<Limb> &b) {
    const auto &x = a.size() >= b.size() ? a : b, &y = a.size() >= b.size() ? b : a;
    std::vector<Limb> r(x.size() + 1);
    r[x.size()] = add(r.data(), x.data(), x.size(), y.data(), y.size());
    r.resize(normalized_size(r.data(), r.size()));
    return r;
}

// |a| - |b| as a signed value.
Signed sub_mag(const std::vector<Limb> &a, const std::vector<Limb> &b) {
    const bool less = cmp(a.data(), a.size(), b.data(), b.size()) < 0;
    const auto &x = less ? b : a, &y = less ? a : b;
    std::vector<Limb> r(x.size());
    sub(r.data(), x.data(), x.size(), y.data(), y.size());
    r.resize(normalized_size(r.data(), r.size()));
    return {std::move(r), less};
}

Signed operator+(const Signed &a, const Signed &b) {
    if (a.neg == b.neg)
        return {add_mag(a.mag, b.mag), a.neg};
    Signed d = sub_mag(a.mag, b.mag);
    d.neg = d.mag.empty() ? false : (d.neg != a.neg);
    return d;
}

Signed operator-(const Signed &a, const Signed &b) {
    Signed nb = b;
    nb.neg = !b.neg && !b.mag.empty();
    return a + nb;
}

Signed shifted_left_1(const Signed &a) {
    Signed r = a;
    r.mag.push_back(0);
    lshift(r.mag.data(), r.mag.data(), r.mag.size(), 1);
    r.mag.resize(normalized_size(r.mag.data(), r.mag.size()));
    return r;
}

// Exact halving and thirding of even and multiple-of-3 values.
Signed halved(Signed a) {
    if (!a.mag.empty())
        rshift(a.mag.data(), a.mag.data(), a.mag.size(), 1);
    a.mag.resize(normalized_size(a.mag.data(), a.mag.size()));
    return a;
}

Signed thirded(Signed a) {
    divexact_by3(a.mag.data(), a.mag.data(), a.mag.size());
    a.mag.resize(normalized_size(a.mag.data(), a.mag.size()));
    return a;
}

// The product of two signed values of at most m limbs each.
Signed product(const Signed &x, const Signed &y, size_t m, bool square, const Tuning &t) {
    std::vector<Limb> px(m, 0), py(m, 0), r(2 * m);
    std::copy(x.mag.begin(), x.mag.end(), px.begin());
    if (square) {
        sqr(r.data(), px.data(), m, t);
    } else {
        std::copy(y.mag.begin(), y.mag.end(), py.begin());
        mul_n(r.data(), px.data(), py.data(), m, t);
    }
    r.resize(normalized_size(r.data(), r.size()));
    const bool negative = !r.empty() && !square && x.neg != y.neg;
    return {std::move(r), negative};
}

struct Evaluations {
    Signed at0, at1, at_minus1, at_minus2, at_inf;
};

Evaluations evaluate(const Limb *a, size_t n, size_t k) {
    const Signed a0 = from(a, k), a1 = from(a + k, k), a2 = from(a + 2 * k, n - 2 * k);
    const Signed p = a0 + a2;
    Evaluations e;
    e.at0 = a0;
    e.at1 = p + a1;
    e.at_minus1 = p - a1;
    e.at_minus2 = shifted_left_1(e.at_minus1 + a2) - a0;
    e.at_inf = a2;
    return e;
}

void toom3(Limb *r, const Limb *a, const Limb *b, size_t n, bool square, const Tuning &t) {
    const size_t k = (n + 2) / 3, m = k + 1;
    const Evaluations ea = evaluate(a, n, k);
    const Evaluations eb = square ? ea : evaluate(b, n, k);

    const Signed r0 = product(ea.at0, eb.at0, m, square, t);
    const Signed r_1 = product(ea.at1, eb.at1, m, square, t);
    const Signed r_m1 = product(ea.at_minus1, eb.at_minus1, m, square, t);
    const Signed r_m2 = product(ea.at_minus2, eb.at_minus2, m, square, t);
    const Signed r4 = product(ea.at_inf, eb.at_inf, m, square, t);

    Signed r3 = thirded(r_m2 - r_1);
    Signed r1 = halved(r_1 - r_m1);
    Signed r2 = r_m1 - r0;
    r3 = halved(r2 - r3) + shifted_left_1(r4);
    r2 = r2 + r1 - r4;
    r1 = r1 - r3;

    // All five coefficients of the product polynomial are non-negative.
    std::fill(r, r + 2 * n, 0);
    const Signed *coefficient[] = {&r0, &r1, &r2, &r3, &r4};
    for (size_t i = 0; i < 5; ++i) {
        const auto &c = coefficient[i]->mag;
        const size_t offset = i * k;
        if (c.empty())
            continue;
        add(r + offset, r + offset, 2 * n - offset, c.data(), c.size());
    }
}

} // namespace

void mul_toom3(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t) {
    toom3(r, a, b, n, false, t);
}

void sqr_toom3(Limb *r, const Limb *a, size_t n, const Tuning &t) { toom3(r, a, a, n, true, t); }

} // namespace karvo::kernel
