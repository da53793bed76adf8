// From the residues of the coefficients modulo each prime back to the
// product: Garner's mixed-radix digits, the coefficients, and their sum at
// each coefficient's bit position.
#pragma once

#include <algorithm>
#include <array>
#include <tuple>
#include <utility>

#include "kernels/ntt.h"
#include "kernels/ntt_plan.h"

namespace karvo::kernel::ntt {

// The constants of Garner's step that depend on the primes alone.
struct GarnerBasis {
    std::array<std::array<Limb, 4>, kMaxPrimes> prefix{}; // p_0 ... p_(k-1), at most four limbs
    // weight[k][j] = p_0 ... p_(j-1) / (p_0 ... p_(k-1)) mod p_k, and
    // R^2 / (p_0 ... p_(k-1)) mod p_k, in Montgomery form.
    std::array<std::array<Limb, kMaxPrimes>, kMaxPrimes> weight{};
    std::array<Limb, kMaxPrimes> scale{};
};

constexpr GarnerBasis garner_basis(const PrimeSet &set) {
    GarnerBasis g;
    g.prefix[0] = {1, 0, 0, 0};
    for (size_t k = 1; k < set.count; ++k) {
        Limb carry = 0;
        for (size_t l = 0; l < 4; ++l) {
            const DLimb t = DLimb(g.prefix[k - 1][l]) * set.primes[k - 1] + carry;
            g.prefix[k][l] = Limb(t);
            carry = Limb(t >> 64);
        }
    }
    for (size_t k = 0; k < set.count; ++k) {
        const Field &f = set.fields[k];
        Limb product = f.to(1); // p_0 ... p_(j-1) mod p_k
        std::array<Limb, kMaxPrimes> weight{};
        for (size_t j = 0; j < k; ++j) {
            weight[j] = product;
            product = f.mul(product, f.to(set.primes[j]));
        }
        // v_k = (c - sum of v_j p_0 ... p_(j-1)) / (p_0 ... p_(k-1)) mod p_k.
        const Limb inverse = f.inverse(product);
        g.scale[k] = f.mul(f.to(f.to(f.to(1))), inverse);
        for (size_t j = 0; j < k; ++j)
            g.weight[k][j] = f.mul(weight[j], inverse);
    }
    return g;
}

inline constexpr GarnerBasis kGarnerBases[] = {
    garner_basis(kScalarPrimes), garner_basis(kVectorPrimes[0]), garner_basis(kVectorPrimes[1])};

// Garner's algorithm: from the residues of a coefficient c, the mixed-radix
// digits v_k with c = v_0 + v_1 p_0 + v_2 p_0 p_1 + ..., then c itself. The
// residues come as t_k = n c R^-2 2^-s mod p_k, 2^-s the pointwise product's
// factor; the constants take the factor out.
class Garner {
  public:
    Garner(const PrimeSet &set, size_t n, unsigned pointwise_bits)
        : count_(set.count), fields_(set.fields), basis_(basis_of(set)) {
        for (size_t k = 0; k < count_; ++k) {
            const Field &f = fields_[k];
            // A Montgomery product by R^3 2^s / n turns t_k into c mod p_k.
            const Limb two_s = f.to(Limb(1) << (pointwise_bits - 1)); // 2^(s-1), doubled below
            scale_[k] = f.mul(f.mul(basis_.scale[k], f.add(two_s, two_s)), f.inverse_of_divisor(n));
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
                sum = f.add(sum, f.mul(v[j], basis_.weight[k][j]));
            v[k] = f.sub(f.mul(t[k], scale_[k]), sum);
        }
    }

    // c (four limbs, as c < 2^250) from its digits by Horner's rule from the
    // top one: c = v_0 + p_0 (v_1 + p_1 (v_2 + ...)). Unrolled, the partial
    // value grows by a limb a step and stays in registers.
    template <size_t Count> std::array<Limb, 4> value(const Limb *v) const {
        Limb primes[Count];
        for (size_t k = 0; k < Count; ++k)
            primes[k] = fields_[k].p();
        return value<Count>(primes, v);
    }

    // The same with the primes given, for loops that keep them in registers.
    // Each step multiplies a value of `length` limbs by a prime below 2^62
    // and adds a digit; the value grows by at most one limb, to four at most
    // (c < 2^250). The products come first and one carry chain adds them:
    // written as a chain of 128-bit sums, the compiler spills the carries.
    template <size_t Count> static std::array<Limb, 4> value(const Limb *primes, const Limb *v) {
        Limb c[4] = {v[Count - 1], 0, 0, 0};
#pragma GCC unroll 8
        for (size_t i = 0; i + 1 < Count; ++i) {
            const size_t k = Count - 2 - i, length = std::min<size_t>(i + 1, 4);
            Limb low[4], high[4];
#pragma GCC unroll 4
            for (size_t j = 0; j < length; ++j) {
                const DLimb t = DLimb(c[j]) * primes[k];
                low[j] = Limb(t);
                high[j] = Limb(t >> 64);
            }
            unsigned char carry = 0;
            c[0] = add_carry(low[0], v[k], carry);
#pragma GCC unroll 4
            for (size_t j = 1; j < length; ++j)
                c[j] = add_carry(low[j], high[j - 1], carry);
            if (length < 4)
                c[length] = add_carry(high[length - 1], 0, carry);
        }
        return {c[0], c[1], c[2], c[3]};
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
                g.weight[k][j] = as_double(f.reduce(basis_.weight[k][j]));
        }
        return g;
    }

#endif
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
                std::tie(g.weight[k][j], g.weight_shoup[k][j]) = plain(basis_.weight[k][j]);
            // The prefix (below 2^200) cut into 52-bit limbs.
            for (size_t l = 0; l < 4; ++l) {
                const size_t bit = 52 * l, limb = bit / 64, shift = bit % 64;
                Limb x = basis_.prefix[k][limb] >> shift;
                if (shift > 12 && limb + 1 < 4)
                    x |= basis_.prefix[k][limb + 1] << (64 - shift);
                g.prefix[k][l] = x & ((Limb(1) << 52) - 1);
            }
        }
        return g;
    }

  private:
    static const GarnerBasis &basis_of(const PrimeSet &set) {
        if (set.primes == kScalarPrimes.primes)
            return kGarnerBases[0];
        return kGarnerBases[set.primes == kVectorPrimes[0].primes ? 1 : 2];
    }

    size_t count_;
    std::array<Field, kMaxPrimes> fields_;
    GarnerBasis basis_;
    std::array<Limb, kMaxPrimes> scale_{};
};

// The product's limbs, written from the bottom: each coefficient is added at
// its bit position into a window of six limbs, and the limbs below the next
// coefficient's position are final and leave the window. The window is six
// named limbs, and r is passed to each call rather than kept beside them, so
// that they stay in registers.
class Accumulator {
  public:
    // Adds c at bit position `bit`, which grows by at most 128 from call to
    // call (coefficients are at most kMaxCoefficientBits apart); r has rn
    // limbs.
    void add(const std::array<Limb, 4> c, uint64_t bit, Limb *r, size_t rn) {
        // The window moves up by 0, 1 or 2 limbs, by selects rather than a
        // loop whose exits the processor mispredicts: its two lowest limbs
        // are written out first (a limb that is not final yet is written
        // again when it leaves).
        const uint64_t step = (bit >> 6) - base_;
        if (base_ + 2 <= rn) [[likely]] {
            r[base_] = l0_;
            r[base_ + 1] = l1_;
        } else if (base_ < rn) {
            r[base_] = l0_;
        }
        const bool one = step >= 1, two = step >= 2;
        const Limb m0 = one ? l1_ : l0_, m1 = one ? l2_ : l1_, m2 = one ? l3_ : l2_,
                   m3 = one ? l4_ : l3_, m4 = one ? l5_ : l4_, m5 = one ? 0 : l5_;
        l0_ = two ? m1 : m0;
        l1_ = two ? m2 : m1;
        l2_ = two ? m3 : m2;
        l3_ = two ? m4 : m3;
        l4_ = two ? m5 : m4;
        l5_ = two ? 0 : m5;
        base_ += step;
        // c shifted left by s < 64 without a branch: x >> 1 >> (63 - s) is the
        // x >> (64 - s) that s = 0 would make undefined.
        const unsigned s = unsigned(bit - 64 * base_), t = 63 - s;
        const Limb w0 = c[0] << s, w1 = (c[1] << s) | (c[0] >> 1 >> t),
                   w2 = (c[2] << s) | (c[1] >> 1 >> t), w3 = (c[3] << s) | (c[2] >> 1 >> t),
                   w4 = c[3] >> 1 >> t;
#if defined(__x86_64__) && defined(__GNUC__)
        // One chain of adc: from the intrinsics, GCC 12 saves the carry
        // in a register between the steps (setb, then add $0xff to restore it),
        // which doubled the cost of a coefficient.
        __asm__("add %[w0], %[l0]\n\t"
                "adc %[w1], %[l1]\n\t"
                "adc %[w2], %[l2]\n\t"
                "adc %[w3], %[l3]\n\t"
                "adc %[w4], %[l4]\n\t"
                "adc $0, %[l5]"
                : [l0] "+&r"(l0_), [l1] "+&r"(l1_), [l2] "+&r"(l2_), [l3] "+&r"(l3_),
                  [l4] "+&r"(l4_), [l5] "+&r"(l5_)
                : [w0] "r"(w0), [w1] "r"(w1), [w2] "r"(w2), [w3] "r"(w3), [w4] "r"(w4)
                : "cc");
#else
        unsigned char carry = 0;
        l0_ = add_carry(l0_, w0, carry);
        l1_ = add_carry(l1_, w1, carry);
        l2_ = add_carry(l2_, w2, carry);
        l3_ = add_carry(l3_, w3, carry);
        l4_ = add_carry(l4_, w4, carry);
        l5_ += carry;
#endif
    }

    // Writes what remains, up to the product's length.
    void finish(Limb *r, size_t rn) {
        while (base_ < rn)
            emit(r, rn);
    }

  private:
    void emit(Limb *r, size_t rn) {
        if (base_ < rn)
            r[base_] = l0_;
        ++base_;
        l0_ = l1_;
        l1_ = l2_;
        l2_ = l3_;
        l3_ = l4_;
        l4_ = l5_;
        l5_ = 0;
    }

    size_t base_ = 0; // the limb of r that l0_ holds
    Limb l0_ = 0, l1_ = 0, l2_ = 0, l3_ = 0, l4_ = 0, l5_ = 0;
};

} // namespace karvo::kernel::ntt
