// Products by transforms in double precision with AVX2 and FMA (see
// ntt_avx2.cpp): the convolution modulo each prime, Garner's digits four at a
// time, and the coefficients from their digits as in the scalar arithmetic.
#include <algorithm>
#include <memory>
#include <span>

#include "kernels/buffer.h"
#include "kernels/ntt_garner.h"

namespace karvo::kernel::ntt {

namespace {

// The product by transforms in double precision with AVX2 and FMA: the
// convolution modulo each prime, then Garner's digits four at a time, then
// the coefficients from their digits as in the scalar arithmetic.
class DoubleProduct {
  public:
    DoubleProduct(const PrimeSet &set, const Plan &plan) : set_(set), plan_(plan) {}

    void run(Limb *r, size_t rn, size_t count, const std::vector<Piece> &a,
             const std::vector<Piece> *b) {
        const size_t n = plan_.n;
        // One block for the results of every prime and the second operand's
        // transform. It holds limbs (the loads, then Garner's digits, which
        // replace the results in place) or doubles, always through the
        // vector code's loads and stores.
        // Every value is written before it is read: no need to clear it first.
        const auto storage = workspace((set_.count + (b ? 1 : 0)) * n);
        const std::span<Limb> block(storage.get(), (set_.count + (b ? 1 : 0)) * n);
        double *y = b ? as_doubles(block.data() + set_.count * n) : nullptr;
        for (size_t k = 0; k < set_.count; ++k) {
            const Field &f = set_.fields[k];
            const double p = double(f.p());
            tables(f, set_.root(k, n));
            Limb *x = block.data() + k * n;
            transform_in(f, a, x);
            if (b != nullptr)
                transform_in(f, *b, reinterpret_cast<Limb *>(y));
            ntt::avx2::pointwise(p, as_doubles(x), b ? y : as_doubles(x), n);
            for (size_t s = 0; s < n; s += plan_.m)
                ntt::avx2::inverse(p, as_doubles(x) + s, plan_.m, w_inv_.data());
            if (plan_.radix3)
                ntt::avx2::radix3_inverse(p, as_doubles(x), plan_.m,
                                          {r3_inv_[0].data(), r3_inv_[1].data(), omega_});
        }
        const Garner garner(set_, n, 64);
        const double *x[kMaxPrimes] = {};
        Limb *v[kMaxPrimes] = {};
        for (size_t k = 0; k < set_.count; ++k) {
            v[k] = block.data() + k * n;
            x[k] = as_doubles(v[k]);
        }
        // Digits only for the coefficients the product has, in runs of four.
        ntt::avx2::garner_digits(garner.double_constants(), x, v, std::min(n, (count + 3) / 4 * 4));
        if (set_.count == 4)
            combine<4>(garner, v, r, rn, count);
        else
            combine<5>(garner, v, r, rn, count);
    }

  private:
    // The coefficients from their digits, added at their bit positions, with
    // the primes copied out so that no store to r makes the compiler reload
    // them.
    // The coefficients from their digits, then their sum at their bit
    // positions, in two passes: together they need more registers than the
    // processor has. The first writes each coefficient's four limbs over its
    // first four digits.
    template <size_t Count>
    void combine(const Garner &garner, Limb *const *v, Limb *r, size_t rn, size_t count) const {
        Limb primes[Count];
        for (size_t k = 0; k < Count; ++k)
            primes[k] = garner.prime(k);
        for (size_t i = 0; i < count; ++i) {
            Limb digit[Count];
            for (size_t k = 0; k < Count; ++k)
                digit[k] = v[k][i];
            const std::array<Limb, 4> c = Garner::value<Count>(primes, digit);
            for (size_t k = 0; k < 4; ++k)
                v[k][i] = c[k];
        }
        Accumulator out;
        const uint64_t bits = plan_.bits;
        const Limb *c0 = v[0], *c1 = v[1], *c2 = v[2], *c3 = v[3];
        for (size_t i = 0; i < count; ++i)
            out.add({c0[i], c1[i], c2[i], c3[i]}, uint64_t(i) * bits, r, rn);
        out.finish(r, rn);
    }

    static double signed_residue(const Field &f, Limb x) {
        return x > f.p() / 2 ? double(x) - double(f.p()) : double(x);
    }

    static double *as_doubles(Limb *x) { return reinterpret_cast<double *>(x); }

    // The residues of the pieces, then their transform, in place.
    void transform_in(const Field &f, const std::vector<Piece> &pieces, Limb *x) const {
        const size_t n = plan_.n;
        const double p = double(f.p());
        load_residues(f, pieces, x, n);
        ntt::avx2::from_residues(x, as_doubles(x), n);
        if (plan_.radix3)
            ntt::avx2::radix3_forward(p, as_doubles(x), plan_.m,
                                      {r3_[0].data(), r3_[1].data(), omega_});
        for (size_t s = 0; s < n; s += plan_.m)
            ntt::avx2::forward(p, as_doubles(x) + s, plan_.m, w_.data());
    }

    // Every table from one run of powers of w, a primitive n-th root: the
    // power-of-two transforms' root is w^3 (or w), and w^-j = w^(n - j).
    void tables(const Field &f, Limb root) {
        const size_t n = plan_.n, m = plan_.m, stride = plan_.radix3 ? 3 : 1;
        const double p = double(f.p());
        powers_.resize(n);
        ntt::avx2::powers(p, signed_residue(f, f.reduce(root)), n, powers_.data());
        w_.resize(m);
        w_inv_.resize(m);
        for (size_t len = 1; len < m; len *= 2) {
            const size_t step = stride * (m / (2 * len));
            for (size_t j = 0; j < len; ++j) {
                w_[len + j] = powers_[step * j];
                w_inv_[len + j] = powers_[j == 0 ? 0 : n - step * j];
            }
        }
        if (!plan_.radix3)
            return;
        omega_ = powers_[m];
        for (auto &t : {&r3_, &r3_inv_})
            for (auto &v : *t)
                v.resize(m);
        for (size_t j = 0; j < m; ++j) {
            r3_[0][j] = powers_[j];
            r3_[1][j] = powers_[2 * j];
            r3_inv_[0][j] = powers_[j == 0 ? 0 : n - j];
            r3_inv_[1][j] = powers_[j == 0 ? 0 : n - 2 * j];
        }
    }

    const PrimeSet &set_;
    const Plan &plan_;
    std::vector<double> powers_, w_, w_inv_;
    std::array<std::vector<double>, 2> r3_, r3_inv_;
    double omega_ = 0;
};

} // namespace

void double_product(Limb *r, size_t rn, size_t count, const PrimeSet &set, const Plan &plan,
                    const std::vector<Piece> &a, const std::vector<Piece> *b) {
    DoubleProduct(set, plan).run(r, rn, count, a, b);
}

} // namespace karvo::kernel::ntt
