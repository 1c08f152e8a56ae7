#pragma once
// 80-column FITS header cards as this program writes them (also used by the settings file).
// A string card is an 11-character prefix ending in the opening quote, the text, a closing
// quote and spaces to column 80. Quotes inside a text are doubled and characters outside
// printable ASCII become spaces, so every card is valid FITS and reads back whole; the text is
// cut so that the closing quote stays within column 80.
#include <cstddef>
#include <string>
#include <string_view>

namespace kvr {

inline constexpr int kCardBytes = 80;
// Columns 12–79: room for a text between the quotes.
inline constexpr size_t kCardTextColumns = 68;
// Texts written as four HISTORY or COMMENT cards; the fourth contributes at most this much on
// reading, so a reloaded text holds at most 3 × 68 + 51 = 255 characters.
inline constexpr int kSliceCards = 4;
inline constexpr size_t kLastSliceChars = 51;

// Fills the card with spaces.
void blank_card(char* card);
// `text` from column 1 (at most 80 characters), spaces after it.
void text_card(char* card, std::string_view text);
// prefix + encoded text + "'".
void string_card(char* card, std::string_view prefix, std::string_view text);
// One of the four slices of a long text: as many characters from `text` as fit into the 68
// columns are encoded; when the text ends within the card the slice is padded with spaces to
// column 79 and the quote sits in column 80. Returns how many characters of `text` it took.
size_t slice_card(char* card, std::string_view prefix, std::string_view text);
// keyword (9 characters, "PIXWIDTH=") + four spaces + the value as "%11.10E". A value that is
// not finite is written as 0 (no FITS reader accepts "INF" or "NAN").
void number_card(char* card, std::string_view keyword, double value);

// The text of a string card: from column 12 to the closing quote, doubled quotes read as one.
std::string card_text(const char* card);
// The same written into `room` (a card's text is always shorter than a card), without allocating.
std::string_view card_text(const char* card, char (&room)[kCardBytes]);
// Number from column 14 to the end of the number. False (and `out` unchanged) when there is
// none or it is not finite.
bool card_number(const char* card, double& out);
// True when `columns` (1-based, inclusive) of the card hold exactly `expected`.
bool card_columns_are(const char* card, int first_column, std::string_view expected);

// The long text held by four HISTORY or COMMENT cards.
std::string join_slices(const char* const cards[kSliceCards]);

}  // namespace kvr
