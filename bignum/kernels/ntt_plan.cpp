#include "kernels/ntt_plan.h"

#include <algorithm>

namespace karvo::kernel::ntt {

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

// The coefficients of a, cut once for all the primes: b-bit pieces from bit
// i b, each the two limbs from that bit on, masked. The limbs past the end of
// a read as zero; away from the end no piece needs the test.
std::vector<Piece> pieces(const Limb *a, size_t an, unsigned b) {
    std::vector<Piece> out((uint64_t(an) * 64 + b - 1) / b);
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
    for (; i < out.size() && limb + 2 < an; ++i, next())
        out[i] = cut(a[limb], a[limb + 1], a[limb + 2], shift);
    auto at = [&](size_t k) { return k < an ? a[k] : Limb(0); };
    for (; i < out.size(); ++i, next())
        out[i] = cut(at(limb), at(limb + 1), at(limb + 2), shift);
    return out;
}

// The points for one prime: residues times R^-1 (a Montgomery reduction of
// the piece, below p 2^64), zero padded to n.
void load_residues(const Field &f, const std::vector<Piece> &pieces, Limb *x, size_t n) {
    const size_t count = std::min(pieces.size(), n);
    for (size_t i = 0; i < count; ++i)
        x[i] = f.reduce((DLimb(pieces[i].hi) << 64) | pieces[i].lo);
    std::fill(x + count, x + n, 0);
}

} // namespace karvo::kernel::ntt
