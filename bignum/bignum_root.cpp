// Integer root: the floor of the degree-th root of the radicand. An odd root
// of a negative number is minus the root of its magnitude. The destination is
// written once, at the end, so it may be either operand.
#include <cstdint>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;

namespace {

bignum *root(bignum *dst, bignum *degree, bignum *radicand) {
    const auto d = magnitude(degree);
    if (d.empty() || is_negative(degree)) {
        report("bignum_root", "degree must be at least 1");
        return nullptr;
    }
    const bool negative = is_negative(radicand);
    if (negative && (d[0] & 1) == 0) {
        report("bignum_root", "even root of a negative number");
        return nullptr;
    }
    // A degree beyond 64 bits exceeds any radicand's bit length: the root is 0 or 1.
    uint64_t n = UINT64_MAX;
    magnitude_to_u64(degree, &n);
    const kernel::Nat r = kernel::root(to_nat(radicand), n);
    // Room first, so that a failure leaves dst as it was.
    if (!reserve_for_copy(dst, kernel::word_count(r)))
        return nullptr;
    assign(dst, r, negative, "bignum_root");
    return dst;
}

} // namespace

extern "C" bignum *bignum_root(bignum *dst, bignum *degree, bignum *radicand) {
    return guarded(
        "bignum_root", [&] { return root(dst, degree, radicand); },
        [] { return static_cast<bignum *>(nullptr); });
}
