// The serial port on Windows: the communications calls of the kernel on an
// exclusive handle. Reads and writes block the caller as synchronous calls do,
// but run as overlapped transfers waited for together with a cancel event, so
// that CancelIo from another thread ends a transfer that is waiting (a
// synchronous ReadFile cannot be relied on to be cancellable from outside).
#ifdef _WIN32

#include <windows.h>

#include <atomic>

#include "link/SerialPort.h"

namespace virs {

namespace {

std::string LastErrorText(const std::string& what) {
    return what + ": ошибка " + std::to_string(GetLastError());
}

class TWin32SerialPort final : public TSerialPort {
public:
    explicit TWin32SerialPort(HANDLE handle)
        : Handle(handle), CancelEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~TWin32SerialPort() override {
        if (Handle != INVALID_HANDLE_VALUE)
            CloseHandle(Handle);
        if (CancelEvent)
            CloseHandle(CancelEvent);
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
        return Transfer(true, const_cast<std::uint8_t*>(data), size);
    }

    TPortIo Read(std::uint8_t* buffer, std::size_t size) override {
        return Transfer(false, buffer, size);
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
        if (CancelEvent)
            SetEvent(CancelEvent); // wakes a transfer waiting in another thread
    }

    void ClearCancel() override {
        Cancelled = false;
        if (CancelEvent)
            ResetEvent(CancelEvent);
    }

private:
    // One transfer under the port's time-outs, waited for until it ends or
    // the port is cancelled. A cancel ends the call it meets and is used up by
    // it, so the port stays usable afterwards (the hang-up after a stop).
    TPortIo Transfer(bool write, std::uint8_t* data, std::size_t size) {
        if (Handle == INVALID_HANDLE_VALUE || !CancelEvent)
            return {false, 0};
        if (Cancelled.exchange(false)) {
            ResetEvent(CancelEvent);
            return {false, 0};
        }
        OVERLAPPED ov{};
        ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!ov.hEvent)
            return {false, 0};
        const DWORD count = static_cast<DWORD>(size);
        BOOL ok = write ? WriteFile(Handle, data, count, nullptr, &ov)
                        : ReadFile(Handle, data, count, nullptr, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            HANDLE waits[2] = {ov.hEvent, CancelEvent};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
                CancelIoEx(Handle, &ov);
            ok = TRUE;
        }
        DWORD moved = 0;
        ok = ok && GetOverlappedResult(Handle, &ov, &moved, TRUE);
        // A read ended by its time-outs completes with STATUS_TIMEOUT, a
        // success status that some systems (Wine) report as a failure.
        const ULONG_PTR statusTimeout = 0x102;
        if (!ok && !write && ov.Internal == statusTimeout)
            ok = TRUE;
        CloseHandle(ov.hEvent);
        const bool cancelled = Cancelled.exchange(false);
        if (cancelled)
            ResetEvent(CancelEvent);
        return {ok != 0 && !cancelled, moved};
    }

    HANDLE Handle;
    HANDLE CancelEvent;
    std::atomic<bool> Cancelled{false};
};

} // namespace

TPortOpenResult OpenSerialPort(const std::filesystem::path& devicePath) {
    std::string path = devicePath.string();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {nullptr, LastErrorText(path)};
    return {std::make_unique<TWin32SerialPort>(h), {}};
}

} // namespace virs

#endif
