#include "Calculator.h"

#include <stdexcept>

#include "Entry.h"
#include "OperationFailure.h"

namespace {

const char *const kNoMemory = "No memory for a new number";

::bignum *divideWithoutRemainder(::bignum *q, ::bignum *dividend, ::bignum *divisor) {
    return bignum_div(q, nullptr, dividend, divisor);
}

} // namespace

Calculator::Calculator() { mStack.reserve(100); }

void Calculator::push(std::shared_ptr<Number> number) {
    std::lock_guard lock(mLock);
    if (!number)
        throw std::invalid_argument("Calculator::push: no number");
    mStack.push_back(std::move(number));
}

std::shared_ptr<Number> Calculator::pop() {
    std::lock_guard lock(mLock);
    if (mStack.empty())
        throw std::out_of_range("Calculator::pop: empty stack");
    auto top = std::move(mStack.back());
    mStack.pop_back();
    return top;
}

std::shared_ptr<Number> Calculator::numberAtPosition(int32_t position) {
    std::lock_guard lock(mLock);
    if (position < 0 || size_t(position) >= mStack.size())
        return nullptr;
    return mStack[size_t(position)];
}

void Calculator::clear() {
    std::lock_guard lock(mLock);
    mStack.clear();
}

std::string Calculator::status() const {
    std::lock_guard lock(mLock);
    return mStatus;
}

bool Calculator::enter(std::string_view text) {
    std::lock_guard lock(mLock);
    std::shared_ptr<Number> number;
    if (trimBlanks(text).empty()) {
        if (mStack.empty())
            return false;
        number = mStack.back()->copy();
        if (!number) {
            mStatus = kNoMemory;
            return false;
        }
    } else {
        EntryResult entry = parseEntry(text, mPrecision, mRadix);
        if (!entry.number) {
            mStatus = entry.error;
            return false;
        }
        number = std::move(entry.number);
    }
    mStack.push_back(std::move(number));
    mStatus.clear();
    return true;
}

// The library call runs before the operands leave the stack, so a refusal
// leaves the stack exactly as it was.
std::shared_ptr<Number> Calculator::binaryOperation(BinaryCall call, BinaryFailure failure) {
    std::lock_guard lock(mLock);
    if (mStack.size() < 2)
        return nullptr;
    auto result = Number::withPrecision(mPrecision, mRadix);
    if (!result) {
        mStatus = kNoMemory;
        return nullptr;
    }
    const Number &second = *mStack[mStack.size() - 2];
    const Number &top = *mStack.back();
    if (call(result->bignum(), second.bignum(), top.bignum()) == nullptr) {
        mStatus = failure(second, top);
        return nullptr;
    }
    mStack.pop_back();
    mStack.pop_back();
    pushComputed(result);
    return result;
}

void Calculator::pushComputed(std::shared_ptr<Number> result) {
    result->markAsOutdated();
    mStack.push_back(std::move(result));
    mStatus.clear();
}

void Calculator::add() { binaryOperation(bignum_add, sizeFailure); }
void Calculator::sub() { binaryOperation(bignum_sub, sizeFailure); }
std::shared_ptr<Number> Calculator::mul() { return binaryOperation(bignum_mul, sizeFailure); }
void Calculator::div() { binaryOperation(divideWithoutRemainder, divisionFailure); }
std::shared_ptr<Number> Calculator::pow() { return binaryOperation(bignum_pow, powerFailure); }
std::shared_ptr<Number> Calculator::root() { return binaryOperation(bignum_root, rootFailure); }

std::shared_ptr<Number> Calculator::fac() {
    std::lock_guard lock(mLock);
    if (mStack.empty())
        return nullptr;
    auto result = Number::withPrecision(mPrecision, mRadix);
    if (!result) {
        mStatus = kNoMemory;
        return nullptr;
    }
    const Number &top = *mStack.back();
    if (bignum_factorial(result->bignum(), top.bignum()) == nullptr) {
        mStatus = factorialFailure(top);
        return nullptr;
    }
    mStack.pop_back();
    pushComputed(result);
    return result;
}
