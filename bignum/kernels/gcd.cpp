// Greatest common divisor by Lehmer's algorithm (Knuth, TAOCP 4.5.2, L): the
// quotients of many Euclid steps are found from the leading 64 bits alone and
// applied to the full numbers at once as a 2x2 matrix of single-limb
// cofactors; a full division step is taken when the leading bits decide
// nothing or the lengths differ.
#include <algorithm>
#include <bit>
#include <utility>

#include "kernels/arith.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

using SLimb2 = __int128;

// x X + y Y for cofactors of opposite signs whose result is non-negative,
// with x and y of n limbs (y padded).
Nat combine(const Nat &x, SLimb2 X, const Nat &y, SLimb2 Y, size_t n) {
    const bool x_positive = X >= 0 && Y <= 0;
    const Nat &plus = x_positive ? x : y, &minus = x_positive ? y : x;
    const Limb p = Limb(x_positive ? X : Y), m = Limb(x_positive ? -Y : -X);
    Nat r(n + 1, 0), padded(n, 0);
    std::copy(plus.begin(), plus.end(), r.begin());
    r[n] = mul_1(r.data(), r.data(), n, p);
    std::copy(minus.begin(), minus.end(), padded.begin());
    r[n] -= submul_1(r.data(), padded.data(), n, m);
    normalize(r);
    return r;
}

// The leading 64 bits of u, and those of v at the same position.
std::pair<Limb, Limb> leading_bits(const Nat &u, const Nat &v) {
    const size_t n = u.size();
    const unsigned s = unsigned(std::countl_zero(u[n - 1]));
    auto at = [&](const Nat &x, size_t i) { return i < x.size() ? x[i] : Limb(0); };
    auto top = [&](const Nat &x) {
        const Limb hi = at(x, n - 1), lo = n >= 2 ? at(x, n - 2) : 0;
        return s == 0 ? hi : (hi << s) | (lo >> (kLimbBits - s));
    };
    return {top(u), top(v)};
}

} // namespace

Nat gcd(View a, View b, const Tuning &t) {
    Nat u(trimmed(a).begin(), trimmed(a).end()), v(trimmed(b).begin(), trimmed(b).end());
    if (compare(u, v) < 0)
        std::swap(u, v);
    while (!v.empty()) {
        if (u.size() <= 2) {
            auto value = [](const Nat &x) {
                return (x.size() > 1 ? DLimb(x[1]) << kLimbBits : 0) | (x.empty() ? 0 : x[0]);
            };
            DLimb x = value(u), y = value(v);
            while (y != 0)
                x = std::exchange(y, x % y);
            Nat r{Limb(x), Limb(x >> kLimbBits)};
            normalize(r);
            return r;
        }
        SLimb2 A = 1, B = 0, C = 0, D = 1;
        if (u.size() == v.size()) {
            auto [uh, vh] = leading_bits(u, v);
            SLimb2 x = uh, y = vh;
            while (y + C != 0 && y + D != 0) {
                const SLimb2 q = (x + A) / (y + C);
                if (q != (x + B) / (y + D))
                    break;
                A = std::exchange(C, A - q * C);
                B = std::exchange(D, B - q * D);
                x = std::exchange(y, x - q * y);
            }
        }
        if (B == 0) {
            Nat r;
            divrem(u, v, nullptr, &r, t);
            u = std::exchange(v, std::move(r));
        } else {
            const size_t n = u.size();
            Nat nu = combine(u, A, v, B, n), nv = combine(u, C, v, D, n);
            u = std::move(nu);
            v = std::move(nv);
        }
    }
    return u;
}

} // namespace karvo::kernel
