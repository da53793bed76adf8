// One state of the calculator: the numbers on its stack and the radix they
// are shown in. Numbers are never changed once on a stack, so states share
// them and a state costs a vector of pointers.
#pragma once

#include <memory>
#include <vector>

#include "Number.h"

struct StackState {
    std::vector<std::shared_ptr<Number>> stack; // bottom first
    int radix = 10;                             // 2 to 36
};
