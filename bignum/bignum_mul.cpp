// Multiplication. The destination is cleared before the factors are read,
// so a factor that is also the destination counts as zero. The product is
// trimmed; its storage grows as if every word up to the sum of the factors'
// word counts had been written.
#include <algorithm>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"
#include "kernels/mul.h"

using namespace karvo;

namespace {

// Factors of up to this many words are multiplied in buffers on the stack.
constexpr uint64_t kSmallWords = 64;

// The product of two non-zero magnitudes of at most Words words each,
// written into dst, which has room for it. The factors and the product share
// one buffer sized for them: the less stack a short product touches, the
// less often its stores fall on the addresses, modulo 4 KiB, of the record
// fields and words the next call reads first, which holds those loads back
// (measured: a 16-word product took 47-52 ns instead of 35 in a third of
// processes, by where the stack landed).
template <uint64_t Words>
void multiply_small(bignum *dst, std::span<const uint32_t> a, std::span<const uint32_t> b) {
    using kernel::Limb;
    Limb buffer[2 * Words];
    Limb *const x = buffer, *const y = buffer + Words / 2, *const p = buffer + Words;
    const bool square = a.data() == b.data();
    const size_t xn = kernel::pack_words(a, x), yn = square ? xn : kernel::pack_words(b, y);
    // Schoolbook sizes go to the rows at once: at these sizes the dispatch
    // costs as much as the product.
    const kernel::Tuning &t = kernel::default_tuning();
    if (square) {
        if (xn < t.sqr_karatsuba)
            kernel::sqr_basecase(p, x, xn);
        else
            kernel::sqr(p, x, xn, t);
    } else if (std::min(xn, yn) < t.karatsuba) {
        kernel::mul_basecase(p, x, xn, y, yn);
    } else if (xn >= yn) {
        kernel::mul(p, x, xn, y, yn, t);
    } else {
        kernel::mul(p, y, yn, x, xn, t);
    }
    const kernel::View product(p, kernel::normalized_size(p, xn + yn));
    dst->oofm = kernel::to_words(product, dst->numb);
}

bignum *multiply(bignum *dst, bignum *a, bignum *b) {
    const uint64_t a_words_at_call = a->oofm;
    if (is_zero_record(a) || is_zero_record(b))
        return bignum_set(dst, 0);
    __bignum_zero(dst);
    const uint64_t written = b->oofm == 0 ? 0 : a_words_at_call + b->oofm;
    const uint64_t na = magnitude(a).size(), nb = magnitude(b).size();
    // A product of na + nb - 1 words or more is beyond the limit before it is made.
    if (na != 0 && nb != 0 && na + nb - 1 > kMaxWords) {
        report_too_large("bignum_mul", na + nb - 1);
        return nullptr;
    }
    const bool small = na <= kSmallWords && nb <= kSmallWords;
    kernel::Nat product;
    if (!small) {
        const kernel::Nat x = to_nat(a);
        product = a == b ? kernel::sqr(x) : kernel::mul(x, to_nat(b));
        if (kernel::word_count(product) > kMaxWords) {
            report_too_large("bignum_mul", kernel::word_count(product));
            return nullptr;
        }
    }
    if (!reserve_ascending(dst, std::min(written, kMaxWords)))
        return nullptr;
    if (!small)
        write_magnitude(dst, product);
    else if (na != 0 && nb != 0 && na <= 16 && nb <= 16)
        multiply_small<16>(dst, magnitude(a), magnitude(b));
    else if (na != 0 && nb != 0)
        multiply_small<kSmallWords>(dst, magnitude(a), magnitude(b));
    dst->sign = (a->sign == kNegative) != (b->sign == kNegative) ? kNegative : kPositive;
    return dst;
}

} // namespace

extern "C" bignum *bignum_mul(bignum *dst, bignum *a, bignum *b) {
    return guarded(
        "bignum_mul", [&] { return multiply(dst, a, b); }, [&] { return left_at_zero(dst); });
}
