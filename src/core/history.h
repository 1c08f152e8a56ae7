#pragma once
// The processing history of the current image: 15 lines of up to 39 characters.
#include <string_view>

namespace kvr {

struct Program;

inline constexpr int kHistoryUsedLines = 15;

// Copies the text into the first empty line; when all 15 are in use the text is dropped. Texts
// longer than a line are cut.
void append_history(Program& p, std::string_view text);
// Empties the 15 lines (a new exposure).
void clear_history(Program& p);
// Number of lines in use before the first empty one.
int history_length(const Program& p);

}  // namespace kvr
