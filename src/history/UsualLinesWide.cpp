#include "UsualLines.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>

// Only the code of UsualLines.inc (internal linkage) is built for AVX2: every
// header is included above, so nothing shared with other files is.
#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2,lzcnt,popcnt")
#define USUAL_LINES_WIDE 1
#include "UsualLines.inc"
#pragma GCC pop_options

UsualLinesReader WideUsualLinesReader()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("lzcnt") &&
        __builtin_cpu_supports("popcnt"))
        return readUsualLines;
    return nullptr;
}
#else
UsualLinesReader WideUsualLinesReader()
{
    return nullptr;
}
#endif
