#include "workloads.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "operands.h"

namespace {

double median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Seconds per call over `calls` calls.
double time_of(const Body &body, int calls) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
        body();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / calls;
}

// Each side runs at least this long per round, so that the clock's own cost
// is small against it, yet rounds stay short against the spells in which a
// shared machine runs slower or faster.
constexpr double kRoundSide = 20e-6;

struct Paired {
    Setup setup;
    Body karvo, gmp;
    int calls = 0; // per side and round
};

} // namespace

void register_pair(const std::string &key, Setup setup) {
    workload_keys().push_back(key);
    auto paired = std::make_shared<Paired>();
    paired->setup = std::move(setup);
    benchmark::RegisterBenchmark(key.c_str(),
                                 [paired](benchmark::State &state) {
                                     Paired &p = *paired;
                                     if (p.calls == 0) {
                                         std::tie(p.karvo, p.gmp) = p.setup();
                                         // One untimed call each warms caches and sizes the rounds.
                                         const double once =
                                             std::max(time_of(p.karvo, 1), time_of(p.gmp, 1));
                                         p.calls =
                                             once >= kRoundSide ? 1 : int(kRoundSide / once) + 1;
                                     }
                                     std::vector<double> karvo, gmp, ratio;
                                     bool karvo_first = true;
                                     for (auto _ : state) {
                                         double k, g;
                                         if (karvo_first) {
                                             k = time_of(p.karvo, p.calls);
                                             g = time_of(p.gmp, p.calls);
                                         } else {
                                             g = time_of(p.gmp, p.calls);
                                             k = time_of(p.karvo, p.calls);
                                         }
                                         karvo_first = !karvo_first;
                                         karvo.push_back(k);
                                         gmp.push_back(g);
                                         ratio.push_back(k / g);
                                         state.SetIterationTime(p.calls * (k + g));
                                     }
                                     state.counters["karvo"] = median(karvo);
                                     state.counters["gmp"] = median(gmp);
                                     state.counters["ratio"] = median(ratio);
                                 })
        ->UseManualTime()
        ->MinTime(0.4)
        ->Unit(benchmark::kMillisecond);
}

namespace {

std::string sized(const char *name, uint64_t n) {
    return std::string(name) + "/" + std::to_string(n);
}

void multiplication() {
    for (uint64_t n : {16, 64, 256, 1024, 4096, 16384, 50000}) {
        register_pair(sized("mul", n), [n] {
            auto a = std::make_shared<Operand>(), b = std::make_shared<Operand>(),
                 r = std::make_shared<Operand>();
            Operand::random(*a, n, 1);
            Operand::random(*b, n, 2);
            return std::make_pair(Body([=] { bignum_mul(r->bn(), a->bn(), b->bn()); }),
                                  Body([=] { mpz_mul(r->z(), a->z(), b->z()); }));
        });
        register_pair(sized("sqr", n), [n] {
            auto a = std::make_shared<Operand>(), r = std::make_shared<Operand>();
            Operand::random(*a, n, 3);
            return std::make_pair(Body([=] { bignum_mul(r->bn(), a->bn(), a->bn()); }),
                                  Body([=] { mpz_mul(r->z(), a->z(), a->z()); }));
        });
    }
}

void division() {
    for (uint64_t n : {16, 64, 256, 1024, 4096, 16384, 49000}) {
        register_pair(sized("div", n), [n] {
            auto a = std::make_shared<Operand>(), b = std::make_shared<Operand>(),
                 q = std::make_shared<Operand>(), r = std::make_shared<Operand>();
            Operand::random(*a, 2 * n, 4);
            Operand::random(*b, n, 5);
            return std::make_pair(Body([=] { bignum_div(q->bn(), r->bn(), a->bn(), b->bn()); }),
                                  Body([=] { mpz_tdiv_qr(q->z(), r->z(), a->z(), b->z()); }));
        });
    }
}

void text() {
    for (uint64_t digits : {1000, 10000, 100000, 500000, 950000}) {
        for (int radix : {10, 16}) {
            const std::string tag = "/r" + std::to_string(radix);
            register_pair(sized("to_text_display", digits) + tag, [digits, radix] {
                auto a = std::make_shared<Operand>();
                Operand::random_digits(*a, digits, 6);
                auto buf = std::make_shared<std::vector<char>>(digits + 2);
                return std::make_pair(
                    Body([=] { bignum_cstr_base(a->bn(), 100, buf->data(), radix); }),
                    Body([=] { mpz_get_str(buf->data(), radix, a->z()); }));
            });
            register_pair(sized("to_text_full", digits) + tag, [digits, radix] {
                auto a = std::make_shared<Operand>();
                Operand::random_digits(*a, digits, 7);
                auto buf = std::make_shared<std::vector<char>>(digits + 2);
                const int32_t len = int32_t(digits + 2);
                return std::make_pair(
                    Body([=] { bignum_cstr_base(a->bn(), len, buf->data(), radix); }),
                    Body([=] { mpz_get_str(buf->data(), radix, a->z()); }));
            });
            register_pair(sized("from_text", digits) + tag, [digits, radix] {
                auto a = std::make_shared<Operand>(), r = std::make_shared<Operand>();
                Operand::random_digits(*a, digits, 8);
                auto text = std::make_shared<std::string>(a->text(radix));
                return std::make_pair(Body([=] {
                                          __bignum_zero(r->bn());
                                          bignum_set_str(r->bn(), uint32_t(radix), text->c_str());
                                      }),
                                      Body([=] { mpz_set_str(r->z(), text->c_str(), radix); }));
            });
        }
    }
}

void power_root_factorial() {
    for (auto [base, exponent] : {std::pair<uint64_t, uint64_t>{3, 1000000}, {7, 1100000}}) {
        register_pair("pow/" + std::to_string(base) + "^" + std::to_string(exponent), [=] {
            auto b = std::make_shared<Operand>(), e = std::make_shared<Operand>(),
                 r = std::make_shared<Operand>();
            b->set_u64(base);
            e->set_u64(exponent);
            return std::make_pair(Body([=] { bignum_pow(r->bn(), b->bn(), e->bn()); }),
                                  Body([=] { mpz_ui_pow_ui(r->z(), base, exponent); }));
        });
    }
    for (uint64_t n : {1000, 10000, 100000, 190000}) {
        register_pair(sized("factorial", n), [n] {
            auto a = std::make_shared<Operand>(), r = std::make_shared<Operand>();
            a->set_u64(n);
            return std::make_pair(Body([=] { bignum_factorial(r->bn(), a->bn()); }),
                                  Body([=] { mpz_fac_ui(r->z(), n); }));
        });
    }
    for (uint64_t digits : {10000, 100000, 950000}) {
        for (uint64_t degree : {2, 3, 7}) {
            register_pair(sized("root", digits) + "/d" + std::to_string(degree), [=] {
                auto a = std::make_shared<Operand>(), d = std::make_shared<Operand>(),
                     r = std::make_shared<Operand>();
                Operand::random_digits(*a, digits, 9);
                d->set_u64(degree);
                return std::make_pair(Body([=] { bignum_root(r->bn(), d->bn(), a->bn()); }),
                                      Body([=] { mpz_root(r->z(), a->z(), degree); }));
            });
        }
    }
}

void number_theory() {
    for (uint64_t n : {1000, 5000, 20000}) {
        register_pair(sized("gcd", n), [n] {
            auto a = std::make_shared<Operand>(), b = std::make_shared<Operand>(),
                 r = std::make_shared<Operand>();
            Operand::random(*a, n, 10);
            Operand::random(*b, n, 11);
            return std::make_pair(Body([=] { bignum_gcd(r->bn(), a->bn(), b->bn()); }),
                                  Body([=] { mpz_gcd(r->z(), a->z(), b->z()); }));
        });
        register_pair(sized("modinv", n), [n] {
            auto a = std::make_shared<Operand>(), b = std::make_shared<Operand>(),
                 g = std::make_shared<Operand>(), x = std::make_shared<Operand>(),
                 y = std::make_shared<Operand>();
            Operand::random(*a, n, 12);
            Operand::random(*b, n, 13);
            return std::make_pair(
                Body([=] { bignum_modinv(g->bn(), x->bn(), y->bn(), a->bn(), b->bn()); }),
                Body([=] { mpz_gcdext(g->z(), x->z(), y->z(), a->z(), b->z()); }));
        });
    }
    for (uint64_t bits : {1024, 2048, 4096, 8192}) {
        register_pair(sized("modpow", bits), [bits] {
            auto b = std::make_shared<Operand>(), e = std::make_shared<Operand>(),
                 m = std::make_shared<Operand>(), r = std::make_shared<Operand>();
            Operand::random(*b, bits / 32, 14);
            Operand::random(*e, bits / 32, 15);
            Operand::random(*m, bits / 32, 16);
            return std::make_pair(Body([=] { bignum_modpow(r->bn(), b->bn(), e->bn(), m->bn()); }),
                                  Body([=] { mpz_powm(r->z(), b->z(), e->z(), m->z()); }));
        });
    }
}

} // namespace

std::vector<std::string> &workload_keys() {
    static std::vector<std::string> keys;
    return keys;
}

void register_workloads() {
    multiplication();
    division();
    text();
    power_root_factorial();
    number_theory();
}
