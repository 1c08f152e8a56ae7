#pragma once
// Adding one row of 16-bit pixels to another, clipped at 65535: explicit vector code (AVX2 where
// the processor has it, SSE2 otherwise), so the speed does not depend on what the compiler makes
// of a scalar loop.
#include <cstddef>
#include <cstdint>

namespace kvr {

// out[i] = min(out[i] + in[i], 65535) for i < n; the rows may not overlap.
void add_saturated(uint16_t* out, const uint16_t* in, size_t n);

}  // namespace kvr
