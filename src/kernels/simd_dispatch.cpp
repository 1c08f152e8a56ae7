#include "kernels/simd_dispatch.h"

namespace kvr {

namespace {

struct VectorUnits {
    bool avx2 = false;    // with FMA
    bool avx512 = false;  // F, BW and VL
};

// Asked once. The compiler's check counts AVX-512 only where the system saves its registers.
const VectorUnits& cpu_vectors() {
    static const VectorUnits has = [] {
        VectorUnits v;
#if KVR_HAVE_AVX2_PATHS
        v.avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        v.avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vl");
#endif
        return v;
    }();
    return has;
}

bool g_avx2_allowed = true;
bool g_avx512_allowed = true;

}  // namespace

bool use_avx2() {
    return g_avx2_allowed && cpu_vectors().avx2;
}

void allow_avx2(bool allowed) {
    g_avx2_allowed = allowed;
}

bool use_avx512() {
    return g_avx512_allowed && use_avx2() && cpu_vectors().avx512;
}

void allow_avx512(bool allowed) {
    g_avx512_allowed = allowed;
}

}  // namespace kvr
