// The pieces of Euclid's algorithm shared by Lehmer's gcd (gcd.cpp) and the
// half-gcd (hgcd.cpp). Every step they take is a step of the textbook Euclid
// sequence, so the extended gcd keeps the textbook cofactors.
#pragma once

#include "kernels/nat.h"

namespace karvo::kernel {

using SLimb2 = __int128;

// The cofactors of Euclid steps found from the leading bits of u >= v, as
// (u, v) := (A u + B v, C u + D v); each below 2^63. B == 0 means none.
struct Matrix {
    SLimb2 A = 1, B = 0, C = 0, D = 1;
};
inline constexpr SLimb2 kNoFloor = -(SLimb2(1) << 126);
// Steps whose new v might fall below floor * 2^(bit_length(u) - 126) are not
// taken.
Matrix lehmer_matrix(const Nat &u, const Nat &v, SLimb2 floor = kNoFloor);
// Applies m to u and v of the same length.
void apply_matrix(Nat &u, Nat &v, const Matrix &m);

// The product of the steps' matrices [[q, 1], [1, 0]]: with (a, b) the
// numbers before the steps and (u, v) after them, (a, b) = M (u, v).
struct HalfGcdMatrix {
    Nat m[2][2] = {{{1}, {}}, {{}, {1}}};
    bool odd = false; // an odd number of steps: the determinant is -1
    bool identity() const { return m[0][1].empty(); }
};

// For a > b: Euclid steps on (a, b) in place while b stays at least 2^s, for
// s = bit_length(a) / 2 + 1, and the matrix of the steps taken (possibly
// none).
HalfGcdMatrix hgcd(Nat &a, Nat &b, const Tuning &t);

} // namespace karvo::kernel
