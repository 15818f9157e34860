#include "views/ArchiveExport.h"

#include "model/TextCodec.h"
#include "views/ArchiveFileName.h"
#include "views/ViewText.h"

namespace virs {

namespace {

// Cell formats of the archive workbook (added to FormatBase).
enum : int {
    FmtPlain = 0,
    FmtDate = 1,
    FmtVolume = 2,
    FmtHours = 3,
    FmtBoxed = 4,
    FmtTime = 5,
    FmtEvents = 6,
    FmtMonth = 7
};

bool IsD(TDeviceType type) {
    return type == DeviceVirsD || type == DeviceVirsDK;
}

const char* const D2Legend[] = {
    "Легенда событий канала:",
    "C - очистка накопленных значений объёма и времени работы",
    "O - переполнение импульсного выхода",
    "> - расход больше максимального порога",
    "< - расход меньше минимального порога",
    "R - поток реверсивный",
    "E - ошибка измерения расхода",
    "Легенда событий прибора:",
    "E - изменение параметров и настроек прибора",
    "I - использование модема или интерфейса RS485",
    "U - использование интерфейса USB",
    "S - начало работы прибора после выключения питания",
};

std::vector<std::string> Headers(TDeviceType type, TArchiveKind kind) {
    const bool hourly = kind == TArchiveKind::Hourly;
    std::vector<std::string> h;
    if (type == DeviceVirsSh) {
        h = {"Дата", "Объём,м3", "Время работы, часов", "События"};
    } else if (type == DeviceVirsD) {
        h = {"Дата",
             "V1,м3 (Объём по 1 каналу)",
             "V2,м3 (Объём по 2 каналу)",
             "-V1,м3 (Объём по 1 каналу, реверс)",
             "-V2,м3 (Объём по 2 каналу, реверс)",
             "B1, часов (Время работы по 1 каналу)",
             "B2, часов (Время работы по 2 каналу)",
             "-B1, часов (Время работы по 1 каналу, реверс)",
             "-B2, часов (Время работы по 2 каналу, реверс)",
             "Время отсутствия сети",
             "События"};
    } else if (type == DeviceVirsDK) {
        h = {"Дата",
             "V1,м3 (Объём по 1 каналу)",
             "V2,м3 (Объём по 2 каналу)",
             "V3,м3 (Объём по 3 каналу)",
             "V4,м3 (Объём по 4 каналу)",
             "B1, часов (Время работы по 1 каналу)",
             "B2, часов (Время работы по 2 каналу)",
             "B3, часов (Время работы по 3 каналу)",
             "B4, часов (Время работы по 4 каналу)",
             "Время отсутствия сети",
             "События"};
    } else {
        h = {"Дата",       "+V1,м3",     "-V1,м3",     "+V2,м3",     "-V2,м3",     "+V3,м3",
             "-V3,м3",     "+V4,м3",     "-V4,м3",     "+T1, часов", "-T1, часов", "+T2, часов",
             "-T2, часов", "+T3, часов", "-T3, часов", "+T4, часов", "-T4, часов", "E1",
             "E2",         "E3",         "E4",         "GE"};
    }
    if (hourly)
        h.insert(h.begin() + 1, "Время");
    return h;
}

std::string TitleText(const TArchiveHead& head) {
    const bool hourly = head.Kind == TArchiveKind::Hourly;
    const bool monthly = head.Kind == TArchiveKind::Monthly;
    std::string kind = hourly ? "Часовой архив" : monthly ? "Месячный архив" : "Суточный архив";
    if (IsD(head.Type))
        kind += head.Integrators ? " интеграторов" : " средних значений";
    return kind + " с ";
}

} // namespace

std::uint16_t ArchiveFirstDataRow(TDeviceType type) {
    return type == DeviceVirsSh ? 9 : type == DeviceVirsD2 ? 22 : 8;
}

std::size_t ArchiveSheetOf(TArchiveKind kind) {
    return kind == TArchiveKind::Hourly    ? SheetHours
           : kind == TArchiveKind::Monthly ? SheetMonths
                                           : SheetDays;
}

std::string ArchiveTooLongMessage(int maxDays) {
    return "Архив не поместится на лист книги Excel 5 (не более " + std::to_string(MaxRowsExcel5) +
           " строк). Наибольший диапазон для этого архива: " + std::to_string(maxDays) +
           " сут. от даты начала";
}

std::string TWorkbookArchiveSink::Check(const TDevice& device, const TArchiveHead& head,
                                        std::int32_t recordsTotal) {
    // Rows of the sheet: the head, every record (one more than the records
    // counted for the progress) and a totals row.
    const std::int64_t first = ArchiveFirstDataRow(head.Type);
    auto fits = [&](std::int64_t records) { return first + records + 2 <= MaxRowsExcel5; };
    if (!fits(recordsTotal)) {
        int days = 0;
        while (head.RecordsForDays && days < static_cast<int>(MaxRowsExcel5) &&
               fits(head.RecordsForDays(days)))
            ++days;
        return ArchiveTooLongMessage(days);
    }
    const std::string remembered = device.ArchiveFile.Get();
    std::error_code ec;
    if (!remembered.empty() &&
        std::filesystem::is_regular_file(ArchivePath(Folder, remembered), ec))
        return "";
    if (!FreeArchiveFileName(Folder, head.NodeName, head.DeviceName))
        return NoFreeArchiveNameMessage(head.NodeName, head.DeviceName);
    return "";
}

std::uint16_t TWorkbookArchiveSink::Open(TDevice& device, const TArchiveHead& head) {
    Type = head.Type;
    Kind = head.Kind;
    SheetIndex = ArchiveSheetOf(head.Kind);
    const std::string remembered = device.ArchiveFile.Get();
    std::error_code ec;
    bool reuse = !remembered.empty() &&
                 std::filesystem::is_regular_file(ArchivePath(Folder, remembered), ec);
    if (reuse) {
        // The other two sheets go back into the file as the file holds them.
        TWorkbook fromFile;
        reuse = fromFile.Read(ArchivePath(Folder, remembered).string()).Ok;
        if (reuse) {
            Xls = std::move(fromFile);
            Xls.SetFileName(ArchivePath(Folder, remembered).string());
            Xls.ClearSheet(SheetIndex);
            Base = 16;
        }
    }
    if (!reuse) {
        // A file that cannot be read back is left alone: the rows go to a new one.
        const std::optional<std::string> name =
            FreeArchiveFileName(Folder, head.NodeName, head.DeviceName);
        Xls = TWorkbook();
        Base = 0;
        if (name) {
            device.ArchiveFile.Set(Utf8Left(*name, 255));
            Xls.SetFileName(ArchivePath(Folder, *name).string());
        } else {
            // Every name was taken after the check: nothing is overwritten,
            // the rows stay in memory and the save reports the failure.
            Xls.SetFileName("");
        }
    }
    WriteHead(head);
    return ArchiveFirstDataRow(head.Type);
}

void TWorkbookArchiveSink::Text(std::uint32_t col, std::uint32_t row, std::string_view text,
                                int format) {
    Xls.PutText(SheetIndex, col, row, text, static_cast<std::uint16_t>(Base + format));
}

void TWorkbookArchiveSink::Number(std::uint32_t col, std::uint32_t row, double value, int format) {
    Xls.PutNumber(SheetIndex, col, row, value, static_cast<std::uint16_t>(Base + format));
}

void TWorkbookArchiveSink::WriteHead(const TArchiveHead& head) {
    const std::string d1 = DateText(static_cast<double>(head.FirstDay), Locale);
    const std::string d2 = DateText(static_cast<double>(head.LastDay), Locale);
    Text(0, 0, TitleText(head) + d1 + " по " + d2, FmtPlain);
    Text(0, 1, "создан: " + DateText(head.Now, Locale) + " " + TimeText(head.Now, Locale),
         FmtPlain);
    Text(0, 2, Utf8Left("узел: " + head.NodeName, 26), FmtPlain);
    Text(0, 3, Utf8Left("точка: " + head.DeviceName, 27), FmtPlain);
    Text(0, 4, Utf8Left(std::string("прибор: ") + DeviceTypeName(head.Type), 28), FmtPlain);
    const std::string net = "сетевой номер: " + std::to_string(head.NetAddress);
    if (IsD(head.Type)) {
        Text(0, 5, net, FmtPlain);
    } else {
        Text(0, 5, "серийный номер: " + std::to_string(head.SerialNumber), FmtPlain);
        Text(0, 6, net, FmtPlain);
    }
    if (head.Type == DeviceVirsD2)
        for (std::uint32_t i = 0; i < std::size(D2Legend); ++i)
            Text(0, 8 + i, D2Legend[i], FmtPlain);
    const std::uint32_t headerRow = ArchiveFirstDataRow(head.Type) - 1u;
    const std::vector<std::string> headers = Headers(head.Type, head.Kind);
    for (std::uint32_t c = 0; c < headers.size(); ++c)
        Text(c, headerRow, headers[c], FmtBoxed);
}

void TWorkbookArchiveSink::AddShRow(std::uint16_t row, TDateTime date,
                                    const TShArchiveRow& values) {
    std::uint32_t c = 0;
    Number(c++, row, date, FmtDate);
    if (Kind == TArchiveKind::Hourly)
        Number(c++, row, date, FmtTime);
    Number(c++, row, values.Volume, FmtVolume);
    Number(c++, row, values.Hours, FmtHours);
    Text(c, row, values.Events, FmtBoxed);
}

void TWorkbookArchiveSink::AddDRow(std::uint16_t row, TDateTime date, const TDArchiveRow& values) {
    std::uint32_t c = 0;
    Number(c++, row, date, Kind == TArchiveKind::Monthly ? FmtMonth : FmtDate);
    if (Kind == TArchiveKind::Hourly)
        Number(c++, row, date, FmtTime);
    for (double v : values.Volumes)
        Number(c++, row, v, FmtVolume);
    for (double t : values.Times)
        Number(c++, row, t, FmtHours);
    Number(c++, row, values.Absence, FmtHours);
    Text(c, row, values.Events, FmtEvents);
}

void TWorkbookArchiveSink::AddDTotals(std::uint16_t row, const TDArchiveRow& values) {
    std::uint32_t c = 0;
    Text(c++, row, "Итого:", FmtBoxed);
    if (Kind == TArchiveKind::Hourly)
        Text(c++, row, "", FmtBoxed);
    for (double v : values.Volumes)
        Number(c++, row, v, FmtVolume);
    for (double t : values.Times)
        Number(c++, row, t, FmtHours);
    Number(c++, row, values.Absence, FmtHours);
    Text(c, row, "", FmtBoxed);
}

void TWorkbookArchiveSink::AddD2Row(std::uint16_t row, TDateTime date,
                                    const TD2ArchiveRow& values) {
    std::uint32_t c = 0;
    Number(c++, row, date, FmtDate);
    if (Kind == TArchiveKind::Hourly)
        Number(c++, row, date, FmtTime);
    for (double v : values.Volumes)
        Number(c++, row, v, FmtVolume);
    for (double t : values.Times)
        Number(c++, row, t, FmtHours);
    for (const std::string& e : values.ChannelEvents)
        Text(c++, row, e, FmtPlain);
    Text(c, row, values.DeviceEvents, FmtPlain);
}

std::string TWorkbookArchiveSink::Save() {
    if (Xls.FileName().empty())
        return "нет свободного имени файла архива";
    const TWorkbookResult r = Xls.Write();
    return r.Ok ? "" : (r.Error.empty() ? std::string("ошибка записи") : r.Error);
}

} // namespace virs
