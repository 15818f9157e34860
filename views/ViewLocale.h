#pragma once
// How numbers, dates and times are written in the text views: the decimal
// separator and the date and time patterns of the user's locale. The window
// fills it from the system locale of its toolkit, virs-cli from the C library,
// the tests use the Russian conventions the texts are written for.
//
// Patterns use these tokens (the common letters of date/time pattern syntax);
// any other character is copied, and text between single quotes is literal
// ('' is one quote):
//   d dd        day of month without / with a leading zero (ddd, dddd as dd)
//   M MM        month number without / with a leading zero (MMM, MMMM as MM)
//   yy yyyy     two-digit / four-digit year
//   H HH        hour 0..23 without / with a leading zero
//   h hh        hour 1..12 when the pattern has AP/ap, else 0..23
//   m mm        minute, s ss second, z zzz milliseconds
//   AP ap A a   AM/PM marker
//   t           time zone: left out, with the space before it

#include <string>

namespace virs {

struct TViewLocale {
    std::string DecimalSeparator = ",";
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string LongTimeFormat = "H:mm:ss";
};

// Decimal comma, 30.12.1899, 9:05:00.
TViewLocale RussianViewLocale();

// The conventions of the process's environment (LC_ALL / LC_NUMERIC / LC_TIME /
// LANG), read without touching the process-wide C locale. Falls back to the
// Russian conventions when the environment names no usable locale.
TViewLocale SystemViewLocale();

// A strftime pattern of the C library (as "%d.%m.%Y") in the token syntax above.
std::string PatternFromStrftime(const std::string& strftimeFormat);

} // namespace virs
