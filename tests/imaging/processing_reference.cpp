#include "processing_reference.h"

#include <cmath>

#include "kernels/filter_rows.h"

namespace kvr::test {

namespace {

uint16_t clip(long v) {
    if (v > 65280) return 65535;
    if (v < 0) return 0;
    return static_cast<uint16_t>(v);
}

}  // namespace

void reference_convolution(const Frame& in, Frame& out, int w, int h, int s, int r, int k, int d) {
    out = in;
    for (int y = s + r; y <= h - r - 1; ++y) {
        for (int x = r; x <= w - r - 1; ++x) {
            long sum = 0;
            int entry = 0;
            for (int wy = y - r; wy <= y + r; ++wy)
                for (int wx = x - r; wx <= x + r; ++wx)
                    sum += long{in[wy * w + wx]} * mask[k][entry++];
            out[y * w + x] = clip(sum / d);
        }
    }
}

void reference_unsharp(const Frame& in, Frame& out, int w, int h, int s, int r, int power) {
    out = in;
    const int side = 2 * r + 1;
    for (int y = s + r; y <= h - r - 1; ++y) {
        long box = 0;
        for (int wy = y - r; wy <= y + r; ++wy)
            for (int wx = 0; wx <= 2 * r; ++wx) box += in[wy * w + wx];
        for (int x = r; x <= w - r - 2; ++x) {
            const long mean = static_cast<long>(static_cast<double>(box) / (side * side));
            const long pixel = in[y * w + x];
            out[y * w + x] = clip(pixel + (pixel - mean) * power);
            for (int wy = y - r; wy <= y + r; ++wy) {
                box += in[wy * w + x + r + 1];
                box -= in[wy * w + x - r];
            }
        }
    }
}

std::vector<Frame> reference_median(const Frame& in, int w, int h, int s, int r,
                                    const std::vector<unsigned>& blacks) {
    std::vector<Frame> out(blacks.size(), in);
    const int n = (2 * r + 1) * (2 * r + 1);
    const int wanted = n / 2 + 1;
    for (int y = s + r; y <= h - r - 1; ++y) {
        for (int x = r; x <= w - r - 1; ++x) {
            unsigned samples[49];
            int count = 0;
            unsigned smallest = 65000;
            for (int wx = x - r; wx <= x + r; ++wx)
                for (int wy = y - r; wy <= y + r; ++wy) {
                    const unsigned v = in[wy * w + wx];
                    samples[count++] = v;
                    if (v < smallest) smallest = v;
                }
            unsigned largest = 0;
            unsigned median = 0;
            for (int pick = 1; pick <= wanted; ++pick) {
                unsigned best = 0;
                int at = 0;
                for (int i = 0; i < count; ++i)
                    if (samples[i] >= best) {
                        best = samples[i];
                        at = i;
                    }
                samples[at] = 0;
                if (pick == 1) largest = best;
                median = best;
            }
            const unsigned pixel = in[y * w + x];
            const double difference = median > pixel ? median - pixel : pixel - median;
            for (size_t b = 0; b < blacks.size(); ++b) {
                const float q = static_cast<float>(blacks[b] * 0.1);
                const double t = std::trunc(static_cast<double>(largest - smallest) * q);
                if (difference > t) out[b][y * w + x] = static_cast<uint16_t>(median);
            }
        }
    }
    return out;
}

void reference_flat_field_row(Frame& image, const Frame& flat, int w, int row, double mean) {
    for (int x = 2; x <= w - 2; ++x) {
        const uint16_t d = image[row * w + x];
        const uint16_t f = flat[row * w + x];
        double v;
        if (f != 0)
            v = static_cast<double>(d) / f * mean;
        else
            v = d != 0 ? d : mean;
        image[row * w + x] = v >= 65535.0 ? 65535 : static_cast<uint16_t>(v);
    }
}

}  // namespace kvr::test
