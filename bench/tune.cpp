// karvo_tune: finds, on this machine and the kernel path in use (KARVO_ISA=
// portable|avx2|avx512 picks one, as everywhere), the sizes at which each
// algorithm starts to beat the one below it, for the crossovers of Tuning that
// matter most. For each crossover it times the kernel on random operands at
// sizes on a geometric grid around the current default (widened when the
// crossover lies past an end), once with the crossover just above the size, so
// that the lower algorithm runs, and once at the size, so that the upper one
// does, and keeps the median of several batches of each. It chooses the
// smallest size at which the upper algorithm wins and above which it loses
// nowhere by more than the noise. Crossovers are swept bottom up, each with the
// values already chosen below it and those above it switched off. It prints a
// table and a Tuning initializer to paste into bignum/kernels/limb.h, and
// writes no file. Run it on an idle machine, through scripts/tune.sh or as
//   karvo_tune [--quick] [--verbose]
// which takes a minute or two on two cores, 15 to 20 s with --quick (a coarser
// grid and fewer repetitions); --verbose also prints the ratio at every size.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kernels/div.h"
#include "kernels/isa.h"
#include "kernels/mul.h"
#include "kernels/nat.h"

namespace {

namespace k = karvo::kernel;
using k::Limb;
using k::Tuning;
using Field = size_t Tuning::*;
using Clock = std::chrono::steady_clock;

constexpr size_t kOff = std::numeric_limits<size_t>::max();
// Ratios this close above 1 count as ties: repeated runs differ by about that.
constexpr double kNoise = 0.02;

struct Settings {
    double step;        // ratio between neighbouring sizes of the grid
    double span;        // the grid runs from default / span to default * span
    int repetitions;    // per size and side; the median is kept
    double min_seconds; // per repetition, a batch of calls at least this long
};
constexpr Settings kFull{1.1892071150027210667 /* 2^(1/4) */, 4, 13, 20e-3};
constexpr Settings kQuick{1.4142135623730950488 /* 2^(1/2) */, 4, 9, 12e-3};

// One operation at one size on fixed random operands, run under a Tuning.
using Run = std::function<void(const Tuning &)>;
using Workload = std::function<Run(size_t n, std::mt19937_64 &rng)>;

std::vector<Limb> random_limbs(size_t n, std::mt19937_64 &rng) {
    std::vector<Limb> a(n);
    for (Limb &x : a)
        x = rng();
    a.back() |= Limb(1) << 63; // exactly n limbs
    return a;
}

Run mul_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(n, rng), b = random_limbs(n, rng);
    return [a, b, r = std::vector<Limb>(2 * n)](const Tuning &t) mutable {
        k::mul(r.data(), a.data(), a.size(), b.data(), b.size(), t);
    };
}

// The shorter operand has n limbs; the longer makes the pair long enough for
// the transform, and at least five times n, where Toom-4/2 no longer serves.
Run unbalanced_mul_run(size_t n, std::mt19937_64 &rng) {
    const size_t an = std::max(5 * n, 2 * k::default_tuning().ntt);
    auto a = random_limbs(an, rng), b = random_limbs(n, rng);
    return [a, b, r = std::vector<Limb>(an + n)](const Tuning &t) mutable {
        k::mul(r.data(), a.data(), a.size(), b.data(), b.size(), t);
    };
}

Run sqr_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(n, rng);
    return [a, r = std::vector<Limb>(2 * n)](const Tuning &t) mutable {
        k::sqr(r.data(), a.data(), a.size(), t);
    };
}

// 2n limbs by n: the shape divide and conquer works on.
Run div_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(2 * n, rng), b = random_limbs(n, rng);
    return [a, b, q = std::vector<Limb>(n + 1), r = std::vector<Limb>(n)](const Tuning &t) mutable {
        k::divrem(q.data(), r.data(), a.data(), a.size(), b.data(), b.size(), t);
    };
}

// The approximate reciprocal of n limbs that division by a Newton reciprocal
// starts from.
Run inverse_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(n, rng);
    return [a, x = std::vector<Limb>(n + 1)](const Tuning &t) mutable {
        k::invert_approx(x.data(), a.data(), a.size(), t);
    };
}

Run to_text_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(n, rng);
    return [a](const Tuning &t) { (void)k::to_digits(a, 10, t); };
}

// Text of 16n limbs, whose fourth level divides by powers of about n limbs:
// radix_reciprocal counts limbs of power.
Run to_text_levels_run(size_t n, std::mt19937_64 &rng) { return to_text_run(16 * n, rng); }

// The digits of a limb chunk in radix 10, as radix_from_text.cpp counts them:
// radix_in_dc is in chunks.
unsigned decimal_chunk_digits() {
    unsigned digits = 1;
    k::DLimb scale = 10;
    while (scale * 10 * 36 < (k::DLimb(1) << k::kLimbBits)) {
        scale *= 10;
        ++digits;
    }
    return digits;
}

Run from_text_run(size_t n, std::mt19937_64 &rng) {
    std::vector<uint8_t> digits(n * decimal_chunk_digits());
    for (uint8_t &d : digits)
        d = uint8_t(rng() % 10);
    digits[0] = 1 + uint8_t(rng() % 9);
    return [digits](const Tuning &t) { (void)k::from_digits(digits.data(), digits.size(), 10, t); };
}

Run gcd_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(n, rng), b = random_limbs(n, rng);
    return [a, b](const Tuning &t) { (void)k::gcd(a, b, t); };
}

// The square root of 2n + 1 limbs, whose root has a little more than n limbs:
// sqrt_newton counts limbs of root, and the Newton side takes roots longer than it.
Run sqrt_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(2 * n + 1, rng);
    return [a](const Tuning &t) { (void)k::root(a, 2, t); };
}

// The cube root of 3n + 1 limbs, whose root has a little more than n limbs.
Run cbrt_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(3 * n + 1, rng);
    return [a](const Tuning &t) { (void)k::root(a, 3, t); };
}

struct Crossover {
    const char *name;
    Field field;
    Workload workload;
    std::vector<Field> above; // switched off while this one is swept
    // Below this size the two sides run the same algorithm.
    std::function<size_t(const Tuning &)> floor;
};

// Products by transforms alone, on the avx512 path in IFMA's integers from
// Tuning::ntt_ifma limbs and in AVX2 doubles below.
Run ntt_run(size_t n, std::mt19937_64 &rng) {
    auto a = random_limbs(n, rng), b = random_limbs(n, rng);
    return [n, a, b, r = std::vector<Limb>(2 * n)](const Tuning &t) mutable {
        k::mul_ntt(r.data(), a.data(), n, b.data(), n,
                   n >= t.ntt_ifma ? k::NttArithmetic::vector : k::NttArithmetic::doubles);
    };
}

std::vector<Crossover> crossovers() {
    auto at_least = [](size_t m, Field f = nullptr) {
        return [m, f](const Tuning &t) { return f ? std::max(m, t.*f) : m; };
    };
    return {
        {"karatsuba",
         &Tuning::karatsuba,
         mul_run,
         {&Tuning::toom3, &Tuning::toom4, &Tuning::ntt},
         at_least(2)},
        {"toom3",
         &Tuning::toom3,
         mul_run,
         {&Tuning::toom4, &Tuning::ntt},
         at_least(5, &Tuning::karatsuba)},
        {"toom4", &Tuning::toom4, mul_run, {&Tuning::ntt}, at_least(13, &Tuning::toom3)},
        {"ntt", &Tuning::ntt, mul_run, {}, at_least(5, &Tuning::toom3)},
        {"ntt_unbalanced", &Tuning::ntt_unbalanced, unbalanced_mul_run, {}, at_least(2)},
        // Swept on the avx512 path only, the one with two kinds of transform.
        {"ntt_ifma", &Tuning::ntt_ifma, ntt_run, {}, at_least(16)},
        {"sqr_karatsuba",
         &Tuning::sqr_karatsuba,
         sqr_run,
         {&Tuning::sqr_toom3, &Tuning::sqr_toom4, &Tuning::sqr_ntt},
         at_least(2)},
        {"sqr_toom3",
         &Tuning::sqr_toom3,
         sqr_run,
         {&Tuning::sqr_toom4, &Tuning::sqr_ntt},
         at_least(5, &Tuning::sqr_karatsuba)},
        {"sqr_toom4",
         &Tuning::sqr_toom4,
         sqr_run,
         {&Tuning::sqr_ntt},
         at_least(13, &Tuning::sqr_toom3)},
        {"sqr_ntt", &Tuning::sqr_ntt, sqr_run, {}, at_least(5, &Tuning::sqr_toom3)},
        {"div_dc", &Tuning::div_dc, div_run, {&Tuning::div_newton}, at_least(4)},
        {"inv_newton", &Tuning::inv_newton, inverse_run, {}, at_least(3)},
        {"div_newton", &Tuning::div_newton, div_run, {}, at_least(2)},
        {"radix_dc", &Tuning::radix_dc, to_text_run, {}, at_least(2)},
        {"radix_in_dc", &Tuning::radix_in_dc, from_text_run, {}, at_least(2)},
        {"radix_reciprocal", &Tuning::radix_reciprocal, to_text_levels_run, {}, at_least(2)},
        {"hgcd", &Tuning::hgcd, gcd_run, {}, at_least(2)},
        {"sqrt_newton", &Tuning::sqrt_newton, sqrt_run, {}, at_least(2)},
        {"cbrt_newton", &Tuning::cbrt_newton, cbrt_run, {}, at_least(2)},
    };
}

// Every field, for the initializer; printed in declaration order.
struct Named {
    const char *name;
    Field field;
};
constexpr Named kFields[] = {
    {"karatsuba", &Tuning::karatsuba},
    {"toom3", &Tuning::toom3},
    {"toom4", &Tuning::toom4},
    {"ntt", &Tuning::ntt},
    {"sqr_karatsuba", &Tuning::sqr_karatsuba},
    {"sqr_toom3", &Tuning::sqr_toom3},
    {"sqr_toom4", &Tuning::sqr_toom4},
    {"sqr_ntt", &Tuning::sqr_ntt},
    {"div_dc", &Tuning::div_dc},
    {"radix_dc", &Tuning::radix_dc},
    {"radix_in_dc", &Tuning::radix_in_dc},
    {"root_newton", &Tuning::root_newton},
    {"sqrt_newton", &Tuning::sqrt_newton},
    {"cbrt_newton", &Tuning::cbrt_newton},
    {"hgcd", &Tuning::hgcd},
    {"div_newton", &Tuning::div_newton},
    {"inv_newton", &Tuning::inv_newton},
    {"ntt_unbalanced", &Tuning::ntt_unbalanced},
    {"ntt_ifma", &Tuning::ntt_ifma},
    {"radix_reciprocal", &Tuning::radix_reciprocal},
};

double seconds_of(const Run &run, const Tuning &t, int calls) {
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i)
        run(t);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median seconds per call of the lower (a) and the upper (b) side.
struct Timing {
    double a, b;
    double ratio() const { return b / a; }
};

Timing time_sides(const Run &run, const Tuning &a, const Tuning &b, const Settings &s) {
    // Warm the caches and the allocator, then size a batch from the slower side.
    const double once = std::max(seconds_of(run, a, 1), seconds_of(run, b, 1));
    const int calls = std::max(1, int(std::ceil(s.min_seconds / std::max(once, 1e-9))));
    std::vector<double> ta, tb;
    for (int i = 0; i < s.repetitions; ++i) {
        // Alternating which side goes first keeps drift out of the ratio.
        if (i % 2 == 0) {
            ta.push_back(seconds_of(run, a, calls));
            tb.push_back(seconds_of(run, b, calls));
        } else {
            tb.push_back(seconds_of(run, b, calls));
            ta.push_back(seconds_of(run, a, calls));
        }
    }
    return {median(ta) / calls, median(tb) / calls};
}

// Grid steps on each side of the default.
int half_steps(const Settings &s) { return int(std::lround(std::log(s.span) / std::log(s.step))); }

// default * step^i for i in [-m, m], rounded, without repeats, from `floor`.
// When the floor cuts most of that off, the grid starts at the floor instead.
std::vector<size_t> grid(size_t def, size_t floor, const Settings &s) {
    const int m = half_steps(s);
    std::vector<size_t> sizes;
    auto push = [&](double x) {
        const size_t n = size_t(std::lround(x));
        if (n >= floor && (sizes.empty() || n > sizes.back()))
            sizes.push_back(n);
    };
    for (int i = -m; i <= m; ++i)
        push(double(def) * std::pow(s.step, i));
    if (sizes.size() < size_t(m) + 1) {
        sizes.clear();
        for (int i = 0; i <= 2 * m; ++i)
            push(double(floor) * std::pow(s.step, i));
    }
    return sizes;
}

struct Result {
    size_t def, chosen;
    double ratio_chosen, ratio_default; // NaN when not measured
    const char *note;
};

Result sweep(const Crossover &c, Tuning &working, const Settings &s, bool verbose) {
    Tuning base = working;
    for (Field f : c.above)
        base.*f = kOff;
    const size_t def = k::default_tuning().*c.field, floor = c.floor(base);
    std::map<size_t, double> ratios; // by size
    auto measure = [&](size_t n) {
        std::mt19937_64 rng(0x6b6172766fULL ^ (uint64_t(n) << 20) ^
                            std::hash<std::string>{}(c.name));
        const Run run = c.workload(n, rng);
        Tuning lower = base, upper = base;
        lower.*c.field = n + 1;
        upper.*c.field = n;
        ratios[n] = time_sides(run, lower, upper, s).ratio();
    };
    auto up = [&](size_t n) { return std::max(n + 1, size_t(std::lround(double(n) * s.step))); };
    for (size_t n : grid(def, floor, s))
        measure(n);
    // A crossover past an end of the grid: look as far again that way.
    for (int i = 0; i < half_steps(s) && ratios.rbegin()->second >= 1.0; ++i)
        measure(up(ratios.rbegin()->first));
    auto all_win = [&] {
        return std::all_of(ratios.begin(), ratios.end(), [](auto &p) { return p.second < 1.0; });
    };
    for (int i = 0; i < half_steps(s) && all_win() && ratios.begin()->first > floor; ++i) {
        const size_t n = ratios.begin()->first;
        measure(std::max(floor, std::min(n - 1, size_t(std::lround(double(n) / s.step)))));
    }
    if (verbose) {
        std::printf("%-14s", c.name);
        for (const auto &[n, ratio] : ratios)
            std::printf(" %zu:%.2f", n, ratio);
        std::printf("\n");
        std::fflush(stdout);
    }

    // The smallest size at which the upper side wins and from which it loses
    // nowhere by more than the noise: near a tie, a stray slow batch at some
    // larger size would otherwise push the choice to the top.
    Result r{def, 0, 0, std::nan(""), ""};
    auto from = ratios.end();
    for (auto i = ratios.end(); i != ratios.begin() && std::prev(i)->second < 1.0 + kNoise;) {
        --i;
        if (i->second < 1.0)
            from = i;
    }
    if (from == ratios.end()) {
        r.chosen = up(ratios.rbegin()->first);
        r.ratio_chosen = ratios.rbegin()->second;
        r.note = "loses up to the top of the sweep; ratio there";
    } else {
        r.chosen = from->first;
        r.ratio_chosen = from->second;
        if (from == ratios.begin())
            r.note = "wins from the bottom of the sweep";
    }
    if (auto d = ratios.find(def); d != ratios.end())
        r.ratio_default = d->second;
    working.*c.field = r.chosen;
    return r;
}

void usage(const char *program) {
    std::fprintf(stderr, "usage: %s [--quick] [--verbose] [--only NAME,NAME...]\n", program);
}

} // namespace

int main(int argc, char **argv) {
    bool quick = false, verbose = false;
    std::vector<std::string> only; // the crossovers to sweep; none named: all of them
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--verbose") == 0) {
            verbose = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            for (const char *name = argv[++i]; *name != '\0';) {
                const size_t length = std::strcspn(name, ",");
                only.emplace_back(name, length);
                name += name[length] == ',' ? length + 1 : length;
            }
        } else {
            usage(argv[0]);
            return 2;
        }
    }
    const Settings &s = quick ? kQuick : kFull;
    std::printf("kernel path: %s (requested %s, best on this processor %s)\n",
                k::isa_name(k::isa()), k::isa_name(k::requested()), k::isa_name(k::best_isa()));
    std::printf("sizes from default/%g to default*%g in steps of x%.3f; median of %d batches of "
                ">= %g ms per side\n",
                s.span, s.span, s.step, s.repetitions, s.min_seconds * 1e3);
    std::printf("ratio: time with the crossover at the size (upper algorithm) over time with it "
                "just above (lower one)\n\n");
    std::fflush(stdout);

    const auto start = Clock::now();
    Tuning working = k::default_tuning();
    std::vector<std::pair<const char *, Result>> results;
    for (const Crossover &c : crossovers()) {
        if (c.field == &Tuning::ntt_ifma && k::isa() != k::Isa::avx512)
            continue;
        if (only.empty() || std::find(only.begin(), only.end(), c.name) != only.end())
            results.emplace_back(c.name, sweep(c, working, s, verbose));
    }

    if (verbose)
        std::printf("\n");
    std::printf("%-14s %8s %8s %12s %12s\n", "crossover", "default", "chosen", "ratio there",
                "at default");
    for (const auto &[name, r] : results) {
        char at_default[16] = "-";
        if (!std::isnan(r.ratio_default))
            std::snprintf(at_default, sizeof at_default, "%.3f", r.ratio_default);
        std::printf("%-14s %8zu %8zu %12.3f %12s%s%s\n", name, r.def, r.chosen, r.ratio_chosen,
                    at_default, *r.note ? "  " : "", r.note);
    }

    std::printf("\n// %s, %.0f s\n", k::isa_name(k::isa()),
                std::chrono::duration<double>(Clock::now() - start).count());
    const char *const names[] = {"kPortableTuning", "kAvx2Tuning", "kAvx512Tuning"};
    std::printf("inline constexpr Tuning %s{\n", names[int(k::isa())]);
    // Designators go in declaration order, whatever the order of the table above.
    std::vector<Named> fields(std::begin(kFields), std::end(kFields));
    auto offset = [](Field f) {
        const Tuning t{};
        return reinterpret_cast<const char *>(&(t.*f)) - reinterpret_cast<const char *>(&t);
    };
    std::sort(fields.begin(), fields.end(),
              [&](const Named &x, const Named &y) { return offset(x.field) < offset(y.field); });
    for (const Named &f : fields)
        std::printf("    .%s = %zu,\n", f.name, working.*f.field);
    std::printf("};\n");
    return 0;
}
