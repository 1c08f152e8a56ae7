// The star image's distribution function in AVX2 vectors: the same double operations in the same
// order as normal_cdf, so the same bits.
#include "sim/psf.h"

#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>

namespace kvr::sim {

KVR_TARGET_AVX2 int normal_cdfs_avx2(const double* z, int n, const double* table, double* out) {
    const __m256d range = _mm256_set1_pd(kCdfRange);
    const __m256d low = _mm256_set1_pd(-kCdfRange);
    const __m256d nodes_per_unit = _mm256_set1_pd(kCdfNodesPerUnit);
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256d v = _mm256_loadu_pd(z + k);
        // Below the range (or NaN) 0, from its top on 1; between, the table's nodes on either side.
        const __m256d inside =
            _mm256_and_pd(_mm256_cmp_pd(v, low, _CMP_GT_OQ), _mm256_cmp_pd(v, range, _CMP_LT_OQ));
        const __m256d pos =
            _mm256_and_pd(_mm256_mul_pd(_mm256_add_pd(v, range), nodes_per_unit), inside);
        const __m128i i = _mm_min_epi32(_mm256_cvttpd_epi32(pos), _mm_set1_epi32(kCdfLastInterval));
        const __m256d frac = _mm256_sub_pd(pos, _mm256_cvtepi32_pd(i));
        const __m256d zero = _mm256_setzero_pd();
        const __m256d t0 = _mm256_mask_i32gather_pd(zero, table, i, inside, 8);
        const __m256d t1 = _mm256_mask_i32gather_pd(zero, table + 1, i, inside, 8);
        const __m256d value = _mm256_add_pd(t0, _mm256_mul_pd(_mm256_sub_pd(t1, t0), frac));
        const __m256d high = _mm256_cmp_pd(v, range, _CMP_GE_OQ);
        _mm256_storeu_pd(out + k,
                         _mm256_blendv_pd(_mm256_and_pd(value, inside), _mm256_set1_pd(1.0), high));
    }
    return k;
}

}  // namespace kvr::sim
#endif
