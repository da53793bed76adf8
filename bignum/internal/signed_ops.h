// Signed addition and subtraction as the families use them among themselves:
// `function` names the exported function that reports trouble. Operands are
// only read, so several threads may share them.
#pragma once

#include "bignum.h"

namespace karvo {

// An operand as the arithmetic sees it: the record's words under a sign
// marker of its own, so that mixed signs can hand a magnitude on without
// writing the caller's record.
struct SignedOperand {
    const bignum *record;
    uint8_t sign;
};

// Clear dst, then compute; the operands' markers are read after the clearing,
// so an operand that is also the destination counts as zero.
bignum *add_signed(bignum *dst, const bignum *a, const bignum *b, const char *function);
bignum *sub_signed(bignum *dst, const bignum *a, const bignum *b, const char *function);

// The same on a destination that is already clear; each calls the other for mixed signs.
bignum *add_cleared(bignum *dst, SignedOperand a, SignedOperand b, const char *function);
bignum *sub_cleared(bignum *dst, SignedOperand a, SignedOperand b, const char *function);

// Order of the magnitudes (-1, 0, 1), whatever the markers.
int compare_magnitudes(const bignum *a, const bignum *b);

inline void flip_sign(bignum *bn) { bn->sign = bn->sign == 1 ? 2 : 1; }

} // namespace karvo
