#pragma once
// Short strings as the station database stores them: one length byte followed by
// up to N characters in Windows-1251. The bytes behind the length keep whatever
// the field held before and are part of the file image, so they are never cleared.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "model/TextCodec.h"

namespace virs {

template <std::size_t N> struct TShortString {
    static_assert(N >= 1 && N <= 255);
    static constexpr std::size_t Capacity = N;

    std::uint8_t Length;
    char Chars[N];

    // The significant characters as stored (Windows-1251). A length byte above
    // the capacity (a damaged file) is read as the capacity.
    std::string_view Raw() const { return std::string_view(Chars, Length <= N ? Length : N); }
    // The value as UTF-8, for the program's own use.
    std::string Get() const { return Cp1251ToUtf8(Raw()); }

    // Stores a Windows-1251 value, cut to the capacity. Bytes behind the new
    // length are left as they were.
    void SetRaw(std::string_view cp1251) {
        std::size_t n = cp1251.size() < N ? cp1251.size() : N;
        if (n > 0) // an empty view may carry no address at all
            std::memcpy(Chars, cp1251.data(), n);
        Length = static_cast<std::uint8_t>(n);
    }
    // Stores a UTF-8 value: converted to Windows-1251 (a character without a
    // code there becomes '?') and cut to the capacity, which always falls on a
    // character boundary since every Windows-1251 character is one byte.
    // Returns false when a character had to be replaced.
    bool Set(std::string_view utf8) {
        bool exact = true;
        SetRaw(Utf8ToCp1251(utf8, &exact));
        return exact;
    }
};

static_assert(sizeof(TShortString<20>) == 21);
static_assert(sizeof(TShortString<50>) == 51);
static_assert(sizeof(TShortString<255>) == 256);
static_assert(alignof(TShortString<20>) == 1);

} // namespace virs
