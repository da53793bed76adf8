// The power-of-two transforms eight values at a time with AVX-512 IFMA, whose
// 52-bit multiply-add gives Shoup's product modulo p < 2^50 in three
// instructions. Stages of 8 or more apart load their pairs straight; the
// last three (4, 2 and 1 apart) work on 16 values in two registers, regrouped
// so that each butterfly's pair sits in the same lane of two registers.
#include "kernels/ntt.h"

// This file alone is compiled for AVX-512 IFMA; nothing in it runs before
// ifma::available() (elsewhere) has said yes.
#include <immintrin.h>

namespace karvo::kernel::ntt::ifma {

namespace {

struct Constants {
    __m512i p, p2, mask;
};

inline __m512i times(__m512i x, __m512i w, __m512i ws, const Constants &c) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i q = _mm512_madd52hi_epu64(zero, x, ws);
    const __m512i r =
        _mm512_sub_epi64(_mm512_madd52lo_epu64(zero, x, w), _mm512_madd52lo_epu64(zero, q, c.p));
    return _mm512_and_si512(r, c.mask);
}

// x - bound when x >= bound.
inline __m512i fold(__m512i x, __m512i bound) {
    return _mm512_mask_sub_epi64(x, _mm512_cmpge_epu64_mask(x, bound), x, bound);
}
inline __m512i fold(__m512i x, const Constants &c) { return fold(x, c.p2); }

Constants constants(Limb p) {
    return {_mm512_set1_epi64((long long)p), _mm512_set1_epi64((long long)(2 * p)),
            _mm512_set1_epi64((1ll << 52) - 1)};
}

inline __m512i load(const Limb *x) { return _mm512_loadu_si512(x); }
inline void store(Limb *x, __m512i v) { _mm512_storeu_si512(x, v); }

inline void forward_butterfly(__m512i &a, __m512i &b, __m512i w, __m512i ws, const Constants &c) {
    const __m512i u = a, v = b;
    a = fold(_mm512_add_epi64(u, v), c);
    b = times(_mm512_add_epi64(u, _mm512_sub_epi64(c.p2, v)), w, ws, c);
}

inline void inverse_butterfly(__m512i &a, __m512i &b, __m512i w, __m512i ws, const Constants &c) {
    const __m512i u = fold(a, c);
    const __m512i v = times(b, w, ws, c);
    a = _mm512_add_epi64(u, v);
    b = _mm512_add_epi64(u, _mm512_sub_epi64(c.p2, v));
}

// A stage whose pairs are `len` apart, len < 8, within 16 values: which
// values go to the first and second register, and how they go back.
struct Regroup {
    __m512i first, second, back_lo, back_hi;
    __m512i w, ws; // the twiddle of each lane
};

Regroup regroup(size_t len, TableView t) {
    alignas(64) long long first[8], second[8], lo[8], hi[8], w[8], ws[8];
    // Lane k holds pair k: value i = 2 len (k / len) + k % len and i + len.
    for (size_t k = 0; k < 8; ++k) {
        const size_t i = 2 * len * (k / len) + k % len;
        first[k] = (long long)i;
        second[k] = (long long)(i + len);
        w[k] = (long long)t.w[len + k % len];
        ws[k] = (long long)t.shoup[len + k % len];
    }
    // Value i comes back from lane k of the first register (index k) or the
    // second (index 8 + k).
    for (size_t k = 0; k < 8; ++k) {
        const size_t i = size_t(first[k]), j = size_t(second[k]);
        (i < 8 ? lo : hi)[i % 8] = (long long)k;
        (j < 8 ? lo : hi)[j % 8] = (long long)(k + 8);
    }
    return {
        load(reinterpret_cast<const Limb *>(first)), load(reinterpret_cast<const Limb *>(second)),
        load(reinterpret_cast<const Limb *>(lo)),    load(reinterpret_cast<const Limb *>(hi)),
        load(reinterpret_cast<const Limb *>(w)),     load(reinterpret_cast<const Limb *>(ws))};
}

} // namespace

namespace {

// One stage whose pairs are len >= 8 apart.
template <class Butterfly>
void wide_stage(Limb *x, size_t m, size_t len, TableView t, Butterfly butterfly) {
    for (size_t start = 0; start < m; start += 2 * len) {
        Limb *a = x + start, *b = a + len;
        for (size_t j = 0; j < len; j += 8) {
            __m512i u = load(a + j), v = load(b + j);
            butterfly(u, v, load(t.w + len + j), load(t.shoup + len + j));
            store(a + j, u);
            store(b + j, v);
        }
    }
}

// The three stages whose pairs are 4, 2 and 1 apart (in the order given),
// sixteen values at a time in two registers.
template <class Butterfly>
void narrow_stages(Limb *x, size_t m, const Regroup (&stages)[3], Butterfly butterfly) {
    for (size_t start = 0; start < m; start += 16) {
        __m512i lo = load(x + start), hi = load(x + start + 8);
        for (const Regroup &g : stages) {
            __m512i u = _mm512_permutex2var_epi64(lo, g.first, hi);
            __m512i v = _mm512_permutex2var_epi64(lo, g.second, hi);
            butterfly(u, v, g.w, g.ws);
            lo = _mm512_permutex2var_epi64(u, g.back_lo, v);
            hi = _mm512_permutex2var_epi64(u, g.back_hi, v);
        }
        store(x + start, lo);
        store(x + start + 8, hi);
    }
}

} // namespace

void forward(Limb p, Limb *x, size_t m, TableView t) {
    const Constants c = constants(p);
    auto butterfly = [&](__m512i &u, __m512i &v, __m512i w, __m512i ws) {
        forward_butterfly(u, v, w, ws, c);
    };
    for (size_t len = m / 2; len >= 8; len /= 2)
        wide_stage(x, m, len, t, butterfly);
    const Regroup stages[3] = {regroup(4, t), regroup(2, t), regroup(1, t)};
    narrow_stages(x, m, stages, butterfly);
}

void inverse(Limb p, Limb *x, size_t m, TableView t) {
    const Constants c = constants(p);
    auto butterfly = [&](__m512i &u, __m512i &v, __m512i w, __m512i ws) {
        inverse_butterfly(u, v, w, ws, c);
    };
    const Regroup stages[3] = {regroup(1, t), regroup(2, t), regroup(4, t)};
    narrow_stages(x, m, stages, butterfly);
    for (size_t len = 8; len < m; len *= 2)
        wide_stage(x, m, len, t, butterfly);
}

void radix3_forward(Limb p, Limb *x, size_t m, const Radix3View &t) {
    const Constants c = constants(p);
    const __m512i p3 = _mm512_set1_epi64((long long)(3 * p));
    const __m512i omega = _mm512_set1_epi64((long long)t.omega);
    const __m512i omega_shoup = _mm512_set1_epi64((long long)t.omega_shoup);
    for (size_t j = 0; j < m; j += 8) {
        const __m512i x0 = load(x + j), x1 = load(x + j + m), x2 = load(x + j + 2 * m);
        // x0 + w x1 + w^2 x2 = (x0 - x2) + w (x1 - x2), and its conjugate, kept
        // non-negative by multiples of p.
        const __m512i d = _mm512_add_epi64(_mm512_sub_epi64(x1, x2), c.p);
        const __m512i w = times(d, omega, omega_shoup, c); // below 2p
        const __m512i y1 = _mm512_add_epi64(_mm512_add_epi64(_mm512_sub_epi64(x0, x2), c.p), w);
        const __m512i y2 = _mm512_sub_epi64(_mm512_add_epi64(_mm512_sub_epi64(x0, x1), p3), w);
        store(x + j, fold(_mm512_add_epi64(_mm512_add_epi64(x0, x1), x2), c));
        store(x + j + m, times(y1, load(t.w1 + j), load(t.s1 + j), c));
        store(x + j + 2 * m, times(y2, load(t.w2 + j), load(t.s2 + j), c));
    }
}

namespace {

// Values below 8p to below p.
inline __m512i reduce_8p(__m512i x, const Constants &c) {
    x = fold(x, _mm512_add_epi64(c.p2, c.p2));
    return fold(fold(x, c.p2), c.p);
}

} // namespace

void radix3_inverse(Limb p, Limb *x, size_t m, const Radix3View &t) {
    const Constants c = constants(p);
    const __m512i p4 = _mm512_add_epi64(c.p2, c.p2);
    const __m512i omega = _mm512_set1_epi64((long long)t.omega);
    const __m512i omega_shoup = _mm512_set1_epi64((long long)t.omega_shoup);
    for (size_t j = 0; j < m; j += 8) {
        const __m512i y0 = fold(fold(load(x + j), c.p2), c.p); // below p
        const __m512i z1 = times(load(x + j + m), load(t.w1 + j), load(t.s1 + j), c);
        const __m512i z2 = times(load(x + j + 2 * m), load(t.w2 + j), load(t.s2 + j), c);
        // y0 + w^2 z1 + w z2 = (y0 - z1) - w (z1 - z2), and
        // y0 + w z1 + w^2 z2 = (y0 - z2) + w (z1 - z2).
        const __m512i w =
            times(_mm512_add_epi64(_mm512_sub_epi64(z1, z2), c.p2), omega, omega_shoup, c);
        store(x + j, reduce_8p(_mm512_add_epi64(_mm512_add_epi64(y0, z1), z2), c));
        store(x + j + m,
              reduce_8p(_mm512_sub_epi64(_mm512_add_epi64(y0, p4), _mm512_add_epi64(z1, w)), c));
        store(x + j + 2 * m,
              reduce_8p(_mm512_add_epi64(_mm512_sub_epi64(_mm512_add_epi64(y0, c.p2), z2), w), c));
    }
}

void normalize(Limb p, Limb *x, size_t n) {
    const Constants c = constants(p);
    for (size_t j = 0; j < n; j += 8)
        store(x + j, fold(fold(load(x + j), c.p2), c.p));
}

// Montgomery's product with R = 2^52: t = x y, m = t (-1/p) mod 2^52, and
// (t + m p) / 2^52, which is below 2p for x y < 2^52 p.
void pointwise(Limb p, Limb neg_inverse, Limb *x, const Limb *y, size_t n) {
    const Constants c = constants(p);
    const __m512i neg_inv = _mm512_set1_epi64((long long)(neg_inverse & ((Limb(1) << 52) - 1)));
    const __m512i zero = _mm512_setzero_si512();
    for (size_t j = 0; j < n; j += 8) {
        const __m512i a = load(x + j), b = load(y + j);
        const __m512i lo = _mm512_madd52lo_epu64(zero, a, b),
                      hi = _mm512_madd52hi_epu64(zero, a, b);
        const __m512i q = _mm512_and_si512(_mm512_madd52lo_epu64(zero, lo, neg_inv), c.mask);
        const __m512i low = _mm512_madd52lo_epu64(lo, q, c.p); // a multiple of 2^52
        const __m512i high = _mm512_madd52hi_epu64(hi, q, c.p);
        store(x + j, _mm512_add_epi64(high, _mm512_maskz_srli_epi64(0xFF, low, 52)));
    }
}

namespace {

template <size_t Count> void garner_for(const GarnerConstants &g, Limb *const t[5], size_t n) {
    Constants c[Count];
    __m512i scale[Count], scale_shoup[Count], weight[Count][Count], weight_shoup[Count][Count],
        prefix[Count][4];
    for (size_t k = 0; k < Count; ++k) {
        c[k] = constants(g.p[k]);
        scale[k] = _mm512_set1_epi64((long long)g.scale[k]);
        scale_shoup[k] = _mm512_set1_epi64((long long)g.scale_shoup[k]);
        for (size_t j = 0; j < k; ++j) {
            weight[k][j] = _mm512_set1_epi64((long long)g.weight[k][j]);
            weight_shoup[k][j] = _mm512_set1_epi64((long long)g.weight_shoup[k][j]);
        }
        for (size_t l = 0; l < 4; ++l)
            prefix[k][l] = _mm512_set1_epi64((long long)g.prefix[k][l]);
    }
    for (size_t i = 0; i < n; i += 8) {
        __m512i v[Count];
        for (size_t k = 0; k < Count; ++k) {
            // Each product is below 2p_k, so the sum of k of them is below 2k p_k;
            // adding 2k p_k keeps the difference positive and below (2k + 2) p_k.
            __m512i sum = _mm512_setzero_si512(), bias = _mm512_setzero_si512();
            for (size_t j = 0; j < k; ++j) {
                sum = _mm512_add_epi64(sum, times(v[j], weight[k][j], weight_shoup[k][j], c[k]));
                bias = _mm512_add_epi64(bias, c[k].p2);
            }
            const __m512i x = times(load(t[k] + i), scale[k], scale_shoup[k], c[k]);
            v[k] = _mm512_sub_epi64(_mm512_add_epi64(x, bias), sum); // below 10 p_k
            v[k] = fold(v[k], _mm512_add_epi64(c[k].p2, _mm512_add_epi64(c[k].p2, c[k].p2)));
            v[k] = reduce_8p(v[k], c[k]);
        }
        // c = sum of v_k prefix_k in 52-bit limbs (prefix_k has at most k of
        // them, four at the most), each sum of a few products below 2^56.
        __m512i acc[5] = {v[0], _mm512_setzero_si512(), _mm512_setzero_si512(),
                          _mm512_setzero_si512(), _mm512_setzero_si512()};
        for (size_t k = 1; k < Count; ++k) {
            for (size_t l = 0; l < k && l < 4; ++l) {
                acc[l] = _mm512_madd52lo_epu64(acc[l], v[k], prefix[k][l]);
                acc[l + 1] = _mm512_madd52hi_epu64(acc[l + 1], v[k], prefix[k][l]);
            }
        }
        for (size_t l = 0; l < 4; ++l) {
            acc[l + 1] = _mm512_add_epi64(acc[l + 1], _mm512_maskz_srli_epi64(0xFF, acc[l], 52));
            acc[l] = _mm512_and_si512(acc[l], c[0].mask);
        }
        // The same bits (below 2^250) as four 64-bit limbs.
        auto up = [](__m512i x, unsigned s) { return _mm512_maskz_slli_epi64(0xFF, x, s); };
        auto down = [](__m512i x, unsigned s) { return _mm512_maskz_srli_epi64(0xFF, x, s); };
        store(t[0] + i, _mm512_or_si512(acc[0], up(acc[1], 52)));
        store(t[1] + i, _mm512_or_si512(down(acc[1], 12), up(acc[2], 40)));
        store(t[2] + i, _mm512_or_si512(down(acc[2], 24), up(acc[3], 28)));
        store(t[3] + i, _mm512_or_si512(down(acc[3], 36), up(acc[4], 16)));
    }
}

} // namespace

void garner(const GarnerConstants &g, Limb *const t[5], size_t n) {
    if (g.count == 4)
        garner_for<4>(g, t, n);
    else
        garner_for<5>(g, t, n);
}

void powers(Limb p, Limb w, size_t count, Limb *out, Limb *quotients) {
    const Constants c = constants(p);
    Limb x = 1;
    for (size_t i = 0; i < 8; ++i) {
        out[i] = x;
        x = Limb(DLimb(x) * w % p);
    }
    // The first 32 by steps of w^8; then four vectors of eight runs each
    // step by w^32, independent chains whose products overlap (one chain
    // waits on each product's latency). out has room for count + 32.
    const __m512i w8 = _mm512_set1_epi64((long long)x);
    const __m512i w8_shoup = _mm512_set1_epi64((long long)((DLimb(x) << 52) / p));
    __m512i runs[4];
    runs[0] = load(out);
    for (size_t k = 1; k < 4; ++k) {
        runs[k] = fold(times(runs[k - 1], w8, w8_shoup, c), c.p);
        store(out + 8 * k, runs[k]);
    }
    Limb w32 = x;
    for (int i = 0; i < 2; ++i)
        w32 = Limb(DLimb(w32) * w32 % p);
    const __m512i by = _mm512_set1_epi64((long long)w32);
    const __m512i by_shoup = _mm512_set1_epi64((long long)((DLimb(w32) << 52) / p));
    for (size_t i = 32; i < count; i += 32) {
        for (size_t k = 0; k < 4; ++k) {
            runs[k] = fold(times(runs[k], by, by_shoup, c), c.p);
            store(out + i + 8 * k, runs[k]);
        }
    }
    // Quotients from a double estimate, off by one at most: the remainder
    // x 2^52 - q p (exact modulo 2^64, and small) says which way.
    const __m512d scale = _mm512_set1_pd(double(Limb(1) << 52) / double(p));
    const __m512i zero = _mm512_setzero_si512();
    const __m512i one = _mm512_set1_epi64(1);
    for (size_t i = 0; i < count; i += 8) {
        const __m512i v = load(out + i);
        __m512i q = _mm512_cvttpd_epi64(_mm512_mul_pd(_mm512_cvtepi64_pd(v), scale));
        const __m512i r =
            _mm512_sub_epi64(_mm512_maskz_slli_epi64(0xFF, v, 52), _mm512_mullo_epi64(q, c.p));
        q = _mm512_mask_sub_epi64(q, _mm512_cmplt_epi64_mask(r, zero), q, one);
        q = _mm512_mask_add_epi64(q, _mm512_cmpge_epi64_mask(r, c.p), q, one);
        store(quotients + i, q);
    }
}

// lo + hi 2^64 = l0 + l1 2^52 + hi 2^64 with l0 below 2^52 and l1 below 2^12,
// so its residue times 2^-64 is l0 2^-64 + l1 2^-12 + hi: three of Shoup's
// products (each in [0, 2p)) and three folds.
void load_residues(Limb p, Limb r_inv, const Piece *pieces, size_t count, Limb *x, size_t n) {
    const Constants c = constants(p);
    const Limb low = r_inv, high = Limb(DLimb(r_inv) * (Limb(1) << 52) % p);
    auto shoup = [&](Limb w) { return _mm512_set1_epi64((long long)((DLimb(w) << 52) / p)); };
    const __m512i w0 = _mm512_set1_epi64((long long)low), s0 = shoup(low);
    const __m512i w1 = _mm512_set1_epi64((long long)high), s1 = shoup(high);
    const __m512i one = _mm512_set1_epi64(1), s_one = shoup(1);
    const __m512i p4 = _mm512_add_epi64(c.p2, c.p2);
    const __m512i even = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
    const __m512i odd = _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1);
    const size_t m = count < n ? count : n, whole = m / 8 * 8;
    for (size_t i = 0; i < whole; i += 8) {
        const __m512i a = _mm512_loadu_si512(pieces + i), b = _mm512_loadu_si512(pieces + i + 4);
        const __m512i lo = _mm512_permutex2var_epi64(a, even, b);
        const __m512i hi = _mm512_permutex2var_epi64(a, odd, b);
        __m512i r = times(_mm512_and_si512(lo, c.mask), w0, s0, c);
        r = _mm512_add_epi64(r, times(_mm512_maskz_srli_epi64(0xFF, lo, 52), w1, s1, c));
        r = _mm512_add_epi64(r, times(hi, one, s_one, c)); // below 6p
        store(x + i, fold(fold(fold(r, p4), c.p2), c.p));
    }
    for (size_t i = whole; i < m; ++i) {
        const Limb lo = pieces[i].lo, hi = pieces[i].hi;
        const Limb r =
            Limb((DLimb(lo & ((Limb(1) << 52) - 1)) * low + DLimb(lo >> 52) * high + hi % p) % p);
        x[i] = r;
    }
    for (size_t i = m; i < n; ++i)
        x[i] = 0;
}

} // namespace karvo::kernel::ntt::ifma
