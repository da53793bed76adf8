// The reverse-Polish stack of numbers with its fixed display settings, guarded by
// one re-entrant lock, and the operations on its top.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Number.h"

class Calculator {
  public:
    Calculator();
    Calculator(const Calculator &) = delete;
    Calculator &operator=(const Calculator &) = delete;

    // Throws std::invalid_argument for nullptr; the stack is then unchanged.
    void push(std::shared_ptr<Number> number);
    // Throws std::out_of_range on an empty stack.
    std::shared_ptr<Number> pop();
    // Counted from the bottom; nullptr outside the stack.
    std::shared_ptr<Number> numberAtPosition(int32_t position);
    int32_t stackSize() const { return int32_t(mStack.size()); }
    void clear();

    int32_t precision() const { return mPrecision; }
    int32_t radix() const { return mRadix; }

    // The Enter action: pushes the number typed in `text`, or a copy of the top
    // when the text is blank. True when a number was pushed.
    bool enter(std::string_view text);

    // Each takes its operands off the top (the earlier-pushed one is `second`) and
    // pushes the result. With too few numbers nothing happens. When the library
    // refuses, the operands stay where they were and status() says why.
    void add();
    void sub();
    std::shared_ptr<Number> mul();
    void div();
    std::shared_ptr<Number> pow();
    // The earlier-pushed number is the degree, the top the radicand.
    std::shared_ptr<Number> root();
    std::shared_ptr<Number> fac();
    // Not offered yet: they leave the stack as it is.
    void modpow() {}
    void mod() {}
    void gcd() {}
    void modinv() {}

    // Why the last action failed; empty after a successful one.
    std::string status() const;

  private:
    using BinaryCall = ::bignum *(*)(::bignum *result, ::bignum *second, ::bignum *top);
    using BinaryFailure = std::string (*)(const Number &second, const Number &top);

    std::shared_ptr<Number> binaryOperation(BinaryCall call, BinaryFailure failure);
    void pushComputed(std::shared_ptr<Number> result);

    std::vector<std::shared_ptr<Number>> mStack;
    int32_t mPrecision = 100;
    int32_t mRadix = 10;
    std::string mStatus;
    mutable std::recursive_mutex mLock;
};
