#pragma once
// Direct implementations of the processing definitions, written for clarity and kept only to
// check the program's faster versions against them bit for bit. Frames are `w` × `h`, row-major;
// `s` is the first row a frame with a label band leaves alone (10, else 0).
#include <cstdint>
#include <vector>

namespace kvr::test {

using Frame = std::vector<uint16_t>;

// Kernel k of radius r with divisor d: every pixel of rows s + r … h − r − 1, columns
// r … w − r − 1, from the window sum taken row by row with the kernel entries in order.
void reference_convolution(const Frame& in, Frame& out, int w, int h, int s, int r, int k, int d);
// Unsharp mask with the box sum slid along each row, window row by window row.
void reference_unsharp(const Frame& in, Frame& out, int w, int h, int s, int r, int power);
// Thresholded median: the window gathered column by column with its minimum from 65000, the
// h largest picked by repeated maximum searches (the later of equal samples wins and is zeroed),
// the power q = black · 0.1 in single precision. One result per black value.
std::vector<Frame> reference_median(const Frame& in, int w, int h, int s, int r,
                                    const std::vector<unsigned>& blacks);
// One flat-fielded row, columns 2 … w − 2.
void reference_flat_field_row(Frame& image, const Frame& flat, int w, int row, double mean);

}  // namespace kvr::test
