#pragma once

// Registers every workload, each as a Karvo run and a GMP run on the same operands.
void register_workloads();
