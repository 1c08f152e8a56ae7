#include "kernels/simd_dispatch.h"

namespace kvr {

namespace {

bool cpu_has_avx2() {
#if KVR_HAVE_AVX2_PATHS
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return has;
#else
    return false;
#endif
}

bool cpu_has_avx512() {
#if KVR_HAVE_AVX2_PATHS
    static const bool has =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
    return has;
#else
    return false;
#endif
}

bool g_avx2_allowed = true;
bool g_avx512_allowed = true;

}  // namespace

bool use_avx2() {
    return g_avx2_allowed && cpu_has_avx2();
}

void allow_avx2(bool allowed) {
    g_avx2_allowed = allowed;
}

bool use_avx512() {
    return use_avx2() && g_avx512_allowed && cpu_has_avx512();
}

void allow_avx512(bool allowed) {
    g_avx512_allowed = allowed;
}

}  // namespace kvr
