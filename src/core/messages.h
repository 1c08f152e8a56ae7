#pragma once
// Numbered message boxes, the progress window and the stop detection of long operations.
#include <string>
#include <string_view>

namespace kvr {

struct Program;

// The numbered messages. Each code's fixed text is in the table of messages.cpp; code 50 shows
// the caller's text. Codes whose text repeats another's are named when a caller needs them.
enum class Msg : int {
    NoIniFile = 1,
    InterfaceNotFound = 2,
    DarkOpenFailed = 3,
    DarkNotQx = 4,
    FlatOpenFailed = 5,
    FlatNotQx = 6,
    NotColourConverted = 7,
    BitmapCreateFailed = 8,
    BitmapHeaderFailed = 9,
    BitmapFileFailed = 10,
    QxOpenFailed = 11,
    NotValidQx = 12,
    FitsUnreadable = 13,
    FitsForeign = 14,
    NotQx = 16,
    QxSaveFailed = 17,
    QxCreateFailed = 18,
    QxWriteFailed = 19,
    IniLoadFailed = 20,
    IniSaveFailed = 21,
    CreateFailed = 22,
    IniLoadFailedForControl = 23,
    IniSaveFailedForDefaults = 24,
    NoCameraContact = 26,
    MergeGeometry = 30,
    AlreadyMerging = 31,
    BitmapOpenFailed = 32,
    GuideStarLost = 33,
    NoGuideStar = 34,
    PickStarGeometry = 35,
    NoTelescope = 36,
    AnalysisBusy = 37,
    PhotometryGeometry = 38,
    AlreadyPhotometry = 39,
    OutsideImage = 40,
    NotQxOrFits = 41,
    IniDefaultsSet = 42,
    ComparisonOpenFailed = 45,
    ComparisonNotImage = 46,
    RowPlotGeometry = 48,
    AutoSaveFailed = 49,
    Text = 50,
    GuidingTerminated = 51,
    AutoSaveDirInvalid = 52,
    TakeImageAndPickStar = 53,
    TelescopeCommsFailed = 54,
    TelescopeNotSet = 55,
    SelfGuideLostStar = 57,
    CannotOblige = 58,
    AlreadyGuidingExternally = 59,
    NoControlBox = 60,
};

// Code 50 shows the caller's text (at most this many characters).
inline constexpr size_t kMessage50MaxChars = 498;

// Fixed text of a message code ("" for 0, 47, 56, codes outside 1 … 60, and 50 itself).
std::string_view message_text(int code);
// Shows message `code` with its fixed text in a modal box with caption "KVR_Q4" and one OK
// button; returns the box's result.
int messages(Program& p, Msg code);
// Message 50 with the caller's text.
int message50(Program& p, std::string_view text);
// Message 50 with a printf-style text, as the diagnostic and position reports use it.
int message50f(Program& p, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Progress protocol: set the caption, open, step `progress` 0 … 256 and update, close.
void set_progress_caption(Program& p, std::string_view caption);
void progress_open(Program& p);
void refresh_progress(Program& p);
void progress_close(Program& p);

// Pumps pending events; a key or mouse-button press among them stops the running acquisition
// or guide loop. Returns true when it stopped something.
bool clear_messages(Program& p);

// Guiding information window. While a guide loop runs it follows the loop's caption and values;
// when the loop stops it stays with its last frame and figures until the user closes it or the
// next loop opens it again (info_stopped). info_close takes it away (a loop that never started).
void info_open(Program& p);
void refresh_info_caption(Program& p);
void refresh_info_window(Program& p);
void info_stopped(Program& p);
void info_close(Program& p);
// The window follows a running loop.
bool info_is_open(const Program& p);

// The focus frame's default origin (reset_focus_frame).
void reset_focus_frame(Program& p);

}  // namespace kvr
