#pragma once
// Parameterised tests that run once through the vector loops (the widest the processor has: AVX2,
// or AVX-512 for the kernels that have such a loop) and once through the portable loops.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "kernels/simd_dispatch.h"

namespace kvr::test {

class LoopChoice {
  protected:
    void choose_loops(bool avx2) {
        if (!avx2) portable_.emplace();
    }

  private:
    std::optional<PortableLoopsOnly> portable_;
};

inline std::string loop_name(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Avx2" : "Portable";
}

}  // namespace kvr::test

#define KVR_INSTANTIATE_FOR_BOTH_LOOPS(Suite) \
    INSTANTIATE_TEST_SUITE_P(Loops, Suite, ::testing::Values(true, false), ::kvr::test::loop_name)
