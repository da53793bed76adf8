// The instruction set the kernels run on, chosen once per process: the best
// this processor has, or a lower one named in the environment so that tests
// and benchmarks can prove and measure every path on one machine:
//   KARVO_ISA=portable  plain C++ loops and scalar transforms
//   KARVO_ISA=avx2      mulx/adcx/adox product rows, AVX2 + FMA transforms
//   KARVO_ISA=avx512    the same rows, AVX-512 IFMA transforms
// A name the processor cannot run falls back to the best it has (requested()
// and isa() then differ, which tests report as a skipped path). KARVO_PORTABLE,
// set to anything, is the older spelling of KARVO_ISA=portable.
#pragma once

namespace karvo::kernel {

enum class Isa { portable = 0, avx2 = 1, avx512 = 2 };

// What the environment asks for (the processor's best when it asks nothing).
Isa requested();
// What runs.
Isa isa();
// The best this processor can run.
Isa best_isa();
const char *isa_name(Isa isa);

// mulx, adcx and adox rows: from the avx2 path up, on processors with BMI2 and ADX.
// Decided once; inline because every row of every product asks, and a call
// cost as much as a short row.
bool rows_supported();
inline bool has_rows() {
    static const bool kHas = rows_supported();
    return kHas;
}

// The AVX2 transforms in double precision: from the avx2 path up, on
// processors with AVX2, FMA and BMI2 (every one with AVX-512 IFMA has them).
bool avx2_transforms_supported();

} // namespace karvo::kernel
