// The pieces of Euclid's algorithm shared by Lehmer's gcd (gcd.cpp) and the
// half-gcd (hgcd.cpp). Every step they take is a step of the textbook Euclid
// sequence, so the extended gcd keeps the textbook cofactors.
#pragma once

#include "kernels/nat.h"

namespace karvo::kernel {

// The Euclid steps found from the leading bits of u >= v: with (u, v) before
// and (u', v') after them, (u, v) = M (u', v'), M the product of the steps'
// [[q, 1], [1, 0]]. Its entries are below 2^64; odd when the steps are odd
// in number (the determinant is then -1). The identity means none.
struct Matrix {
    Limb m[2][2] = {{1, 0}, {0, 1}};
    bool odd = false;
    bool identity() const { return m[0][1] == 0; }
};
// Only steps after which v stays at least 2^floor are taken, and only when
// the leading bits prove them true steps of (u, v), so that u' > v' > 0.
Matrix lehmer_matrix(const Nat &u, const Nat &v, uint64_t floor = 0);
// (u, v) := M^-1 (u, v).
void apply_matrix(Nat &u, Nat &v, const Matrix &m);
// (x, y) := (a x + b y, c x + d y).
void mul_pair(Nat &x, Nat &y, Limb a, Limb b, Limb c, Limb d);

// The product of the steps' matrices [[q, 1], [1, 0]]: with (a, b) the
// numbers before the steps and (u, v) after them, (a, b) = M (u, v).
struct HalfGcdMatrix {
    Nat m[2][2] = {{{1}, {}}, {{}, {1}}};
    bool odd = false; // an odd number of steps: the determinant is -1
    bool identity() const { return m[0][1].empty(); }
};

// Receives the Euclid steps that hgcd takes, in order.
class StepSink {
  public:
    virtual void quotient(const Nat &q) = 0;        // one step
    virtual void lehmer(const Matrix &l) = 0;       // the steps of a Lehmer matrix
    virtual void steps(const HalfGcdMatrix &m) = 0; // the steps of a product
  protected:
    ~StepSink() = default;
};

// For a > b: Euclid steps on (a, b) in place while the next remainder is at
// least 2^s, for s = bit_length(a) / 2 + 1, each handed to sink unless it is
// null. Returns whether there were any.
bool hgcd(Nat &a, Nat &b, const Tuning &t, StepSink *sink);

} // namespace karvo::kernel
