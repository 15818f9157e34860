#pragma once
// Number, date and time texts shared by every text view. All texts are UTF-8;
// widths count characters, not bytes.

#include <string>
#include <string_view>

#include "model/DateTime.h"
#include "views/ViewLocale.h"

namespace virs {

// x in fixed-point notation with exactly d digits after the locale's decimal
// separator, first rounded to at most p significant digits (p above 18 counts
// as 18, below 1 as 1); digit positions beyond the p significant ones are
// written as zeros. The exact binary value is rounded once, at the p-th
// significant digit or the d-th decimal, whichever comes first, and a value
// lying exactly half-way is rounded away from zero (0.25 at one decimal is
// "0,3", 1234.5 at p = 4 is "1235"). When the integer part of the rounded
// value needs more than p digits the number is written in exponent form
// instead: the p significant digits as one digit, the separator and the rest
// with trailing zeros dropped, then "E", the exponent's sign and at least two
// digits ("1,2346E+09"). A negative value carries a leading "-" unless it
// rounds to zero. NaN and infinities read "NAN", "INF" and "-INF".
std::string Fixed(double x, int p, int d, const TViewLocale& locale);

// The text right-aligned in w + 1 characters; a text longer than w characters
// is replaced by w "#" first, so a value is always preceded by a space.
std::string FitRight(std::string_view text, int w);

// A byte as decimal text, with a leading "0" below 10.
std::string TwoDigits(unsigned n);

// A 16-character cell (more only for a text whose separator falls beyond the
// tenth column) in which the locale's decimal separator stands in the tenth
// column; a text without one ends in the ninth.
std::string AlignOnComma(std::string_view text, const TViewLocale& locale);

// Dates and times in the locale's short date and long time patterns. A value
// outside the years 1..9999 (or NaN) has no calendar date and gives "".
std::string DateText(TDateTime t, const TViewLocale& locale);
std::string TimeText(TDateTime t, const TViewLocale& locale);
// A pattern of ViewLocale.h applied to t ("" outside the years 1..9999).
std::string FormatDateTime(TDateTime t, std::string_view pattern);

// n copies of a character.
inline std::string Repeat(char c, int n) {
    return n > 0 ? std::string(n, c) : std::string();
}

} // namespace virs
