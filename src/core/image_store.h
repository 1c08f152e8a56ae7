#pragma once
// The fixed image buffers, the pointers through which every operation reaches them, and the
// frame geometry that says how much of each buffer is image.
#include <cstddef>
#include <cstdint>

#include "core/state_macros.h"

namespace kvr {

// Frame sizes in pixels.
inline constexpr int kFullWidth = 752;
inline constexpr int kFullHeight = 580;
inline constexpr int kBinnedWidth = 376;
inline constexpr int kBinnedHeight = 290;
inline constexpr int kFieldRows = 290;
// Whole-buffer operations run over width × height + 4 elements, so the buffers carry 4 spares.
inline constexpr int kFrameSpare = 4;
inline constexpr int kFrameBufferLength = kFullWidth * kFullHeight + kFrameSpare;  // 436164
inline constexpr int kGuiderWidth = 500;
inline constexpr int kGuiderHeight = 290;
inline constexpr int kGuiderPixels = kGuiderWidth * kGuiderHeight;  // 145000
inline constexpr int kGuiderBufferLength = kGuiderPixels + 80;      // 145080
inline constexpr int kReportBufferBytes = 1000000;
inline constexpr int kCommandBlockBytes = 64;
inline constexpr int kFocusWindowSize = 128;
inline constexpr int kDefaultFocusX = 312;
inline constexpr int kDefaultFocusY = 65;

// The work buffer through which every image file is read and written holds the largest image
// file: a full 16-bit FITS file of this program's layout.
inline constexpr size_t kImageFileBufferBytes = 878880;

// Frame buffers start on page boundaries: the system's copy of file data into a buffer runs
// at a speed that depends on the buffer's alignment (a FITS load into a frame 8 bytes past a
// cache line took half as long again), and whole-frame loops start on full vectors.
inline constexpr size_t kFrameAlignment = 4096;

struct Buffers {
    alignas(kFrameAlignment) uint16_t image_int[kFrameBufferLength];
    alignas(kFrameAlignment) uint16_t trial_int[kFrameBufferLength];
    alignas(kFrameAlignment) uint16_t undo_int[kFrameBufferLength];
    alignas(kFrameAlignment) uint16_t save_int[kFrameBufferLength];
    alignas(kFrameAlignment) uint16_t comparison_int[kFrameBufferLength];
    uint16_t image_guider_int[kGuiderBufferLength];
    uint16_t trial_guider_int[kGuiderBufferLength];
    uint16_t guider_darkframe_int[kGuiderBufferLength];
    // The last guider frame as read (after its dark), before the hot-pixel filter: guide stars
    // are measured on it (camera/readout.h, guider_measure_frame). Valid while
    // `guider_unfiltered_valid` is set by that read.
    uint16_t guider_unfiltered_int[kGuiderBufferLength];
    bool guider_unfiltered_valid = false;
    uint8_t ReportBuffer[kReportBufferBytes];
    uint8_t camdata[kCommandBlockBytes];
    uint8_t image_file[kImageFileBufferBytes];

    void register_in(Registry& r);
};

#define KVR_IMAGE_POINTERS(V, T, A, L)         \
    V(uint16_t*, image, nullptr)               \
    V(uint16_t*, trial, nullptr)               \
    V(uint16_t*, undo, nullptr)                \
    V(uint16_t*, save, nullptr)                \
    V(uint16_t*, comparison, nullptr)          \
    V(uint16_t*, guider_image, nullptr)        \
    V(uint16_t*, guider_trial, nullptr)        \
    V(uint16_t*, guider_darkframe, nullptr)    \
    V(uint16_t*, imageptr, nullptr)            \
    V(uint8_t*, charimageptr, nullptr)         \
    V(uint16_t*, intimageptr, nullptr)         \
    V(uint16_t*, guider_imageptr, nullptr)     \
    V(uint8_t*, charguiderimageptr, nullptr)   \
    V(uint16_t*, guider_trialptr, nullptr)     \
    V(uint16_t*, guider_darkframeptr, nullptr) \
    V(uint16_t*, externptr, nullptr)           \
    V(uint16_t*, extfredptr, nullptr)          \
    V(uint16_t*, exttrialptr, nullptr)
KVR_STATE_STRUCT(ImagePointers, KVR_IMAGE_POINTERS)

#define KVR_GEOMETRY(V, T, A, L)                                 \
    V(int, width1, kBinnedWidth)                                 \
    V(int, width1_10, 10 * kBinnedWidth)                         \
    V(int, width2, kBinnedWidth - 1)                             \
    V(int, width3, 2 * kBinnedWidth)                             \
    V(float, width1f, 376.0f)                                    \
    V(int, height1, kBinnedHeight)                               \
    V(int, height2, kBinnedHeight - 1)                           \
    V(float, height2f, 289.0f)                                   \
    V(float, height1f, 290.0f)                                   \
    V(int, intlength, kBinnedWidth* kBinnedHeight + kFrameSpare) \
    V(int, writefile16, (kBinnedWidth * kBinnedHeight + kFrameSpare) / 16)
KVR_READ_ONLY_STATE_STRUCT(Geometry, KVR_GEOMETRY)

// Readout mode (exactly one of the four flags is 1) and readout state; focus-frame results;
// timing of the running wait in milliseconds of the system timer. highval / lowval: high and low
// byte of the last camera-timed window delay. max_x … focus_table: the focus measurement (peak
// position, most populated level of the 256-bin histogram of high bytes, half level, outermost
// columns above it).
#define KVR_READOUT(V, T, A, L)         \
    V(int, binned, 1)                   \
    V(int, binned21, 0)                 \
    V(int, highres_intl, 0)             \
    V(int, highres_nonintl, 0)          \
    V(unsigned char, ccd_frame, 3)      \
    V(int, interlaced_line, 0)          \
    V(int, download_time, 3000)         \
    V(int, apply_correction, 1)         \
    V(int, eightbit, 0)                 \
    V(unsigned, max_focus_val, 0)       \
    V(int16_t, focus_FWHM, 0)           \
    V(int, focus_x, kDefaultFocusX)     \
    V(int, focus_y, kDefaultFocusY)     \
    V(unsigned, ticks, 0)               \
    V(unsigned, endticks, 0)            \
    V(int, exposure, 0)                 \
    V(int, guider_exposure, 0)          \
    V(int32_t, selfguiding_exposure, 0) \
    V(unsigned char, highval, 0)        \
    V(unsigned char, lowval, 0)         \
    V(uint16_t, max_x, 0)               \
    V(uint16_t, max_y, 0)               \
    V(uint16_t, focus_most_pop, 0)      \
    V(uint16_t, focus_most_pop_val, 0)  \
    V(uint16_t, focus_FWHM_val, 0)      \
    V(uint16_t, FWHM_x1, 0)             \
    V(uint16_t, FWHM_x2, 0)             \
    A(uint16_t, focus_table, 256)
KVR_STATE_STRUCT(Readout, KVR_READOUT)

struct Program;

// Points every buffer pointer at its normal target.
void reset_buffer_pointers(Program& p);
// Sets every geometry value from `binned`; on the switch to full frames also clears the display
// zoom (`Big`) and camera-geometry (`Geo`) flags.
void set_readout_geometry(Program& p);
// The vertical grey ramp shown before the first exposure.
void write_startup_test_image(Program& p);

}  // namespace kvr
