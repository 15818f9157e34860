#pragma once
// The firmware loader of a ВИРС-Д: answers the handshake byte 0xAA with 0xAA,
// takes 0xA5 as the start, then 128 blocks of 256 bytes, answering each block
// with one byte (the block's number). Only at 115200 bit/s. The image taken is
// kept and, when asked, written to a file. Faults: refuse the handshake, or
// fall silent after a given number of blocks.

#include <filesystem>
#include <optional>
#include <string>

#include "sim/SimTypes.h"

namespace virs::sim {

inline constexpr u8 BootHandshake = 0xAA, BootStart = 0xA5;
inline constexpr int BootBlocks = 128, BootBlockSize = 256;

struct TBootloaderConfig {
    bool Enabled = false;
    u32 Baud = 115200;
    bool RefuseHandshake = false;     // stays silent on 0xAA
    std::optional<u8> HandshakeReply; // answer something other than 0xAA
    int SilentAfterBlock = -1;        // answer blocks 0..k-1, then nothing
    std::filesystem::path ImageFile;  // where a received image is written
};

class TBootloader {
public:
    explicit TBootloader(TBootloaderConfig config) : Config_(std::move(config)) {}
    bool Enabled() const { return Config_.Enabled; }
    bool Active() const { return State_ != TState::Idle; }
    // A lone byte on the line while the meter runs Modbus: true when it starts the loader.
    bool TakeHandshake(u8 byte, u32 baud, Bytes& reply);
    // Bytes while the loader is active; the reply (may be empty).
    Bytes Receive(const Bytes& data);
    // The transfer stalled: back to the meter's program.
    void Abandon();
    int BlocksTaken() const { return Blocks_; }
    bool Complete() const { return Complete_; }
    const Bytes& Image() const { return Image_; }
    std::string Error() const { return Error_; }

private:
    enum class TState { Idle, AwaitStart, Blocks, Silent };
    TBootloaderConfig Config_;
    TState State_ = TState::Idle;
    Bytes Image_;
    int Blocks_ = 0;
    bool Complete_ = false;
    std::string Error_;
};

} // namespace virs::sim
