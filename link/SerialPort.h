#pragma once
// The serial port as the rest of the program sees it: one synchronous port with
// the read semantics of a Windows communications port. Every byte exchanged
// with modems and meters goes through this interface, so tests can put a
// pseudo-terminal (or anything else) behind it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "link/PortNames.h"

namespace virs {

// The line-settings record. One record is kept for the whole run by its owner
// and handed to every open: it is read from the port, changed and written back,
// so a later connection may start from the settings an earlier one left.
struct TLineSettings {
    std::uint32_t BaudRate = 0; // bit/s; 0 while the record has never been read from a port
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even
    std::uint8_t StopBits = 0; // 0 one stop bit, 2 two stop bits
    // Binary mode, parity check, hardware/software flow control and DTR/RTS
    // control bits; the program always writes 0 (everything off).
    std::uint32_t Flags = 0;
};

// Read time-outs in milliseconds. A read returns when its buffer is full, when
// more than ReadInterval passes between bytes after the first byte (0: no
// interval limit), or when ReadMultiplier * size + ReadConstant has passed
// since the call (both 0: no total limit). Write time-outs are always 0.
struct TPortTimeouts {
    std::uint32_t ReadInterval = 0;
    std::uint32_t ReadMultiplier = 0;
    std::uint32_t ReadConstant = 0;
};

// Purge flags, combinable as on Windows: 12 discards both queues, 15 also
// abandons transfers in progress.
inline constexpr std::uint32_t PurgeTxAbort = 0x0001;
inline constexpr std::uint32_t PurgeRxAbort = 0x0002;
inline constexpr std::uint32_t PurgeTxClear = 0x0004;
inline constexpr std::uint32_t PurgeRxClear = 0x0008;

// Outcome of a read or write: the bytes moved, and whether the call succeeded.
// A read that times out with nothing is a success with Count 0.
struct TPortIo {
    bool Ok = false;
    std::size_t Count = 0;
};

class TSerialPort {
public:
    virtual ~TSerialPort() = default;

    // Sizes of the driver's input and output queues (a hint where the system
    // has fixed queues).
    virtual bool SetQueues(std::uint32_t inputBytes, std::uint32_t outputBytes) = 0;
    // Fills speed, byte size, parity and stop bits of `settings` from the port
    // and leaves the flags as they are in the record.
    virtual bool GetLineSettings(TLineSettings& settings) = 0;
    // Applies the record: raw 8-bit line, no flow control, no echo, no
    // character translation.
    virtual bool SetLineSettings(const TLineSettings& settings) = 0;
    virtual bool SetTimeouts(const TPortTimeouts& timeouts) = 0;
    virtual bool Purge(std::uint32_t flags) = 0;
    // One blocking write of the whole buffer; returns once the bytes have left.
    virtual TPortIo Write(const std::uint8_t* data, std::size_t size) = 0;
    // The same write for a request that a Read follows at once: it may return
    // as soon as the system holds the bytes, while the port keeps the outward
    // behaviour of Write: the next Read's total time-out counts from when the
    // bytes have left the line, and a purge waits for them before it clears
    // the queues. Spares the wait for the line where the port can keep that.
    virtual TPortIo Send(const std::uint8_t* data, std::size_t size) { return Write(data, size); }
    // One blocking read of at most `size` bytes under the current time-outs.
    virtual TPortIo Read(std::uint8_t* buffer, std::size_t size) = 0;
    // Releases the device; later calls fail. The result says whether the
    // system accepted the close.
    virtual bool Close() = 0;
    // Plain sleep of the calling thread.
    virtual void Sleep(std::uint32_t milliseconds);

    // Thread-safe: makes a read or write blocked in another thread return at
    // once (Ok false); when none is running, the next one does. The cancel is
    // used up by the call it ends, so the port stays usable (the hang-up after
    // a stopped job). Used to stop a job and to end the exchange thread.
    virtual void CancelIo() = 0;
    // Drops a cancel that no call has used up (it came after the last call of
    // the operation it was meant for had returned).
    virtual void ClearCancel() {}
};

struct TPortOpenResult {
    std::unique_ptr<TSerialPort> Port; // empty on failure
    std::string Error;                 // system error text when Port is empty
    // An alias of the COM number that was not trusted and so not used (the
    // caller tells the operator); set by OpenComPort only.
    TPortAliasNotice AliasNotice = {};
};

// Opens a serial device for reading and writing, exclusively, synchronously.
TPortOpenResult OpenSerialPort(const std::filesystem::path& devicePath);
// Opens COMn through the port-number mapping of link/PortNames.h.
TPortOpenResult OpenComPort(unsigned comNumber);

} // namespace virs
