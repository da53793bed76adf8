// Modular powers by a sliding window over the exponent's bits. An odd modulus
// works in Montgomery form (products reduced by REDC, no division); an even
// one reduces each product by division.
#include <algorithm>
#include <bit>
#include <vector>

#include "kernels/arith.h"
#include "kernels/cancel.h"
#include "kernels/mul.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

// Montgomery arithmetic modulo an odd m of n limbs: x stands for x R mod m,
// R = B^n.
class Montgomery {
  public:
    Montgomery(const Nat &m, const Tuning &t) : m_(m), n_(m.size()), t_(t), scratch_(2 * n_ + 1) {
        neg_inv_ = ~inverse_mod_limb(m[0]) + 1;
    }
    // x R mod m for x < m.
    Nat to(const Nat &x) const {
        Nat r;
        divrem(shift_left(x, uint64_t(kLimbBits) * n_), m_, nullptr, &r, t_);
        return padded(r);
    }
    Nat from(const Nat &x) {
        std::fill(scratch_.begin(), scratch_.end(), 0);
        std::copy(x.begin(), x.end(), scratch_.begin());
        return redc();
    }
    // a b / R mod m for a, b of n limbs below m.
    Nat mul(const Nat &a, const Nat &b) {
        if (&a == &b)
            sqr(scratch_.data(), a.data(), n_, t_);
        else
            kernel::mul(scratch_.data(), a.data(), n_, b.data(), n_, t_);
        scratch_[2 * n_] = 0;
        return redc();
    }
    Nat padded(Nat x) const {
        x.resize(n_, 0);
        return x;
    }

  private:
    // scratch / R mod m for scratch < m R.
    Nat redc() {
        Limb *t = scratch_.data();
        for (size_t i = 0; i < n_; ++i) {
            const Limb q = t[i] * neg_inv_;
            const Limb carry = addmul_1(t + i, m_.data(), n_, q);
            add_1(t + i + n_, t + i + n_, n_ + 1 - i, carry);
        }
        Nat r(t + n_, t + 2 * n_ + 1);
        if (r[n_] != 0 || cmp_n(r.data(), m_.data(), n_) >= 0)
            sub(r.data(), r.data(), n_ + 1, m_.data(), n_);
        r.resize(n_);
        return r;
    }

    const Nat &m_;
    size_t n_;
    const Tuning &t_;
    std::vector<Limb> scratch_;
    Limb neg_inv_;
};

// Bits of the exponent from the top, in windows of up to k bits that end in a one.
template <class Square, class Multiply>
void slide(const Nat &e, unsigned k, Square square, Multiply multiply) {
    const uint64_t bits = bit_length(e);
    auto bit = [&](uint64_t i) { return (e[i / kLimbBits] >> (i % kLimbBits)) & 1; };
    int64_t i = int64_t(bits) - 1;
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
            square();
            value = (value << 1) | unsigned(bit(uint64_t(j)));
        }
        multiply(value);
        i = low - 1;
    }
}

unsigned window_for(uint64_t bits) {
    return bits < 24 ? 1 : bits < 100 ? 3 : bits < 700 ? 4 : bits < 2500 ? 5 : 6;
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
        std::vector<Nat> odd_powers(table_size);
        odd_powers[0] = mont.to(b);
        const Nat b2 = mont.mul(odd_powers[0], odd_powers[0]);
        for (size_t i = 1; i < table_size; ++i)
            odd_powers[i] = mont.mul(odd_powers[i - 1], b2);
        Nat acc = mont.to(Nat{1});
        slide(
            e, k, [&] { acc = mont.mul(acc, acc); },
            [&](unsigned v) { acc = mont.mul(acc, odd_powers[v / 2]); });
        Nat r = mont.from(acc);
        normalize(r);
        return r;
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
    Nat acc{1};
    slide(
        e, k, [&] { acc = reduce(sqr(acc, t)); },
        [&](unsigned v) { acc = reduce(mul(acc, odd_powers[v / 2], t)); });
    return acc;
}

} // namespace karvo::kernel
