// Natural numbers on limb spans, GMP's low layer in spirit: a source is a
// pointer to its least significant limb and a limb count, a destination a
// pointer to enough limbs. No signs, no messages, no growth policy. Limbs are
// 64 bits; the record's 32-bit words are packed into them at the boundary.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#include <x86intrin.h>
#endif

#include <cstddef>
#include <cstdint>

namespace karvo::kernel {

using Limb = uint64_t;
using DLimb = unsigned __int128;
constexpr unsigned kLimbBits = 64;

// The digits of radices up to 36, as the kernels write them.
inline constexpr char kDigitAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// m^-1 mod 2^64 for odd m: Newton's iteration, each step doubling the bits
// that are right (m is its own inverse modulo 8).
constexpr Limb inverse_mod_limb(Limb m) {
    Limb inverse = m;
    for (int i = 0; i < 5; ++i)
        inverse *= 2 - m * inverse;
    return inverse;
}
static_assert(inverse_mod_limb(0x3fff300000001ull) * 0x3fff300000001ull == 1);
static_assert(inverse_mod_limb(~Limb(0)) * ~Limb(0) == 1);

// x + y + carry, the carry out in `carry`. On x86-64 a chain of these is a
// chain of adc; sums of 128-bit integers are left to the compiler elsewhere,
// and some compilers pass them through memory.
inline Limb add_carry(Limb x, Limb y, unsigned char &carry) {
#if defined(__x86_64__) && defined(__GNUC__)
    unsigned long long sum;
    carry = _addcarry_u64(carry, x, y, &sum);
    return sum;
#else
    const DLimb sum = DLimb(x) + y + carry;
    carry = (unsigned char)(sum >> 64);
    return Limb(sum);
#endif
}

// x - y - borrow, the borrow out in `borrow`: a chain of these is a chain of sbb.
inline Limb sub_borrow(Limb x, Limb y, unsigned char &borrow) {
#if defined(__x86_64__) && defined(__GNUC__)
    unsigned long long difference;
    borrow = _subborrow_u64(borrow, x, y, &difference);
    return difference;
#else
    const Limb difference = x - y - borrow;
    borrow = (unsigned char)(x < y || (x == y && borrow != 0));
    return difference;
#endif
}

// Length of a without its top zero limbs.
inline size_t normalized_size(const Limb *a, size_t n) {
    while (n > 0 && a[n - 1] == 0)
        --n;
    return n;
}

// The least sizes the algorithms work at, whatever the crossovers: Toom-3
// and Toom-4 need a non-empty top piece (at 4 limbs Toom-3 would have none,
// so Karatsuba serves there).
constexpr size_t kMinKaratsuba = 2;
constexpr size_t kMinToom3 = 5;
constexpr size_t kMinToom4 = 13;

// Crossovers between algorithms, in limbs, tuned from bench/. The kernels take
// them as an argument so that tests can force every path at small sizes.
struct Tuning {
    size_t karatsuba = 32; // multiplication: schoolbook below, Karatsuba above
    size_t toom3 = 100;    // Karatsuba below, Toom-3 above
    size_t ntt = 1500;     // Toom-3 or -4 below, number-theoretic transform above
    size_t sqr_karatsuba = 60;
    size_t sqr_toom3 = 150;
    size_t sqr_ntt = 1500;
    size_t div_dc = 50;        // division: schoolbook below, divide and conquer above
    size_t radix_dc = 20;      // conversion to text: limb chunks below, divide and conquer above
    size_t radix_in_dc = 400;  // from text, in chunks of a limb: Horner below, a product tree above
    size_t root_newton = 1;    // limbs of root: root of the top half and Newton steps below,
                               // Newton's iteration on the inverse root above
    size_t sqrt_newton = 4700; // the same for square roots, Karatsuba's square root below
    size_t cbrt_newton = 1000; // the same for cube roots, Karatsuba's cube root below
    size_t hgcd = 300;         // gcd: Lehmer below, half-gcd above
    size_t toom4 = 800;        // Toom-3 below, Toom-4 above
    size_t sqr_toom4 = 800;
    size_t div_newton = 3000; // division: divide and conquer below, a Newton reciprocal above
                              // (limbs of both divisor and quotient)
    size_t inv_newton = 12;   // reciprocals: one division below, Newton's iteration above
    // Unequal operands that reach 2 ntt limbs together take the transform, whose cost
    // follows their sum, from this length of the shorter one; below it, pieces of it.
    size_t ntt_unbalanced = 500;
    // The avx512 path's transforms run in IFMA's integers from this many limbs
    // (the mean of the two operands), in AVX2 doubles below: on Zen 4, whose
    // AVX-512 units are 256 bits wide, the doubles win on the shorter ones.
    size_t ntt_ifma = 0;
    // Conversion to text divides the pieces of a level, from the fourth on,
    // by a reciprocal of its power made once when the power has at least this
    // many limbs; shorter powers divide them directly.
    size_t radix_reciprocal = 200;
};

// Crossovers measured by bench/tune.cpp (scripts/tune.sh) on each path, on a
// 2-core AMD EPYC (Zen 4); the transforms' speed moves them most.
inline constexpr Tuning kPortableTuning{.karatsuba = 27,
                                        .toom3 = 200,
                                        .ntt = 6000,
                                        .sqr_karatsuba = 71,
                                        .sqr_toom3 = 126,
                                        .sqr_ntt = 6000,
                                        .div_dc = 25,
                                        .radix_dc = 28,
                                        .radix_in_dc = 168,
                                        .cbrt_newton = 13455,
                                        .hgcd = 300,
                                        .toom4 = 238,
                                        .sqr_toom4 = 336,
                                        .div_newton = 12000,
                                        .inv_newton = 12,
                                        .ntt_unbalanced = 750,
                                        .radix_reciprocal = 1131};
inline constexpr Tuning kAvx2Tuning{.karatsuba = 32,
                                    .toom3 = 100,
                                    .ntt = 375,
                                    .sqr_karatsuba = 40,
                                    .sqr_toom3 = 150,
                                    .sqr_ntt = 446,
                                    .div_dc = 60,
                                    .radix_dc = 20,
                                    .radix_in_dc = 283,
                                    .sqrt_newton = 2943,
                                    .cbrt_newton = 2378,
                                    .hgcd = 150,
                                    .toom4 = 283,
                                    .sqr_toom4 = 476,
                                    .div_newton = 990,
                                    .inv_newton = 20,
                                    .ntt_unbalanced = 140,
                                    .radix_reciprocal = 283};
inline constexpr Tuning kAvx512Tuning{.karatsuba = 32,
                                      .toom3 = 100,
                                      .ntt = 375,
                                      .sqr_karatsuba = 40,
                                      .sqr_toom3 = 178,
                                      .sqr_ntt = 375,
                                      .div_dc = 60,
                                      .radix_dc = 20,
                                      .radix_in_dc = 283,
                                      .sqrt_newton = 2546,
                                      .cbrt_newton = 2000,
                                      .hgcd = 150,
                                      .toom4 = 475,
                                      .sqr_toom4 = 566,
                                      .div_newton = 990,
                                      .inv_newton = 20,
                                      .ntt_unbalanced = 120,
                                      .ntt_ifma = 1427,
                                      .radix_reciprocal = 283};
// The crossovers of the path that runs (kernels/isa.h).
const Tuning &default_tuning();

} // namespace karvo::kernel
