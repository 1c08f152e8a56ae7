#pragma once
// Runtime choice between the portable pixel loops and their AVX2 and AVX-512 versions. The vector
// loops are compiled with a per-function target attribute, so the program still runs on any
// x86-64 processor; each is used only when the processor has its instructions.
namespace kvr {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KVR_HAVE_AVX2_PATHS 1
#define KVR_TARGET_AVX2 __attribute__((target("avx2,fma")))
#define KVR_TARGET_AVX512 __attribute__((target("avx2,fma,avx512f,avx512bw,avx512vl")))
#else
#define KVR_HAVE_AVX2_PATHS 0
#endif

// True when the AVX2 loops are to run: the processor has AVX2 and FMA and they are allowed.
bool use_avx2();
// Allows or forbids the AVX2 loops, and with them the AVX-512 ones (tests check the portable
// loops against the same reference).
void allow_avx2(bool allowed);
// True when the AVX-512 loops are to run: the AVX2 loops are, the processor (and the system,
// which must save the 512-bit registers) has AVX-512 F, BW and VL, and they are allowed.
bool use_avx512();
// Allows or forbids the AVX-512 loops alone (tests check the AVX2 loops on processors that have
// both).
void allow_avx512(bool allowed);

// Forbids the loops that `Allow` governs for the lifetime of the object.
template <void (*Allow)(bool)>
class LoopsForbidden {
  public:
    LoopsForbidden() { Allow(false); }
    ~LoopsForbidden() { Allow(true); }
    LoopsForbidden(const LoopsForbidden&) = delete;
    LoopsForbidden& operator=(const LoopsForbidden&) = delete;
};

// The AVX2 and AVX-512 loops off: the portable ones only.
using PortableLoopsOnly = LoopsForbidden<allow_avx2>;
// The AVX-512 loops off: AVX2 at most.
using Avx2LoopsAtMost = LoopsForbidden<allow_avx512>;

}  // namespace kvr
