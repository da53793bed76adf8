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

std::vector<Piece> pieces(const Limb *a, size_t an, unsigned b) {
    std::vector<Piece> out(piece_count(an, b));
    for_each_piece(a, an, b, [&](size_t i, Piece piece) { out[i] = piece; });
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
