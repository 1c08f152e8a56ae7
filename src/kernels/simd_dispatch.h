#pragma once
// Runtime choice between the portable pixel loops and their AVX2 versions. The AVX2 loops are
// compiled with a per-function target attribute, so the program still runs on any x86-64
// processor; they are used only when the processor has AVX2 and FMA.
namespace kvr {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KVR_HAVE_AVX2_PATHS 1
#define KVR_TARGET_AVX2 __attribute__((target("avx2,fma")))
#define KVR_TARGET_AVX512 __attribute__((target("avx2,fma,avx512f,avx512bw,avx512vl,avx512dq")))
#else
#define KVR_HAVE_AVX2_PATHS 0
#endif

// True when the AVX2 loops are to run: the processor has AVX2 and FMA and they are allowed.
bool use_avx2();
// Allows or forbids the AVX2 loops (tests check the portable loops against the same reference).
void allow_avx2(bool allowed);
// True when the few loops that have an AVX-512 version are to run: the AVX2 loops run and the
// processor has AVX-512 F, BW, VL and DQ.
bool use_avx512();
// Allows or forbids the AVX-512 loops (their AVX2 versions are then used).
void allow_avx512(bool allowed);

// Switches the AVX2 loops off for the lifetime of the object.
class PortableLoopsOnly {
  public:
    PortableLoopsOnly() { allow_avx2(false); }
    ~PortableLoopsOnly() { allow_avx2(true); }
    PortableLoopsOnly(const PortableLoopsOnly&) = delete;
    PortableLoopsOnly& operator=(const PortableLoopsOnly&) = delete;
};

}  // namespace kvr
