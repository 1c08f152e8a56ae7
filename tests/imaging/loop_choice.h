#pragma once
// Parameterised tests that run through each choice of pixel loops the processor allows: the
// widest (AVX-512 for the kernels that have such a loop, else AVX2), AVX2 at most, and the
// portable loops. On a processor without AVX-512 the first two are the same.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "kernels/simd_dispatch.h"

namespace kvr::test {

enum class Loops { Widest, Avx2AtMost, Portable };

class LoopChoice {
  protected:
    void choose_loops(Loops loops) {
        if (loops == Loops::Portable) portable_.emplace();
        if (loops == Loops::Avx2AtMost) avx2_.emplace();
    }

  private:
    std::optional<PortableLoopsOnly> portable_;
    std::optional<Avx2LoopsAtMost> avx2_;
};

inline std::string loop_name(const ::testing::TestParamInfo<Loops>& info) {
    switch (info.param) {
        case Loops::Widest:
            return "Widest";
        case Loops::Avx2AtMost:
            return "Avx2AtMost";
        case Loops::Portable:
            break;
    }
    return "Portable";
}

}  // namespace kvr::test

#define KVR_INSTANTIATE_FOR_EACH_LOOP_CHOICE(Suite)                                   \
    INSTANTIATE_TEST_SUITE_P(                                                         \
        Loops, Suite,                                                                 \
        ::testing::Values(::kvr::test::Loops::Widest, ::kvr::test::Loops::Avx2AtMost, \
                          ::kvr::test::Loops::Portable),                              \
        ::kvr::test::loop_name)
