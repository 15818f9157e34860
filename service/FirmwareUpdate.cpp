#include "service/FirmwareUpdate.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace virs {

namespace {

constexpr std::uint8_t Handshake = 0xAA, Start = 0xA5;

std::string TwoDigits(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

bool WriteAll(TSerialPort& port, const std::uint8_t* data, std::size_t size) {
    const TPortIo io = port.Write(data, size);
    return io.Ok && io.Count == size;
}

TFirmwareOutcome Finish(TSerialPort& port, TFirmwareOutcome outcome) {
    port.Close();
    return outcome;
}

} // namespace

TFirmwareLoad LoadFirmwareFile(const std::filesystem::path& file, TFirmwareImage& image) {
    TFirmwareLoad load;
    std::FILE* f = std::fopen(file.string().c_str(), "rb");
    if (!f) {
        load.Error = std::system_category().message(errno);
        return load;
    }
    // Read into a copy first: a read that fails half-way leaves the image whole.
    TFirmwareImage next = image;
    load.Bytes = std::fread(next.data(), 1, next.size(), f);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (failed) {
        load.Error = std::system_category().message(err ? err : EIO);
        load.Bytes = 0;
        return load;
    }
    image = next;
    load.Ok = true;
    return load;
}

TServiceMessage FirmwareFileMessage(const std::string& fileName, const std::string& error) {
    return {TServiceIcon::Error, "Ошибка",
            "Не удалось прочитать файл прошивки " + fileName + ":\r" + error};
}

std::string FirmwareVersionText(const TFirmwareImage& image) {
    return std::to_string(image[FirmwareMajorOffset]) + "." +
           std::to_string(image[FirmwareMinorOffset]);
}

std::string FirmwareDateText(const TFirmwareImage& image) {
    return TwoDigits(image[FirmwareDayOffset]) + "." + TwoDigits(image[FirmwareMonthOffset]) + "." +
           TwoDigits(image[FirmwareYearOffset]);
}

void StampFirmwareDate(TFirmwareImage& image, const TDate& date) {
    image[FirmwareDayOffset] = static_cast<std::uint8_t>(date.Day);
    image[FirmwareMonthOffset] = static_cast<std::uint8_t>(date.Month);
    image[FirmwareYearOffset] = static_cast<std::uint8_t>(date.Year % 100);
}

TFirmwareOutcome RunFirmwareUpdate(const std::string& portName, const TServicePortOpener& open,
                                   TFirmwareImage& image, const TDate& today, TFirmwareUi& ui) {
    TFirmwareOutcome outcome;
    TPortOpenResult opened = open(portName);
    if (!opened.Port) {
        ui.ShowMessage({TServiceIcon::Error, "Ошибка", "Не удаётся открыть порт"});
        return outcome;
    }
    TSerialPort& port = *opened.Port;
    port.Purge(PurgeTxAbort | PurgeRxAbort | PurgeTxClear | PurgeRxClear);
    TLineSettings line;
    port.GetLineSettings(line);
    line.BaudRate = 115200;
    line.ByteSize = 8;
    line.Parity = 0;
    line.StopBits = 0;
    line.Flags = 0;
    port.SetLineSettings(line);
    port.SetTimeouts({2, 2, 100});

    if (!ui.Confirm(
            {TServiceIcon::Question, "Внимание", "Вы действительно хотите начать прошивку?"})) {
        outcome.Result = TFirmwareResult::Declined;
        return Finish(port, outcome);
    }

    std::uint8_t answer = 0;
    const bool sent = WriteAll(port, &Handshake, 1);
    const TPortIo heard = port.Read(&answer, 1);
    if (!sent || !heard.Ok || heard.Count != 1 || answer != Handshake) {
        ui.ShowMessage(
            {TServiceIcon::Error, "Ошибка", "Не удалось войти в режим программирования"});
        outcome.Result = TFirmwareResult::HandshakeFailed;
        return Finish(port, outcome);
    }

    StampFirmwareDate(image, today);
    port.SetTimeouts({0, 0, FirmwareBlockAnswerMs});
    ui.ShowMessage({TServiceIcon::Information, "Обновление",
                    "Сейчас программа прибора будет перепрошита.\rЖелательно закрыть другие "
                    "работающие приложения.\rЭто может занять некоторое время, пожалуйста "
                    "дождитесь окончания"});
    WriteAll(port, &Start, 1);
    port.Sleep(250);

    for (int k = 0; k < FirmwareBlocks; ++k) {
        if (ui.CancelRequested()) {
            ui.ResetProgress();
            ui.ShowMessage({TServiceIcon::Information, "Обновление",
                            "Программирование прервано оператором после блока " +
                                std::to_string(k) +
                                " из 128.\rПрограмма прибора не "
                                "обновлена, повторите прошивку."});
            outcome.Result = TFirmwareResult::Cancelled;
            return Finish(port, outcome);
        }
        const bool written =
            WriteAll(port, image.data() + k * FirmwareBlockSize, FirmwareBlockSize);
        const TPortIo io = written ? port.Read(&answer, 1) : TPortIo{};
        if (!io.Ok || io.Count != 1) {
            ui.ResetProgress();
            ui.ShowMessage({TServiceIcon::Error, "Ошибка",
                            "Прибор не ответил на блок " + std::to_string(k + 1) +
                                " из 128.\rПрограммирование прервано, повторите прошивку."});
            outcome.Result = TFirmwareResult::Silent;
            return Finish(port, outcome);
        }
        outcome.BlocksSent = k + 1;
        ui.BlockDone(k, answer);
    }
    ui.ResetProgress();
    ui.ShowMessage({TServiceIcon::Information, "", "Программирование завершено"});
    outcome.Result = TFirmwareResult::Done;
    return Finish(port, outcome);
}

} // namespace virs
