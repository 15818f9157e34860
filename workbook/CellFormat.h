#pragma once
// Cell formats of the archive workbook. A format is what a cell's XF record can
// say in an Excel 5 file: the number format, the four border lines, alignment
// and the font. The workbook keeps a list of them; a cell names its format by
// its index in that list.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace virs {

// Line styles of a cell border as the file stores them (3 bits in Excel 5).
enum TBorderLine : std::uint8_t {
    BorderNone = 0,
    BorderThin = 1,
    BorderMedium = 2,
    BorderDashed = 3,
    BorderDotted = 4,
    BorderThick = 5,
    BorderDouble = 6,
    BorderHair = 7,
};

struct TFontSpec {
    std::string Name = "Arial"; // UTF-8
    std::uint16_t HeightTwips = 200;
    std::uint16_t Weight = 400; // 700 = bold
    bool Italic = false;
    bool Strikeout = false;
    std::uint8_t Underline = 0;
    std::uint16_t Colour = 0x7FFF; // palette index, 0x7FFF = the window text colour
    bool operator==(const TFontSpec&) const = default;
};

struct TCellFormat {
    std::string NumberFormat = "General"; // format code; "General" for the general format
    std::uint8_t TopLine = BorderNone;
    std::uint8_t BottomLine = BorderNone;
    std::uint8_t LeftLine = BorderNone;
    std::uint8_t RightLine = BorderNone;
    std::uint8_t HorizontalAlign = 0; // 0 general, 1 left, 2 centred, 3 right, ...
    std::uint8_t VerticalAlign = 2;   // 0 top, 1 centred, 2 bottom, 3 justified
    bool Wrap = false;
    TFontSpec Font;
    bool operator==(const TCellFormat&) const = default;
};

// The archive export's formats k = 0..7 (general; dates; volumes; hours; bordered
// general; time of day; event cells; month). The standard list holds them at
// indexes k and ArchiveFormatBaseRaised + k, so a format index FormatBase + k
// names the same format for FormatBase 0 and 16; indexes 8..15 are plain general.
inline constexpr std::uint16_t ArchiveFormatCount = 8;
inline constexpr std::uint16_t ArchiveFormatBaseRaised = 16;
inline constexpr std::uint16_t StandardFormatCount = ArchiveFormatBaseRaised + ArchiveFormatCount;

// The list every new workbook starts with (StandardFormatCount entries).
const std::vector<TCellFormat>& StandardFormats();

// Format code of a built-in number format id of the file format, or an empty
// text for an id with no fixed code.
std::string_view BuiltinNumberFormat(std::uint16_t id);

// Whether a format code shows a number as a date or a time.
bool IsDateFormat(std::string_view code);

} // namespace virs
