// Arithmetic modulo word-sized primes and the power-of-two transforms the
// multiplication by number-theoretic transforms is built on.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "kernels/limb.h"

namespace karvo::kernel::ntt {

// A coefficient of an operand, lo + hi 2^64, cut once for all the primes.
struct Piece {
    Limb lo, hi;
};

// Arithmetic modulo a prime p < 2^62 in Montgomery form (x R mod p, R = 2^64).
// A Montgomery product of x < 4p by w < p is below 2p without a final
// subtraction.
class Field {
  public:
    constexpr Field() = default;
    constexpr Field(Limb p, Limb generator)
        : p_(p), generator_(generator), neg_inv_(~inverse_mod_limb(p) + 1),
          r2_(Limb(DLimb((DLimb(1) << 64) % p) * ((DLimb(1) << 64) % p) % p)) {}
    constexpr Limb p() const { return p_; }
    constexpr Limb generator() const { return generator_; }
    constexpr Limb neg_inverse() const { return neg_inv_; } // -p^-1 mod 2^64
    // t / R mod p in [0, 2p) for t < p R.
    constexpr Limb reduce_lazy(DLimb t) const {
        const Limb m = Limb(t) * neg_inv_;
        return Limb((t + DLimb(m) * p_) >> 64);
    }
    constexpr Limb reduce(DLimb t) const {
        const Limb u = reduce_lazy(t);
        return u >= p_ ? u - p_ : u;
    }
    constexpr Limb mul(Limb a, Limb b) const { return reduce(DLimb(a) * b); }
    constexpr Limb add(Limb a, Limb b) const {
        return a + b >= p_ ? a + b - p_ : a + b;
    }                                                                                // a, b < p
    constexpr Limb sub(Limb a, Limb b) const { return a >= b ? a - b : a + p_ - b; } // a, b < p
    // x in [0, 4p) to [0, p).
    constexpr Limb normal(Limb x) const {
        if (x >= 2 * p_)
            x -= 2 * p_;
        return x >= p_ ? x - p_ : x;
    }
    constexpr Limb to(Limb x) const { return mul(x % p_, r2_); }
    // base and result in Montgomery form
    constexpr Limb pow(Limb base, uint64_t e) const {
        Limb result = to(1);
        for (; e != 0; e >>= 1, base = mul(base, base)) {
            if (e & 1)
                result = mul(result, base);
        }
        return result;
    }
    constexpr Limb inverse(Limb x) const { return pow(x, p_ - 2); }
    // 1/n for n dividing p - 1, in Montgomery form: n (p - 1) / n = -1.
    constexpr Limb inverse_of_divisor(Limb n) const { return to(p_ - (p_ - 1) / n); }

  private:
    Limb p_ = 0, generator_ = 0, neg_inv_ = 0, r2_ = 0;
};

// floor(w 2^bits / p) for w < p < 2^62, bits <= 64. For 52 bits and p < 2^50
// a double estimate is off by one at most and the remainder fits a signed
// limb; otherwise a long double estimate (off by a few units) is corrected
// in 128 bits.
class ShoupQuotient {
  public:
    ShoupQuotient(Limb p, unsigned bits)
        : p_(p), bits_(bits), top_(bits == 64 ? ~Limb(0) : (Limb(1) << bits) - 1),
          scale_((bits == 64 ? 18446744073709551616.0L : (long double)(Limb(1) << bits)) /
                 (long double)p),
          scale52_(double(Limb(1) << 52) / double(p)) {}
    Limb operator()(Limb w) const {
        if (bits_ == 52 && p_ < (Limb(1) << 50)) {
            // Signed conversions: one instruction each way, and w, q < 2^53.
            Limb q = Limb(int64_t(double(int64_t(w)) * scale52_));
            const int64_t r = int64_t((w << 52) - q * p_); // exact: |r| < 2p
            if (r < 0)
                --q;
            else if (r >= int64_t(p_))
                ++q;
            return q;
        }
        const long double estimate = (long double)w * scale_;
        Limb q = estimate >= (long double)top_ ? top_ : Limb(estimate);
        const DLimb target = DLimb(w) << bits_;
        while (DLimb(q) * p_ > target)
            --q;
        while (target - DLimb(q) * p_ >= p_)
            ++q;
        return q;
    }

  private:
    Limb p_;
    unsigned bits_;
    Limb top_;
    long double scale_;
    double scale52_;
};

// Twiddles stage by stage, each contiguous: w[len + j] = root^(j m / 2 len)
// for j < len, as plain residues, with Shoup's quotients
// shoup[i] = floor(w[i] 2^bits / p): then x w[i] - floor(x shoup[i] / 2^bits) p
// lies in [0, 2p) for any x < 2^bits.
struct Twiddles {
    std::vector<Limb> w, shoup;
    // Room for a table of length m; the tables are filled in place so that
    // one set of vectors serves every prime of a product.
    void resize(size_t m) {
        w.resize(std::max<size_t>(m, 2));
        shoup.resize(std::max<size_t>(m, 2));
    }
};
void twiddles(const Field &f, Limb root, size_t m, unsigned bits, Twiddles &out);
// The same table from powers of a root w (plain, with their quotients), the
// table's root being w^stride.
void twiddles_from(const std::vector<Limb> &powers, const std::vector<Limb> &quotients,
                   size_t stride, size_t m, Twiddles &out);
// The table of root^-1 from that of root, without multiplications.
void inverse_twiddles(const Twiddles &t, Limb p, unsigned bits, Twiddles &out);

// In-place transforms of a power-of-two length m with the table of a
// primitive m-th root of unity (inverse: of its inverse). Forward is
// decimation in frequency, natural order in and bit-reversed order out,
// taking and leaving values below 2p; inverse is decimation in time,
// bit-reversed in and natural out, unscaled, leaving values below 4p. The
// quotients in the table have `Bits` bits: 64 for p < 2^62, 52 for p < 2^50.
template <unsigned Bits> void forward(Limb p, Limb *x, size_t m, const Twiddles &w);
template <unsigned Bits> void inverse(Limb p, Limb *x, size_t m, const Twiddles &w);

// The same with AVX-512 (F, DQ and IFMA), eight values per instruction, for
// p < 2^50, 52-bit quotients and m >= 16. Built on x86-64 only (KARVO_NTT_IFMA), run
// only when available() says the processor has the instructions.
namespace ifma {
bool available();
// The tables as plain pointers: the vector code's file, compiled for AVX-512,
// must instantiate nothing (no container member, no shared inline function)
// that the rest of the library could end up calling.
struct TableView {
    const Limb *w, *shoup;
};
void forward(Limb p, Limb *x, size_t m, TableView t);
void inverse(Limb p, Limb *x, size_t m, TableView t);

// The radix-3 pass over 3m values (m a multiple of 8) with the twiddles w^j
// and w^2j for j < m and a primitive cube root of unity omega, all plain
// residues with 52-bit Shoup quotients. Forward takes values below p and
// leaves them below 2p; inverse takes them below 4p and leaves them below p.
struct Radix3View {
    const Limb *w1, *s1, *w2, *s2;
    Limb omega, omega_shoup;
};
struct Radix3 {
    std::vector<Limb> w1, s1, w2, s2;
    Limb omega = 0, omega_shoup = 0;
    Radix3View view() const {
        return {w1.data(), s1.data(), w2.data(), s2.data(), omega, omega_shoup};
    }
};
void radix3_forward(Limb p, Limb *x, size_t m, const Radix3View &t);
void radix3_inverse(Limb p, Limb *x, size_t m, const Radix3View &t);
// Values below 4p to below p; n a multiple of 8.
void normalize(Limb p, Limb *x, size_t n);
// x = x y 2^-52 mod p, below 2p, for x and y below 2p (y may be x); n a
// multiple of 8. neg_inverse is -p^-1 mod 2^64 (Field::neg_inverse()).
void pointwise(Limb p, Limb neg_inverse, Limb *x, const Limb *y, size_t n);
// Garner's step for four or five primes: the mixed-radix digits v_k = t_k
// scale_k - sum over j < k of v_j weight_kj, mod p_k (the constants plain
// residues with 52-bit Shoup quotients), then c = sum of v_k prefix_k,
// prefix_k = p_0 ... p_(k-1) in 52-bit limbs. The residues t (each below its
// prime, n a multiple of 8 of them per prime) are replaced by c's four 64-bit
// limbs: t[l][i] is limb l of coefficient i.
struct GarnerConstants {
    size_t count;
    Limb p[5], scale[5], scale_shoup[5], weight[5][5], weight_shoup[5][5], prefix[5][4];
};
void garner(const GarnerConstants &g, Limb *const t[5], size_t n);
// out[i] = w^i mod p for i < count (count a multiple of 8; out and quotients
// with room for 32 more), plain, with their 52-bit Shoup quotients.
void powers(Limb p, Limb w, size_t count, Limb *out, Limb *quotients);
// x[i] = (lo + hi 2^64) 2^-64 mod p for the first min(count, n) pieces (hi
// below 2^52), zeros up to n: the loads of the transforms, as Field::reduce
// makes them, eight at a time. r_inv is 2^-64 mod p.
void load_residues(Limb p, Limb r_inv, const Piece *pieces, size_t count, Limb *x, size_t n);
} // namespace ifma

// Transforms four values at a time with AVX2 and FMA in double precision, for
// p < 2^50 and lengths n >= 8: signed doubles holding integers within 3p/2 of
// zero. Built on x86-64 only (KARVO_NTT_AVX2), run only when available() says
// so. The twiddle tables have the layout of Twiddles::w, each value a plain
// residue as a double within p/2 of zero. Forward is decimation in frequency
// (natural order in, bit-reversed out), inverse decimation in time, unscaled.
namespace avx2 {
bool available();
void forward(double p, double *x, size_t n, const double *w);
void inverse(double p, double *x, size_t n, const double *w);
// The radix-3 pass over 3n values, n a multiple of 4: w1[j] = w^j and
// w2[j] = w^2j for j < n, omega a primitive cube root of unity. The inverse
// pass with the tables of w^-1 and the same omega undoes the forward one;
// with the forward's tables and omega's conjugate it is, like inverse() with
// the forward table, the forward transform taken in the inverse's order.
struct Radix3 {
    const double *w1, *w2;
    double omega;
};
// The forward pass reads only the first `count` values (the rest are zero).
void radix3_forward(double p, double *x, size_t n, const Radix3 &t, size_t count);
void radix3_inverse(double p, double *x, size_t n, const Radix3 &t);
// x = x y mod p; n a multiple of 4.
void pointwise(double p, double *x, const double *y, size_t n);
// Pieces (below 2^112) cut once for all primes into three integers held as
// doubles: the low limb's 52 low bits, its 12 high bits, and the high limb.
struct PieceParts {
    double *low, *middle, *high;
};
// x[i] = piece i times 2^-64 mod p, within p/2 + 1 of zero, for the first
// count pieces (a multiple of 4 <= n), then zeros up to n: low 2^-64 +
// middle 2^-12 + high, the two constants given as residues within p/2 of
// zero.
void load_pieces(double p, double two_minus_64, double two_minus_12, const PieceParts &parts,
                 size_t count, double *x, size_t n);
// out[i] = w^i mod p within p/2 of zero, for i < count (a multiple of 4).
void powers(double p, double w, size_t count, double *out);
// Garner's mixed-radix digits from the transforms' results x_k (within 3p/2
// of zero): v_k = x_k scale_k - sum over j < k of v_j weight_kj mod p_k, each
// in [0, p_k), written as limbs (v_k may be x_k's memory); n a multiple of 4.
struct GarnerDoubles {
    size_t count;
    double p[5], scale[5], weight[5][5];
};
void garner_digits(const GarnerDoubles &g, const double *const x[5], Limb *const v[5], size_t n);
} // namespace avx2

} // namespace karvo::kernel::ntt
