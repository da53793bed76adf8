// Modular powers by a sliding window over the exponent's bits. An odd modulus
// works in Montgomery form (products reduced by REDC, no division); an even
// one reduces each product by division. The loop works in buffers sized once,
// so that no step allocates.
#include <algorithm>
#include <bit>
#include <vector>

#include "kernels/arith.h"
#include "kernels/arith_x86.h"
#include "kernels/cancel.h"
#include "kernels/mul.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

// r += a w over n limbs, returning the carry limb: the product rows inlined
// (when `rows`), since the rows of REDC are short and many.
inline Limb addmul_row(Limb *r, const Limb *a, size_t n, Limb w, bool rows) {
#ifdef KARVO_HAVE_X86_ROWS
    if (rows && n > 0)
        return x86::addmul_1(r, a, n, w);
#endif
    Limb carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const DLimb p = DLimb(a[i]) * w + r[i] + carry;
        r[i] = Limb(p);
        carry = Limb(p >> kLimbBits);
    }
    return carry;
}

// Montgomery arithmetic modulo an odd m of n limbs: x stands for x R mod m,
// R = B^n. Numbers are n limbs, below m.
class Montgomery {
  public:
    Montgomery(const Nat &m, const Tuning &t)
        : m_(m), n_(m.size()), t_(t), neg_inv_(~inverse_mod_limb(m[0]) + 1), rows_(x86::has_rows()),
          product_(2 * n_), scratch_(mul_scratch_size(n_)) {}
    size_t size() const { return n_; }
    // x R mod m for x < m.
    Nat to(const Nat &x) const {
        Nat r;
        divrem(shift_left(x, uint64_t(kLimbBits) * n_), m_, nullptr, &r, t_);
        r.resize(n_, 0);
        return r;
    }
    // x / R mod m, normalised.
    Nat from(const Limb *x) {
        std::copy(x, x + n_, product_.begin());
        std::fill(product_.begin() + long(n_), product_.end(), 0);
        Nat r(n_);
        redc(r.data());
        normalize(r);
        return r;
    }
    // r = a b / R mod m; r may be a or b.
    void mul(Limb *r, const Limb *a, const Limb *b) {
        mul_n(product_.data(), a, b, n_, t_, scratch_.data());
        redc(r);
    }
    void sqr(Limb *r, const Limb *a) {
        kernel::sqr(product_.data(), a, n_, t_, scratch_.data());
        redc(r);
    }

  private:
    // r = product / R mod m for product < m R. Row i clears limb i and leaves
    // its carry there, to be added at limb i + n once all rows are done: no
    // row reads the limbs from n up, so the carries can wait.
    void redc(Limb *r) {
        Limb *t = product_.data();
        for (size_t i = 0; i < n_; ++i)
            t[i] = addmul_row(t + i, m_.data(), n_, t[i] * neg_inv_, rows_);
        // The sum is below 2m: one subtraction at most, a carry out meaning one is due.
        if (add_n(r, t + n_, t, n_) != 0 || cmp_n(r, m_.data(), n_) >= 0)
            sub_n(r, r, m_.data(), n_);
    }

    const Nat &m_;
    size_t n_;
    const Tuning &t_;
    Limb neg_inv_;
    bool rows_;
    std::vector<Limb> product_, scratch_;
};

// The exponent's bits from the top in windows of up to k bits that end in a
// one: square() for each bit, multiply(v) after each window of value v.
// start(v) takes the first window, whose squarings would be of one.
template <class Start, class Square, class Multiply>
void slide(const Nat &e, unsigned k, Start start, Square square, Multiply multiply) {
    const uint64_t bits = bit_length(e);
    auto bit = [&](uint64_t i) { return (e[i / kLimbBits] >> (i % kLimbBits)) & 1; };
    int64_t i = int64_t(bits) - 1;
    bool first = true;
    while (i >= 0) {
        cancel_point();
        if (!bit(uint64_t(i))) {
            square();
            --i;
            continue;
        }
        int64_t low = std::max<int64_t>(i - int64_t(k) + 1, 0);
        while (!bit(uint64_t(low)))
            ++low;
        unsigned value = 0;
        for (int64_t j = i; j >= low; --j) {
            if (!first)
                square();
            value = (value << 1) | unsigned(bit(uint64_t(j)));
        }
        if (first)
            start(value);
        else
            multiply(value);
        first = false;
        i = low - 1;
    }
}

// The window that minimises the products: about bits / (k + 1) for the
// windows and 2^(k-1) for the table, so k + 1 wins over k from
// 2^(k-1) (k + 1) (k + 2) bits on.
unsigned window_for(uint64_t bits) {
    unsigned k = 1;
    while (k < 8 && bits > (uint64_t(1) << (k - 1)) * (k + 1) * (k + 2))
        ++k;
    return k;
}

} // namespace

// base^e mod m for m > 1 and base < m.
Nat powm(View base, View exponent, View modulus, const Tuning &t) {
    const Nat m(trimmed(modulus).begin(), trimmed(modulus).end());
    const Nat e(trimmed(exponent).begin(), trimmed(exponent).end());
    const Nat b(trimmed(base).begin(), trimmed(base).end());
    if (e.empty())
        return {1};
    const unsigned k = window_for(bit_length(e));
    const size_t table_size = size_t(1) << (k - 1); // odd powers b, b^3, ..., b^(2^k - 1)

    if (m[0] & 1) {
        Montgomery mont(m, t);
        const size_t n = mont.size();
        // The odd powers side by side, then b^2, then the accumulator.
        std::vector<Limb> work((table_size + 2) * n);
        auto power = [&](size_t i) { return work.data() + i * n; };
        Limb *b2 = power(table_size), *acc = power(table_size + 1);
        const Nat first = mont.to(b);
        std::copy(first.begin(), first.end(), power(0));
        if (table_size > 1) {
            mont.sqr(b2, power(0));
            for (size_t i = 1; i < table_size; ++i)
                mont.mul(power(i), power(i - 1), b2);
        }
        slide(
            e, k, [&](unsigned v) { std::copy(power(v / 2), power(v / 2) + n, acc); },
            [&] { mont.sqr(acc, acc); }, [&](unsigned v) { mont.mul(acc, acc, power(v / 2)); });
        return mont.from(acc);
    }
    auto reduce = [&](const Nat &x) {
        Nat r;
        divrem(x, m, nullptr, &r, t);
        return r;
    };
    std::vector<Nat> odd_powers(table_size);
    odd_powers[0] = b;
    const Nat b2 = reduce(sqr(b, t));
    for (size_t i = 1; i < table_size; ++i)
        odd_powers[i] = reduce(mul(odd_powers[i - 1], b2, t));
    Nat acc;
    slide(
        e, k, [&](unsigned v) { acc = odd_powers[v / 2]; }, [&] { acc = reduce(sqr(acc, t)); },
        [&](unsigned v) { acc = reduce(mul(acc, odd_powers[v / 2], t)); });
    return acc;
}

} // namespace karvo::kernel
