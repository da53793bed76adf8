// The calculator end to end: two operands pushed, the operation run, the
// result's display string built — against GMP computing the same value and
// writing all its digits.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Calculator.h"
#include "Number.h"
#include "operands.h"
#include "workloads.h"

namespace {

std::shared_ptr<Number> number_from(const Operand &operand) {
    auto n = Number::withPrecision(100, 10);
    bignum_set_bn(n->bignum(), operand.bn());
    n->markAsOutdated();
    return n;
}

struct Case {
    std::string name;
    uint64_t second_words, top_words; // 0: a small value given below
    uint64_t second_value, top_value;
    std::function<void(Calculator &)> run;
    std::function<void(mpz_ptr, mpz_ptr, mpz_ptr)> gmp;
};

void register_case(const Case &c) {
    register_pair("calculator/" + c.name, [c] {
        auto second = std::make_shared<Operand>(), top = std::make_shared<Operand>();
        if (c.second_words != 0)
            Operand::random(*second, c.second_words, 21);
        else
            second->set_u64(c.second_value);
        if (c.top_words != 0)
            Operand::random(*top, c.top_words, 22);
        else
            top->set_u64(c.top_value);
        auto result = std::make_shared<Operand>();
        Body karvo = [=] {
            Calculator calculator;
            calculator.push(number_from(*second));
            if (c.top_words != 0 || c.top_value != 0)
                calculator.push(number_from(*top));
            c.run(calculator);
            benchmark::DoNotOptimize(calculator.numberAtPosition(0)->description());
        };
        Body gmp = [=] {
            c.gmp(result->z(), second->z(), top->z());
            char *text = mpz_get_str(nullptr, 10, result->z());
            benchmark::DoNotOptimize(text);
            free(text);
        };
        return std::make_pair(karvo, gmp);
    });
}

} // namespace

void register_calculator_workloads() {
    const std::vector<Case> cases = {
        {"add/49000", 49000, 49000, 0, 0, [](Calculator &c) { c.add(); },
         [](mpz_ptr r, mpz_ptr a, mpz_ptr b) { mpz_add(r, a, b); }},
        {"sub/49000", 49000, 49000, 0, 0, [](Calculator &c) { c.sub(); },
         [](mpz_ptr r, mpz_ptr a, mpz_ptr b) { mpz_sub(r, a, b); }},
        {"mul/50000", 50000, 50000, 0, 0, [](Calculator &c) { c.mul(); },
         [](mpz_ptr r, mpz_ptr a, mpz_ptr b) { mpz_mul(r, a, b); }},
        {"div/98000:49000", 98000, 49000, 0, 0, [](Calculator &c) { c.div(); },
         [](mpz_ptr r, mpz_ptr a, mpz_ptr b) { mpz_tdiv_q(r, a, b); }},
        {"pow/7^1100000", 0, 0, 7, 1100000, [](Calculator &c) { c.pow(); },
         [](mpz_ptr r, mpz_ptr, mpz_ptr) { mpz_ui_pow_ui(r, 7, 1100000); }},
        {"root/3:99000", 0, 99000, 3, 0, [](Calculator &c) { c.root(); },
         [](mpz_ptr r, mpz_ptr, mpz_ptr b) { mpz_root(r, b, 3); }},
        {"fac/190000", 0, 0, 190000, 0, [](Calculator &c) { c.fac(); },
         [](mpz_ptr r, mpz_ptr, mpz_ptr) { mpz_fac_ui(r, 190000); }},
    };
    for (const Case &c : cases)
        register_case(c);
}
