// Shared helpers for the engine tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Calculator.h"
#include "bignum.h"

// Initialises the library once for every engine test program.
inline void ensureLibrary() {
    static const bool ready = (bignum_init(), true);
    (void)ready;
}

// The stack's numbers as displayed, bottom first.
inline std::vector<std::string> shown(Calculator &calculator) {
    std::vector<std::string> rows;
    for (int32_t i = 0; i < calculator.stackSize(); ++i)
        rows.push_back(calculator.numberAtPosition(i)->description().value_or("<none>"));
    return rows;
}

// The stack's number objects, bottom first.
inline std::vector<std::shared_ptr<Number>> numbers(Calculator &calculator) {
    std::vector<std::shared_ptr<Number>> all;
    for (int32_t i = 0; i < calculator.stackSize(); ++i)
        all.push_back(calculator.numberAtPosition(i));
    return all;
}

// A calculator with the given entries pushed in order.
inline std::unique_ptr<Calculator> calculatorWith(const std::vector<std::string> &entries) {
    ensureLibrary();
    auto calculator = std::make_unique<Calculator>();
    for (const auto &entry : entries)
        calculator->enter(entry);
    return calculator;
}
