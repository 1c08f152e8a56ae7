#pragma once
namespace kvr {

struct Program;

// Declares the menu texts of the Contrast, Filters and image arithmetic commands and of the
// display stretch dialog, and attaches their handlers.
void register_processing_commands(Program& p);

}  // namespace kvr
