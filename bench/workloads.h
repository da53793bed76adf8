#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

using Body = std::function<void()>;
// Builds the operands (untimed) and returns the timed bodies, Karvo's first.
using Setup = std::function<std::pair<Body, Body>()>;

// One workload: rounds that run Karvo and GMP in turn, each side a few calls,
// the side that goes first alternating. Its counters are the medians over the
// rounds of each side's time per call and of the ratio Karvo/GMP within a
// round, so a machine that speeds up or slows down between rounds moves both
// sides of a ratio alike.
void register_pair(const std::string &key, Setup setup);

// Registers every workload, Karvo and GMP on the same operands.
void register_workloads();
// The calculator end to end, at sizes up to the record's limit.
void register_calculator_workloads();
// The workloads' names ("mul/1024"), in the order they were registered.
std::vector<std::string> &workload_keys();
