// The root algorithms behind root(), each for its range of sizes.
#pragma once

#include "kernels/nat.h"

namespace karvo::kernel {

// floor(a^(1/n)) by Newton's iteration on the inverse root, for n >= 2 below
// 2^20 and a with a root of more than 64 bits.
Nat root_newton(View a, uint64_t n, const Tuning &t);
// floor(sqrt(a)) by Karatsuba's square root, for any a.
Nat sqrt_karatsuba(View a, const Tuning &t);
// floor(a^(1/3)) by Karatsuba's square root carried over to cubes, for any a.
Nat cbrt_karatsuba(View a, const Tuning &t);

} // namespace karvo::kernel
