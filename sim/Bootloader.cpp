#include "sim/Bootloader.h"

#include <fstream>

namespace virs::sim {

bool TBootloader::TakeHandshake(u8 byte, u32 baud, Bytes& reply) {
    reply.clear();
    if (!Config_.Enabled || byte != BootHandshake || baud != Config_.Baud)
        return false;
    if (Config_.RefuseHandshake)
        return true; // heard, but stays silent
    if (Config_.HandshakeReply) {
        reply = {*Config_.HandshakeReply};
        return true;
    }
    reply = {BootHandshake};
    State_ = TState::AwaitStart;
    Image_.clear();
    Blocks_ = 0;
    Complete_ = false;
    return true;
}

Bytes TBootloader::Receive(const Bytes& data) {
    Bytes reply;
    for (u8 b : data) {
        switch (State_) {
        case TState::Idle:
        case TState::Silent:
            break;
        case TState::AwaitStart:
            if (b == BootStart)
                State_ = TState::Blocks;
            else if (b != BootHandshake)
                State_ = TState::Idle;
            break;
        case TState::Blocks:
            Image_.push_back(b);
            if (Image_.size() % BootBlockSize != 0)
                break;
            if (Config_.SilentAfterBlock >= 0 && Blocks_ >= Config_.SilentAfterBlock) {
                State_ = TState::Silent;
                break;
            }
            reply.push_back(static_cast<u8>(Blocks_));
            ++Blocks_;
            if (Blocks_ == BootBlocks) {
                Complete_ = true;
                State_ = TState::Idle;
                if (!Config_.ImageFile.empty()) {
                    std::ofstream out(Config_.ImageFile, std::ios::binary | std::ios::trunc);
                    out.write(reinterpret_cast<const char*>(Image_.data()),
                              static_cast<std::streamsize>(Image_.size()));
                    if (!out)
                        Error_ = "не удалось записать образ в " + Config_.ImageFile.string();
                }
            }
            break;
        }
    }
    return reply;
}

void TBootloader::Abandon() {
    State_ = TState::Idle;
}

} // namespace virs::sim
