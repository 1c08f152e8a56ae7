#include "files/image_file_kinds.h"

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

}  // namespace kvr
