#pragma once
// Whole-image arithmetic on the 16-bit frame buffers. Every primitive runs over the first
// `intlength` pixels of the geometry (the frame plus its 4 spare pixels).
#include <cstdint>

namespace kvr {

struct Geometry;
struct Program;

// b ← a (undo copy, backup).
void undo_image(const Geometry& geo, const uint16_t* a, uint16_t* b);
void backup_image(const Geometry& geo, const uint16_t* a, uint16_t* b);
// a ← b.
void restore_image(const Geometry& geo, uint16_t* a, const uint16_t* b);
void copy_image(const Geometry& geo, uint16_t* a, const uint16_t* b);
// a ← a − b, clipped at 0.
void do_subtract_image(const Geometry& geo, uint16_t* a, const uint16_t* b);
// a ← (a + b) div 2.
void do_average_image(const Geometry& geo, uint16_t* a, const uint16_t* b);
// Even rows of `a` become b + the odd row below (clipped at 65535) with `add`, else b; odd rows
// are untouched.
void do_add_image(const Geometry& geo, uint16_t* a, const uint16_t* b, bool add);
// Flat-fields one row: columns 2 … width1 − 2 become d / f · mean (65535 at or above it,
// truncated below); a zero flat pixel leaves d, or gives the mean when d is 0 too.
void do_flat_field(const Geometry& geo, uint16_t* image, const uint16_t* flat, double mean,
                   int row);
// Mean of the flat's sample window: rows 10 … 19, columns 5 … width2 − 1.
double flat_field_mean(const Geometry& geo, const uint16_t* flat);
// Left-right mirror of rows s … height1 − 1 (s = 10 for a frame with a label band, else 0),
// through `scratch`.
void mirror_image(const Geometry& geo, uint16_t* src, uint16_t* scratch);
// undo_int ← image_int before an undoable change.
void undo_save_option(Program& p);

}  // namespace kvr
