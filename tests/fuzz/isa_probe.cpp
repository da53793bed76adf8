// Names the kernel path that runs under KARVO_ISA; exits 1 when that is not the one asked for,
// as the processor cannot run it.
#include <cstdio>

#include "kernels/isa.h"

int main() {
    using namespace karvo::kernel;
    std::printf("kernel path: %s (requested %s, best on this processor %s)\n", isa_name(isa()),
                isa_name(requested()), isa_name(best_isa()));
    return isa() == requested() ? 0 : 1;
}
