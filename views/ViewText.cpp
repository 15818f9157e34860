#include "views/ViewText.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

// A non-negative finite value as decimal digits without trailing zeros: the
// value is 0.D × 10^(Exponent + 1), i.e. Exponent is the power of ten of the
// first digit. No digits is zero.
struct TDecimal {
    std::string Digits;
    int Exponent = 0;
};

// The exact decimal value of a (no rounding): a double is m · 2^k with m odd,
// so it has at most as many fraction digits as -k, and every digit is written.
TDecimal ExactDecimal(double a) {
    TDecimal v;
    if (a == 0)
        return v;
    int binaryExponent = 0;
    const double f = std::frexp(a, &binaryExponent); // a = f · 2^binaryExponent
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(f, 53));
    const int k = binaryExponent - 53 + std::countr_zero(mantissa);
    // An upper bound of the significant digits: those of the integer part plus
    // one per binary fraction digit. 767 is the most any double has.
    const int integerDigits = binaryExponent > 0 ? binaryExponent * 30103 / 100000 + 2 : 0;
    const int precision = std::min(integerDigits + std::max(-k, 0) + 1, 780);
    char text[800];
    const std::to_chars_result written =
        std::to_chars(text, text + sizeof text, a, std::chars_format::scientific, precision);
    const char* c = text;
    for (; c != written.ptr && *c != 'e'; ++c)
        if (*c >= '0' && *c <= '9')
            v.Digits += *c;
    if (c != written.ptr)
        std::from_chars(c + 1 + (c[1] == '+'), written.ptr, v.Exponent);
    while (!v.Digits.empty() && v.Digits.back() == '0')
        v.Digits.pop_back();
    return v;
}

// The first `keep` digits of v, rounded half away from zero on the exact
// value: the magnitude goes up exactly when the first digit dropped is 5 or
// more. keep 0 leaves 0 or one unit at the position before the first digit.
TDecimal RoundedTo(TDecimal v, int keep) {
    if (keep < 0)
        return TDecimal{};
    if (static_cast<std::size_t>(keep) >= v.Digits.size())
        return v;
    const bool up = v.Digits[static_cast<std::size_t>(keep)] >= '5';
    v.Digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        std::size_t i = v.Digits.size();
        while (i > 0 && v.Digits[i - 1] == '9')
            v.Digits[--i] = '0';
        if (i == 0) {
            v.Digits.insert(v.Digits.begin(), '1');
            ++v.Exponent;
        } else {
            ++v.Digits[i - 1];
        }
    }
    while (!v.Digits.empty() && v.Digits.back() == '0')
        v.Digits.pop_back();
    return v;
}

// v in fixed-point notation with d decimals and '.' as the separator; digits
// of v beyond the d-th decimal are left out (v is rounded already).
std::string Positional(const TDecimal& v, int d) {
    auto digitAt = [&v](int power) {
        const int k = v.Exponent - power;
        return k >= 0 && static_cast<std::size_t>(k) < v.Digits.size()
                   ? v.Digits[static_cast<std::size_t>(k)]
                   : '0';
    };
    std::string text;
    if (v.Digits.empty() || v.Exponent < 0)
        text = "0";
    else
        for (int power = v.Exponent; power >= 0; --power)
            text += digitAt(power);
    if (d > 0) {
        text += '.';
        for (int power = -1; power >= -d; --power)
            text += digitAt(power);
    }
    return text;
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
    const TDecimal exact = ExactDecimal(std::fabs(x));

    const TDecimal significant = RoundedTo(exact, p);
    if (!significant.Digits.empty() && significant.Exponent + 1 > p) {
        // Exponent form: the integer part does not fit into p digits.
        const int e = significant.Exponent;
        std::string mantissa = significant.Digits.substr(0, 1);
        if (significant.Digits.size() > 1)
            mantissa += locale.DecimalSeparator + significant.Digits.substr(1);
        char exponent[16];
        std::snprintf(exponent, sizeof exponent, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
        return (negative ? "-" : "") + mantissa + exponent;
    }
    // One rounding of the exact value, at whichever comes first: the p-th
    // significant digit or the d-th decimal. Later positions are zeros.
    const TDecimal shown = RoundedTo(exact, std::min(p, exact.Exponent + d + 1));
    std::string body = Positional(shown, d);
    if (negative && !shown.Digits.empty())
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
