// The calculator's computing operations, described once: their names, how
// many numbers they take, and the library call behind each. A computation
// works on private copies of its operands, so it can run on any thread while
// the stack is shown and saved elsewhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Number.h"

enum class Operation {
    Add,
    Subtract,
    Multiply,
    Divide,
    Power,
    Root,
    Factorial,
    Modulo,
    Gcd,
    ModularInverse,
    ModularPower,
};

struct OperationInfo {
    const char *name; // as a person reads it in a status line: "modular power"
    int arity;        // numbers taken off the top
};
const OperationInfo &info(Operation operation);

// Copies of an operation's operands, bottom first, and the state of the stack
// they came from.
struct PendingOperation {
    Operation operation;
    std::vector<std::shared_ptr<Number>> operands;
    uint64_t generation = 0;
};

// A result, or why there is none.
struct Outcome {
    std::shared_ptr<Number> result;
    std::string failure;
    bool cancelled = false;
};

// Runs the library call. While *cancel (if given) is zero the call runs to
// its end; once another thread sets it, long loops stop and the outcome says
// cancelled. Thread-safe: it touches nothing but the pending operation.
Outcome compute(const PendingOperation &pending, int32_t precision, int32_t radix,
                const int *cancel = nullptr);

// The library's reason for the last refusal on this thread, as a sentence.
std::string libraryFailure();
