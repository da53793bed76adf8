// The power-of-two and radix-3 transforms four values at a time with AVX2 and
// FMA, in double precision, for primes p < 2^50. Values are signed doubles
// holding integers, kept within a few p of zero. A product modulo p is
// exact in four instructions: h = a b rounded, l = a b - h (exact by FMA),
// q = round(h / p), and (h - q p) + l, whose parts are integers below 2^53.
// Sums are brought back near zero by x - p round(x / p).
#include "kernels/ntt.h"

// This file alone is compiled for AVX2 and FMA; nothing in it runs before
// avx2::available() (elsewhere) has said yes. Nor does it instantiate a
// standard template (std::min, a container's members): the weak symbol that
// makes could be the copy the linker keeps for the whole library.
#include <immintrin.h>

#include <cmath>

namespace karvo::kernel::ntt::avx2 {

namespace {

struct Modulus {
    __m256d p, pinv;
    Modulus() = default;
    explicit Modulus(double prime) : p(_mm256_set1_pd(prime)), pinv(_mm256_set1_pd(1.0 / prime)) {}
};

inline __m256d round(__m256d x) {
    return _mm256_round_pd(x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

// x - p round(x / p): within p/2 + 1 of zero, for |x| < 2^53 (where doubles
// still hold every integer).
inline __m256d reduce(__m256d x, const Modulus &m) {
    return _mm256_fnmadd_pd(round(_mm256_mul_pd(x, m.pinv)), m.p, x);
}

// a w mod p within 5p/4 + 2^48 (about 3p/2) of zero, for |a w / p| < 3 2^50:
// the estimate of a w / p is off by at most 3/4, so the quotient by 5/4, and
// the product's low part l is at most 2^48. Below, "within 3p/2" means this.
inline __m256d times(__m256d a, __m256d w, const Modulus &m) {
    const __m256d h = _mm256_mul_pd(a, w);
    const __m256d l = _mm256_fmsub_pd(a, w, h);
    const __m256d q = round(_mm256_mul_pd(h, m.pinv));
    return _mm256_add_pd(_mm256_fnmadd_pd(q, m.p, h), l);
}

inline __m256d load(const double *x) { return _mm256_loadu_pd(x); }
inline void store(double *x, __m256d v) { _mm256_storeu_pd(x, v); }

// Decimation in frequency: (a, b) to (a + b, (a - b) w). Inputs within 3p/2;
// outputs within p/2 + 1 and 3p/2.
inline void forward_butterfly(__m256d &a, __m256d &b, __m256d w, const Modulus &m) {
    const __m256d s = _mm256_add_pd(a, b), d = _mm256_sub_pd(a, b);
    a = reduce(s, m);
    b = times(d, w, m);
}

// The first of the forward's two stages in one pass leaves its sums
// unreduced, within 3p; the second stage's sums (within 6p) are reduced, and
// its differences' products stay within 3p/2 (|d w / p| < 6p p/2 / p < 3 2^50).
inline void forward_butterfly_lazy(__m256d &a, __m256d &b, __m256d w, const Modulus &m) {
    const __m256d d = _mm256_sub_pd(a, b);
    a = _mm256_add_pd(a, b);
    b = times(d, w, m);
}

// Decimation in time: (a, b) to (a + b w, a - b w), both within p/2 + 1.
inline void inverse_butterfly(__m256d &a, __m256d &b, __m256d w, const Modulus &m) {
    const __m256d t = times(b, w, m);
    const __m256d s = _mm256_add_pd(a, t), d = _mm256_sub_pd(a, t);
    a = reduce(s, m);
    b = reduce(d, m);
}

// The first of the inverse's two stages in one pass leaves its sums and
// differences unreduced, within 3p; the second stage's products take them as
// they are, and its sums (within 9p/2, below 2^53) are reduced to p/2 + 1.
inline void inverse_butterfly_lazy(__m256d &a, __m256d &b, __m256d w, const Modulus &m) {
    const __m256d t = times(b, w, m);
    b = _mm256_sub_pd(a, t);
    a = _mm256_add_pd(a, t);
}

// One stage whose pairs are len >= 4 apart.
template <class Butterfly>
void wide_stage(double *x, size_t n, size_t len, const double *w, Butterfly butterfly) {
    for (size_t start = 0; start < n; start += 2 * len) {
        double *a = x + start, *b = a + len;
        for (size_t j = 0; j < len; j += 4) {
            __m256d u = load(a + j), v = load(b + j);
            butterfly(u, v, load(w + len + j));
            store(a + j, u);
            store(b + j, v);
        }
    }
}

// The stages whose pairs are 2 and 1 apart, eight values in two registers:
// [x0 x1 x4 x5] against [x2 x3 x6 x7], then [x0 x4 x2 x6] against [x1 x5 x3 x7].
template <bool Forward, class First, class Second>
void narrow_stages(double *x, size_t n, const double *w, First first, Second second) {
    const __m256d w2 = _mm256_setr_pd(w[2], w[3], w[2], w[3]), w1 = _mm256_set1_pd(w[1]);
    auto pairs2 = [&](__m256d &lo, __m256d &hi, auto butterfly) {
        __m256d a = _mm256_permute2f128_pd(lo, hi, 0x20), b = _mm256_permute2f128_pd(lo, hi, 0x31);
        butterfly(a, b, w2);
        lo = _mm256_permute2f128_pd(a, b, 0x20);
        hi = _mm256_permute2f128_pd(a, b, 0x31);
    };
    auto pairs1 = [&](__m256d &lo, __m256d &hi, auto butterfly) {
        __m256d a = _mm256_unpacklo_pd(lo, hi), b = _mm256_unpackhi_pd(lo, hi);
        butterfly(a, b, w1);
        lo = _mm256_unpacklo_pd(a, b);
        hi = _mm256_unpackhi_pd(a, b);
    };
    for (size_t start = 0; start < n; start += 8) {
        __m256d lo = load(x + start), hi = load(x + start + 4);
        if (Forward) {
            pairs2(lo, hi, first);
            pairs1(lo, hi, second);
        } else {
            pairs1(lo, hi, first);
            pairs2(lo, hi, second);
        }
        store(x + start, lo);
        store(x + start + 4, hi);
    }
}

} // namespace

namespace {

// Two stages in one pass over the data: pairs len apart, then len / 2 apart
// (forward), or the other way round (inverse), on four values j, j + h,
// j + 2h, j + 3h with h = len / 2 >= 4.
template <bool Forward, class First, class Second>
void double_stage(double *x, size_t n, size_t len, const double *w, First first, Second second) {
    const size_t h = len / 2;
    for (size_t start = 0; start < n; start += 2 * len) {
        double *a = x + start;
        for (size_t j = 0; j < h; j += 4) {
            __m256d a0 = load(a + j), a1 = load(a + j + h), a2 = load(a + j + 2 * h),
                    a3 = load(a + j + 3 * h);
            const __m256d outer0 = load(w + len + j), outer1 = load(w + len + j + h),
                          inner = load(w + h + j);
            if (Forward) {
                first(a0, a2, outer0);
                first(a1, a3, outer1);
                second(a0, a1, inner);
                second(a2, a3, inner);
            } else {
                first(a0, a1, inner);
                first(a2, a3, inner);
                second(a0, a2, outer0);
                second(a1, a3, outer1);
            }
            store(a + j, a0);
            store(a + j + h, a1);
            store(a + j + 2 * h, a2);
            store(a + j + 3 * h, a3);
        }
    }
}

} // namespace

void forward(double p, double *x, size_t n, const double *w) {
    const Modulus m(p);
    auto butterfly = [&](__m256d &u, __m256d &v, __m256d t) { forward_butterfly(u, v, t, m); };
    auto lazy = [&](__m256d &u, __m256d &v, __m256d t) { forward_butterfly_lazy(u, v, t, m); };
    size_t len = n / 2;
    for (; len >= 8; len /= 4)
        double_stage<true>(x, n, len, w, lazy, butterfly);
    if (len == 4)
        wide_stage(x, n, len, w, butterfly);
    narrow_stages<true>(x, n, w, lazy, butterfly);
}

void inverse(double p, double *x, size_t n, const double *w) {
    const Modulus m(p);
    auto butterfly = [&](__m256d &u, __m256d &v, __m256d t) { inverse_butterfly(u, v, t, m); };
    auto lazy = [&](__m256d &u, __m256d &v, __m256d t) { inverse_butterfly_lazy(u, v, t, m); };
    narrow_stages<false>(x, n, w, lazy, butterfly);
    // The stages from 4 apart up, in pairs from the top down as forward
    // takes them: a lone stage, if any, is the one 4 apart.
    size_t stages = 0;
    for (size_t len = 4; len < n; len *= 2)
        ++stages;
    size_t len = 4;
    if (stages % 2 == 1) {
        wide_stage(x, n, len, w, butterfly);
        len *= 2;
    }
    for (; len < n; len *= 4)
        double_stage<false>(x, n, 2 * len, w, lazy, butterfly);
}

void radix3_forward(double p, double *x, size_t n, const Radix3 &t, size_t count) {
    const Modulus m(p);
    const __m256d omega = _mm256_set1_pd(t.omega);
    // Where the values from `count` on are zero: the third block from j on,
    // then the second too.
    auto from = [&](size_t blocks) {
        const size_t j = count > blocks * n ? (count - blocks * n + 3) / 4 * 4 : 0;
        return j < n ? j : n;
    };
    const size_t third_zero = from(2), second_zero = from(1);
    size_t j = 0;
    for (; j < third_zero; j += 4) {
        const __m256d x0 = load(x + j), x1 = load(x + j + n), x2 = load(x + j + 2 * n);
        // x0 + w x1 + w^2 x2 = (x0 - x2) + w (x1 - x2), and its conjugate.
        const __m256d u = times(_mm256_sub_pd(x1, x2), omega, m);
        const __m256d y1 = _mm256_add_pd(_mm256_sub_pd(x0, x2), u);
        const __m256d y2 = _mm256_sub_pd(_mm256_sub_pd(x0, x1), u);
        store(x + j, reduce(_mm256_add_pd(_mm256_add_pd(x0, x1), x2), m));
        store(x + j + n, times(y1, load(t.w1 + j), m));
        store(x + j + 2 * n, times(y2, load(t.w2 + j), m));
    }
    for (; j < second_zero; j += 4) {
        const __m256d x0 = load(x + j), x1 = load(x + j + n);
        const __m256d u = times(x1, omega, m);
        store(x + j, reduce(_mm256_add_pd(x0, x1), m));
        store(x + j + n, times(_mm256_add_pd(x0, u), load(t.w1 + j), m));
        store(x + j + 2 * n, times(_mm256_sub_pd(_mm256_sub_pd(x0, x1), u), load(t.w2 + j), m));
    }
    for (; j < n; j += 4) {
        const __m256d x0 = load(x + j);
        store(x + j + n, times(x0, load(t.w1 + j), m));
        store(x + j + 2 * n, times(x0, load(t.w2 + j), m));
    }
}

void radix3_inverse(double p, double *x, size_t n, const Radix3 &t) {
    const Modulus m(p);
    const __m256d omega = _mm256_set1_pd(t.omega);
    for (size_t j = 0; j < n; j += 4) {
        const __m256d y0 = load(x + j);
        const __m256d z1 = times(load(x + j + n), load(t.w1 + j), m);
        const __m256d z2 = times(load(x + j + 2 * n), load(t.w2 + j), m);
        // y0 + w^2 z1 + w z2 = (y0 - z1) - w (z1 - z2), and
        // y0 + w z1 + w^2 z2 = (y0 - z2) + w (z1 - z2).
        const __m256d u = times(_mm256_sub_pd(z1, z2), omega, m);
        store(x + j, reduce(_mm256_add_pd(_mm256_add_pd(y0, z1), z2), m));
        store(x + j + n, reduce(_mm256_sub_pd(_mm256_sub_pd(y0, z1), u), m));
        store(x + j + 2 * n, reduce(_mm256_add_pd(_mm256_sub_pd(y0, z2), u), m));
    }
}

void pointwise(double p, double *x, const double *y, size_t n) {
    const Modulus m(p);
    for (size_t j = 0; j < n; j += 4)
        store(x + j, times(load(x + j), load(y + j), m));
}

// 2^52 as a double: adding it to an integer in [0, 2^52) leaves the integer
// in the low bits of the mantissa, which is how values cross between the
// registers' two views without AVX-512's conversions. (A function, not a
// constant: nothing in this file may run before the processor is checked.)
namespace {
inline __m256d magic52() { return _mm256_set1_pd(4503599627370496.0); }
} // namespace

void load_pieces(double p, double two_minus_64, double two_minus_12, const PieceParts &parts,
                 size_t count, double *x, size_t n) {
    const Modulus m(p);
    const __m256d c64 = _mm256_set1_pd(two_minus_64), c12 = _mm256_set1_pd(two_minus_12);
    size_t i = 0;
    for (; i < count; i += 4) {
        // Two terms within 3p/2 and one below 2^48: below 2^52 together.
        const __m256d t = _mm256_add_pd(times(load(parts.low + i), c64, m),
                                        times(load(parts.middle + i), c12, m));
        store(x + i, reduce(_mm256_add_pd(t, load(parts.high + i)), m));
    }
    for (; i < n; i += 4)
        store(x + i, _mm256_setzero_pd());
}

void powers(double p, double w, size_t count, double *out) {
    const Modulus m(p);
    auto step = [&](double x, double y) {
        const double h = x * y, l = std::fma(x, y, -h);
        const double z = std::fma(-std::nearbyint(h / p), p, h) + l;
        return z - p * std::nearbyint(z / p);
    };
    // w^0 .. w^3, then runs of four by w^4, w^8 and w^16 up to 32 values.
    const double w2 = step(w, w), w4 = step(w2, w2);
    out[0] = 1;
    out[1] = w;
    out[2] = w2;
    out[3] = step(w2, w);
    if (count <= 4)
        return;
    __m256d run[8];
    run[0] = load(out);
    run[1] = reduce(times(run[0], _mm256_set1_pd(w4), m), m);
    const double w8 = step(w4, w4), w16 = step(w8, w8), w32 = step(w16, w16);
    const __m256d by8 = _mm256_set1_pd(w8), by16 = _mm256_set1_pd(w16);
    run[2] = reduce(times(run[0], by8, m), m);
    run[3] = reduce(times(run[1], by8, m), m);
    for (size_t k = 0; k < 4; ++k)
        run[4 + k] = reduce(times(run[k], by16, m), m);
    // Eight independent chains, each stepping by w^32, so that the products'
    // latencies overlap.
    const __m256d by = _mm256_set1_pd(w32);
    size_t i = 0;
    for (;; i += 32) {
        for (size_t k = 0; k < 8; ++k) {
            if (i + 4 * k >= count)
                return;
            store(out + i + 4 * k, run[k]);
        }
#pragma GCC unroll 8
        for (size_t k = 0; k < 8; ++k)
            run[k] = reduce(times(run[k], by, m), m);
    }
}

namespace {

// Garner's digits for `Count` primes, fully unrolled: the moduli and
// constants stay in registers. Each digit waits on the ones before it, so two
// runs of four coefficients go side by side and overlap their latencies.
template <size_t Count>
void garner_digits_of(const GarnerDoubles &g, const double *const x[5], Limb *const v[5],
                      size_t n) {
    const __m256d zero = _mm256_setzero_pd(), kMagic = magic52();
    const __m256i magic = _mm256_castpd_si256(kMagic);
    Modulus m[Count];
    __m256d scale[Count], weight[Count][Count];
    for (size_t k = 0; k < Count; ++k) {
        m[k] = Modulus(g.p[k]);
        scale[k] = _mm256_set1_pd(g.scale[k]);
        for (size_t j = 0; j < k; ++j)
            weight[k][j] = _mm256_set1_pd(g.weight[k][j]);
    }
    auto digit = [&](size_t k, size_t i, const __m256d *before) {
        // Each term within 3p/2: the sum of at most five stays below 2^53.
        __m256d acc = times(load(x[k] + i), scale[k], m[k]);
#pragma GCC unroll 5
        for (size_t j = 0; j < k; ++j)
            acc = _mm256_sub_pd(acc, times(before[j], weight[k][j], m[k]));
        // Within p/2 + 2 of zero: one correction brings it into [0, p).
        acc = reduce(acc, m[k]);
        acc = _mm256_add_pd(acc, _mm256_and_pd(_mm256_cmp_pd(acc, zero, _CMP_LT_OQ), m[k].p));
        const __m256i bits =
            _mm256_sub_epi64(_mm256_castpd_si256(_mm256_add_pd(acc, kMagic)), magic);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(v[k] + i), bits);
        return acc;
    };
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256d first[Count], second[Count];
#pragma GCC unroll 5
        for (size_t k = 0; k < Count; ++k) {
            first[k] = digit(k, i, first);
            second[k] = digit(k, i + 4, second);
        }
    }
    if (i < n) {
        __m256d last[Count];
#pragma GCC unroll 5
        for (size_t k = 0; k < Count; ++k)
            last[k] = digit(k, i, last);
    }
}

} // namespace

void garner_digits(const GarnerDoubles &g, const double *const x[5], Limb *const v[5], size_t n) {
    if (g.count == 4)
        garner_digits_of<4>(g, x, v, n);
    else
        garner_digits_of<5>(g, x, v, n);
}

} // namespace karvo::kernel::ntt::avx2
