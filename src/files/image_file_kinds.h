#pragma once
// Image files are recognised by their exact length: the camera's bare 16-bit dumps and the
// FITS files this program writes. A full-frame FITS file is also accepted at the standard
// length (the 2880-byte fill without this program's extra 480 bytes), which is what other
// tools leave when they rewrite such a file.
#include <cstddef>
#include <cstdint>

#include "core/image_store.h"

namespace kvr {

inline constexpr size_t kNativeBinnedBytes = 218080;  // 376 × 290 × 2
inline constexpr size_t kNativeFullBytes = 872320;    // 752 × 580 × 2
inline constexpr size_t kFitsHeaderBytes = 5760;      // 72 cards of 80 bytes
inline constexpr size_t kFitsBlockBytes = 2880;
inline constexpr size_t kFits16TailBytes = 800;
inline constexpr size_t kFitsBinnedBytes = kFitsHeaderBytes + kNativeBinnedBytes + kFits16TailBytes;
inline constexpr size_t kFitsFullBytes = kFitsHeaderBytes + kNativeFullBytes + kFits16TailBytes;
inline constexpr size_t kFitsFullStandardBytes = 878400;  // 305 × 2880
static_assert(kFitsBinnedBytes == 224640 && kFitsFullBytes == 878880);
inline constexpr size_t kLargestImageFileBytes = kFitsFullBytes;
static_assert(kLargestImageFileBytes == kImageFileBufferBytes);

enum class ImageFileKind { Unknown, NativeBinned, NativeFull, FitsBinned, FitsFull };

// The kind this program's own files have at `length` (Unknown for any other length).
ImageFileKind image_file_kind(uint64_t length);
// The kind of a file of `length` bytes whose first `head_bytes` are at `head`: the program's own
// lengths as above, else a FITS image of a frame size the buffers hold, read by its keywords
// (a file cut short still has its kind, so that the load can say it is short).
ImageFileKind image_file_kind(uint64_t length, const uint8_t* head, size_t head_bytes);
inline bool is_fits(ImageFileKind k) {
    return k == ImageFileKind::FitsBinned || k == ImageFileKind::FitsFull;
}
inline bool is_binned(ImageFileKind k) {
    return k == ImageFileKind::NativeBinned || k == ImageFileKind::FitsBinned;
}

}  // namespace kvr
