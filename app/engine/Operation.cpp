#include "Operation.h"

#include <cctype>
#include <new>

namespace {

const OperationInfo kInfo[] = {
    {"add", 2},           {"subtract", 2},  {"multiply", 2}, {"divide", 2}, {"power", 2},
    {"root", 2},          {"factorial", 1}, {"modulo", 2},   {"gcd", 2},    {"modular inverse", 2},
    {"modular power", 3},
};

const char *const kNoMemory = "No memory for a new number";

// The cancel flag is the thread's; it is set for one computation only.
class CancelScope {
  public:
    explicit CancelScope(const int *flag) { bignum_set_cancel_flag(flag); }
    ~CancelScope() { bignum_set_cancel_flag(nullptr); }
    CancelScope(const CancelScope &) = delete;
    CancelScope &operator=(const CancelScope &) = delete;
};

struct FreeRecord {
    void operator()(::bignum *record) const { bignum_free(record); }
};
using Record = std::unique_ptr<::bignum, FreeRecord>;

bool isZero(const Number &n) { return bignum_iszero(n.bignum()) != 0; }

// A copy cut short by storage that could not grow is no copy.
bool copied(::bignum *dst, const ::bignum *src) {
    return bignum_set_bn(dst, src) != nullptr && dst->oofm == src->oofm;
}

// The inverse of a modulo |m| in [0, |m|), or why there is none.
Outcome inverse(const Number &a, const Number &m, Number &result) {
    if (isZero(m))
        return {nullptr, "Modulus is zero"};
    Record g(bignum_alloc()), x(bignum_alloc()), y(bignum_alloc()), rest(bignum_alloc());
    if (!g || !x || !y || !rest)
        return {nullptr, kNoMemory};
    if (bignum_modinv(g.get(), x.get(), y.get(), a.bignum(), m.bignum()) == nullptr)
        return {nullptr, libraryFailure()};
    if (bignum_cmp(g.get(), bignum_one()) != 0) {
        auto shown = Number::withPrecision(100, 10);
        if (!shown)
            return {nullptr, kNoMemory};
        bignum_set_bn(shown->bignum(), g.get());
        shown->markAsOutdated();
        return {nullptr,
                "No inverse modulo the top: the gcd is " + shown->description().value_or("")};
    }
    // x lies in (-|m|, |m|); a negative one is moved up by |m|.
    if (bignum_mod(rest.get(), x.get(), m.bignum()) == nullptr)
        return {nullptr, libraryFailure()};
    const bool negative = x->sign == 2 && !bignum_iszero(rest.get());
    if (!negative) {
        if (!copied(result.bignum(), rest.get()))
            return {nullptr, kNoMemory};
        return {};
    }
    Record modulus(bignum_alloc());
    if (!modulus || !copied(modulus.get(), m.bignum()))
        return {nullptr, kNoMemory};
    modulus->sign = 1;
    if (bignum_sub(result.bignum(), modulus.get(), rest.get()) == nullptr)
        return {nullptr, libraryFailure()};
    return {};
}

::bignum *run(Operation op, const std::vector<std::shared_ptr<Number>> &in, ::bignum *out) {
    auto at = [&](size_t i) { return in[i]->bignum(); };
    switch (op) {
    case Operation::Add:
        return bignum_add(out, at(0), at(1));
    case Operation::Subtract:
        return bignum_sub(out, at(0), at(1));
    case Operation::Multiply:
        return bignum_mul(out, at(0), at(1));
    case Operation::Divide:
        return bignum_div(out, nullptr, at(0), at(1));
    case Operation::Power:
        return bignum_pow(out, at(0), at(1));
    case Operation::Root:
        return bignum_root(out, at(0), at(1)); // degree, radicand
    case Operation::Factorial:
        return bignum_factorial(out, at(0));
    case Operation::Modulo:
        return bignum_mod(out, at(0), at(1));
    case Operation::Gcd:
        return bignum_gcd(out, at(0), at(1));
    case Operation::ModularPower:
        return bignum_modpow(out, at(0), at(1), at(2));
    case Operation::ModularInverse:
        break;
    }
    return nullptr;
}

} // namespace

const OperationInfo &info(Operation operation) { return kInfo[int(operation)]; }

std::string libraryFailure() {
    std::string text = bignum_last_message();
    if (text.empty())
        return "The library refused";
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

namespace {

Outcome computeOrThrow(const PendingOperation &pending, int32_t precision, int32_t radix,
                       const int *cancel) {
    auto result = Number::withPrecision(precision, radix);
    if (!result)
        return {nullptr, kNoMemory};
    CancelScope scope(cancel);
    Outcome outcome;
    if (pending.operation == Operation::ModularInverse) {
        outcome = inverse(*pending.operands[0], *pending.operands[1], *result);
    } else if (run(pending.operation, pending.operands, result->bignum()) == nullptr) {
        outcome.failure = libraryFailure();
    }
    if (outcome.failure.empty()) {
        result->markAsOutdated();
        outcome.result = std::move(result);
    } else {
        outcome.cancelled = outcome.failure == "Cancelled";
    }
    return outcome;
}

} // namespace

// Runs on the computing thread, where an exception would end the program.
Outcome compute(const PendingOperation &pending, int32_t precision, int32_t radix,
                const int *cancel) {
    try {
        return computeOrThrow(pending, precision, radix, cancel);
    } catch (const std::bad_alloc &) {
        Outcome failed;
        try {
            failed.failure = kNoMemory;
        } catch (const std::bad_alloc &) {
        }
        return failed;
    }
}
