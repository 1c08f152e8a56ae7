#pragma once
// Image arithmetic commands: combining the image with one chosen from disk (subtract, average,
// flat field), the single-level undo and the left-right mirror.
#include <span>

#include "core/commands.h"

namespace kvr {

struct Program;

// The file-combining routine: the shared file choice (which only records or deletes a file
// while one of its mode flags is set), then, for a loaded file, the operation `merge_type`:
// 's' subtract, 'a' average, 'f' flat field, with an undo copy first.
void merge_image(Program& p);
void subtract_image(Program& p);
void average_image(Program& p);
void apply_flat_field(Program& p);

// Undo (command 9): the image before the last undoable change; the last history line goes.
void undo_restore_option(Program& p);
// Mirror (command 302): left-right, without undo copy or history line.
void mirror_main_image(Program& p);

// Undo, mirror and image arithmetic: the rows of its commands.
std::span<const CommandRow> arithmetic_command_rows();

}  // namespace kvr
