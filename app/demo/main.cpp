// A small reverse-Polish command line over the library:
//   karvo-demo 2 100 pow 3 +      prints 1267650600228229401496703205379
// Numbers are decimal (a leading '-' negates); operators: + - * / % pow root ! gcd.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bignum.h"

namespace {

struct FreeRecord {
    void operator()(bignum *bn) const { bignum_free(bn); }
};
using Record = std::unique_ptr<bignum, FreeRecord>;

Record make() { return Record(bignum_alloc()); }

Record parse(const std::string &text) {
    const bool negative = text.size() > 1 && text[0] == '-';
    Record r = make();
    bignum_set_str(r.get(), 10, text.c_str() + (negative ? 1 : 0));
    if (negative && !bignum_iszero(r.get()))
        r->sign = 2;
    return r;
}

bool is_number(const std::string &t) {
    size_t i = t.size() > 1 && t[0] == '-' ? 1 : 0;
    if (i == t.size())
        return false;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
    }
    return true;
}

std::string show(bignum *bn) {
    const uint64_t digits = bignum_bitlen(bn) / 3 + 2;
    std::vector<char> buf(digits + 1);
    bignum_cstr_base(bn, int32_t(buf.size()), buf.data(), 10);
    return (bn->sign == 2 && !bignum_iszero(bn) ? "-" : "") + std::string(buf.data());
}

} // namespace

int main(int argc, char **argv) {
    bignum_init();
    if (argc < 2) {
        std::puts("usage: karvo-demo NUMBER... [OPERATOR]...   e.g. karvo-demo 30 '!' 2 100 pow +");
        return 2;
    }
    std::vector<Record> stack;
    for (int i = 1; i < argc; ++i) {
        const std::string token = argv[i];
        if (is_number(token)) {
            stack.push_back(parse(token));
            continue;
        }
        const bool unary = token == "!";
        if (stack.size() < (unary ? 1u : 2u)) {
            std::fprintf(stderr, "karvo-demo: not enough numbers for '%s'\n", token.c_str());
            return 1;
        }
        Record top = std::move(stack.back());
        stack.pop_back();
        Record result = make();
        bignum *ok = nullptr;
        if (unary) {
            ok = bignum_factorial(result.get(), top.get());
        } else {
            Record second = std::move(stack.back());
            stack.pop_back();
            bignum *a = second.get(), *b = top.get(), *r = result.get();
            if (token == "+")
                ok = bignum_add(r, a, b);
            else if (token == "-")
                ok = bignum_sub(r, a, b);
            else if (token == "*" || token == "x")
                ok = bignum_mul(r, a, b);
            else if (token == "/")
                ok = bignum_div(r, nullptr, a, b);
            else if (token == "%")
                ok = bignum_mod(r, a, b);
            else if (token == "pow")
                ok = bignum_pow(r, a, b);
            else if (token == "root")
                ok = bignum_root(r, a, b);
            else if (token == "gcd")
                ok = bignum_gcd(r, a, b);
            else {
                std::fprintf(stderr, "karvo-demo: unknown operator '%s'\n", token.c_str());
                return 1;
            }
        }
        if (ok == nullptr)
            return 1;
        stack.push_back(std::move(result));
    }
    for (auto &r : stack)
        std::puts(show(r.get()).c_str());
    return 0;
}
