#pragma once
// The simulator's end of a serial line: a pseudo-terminal pair. The program
// opens the slave side (by its path or through the COMn alias); the simulator
// reads and writes the master side and keeps the slave open itself, so the
// line settings the program applies survive between its connections.

#include <filesystem>
#include <memory>
#include <string>

#include "sim/Modem.h"
#include "sim/SimTypes.h"

namespace virs::sim {

class TPtyPort {
public:
    // nullptr and a message when the pseudo-terminal cannot be made.
    static std::unique_ptr<TPtyPort> Open(std::string& error);
    ~TPtyPort();
    TPtyPort(const TPtyPort&) = delete;
    TPtyPort& operator=(const TPtyPort&) = delete;

    int MasterFd() const { return Master_; }
    const std::string& SlavePath() const { return SlavePath_; }
    // Registers the slave as COMn in the port alias folder; removed again by the destructor.
    bool RegisterAlias(unsigned com, bool replace, std::string& error);
    const std::filesystem::path& AliasPath() const { return Alias_; }
    void RemoveAlias();

    // What the pty shows of the settings the program applied.
    TLineSettings Settings() const;

private:
    TPtyPort() = default;
    int Master_ = -1;
    int Slave_ = -1;
    std::string SlavePath_;
    std::filesystem::path Alias_;
};

// Bit times of one byte at the settings the pty shows: start, 8 data, the
// parity bit when it is visible (odd), one or two stop bits.
int BitsPerByte(const TLineSettings& line);

inline constexpr double PacingLeadSeconds = 0.020;

// Writes bytes at the pace of the line: byte i leaves at start + i · byteSeconds,
// handed to the pty up to PacingLeadSeconds early; the call returns when the
// last byte is on the wire. byteSeconds 0 writes at once. Returns false when the
// line cannot be written (the master side failed).
bool PacedWrite(int fd, const Bytes& data, double byteSeconds);

} // namespace virs::sim
