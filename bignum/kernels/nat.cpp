#include "kernels/nat.h"

#include <algorithm>
#include <bit>

namespace karvo::kernel {

Nat from_u64(uint64_t v) {
    Nat r;
    if (v != 0)
        r.push_back(Word(v));
    if (v >> kWordBits)
        r.push_back(Word(v >> kWordBits));
    return r;
}

int compare(View a, View b) {
    a = trimmed(a);
    b = trimmed(b);
    return cmp(a.data(), a.size(), b.data(), b.size());
}

Nat add(View a, View b) {
    if (a.size() < b.size())
        std::swap(a, b);
    Nat r(a.size() + 1);
    r[a.size()] = kernel::add(r.data(), a.data(), a.size(), b.data(), b.size());
    normalize(r);
    return r;
}

Nat sub(View a, View b) {
    b = trimmed(b);
    Nat r(a.size());
    kernel::sub(r.data(), a.data(), a.size(), b.data(), b.size());
    normalize(r);
    return r;
}

Nat mul(View a, View b) {
    a = trimmed(a);
    b = trimmed(b);
    if (a.empty() || b.empty())
        return {};
    if (a.size() < b.size())
        std::swap(a, b);
    Nat r(a.size() + b.size());
    kernel::mul(r.data(), a.data(), a.size(), b.data(), b.size());
    normalize(r);
    return r;
}

Nat sqr(View a) {
    a = trimmed(a);
    if (a.empty())
        return {};
    Nat r(2 * a.size());
    kernel::sqr(r.data(), a.data(), a.size());
    normalize(r);
    return r;
}

void divrem(View a, View b, Nat *q, Nat *r) {
    a = trimmed(a);
    b = trimmed(b);
    if (cmp(a.data(), a.size(), b.data(), b.size()) < 0) {
        if (q)
            q->clear();
        if (r)
            r->assign(a.begin(), a.end());
        return;
    }
    Nat quot(a.size() - b.size() + 1), rem(b.size());
    if (b.size() == 1)
        rem[0] = divrem_1(quot.data(), a.data(), a.size(), b[0]);
    else
        kernel::divrem(quot.data(), rem.data(), a.data(), a.size(), b.data(), b.size());
    normalize(quot);
    normalize(rem);
    if (q)
        *q = std::move(quot);
    if (r)
        *r = std::move(rem);
}

Nat shift_left(View a, uint64_t bits) {
    a = trimmed(a);
    if (a.empty())
        return {};
    const size_t words = size_t(bits / kWordBits);
    const unsigned s = unsigned(bits % kWordBits);
    Nat r(a.size() + words + 1);
    std::copy(a.begin(), a.end(), r.begin() + words);
    if (s != 0)
        r.back() = lshift(r.data() + words, r.data() + words, a.size(), s);
    normalize(r);
    return r;
}

Nat shift_right(View a, uint64_t bits) {
    a = trimmed(a);
    const uint64_t words = bits / kWordBits;
    if (words >= a.size())
        return {};
    Nat r(a.begin() + words, a.end());
    const unsigned s = unsigned(bits % kWordBits);
    if (s != 0)
        rshift(r.data(), r.data(), r.size(), s);
    normalize(r);
    return r;
}

uint64_t bit_length(View a) {
    a = trimmed(a);
    if (a.empty())
        return 0;
    return uint64_t(a.size()) * kWordBits - unsigned(std::countl_zero(a.back()));
}

// Left-to-right binary powering: one squaring per bit of e below the top one
// and one product per set bit.
Nat pow(View base, uint64_t e) {
    base = trimmed(base);
    if (e == 0)
        return {1};
    if (base.empty())
        return {};
    Nat result(base.begin(), base.end());
    for (int bit = 62 - std::countl_zero(e); bit >= 0; --bit) {
        result = sqr(result);
        if ((e >> bit) & 1)
            result = mul(result, base);
    }
    return result;
}

// Newton's iteration x' = ((n-1) x + a / x^(n-1)) / n from a start above the
// root; the first step that does not go down ends it at the floor of the root.
Nat root(View a, uint64_t n) {
    a = trimmed(a);
    if (a.empty() || n == 1)
        return Nat(a.begin(), a.end());
    const uint64_t bits = bit_length(a);
    if (n >= bits)
        return {1};
    Nat x = shift_left(Nat{1}, (bits + n - 1) / n);
    const Nat n_nat = from_u64(n), n_less_one = from_u64(n - 1);
    for (;;) {
        Nat quotient;
        divrem(a, pow(x, n - 1), &quotient, nullptr);
        Nat y;
        divrem(add(mul(x, n_less_one), quotient), n_nat, &y, nullptr);
        if (compare(y, x) >= 0)
            return x;
        x = std::move(y);
    }
}

// The product of lo..hi, split in halves so that the factors stay balanced.
static Nat product_of_range(uint64_t lo, uint64_t hi) {
    if (hi - lo < 16) {
        Nat r{1};
        for (uint64_t k = lo; k <= hi; ++k) {
            Word carry = mul_1(r.data(), r.data(), r.size(), Word(k));
            if (carry != 0)
                r.push_back(carry);
        }
        return r;
    }
    const uint64_t mid = lo + (hi - lo) / 2;
    return mul(product_of_range(lo, mid), product_of_range(mid + 1, hi));
}

Nat factorial(uint64_t n) {
    if (n < 2)
        return {1};
    return product_of_range(2, n);
}

Nat gcd(View a, View b) {
    Nat u(trimmed(a).begin(), trimmed(a).end()), v(trimmed(b).begin(), trimmed(b).end());
    while (!v.empty()) {
        Nat r;
        divrem(u, v, nullptr, &r);
        u = std::move(v);
        v = std::move(r);
    }
    return u;
}

} // namespace karvo::kernel
