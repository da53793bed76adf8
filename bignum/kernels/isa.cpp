#include "kernels/isa.h"

#include "kernels/limb.h"

#include <cstdlib>
#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#endif
#include <cstring>
#include <initializer_list>

namespace karvo::kernel {

namespace {

bool cpu(const char *feature) {
#if defined(__x86_64__) && defined(__GNUC__)
    // __builtin_cpu_supports wants a literal; the few names used are spelled out.
    if (std::strcmp(feature, "avx2") == 0) // BMI2 for the shifts that place coefficients
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
               __builtin_cpu_supports("bmi2");
    if (std::strcmp(feature, "avx512") == 0)
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512ifma");
    if (std::strcmp(feature, "rows") == 0) {
        // ADX from CPUID leaf 7 (EBX bit 19): clang's builtin does not know it.
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __builtin_cpu_supports("bmi2") && __get_cpuid_count(7, 0, &a, &b, &c, &d) &&
               (b & (1u << 19)) != 0;
    }
#endif
    (void)feature;
    return false;
}

Isa detect() {
#if defined(KARVO_NTT_IFMA)
    if (cpu("avx512"))
        return Isa::avx512;
#endif
#if defined(KARVO_NTT_AVX2)
    if (cpu("avx2"))
        return Isa::avx2;
#endif
    return Isa::portable;
}

Isa from_environment() {
    if (std::getenv("KARVO_PORTABLE") != nullptr)
        return Isa::portable;
    const char *name = std::getenv("KARVO_ISA");
    if (name == nullptr)
        return best_isa();
    for (Isa isa : {Isa::portable, Isa::avx2, Isa::avx512})
        if (std::strcmp(name, isa_name(isa)) == 0)
            return isa;
    return best_isa();
}

} // namespace

Isa best_isa() {
    static const Isa kBest = detect();
    return kBest;
}

Isa requested() {
    static const Isa kRequested = from_environment();
    return kRequested;
}

Isa isa() {
    static const Isa kIsa = int(requested()) <= int(best_isa()) ? requested() : best_isa();
    return kIsa;
}

const char *isa_name(Isa isa) {
    switch (isa) {
    case Isa::portable:
        return "portable";
    case Isa::avx2:
        return "avx2";
    case Isa::avx512:
        return "avx512";
    }
    return "portable";
}

const Tuning &default_tuning() {
    switch (isa()) {
    case Isa::avx512:
        return kAvx512Tuning;
    case Isa::avx2:
        return kAvx2Tuning;
    case Isa::portable:
        break;
    }
    return kPortableTuning;
}

bool rows_supported() { return isa() != Isa::portable && cpu("rows"); }

bool avx2_transforms_supported() { return isa() != Isa::portable && cpu("avx2"); }

} // namespace karvo::kernel
