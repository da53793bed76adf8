// Division by a divisor used many times (radix conversion divides every
// piece of a level by the same power): Barrett's method with a reciprocal
// paid for once, floor(B^(dn + qn) / d) (Newton's iteration when long). A
// quotient is then the top of one product, short by at most a few units, and
// the remainder one product more.
#include "kernels/nat.h"

#include <algorithm>

#include "kernels/arith.h"
#include "kernels/div.h"

namespace karvo::kernel {

Reciprocal::Reciprocal(View d, size_t dividend_limbs, const Tuning &t)
    : d_(trimmed(d).begin(), trimmed(d).end()), t_(t) {
    const size_t dn = d_.size();
    qn_ = dividend_limbs >= dn ? dividend_limbs - dn + 1 : 1;
    inverse_ = reciprocal_floor(d_, qn_, t);
}

void Reciprocal::divrem(View x, Nat *q, Nat *r) const {
    x = trimmed(x); // at most capacity() limbs
    const size_t dn = d_.size();
    if (x.size() < dn) {
        if (q != nullptr)
            q->clear();
        if (r != nullptr)
            r->assign(x.begin(), x.end());
        return;
    }
    // x / B^(dn-1) times B^(dn+k) / d, over B^(k+1), for a quotient of k
    // limbs: both factors cut toward zero, so the estimate is at most the
    // quotient. The reciprocal for k is the top of the one kept for qn.
    const size_t k = x.size() - dn + 1;
    const View inverse = View(inverse_).subspan(qn_ - k);
    Nat estimate = mul(x.subspan(dn - 1), inverse, t_);
    estimate.erase(estimate.begin(), estimate.begin() + std::min(estimate.size(), k + 1));
    // The remainder is below a few d, so below B^(dn+1): only the low dn + 1
    // limbs of x - estimate d count, and of estimate only its low dn + 1.
    const size_t low = std::min(dn + 1, x.size());
    Nat rest(x.begin(), x.begin() + long(low));
    if (!estimate.empty()) {
        const Nat product = mul(View(estimate).first(std::min(estimate.size(), low)), d_, t_);
        // Modulo B^low: the borrow out of the top is dropped.
        const size_t n = std::min(low, product.size());
        const Limb borrow = kernel::sub_n(rest.data(), rest.data(), product.data(), n);
        if (n < low)
            kernel::sub_1(rest.data() + n, rest.data() + n, low - n, borrow);
    }
    normalize(rest);
    while (compare(rest, d_) >= 0) {
        rest = sub(rest, d_);
        estimate = add(estimate, Nat{1});
    }
    if (q != nullptr)
        *q = std::move(estimate);
    if (r != nullptr)
        *r = std::move(rest);
}

} // namespace karvo::kernel
