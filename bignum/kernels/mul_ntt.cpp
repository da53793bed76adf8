// Multiplication by number-theoretic transforms, from Tuning::ntt limbs up.
// The operands are cut into coefficients of b bits (as large as the length
// allows), the polynomials are multiplied by cyclic convolution
// modulo several primes and the coefficients are put back together by the
// Chinese remainder theorem: they are below min(terms) 2^2b, which the
// product of the primes exceeds. Each prime is 3 c 2^k + 1, so lengths 2^k
// and 3 2^k both exist; the choice between them keeps the padding small.
// Three primes of 62 bits serve plain 64-bit arithmetic; processors with
// AVX-512 IFMA or AVX2 take four or five of 50 bits, whose transforms run
// eight values at a time in IFMA's 52-bit integers (here) or four at a time
// in double precision (mul_ntt_double.cpp); the avx512 path takes the doubles
// too below Tuning::ntt_ifma limbs. The plans and prime sets are in
// ntt_plan.h, Garner's step in ntt_garner.h.
#include <algorithm>
#include <vector>

#include "kernels/buffer.h"
#include "kernels/mul.h"
#include "kernels/ntt_garner.h"
#include "kernels/ntt_plan.h"

namespace karvo::kernel {

namespace ntt {
namespace {

#ifdef KARVO_NTT_IFMA
constexpr bool kIfmaBuild = true;
#else
constexpr bool kIfmaBuild = false;
#endif

// The tables of one transform, kept across the primes of a product so that
// their memory is taken once.
struct Tables {
    ntt::Twiddles tw, tw_inv;            // for the length-m transforms
    std::vector<Limb> outer, outer_inv;  // w^j, w^2j (and inverses) for j < m, radix 3
    std::vector<Limb> powers, quotients; // w^i and Shoup's quotients (vector)
    ntt::ifma::Radix3 radix3;
};

// The transform of length n = 3 m: one radix-3 pass, then three power-of-two
// transforms of length m (without the radix-3 pass, one of length m = n).
class Transform {
  public:
    // root: a primitive n-th root of unity, in Montgomery form.
    Transform(const Field &field, Limb root, const Plan &plan, bool vector, Tables &tables)
        : f_(field), plan_(plan), vector_(vector), tw_(tables.tw), tw_inv_(tables.tw_inv),
          outer_(tables.outer), outer_inv_(tables.outer_inv), powers_(tables.powers),
          quotients_(tables.quotients), radix3_(tables.radix3) {
        const Limb w = root;
        if (vector_)
            vector_tables(w);
        else
            scalar_tables(w);
    }

    // Values below p in, below 2p out.
    void forward(Limb *x) const {
        const size_t m = plan_.m;
        if (plan_.radix3) {
            if (vector_)
                vector_radix3_forward(x);
            else
                scalar_radix3_forward(x);
        }
        for (size_t s = 0; s < plan_.n; s += m) {
            if (vector_)
                vector_forward(x + s);
            else
                ntt::forward<64>(f_.p(), x + s, m, tw_);
        }
    }

    // Values below 4p in; leaves n times the cyclic convolution, below p. The
    // vector transforms go back by the forward transform in the inverse's
    // order, with the forward's tables and the cube root's conjugate: a
    // transform by w rather than w^-1 leaves n c_(-j mod n) at j, so their
    // coefficients come out in reverse (see recombine()).
    void inverse(Limb *x) const {
        const size_t m = plan_.m;
        for (size_t s = 0; s < plan_.n; s += m) {
            if (vector_)
                vector_inverse(x + s);
            else
                ntt::inverse<64>(f_.p(), x + s, m, tw_inv_);
        }
        if (vector_)
            vector_finish(x);
        else
            scalar_finish(x);
    }

    // x = x y (y may be x), with the factor 2^-52 (vector) or 2^-64 (scalar).
    void pointwise(Limb *x, const Limb *y) const {
        if (vector_) {
            vector_pointwise(x, y);
            return;
        }
        const Field &f = f_;
        for (size_t i = 0; i < plan_.n; ++i)
            x[i] = f.mul(f.normal(x[i]), f.normal(y[i]));
    }

  private:
    // Twiddles in Montgomery form for the radix-3 pass, 64-bit quotients for
    // the power-of-two transforms.
    void scalar_tables(Limb w) {
        ntt::twiddles(f_, plan_.radix3 ? f_.pow(w, 3) : w, plan_.m, 64, tw_);
        ntt::inverse_twiddles(tw_, f_.p(), 64, tw_inv_);
        if (!plan_.radix3)
            return;
        omega_ = f_.pow(w, plan_.m);
        for (const auto &[root, table] :
             {std::pair{w, &outer_}, std::pair{f_.inverse(w), &outer_inv_}}) {
            table->resize(2 * plan_.m);
            const Limb root2 = f_.mul(root, root);
            Limb x = f_.to(1), y = x;
            for (size_t j = 0; j < plan_.m; ++j) {
                (*table)[2 * j] = x;
                (*table)[2 * j + 1] = y;
                x = f_.mul(x, root);
                y = f_.mul(y, root2);
            }
        }
    }

    // Every table from one run of powers w^i (plain residues with 52-bit
    // quotients, eight runs side by side): the power-of-two transforms' root
    // is w^3 (or w), and the radix-3 pass takes w^j and w^2j for j < m.
    void vector_tables(Limb w) {
        const size_t n = plan_.n, m = plan_.m, count = plan_.radix3 ? 2 * m : n / 2;
        const Limb p = f_.p(), w_plain = f_.reduce(w);
        std::vector<Limb> &powers = powers_, &quotients = quotients_;
        powers.resize(count + 32);
        quotients.resize(count + 32);
        if constexpr (kIfmaBuild)
            ntt::ifma::powers(p, w_plain, count, powers.data(), quotients.data());
        ntt::twiddles_from(powers, quotients, plan_.radix3 ? 3 : 1, m, tw_);
        if (!plan_.radix3)
            return;
        ntt::ifma::Radix3 &t = radix3_;
        for (auto *v : {&t.w1, &t.s1, &t.w2, &t.s2})
            v->resize(m);
        for (size_t j = 0; j < m; ++j) {
            t.w1[j] = powers[j];
            t.s1[j] = quotients[j];
            t.w2[j] = powers[2 * j];
            t.s2[j] = quotients[2 * j];
        }
        t.omega = powers[m];
        t.omega_shoup = quotients[m];
        // The conjugate omega^2 = -1 - omega.
        conjugate_ = radix3_.view();
        conjugate_.omega = p - 1 - t.omega;
        conjugate_.omega_shoup = ntt::ShoupQuotient(p, 52)(conjugate_.omega);
    }

    void scalar_radix3_forward(Limb *x) const {
        const Field &f = f_;
        const size_t m = plan_.m;
        for (size_t j = 0; j < m; ++j) {
            const Limb x0 = x[j], x1 = x[j + m], x2 = x[j + 2 * m];
            // x0 + w x1 + w^2 x2 = (x0 - x2) + w (x1 - x2), and its conjugate.
            const Limb t = f.mul(f.sub(x1, x2), omega_);
            const Limb y1 = f.add(f.sub(x0, x2), t), y2 = f.sub(f.sub(x0, x1), t);
            x[j] = f.add(f.add(x0, x1), x2);
            x[j + m] = f.mul(y1, outer_[2 * j]);
            x[j + 2 * m] = f.mul(y2, outer_[2 * j + 1]);
        }
    }

    void scalar_finish(Limb *x) const {
        const Field &f = f_;
        const size_t m = plan_.m;
        if (!plan_.radix3) {
            for (size_t j = 0; j < plan_.n; ++j)
                x[j] = f.normal(x[j]);
            return;
        }
        for (size_t j = 0; j < m; ++j) {
            const Limb y0 = f.normal(x[j]);
            const Limb z1 = f.mul(f.normal(x[j + m]), outer_inv_[2 * j]);
            const Limb z2 = f.mul(f.normal(x[j + 2 * m]), outer_inv_[2 * j + 1]);
            // Conjugate roots: y0 + w^2 z1 + w z2 = (y0 - z1) - w (z1 - z2), and
            // y0 + w z1 + w^2 z2 = (y0 - z2) + w (z1 - z2).
            const Limb t = f.mul(f.sub(z1, z2), omega_);
            x[j] = f.add(f.add(y0, z1), z2);
            x[j + m] = f.sub(f.sub(y0, z1), t);
            x[j + 2 * m] = f.add(f.sub(y0, z2), t);
        }
    }

    // The IFMA transforms: only builds that have them choose a vector prime
    // set for this class (AVX2 products go to double_product()), so elsewhere
    // these are never called and compile to nothing.
    void vector_radix3_forward(Limb *x) const {
        if constexpr (kIfmaBuild)
            ntt::ifma::radix3_forward(f_.p(), x, plan_.m, radix3_.view());
    }
    void vector_forward(Limb *x) const {
        if constexpr (kIfmaBuild)
            ntt::ifma::forward(f_.p(), x, plan_.m, view(tw_));
    }
    void vector_inverse(Limb *x) const {
        if constexpr (kIfmaBuild)
            ntt::ifma::inverse(f_.p(), x, plan_.m, view(tw_));
    }
    static ntt::ifma::TableView view(const ntt::Twiddles &t) {
        return {t.w.data(), t.shoup.data()};
    }
    void vector_finish(Limb *x) const {
        if constexpr (kIfmaBuild) {
            if (plan_.radix3)
                ntt::ifma::radix3_inverse(f_.p(), x, plan_.m, conjugate_);
            else
                ntt::ifma::normalize(f_.p(), x, plan_.n);
        }
    }
    void vector_pointwise(Limb *x, const Limb *y) const {
        if constexpr (kIfmaBuild)
            ntt::ifma::pointwise(f_.p(), f_.neg_inverse(), x, y, plan_.n);
    }

    const Field &f_;
    const Plan &plan_;
    bool vector_;
    Limb omega_ = 0; // a primitive cube root of unity (Montgomery form)
    ntt::Twiddles &tw_, &tw_inv_;
    std::vector<Limb> &outer_, &outer_inv_, &powers_, &quotients_;
    ntt::ifma::Radix3 &radix3_;
    ntt::ifma::Radix3View conjugate_{}; // the radix-3 tables with omega's conjugate
};

// x = the cyclic convolution of a and b (or of a with itself when b is null)
// modulo f's prime, times n R^-2 (R^-1 from each load) and the pointwise
// product's factor (the transforms leave n): Garner's step takes it out.
// x and scratch have n limbs each.
void convolve(const Field &f, Limb root, const Plan &plan, bool vector, const std::vector<Piece> &a,
              const std::vector<Piece> *b, Limb *x, Limb *scratch, Tables &tables) {
    const Transform t(f, root, plan, vector, tables);
    const size_t n = plan.n;
    auto load = [&](const std::vector<Piece> &pieces, Limb *out) {
        if constexpr (kIfmaBuild) {
            if (vector) {
                ntt::ifma::load_residues(f.p(), f.reduce(1), pieces.data(), pieces.size(), out, n);
                return;
            }
        }
        load_residues(f, pieces, out, n);
    };
    load(a, x);
    t.forward(x);
    if (b == nullptr) {
        t.pointwise(x, x);
    } else {
        load(*b, scratch);
        t.forward(scratch);
        t.pointwise(x, scratch);
    }
    t.inverse(x);
}

// residues[k]: the n results of prime k.
template <size_t Count>
void recombine(Limb *r, size_t rn, const Plan &plan, size_t count, const Garner &shared,
               Limb *const *residues, bool vector) {
    const Garner garner = shared; // a local copy: stores through r cannot change it
    if constexpr (kIfmaBuild) {
        if (vector) {
            // The coefficients eight at a time, their limbs in place of the residues.
            Limb *t[kMaxPrimes] = {};
            for (size_t k = 0; k < Count; ++k)
                t[k] = residues[k];
            ntt::ifma::garner(garner.vector_constants(), t, plan.n);
        }
    }
    const Limb *from[Count]; // local pointers: stores through r cannot move them
    for (size_t k = 0; k < Count; ++k)
        from[k] = residues[k];
    Accumulator out;
    for (size_t i = 0; i < count; ++i) {
        // The vector transforms leave c_i at n - i (c_0 at 0).
        const size_t at = vector && i != 0 ? plan.n - i : i;
        Limb t[Count], v[Count];
        for (size_t k = 0; k < Count; ++k)
            t[k] = from[k][at];
        if constexpr (Count >= 4) {
            if (vector) { // the limbs of c already
                out.add({t[0], t[1], t[2], t[3]}, uint64_t(i) * plan.bits, r, rn);
                continue;
            }
        }
        garner.digits<Count>(t, v);
        out.add(garner.value<Count>(v), uint64_t(i) * plan.bits, r, rn);
    }
    out.finish(r, rn);
}

void ntt_product(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const PrimeSet &set,
                 bool doubles) {
    const size_t rn = an + (b ? bn : an);
    const Plan plan = make_plan(an, b ? bn : an, set.usable_bits);
    const size_t count =
        size_t(std::min<uint64_t>((uint64_t(rn) * 64 + plan.bits - 1) / plan.bits, plan.n));
    const bool vector = runs_vector(set, plan);
#ifdef KARVO_NTT_AVX2
    if (vector && avx2::available() && (doubles || !ifma::available())) {
        double_product(r, rn, count, set, plan, a, an, b, bn);
        return;
    }
#endif
    const std::vector<Piece> pa = pieces(a, an, plan.bits);
    const std::vector<Piece> pb = b ? pieces(b, bn, plan.bits) : std::vector<Piece>{};
    // The results of every prime and the second operand's transform.
    const auto block = workspace((set.count + 1) * plan.n);
    Limb *residues[kMaxPrimes] = {};
    for (size_t k = 0; k < set.count; ++k)
        residues[k] = block.get() + k * plan.n;
    Limb *const scratch = block.get() + set.count * plan.n;
    Tables tables;
    for (size_t k = 0; k < set.count; ++k)
        convolve(set.fields[k], set.root(k, plan.n), plan, vector, pa, b ? &pb : nullptr,
                 residues[k], scratch, tables);
    const Garner garner(set, plan.n, vector ? 52 : 64);
    if (set.count == 3)
        recombine<3>(r, rn, plan, count, garner, residues, false);
    else if (set.count == 4)
        recombine<4>(r, rn, plan, count, garner, residues, vector);
    else
        recombine<5>(r, rn, plan, count, garner, residues, vector);
}

// The scalar primes, or of the vector sets the one whose transforms cost
// least: primes times points.
const PrimeSet &prime_set(NttArithmetic arithmetic, size_t an, size_t bn) {
    // Without the instructions, a request for the vector kind gets the scalar one.
    if (arithmetic == NttArithmetic::scalar || (!ntt::ifma::available() && !ntt::avx2::available()))
        return kScalarPrimes;
    const PrimeSet *best = &kVectorPrimes[0];
    size_t best_cost = SIZE_MAX;
    for (const PrimeSet &set : kVectorPrimes) {
        const size_t cost = set.count * make_plan(an, bn, set.usable_bits).n;
        if (cost < best_cost) {
            best = &set;
            best_cost = cost;
        }
    }
    return *best;
}

// Whether the vector transforms are the AVX2 doubles where IFMA runs too.
bool doubles(NttArithmetic arithmetic, size_t an, size_t bn) {
    return arithmetic == NttArithmetic::doubles ||
           (arithmetic == NttArithmetic::best && (an + bn) / 2 < default_tuning().ntt_ifma);
}

} // namespace
} // namespace ntt

void mul_ntt(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn,
             NttArithmetic arithmetic) {
    ntt::ntt_product(r, a, an, b, bn, ntt::prime_set(arithmetic, an, bn),
                     ntt::doubles(arithmetic, an, bn));
}

void sqr_ntt(Limb *r, const Limb *a, size_t n, NttArithmetic arithmetic) {
    ntt::ntt_product(r, a, n, nullptr, 0, ntt::prime_set(arithmetic, n, n),
                     ntt::doubles(arithmetic, n, n));
}

} // namespace karvo::kernel
