// Montgomery fields, twiddle tables and the scalar power-of-two transforms:
// radix-2 butterflies, two stages per pass over the data, values reduced
// lazily (below 2p or 4p, so 4p must fit the quotients' width).
#include "kernels/ntt.h"

#include "kernels/isa.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace karvo::kernel::ntt {

void twiddles(const Field &f, Limb root, size_t m, unsigned bits, Twiddles &t) {
    t.resize(m);
    const ShoupQuotient quotient(f.p(), bits);
    const size_t half = m / 2;
    Limb x = f.to(1);
    for (size_t j = 0; j < half; ++j) {
        const Limb plain = f.reduce(x);
        t.w[half + j] = plain;
        t.shoup[half + j] = quotient(plain);
        x = f.mul(x, root);
    }
    for (size_t len = half / 2; len >= 1; len /= 2) {
        for (size_t j = 0; j < len; ++j) {
            t.w[len + j] = t.w[2 * len + 2 * j];
            t.shoup[len + j] = t.shoup[2 * len + 2 * j];
        }
    }
}

void twiddles_from(const std::vector<Limb> &powers, const std::vector<Limb> &quotients,
                   size_t stride, size_t m, Twiddles &t) {
    t.resize(m);
    const size_t half = m / 2;
    for (size_t j = 0; j < half; ++j) {
        t.w[half + j] = powers[stride * j];
        t.shoup[half + j] = quotients[stride * j];
    }
    for (size_t len = half / 2; len >= 1; len /= 2) {
        for (size_t j = 0; j < len; ++j) {
            t.w[len + j] = t.w[2 * len + 2 * j];
            t.shoup[len + j] = t.shoup[2 * len + 2 * j];
        }
    }
}

void inverse_twiddles(const Twiddles &t, Limb p, unsigned bits, Twiddles &inv) {
    // root^-j = -root^(m/2 - j); and for 0 < x < p, p prime, x 2^bits is no
    // multiple of p, so floor((p - x) 2^bits / p) = 2^bits - 1 - floor(x 2^bits / p).
    inv.w.assign(t.w.begin(), t.w.end());
    inv.shoup.assign(t.shoup.begin(), t.shoup.end());
    const Limb top = bits == 64 ? ~Limb(0) : (Limb(1) << bits) - 1;
    for (size_t len = 1; len < t.w.size(); len *= 2) {
        for (size_t j = 1; j < len; ++j) {
            inv.w[len + j] = p - t.w[2 * len - j];
            inv.shoup[len + j] = top - t.shoup[2 * len - j];
        }
    }
}

namespace {

template <unsigned Bits> struct Shoup {
    Limb p;
    // x w mod p in [0, 2p) for x < 2^Bits.
    Limb times(Limb x, Limb w, Limb shoup) const {
        return x * w - Limb((DLimb(x) * shoup) >> Bits) * p;
    }
};

} // namespace

template <unsigned Bits> void forward(Limb p, Limb *x, size_t m, const Twiddles &t) {
    const Shoup<Bits> s{p};
    const Limb p2 = 2 * p;
    const Limb *w = t.w.data(), *ws = t.shoup.data();
    auto butterfly = [&](Limb &a, Limb &b, size_t k) {
        const Limb u = a, v = b;
        const Limb sum = u + v;
        a = sum >= p2 ? sum - p2 : sum;
        b = s.times(u - v + p2, w[k], ws[k]);
    };
    size_t len = m / 2;
    if (std::countr_zero(m) % 2 == 1) {
        for (size_t j = 0; j < len; ++j)
            butterfly(x[j], x[j + len], len + j);
        len /= 2;
    }
    for (; len >= 4; len /= 4) {
        const size_t h = len / 2;
        for (size_t start = 0; start < m; start += 2 * len) {
            Limb *a = x + start;
            for (size_t j = 0; j < h; ++j) {
                butterfly(a[j], a[j + len], len + j);
                butterfly(a[j + h], a[j + h + len], len + j + h);
                butterfly(a[j], a[j + h], h + j);
                butterfly(a[j + len], a[j + len + h], h + j);
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
        for (size_t start = 0; start < m; start += 4) {
            Limb *a = x + start;
            plain(a[0], a[2]);
            butterfly(a[1], a[3], 3);
            plain(a[0], a[1]);
            plain(a[2], a[3]);
        }
    }
}

template <unsigned Bits> void inverse(Limb p, Limb *x, size_t m, const Twiddles &t) {
    const Shoup<Bits> s{p};
    const Limb p2 = 2 * p;
    const Limb *w = t.w.data(), *ws = t.shoup.data();
    auto butterfly = [&](Limb &a, Limb &b, size_t k) {
        Limb u = a;
        u = u >= p2 ? u - p2 : u;
        const Limb v = s.times(b, w[k], ws[k]);
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
        for (size_t start = 0; start < m; start += 4) {
            Limb *a = x + start;
            plain(a[0], a[1]);
            plain(a[2], a[3]);
            plain(a[0], a[2]);
            butterfly(a[1], a[3], 3);
        }
        len = 4;
    }
    for (; 2 * len < m; len *= 4) {
        const size_t big = 2 * len;
        for (size_t start = 0; start < m; start += 2 * big) {
            Limb *a = x + start;
            for (size_t j = 0; j < len; ++j) {
                butterfly(a[j], a[j + len], len + j);
                butterfly(a[j + big], a[j + big + len], len + j);
                butterfly(a[j], a[j + big], big + j);
                butterfly(a[j + len], a[j + big + len], big + j + len);
            }
        }
    }
    if (len < m) {
        for (size_t j = 0; j < len; ++j)
            butterfly(x[j], x[j + len], len + j);
    }
}

bool ifma::available() { return isa() == Isa::avx512; }
// Only x86-64 builds have the AVX2 transforms at all.
bool avx2::available() {
#ifdef KARVO_NTT_AVX2
    static const bool kAvailable = avx2_transforms_supported();
    return kAvailable;
#else
    return false;
#endif
}

template void forward<52>(Limb, Limb *, size_t, const Twiddles &);
template void forward<64>(Limb, Limb *, size_t, const Twiddles &);
template void inverse<52>(Limb, Limb *, size_t, const Twiddles &);
template void inverse<64>(Limb, Limb *, size_t, const Twiddles &);

} // namespace karvo::kernel::ntt
