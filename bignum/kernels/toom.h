// Steps shared by Karatsuba and the Toom algorithms: signed differences of
// evaluations, kept as a magnitude and a sign.
#pragma once

#include <algorithm>

#include "kernels/arith.h"

namespace karvo::kernel {

// r = |a - b| over an limbs for an >= bn; returns whether a < b. r may be a
// or b.
inline bool abs_sub(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    const bool less = normalized_size(a + bn, an - bn) == 0 && cmp_n(a, b, bn) < 0;
    if (!less) {
        sub(r, a, an, b, bn);
    } else {
        sub_n(r, b, a, bn);
        std::fill(r + bn, r + an, 0);
    }
    return less;
}

// r = a + b or a - b over n limbs; r may be a or b.
inline void add_or_sub_n(Limb *r, const Limb *a, const Limb *b, size_t n, bool subtract) {
    if (subtract)
        sub_n(r, a, b, n);
    else
        add_n(r, a, b, n);
}

} // namespace karvo::kernel
