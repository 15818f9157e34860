#include "workbook/CellFormat.h"

#include <cctype>

namespace virs {
namespace {

TCellFormat Bordered(std::string code) {
    TCellFormat f;
    f.NumberFormat = std::move(code);
    f.TopLine = BorderThin;
    f.BottomLine = BorderThin;
    return f;
}

std::vector<TCellFormat> MakeStandardFormats() {
    // Format 6 asks for a thin diagonal style without diagonal lines; an Excel 5
    // XF record has no diagonal border at all, so it is format 4 in a record of
    // its own.
    const TCellFormat archive[ArchiveFormatCount] = {
        TCellFormat{},
        Bordered("dd/mm/yy"),
        Bordered("#######0.000"),
        Bordered("#######0.000"),
        Bordered("General"),
        Bordered("Hh:mm"),
        Bordered("General"),
        Bordered("mmmm yyyy"),
    };
    std::vector<TCellFormat> list(StandardFormatCount);
    for (std::uint16_t k = 0; k < ArchiveFormatCount; ++k) {
        list[k] = archive[k];
        list[ArchiveFormatBaseRaised + k] = archive[k];
    }
    return list;
}

} // namespace

const std::vector<TCellFormat>& StandardFormats() {
    static const std::vector<TCellFormat> List = MakeStandardFormats();
    return List;
}

std::string_view BuiltinNumberFormat(std::uint16_t id) {
    switch (id) {
    case 0:
        return "General";
    case 1:
        return "0";
    case 2:
        return "0.00";
    case 3:
        return "#,##0";
    case 4:
        return "#,##0.00";
    case 9:
        return "0%";
    case 10:
        return "0.00%";
    case 11:
        return "0.00E+00";
    case 12:
        return "# ?/?";
    case 13:
        return "# ?"
               "?/?"
               "?";
    case 14:
        return "m/d/yy";
    case 15:
        return "d-mmm-yy";
    case 16:
        return "d-mmm";
    case 17:
        return "mmm-yy";
    case 18:
        return "h:mm AM/PM";
    case 19:
        return "h:mm:ss AM/PM";
    case 20:
        return "h:mm";
    case 21:
        return "h:mm:ss";
    case 22:
        return "m/d/yy h:mm";
    case 37:
        return "#,##0 ;(#,##0)";
    case 38:
        return "#,##0 ;[Red](#,##0)";
    case 39:
        return "#,##0.00;(#,##0.00)";
    case 40:
        return "#,##0.00;[Red](#,##0.00)";
    case 45:
        return "mm:ss";
    case 46:
        return "[h]:mm:ss";
    case 47:
        return "mm:ss.0";
    case 48:
        return "##0.0E+0";
    case 49:
        return "@";
    }
    return {};
}

bool IsDateFormat(std::string_view code) {
    // Date and time codes are made of y, m, d, h, s outside quoted text,
    // escaped characters and [colour] / [h] brackets; number codes use 0 and #.
    bool date = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == '"') {
            std::size_t end = code.find('"', i + 1);
            if (end == std::string_view::npos)
                break;
            i = end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            std::size_t end = code.find(']', i + 1);
            if (end == std::string_view::npos)
                break;
            std::string_view inside = code.substr(i + 1, end - i - 1);
            if (!inside.empty() && (std::tolower(static_cast<unsigned char>(inside[0])) == 'h' ||
                                    std::tolower(static_cast<unsigned char>(inside[0])) == 'm' ||
                                    std::tolower(static_cast<unsigned char>(inside[0])) == 's'))
                date = true;
            i = end;
        } else if (c == ';') {
            break; // the first section decides
        } else if (c == '0' || c == '#' || c == '?') {
            if (!date) // digits after a time part are fractions of a second
                return false;
        } else {
            switch (std::tolower(static_cast<unsigned char>(c))) {
            case 'y':
            case 'm':
            case 'd':
            case 'h':
            case 's':
                date = true;
                break;
            default:
                break;
            }
        }
    }
    return date;
}

} // namespace virs
