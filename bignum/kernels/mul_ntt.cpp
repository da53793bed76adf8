// Multiplication by number-theoretic transforms, from Tuning::ntt limbs up.
// The operands are cut into coefficients of b bits (as large as the length
// allows), the polynomials are multiplied by cyclic convolution
// modulo several primes and the coefficients are put back together by the
// Chinese remainder theorem: they are below min(terms) 2^2b, which the
// product of the primes exceeds. Each prime is 3 c 2^k + 1, so lengths 2^k
// and 3 2^k both exist; the choice between them keeps the padding small.
// Three primes of 62 bits serve plain 64-bit arithmetic; processors with
// AVX-512 IFMA take four or five of 50 bits, whose transforms run eight at a
// time.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <span>
#include <tuple>
#include <vector>

#include "kernels/mul.h"
#include "kernels/ntt.h"

namespace karvo::kernel {

using ntt::Field;

namespace {

constexpr size_t kMaxPrimes = 5;

struct PrimeSet {
    size_t count;
    std::array<Limb, kMaxPrimes> primes, generators;
    unsigned usable_bits; // the product of the primes exceeds 2^usable_bits
    bool vector;          // transforms with IFMA, 52-bit Shoup quotients
};

constexpr PrimeSet kScalarPrimes{
    3,
    {0x3fffffb400000001ull, 0x3fffff5d00000001ull, 0x3fffff3000000001ull},
    {19, 5, 5},
    185,
    false};
// Four primes, or five when the wider coefficients they allow save points.
constexpr PrimeSet kVectorPrimes[2] = {
    {4,
     {0x3fff300000001ull, 0x3ffed00000001ull, 0x3ffe880000001ull, 0x3ffe1c0000001ull},
     {5, 7, 11, 7},
     199,
     true},
    {5,
     {0x3fff300000001ull, 0x3ffed00000001ull, 0x3ffe880000001ull, 0x3ffe1c0000001ull,
      0x3ffc480000001ull},
     {5, 7, 11, 7, 5},
     249,
     true}};
// Pieces of up to 112 bits are below p 2^64 for either set, as a Montgomery
// reduction needs; the primes' product bounds them well before that.
constexpr unsigned kMaxCoefficientBits = 112;

// The shape of one product: n = 2^k or 3 2^k points of `bits` bits each.
struct Plan {
    size_t n, m; // points, and the power-of-two length of each sub-transform
    bool radix3;
    unsigned bits;
};

// The shortest transform the product fits, with the widest coefficients it
// allows: (an + bn) limbs cut into b-bit pieces, sum of pieces - 1 <= n.
Plan make_plan(size_t an, size_t bn, unsigned usable_bits) {
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
            if (b <= kMaxCoefficientBits && 2 * b + std::bit_width(terms) <= usable_bits)
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

// The coefficients of a, cut once for all the primes.
std::vector<Piece> pieces(const Limb *a, size_t an, unsigned b) {
    std::vector<Piece> out((uint64_t(an) * 64 + b - 1) / b);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = piece(a, an, i, b);
    return out;
}

// The points for one prime: residues times R^-1 (a Montgomery reduction of
// the piece, below p 2^64), zero padded to n.
void load(const Field &f, const std::vector<Piece> &pieces, Limb *x, size_t n) {
    const size_t count = std::min(pieces.size(), n);
    for (size_t i = 0; i < count; ++i)
        x[i] = f.reduce((DLimb(pieces[i].hi) << 64) | pieces[i].lo);
    std::fill(x + count, x + n, 0);
}

// Whether a transform of this plan runs on vector instructions: the primes
// are the vector set and each power-of-two piece fills whole registers.
bool runs_vector(const PrimeSet &set, const Plan &plan) { return set.vector && plan.m >= 16; }

// The tables of one transform, kept across the primes of a product so that
// their memory is taken once.
struct Tables {
    ntt::Twiddles tw, tw_inv;            // for the length-m transforms
    std::vector<Limb> outer, outer_inv;  // w^j, w^2j (and inverses) for j < m, radix 3
    std::vector<Limb> powers, quotients; // w^i and Shoup's quotients (vector)
    ntt::ifma::Radix3 radix3, radix3_inv;
};

// The transform of length n = 3 m: one radix-3 pass, then three power-of-two
// transforms of length m (without the radix-3 pass, one of length m = n).
class Transform {
  public:
    Transform(const Field &field, const Plan &plan, bool vector, Tables &tables)
        : f_(field), plan_(plan), vector_(vector), tw_(tables.tw), tw_inv_(tables.tw_inv),
          outer_(tables.outer), outer_inv_(tables.outer_inv), powers_(tables.powers),
          quotients_(tables.quotients), radix3_(tables.radix3), radix3_inv_(tables.radix3_inv) {
        const Limb w = f_.root(plan.n);
        if (vector_)
            vector_tables(w);
        else
            scalar_tables(w);
    }

    // Values below p in, below 2p out.
    void forward(Limb *x) const {
        const size_t m = plan_.m;
        if (plan_.radix3) {
            if (vector_)
                vector_radix3_forward(x);
            else
                scalar_radix3_forward(x);
        }
        for (size_t s = 0; s < plan_.n; s += m) {
            if (vector_)
                vector_forward(x + s);
            else
                ntt::forward<64>(f_.p(), x + s, m, tw_);
        }
    }

    // Values below 4p in; leaves n times the cyclic convolution, below p.
    void inverse(Limb *x) const {
        const size_t m = plan_.m;
        for (size_t s = 0; s < plan_.n; s += m) {
            if (vector_)
                vector_inverse(x + s);
            else
                ntt::inverse<64>(f_.p(), x + s, m, tw_inv_);
        }
        if (vector_)
            vector_finish(x);
        else
            scalar_finish(x);
    }

    // x = x y (y may be x), with the factor 2^-52 (vector) or 2^-64 (scalar).
    void pointwise(Limb *x, const Limb *y) const {
        if (vector_) {
            vector_pointwise(x, y);
            return;
        }
        const Field &f = f_;
        for (size_t i = 0; i < plan_.n; ++i)
            x[i] = f.mul(f.normal(x[i]), f.normal(y[i]));
    }

  private:
    // Twiddles in Montgomery form for the radix-3 pass, 64-bit quotients for
    // the power-of-two transforms.
    void scalar_tables(Limb w) {
        ntt::twiddles(f_, plan_.radix3 ? f_.pow(w, 3) : w, plan_.m, 64, tw_);
        ntt::inverse_twiddles(tw_, f_.p(), 64, tw_inv_);
        if (!plan_.radix3)
            return;
        omega_ = f_.pow(w, plan_.m);
        for (const auto &[root, table] :
             {std::pair{w, &outer_}, std::pair{f_.inverse(w), &outer_inv_}}) {
            table->resize(2 * plan_.m);
            const Limb root2 = f_.mul(root, root);
            Limb x = f_.to(1), y = x;
            for (size_t j = 0; j < plan_.m; ++j) {
                (*table)[2 * j] = x;
                (*table)[2 * j + 1] = y;
                x = f_.mul(x, root);
                y = f_.mul(y, root2);
            }
        }
    }

    // Every table from one run of powers w^i (plain residues with 52-bit
    // quotients), each the last times w by Shoup's product: the power-of-two
    // transforms' root is w^3 (or w), and w^-j = w^(n - j).
    void vector_tables(Limb w) {
        const ntt::ShoupQuotient quotient(f_.p(), 52);
        const size_t n = plan_.n, m = plan_.m, count = plan_.radix3 ? n : n / 2;
        const Limb p = f_.p(), w_plain = f_.reduce(w);
        std::vector<Limb> &powers = powers_, &quotients = quotients_;
        powers.resize(count + 8);
        quotients.resize(count + 8);
#ifdef KARVO_NTT_IFMA
        ntt::ifma::powers(p, w_plain, count, powers.data(), quotients.data());
#else
        const Limb w_shoup = quotient(w_plain);
        Limb x = 1;
        for (size_t i = 0; i < count; ++i) {
            powers[i] = x;
            quotients[i] = quotient(x);
            x = x * w_plain - Limb((DLimb(x) * w_shoup) >> 52) * p;
            x = x >= p ? x - p : x;
        }
#endif
        ntt::twiddles_from(powers, quotients, plan_.radix3 ? 3 : 1, m, tw_);
        ntt::inverse_twiddles(tw_, p, 52, tw_inv_);
        if (!plan_.radix3)
            return;
        auto fill = [&](ntt::ifma::Radix3 &t, bool inverse) {
            for (auto *v : {&t.w1, &t.s1, &t.w2, &t.s2})
                v->resize(m);
            for (size_t j = 0; j < m; ++j) {
                const size_t i1 = inverse && j != 0 ? n - j : j;
                const size_t i2 = inverse && j != 0 ? n - 2 * j : 2 * j; // 2j < n
                t.w1[j] = powers[i1];
                t.s1[j] = quotients[i1];
                t.w2[j] = powers[i2];
                t.s2[j] = quotients[i2];
            }
            t.omega = powers[m];
            t.omega_shoup = quotients[m];
        };
        fill(radix3_, false);
        fill(radix3_inv_, true);
    }

    void scalar_radix3_forward(Limb *x) const {
        const Field &f = f_;
        const size_t m = plan_.m;
        for (size_t j = 0; j < m; ++j) {
            const Limb x0 = x[j], x1 = x[j + m], x2 = x[j + 2 * m];
            // x0 + w x1 + w^2 x2 = (x0 - x2) + w (x1 - x2), and its conjugate.
            const Limb t = f.mul(f.sub(x1, x2), omega_);
            const Limb y1 = f.add(f.sub(x0, x2), t), y2 = f.sub(f.sub(x0, x1), t);
            x[j] = f.add(f.add(x0, x1), x2);
            x[j + m] = f.mul(y1, outer_[2 * j]);
            x[j + 2 * m] = f.mul(y2, outer_[2 * j + 1]);
        }
    }

    void scalar_finish(Limb *x) const {
        const Field &f = f_;
        const size_t m = plan_.m;
        if (!plan_.radix3) {
            for (size_t j = 0; j < plan_.n; ++j)
                x[j] = f.normal(x[j]);
            return;
        }
        for (size_t j = 0; j < m; ++j) {
            const Limb y0 = f.normal(x[j]);
            const Limb z1 = f.mul(f.normal(x[j + m]), outer_inv_[2 * j]);
            const Limb z2 = f.mul(f.normal(x[j + 2 * m]), outer_inv_[2 * j + 1]);
            // Conjugate roots: y0 + w^2 z1 + w z2 = (y0 - z1) - w (z1 - z2), and
            // y0 + w z1 + w^2 z2 = (y0 - z2) + w (z1 - z2).
            const Limb t = f.mul(f.sub(z1, z2), omega_);
            x[j] = f.add(f.add(y0, z1), z2);
            x[j + m] = f.sub(f.sub(y0, z1), t);
            x[j + 2 * m] = f.add(f.sub(y0, z2), t);
        }
    }

#ifdef KARVO_NTT_IFMA
    void vector_radix3_forward(Limb *x) const {
        ntt::ifma::radix3_forward(f_.p(), x, plan_.m, radix3_.view());
    }
    void vector_forward(Limb *x) const { ntt::ifma::forward(f_.p(), x, plan_.m, view(tw_)); }
    void vector_inverse(Limb *x) const { ntt::ifma::inverse(f_.p(), x, plan_.m, view(tw_inv_)); }
    static ntt::ifma::TableView view(const ntt::Twiddles &t) {
        return {t.w.data(), t.shoup.data()};
    }
    void vector_finish(Limb *x) const {
        if (plan_.radix3)
            ntt::ifma::radix3_inverse(f_.p(), x, plan_.m, radix3_inv_.view());
        else
            ntt::ifma::normalize(f_.p(), x, plan_.n);
    }
    void vector_pointwise(Limb *x, const Limb *y) const {
        ntt::ifma::pointwise(f_.p(), f_.neg_inverse(), x, y, plan_.n);
    }
#else
    // Never chosen: no vector prime set without the vector build.
    void vector_radix3_forward(Limb *x) const { scalar_radix3_forward(x); }
    void vector_forward(Limb *x) const { ntt::forward<52>(f_.p(), x, plan_.m, tw_); }
    void vector_inverse(Limb *x) const { ntt::inverse<52>(f_.p(), x, plan_.m, tw_inv_); }
    void vector_finish(Limb *x) const { scalar_finish(x); }
    void vector_pointwise(Limb *x, const Limb *y) const {
        const Field &f = f_;
        for (size_t i = 0; i < plan_.n; ++i)
            x[i] = f.mul(f.normal(x[i]), f.normal(y[i]));
    }
#endif

    const Field &f_;
    const Plan &plan_;
    bool vector_;
    Limb omega_ = 0; // a primitive cube root of unity (Montgomery form)
    ntt::Twiddles &tw_, &tw_inv_;
    std::vector<Limb> &outer_, &outer_inv_, &powers_, &quotients_;
    ntt::ifma::Radix3 &radix3_, &radix3_inv_;
};

// x = the cyclic convolution of a and b (or of a with itself when b is null)
// modulo f's prime, times n R^-2 (R^-1 from each load) and the pointwise
// product's factor (the transforms leave n): Garner's step takes it out.
void convolve(const Field &f, const Plan &plan, bool vector, const std::vector<Piece> &a,
              const std::vector<Piece> *b, std::vector<Limb> &x, std::vector<Limb> &scratch,
              Tables &tables) {
    const Transform t(f, plan, vector, tables);
    const size_t n = plan.n;
    x.resize(n);
    load(f, a, x.data(), n);
    t.forward(x.data());
    if (b == nullptr) {
        t.pointwise(x.data(), x.data());
    } else {
        scratch.resize(n);
        load(f, *b, scratch.data(), n);
        t.forward(scratch.data());
        t.pointwise(x.data(), scratch.data());
    }
    t.inverse(x.data());
}

// Garner's algorithm: from the residues of a coefficient c, the mixed-radix
// digits v_k with c = v_0 + v_1 p_0 + v_2 p_0 p_1 + ..., then c itself. The
// residues come as t_k = n c R^-2 2^-s mod p_k, 2^-s the pointwise product's
// factor; the constants take the factor out.
class Garner {
  public:
    Garner(const PrimeSet &set, size_t n, unsigned pointwise_bits) : count_(set.count) {
        for (size_t k = 0; k < count_; ++k)
            fields_[k] = Field(set.primes[k], set.generators[k]);
        prefix_[0] = {1, 0, 0, 0};
        for (size_t k = 1; k < count_; ++k) {
            // prefix_[k] = p_0 ... p_(k-1), at most four limbs.
            Limb carry = 0;
            for (size_t l = 0; l < 4; ++l) {
                const DLimb t = DLimb(prefix_[k - 1][l]) * set.primes[k - 1] + carry;
                prefix_[k][l] = Limb(t);
                carry = Limb(t >> 64);
            }
        }
        for (size_t k = 0; k < count_; ++k) {
            const Field &f = fields_[k];
            // A Montgomery product by R^3 2^s / n turns t_k into c mod p_k.
            Limb unscale = 1;
            for (int i = 0; i < 3; ++i)
                unscale = f.to(unscale);
            const Limb two_s = f.to(Limb(1) << (pointwise_bits - 1)); // 2^(s-1), doubled below
            unscale = f.mul(f.mul(unscale, f.add(two_s, two_s)), f.inverse(f.to(n)));
            Limb product = f.to(1); // p_0 ... p_(j-1) mod p_k, Montgomery form
            std::array<Limb, kMaxPrimes> weight{};
            for (size_t j = 0; j < k; ++j) {
                weight[j] = product;
                product = f.mul(product, f.to(set.primes[j]));
            }
            // v_k = (c - sum of v_j p_0 ... p_(j-1)) / (p_0 ... p_(k-1)) mod p_k.
            const Limb inverse = f.inverse(product);
            scale_[k] = f.mul(unscale, inverse);
            for (size_t j = 0; j < k; ++j)
                weight_[k][j] = f.mul(weight[j], inverse);
        }
    }

    // The digits v_k (each below its prime) of the coefficient whose residues
    // are t_k, each below its prime.
    template <size_t Count> void digits(const Limb *t, Limb *v) const {
        for (size_t k = 0; k < Count; ++k) {
            const Field &f = fields_[k];
            // A Montgomery product takes any v_j < 2^62.
            Limb sum = 0;
            for (size_t j = 0; j < k; ++j)
                sum = f.add(sum, f.mul(v[j], weight_[k][j]));
            v[k] = f.sub(f.mul(t[k], scale_[k]), sum);
        }
    }

    // c (four limbs, as c < 2^250) from its digits: p_0 ... p_(k-1) has at
    // most k limbs.
    template <size_t Count> std::array<Limb, 4> value(const Limb *v) const {
        std::array<Limb, 4> c{v[0], 0, 0, 0};
        for (size_t k = 1; k < Count; ++k) {
            Limb carry = 0;
            for (size_t l = 0; l < k && l < 4; ++l) {
                const DLimb x = DLimb(v[k]) * prefix_[k][l] + c[l] + carry;
                c[l] = Limb(x);
                carry = Limb(x >> 64);
            }
            for (size_t l = k; l < 4 && carry != 0; ++l) {
                const DLimb x = DLimb(c[l]) + carry;
                c[l] = Limb(x);
                carry = Limb(x >> 64);
            }
        }
        return c;
    }

#ifdef KARVO_NTT_AVX2
    // The constants for residues that lack the pointwise product's R^-1 (as
    // the double transforms leave them), as doubles within p/2 of zero.
    ntt::avx2::GarnerDoubles double_constants() const {
        ntt::avx2::GarnerDoubles g{};
        g.count = count_;
        for (size_t k = 0; k < count_; ++k) {
            const Field &f = fields_[k];
            auto as_double = [&](Limb plain) {
                return plain > f.p() / 2 ? double(plain) - double(f.p()) : double(plain);
            };
            g.p[k] = double(f.p());
            g.scale[k] = as_double(f.reduce(f.reduce(scale_[k])));
            for (size_t j = 0; j < k; ++j)
                g.weight[k][j] = as_double(f.reduce(weight_[k][j]));
        }
        return g;
    }

#endif
#ifdef KARVO_NTT_IFMA
    // The same constants as plain residues with 52-bit Shoup quotients.
    ntt::ifma::GarnerConstants vector_constants() const {
        ntt::ifma::GarnerConstants g{};
        g.count = count_;
        for (size_t k = 0; k < count_; ++k) {
            const Field &f = fields_[k];
            auto plain = [&](Limb montgomery) {
                const Limb x = f.reduce(montgomery);
                return std::pair{x, ntt::ShoupQuotient(f.p(), 52)(x)};
            };
            g.p[k] = f.p();
            std::tie(g.scale[k], g.scale_shoup[k]) = plain(scale_[k]);
            for (size_t j = 0; j < k; ++j)
                std::tie(g.weight[k][j], g.weight_shoup[k][j]) = plain(weight_[k][j]);
            // prefix_[k] (below 2^200) cut into 52-bit limbs.
            for (size_t l = 0; l < 4; ++l) {
                const size_t bit = 52 * l, limb = bit / 64, shift = bit % 64;
                Limb x = prefix_[k][limb] >> shift;
                if (shift > 12 && limb + 1 < 4)
                    x |= prefix_[k][limb + 1] << (64 - shift);
                g.prefix[k][l] = x & ((Limb(1) << 52) - 1);
            }
        }
        return g;
    }
#endif

  private:
    size_t count_;
    std::array<Field, kMaxPrimes> fields_;
    std::array<std::array<Limb, 4>, kMaxPrimes> prefix_{};
    std::array<std::array<Limb, kMaxPrimes>, kMaxPrimes> weight_{};
    std::array<Limb, kMaxPrimes> scale_{};
};

// The product's limbs, written from the bottom: each coefficient is added at
// its bit position into a window of six limbs, and the limbs below the next
// coefficient's position are final and leave the window. The window is six
// named limbs so that it stays in registers.
class Accumulator {
  public:
    Accumulator(Limb *r, size_t rn) : r_(r), rn_(rn) {}

    // Adds c at bit position `bit`, which never decreases from call to call.
    void add(const std::array<Limb, 4> &c, uint64_t bit) {
        while (64 * (base_ + 1) <= bit)
            emit();
        const unsigned shift = unsigned(bit - 64 * base_);
        Limb w0 = c[0], w1 = c[1], w2 = c[2], w3 = c[3], w4 = 0;
        if (shift != 0) {
            w4 = c[3] >> (64 - shift);
            w3 = (c[3] << shift) | (c[2] >> (64 - shift));
            w2 = (c[2] << shift) | (c[1] >> (64 - shift));
            w1 = (c[1] << shift) | (c[0] >> (64 - shift));
            w0 = c[0] << shift;
        }
        DLimb x = DLimb(l0_) + w0;
        l0_ = Limb(x);
        x = DLimb(l1_) + w1 + Limb(x >> 64);
        l1_ = Limb(x);
        x = DLimb(l2_) + w2 + Limb(x >> 64);
        l2_ = Limb(x);
        x = DLimb(l3_) + w3 + Limb(x >> 64);
        l3_ = Limb(x);
        x = DLimb(l4_) + w4 + Limb(x >> 64);
        l4_ = Limb(x);
        l5_ += Limb(x >> 64);
    }

    // Writes what remains, up to the product's length.
    void finish() {
        while (base_ < rn_)
            emit();
    }

  private:
    void emit() {
        if (base_ < rn_)
            r_[base_] = l0_;
        ++base_;
        l0_ = l1_;
        l1_ = l2_;
        l2_ = l3_;
        l3_ = l4_;
        l4_ = l5_;
        l5_ = 0;
    }

    Limb *r_;
    size_t rn_;
    size_t base_ = 0; // the limb of r that l0_ holds
    Limb l0_ = 0, l1_ = 0, l2_ = 0, l3_ = 0, l4_ = 0, l5_ = 0;
};

#ifdef KARVO_NTT_AVX2
// The product by transforms in double precision with AVX2 and FMA: the
// convolution modulo each prime, then Garner's digits four at a time, then
// the coefficients from their digits as in the scalar arithmetic.
class DoubleProduct {
  public:
    DoubleProduct(const PrimeSet &set, const Plan &plan) : set_(set), plan_(plan) {}

    void run(Limb *r, size_t rn, size_t count, const std::vector<Piece> &a,
             const std::vector<Piece> *b) {
        const size_t n = plan_.n;
        // One block for the results of every prime and the second operand's
        // transform. It holds limbs (the loads, then Garner's digits, which
        // replace the results in place) or doubles, always through the
        // vector code's loads and stores.
        // Every value is written before it is read: no need to clear it first.
        const auto storage = std::make_unique_for_overwrite<Limb[]>((set_.count + (b ? 1 : 0)) * n);
        const std::span<Limb> block(storage.get(), (set_.count + (b ? 1 : 0)) * n);
        double *y = b ? as_doubles(block.data() + set_.count * n) : nullptr;
        for (size_t k = 0; k < set_.count; ++k) {
            const Field f(set_.primes[k], set_.generators[k]);
            const double p = double(f.p());
            tables(f);
            Limb *x = block.data() + k * n;
            transform_in(f, a, x);
            if (b != nullptr)
                transform_in(f, *b, reinterpret_cast<Limb *>(y));
            ntt::avx2::pointwise(p, as_doubles(x), b ? y : as_doubles(x), n);
            for (size_t s = 0; s < n; s += plan_.m)
                ntt::avx2::inverse(p, as_doubles(x) + s, plan_.m, w_inv_.data());
            if (plan_.radix3)
                ntt::avx2::radix3_inverse(p, as_doubles(x), plan_.m,
                                          {r3_inv_[0].data(), r3_inv_[1].data(), omega_});
        }
        const Garner garner(set_, n, 64);
        const double *x[kMaxPrimes] = {};
        Limb *v[kMaxPrimes] = {};
        for (size_t k = 0; k < set_.count; ++k) {
            v[k] = block.data() + k * n;
            x[k] = as_doubles(v[k]);
        }
        ntt::avx2::garner_digits(garner.double_constants(), x, v, n);
        if (set_.count == 4)
            combine<4>(garner, v, r, rn, count);
        else
            combine<5>(garner, v, r, rn, count);
    }

  private:
    template <size_t Count>
    void combine(const Garner &garner, Limb *const *v, Limb *r, size_t rn, size_t count) const {
        Accumulator out(r, rn);
        for (size_t i = 0; i < count; ++i) {
            Limb digit[Count];
            for (size_t k = 0; k < Count; ++k)
                digit[k] = v[k][i];
            out.add(garner.value<Count>(digit), uint64_t(i) * plan_.bits);
        }
        out.finish();
    }

    static double signed_residue(const Field &f, Limb x) {
        return x > f.p() / 2 ? double(x) - double(f.p()) : double(x);
    }

    static double *as_doubles(Limb *x) { return reinterpret_cast<double *>(x); }

    // The residues of the pieces, then their transform, in place.
    void transform_in(const Field &f, const std::vector<Piece> &pieces, Limb *x) const {
        const size_t n = plan_.n;
        const double p = double(f.p());
        load(f, pieces, x, n);
        ntt::avx2::from_residues(x, as_doubles(x), n);
        if (plan_.radix3)
            ntt::avx2::radix3_forward(p, as_doubles(x), plan_.m,
                                      {r3_[0].data(), r3_[1].data(), omega_});
        for (size_t s = 0; s < n; s += plan_.m)
            ntt::avx2::forward(p, as_doubles(x) + s, plan_.m, w_.data());
    }

    // Every table from one run of powers of w, a primitive n-th root: the
    // power-of-two transforms' root is w^3 (or w), and w^-j = w^(n - j).
    void tables(const Field &f) {
        const size_t n = plan_.n, m = plan_.m, stride = plan_.radix3 ? 3 : 1;
        const double p = double(f.p());
        powers_.resize(n);
        ntt::avx2::powers(p, signed_residue(f, f.reduce(f.root(n))), n, powers_.data());
        w_.resize(m);
        w_inv_.resize(m);
        for (size_t len = 1; len < m; len *= 2) {
            const size_t step = stride * (m / (2 * len));
            for (size_t j = 0; j < len; ++j) {
                w_[len + j] = powers_[step * j];
                w_inv_[len + j] = powers_[j == 0 ? 0 : n - step * j];
            }
        }
        if (!plan_.radix3)
            return;
        omega_ = powers_[m];
        for (auto &t : {&r3_, &r3_inv_})
            for (auto &v : *t)
                v.resize(m);
        for (size_t j = 0; j < m; ++j) {
            r3_[0][j] = powers_[j];
            r3_[1][j] = powers_[2 * j];
            r3_inv_[0][j] = powers_[j == 0 ? 0 : n - j];
            r3_inv_[1][j] = powers_[j == 0 ? 0 : n - 2 * j];
        }
    }

    const PrimeSet &set_;
    const Plan &plan_;
    std::vector<double> powers_, w_, w_inv_;
    std::array<std::vector<double>, 2> r3_, r3_inv_;
    double omega_ = 0;
};
#endif

template <size_t Count>
void recombine(Limb *r, size_t rn, const Plan &plan, size_t count, const Garner &shared,
               std::vector<std::vector<Limb>> &residues, bool vector) {
    const Garner garner = shared; // a local copy: stores through r cannot change it
#ifdef KARVO_NTT_IFMA
    if (vector) {
        // The coefficients eight at a time, their limbs in place of the residues.
        Limb *t[kMaxPrimes] = {};
        for (size_t k = 0; k < Count; ++k)
            t[k] = residues[k].data();
        ntt::ifma::garner(garner.vector_constants(), t, plan.n);
    }
#endif
    const Limb *from[Count]; // local pointers: stores through r cannot move them
    for (size_t k = 0; k < Count; ++k)
        from[k] = residues[k].data();
    Accumulator out(r, rn);
    for (size_t i = 0; i < count; ++i) {
        Limb t[Count], v[Count];
        for (size_t k = 0; k < Count; ++k)
            t[k] = from[k][i];
        if constexpr (Count >= 4) {
            if (vector) { // the limbs of c already
                out.add({t[0], t[1], t[2], t[3]}, uint64_t(i) * plan.bits);
                continue;
            }
        }
        garner.digits<Count>(t, v);
        out.add(garner.value<Count>(v), uint64_t(i) * plan.bits);
    }
    out.finish();
}

void ntt_product(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const PrimeSet &set) {
    const size_t rn = an + (b ? bn : an);
    const Plan plan = make_plan(an, b ? bn : an, set.usable_bits);
    const size_t count =
        size_t(std::min<uint64_t>((uint64_t(rn) * 64 + plan.bits - 1) / plan.bits, plan.n));
    const std::vector<Piece> pa = pieces(a, an, plan.bits);
    const std::vector<Piece> pb = b ? pieces(b, bn, plan.bits) : std::vector<Piece>{};
    const bool vector = runs_vector(set, plan);
#ifdef KARVO_NTT_AVX2
    if (vector && ntt::avx2::available()) {
        DoubleProduct(set, plan).run(r, rn, count, pa, b ? &pb : nullptr);
        return;
    }
#endif
    std::vector<std::vector<Limb>> residues(set.count);
    std::vector<Limb> scratch;
    Tables tables;
    for (size_t k = 0; k < set.count; ++k)
        convolve(Field(set.primes[k], set.generators[k]), plan, vector, pa, b ? &pb : nullptr,
                 residues[k], scratch, tables);
    const Garner garner(set, plan.n, vector ? 52 : 64);
    if (set.count == 3)
        recombine<3>(r, rn, plan, count, garner, residues, false);
    else if (set.count == 4)
        recombine<4>(r, rn, plan, count, garner, residues, vector);
    else
        recombine<5>(r, rn, plan, count, garner, residues, vector);
}

// The scalar primes, or of the vector sets the one whose transforms cost
// least: primes times points.
const PrimeSet &prime_set(NttArithmetic arithmetic, size_t an, size_t bn) {
    // Without the instructions, a request for the vector kind gets the scalar one.
    if (arithmetic == NttArithmetic::scalar || (!ntt::ifma::available() && !ntt::avx2::available()))
        return kScalarPrimes;
    const PrimeSet *best = &kVectorPrimes[0];
    size_t best_cost = SIZE_MAX;
    for (const PrimeSet &set : kVectorPrimes) {
        const size_t cost = set.count * make_plan(an, bn, set.usable_bits).n;
        if (cost < best_cost) {
            best = &set;
            best_cost = cost;
        }
    }
    return *best;
}

} // namespace

void mul_ntt(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn,
             NttArithmetic arithmetic) {
    ntt_product(r, a, an, b, bn, prime_set(arithmetic, an, bn));
}

void sqr_ntt(Limb *r, const Limb *a, size_t n, NttArithmetic arithmetic) {
    ntt_product(r, a, n, nullptr, 0, prime_set(arithmetic, n, n));
}

} // namespace karvo::kernel
