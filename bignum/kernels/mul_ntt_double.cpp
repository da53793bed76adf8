// Products by transforms in double precision with AVX2 and FMA (see
// ntt_avx2.cpp): the convolution modulo each prime, Garner's digits four at a
// time, and the coefficients from their digits as in the scalar arithmetic.
#include <algorithm>
#include <memory>

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

    void run(Limb *r, size_t rn, size_t count, const Limb *a, size_t a_limbs, const Limb *b,
             size_t b_limbs) {
        const size_t n = plan_.n;
        // One block for the results of every prime and the second operand's
        // transform. It holds limbs (Garner's digits replace the results in
        // place) or doubles, always through the vector code's loads and
        // stores. Every value is written before it is read: no need to clear
        // it first. The pieces split for all the primes go beside it at their
        // exact size, not into the block, which is made twice the size asked
        // for (see workspace()).
        const size_t an = piece_count(a_limbs, plan_.bits);
        const size_t bn = b ? piece_count(b_limbs, plan_.bits) : 0;
        const auto storage = workspace((set_.count + (b ? 1 : 0)) * n);
        double *const y = b ? as_doubles(storage.get() + set_.count * n) : nullptr;
        const auto split_parts =
            std::make_unique_for_overwrite<double[]>(3 * (round_up(an) + round_up(bn)));
        double *const parts = split_parts.get();
        const ntt::avx2::PieceParts a_parts{parts, parts + round_up(an), parts + 2 * round_up(an)};
        double *const b_start = parts + 3 * round_up(an);
        const ntt::avx2::PieceParts b_parts{b_start, b_start + round_up(bn),
                                            b_start + 2 * round_up(bn)};
        split(a, a_limbs, a_parts);
        if (b != nullptr)
            split(b, b_limbs, b_parts);
        for (size_t k = 0; k < set_.count; ++k) {
            const Field &f = set_.fields[k];
            const double p = double(f.p());
            tables(f, set_.root(k, n));
            double *x = as_doubles(storage.get() + k * n);
            transform_in(f, a_parts, an, x);
            if (b != nullptr)
                transform_in(f, b_parts, bn, y);
            ntt::avx2::pointwise(p, x, b ? y : x, n);
            for (size_t s = 0; s < n; s += plan_.m)
                ntt::avx2::inverse(p, x + s, plan_.m, w_inv_.data());
            if (plan_.radix3)
                ntt::avx2::radix3_inverse(p, x, plan_.m,
                                          {r3_inv_[0].data(), r3_inv_[1].data(), omega_});
        }
        const Garner garner(set_, n, 64);
        const double *x[kMaxPrimes] = {};
        Limb *v[kMaxPrimes] = {};
        for (size_t k = 0; k < set_.count; ++k) {
            v[k] = storage.get() + k * n;
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

    static size_t round_up(size_t count) { return (count + 3) / 4 * 4; }

    // The pieces of x cut straight into the three integers below 2^52 that
    // the loads take (see ntt::avx2::PieceParts), then zeros to a multiple
    // of four.
    void split(const Limb *x, size_t limbs, const ntt::avx2::PieceParts &parts) const {
        const Limb low52 = (Limb(1) << 52) - 1;
        for_each_piece(x, limbs, plan_.bits, [&](size_t i, Piece piece) {
            parts.low[i] = double(int64_t(piece.lo & low52));
            parts.middle[i] = double(int64_t(piece.lo >> 52));
            parts.high[i] = double(int64_t(piece.hi));
        });
        for (size_t i = piece_count(limbs, plan_.bits); i % 4 != 0; ++i)
            parts.low[i] = parts.middle[i] = parts.high[i] = 0;
    }

    // The residues of the pieces, then their transform, in place.
    void transform_in(const Field &f, const ntt::avx2::PieceParts &parts, size_t count,
                      double *x) const {
        const size_t n = plan_.n;
        const double p = double(f.p());
        // 2^-64 and 2^-12 mod p: Montgomery reductions of 1 and 2^52.
        ntt::avx2::load_pieces(p, signed_residue(f, f.reduce(1)),
                               signed_residue(f, f.reduce(Limb(1) << 52)), parts,
                               std::min(round_up(count), n), x, n);
        if (plan_.radix3)
            ntt::avx2::radix3_forward(p, x, plan_.m, {r3_[0].data(), r3_[1].data(), omega_}, count);
        for (size_t s = 0; s < n; s += plan_.m)
            ntt::avx2::forward(p, x + s, plan_.m, w_.data());
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
                    const Limb *a, size_t an, const Limb *b, size_t bn) {
    DoubleProduct(set, plan).run(r, rn, count, a, an, b, bn);
}

} // namespace karvo::kernel::ntt
