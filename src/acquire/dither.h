#pragma once
// Dithering between the frames of a camera run guided by the guider head (core/dither_state.h):
// the guide reference moves a few pixels in a random direction, and the next exposure starts once
// the guider has brought the star there.
namespace kvr {

struct Program;
struct RunContext;

// Before each exposure of a run: every `dither_every_frames` frames taken while the guider guides,
// moves the reference and guides until the star has settled (or the time limit has passed, or the
// run was stopped). Logged in the guide log as PHD2 logs it, and as a diagnostic.
void dither_before_exposure(Program& p, RunContext& c);

}  // namespace kvr
