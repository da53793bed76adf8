// The power-of-two transforms eight values at a time with AVX-512 IFMA, whose
// 52-bit multiply-add gives Shoup's product modulo p < 2^50 in three
// instructions. Stages of 8 or more apart load their pairs straight; the
// last three (4, 2 and 1 apart) work on 16 values in two registers, regrouped
// so that each butterfly's pair sits in the same lane of two registers.
#include "kernels/ntt.h"

// This file alone is compiled for AVX-512 IFMA; nothing in it runs before
// ifma::available() (elsewhere) has said yes.
#if defined(__AVX512F__) && defined(__AVX512IFMA__)
#include <immintrin.h>

#include <array>

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

// x - 2p when x >= 2p.
inline __m512i fold(__m512i x, const Constants &c) {
    return _mm512_mask_sub_epi64(x, _mm512_cmpge_epu64_mask(x, c.p2), x, c.p2);
}

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

Regroup regroup(size_t len, const Twiddles &t) {
    std::array<long long, 8> first{}, second{}, lo{}, hi{}, w{}, ws{};
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
        for (const auto &[src, offset] : {std::pair{&first, 0}, std::pair{&second, 8}}) {
            const size_t i = size_t((*src)[k]);
            (i < 8 ? lo : hi)[i % 8] = (long long)(k + size_t(offset));
        }
    }
    return {_mm512_loadu_si512(first.data()), _mm512_loadu_si512(second.data()),
            _mm512_loadu_si512(lo.data()),    _mm512_loadu_si512(hi.data()),
            _mm512_loadu_si512(w.data()),     _mm512_loadu_si512(ws.data())};
}

} // namespace

void forward(Limb p, Limb *x, size_t m, const Twiddles &t) {
    const Constants c{_mm512_set1_epi64((long long)p), _mm512_set1_epi64((long long)(2 * p)),
                      _mm512_set1_epi64((1ll << 52) - 1)};
    for (size_t len = m / 2; len >= 8; len /= 2) {
        for (size_t start = 0; start < m; start += 2 * len) {
            Limb *a = x + start, *b = a + len;
            for (size_t j = 0; j < len; j += 8) {
                __m512i u = _mm512_loadu_si512(a + j), v = _mm512_loadu_si512(b + j);
                forward_butterfly(u, v, _mm512_loadu_si512(t.w.data() + len + j),
                                  _mm512_loadu_si512(t.shoup.data() + len + j), c);
                _mm512_storeu_si512(a + j, u);
                _mm512_storeu_si512(b + j, v);
            }
        }
    }
    const Regroup r[3] = {regroup(4, t), regroup(2, t), regroup(1, t)};
    for (size_t start = 0; start < m; start += 16) {
        __m512i lo = _mm512_loadu_si512(x + start), hi = _mm512_loadu_si512(x + start + 8);
        for (const Regroup &g : r) {
            __m512i u = _mm512_permutex2var_epi64(lo, g.first, hi);
            __m512i v = _mm512_permutex2var_epi64(lo, g.second, hi);
            forward_butterfly(u, v, g.w, g.ws, c);
            lo = _mm512_permutex2var_epi64(u, g.back_lo, v);
            hi = _mm512_permutex2var_epi64(u, g.back_hi, v);
        }
        _mm512_storeu_si512(x + start, lo);
        _mm512_storeu_si512(x + start + 8, hi);
    }
}

void inverse(Limb p, Limb *x, size_t m, const Twiddles &t) {
    const Constants c{_mm512_set1_epi64((long long)p), _mm512_set1_epi64((long long)(2 * p)),
                      _mm512_set1_epi64((1ll << 52) - 1)};
    const Regroup r[3] = {regroup(1, t), regroup(2, t), regroup(4, t)};
    for (size_t start = 0; start < m; start += 16) {
        __m512i lo = _mm512_loadu_si512(x + start), hi = _mm512_loadu_si512(x + start + 8);
        for (const Regroup &g : r) {
            __m512i u = _mm512_permutex2var_epi64(lo, g.first, hi);
            __m512i v = _mm512_permutex2var_epi64(lo, g.second, hi);
            inverse_butterfly(u, v, g.w, g.ws, c);
            lo = _mm512_permutex2var_epi64(u, g.back_lo, v);
            hi = _mm512_permutex2var_epi64(u, g.back_hi, v);
        }
        _mm512_storeu_si512(x + start, lo);
        _mm512_storeu_si512(x + start + 8, hi);
    }
    for (size_t len = 8; len < m; len *= 2) {
        for (size_t start = 0; start < m; start += 2 * len) {
            Limb *a = x + start, *b = a + len;
            for (size_t j = 0; j < len; j += 8) {
                __m512i u = _mm512_loadu_si512(a + j), v = _mm512_loadu_si512(b + j);
                inverse_butterfly(u, v, _mm512_loadu_si512(t.w.data() + len + j),
                                  _mm512_loadu_si512(t.shoup.data() + len + j), c);
                _mm512_storeu_si512(a + j, u);
                _mm512_storeu_si512(b + j, v);
            }
        }
    }
}

} // namespace karvo::kernel::ntt::ifma

#else
// Without the instructions the scalar transforms do the same work.
namespace karvo::kernel::ntt::ifma {
void forward(Limb p, Limb *x, size_t m, const Twiddles &t) { ntt::forward<52>(p, x, m, t); }
void inverse(Limb p, Limb *x, size_t m, const Twiddles &t) { ntt::inverse<52>(p, x, m, t); }
} // namespace karvo::kernel::ntt::ifma
#endif
