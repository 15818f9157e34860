#pragma once
// A block of consecutive holding registers built as the meters keep it in
// memory: byte 2k is the low byte and byte 2k+1 the high byte of register
// first + k; a 32-bit value (integer or IEEE single) lies little-endian at its
// byte offset, so its low 16 bits are in the lower register.

#include <bit>
#include <cstring>
#include <vector>

#include "sim/SimTypes.h"

namespace virs::sim {

class TRegisterImage {
public:
    TRegisterImage(u16 first, u16 count) : First_(first), Bytes_(2u * count, 0) {}

    u16 First() const { return First_; }
    u16 Count() const { return static_cast<u16>(Bytes_.size() / 2); }
    bool Holds(u16 start, u16 count) const {
        return start >= First_ && start + count <= First_ + Count();
    }
    u16 Register(u16 reg) const {
        const std::size_t i = 2u * (reg - First_);
        return static_cast<u16>(Bytes_[i] | (Bytes_[i + 1] << 8));
    }

    // Byte offsets from the first register of the block.
    void U8(std::size_t off, u8 v) { Bytes_.at(off) = v; }
    void U16(std::size_t off, u16 v) { U8(off, v & 0xFF), U8(off + 1, static_cast<u8>(v >> 8)); }
    void U32(std::size_t off, u32 v) {
        U16(off, static_cast<u16>(v & 0xFFFF));
        U16(off + 2, static_cast<u16>(v >> 16));
    }
    void F32(std::size_t off, float v) { U32(off, std::bit_cast<u32>(v)); }
    // Register-number addressing for the maps that give register numbers.
    void RegU16(u16 reg, u16 v) { U16(2u * (reg - First_), v); }
    void RegU32(u16 reg, u32 v) { U32(2u * (reg - First_), v); }
    void RegF32(u16 reg, float v) { F32(2u * (reg - First_), v); }

private:
    u16 First_;
    std::vector<u8> Bytes_;
};

} // namespace virs::sim
