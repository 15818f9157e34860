#include "views/ViewText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "model/TextCodec.h"

namespace virs {

namespace {

// Replaces the '.' the C library writes with the locale's separator.
std::string WithSeparator(std::string text, const TViewLocale& locale) {
    std::string::size_type dot = text.find('.');
    if (dot != std::string::npos)
        text.replace(dot, 1, locale.DecimalSeparator);
    return text;
}

bool HasNonZeroDigit(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '1' && c <= '9'; });
}

} // namespace

std::string Fixed(double x, int p, int d, const TViewLocale& locale) {
    if (std::isnan(x))
        return "NAN";
    if (std::isinf(x))
        return x < 0 ? "-INF" : "INF";
    p = std::clamp(p, 1, 18);
    d = std::max(d, 0);
    const bool negative = std::signbit(x);
    const double a = std::fabs(x);

    std::string body;
    if (a == 0) {
        body = d > 0 ? "0." + std::string(d, '0') : "0";
    } else {
        // The p significant digits, correctly rounded, and the decimal exponent.
        char sci[64];
        std::snprintf(sci, sizeof sci, "%.*e", p - 1, a);
        std::string digits;
        const char* c = sci;
        for (; *c && *c != 'e'; ++c)
            if (*c >= '0' && *c <= '9')
                digits += *c;
        const int e = std::atoi(c + 1);

        if (e + 1 > p) {
            // Exponent form: the integer part does not fit into p digits.
            std::string mantissa = digits.substr(0, 1);
            std::string rest = digits.substr(1);
            while (!rest.empty() && rest.back() == '0')
                rest.pop_back();
            if (!rest.empty())
                mantissa += locale.DecimalSeparator + rest;
            char exponent[16];
            std::snprintf(exponent, sizeof exponent, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
            return (negative ? "-" : "") + mantissa + exponent;
        }
        if (p - 1 - e >= d) {
            // The significant digits reach beyond d decimals: one rounding at d.
            std::vector<char> buf(static_cast<std::size_t>(d) + 32);
            std::snprintf(buf.data(), buf.size(), "%.*f", d, a);
            body = buf.data();
        } else {
            // Rounded to p digits; every later position is a zero.
            std::string integer, fraction;
            if (e >= 0) {
                integer = digits.substr(0, static_cast<std::size_t>(e) + 1);
                fraction = digits.substr(static_cast<std::size_t>(e) + 1);
            } else {
                integer = "0";
                fraction = std::string(static_cast<std::size_t>(-e - 1), '0') + digits;
            }
            fraction.resize(static_cast<std::size_t>(d), '0');
            body = d > 0 ? integer + "." + fraction : integer;
        }
    }
    if (negative && HasNonZeroDigit(body))
        body.insert(body.begin(), '-');
    return WithSeparator(std::move(body), locale);
}

std::string FitRight(std::string_view text, int w) {
    w = std::max(w, 0);
    const std::size_t width = static_cast<std::size_t>(w);
    std::string cell = Utf8Length(text) > width ? std::string(width, '#') : std::string(text);
    return std::string(width + 1 - Utf8Length(cell), ' ') + cell;
}

std::string TwoDigits(unsigned n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string AlignOnComma(std::string_view text, const TViewLocale& locale) {
    const long length = static_cast<long>(Utf8Length(text));
    const std::string_view separator =
        locale.DecimalSeparator.empty() ? std::string_view(",") : locale.DecimalSeparator;
    const std::size_t at = text.find(separator);
    const bool hasComma = at != std::string_view::npos;
    const long c = hasComma ? static_cast<long>(Utf8Length(text.substr(0, at))) + 1 : length + 1;
    const long before = std::max(10 - c, 0L);
    const long after = hasComma ? std::max(6 - (length - c), 0L) : 7;
    return std::string(static_cast<std::size_t>(before), ' ') + std::string(text) +
           std::string(static_cast<std::size_t>(after), ' ');
}

namespace {

// The range of TDateTime values that have a calendar date of years 1..9999.
constexpr double FirstDay = -693593.0;     // 01.01.0001
constexpr double AfterLastDay = 2958466.0; // 01.01.10000

bool HasCalendarDate(TDateTime t) {
    return std::isfinite(t) && t > FirstDay - 1 && t < AfterLastDay;
}

std::string Padded(int value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

// Whether the pattern has an AM/PM marker outside its quoted literals.
bool HasAmPmMarker(std::string_view pattern) {
    bool quoted = false;
    for (char c : pattern) {
        if (c == '\'')
            quoted = !quoted;
        else if (!quoted && (c == 'A' || c == 'a'))
            return true;
    }
    return false;
}

} // namespace

std::string FormatDateTime(TDateTime t, std::string_view pattern) {
    if (!HasCalendarDate(t))
        return "";
    const TDate date = DecodeDate(DayOf(t));
    const TTimeOfDay time = TimeOf(t);
    const bool twelveHour = HasAmPmMarker(pattern);
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        switch (c) {
        case '\'': {
            // Quoted literal; '' is one quote, inside quotes or outside.
            ++i;
            if (i < pattern.size() && pattern[i] == '\'') {
                out += '\'';
                ++i;
                continue;
            }
            while (i < pattern.size()) {
                if (pattern[i] == '\'') {
                    if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += pattern[i++];
            }
            continue;
        }
        case 'd':
            out += Padded(date.Day, run >= 2 ? 2 : 1);
            break;
        case 'M':
            out += Padded(date.Month, run >= 2 ? 2 : 1);
            break;
        case 'y':
            out += run >= 4 ? Padded(date.Year, 4) : Padded(date.Year % 100, 2);
            break;
        case 'H':
            out += Padded(time.Hour, run >= 2 ? 2 : 1);
            break;
        case 'h': {
            int hour = time.Hour;
            if (twelveHour)
                hour = hour % 12 == 0 ? 12 : hour % 12;
            out += Padded(hour, run >= 2 ? 2 : 1);
            break;
        }
        case 'm':
            out += Padded(time.Minute, run >= 2 ? 2 : 1);
            break;
        case 's':
            out += Padded(time.Second, run >= 2 ? 2 : 1);
            break;
        case 'z':
            out += run >= 3 ? Padded(time.Millisecond, 3) : std::to_string(time.Millisecond);
            break;
        case 'A':
        case 'a':
            out += time.Hour < 12 ? (c == 'A' ? "AM" : "am") : (c == 'A' ? "PM" : "pm");
            ++i;
            if (i < pattern.size() && (pattern[i] == 'P' || pattern[i] == 'p'))
                ++i; // "AP" / "ap"
            continue;
        case 't':
            // No time zone in the views; the space before it goes too.
            if (!out.empty() && out.back() == ' ')
                out.pop_back();
            break;
        default:
            out.append(pattern.substr(i, run));
            break;
        }
        i += run;
    }
    return out;
}

std::string DateText(TDateTime t, const TViewLocale& locale) {
    return FormatDateTime(t, locale.ShortDateFormat);
}

std::string TimeText(TDateTime t, const TViewLocale& locale) {
    return FormatDateTime(t, locale.LongTimeFormat);
}

} // namespace virs
