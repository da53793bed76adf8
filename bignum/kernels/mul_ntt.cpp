// Multiplication by number-theoretic transforms, from Tuning::ntt limbs up.
// The operands are cut into coefficients of b bits (b up to 90, as large as
// the length allows), the polynomials are multiplied by cyclic convolution
// modulo three primes of 62 bits and the coefficients are put back together
// by the Chinese remainder theorem: they are below min(terms) 2^2b, which
// p1 p2 p3 (about 2^186) exceeds. Each prime is 3 c 2^32 + 1, so lengths
// 2^k and 3 2^k both exist; the choice between them keeps the padding small.
#include <algorithm>
#include <array>
#include <bit>
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
    Limb add(Limb a, Limb b) const { return a + b >= p_ ? a + b - p_ : a + b; } // a, b < p
    Limb sub(Limb a, Limb b) const { return a >= b ? a - b : a + p_ - b; }      // a, b < p
    // x in [0, 4p) to [0, p).
    Limb normal(Limb x) const {
        if (x >= 2 * p_)
            x -= 2 * p_;
        return x >= p_ ? x - p_ : x;
    }
    Limb to(Limb x) const { return mul(x % p_, r2_); }
    Limb pow(Limb base, uint64_t e) const { // base and result in Montgomery form
        Limb result = to(1);
        for (; e != 0; e >>= 1, base = mul(base, base)) {
            if (e & 1)
                result = mul(result, base);
        }
        return result;
    }
    Limb inverse(Limb x) const { return pow(x, p_ - 2); }
    // A primitive n-th root of unity, n dividing p - 1, in Montgomery form.
    Limb root(size_t n) const { return pow(to(generator_), (p_ - 1) / n); }

  private:
    Limb p_, generator_, neg_inv_, r2_;
};

constexpr Limb kPrimes[3] = {0x3fffffb400000001ull, 0x3fffff5d00000001ull, 0x3fffff3000000001ull};
constexpr Limb kGenerators[3] = {19, 5, 5};
constexpr unsigned kMaxCoefficientBits = 90;

// A twiddle w as a plain residue with floor(w 2^64 / p), which turns a
// product by w into one high and two low multiplications (Shoup's trick):
// x w - floor(x shoup / 2^64) p lies in [0, 2p) for any 64-bit x.
struct Twiddle {
    Limb w, shoup;
    Limb times(Limb x, Limb p) const { return x * w - Limb((DLimb(x) * shoup) >> 64) * p; }
};

// Twiddles stage by stage, each contiguous: table[len + j] = w^(j m / 2 len)
// for j < len and w a primitive m-th root of unity (Montgomery form).
std::vector<Twiddle> twiddles(const Field &f, Limb w, size_t m) {
    std::vector<Twiddle> table(std::max<size_t>(m, 2));
    const size_t half = m / 2;
    Limb x = f.to(1);
    for (size_t j = 0; j < half; ++j) {
        const Limb plain = f.reduce(x);
        table[half + j] = {plain, Limb((DLimb(plain) << 64) / f.p())};
        x = f.mul(x, w);
    }
    for (size_t len = half / 2; len >= 1; len /= 2) {
        for (size_t j = 0; j < len; ++j)
            table[len + j] = table[2 * len + 2 * j];
    }
    return table;
}

// Decimation in frequency over a power-of-two length m: natural order in,
// bit-reversed order out. Inputs below 2p; values stay below 2p. Two stages
// per pass over the data, the first alone when their number is odd.
void forward(const Field &field, Limb *x, size_t m, const std::vector<Twiddle> &w) {
    const Field f = field; // a local copy: stores through x cannot change it
    const Limb p2 = 2 * f.p();
    const Limb p = f.p();
    auto butterfly = [&](Limb &a, Limb &b, const Twiddle &twiddle) {
        const Limb u = a, v = b;
        const Limb sum = u + v;
        a = sum >= p2 ? sum - p2 : sum;
        b = twiddle.times(u - v + p2, p);
    };
    size_t len = m / 2;
    if (std::countr_zero(m) % 2 == 1) {
        for (size_t j = 0; j < len; ++j)
            butterfly(x[j], x[j + len], w[len + j]);
        len /= 2;
    }
    for (; len >= 4; len /= 4) {
        const size_t h = len / 2;
        const Twiddle *outer = w.data() + len, *inner = w.data() + h;
        for (size_t s = 0; s < m; s += 2 * len) {
            Limb *a = x + s;
            for (size_t j = 0; j < h; ++j) {
                butterfly(a[j], a[j + len], outer[j]);
                butterfly(a[j + h], a[j + h + len], outer[j + h]);
                butterfly(a[j], a[j + h], inner[j]);
                butterfly(a[j + len], a[j + len + h], inner[j]);
            }
        }
    }
    if (len == 2) {
        // The last two stages: every twiddle is 1 but one, a fourth root of unity.
        auto plain = [&](Limb &a, Limb &b) {
            const Limb u = a, v = b;
            const Limb sum = u + v, diff = u - v + p2;
            a = sum >= p2 ? sum - p2 : sum;
            b = diff >= p2 ? diff - p2 : diff;
        };
        const Twiddle i4 = w[3];
        for (size_t s = 0; s < m; s += 4) {
            Limb *a = x + s;
            plain(a[0], a[2]);
            butterfly(a[1], a[3], i4);
            plain(a[0], a[1]);
            plain(a[2], a[3]);
        }
    }
}

// Decimation in time: bit-reversed order in, natural order out (unscaled).
// Values stay below 4p. Two stages per pass, the last alone when odd.
void inverse(const Field &field, Limb *x, size_t m, const std::vector<Twiddle> &w) {
    const Field f = field;
    const Limb p2 = 2 * f.p();
    const Limb p = f.p();
    auto butterfly = [&](Limb &a, Limb &b, const Twiddle &twiddle) {
        Limb u = a;
        u = u >= p2 ? u - p2 : u;
        const Limb v = twiddle.times(b, p);
        a = u + v;
        b = u - v + p2;
    };
    size_t len = 1;
    if (m >= 4) {
        // The first two stages: every twiddle is 1 but one, a fourth root of unity.
        auto plain = [&](Limb &a, Limb &b) {
            Limb u = a, v = b;
            u = u >= p2 ? u - p2 : u;
            v = v >= p2 ? v - p2 : v;
            a = u + v;
            b = u - v + p2;
        };
        const Twiddle i4 = w[3];
        for (size_t s = 0; s < m; s += 4) {
            Limb *a = x + s;
            plain(a[0], a[1]);
            plain(a[2], a[3]);
            plain(a[0], a[2]);
            butterfly(a[1], a[3], i4);
        }
        len = 4;
    }
    for (; 2 * len < m; len *= 4) {
        const size_t big = 2 * len;
        const Twiddle *inner = w.data() + len, *outer = w.data() + big;
        for (size_t s = 0; s < m; s += 2 * big) {
            Limb *a = x + s;
            for (size_t j = 0; j < len; ++j) {
                butterfly(a[j], a[j + len], inner[j]);
                butterfly(a[j + big], a[j + big + len], inner[j]);
                butterfly(a[j], a[j + big], outer[j]);
                butterfly(a[j + len], a[j + big + len], outer[j + len]);
            }
        }
    }
    if (len < m) {
        for (size_t j = 0; j < len; ++j)
            butterfly(x[j], x[j + len], w[len + j]);
    }
}

// The shape of one product: n = 2^k or 3 2^k points of `bits` bits each.
struct Plan {
    size_t n, m; // points, and the power-of-two length of each sub-transform
    bool radix3;
    unsigned bits;
};

// The shortest transform the product fits, with the widest coefficients it
// allows: (an + bn) limbs cut into b-bit pieces, sum of pieces - 1 <= n.
Plan make_plan(size_t an, size_t bn) {
    const uint64_t abits = uint64_t(an) * 64, bbits = uint64_t(bn) * 64;
    // Lengths in increasing order: 2^k, then 3 2^(k-1) on the way to 2^(k+1).
    for (size_t m = 1;; m *= 2) {
        for (const bool radix3 : {false, true}) {
            const size_t n = radix3 ? 3 * m : 2 * m;
            // Fewest bits per point that make the coefficients fit n points.
            const uint64_t least = std::max<uint64_t>(1, (abits + bbits) / (n + 1));
            if (least > kMaxCoefficientBits)
                continue;
            unsigned b = unsigned(least);
            while ((abits + b - 1) / b + (bbits + b - 1) / b - 1 > n)
                ++b;
            const uint64_t terms = std::min((abits + b - 1) / b, (bbits + b - 1) / b);
            if (b <= kMaxCoefficientBits && 2 * b + std::bit_width(terms) <= 185)
                return {n, radix3 ? m : 2 * m, radix3, b};
        }
    }
}

// Coefficient i of a: bits [i b, i b + b), as two limbs (value lo + hi 2^64).
struct Piece {
    Limb lo, hi;
};
Piece piece(const Limb *a, size_t an, uint64_t i, unsigned b) {
    const uint64_t start = i * b;
    const size_t limb = size_t(start / 64);
    const unsigned shift = unsigned(start % 64);
    auto at = [&](size_t k) { return k < an ? a[k] : Limb(0); };
    const DLimb window = (DLimb(at(limb + 1)) << 64) | at(limb);
    DLimb v = window >> shift;
    if (shift + b > 128)
        v |= DLimb(at(limb + 2)) << (128 - shift);
    if (b < 128)
        v &= (DLimb(1) << b) - 1;
    return {Limb(v), Limb(v >> 64)};
}

// The points of a for one prime: residues times R^-1 (a Montgomery reduction
// of the piece, hi < 2^26), zero padded to n.
void load(const Field &f, const Limb *a, size_t an, unsigned b, Limb *x, size_t n) {
    const uint64_t count = (uint64_t(an) * 64 + b - 1) / b;
    for (size_t i = 0; i < n; ++i) {
        if (i < count) {
            const Piece c = piece(a, an, i, b);
            x[i] = f.reduce((DLimb(c.hi) << 64) | c.lo);
        } else {
            x[i] = 0;
        }
    }
}

// The transform of length n = 3 m: one radix-3 pass, then three power-of-two
// transforms of length m (without the radix-3 pass, one of length m = n).
struct Transform {
    const Field &f;
    const Plan &plan;
    Limb omega;                         // a primitive cube root of unity
    std::vector<Twiddle> tw, tw_inv;    // for the length-m transforms
    std::vector<Limb> outer, outer_inv; // w^j and w^-j for j < m (radix 3 only)

    Transform(const Field &field, const Plan &p) : f(field), plan(p), omega(0) {
        const Limb w = f.root(p.n), w_inv = f.inverse(w);
        const Limb wm = p.radix3 ? f.pow(w, 3) : w, wm_inv = f.inverse(wm);
        tw = twiddles(f, wm, p.m);
        tw_inv = twiddles(f, wm_inv, p.m);
        if (p.radix3) {
            omega = f.pow(w, p.m);
            outer.resize(p.m);
            outer_inv.resize(p.m);
            Limb x = f.to(1), y = x;
            for (size_t j = 0; j < p.m; ++j) {
                outer[j] = x;
                outer_inv[j] = y;
                x = f.mul(x, w);
                y = f.mul(y, w_inv);
            }
        }
    }

    void run_forward(Limb *x) const {
        const size_t m = plan.m;
        if (plan.radix3) {
            for (size_t j = 0; j < m; ++j) {
                const Limb x0 = x[j], x1 = x[j + m], x2 = x[j + 2 * m];
                // x0 + w x1 + w^2 x2 = (x0 - x2) + w (x1 - x2), and its conjugate.
                const Limb t = f.mul(f.sub(x1, x2), omega);
                const Limb y1 = f.add(f.sub(x0, x2), t), y2 = f.sub(f.sub(x0, x1), t);
                x[j] = f.add(f.add(x0, x1), x2);
                x[j + m] = f.mul(y1, outer[j]);
                x[j + 2 * m] = f.mul(y2, f.mul(outer[j], outer[j]));
            }
        }
        for (size_t s = 0; s < plan.n; s += m)
            forward(f, x + s, m, tw);
    }

    // Leaves n times the cyclic convolution, in [0, p).
    void run_inverse(Limb *x) const {
        const size_t m = plan.m;
        for (size_t s = 0; s < plan.n; s += m)
            inverse(f, x + s, m, tw_inv);
        if (!plan.radix3) {
            for (size_t j = 0; j < plan.n; ++j)
                x[j] = f.normal(x[j]);
            return;
        }
        for (size_t j = 0; j < m; ++j) {
            const Limb y0 = f.normal(x[j]);
            const Limb z1 = f.mul(f.normal(x[j + m]), outer_inv[j]);
            const Limb z2 = f.mul(f.normal(x[j + 2 * m]), f.mul(outer_inv[j], outer_inv[j]));
            // Conjugate roots: y0 + w^2 z1 + w z2 = (y0 - z1) - w (z1 - z2), and
            // y0 + w z1 + w^2 z2 = (y0 - z2) + w (z1 - z2).
            const Limb t = f.mul(f.sub(z1, z2), omega);
            x[j] = f.add(f.add(y0, z1), z2);
            x[j + m] = f.sub(f.sub(y0, z1), t);
            x[j + 2 * m] = f.add(f.sub(y0, z2), t);
        }
    }
};

// The cyclic convolution of a and b (or of a with itself) modulo f's prime,
// as plain residues.
std::vector<Limb> convolve(const Field &f, const Plan &plan, const Limb *a, size_t an,
                           const Limb *b, size_t bn) {
    const Transform t(f, plan);
    const size_t n = plan.n;
    std::vector<Limb> x(n);
    load(f, a, an, plan.bits, x.data(), n);
    t.run_forward(x.data());
    if (b == nullptr) {
        for (auto &v : x) {
            v = f.normal(v);
            v = f.mul(v, v);
        }
    } else {
        std::vector<Limb> y(n);
        load(f, b, bn, plan.bits, y.data(), n);
        t.run_forward(y.data());
        for (size_t i = 0; i < n; ++i)
            x[i] = f.mul(f.normal(x[i]), f.normal(y[i]));
    }
    t.run_inverse(x.data());
    // x holds n c R^-3 (R^-1 from each load, one from the product): a
    // Montgomery product by R^4 / n leaves c.
    Limb r4 = 1;
    for (int i = 0; i < 4; ++i)
        r4 = f.to(r4);
    const Limb scale = f.mul(r4, f.inverse(f.to(n)));
    for (auto &v : x)
        v = f.mul(v, scale);
    return x;
}

// Adds c 2^shift (c of three limbs, shift < 64) into r from limb `at`.
void add_shifted(Limb *r, size_t rn, size_t at, const Limb c[3], unsigned shift) {
    Limb w[4] = {c[0], c[1], c[2], 0};
    if (shift != 0) {
        w[3] = c[2] >> (64 - shift);
        w[2] = (c[2] << shift) | (c[1] >> (64 - shift));
        w[1] = (c[1] << shift) | (c[0] >> (64 - shift));
        w[0] = c[0] << shift;
    }
    Limb carry = 0;
    size_t k = 0;
    for (; k < 4 && at + k < rn; ++k) {
        const DLimb s = DLimb(r[at + k]) + w[k] + carry;
        r[at + k] = Limb(s);
        carry = Limb(s >> 64);
    }
    for (size_t i = at + k; carry != 0 && i < rn; ++i)
        carry = ++r[i] == 0;
}

// Puts the coefficients back together (Garner's algorithm) and adds them up
// at their bit positions into r of rn limbs.
void recombine(Limb *r, size_t rn, const Plan &plan, size_t count,
               const std::array<std::vector<Limb>, 3> &residues) {
    const Field f2(kPrimes[1], kGenerators[1]), f3(kPrimes[2], kGenerators[2]);
    const Limb p1 = kPrimes[0], p2 = kPrimes[1];
    // Montgomery forms of the inverses: a product by one leaves x p^-1.
    const Limb inv_p1_mod_p2 = f2.inverse(f2.to(p1));
    const Limb inv_p1p2_mod_p3 = f3.inverse(f3.mul(f3.to(p1), f3.to(p2)));
    const Limb p1_in_f3 = f3.to(p1); // a product by it multiplies by p1
    // The primes differ by less than the smallest: one subtraction reduces.
    auto reduced = [](Limb v, Limb p) { return v >= p ? v - p : v; };
    const DLimb p1p2 = DLimb(p1) * p2;
    std::fill(r, r + rn, 0);
    for (size_t i = 0; i < count; ++i) {
        const Limb v1 = residues[0][i];
        const Limb v2 = f2.mul(f2.sub(residues[1][i], reduced(v1, p2)), inv_p1_mod_p2);
        // v3 = (c3 - v1 - v2 p1) / (p1 p2) mod p3.
        const Limb v2p1 = f3.mul(v2, p1_in_f3);
        const Limb t = f3.sub(f3.sub(residues[2][i], reduced(v1, kPrimes[2])), v2p1);
        const Limb v3 = f3.mul(t, inv_p1p2_mod_p3);
        // c = v1 + v2 p1 + v3 p1 p2, below 2^186.
        const DLimb low = DLimb(v2) * p1 + v1;
        const DLimb cross_lo = DLimb(Limb(p1p2)) * v3, cross_hi = DLimb(Limb(p1p2 >> 64)) * v3;
        const DLimb sum0 = DLimb(Limb(low)) + Limb(cross_lo);
        const DLimb sum1 = (low >> 64) + (cross_lo >> 64) + Limb(cross_hi) + (sum0 >> 64);
        const Limb c[3] = {Limb(sum0), Limb(sum1), Limb(cross_hi >> 64) + Limb(sum1 >> 64)};
        const uint64_t bit = uint64_t(i) * plan.bits;
        add_shifted(r, rn, size_t(bit / 64), c, unsigned(bit % 64));
    }
}

void ntt_product(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    const size_t rn = an + (b ? bn : an);
    const Plan plan = make_plan(an, b ? bn : an);
    const uint64_t count = (uint64_t(rn) * 64 + plan.bits - 1) / plan.bits;
    std::array<std::vector<Limb>, 3> residues;
    for (int k = 0; k < 3; ++k)
        residues[k] = convolve(Field(kPrimes[k], kGenerators[k]), plan, a, an, b, bn);
    recombine(r, rn, plan, std::min<size_t>(count, plan.n), residues);
}

} // namespace

void mul_ntt(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    ntt_product(r, a, an, b, bn);
}

void sqr_ntt(Limb *r, const Limb *a, size_t n) { ntt_product(r, a, n, nullptr, 0); }

} // namespace karvo::kernel
