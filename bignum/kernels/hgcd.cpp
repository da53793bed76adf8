// Half-gcd, subquadratic (Thull and Yap; Möller's arrangement): for a > b of
// n bits, the Euclid steps that keep b at least 2^s, s = n/2 + 1, are found by
// two recursive calls on numbers of about n/2 bits, each on the top bits of
// the current pair, whose matrices are applied to the low bits with the fast
// multiplication. O(M(n) log n) in all. Below Tuning::hgcd limbs the steps are
// Lehmer's, with a floor that keeps them from passing 2^s.
//
// A call on the top bits of (a, b) yields true Euclid quotients of (a, b)
// whenever the pair it reduces to stays in order: with M a product of
// [[q, 1], [1, 0]], q >= 1, (a, b) = M (u, v) and u > v > 0, the continued
// fraction of a / b begins with M's quotients. The size bounds below keep both numbers above
// 2^s; when the low bits put them out of order, only the last quotient was
// wrong and that step is undone. So each matrix here is a product of textbook
// steps, and the extended gcd's cofactors stay the textbook ones.
#include <algorithm>
#include <utility>

#include "kernels/cancel.h"
#include "kernels/gcd.h"

namespace karvo::kernel {

namespace {

Nat mul_add(View x, View p, View y, View q, const Tuning &t) {
    return add(mul(x, p, t), mul(y, q, t));
}

// M := M [[q, 1], [1, 0]]
void push_quotient(HalfGcdMatrix &m, const Nat &q, const Tuning &t) {
    for (auto &row : m.m) {
        if (q.size() == 1)
            mul_pair(row[0], row[1], q[0], 1, 1, 0);
        else
            row[1] = std::exchange(row[0], add(mul(row[0], q, t), row[1]));
    }
    m.odd = !m.odd;
}

struct Signed {
    Nat mag;
    bool negative = false;
};

Signed plus(const Signed &x, const Signed &y) {
    if (x.negative == y.negative)
        return {add(x.mag, y.mag), x.negative};
    const int c = compare(x.mag, y.mag);
    if (c >= 0)
        return {sub(x.mag, y.mag), x.negative && c != 0};
    return {sub(y.mag, x.mag), y.negative};
}

Signed minus(const Signed &x, const Signed &y) {
    return plus(x, {y.mag, !y.negative && !y.mag.empty()});
}

Signed times(const Signed &x, const Signed &y, const Tuning &t) {
    Nat p = mul(x.mag, y.mag, t);
    const bool negative = x.negative != y.negative && !p.empty();
    return {std::move(p), negative};
}

// M N in seven products (Winograd's form of Strassen's), for long entries.
void push_matrix_strassen(HalfGcdMatrix &m, const HalfGcdMatrix &n, const Tuning &t) {
    const Signed a11{m.m[0][0]}, a12{m.m[0][1]}, a21{m.m[1][0]}, a22{m.m[1][1]};
    const Signed b11{n.m[0][0]}, b12{n.m[0][1]}, b21{n.m[1][0]}, b22{n.m[1][1]};
    const Signed s1 = plus(a21, a22), s2 = minus(s1, a11), s3 = minus(a11, a21),
                 s4 = minus(a12, s2);
    const Signed t1 = minus(b12, b11), t2 = minus(b22, t1), t3 = minus(b22, b12),
                 t4 = minus(t2, b21);
    const Signed p1 = times(a11, b11, t), p5 = times(s1, t1, t);
    const Signed u2 = plus(p1, times(s2, t2, t)), u3 = plus(u2, times(s3, t3, t));
    m.m[0][0] = plus(p1, times(a12, b21, t)).mag;
    m.m[0][1] = plus(plus(u2, p5), times(s4, b22, t)).mag;
    m.m[1][0] = minus(u3, times(a22, t4, t)).mag;
    m.m[1][1] = plus(u3, p5).mag;
}

// M := M N
void push_matrix(HalfGcdMatrix &m, const HalfGcdMatrix &n, const Tuning &t) {
    if (std::min(m.m[1][1].size(), n.m[1][1].size()) * 4 >= t.hgcd) {
        push_matrix_strassen(m, n, t);
        m.odd = m.odd != n.odd;
        return;
    }
    for (auto &row : m.m) {
        Nat first = mul_add(row[0], n.m[0][0], row[1], n.m[1][0], t);
        row[1] = mul_add(row[0], n.m[0][1], row[1], n.m[1][1], t);
        row[0] = std::move(first);
    }
    m.odd = m.odd != n.odd;
}

// M := M L for a Lehmer matrix L.
void push_lehmer(HalfGcdMatrix &m, const Matrix &l) {
    for (auto &row : m.m)
        mul_pair(row[0], row[1], l.m[0][0], l.m[1][0], l.m[0][1], l.m[1][1]);
    m.odd = m.odd != l.odd;
}

// Collects the steps into one matrix.
class MatrixSink final : public StepSink {
  public:
    explicit MatrixSink(const Tuning &t) : t_(t) {}
    void quotient(const Nat &q) override { push_quotient(m, q, t_); }
    void lehmer(const Matrix &l) override { push_lehmer(m, l); }
    void steps(const HalfGcdMatrix &n) override {
        if (m.identity())
            m = n;
        else
            push_matrix(m, n, t_);
    }
    HalfGcdMatrix m;

  private:
    const Tuning &t_;
};

// One or more Euclid steps whose new b stays at least 2^s; false if the next
// remainder is below it.
bool step(Nat &a, Nat &b, uint64_t s, StepSink *sink, const Tuning &t) {
    if (a.size() >= 3) {
        const Matrix l = lehmer_matrix(a, b, s);
        if (!l.identity()) {
            apply_matrix(a, b, l);
            if (sink)
                sink->lehmer(l);
            return true;
        }
    }
    Nat q, r;
    divrem(a, b, &q, &r, t);
    if (bit_length(r) <= s)
        return false;
    a = std::exchange(b, std::move(r));
    if (sink)
        sink->quotient(q);
    return true;
}

// The last quotient q of M = M' [[q, 1], [1, 0]], M != I. Each row of M is q
// times that of M' plus the other entry of M'; the quotient of the entries
// overshoots q only where M' is [[1, 1], [1, 0]] (first row) or
// [[x, 1], [1, 0]] [[1, 1], [1, 0]] (second row), so the smaller one is q.
Nat last_quotient(const HalfGcdMatrix &m, const Tuning &t) {
    if (m.m[1][1].empty())
        return m.m[0][0];
    Nat q0, q1;
    divrem(m.m[0][0], m.m[0][1], &q0, nullptr, t);
    divrem(m.m[1][0], m.m[1][1], &q1, nullptr, t);
    return compare(q0, q1) <= 0 ? q0 : q1;
}

// Undoes the last step: M := M [[q, 1], [1, 0]]^-1, (a, b) := (q a + b, a).
void undo_step(HalfGcdMatrix &m, Nat &a, Nat &b, const Tuning &t) {
    const Nat q = last_quotient(m, t);
    for (auto &row : m.m) {
        Nat other = sub(row[0], mul(q, row[1], t));
        row[0] = std::move(row[1]);
        row[1] = std::move(other);
    }
    m.odd = !m.odd;
    b = std::exchange(a, add(mul(q, a, t), b));
}

Nat low_bits(const Nat &a, uint64_t p) {
    const size_t limbs = std::min<size_t>(a.size(), (p + kLimbBits - 1) / kLimbBits);
    Nat r(a.begin(), a.begin() + long(limbs));
    if (limbs * kLimbBits > p)
        r.back() &= (Limb(1) << (p % kLimbBits)) - 1;
    normalize(r);
    return r;
}

// hi 2^p + (x - y), or minus (x - y) when negate; the result is known to be
// positive.
Nat rejoin(const Nat &hi, uint64_t p, const Nat &x, const Nat &y, bool negate) {
    Nat r = shift_left(hi, p);
    const bool x_larger = compare(x, y) >= 0;
    const Nat d = x_larger ? sub(x, y) : sub(y, x);
    return x_larger != negate ? add(r, d) : sub(r, d);
}

// The half-gcd of the bits of (a, b) above bit p, applied to the whole pair:
// M^-1 (a, b) = 2^p M^-1 (a_hi, b_hi) + M^-1 (a_lo, b_lo). With n1 bits in
// a_hi and s1 = n1/2 + 1, the entries of M are below 2^(n1 - s1) <= 2^(s1 - 1)
// while b_hi >= 2^s1, so both results exceed 2^(p + s1 - 1).
HalfGcdMatrix reduce_top(Nat &a, Nat &b, uint64_t p, const Tuning &t) {
    Nat a_hi = shift_right(a, p), b_hi = shift_right(b, p);
    if (compare(a_hi, b_hi) <= 0)
        return {};
    MatrixSink sink(t);
    if (!hgcd(a_hi, b_hi, t, &sink))
        return {};
    HalfGcdMatrix &m = sink.m;
    const Nat a_lo = low_bits(a, p), b_lo = low_bits(b, p);
    const auto &[r0, r1] = m.m;
    a = rejoin(a_hi, p, mul(r1[1], a_lo, t), mul(r0[1], b_lo, t), m.odd);
    b = rejoin(b_hi, p, mul(r0[0], b_lo, t), mul(r1[0], a_lo, t), m.odd);
    if (compare(a, b) <= 0)
        undo_step(m, a, b, t);
    return m;
}

} // namespace

bool hgcd(Nat &a, Nat &b, const Tuning &t, StepSink *sink) {
    cancel_point();
    const uint64_t n = bit_length(a), s = n / 2 + 1;
    if (bit_length(b) <= s)
        return false;
    bool any = false;
    auto take = [&](const HalfGcdMatrix &m) {
        if (!m.identity() && sink)
            sink->steps(m);
        any = any || !m.identity();
    };
    if (a.size() >= t.hgcd) {
        // The top n - s bits give b >= 2^s; steps then bring a to 3n/4 bits.
        take(reduce_top(a, b, s, t));
        for (; bit_length(a) > 3 * n / 4 + 1; any = true)
            if (!step(a, b, s, sink, t))
                return any;
        // The top 2k - 2s - 1 bits of a of k bits reduce it to about s bits;
        // p + s1 - 1 = s keeps b >= 2^s.
        take(reduce_top(a, b, 2 * s - bit_length(a) + 1, t));
    }
    for (; step(a, b, s, sink, t); any = true) {
    }
    return any;
}

} // namespace karvo::kernel
