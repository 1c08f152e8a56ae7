#pragma once
// Runtime choice between the portable pixel loops and their AVX2 versions. The AVX2 loops are
// compiled with a per-function target attribute, so the program still runs on any x86-64
// processor; they are used only when the processor has AVX2 and FMA.
namespace kvr {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KVR_HAVE_AVX2_PATHS 1
#define KVR_TARGET_AVX2 __attribute__((target("avx2,fma")))
#else
#define KVR_HAVE_AVX2_PATHS 0
#endif

// True when the AVX2 loops are to run: the processor has AVX2 and FMA and they are allowed.
bool use_avx2();
// Allows or forbids the AVX2 loops (tests check the portable loops against the same reference).
void allow_avx2(bool allowed);

// Switches the AVX2 loops off for the lifetime of the object.
class PortableLoopsOnly {
  public:
    PortableLoopsOnly() { allow_avx2(false); }
    ~PortableLoopsOnly() { allow_avx2(true); }
    PortableLoopsOnly(const PortableLoopsOnly&) = delete;
    PortableLoopsOnly& operator=(const PortableLoopsOnly&) = delete;
};

}  // namespace kvr
