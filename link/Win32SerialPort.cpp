// The serial port on Windows: the communications calls of the kernel on a
// synchronous, exclusive handle.
#ifdef _WIN32

#include <windows.h>

#include <atomic>

#include "link/SerialPort.h"

namespace virs {

namespace {

std::string LastErrorText(const std::string& what) {
    return what + ": ошибка " + std::to_string(GetLastError());
}

class TWin32SerialPort final : public ISerialPort {
public:
    explicit TWin32SerialPort(HANDLE handle) : Handle(handle) {}
    ~TWin32SerialPort() override {
        if (Handle != INVALID_HANDLE_VALUE)
            CloseHandle(Handle);
    }
    TWin32SerialPort(const TWin32SerialPort&) = delete;
    TWin32SerialPort& operator=(const TWin32SerialPort&) = delete;

    bool SetQueues(std::uint32_t inputBytes, std::uint32_t outputBytes) override {
        return SetupComm(Handle, inputBytes, outputBytes) != 0;
    }

    bool GetLineSettings(TLineSettings& settings) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(Handle, &dcb))
            return false;
        settings.BaudRate = dcb.BaudRate;
        settings.ByteSize = dcb.ByteSize;
        settings.Parity = dcb.Parity;
        settings.StopBits = dcb.StopBits;
        return true;
    }

    bool SetLineSettings(const TLineSettings& settings) override {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(Handle, &dcb))
            return false;
        if (settings.BaudRate != 0) {
            dcb.BaudRate = settings.BaudRate;
            dcb.ByteSize = settings.ByteSize;
            dcb.Parity = settings.Parity;
            dcb.StopBits = settings.StopBits;
        }
        // Every flag bit off: binary mode, parity check, flow control, DTR/RTS control.
        dcb.fBinary = dcb.fParity = dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = 0;
        dcb.fDtrControl = dcb.fDsrSensitivity = dcb.fTXContinueOnXoff = 0;
        dcb.fOutX = dcb.fInX = dcb.fErrorChar = dcb.fNull = 0;
        dcb.fRtsControl = dcb.fAbortOnError = 0;
        return SetCommState(Handle, &dcb) != 0;
    }

    bool SetTimeouts(const TPortTimeouts& timeouts) override {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = timeouts.ReadInterval;
        t.ReadTotalTimeoutMultiplier = timeouts.ReadMultiplier;
        t.ReadTotalTimeoutConstant = timeouts.ReadConstant;
        return SetCommTimeouts(Handle, &t) != 0;
    }

    bool Purge(std::uint32_t flags) override { return PurgeComm(Handle, flags) != 0; }

    // A cancel ends the call it meets and is used up by it.
    TPortIo Write(const std::uint8_t* data, std::size_t size) override {
        DWORD written = 0;
        BOOL ok = !Cancelled.exchange(false) &&
                  WriteFile(Handle, data, static_cast<DWORD>(size), &written, nullptr);
        return {ok != 0 && !Cancelled.exchange(false), written};
    }

    TPortIo Read(std::uint8_t* buffer, std::size_t size) override {
        DWORD read = 0;
        BOOL ok = !Cancelled.exchange(false) &&
                  ReadFile(Handle, buffer, static_cast<DWORD>(size), &read, nullptr);
        return {ok != 0 && !Cancelled.exchange(false), read};
    }

    bool Close() override {
        if (Handle == INVALID_HANDLE_VALUE)
            return false;
        HANDLE h = Handle;
        Handle = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

    void CancelIo() override {
        Cancelled = true;
        CancelIoEx(Handle, nullptr); // ends a read waiting in another thread
    }

    void ClearCancel() override { Cancelled = false; }

private:
    HANDLE Handle;
    std::atomic<bool> Cancelled{false};
};

} // namespace

TPortOpenResult OpenSerialPort(const std::filesystem::path& devicePath) {
    std::string path = devicePath.string();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {nullptr, LastErrorText(path)};
    return {std::make_unique<TWin32SerialPort>(h), {}};
}

} // namespace virs

#endif
