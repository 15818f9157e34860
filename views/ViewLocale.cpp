#include "views/ViewLocale.h"

#include <cstdlib>

#if !defined(_WIN32)
#include <langinfo.h>
#include <locale.h>
#endif

namespace virs {

TViewLocale RussianViewLocale() {
    return TViewLocale{",", "dd.MM.yyyy", "H:mm:ss"};
}

std::string PatternFromStrftime(const std::string& f) {
    std::string out;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%' || i + 1 >= f.size()) {
            // Letters are tokens of the pattern syntax: a run of them is quoted.
            const auto isLetter = [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            };
            if (f[i] == '\'') {
                out += "''";
            } else if (isLetter(f[i])) {
                std::size_t end = i;
                while (end < f.size() && isLetter(f[end]))
                    ++end;
                out += "'" + f.substr(i, end - i) + "'";
                i = end - 1;
            } else {
                out += f[i];
            }
            continue;
        }
        char c = f[++i];
        while ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0' || c == '^' || c == '#') &&
               i + 1 < f.size())
            c = f[++i]; // modifiers and flags: the plain conversion is meant
        switch (c) {
        case 'd':
            out += "dd";
            break;
        case 'e':
            out += "d";
            break;
        case 'm':
            out += "MM";
            break;
        case 'y':
            out += "yy";
            break;
        case 'Y':
            out += "yyyy";
            break;
        case 'H':
            out += "HH";
            break;
        case 'k':
            out += "H";
            break;
        case 'I':
            out += "hh";
            break;
        case 'l':
            out += "h";
            break;
        case 'M':
            out += "mm";
            break;
        case 'S':
            out += "ss";
            break;
        case 'p':
            out += "AP";
            break;
        case 'P':
            out += "ap";
            break;
        case 'D':
            out += "MM/dd/yy";
            break;
        case 'F':
            out += "yyyy-MM-dd";
            break;
        case 'T':
            out += "HH:mm:ss";
            break;
        case 'R':
            out += "HH:mm";
            break;
        case 'r':
            out += "hh:mm:ss AP";
            break;
        case 'Z':
        case 'z':
            out += "t";
            break;
        case 'n':
        case 't':
            out += ' ';
            break;
        case '%':
            out += '%';
            break;
        default:
            break; // names of days and months and the like: left out
        }
    }
    return out;
}

TViewLocale SystemViewLocale() {
    TViewLocale result = RussianViewLocale();
#if !defined(_WIN32)
    // A locale object of its own, so the process-wide C locale is not touched.
    locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return result;
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    const char* dateFormat = nl_langinfo_l(D_FMT, loc);
    const char* timeFormat = nl_langinfo_l(T_FMT, loc);
    if (radix && *radix)
        result.DecimalSeparator = radix;
    if (dateFormat && *dateFormat)
        result.ShortDateFormat = PatternFromStrftime(dateFormat);
    if (timeFormat && *timeFormat)
        result.LongTimeFormat = PatternFromStrftime(timeFormat);
    freelocale(loc);
#endif
    return result;
}

} // namespace virs
