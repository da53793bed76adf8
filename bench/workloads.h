#pragma once

#include <string>
#include <vector>

// Registers every workload, each as a Karvo run and a GMP run on the same operands.
void register_workloads();
// The calculator end to end, at sizes up to the record's limit.
void register_calculator_workloads();
// The workloads' names ("mul/1024"), in the order they were registered.
std::vector<std::string> &workload_keys();
