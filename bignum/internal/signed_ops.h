// Signed addition and subtraction as the families use them among themselves:
// `function` names the exported function that reports trouble.
#pragma once

#include "bignum.h"

namespace karvo {

bignum *add_signed(bignum *dst, bignum *a, bignum *b, const char *function);
bignum *sub_signed(bignum *dst, bignum *a, bignum *b, const char *function);

inline void flip_sign(bignum *bn) { bn->sign = bn->sign == 1 ? 2 : 1; }

} // namespace karvo
