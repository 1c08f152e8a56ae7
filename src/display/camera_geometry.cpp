#include "display/camera_geometry.h"

#include <algorithm>

#include "core/program.h"
#include "display/display_mapping.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kvr {

namespace {

// Truncation toward zero of a non-negative float, kept inside [0, last]; a value that is not a
// number (from a geometry of zero) counts as 0.
int index_of(float f, int last) {
    if (!(f >= 0.0f)) return 0;
    if (f >= static_cast<float>(last)) return last;
    return static_cast<int>(f);
}

uint8_t display_value(float v) {
    return v >= 256.0f ? 255 : static_cast<uint8_t>(index_of(v, 255));
}

// Source columns and weights of every output column.
struct ColumnTaps {
    int left[kGeoWidth];
    int right[kGeoWidth];
    float dx[kGeoWidth];
};

// The horizontal interpolation of one source row at every output column. Output rows that share
// a source row share this result, so each source row is interpolated once per frame. The levels
// are converted once; b − a of two levels is exact in single precision either way.
void interpolate_row(const uint16_t* row, int width, const ColumnTaps& taps, float* out) {
    float level[kFullWidth];
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 8 <= width; x += 8) {
        const __m128i high =
            _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), 8);
        _mm_storeu_ps(level + x, _mm_cvtepi32_ps(_mm_unpacklo_epi16(high, zero)));
        _mm_storeu_ps(level + x + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(high, zero)));
    }
#endif
    for (; x < width; ++x) level[x] = static_cast<float>(row[x] >> 8);
    for (int j = 0; j < kGeoWidth; ++j) {
        const float a = level[taps.left[j]], b = level[taps.right[j]];
        out[j] = a + (b - a) * taps.dx[j];
    }
}

// v = top + (bottom − top) · dy for one output row. The vector path performs the same single
// precision operations in the same order, so the bytes match the scalar path exactly; the
// saturating packs give 255 for 256 and above and 0 for anything below zero.
void blend_rows(const float* top, const float* bottom, float dy, uint8_t* out) {
    int j = 0;
#if defined(__SSE2__)
    const __m128 weight = _mm_set1_ps(dy);
    auto blend4 = [&](int at) {
        const __m128 t = _mm_loadu_ps(top + at);
        const __m128 v =
            _mm_add_ps(t, _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(bottom + at), t), weight));
        return _mm_cvttps_epi32(v);
    };
    for (; j + 16 <= kGeoWidth; j += 16) {
        const __m128i low = _mm_packs_epi32(blend4(j), blend4(j + 4));
        const __m128i high = _mm_packs_epi32(blend4(j + 8), blend4(j + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_packus_epi16(low, high));
    }
#endif
    for (; j < kGeoWidth; ++j) out[j] = display_value(top[j] + (bottom[j] - top[j]) * dy);
}

}  // namespace

void resample_to_camera_geometry(const Program& p, const uint16_t* src, uint8_t* dst) {
    // Geometry values that no frame has (only a script can set them) are kept inside the buffer.
    const int width = std::clamp(p.geo.width1, 1, kFullWidth);
    const int height = std::clamp(p.geo.height1, 1, kFrameBufferLength / width);
    const float ry = static_cast<float>(kGeoHeight) / p.geo.height1f;
    const float rx = static_cast<float>(kGeoWidth) / p.geo.width1f;

    ColumnTaps taps;
    for (int j = 0; j < kGeoWidth; ++j) {
        const float fx = static_cast<float>(j) / rx;
        taps.left[j] = index_of(fx, width - 1);
        taps.dx[j] = fx - static_cast<float>(taps.left[j]);
        taps.right[j] = j == kGeoWidth - 1 ? taps.left[j] : std::min(taps.left[j] + 1, width - 1);
    }

    float rows[2][kGeoWidth];
    int cached[2] = {-1, -1};  // source row held by each slot
    auto interpolated = [&](int row, int keep) -> const float* {
        for (int s = 0; s < 2; ++s)
            if (cached[s] == row) return rows[s];
        const int s = cached[0] == keep ? 1 : 0;
        interpolate_row(src + row * width, width, taps, rows[s]);
        cached[s] = row;
        return rows[s];
    };
    for (int i = 0; i < kGeoHeight; ++i) {
        const float fy = static_cast<float>(i) / ry;
        const int upper = index_of(fy, height - 1);
        const float dy = fy - static_cast<float>(upper);
        const int lower = i == kGeoHeight - 1 || upper == height - 1 ? upper : upper + 1;
        const float* top = interpolated(upper, lower);
        const float* bottom = interpolated(lower, upper);
        blend_rows(top, bottom, dy, dst + i * kGeoWidth);
    }
}

}  // namespace kvr
