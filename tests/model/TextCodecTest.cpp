#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "model/Records.h"
#include "model/TextCodec.h"

namespace virs {
namespace {

// The system's own converter is the independent reference for every byte.
#ifdef _WIN32
std::string IconvToUtf8(const std::string& cp1251) {
    // Windows: the kernel's code page 1251 table, through UTF-16.
    std::wstring wide(cp1251.size() * 2 + 2, L'\0');
    int n = MultiByteToWideChar(1251, MB_ERR_INVALID_CHARS, cp1251.data(),
                                static_cast<int>(cp1251.size()), wide.data(),
                                static_cast<int>(wide.size()));
    if (n <= 0)
        return "<invalid>";
    std::string out(static_cast<std::size_t>(n) * 4 + 4, '\0');
    int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(),
                                static_cast<int>(out.size()), nullptr, nullptr);
    if (m <= 0)
        return "<invalid>";
    out.resize(static_cast<std::size_t>(m));
    return out;
}
#else
std::string IconvToUtf8(const std::string& cp1251) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in = cp1251;
    std::string out(in.size() * 4 + 4, '\0');
    char* inp = in.data();
    char* outp = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return "<invalid>";
    out.resize(out.size() - outLeft);
    return out;
}
#endif

TEST(TextCodec, EveryByteAgreesWithTheSystemConverter) {
    for (int b = 1; b < 256; ++b) {
        if (b == 0x98)
            continue; // unassigned in Windows-1251
        const std::string one(1, static_cast<char>(b));
        const std::string utf8 = Cp1251ToUtf8(one);
        EXPECT_EQ(utf8, IconvToUtf8(one)) << "byte " << b;
        bool exact = false;
        EXPECT_EQ(Utf8ToCp1251(utf8, &exact), one) << "byte " << b;
        EXPECT_TRUE(exact);
    }
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(TextCodec, UnrepresentableCharactersAreReplacedVisibly) {
    struct Case {
        std::string Utf8, Cp1251;
    } cases[] = {
        {"Расход 5 м³/ч", Utf8ToCp1251("Расход 5 м") + "?/" + Utf8ToCp1251("ч")},
        {"日本", "??"},
        {"a\xC3", "a?"},           // sequence cut short
        {"\xC0\xAF", "??"},        // overlong encoding
        {"\xED\xA0\x80x", "???x"}, // surrogate: three bad bytes
        {"😀!", "?!"},
    };
    for (const Case& c : cases) {
        bool exact = true;
        EXPECT_EQ(Utf8ToCp1251(c.Utf8, &exact), c.Cp1251) << c.Utf8;
        EXPECT_FALSE(exact) << c.Utf8;
    }
}

TEST(TextCodec, ShortStringsCutAtTheCapacity) {
    TShortString<20> s;
    std::memset(&s, 'Z', sizeof s);
    EXPECT_TRUE(s.Set("Очень длинное имя узла связи"));
    EXPECT_EQ(s.Length, 20);
    EXPECT_EQ(s.Get(), "Очень длинное имя уз");
    EXPECT_TRUE(s.Set("ab"));
    EXPECT_EQ(s.Get(), "ab");
    EXPECT_EQ(s.Chars[2], Utf8ToCp1251("е")[0]); // stale byte of "Очень" kept
    EXPECT_TRUE(s.Set("x€y™z©§"));               // all of these have Windows-1251 codes
    EXPECT_EQ(s.Get(), "x€y™z©§");
    EXPECT_FALSE(s.Set("α"));
    EXPECT_EQ(s.Get(), "?");
    s.Length = 200; // damaged length byte
    EXPECT_EQ(s.Raw().size(), 20u);
}

TEST(TextCodec, Utf8CountingAndCutting) {
    EXPECT_EQ(Utf8Length("узел 1"), 6u);
    EXPECT_EQ(Utf8Left("узел 1", 3), "узе");
    EXPECT_EQ(Utf8Left("abc", 10), "abc");
    EXPECT_EQ(Utf8Length(""), 0u);
    EXPECT_TRUE(IsWellFormedUtf8("узел \xEF\xBF\xBD 😀"));
    for (const char* bad : {"a\xC3", "\xC0\xAF", "\xED\xA0\x80", "\x80", "\xF8\x88\x80\x80\x80"})
        EXPECT_FALSE(IsWellFormedUtf8(bad)) << bad;
}

} // namespace
} // namespace virs
