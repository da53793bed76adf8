// The shape of a product by number-theoretic transforms: the prime sets, the
// choice of length and coefficient size, and the operands cut into
// coefficients and reduced modulo a prime.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "kernels/ntt.h"

namespace karvo::kernel::ntt {

constexpr size_t kMaxPrimes = 5;

// The bits of the primes' product less one: the product exceeds 2^that.
constexpr unsigned product_bits(const std::array<Limb, kMaxPrimes> &primes, size_t count) {
    std::array<Limb, kMaxPrimes + 1> product{1};
    for (size_t k = 0; k < count; ++k) {
        Limb carry = 0;
        for (Limb &limb : product) {
            const DLimb t = DLimb(limb) * primes[k] + carry;
            limb = Limb(t);
            carry = Limb(t >> 64);
        }
    }
    size_t top = product.size();
    while (product[top - 1] == 0)
        --top;
    return unsigned(64 * (top - 1) + std::bit_width(product[top - 1]) - 1);
}

// Primitive roots of unity modulo one prime, in Montgomery form: two[k] of
// order 2^k and three[k] of order 3 2^k, for every order that divides p - 1.
struct Roots {
    std::array<Limb, 64> two{}, three{};
};

constexpr Roots roots_of(const Field &f) {
    Roots roots;
    const Limb g = f.to(f.generator());
    for (unsigned k = 0; k < 64 && ((f.p() - 1) & ((Limb(1) << k) - 1)) == 0; ++k) {
        roots.two[k] = f.pow(g, (f.p() - 1) >> k);
        if (((f.p() - 1) >> k) % 3 == 0)
            roots.three[k] = f.pow(g, ((f.p() - 1) >> k) / 3);
    }
    return roots;
}

// The fields and their roots are built with the set, at compile time: a
// product takes them as constants instead of computing powers each time.
struct PrimeSet {
    size_t count;
    std::array<Limb, kMaxPrimes> primes, generators;
    bool vector; // primes below 2^50: transforms with AVX-512 IFMA or AVX2 doubles
    unsigned usable_bits = product_bits(primes, count); // the product exceeds 2^usable_bits
    std::array<Field, kMaxPrimes> fields = [](const auto &p, const auto &g, size_t count) {
        std::array<Field, kMaxPrimes> fields{};
        for (size_t k = 0; k < count; ++k)
            fields[k] = Field(p[k], g[k]);
        return fields;
    }(primes, generators, count);
    std::array<Roots, kMaxPrimes> roots = [](const auto &fields, size_t count) {
        std::array<Roots, kMaxPrimes> roots{};
        for (size_t k = 0; k < count; ++k)
            roots[k] = roots_of(fields[k]);
        return roots;
    }(fields, count);

    // A primitive n-th root of unity modulo prime k, for n = 2^j or 3 2^j.
    constexpr Limb root(size_t k, size_t n) const {
        return n % 3 == 0 ? roots[k].three[std::countr_zero(n / 3)]
                          : roots[k].two[std::countr_zero(n)];
    }
};

inline constexpr PrimeSet kScalarPrimes{
    3, {0x3fffffb400000001ull, 0x3fffff5d00000001ull, 0x3fffff3000000001ull}, {19, 5, 5}, false};
// Four primes, or five when the wider coefficients they allow save points.
inline constexpr PrimeSet kVectorPrimes[2] = {
    {4,
     {0x3fff300000001ull, 0x3ffed00000001ull, 0x3ffe880000001ull, 0x3ffe1c0000001ull},
     {5, 7, 11, 7},
     true},
    {5,
     {0x3fff300000001ull, 0x3ffed00000001ull, 0x3ffe880000001ull, 0x3ffe1c0000001ull,
      0x3ffc480000001ull},
     {5, 7, 11, 7, 5},
     true}};
// The roots of the largest orders have exactly those orders: w^(2^(k-1)) = -1,
// and the cube of a primitive cube root is 1.
constexpr bool roots_are_primitive(const PrimeSet &set) {
    for (size_t k = 0; k < set.count; ++k) {
        const Field &f = set.fields[k];
        const Limb one = f.to(1), minus_one = f.to(f.p() - 1);
        const unsigned top = unsigned(std::countr_zero(f.p() - 1));
        const Limb cube_root = f.pow(set.roots[k].three[top], Limb(1) << top);
        if (f.pow(set.roots[k].two[top], Limb(1) << (top - 1)) != minus_one || cube_root == one ||
            f.pow(cube_root, 3) != one)
            return false;
    }
    return true;
}
static_assert(roots_are_primitive(kScalarPrimes) && roots_are_primitive(kVectorPrimes[1]));
static_assert(kScalarPrimes.usable_bits == 185 && kVectorPrimes[0].usable_bits == 199 &&
              kVectorPrimes[1].usable_bits == 249);
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
Plan make_plan(size_t an, size_t bn, unsigned usable_bits);

// The number of b-bit pieces of an an-limb number.
inline size_t piece_count(size_t an, unsigned b) { return size_t((uint64_t(an) * 64 + b - 1) / b); }

// Calls visit(i, piece) for each coefficient i of a, bits [i b, i b + b), as
// a Piece (kernels/ntt.h): the two limbs from that bit on, masked. The limbs
// past the end of a read as zero; away from the end no piece needs the test.
template <class Visit> void for_each_piece(const Limb *a, size_t an, unsigned b, Visit visit) {
    const size_t count = piece_count(an, b);
    const Limb low_mask = b >= 64 ? ~Limb(0) : (Limb(1) << b) - 1;
    const Limb high_mask = b >= 128 ? ~Limb(0) : b > 64 ? (Limb(1) << (b - 64)) - 1 : 0;
    auto cut = [&](Limb a0, Limb a1, Limb a2, unsigned s) {
        // x << 1 << (63 - s) is the x << (64 - s) that s = 0 would make undefined.
        const unsigned t = 63 - s;
        return Piece{((a0 >> s) | (a1 << 1 << t)) & low_mask,
                     ((a1 >> s) | (a2 << 1 << t)) & high_mask};
    };
    // Piece i starts at bit `shift` of limb `limb`, both stepped along.
    size_t i = 0, limb = 0;
    unsigned shift = 0;
    auto next = [&] {
        shift += b;
        limb += shift / 64;
        shift %= 64;
    };
    for (; i < count && limb + 2 < an; ++i, next())
        visit(i, cut(a[limb], a[limb + 1], a[limb + 2], shift));
    auto at = [&](size_t k) { return k < an ? a[k] : Limb(0); };
    for (; i < count; ++i, next())
        visit(i, cut(at(limb), at(limb + 1), at(limb + 2), shift));
}

// The pieces of a, cut once for all the primes.
std::vector<Piece> pieces(const Limb *a, size_t an, unsigned b);

// The points for one prime: residues times R^-1 (a Montgomery reduction of
// the piece, below p 2^64), zero padded to n.
void load_residues(const Field &f, const std::vector<Piece> &pieces, Limb *x, size_t n);

// Whether a transform of this plan runs on vector instructions: the primes
// are the vector set and each power-of-two piece fills whole registers.
inline bool runs_vector(const PrimeSet &set, const Plan &plan) {
    return set.vector && plan.m >= 16;
}

#ifdef KARVO_NTT_AVX2
// r (rn limbs) = a b (b null: a^2), with transforms in double precision
// (mul_ntt_double.cpp); `count` coefficients.
void double_product(Limb *r, size_t rn, size_t count, const PrimeSet &set, const Plan &plan,
                    const Limb *a, size_t an, const Limb *b, size_t bn);
#endif

} // namespace karvo::kernel::ntt
