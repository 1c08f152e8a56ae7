#pragma once
// Numbers as text, independent of the process locale (a GUI toolkit may set one that writes a
// decimal comma): FITS values as "%11.10E", dialog fields as "%f".
#include <string>
#include <string_view>

namespace kvr {

// "%11.10E": 8.6000000000E-03, -1.5000000000E+02.
std::string format_exponent(double value);
// "%f": 0.008600.
std::string format_fixed(double value);
// Reads a number at the start of `text` (after spaces, with an optional sign), as "%lf" does;
// the rest of the text is ignored. False when there is no number or it is not finite.
bool parse_number(std::string_view text, double& out);
// Reads a whole number at the start of `text` as atoi does (text that is not a number gives 0),
// held within [lo, hi].
long parse_leading_int(std::string_view text, long lo, long hi);

}  // namespace kvr
