#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "model/DateTime.h"
#include "tests/views/TestImages.h"
#include "views/ViewLocale.h"
#include "views/ViewText.h"

namespace virs {
namespace {

using test::Sp;

const TViewLocale Ru = RussianViewLocale();

struct FixedCase {
    double X;
    int P, D;
    const char* Expected;
};

class FixedTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedTest, WritesTheRoundedValue) {
    const FixedCase& c = GetParam();
    EXPECT_EQ(Fixed(c.X, c.P, c.D, Ru), c.Expected) << c.X << " p=" << c.P << " d=" << c.D;
}

const double Inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, FixedTest,
    ::testing::Values(
        // Rounding to p significant digits, later positions written as zeros.
        FixedCase{1234.5678, 4, 2, "1235,00"}, FixedCase{1234.5678, 6, 2, "1234,57"},
        FixedCase{12.5, 10, 3, "12,500"}, FixedCase{0.000123456, 3, 8, "0,00012300"},
        FixedCase{0.000123456, 3, 6, "0,000123"}, FixedCase{9.9996, 4, 3, "10,000"},
        FixedCase{4294.967296, 20, 3, "4294,967"}, FixedCase{120, 8, 1, "120,0"},
        FixedCase{0, 10, 3, "0,000"}, FixedCase{0, 2, 0, "0"}, FixedCase{1e-5, 10, 3, "0,000"},
        // Signs: a negative value that rounds to zero has none.
        FixedCase{-3.25, 10, 3, "-3,250"}, FixedCase{-0.0001, 10, 3, "0,000"},
        FixedCase{-0.0, 10, 1, "0,0"}, FixedCase{-1000.0 / 98066.5, 16, 3, "-0,010"},
        // p above 18 counts as 18.
        FixedCase{1234567890.123456789, 25, 12, "1234567890,123456720000"},
        FixedCase{1234567890.123456789, 18, 12, "1234567890,123456720000"},
        // Integer part wider than p: exponent form.
        FixedCase{123456789, 4, 2, "1,235E+08"}, FixedCase{-123456789, 4, 2, "-1,235E+08"},
        FixedCase{99999.7, 5, 1, "1E+05"}, FixedCase{100, 2, 0, "1E+02"},
        FixedCase{1e20, 18, 3, "1E+20"}, FixedCase{1e20, 40, 3, "1E+20"},
        FixedCase{12346, 4, 0, "1,235E+04"},
        // Values with no digits.
        FixedCase{std::nan(""), 10, 3, "NAN"}, FixedCase{Inf, 10, 3, "INF"},
        FixedCase{-Inf, 10, 3, "-INF"}));

double Below(double x) {
    return std::nextafter(x, -Inf);
}
double Above(double x) {
    return std::nextafter(x, Inf);
}

// Values exactly half-way between two shown values (all exact in binary) go
// away from zero, at every d and p the views use; the nearest doubles on
// either side of a half are rounded as what they are and must not move.
INSTANTIATE_TEST_SUITE_P(
    Halves, FixedTest,
    ::testing::Values(
        // d decimals.
        FixedCase{0.5, 2, 0, "1"}, FixedCase{2.5, 5, 0, "3"}, FixedCase{-2.5, 5, 0, "-3"},
        FixedCase{0.25, 10, 1, "0,3"}, FixedCase{2.25, 10, 1, "2,3"},
        FixedCase{-0.25, 10, 1, "-0,3"}, FixedCase{0.75, 3, 1, "0,8"},
        FixedCase{0.125, 16, 2, "0,13"}, FixedCase{0.625, 10, 2, "0,63"},
        FixedCase{-0.125, 16, 2, "-0,13"}, FixedCase{0.0625, 20, 3, "0,063"},
        FixedCase{0.3125, 10, 3, "0,313"}, FixedCase{0.0625, 15, 3, "0,063"},
        FixedCase{0.03125, 7, 4, "0,0313"}, FixedCase{0.015625, 7, 5, "0,01563"},
        FixedCase{1.0625, 10, 3, "1,063"}, FixedCase{-0.0625, 20, 3, "-0,063"},
        // p significant digits.
        FixedCase{1234.5, 4, 0, "1235"}, FixedCase{1234.5, 4, 2, "1235,00"},
        FixedCase{-1234.5, 4, 0, "-1235"}, FixedCase{12.25, 3, 2, "12,30"},
        FixedCase{0.125, 2, 5, "0,13000"}, FixedCase{8.5, 1, 0, "9"}, FixedCase{9.5, 1, 0, "1E+01"},
        FixedCase{99.5, 2, 1, "1E+02"}, FixedCase{12345, 4, 0, "1,235E+04"},
        FixedCase{-12345, 4, 2, "-1,235E+04"},
        // Just below and just above a half.
        FixedCase{Below(0.5), 2, 0, "0"}, FixedCase{Above(0.5), 2, 0, "1"},
        FixedCase{Below(0.25), 10, 1, "0,2"}, FixedCase{Above(0.25), 10, 1, "0,3"},
        FixedCase{Below(2.25), 10, 1, "2,2"}, FixedCase{Above(-0.25), 10, 1, "-0,2"},
        FixedCase{Below(0.75), 3, 1, "0,7"}, FixedCase{Below(0.125), 16, 2, "0,12"},
        FixedCase{Below(0.0625), 20, 3, "0,062"}, FixedCase{Above(0.0625), 20, 3, "0,063"},
        FixedCase{Below(0.015625), 7, 5, "0,01562"}, FixedCase{Below(1234.5), 4, 0, "1234"},
        FixedCase{Above(1234.5), 4, 0, "1235"}, FixedCase{Below(12345), 4, 0, "1,234E+04"},
        FixedCase{Above(-0.0625), 20, 3, "-0,062"}));

TEST(Fixed, UsesTheLocaleSeparator) {
    TViewLocale dot = Ru;
    dot.DecimalSeparator = ".";
    EXPECT_EQ(Fixed(1.5, 5, 2, dot), "1.50");
    EXPECT_EQ(Fixed(123456789, 4, 2, dot), "1.235E+08");
    TViewLocale arabic = Ru;
    arabic.DecimalSeparator = "\u066B";
    EXPECT_EQ(Fixed(1.5, 5, 2, arabic), "1\u066B50");
}

TEST(Fixed, ManyDecimalsStayExact) {
    // A counter with an out-of-table scale code of 30 is shown with 30 decimals.
    EXPECT_EQ(Fixed(70, 20, 30, Ru), "70," + std::string(30, '0'));
}

TEST(FitRight, PadsAndOverflows) {
    EXPECT_EQ(FitRight("1,500", 16), Sp(12) + "1,500");
    EXPECT_EQ(FitRight("1234567890123456", 16), " 1234567890123456");
    EXPECT_EQ(FitRight("12345678901234567", 16), " " + std::string(16, '#'));
    EXPECT_EQ(FitRight("", 3), Sp(4));
    // Widths count characters, not bytes.
    EXPECT_EQ(FitRight("ошибка", 6), " ошибка");
    EXPECT_EQ(FitRight("ошибка", 5), " #####");
}

TEST(TwoDigits, LeadingZeroBelowTen) {
    EXPECT_EQ(TwoDigits(0), "00");
    EXPECT_EQ(TwoDigits(9), "09");
    EXPECT_EQ(TwoDigits(10), "10");
    EXPECT_EQ(TwoDigits(255), "255");
}

TEST(AlignOnComma, CommaInTheTenthColumn) {
    EXPECT_EQ(AlignOnComma("12,5", Ru), Sp(7) + "12,5" + Sp(5));
    EXPECT_EQ(AlignOnComma("3", Ru), Sp(8) + "3" + Sp(7));
    EXPECT_EQ(AlignOnComma("КАНАЛ1", Ru), Sp(3) + "КАНАЛ1" + Sp(7));
    EXPECT_EQ(AlignOnComma("120,0", Ru), Sp(6) + "120,0" + Sp(5));
    EXPECT_EQ(AlignOnComma("-0,5000", Ru), Sp(7) + "-0,5000" + Sp(2));
    EXPECT_EQ(AlignOnComma("0,123456", Ru), Sp(8) + "0,123456");
    // Texts that do not fit keep all their characters.
    EXPECT_EQ(AlignOnComma("1234567890123", Ru), "1234567890123" + Sp(7));
    EXPECT_EQ(AlignOnComma("1,235E+08", Ru), Sp(8) + "1,235E+08");
    EXPECT_EQ(AlignOnComma("1234567890,5", Ru), "1234567890,5" + Sp(5));
    TViewLocale dot = Ru;
    dot.DecimalSeparator = ".";
    EXPECT_EQ(AlignOnComma("12.5", dot), Sp(7) + "12.5" + Sp(5));
}

TEST(DateTimeText, RussianConventions) {
    EXPECT_EQ(DateText(0, Ru), "30.12.1899");
    EXPECT_EQ(TimeText(0, Ru), "0:00:00");
    const TDateTime t = EncodeDateTime(2024, 5, 6, 14, 3, 7);
    EXPECT_EQ(DateText(t, Ru), "06.05.2024");
    EXPECT_EQ(TimeText(t, Ru), "14:03:07");
    EXPECT_EQ(TimeText(EncodeDateTime(2024, 5, 6, 9, 5, 0), Ru), "9:05:00");
    EXPECT_EQ(DateText(36526, Ru), "01.01.2000");
    // Before day 0 the date is the integer part, the time the absolute fraction.
    EXPECT_EQ(DateText(-1.25, Ru), "29.12.1899");
    EXPECT_EQ(TimeText(-1.25, Ru), "6:00:00");
}

TEST(DateTimeText, NoCalendarDateGivesEmptyText) {
    for (double t : {std::nan(""), Inf, -Inf, 1e300, -1e300, 3e6, -7e5}) {
        EXPECT_EQ(DateText(t, Ru), "") << t;
        EXPECT_EQ(TimeText(t, Ru), "") << t;
    }
    EXPECT_EQ(DateText(2958465.5, Ru), "31.12.9999");
    EXPECT_EQ(DateText(-693593, Ru), "01.01.0001");
}

TEST(DateTimeText, PatternTokens) {
    const TDateTime t = EncodeDateTime(2024, 5, 6, 14, 3, 7, 42);
    EXPECT_EQ(FormatDateTime(t, "d/M/yy h:mm AP"), "6/5/24 2:03 PM");
    EXPECT_EQ(FormatDateTime(t, "HH:mm:ss t"), "14:03:07");
    EXPECT_EQ(FormatDateTime(t, "yyyy-MM-dd'T'HH"), "2024-05-06T14");
    EXPECT_EQ(FormatDateTime(t, "hh:mm:ss.zzz"), "14:03:07.042");
    EXPECT_EQ(FormatDateTime(t, "'hora' h"), "hora 14");
    EXPECT_EQ(FormatDateTime(t, "dd 'o''clock'"), "06 o'clock");
    EXPECT_EQ(FormatDateTime(EncodeDateTime(2024, 1, 2, 0, 5), "h:mm ap"), "12:05 am");
}

TEST(ViewLocale, StrftimePatterns) {
    EXPECT_EQ(PatternFromStrftime("%d.%m.%Y"), "dd.MM.yyyy");
    EXPECT_EQ(PatternFromStrftime("%H:%M:%S"), "HH:mm:ss");
    EXPECT_EQ(PatternFromStrftime("%m/%d/%y"), "MM/dd/yy");
    EXPECT_EQ(PatternFromStrftime("%I:%M:%S %p"), "hh:mm:ss AP");
    EXPECT_EQ(PatternFromStrftime("%T"), "HH:mm:ss");
    EXPECT_EQ(PatternFromStrftime("%e.%m.%Y"), "d.MM.yyyy");
    const std::string withWord = PatternFromStrftime("%d de %m");
    EXPECT_EQ(withWord, "dd 'de' MM");
    EXPECT_EQ(FormatDateTime(EncodeDateTime(2024, 5, 6), withWord), "06 de 05");
}

#ifndef _WIN32
// The C library's locale is what the program reads on POSIX systems only.
TEST(ViewLocale, SystemLocaleOfTheCLibrary) {
    // The C locale: a point and the month-first date of the C library.
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    setenv("LC_ALL", "C", 1);
    const TViewLocale c = SystemViewLocale();
    if (old)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
    EXPECT_EQ(c.DecimalSeparator, ".");
    EXPECT_EQ(c.ShortDateFormat, "MM/dd/yy");
    EXPECT_EQ(c.LongTimeFormat, "HH:mm:ss");
}
#endif

TEST(ViewLocale, RussianPreset) {
    EXPECT_EQ(Ru.DecimalSeparator, ",");
    EXPECT_EQ(FormatDateTime(EncodeDateTime(2007, 3, 1, 8, 4, 9),
                             Ru.ShortDateFormat + " " + Ru.LongTimeFormat),
              "01.03.2007 8:04:09");
}

} // namespace
} // namespace virs
