#pragma once
// Numbered message boxes, the progress window and the stop detection of long operations.
#include <string>
#include <string_view>

namespace kvr {

struct Program;

// Code 50 shows the caller's text (at most this many characters).
inline constexpr size_t kMessage50MaxChars = 498;

// Fixed text of a message code ("" for 0, 47, 56, codes outside 1 … 60, and 50 itself).
std::string_view message_text(int code);
// Shows message `code` in a modal box with caption "KVR_Q4" and one OK button; returns the
// box's result. `text` is used only by code 50.
int messages(Program& p, int code, std::string_view text = {});
// Code 50 with a printf-style text, as the diagnostic and position reports use it.
int message50f(Program& p, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Progress protocol: set the caption, open, step `progress` 0 … 256 and update, close.
void set_progress_caption(Program& p, std::string_view caption);
void progress_open(Program& p);   // TProgressDialog::EvInitDialog
void ProgressUpdate(Program& p);  // TProgressDialog::ProgressUpdate
void progress_close(Program& p);

// Pumps pending events; a key or mouse-button press among them stops the running acquisition
// or guide loop. Returns true when it stopped something.
bool clear_messages(Program& p);

// Guiding information window (TInfoDialog).
void info_open(Program& p);
void InfoCaption(Program& p);
void InfoUpdate(Program& p);
void info_close(Program& p);
bool info_is_open(const Program& p);

// The focus frame's default origin (CmFocusFrameReset).
void CmFocusFrameReset(Program& p);

}  // namespace kvr
