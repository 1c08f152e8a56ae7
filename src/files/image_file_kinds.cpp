#include "files/image_file_kinds.h"

#include "core/image_store.h"
#include "files/fits_keywords.h"

namespace kvr {

ImageFileKind image_file_kind(uint64_t length) {
    switch (length) {
        case kNativeBinnedBytes:
            return ImageFileKind::NativeBinned;
        case kNativeFullBytes:
            return ImageFileKind::NativeFull;
        case kFitsBinnedBytes:
            return ImageFileKind::FitsBinned;
        case kFitsFullBytes:
        case kFitsFullStandardBytes:
            return ImageFileKind::FitsFull;
        default:
            return ImageFileKind::Unknown;
    }
}

ImageFileKind image_file_kind(uint64_t length, const uint8_t* head, size_t head_bytes) {
    const ImageFileKind own = image_file_kind(length);
    if (own != ImageFileKind::Unknown) return own;
    StandardFitsHeader h;
    if (check_standard_fits(head, head_bytes, length, h) == StandardFitsCheck::Foreign ||
        h.width == 0)
        return ImageFileKind::Unknown;
    // A guider frame opens in the full frame's geometry.
    return h.width == kBinnedWidth ? ImageFileKind::FitsBinned : ImageFileKind::FitsFull;
}

}  // namespace kvr
