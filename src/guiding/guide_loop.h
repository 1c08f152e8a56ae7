#pragma once
// Main-camera guiding: the loop of 128 × 128 guide sub-frames (command 23) and the one-frame read
// used by training (command 889).
namespace kvr {

struct Program;

// start_guide: runs until the star is lost, the first centroid fails or a stop
// clears `continuous`; ends with message 51 "Guiding Terminated".
void start_guide(Program& p);
// show_guide_frame: reads one guide sub-frame into the image and shows it.
void show_guide_frame(Program& p);

// Sets the reference position (`x1`, `y1` and tenths) from the last main-camera centroid.
void take_main_reference(Program& p);

}  // namespace kvr
