// Multiplication by number-theoretic transforms, from Tuning::ntt limbs up:
// the limbs are the coefficients of two polynomials, multiplied by cyclic
// convolution modulo three primes of 62 bits (each 2^32 k + 1, so that
// power-of-two transform lengths up to 2^32 exist) and put back together by
// the Chinese remainder theorem. Coefficients of the product are below
// n 2^128 < p1 p2 p3 for any length a record can hold.
#include <algorithm>
#include <array>
#include <vector>

#include "kernels/mul.h"

namespace karvo::kernel {

namespace {

// Arithmetic modulo a prime p < 2^62 in Montgomery form (x R mod p, R = 2^64).
// The transforms keep values below 4p < 2^64 and reduce lazily: a Montgomery
// product of x < 4p by w < p is below 2p without a final subtraction.
class Field {
  public:
    Field(Limb p, Limb generator) : p_(p), generator_(generator) {
        Limb inv = p; // Newton's iteration for p^-1 mod 2^64
        for (int i = 0; i < 6; ++i)
            inv *= 2 - p * inv;
        neg_inv_ = ~inv + 1;
        const Limb r = Limb((DLimb(1) << 64) % p);
        r2_ = Limb(DLimb(r) * r % p);
    }
    Limb p() const { return p_; }
    // t / R mod p in [0, 2p) for t < p R.
    Limb reduce_lazy(DLimb t) const {
        const Limb m = Limb(t) * neg_inv_;
        return Limb((t + DLimb(m) * p_) >> 64);
    }
    Limb reduce(DLimb t) const {
        const Limb u = reduce_lazy(t);
        return u >= p_ ? u - p_ : u;
    }
    Limb mul_lazy(Limb a, Limb b) const { return reduce_lazy(DLimb(a) * b); }
    Limb mul(Limb a, Limb b) const { return reduce(DLimb(a) * b); }
    Limb sub(Limb a, Limb b) const { return a >= b ? a - b : a + p_ - b; } // a, b < p
    // x in [0, 4p) to [0, p).
    Limb normal(Limb x) const {
        if (x >= 2 * p_)
            x -= 2 * p_;
        return x >= p_ ? x - p_ : x;
    }
    // Any 64-bit x, reduced: x < 2^64 < 4.1 p.
    Limb residue(Limb x) const {
        while (x >= p_)
            x -= p_;
        return x;
    }
    Limb to(Limb x) const { return mul(residue(x), r2_); }
    Limb from(Limb x) const { return reduce(x); }
    Limb pow(Limb base, uint64_t e) const { // base and result in Montgomery form
        Limb result = to(1);
        for (; e != 0; e >>= 1, base = mul(base, base)) {
            if (e & 1)
                result = mul(result, base);
        }
        return result;
    }
    // A primitive n-th root of unity, n a power of two dividing p - 1.
    Limb root(size_t n) const { return pow(to(generator_), (p_ - 1) / n); }

  private:
    Limb p_, generator_, neg_inv_, r2_;
};

constexpr Limb kPrimes[3] = {0x3fffffee00000001ull, 0x3fffffb400000001ull, 0x3fffffa000000001ull};
constexpr Limb kGenerators[3] = {3, 19, 3};

// Twiddles stage by stage, each contiguous: table[len + j] = w_{2 len}^j for
// j < len, w_{2 len} the primitive 2 len-th root (or its inverse), in
// Montgomery form.
std::vector<Limb> twiddles(const Field &f, size_t n, bool inverse) {
    std::vector<Limb> table(std::max<size_t>(n, 2));
    if (n < 2)
        return table;
    Limb w = f.root(n);
    if (inverse)
        w = f.pow(w, n - 1);
    const size_t half = n / 2;
    Limb x = f.to(1);
    for (size_t j = 0; j < half; ++j) {
        table[half + j] = x;
        x = f.mul(x, w);
    }
    for (size_t len = half / 2; len >= 1; len /= 2) {
        for (size_t j = 0; j < len; ++j)
            table[len + j] = table[2 * len + 2 * j];
    }
    return table;
}

// Decimation in frequency: natural order in, bit-reversed order out. Values
// stay below 2p between stages.
void forward(const Field &f, Limb *x, size_t n, const std::vector<Limb> &w) {
    const Limb p2 = 2 * f.p();
    for (size_t len = n / 2; len >= 1; len /= 2) {
        const Limb *wl = w.data() + len;
        for (size_t s = 0; s < n; s += 2 * len) {
            Limb *a = x + s, *b = x + s + len;
            for (size_t j = 0; j < len; ++j) {
                const Limb u = a[j], v = b[j];
                const Limb sum = u + v;
                a[j] = sum >= p2 ? sum - p2 : sum;
                b[j] = f.mul_lazy(u - v + p2, wl[j]);
            }
        }
    }
}

// Decimation in time: bit-reversed order in, natural order out (unscaled).
// Values stay below 4p between stages.
void inverse(const Field &f, Limb *x, size_t n, const std::vector<Limb> &w) {
    const Limb p2 = 2 * f.p();
    for (size_t len = 1; len < n; len *= 2) {
        const Limb *wl = w.data() + len;
        for (size_t s = 0; s < n; s += 2 * len) {
            Limb *a = x + s, *b = x + s + len;
            for (size_t j = 0; j < len; ++j) {
                Limb u = a[j];
                u = u >= p2 ? u - p2 : u;
                const Limb v = f.mul_lazy(b[j], wl[j]);
                a[j] = u + v;
                b[j] = u - v + p2;
            }
        }
    }
}

// The cyclic convolution of a and b (or of a with itself) modulo f's prime,
// as plain residues.
std::vector<Limb> convolve(const Field &f, const Limb *a, size_t an, const Limb *b, size_t bn,
                           size_t n) {
    const auto w = twiddles(f, n, false), w_inv = twiddles(f, n, true);
    // Inputs as plain residues: the pointwise Montgomery product then leaves a
    // factor 1/R, taken out with the scaling by 1/n at the end.
    std::vector<Limb> x(n, 0);
    for (size_t i = 0; i < an; ++i)
        x[i] = f.residue(a[i]);
    forward(f, x.data(), n, w);
    if (b == nullptr) {
        for (auto &v : x) {
            v = f.normal(v);
            v = f.mul(v, v);
        }
    } else {
        std::vector<Limb> y(n, 0);
        for (size_t i = 0; i < bn; ++i)
            y[i] = f.residue(b[i]);
        forward(f, y.data(), n, w);
        for (size_t i = 0; i < n; ++i)
            x[i] = f.mul(f.normal(x[i]), f.normal(y[i]));
    }
    inverse(f, x.data(), n, w_inv);
    // x holds n c / R: one Montgomery product by R^2 / n leaves c.
    const Limb scale = f.to(f.pow(f.to(n), f.p() - 2));
    for (auto &v : x)
        v = f.mul(f.normal(v), scale);
    return x;
}

// Puts the coefficients back together (Garner's algorithm) and adds them up
// at their limb positions into r of rn limbs.
void recombine(Limb *r, size_t rn, const std::array<std::vector<Limb>, 3> &residues) {
    const Field f2(kPrimes[1], kGenerators[1]), f3(kPrimes[2], kGenerators[2]);
    const Limb p1 = kPrimes[0], p2 = kPrimes[1];
    const Limb inv_p1_mod_p2 = f2.pow(f2.to(p1), p2 - 2);
    const Limb inv_p1_mod_p3 = f3.pow(f3.to(p1), kPrimes[2] - 2);
    const Limb inv_p2_mod_p3 = f3.pow(f3.to(p2), kPrimes[2] - 2);
    const DLimb p1p2 = DLimb(p1) * p2;
    DLimb carry = 0;
    for (size_t i = 0; i < rn; ++i) {
        Limb x0 = 0, x1 = 0, x2 = 0;
        if (i < residues[0].size()) {
            const Limb v1 = residues[0][i];
            const Limb v2 =
                f2.from(f2.mul(f2.to(f2.sub(residues[1][i], f2.residue(v1))), inv_p1_mod_p2));
            const Limb t = f3.sub(residues[2][i], f3.residue(v1));
            const Limb v3 =
                f3.from(f3.mul(f3.sub(f3.mul(f3.to(t), inv_p1_mod_p3), f3.to(v2)), inv_p2_mod_p3));
            // x = v1 + v2 p1 + v3 p1 p2, below 2^186.
            const DLimb low = DLimb(v2) * p1 + v1;
            const DLimb cross_lo = DLimb(Limb(p1p2)) * v3, cross_hi = DLimb(Limb(p1p2 >> 64)) * v3;
            const DLimb sum0 = DLimb(Limb(low)) + Limb(cross_lo);
            x0 = Limb(sum0);
            const DLimb sum1 = (low >> 64) + (cross_lo >> 64) + Limb(cross_hi) + (sum0 >> 64);
            x1 = Limb(sum1);
            x2 = Limb(cross_hi >> 64) + Limb(sum1 >> 64);
        }
        const DLimb s = DLimb(x0) + Limb(carry);
        r[i] = Limb(s);
        carry = (carry >> 64) + (s >> 64) + ((DLimb(x2) << 64) | x1);
    }
}

void ntt_product(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    const size_t rn = an + (b ? bn : an);
    size_t n = 1;
    while (n < rn - 1)
        n *= 2;
    std::array<std::vector<Limb>, 3> residues;
    for (int k = 0; k < 3; ++k)
        residues[k] = convolve(Field(kPrimes[k], kGenerators[k]), a, an, b, bn, n);
    for (auto &v : residues)
        v.resize(std::min(v.size(), rn - 1));
    recombine(r, rn, residues);
}

} // namespace

void mul_ntt(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    ntt_product(r, a, an, b, bn);
}

void sqr_ntt(Limb *r, const Limb *a, size_t n) { ntt_product(r, a, n, nullptr, 0); }

} // namespace karvo::kernel
