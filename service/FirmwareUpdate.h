#pragma once
// Loading a ВИРС-Д firmware image and sending it to the meter's loader:
// handshake 0xAA, start 0xA5, then 128 blocks of 256 bytes, each answered by
// one byte.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "model/DateTime.h"
#include "service/ServicePort.h"

namespace virs {

inline constexpr const char* FirmwareCaption = "Обновление прошивки ВИРС-Д";
inline constexpr const char* FirmwareFileFilter = "файл прошивки ВИРСД (*.vrs)|*.vrs";
inline constexpr std::size_t FirmwareImageSize = 32768;
inline constexpr int FirmwareBlocks = 128, FirmwareBlockSize = 256;
// Where the image keeps its version and date.
inline constexpr std::size_t FirmwareMinorOffset = 32762, FirmwareMajorOffset = 32763,
                             FirmwareYearOffset = 32764, FirmwareMonthOffset = 32765,
                             FirmwareDayOffset = 32766;
// How long the loader may take to answer one block. 256 bytes take 22 ms on
// the wire at 115200 bit/s and the loader writes a block to flash in a few
// tens of milliseconds; a loader that has not answered in 2 s has stopped.
inline constexpr std::uint32_t FirmwareBlockAnswerMs = 2000;

// The image buffer of the run; a shorter file leaves the tail as it was.
using TFirmwareImage = std::array<std::uint8_t, FirmwareImageSize>;

struct TFirmwareLoad {
    bool Ok = false;
    std::size_t Bytes = 0; // bytes taken from the file
    std::string Error;     // the system's words when the file could not be read
};

// Reads up to 32768 bytes of `file` into the image. On failure the image is
// left exactly as it was.
TFirmwareLoad LoadFirmwareFile(const std::filesystem::path& file, TFirmwareImage& image);
// The message shown when a file cannot be read.
TServiceMessage FirmwareFileMessage(const std::string& fileName, const std::string& error);

std::string FirmwareVersionText(const TFirmwareImage& image); // "2.5"
std::string FirmwareDateText(const TFirmwareImage& image);    // "07.03.09"
// Writes day, month and the year's last two digits into the date bytes.
void StampFirmwareDate(TFirmwareImage& image, const TDate& date);

class TFirmwareUi {
public:
    virtual ~TFirmwareUi() = default;
    // A Yes/No question; true for Yes.
    virtual bool Confirm(const TServiceMessage& question) = 0;
    virtual void ShowMessage(const TServiceMessage& message) = 0;
    // After block `block` (0..127) was answered with `answer`; the window
    // repaints and takes the operator's clicks here.
    virtual void BlockDone(int block, std::uint8_t answer) = 0;
    // The transfer is over (done or broken off): the progress goes back to 0.
    virtual void ResetProgress() {}
    // Asked between blocks: true stops the transfer.
    virtual bool CancelRequested() = 0;
};

enum class TFirmwareResult { PortFailed, Declined, HandshakeFailed, Done, Silent, Cancelled };

struct TFirmwareOutcome {
    TFirmwareResult Result = TFirmwareResult::PortFailed;
    int BlocksSent = 0; // blocks the loader answered
};

// The whole programming run on `portName`: the image is stamped with `today`
// after the handshake and then sent. The port is closed at the end.
TFirmwareOutcome RunFirmwareUpdate(const std::string& portName, const TServicePortOpener& open,
                                   TFirmwareImage& image, const TDate& today, TFirmwareUi& ui);

} // namespace virs
