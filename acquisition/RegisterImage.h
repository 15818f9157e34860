#pragma once
// Reading fields out of a register image. Each register is stored as a native
// little-endian word (the exchange swaps the two bytes of the line), and a 32-bit
// value spans two registers with the lower register holding the low word, so
// every field reads as a little-endian value at its byte offset, odd offsets
// included. A field that does not lie wholly inside the image reads as 0: a
// decoder can never read past the bytes it was given.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace virs {

class TImageReader {
public:
    constexpr TImageReader(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}
    template <std::size_t N>
    constexpr TImageReader(const std::uint8_t (&bytes)[N]) : Data(bytes), Size(N) {}

    std::uint8_t U8(std::size_t offset) const { return Fits(offset, 1) ? Data[offset] : 0; }
    std::uint16_t U16(std::size_t offset) const {
        if (!Fits(offset, 2))
            return 0;
        return static_cast<std::uint16_t>(Data[offset] | (Data[offset + 1] << 8));
    }
    std::uint32_t U32(std::size_t offset) const {
        if (!Fits(offset, 4))
            return 0;
        return static_cast<std::uint32_t>(Data[offset]) |
               (static_cast<std::uint32_t>(Data[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(Data[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(Data[offset + 3]) << 24);
    }
    float F32(std::size_t offset) const { return std::bit_cast<float>(U32(offset)); }

    // The part of the image from `offset` on, at most `size` bytes (clipped).
    TImageReader Sub(std::size_t offset, std::size_t size) const {
        if (offset >= Size)
            return TImageReader(Data, 0);
        return TImageReader(Data + offset, size < Size - offset ? size : Size - offset);
    }
    std::size_t Length() const { return Size; }

private:
    bool Fits(std::size_t offset, std::size_t width) const {
        return offset <= Size && width <= Size - offset;
    }
    const std::uint8_t* Data;
    std::size_t Size;
};

} // namespace virs
