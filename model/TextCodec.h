#pragma once
// Windows-1251 <-> UTF-8. The program keeps its texts in UTF-8 and converts at
// every file boundary (base.dat, protocol log, saved text, workbook).

#include <string>
#include <string_view>

namespace virs {

// Character written in place of one that Windows-1251 cannot represent, and of
// every malformed UTF-8 sequence: visible, never silently dropped.
inline constexpr char Cp1251Replacement = '?';

// The text with every control character (codes 0..31 and 127) replaced by its
// visible picture (U+2400..U+241F, U+2421: ␀, ␉, ␊, ␛, ␡): a name read from a file is
// printed as it is stored, and no byte in it can move the cursor or recolour
// the terminal.
std::string VisibleControls(std::string_view utf8);

// Converts UTF-8 to Windows-1251. When `exact` is given it is set to false if any
// character had to be replaced.
std::string Utf8ToCp1251(std::string_view utf8, bool* exact = nullptr);

// Converts Windows-1251 to UTF-8. The one unassigned code (0x98) becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view cp1251);

// Number of characters (code points) in a UTF-8 text; malformed bytes count one each.
std::size_t Utf8Length(std::string_view utf8);

// True when the text is well-formed UTF-8 (no cut, overlong or surrogate sequences).
bool IsWellFormedUtf8(std::string_view utf8);

// The first `count` characters of a UTF-8 text, cut at a character boundary.
std::string Utf8Left(std::string_view utf8, std::size_t count);

} // namespace virs
