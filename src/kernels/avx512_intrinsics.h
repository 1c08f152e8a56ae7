#pragma once
// <immintrin.h> for the AVX-512 loops. GCC 12's AVX-512 intrinsics start some results from a
// self-initialised "undefined" vector, which its own uninitialised-use warnings then report.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#pragma GCC diagnostic pop
