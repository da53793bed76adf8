#include "kernels/nat.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "kernels/arith.h"
#include "kernels/div.h"
#include "kernels/mul.h"

namespace karvo::kernel {

Nat from_u64(uint64_t v) { return v == 0 ? Nat{} : Nat{v}; }

Nat from_words(std::span<const uint32_t> words) {
    Nat r((words.size() + 1) / 2);
    pack_words(words, r.data());
    normalize(r);
    return r;
}

// On a little-endian machine two words are one limb byte for byte.
size_t pack_words(std::span<const uint32_t> words, Limb *out) {
    const size_t limbs = (words.size() + 1) / 2;
    if constexpr (std::endian::native == std::endian::little) {
        if (limbs != 0)
            out[limbs - 1] = 0;
        if (!words.empty())
            std::memcpy(out, words.data(), words.size() * sizeof(uint32_t));
    } else {
        std::fill(out, out + limbs, 0);
        for (size_t i = 0; i < words.size(); ++i)
            out[i / 2] |= Limb(words[i]) << (32 * (i % 2));
    }
    return limbs;
}

size_t word_count(View a) {
    a = trimmed(a);
    if (a.empty())
        return 0;
    return 2 * a.size() - (a.back() >> 32 == 0 ? 1 : 0);
}

size_t to_words(View a, uint32_t *out) {
    const size_t n = word_count(a);
    if constexpr (std::endian::native == std::endian::little) {
        if (n != 0)
            std::memcpy(out, a.data(), n * sizeof(uint32_t));
    } else {
        for (size_t i = 0; i < n; ++i)
            out[i] = uint32_t(a[i / 2] >> (32 * (i % 2)));
    }
    return n;
}

int compare(View a, View b) {
    a = trimmed(a);
    b = trimmed(b);
    return cmp(a.data(), a.size(), b.data(), b.size());
}

Nat add(View a, View b) {
    a = trimmed(a);
    b = trimmed(b);
    if (a.size() < b.size())
        std::swap(a, b);
    Nat r(a.size() + 1);
    r[a.size()] = kernel::add(r.data(), a.data(), a.size(), b.data(), b.size());
    normalize(r);
    return r;
}

Nat sub(View a, View b) {
    a = trimmed(a);
    b = trimmed(b);
    Nat r(a.size());
    kernel::sub(r.data(), a.data(), a.size(), b.data(), b.size());
    normalize(r);
    return r;
}

Nat mul(View a, View b, const Tuning &t) {
    a = trimmed(a);
    b = trimmed(b);
    if (a.empty() || b.empty())
        return {};
    if (a.size() < b.size())
        std::swap(a, b);
    Nat r(a.size() + b.size());
    if (a.data() == b.data() && a.size() == b.size())
        kernel::sqr(r.data(), a.data(), a.size(), t);
    else
        kernel::mul(r.data(), a.data(), a.size(), b.data(), b.size(), t);
    normalize(r);
    return r;
}

Nat sqr(View a, const Tuning &t) {
    a = trimmed(a);
    if (a.empty())
        return {};
    Nat r(2 * a.size());
    kernel::sqr(r.data(), a.data(), a.size(), t);
    normalize(r);
    return r;
}

void divrem(View a, View b, Nat *q, Nat *r, const Tuning &t) {
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
    kernel::divrem(quot.data(), rem.data(), a.data(), a.size(), b.data(), b.size(), t);
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
    const size_t limbs = size_t(bits / kLimbBits);
    const unsigned s = unsigned(bits % kLimbBits);
    Nat r(a.size() + limbs + 1);
    std::copy(a.begin(), a.end(), r.begin() + long(limbs));
    if (s != 0)
        r.back() = lshift(r.data() + limbs, r.data() + limbs, a.size(), s);
    normalize(r);
    return r;
}

Nat shift_right(View a, uint64_t bits) {
    a = trimmed(a);
    const uint64_t limbs = bits / kLimbBits;
    if (limbs >= a.size())
        return {};
    Nat r(a.begin() + long(limbs), a.end());
    const unsigned s = unsigned(bits % kLimbBits);
    if (s != 0)
        rshift(r.data(), r.data(), r.size(), s);
    normalize(r);
    return r;
}

void shift_right_in_place(Nat &a, uint64_t bits) {
    normalize(a);
    const uint64_t limbs = bits / kLimbBits;
    if (limbs >= a.size()) {
        a.clear();
        return;
    }
    a.erase(a.begin(), a.begin() + long(limbs));
    const unsigned s = unsigned(bits % kLimbBits);
    if (s != 0)
        rshift(a.data(), a.data(), a.size(), s);
    normalize(a);
}

uint64_t bit_length(View a) {
    a = trimmed(a);
    if (a.empty())
        return 0;
    return uint64_t(a.size()) * kLimbBits - unsigned(std::countl_zero(a.back()));
}

} // namespace karvo::kernel
