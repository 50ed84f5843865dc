// Whether this build carries the x86-64 vector code (AVX2, FMA and BMI2, each used only when the
// processor has it) beside the portable code every processor runs with the same results. Other
// processors build the portable code alone, and so does an x86-64 build configured with
// ORVEL_PORTABLE (which defines ORVEL_NO_X86_VECTORS), so that the portable code is tested here.
// 32-bit x86 builds the portable code too: the packing of kept values needs 64-bit BMI2.
#pragma once

#if defined(__x86_64__) && !defined(ORVEL_NO_X86_VECTORS)
#define ORVEL_X86_VECTORS 1
#else
#define ORVEL_X86_VECTORS 0
#endif
