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
            // The way back is the forward transform again, in the inverse's
            // order (from the forward's output order to the natural one) and
            // with the cube root's conjugate -1 - omega: a transform by w
            // rather than w^-1 leaves n c_(-j mod n) at j, so the
            // coefficients come out in reverse, as combine() reads them.
            for (size_t s = 0; s < n; s += plan_.m)
                ntt::avx2::inverse(p, x + s, plan_.m, w_.data());
            if (plan_.radix3)
                ntt::avx2::radix3_inverse(p, x, plan_.m, radix3(-1 - omega_));
        }
        const Garner garner(set_, n, 64);
        const double *x[kMaxPrimes] = {};
        Limb *v[kMaxPrimes] = {};
        for (size_t k = 0; k < set_.count; ++k) {
            v[k] = storage.get() + k * n;
            x[k] = as_doubles(v[k]);
        }
        // Digits only for the coefficients the product has, in runs of
        // four: c_0 at 0 and c_i at n - i.
        const auto constants = garner.double_constants();
        const size_t from = count + 3 < n ? (n - count + 1) / 4 * 4 : 0;
        if (from != 0)
            ntt::avx2::garner_digits(constants, x, v, 4);
        const double *x_from[kMaxPrimes] = {};
        Limb *v_from[kMaxPrimes] = {};
        for (size_t k = 0; k < set_.count; ++k) {
            x_from[k] = x[k] + from;
            v_from[k] = v[k] + from;
        }
        ntt::avx2::garner_digits(constants, x_from, v_from, n - from);
        if (set_.count == 4)
            combine<4>(v, r, rn, count);
        else
            combine<5>(v, r, rn, count);
    }

  private:
    // The coefficients from their digits, then their sum at their bit
    // positions, a block at a time: together the two steps need more
    // registers than the processor has, and apart the block's coefficients
    // stay in the first level of cache. The transforms run only where the
    // processor has BMI2 (see avx2::available()), whose shifts take their
    // count in any register: without them the placing of each coefficient
    // queued its shifts on one register, 3% of a 512-limb square.
    template <size_t Count>
    [[gnu::target("bmi2")]] void combine(Limb *const *v, Limb *r, size_t rn, size_t count) const {
        constexpr size_t kBlock = 128;
        const size_t n = plan_.n;
        Limb primes[Count];
        for (size_t k = 0; k < Count; ++k)
            primes[k] = set_.primes[k];
        const Limb *digits[Count];
        for (size_t k = 0; k < Count; ++k)
            digits[k] = v[k];
        Accumulator out;
        const uint64_t bits = plan_.bits;
        for (size_t start = 0; start < count; start += kBlock) {
            const size_t end = std::min(count, start + kBlock);
            std::array<Limb, 4> c[kBlock];
            for (size_t i = start; i < end; ++i) {
                const size_t at = i == 0 ? 0 : n - i;
                Limb digit[Count];
                for (size_t k = 0; k < Count; ++k)
                    digit[k] = digits[k][at];
                c[i - start] = Garner::value<Count>(primes, digit);
            }
            for (size_t i = start; i < end; ++i)
                out.add(c[i - start], uint64_t(i) * bits, r, rn);
        }
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
            ntt::avx2::radix3_forward(p, x, plan_.m, radix3(omega_), count);
        for (size_t s = 0; s < n; s += plan_.m)
            ntt::avx2::forward(p, x + s, plan_.m, w_.data());
    }

    // The tables of the forward transform, from one run of powers of w, a
    // primitive n-th root: the power-of-two transforms' root is w^3 (or w).
    // The way back needs no tables of its own (see run()).
    void tables(const Field &f, Limb root) {
        const size_t m = plan_.m, stride = plan_.radix3 ? 3 : 1;
        // w^2j for j < m (radix 3), or the top stage's w^j for j < m/2.
        powers_.resize(plan_.radix3 ? 2 * m : m / 2);
        ntt::avx2::powers(double(f.p()), signed_residue(f, f.reduce(root)), powers_.size(),
                          powers_.data());
        w_.resize(m);
        for (size_t len = 1; len < m; len *= 2) {
            const size_t step = stride * (m / (2 * len));
            for (size_t j = 0; j < len; ++j)
                w_[len + j] = powers_[step * j];
        }
        if (!plan_.radix3)
            return;
        omega_ = powers_[m];
        r3_square_.resize(m);
        for (size_t j = 0; j < m; ++j)
            r3_square_[j] = powers_[2 * j];
    }

    ntt::avx2::Radix3 radix3(double omega) const {
        return {powers_.data(), r3_square_.data(), omega};
    }

    const PrimeSet &set_;
    const Plan &plan_;
    std::vector<double> powers_, w_, r3_square_;
    double omega_ = 0;
};

} // namespace

void double_product(Limb *r, size_t rn, size_t count, const PrimeSet &set, const Plan &plan,
                    const Limb *a, size_t an, const Limb *b, size_t bn) {
    DoubleProduct(set, plan).run(r, rn, count, a, an, b, bn);
}

} // namespace karvo::kernel::ntt
