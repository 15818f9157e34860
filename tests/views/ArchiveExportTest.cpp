// The archive export: file names from user text, the remembered workbook and
// its other sheets, title rows, headers, formats, data and totals rows, the
// refusals before a job, and a write that fails.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/workbook/TempDir.h"
#include "views/ArchiveExport.h"
#include "views/ArchiveFileName.h"

namespace virs {
namespace {

using test::TTempDir;

TEST(ArchiveFileNames, UserTextBecomesOneSafeName) {
    struct {
        const char* Text;
        const char* Safe;
    } const cases[] = {
        {"Котельная 1", "Котельная 1"},
        {"../../etc", ".._.._etc"},
        {"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
        {"tab\there\r\n", "tab_here__"},
        {"..", "_.."},
        {"", "_"},
        {"CON", "_CON"},
        {"con", "_con"},
        {"Com7", "_Com7"},
        {"LPT9.txt", "_LPT9.txt"},
        {"COM10", "COM10"},
        {"CONSOLE", "CONSOLE"},
        {"NUL ", "_NUL "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeFileNamePart(c.Text), c.Safe) << c.Text;
    EXPECT_EQ(ArchiveFileName("Узел", "Точка", -1), "Узел [Точка].xls");
    EXPECT_EQ(ArchiveFileName("Узел", "Точка", 0), "Узел [Точка]_0.xls");
    EXPECT_EQ(ArchiveFileName("a/..", "CON", 255), "a_.. [_CON]_255.xls");
}

TEST(ArchiveFileNames, NumberedNamesAndTheEndOfThem) {
    TTempDir dir;
    EXPECT_EQ(FreeArchiveFileName(dir.Path(), "N", "D"), "N [D].xls");
    std::ofstream(dir.Path() / "N [D].xls") << "x";
    EXPECT_EQ(FreeArchiveFileName(dir.Path(), "N", "D"), "N [D]_0.xls");
    for (int n = 0; n <= 254; ++n)
        std::ofstream(dir.Path() / ("N [D]_" + std::to_string(n) + ".xls")) << "x";
    EXPECT_EQ(FreeArchiveFileName(dir.Path(), "N", "D"), "N [D]_255.xls");
    std::ofstream(dir.Path() / "N [D]_255.xls") << "x";
    EXPECT_EQ(FreeArchiveFileName(dir.Path(), "N", "D"), std::nullopt);
}

struct TExportFixture {
    TTempDir Dir;
    TWorkbook Xls;
    TWorkbookArchiveSink Sink{Xls, Dir.Path(), RussianViewLocale()};
    TDevice Device = NewDeviceRecord();

    TArchiveHead Head(TDeviceType type, TArchiveKind kind) {
        Device.DeviceType = type;
        TArchiveHead h;
        h.Type = type;
        h.Kind = kind;
        h.FirstDay = EncodeDate(2024, 3, 1);
        h.LastDay = EncodeDate(2024, 3, 14);
        h.Now = EncodeDateTime(2024, 3, 15, 9, 5, 7);
        h.NodeName = "Котельная";
        h.DeviceName = "Ввод 1";
        h.NetAddress = 17;
        h.SerialNumber = 40001;
        return h;
    }
    const TCell* Cell(std::size_t sheet, std::uint32_t col, std::uint32_t row) {
        return Xls.FindCell(sheet, col, row);
    }
    std::string Text(std::size_t sheet, std::uint32_t col, std::uint32_t row) {
        const TCell* c = Cell(sheet, col, row);
        return c && c->Kind == TCellKind::Text ? c->Text : "<none>";
    }
};

TEST(ArchiveExport, ShDailyHeadRowsAndFormats) {
    TExportFixture f;
    const std::uint16_t first = f.Sink.Open(f.Device, f.Head(DeviceVirsSh, TArchiveKind::Daily));
    EXPECT_EQ(first, 9);
    EXPECT_EQ(f.Device.ArchiveFile.Get(), "Котельная [Ввод 1].xls");
    const char* const rows[] = {"Суточный архив с 01.03.2024 по 14.03.2024",
                                "создан: 15.03.2024 9:05:07",
                                "узел: Котельная",
                                "точка: Ввод 1",
                                "прибор: ВИРС-Ш",
                                "серийный номер: 40001",
                                "сетевой номер: 17"};
    for (std::uint32_t r = 0; r < 7; ++r) {
        EXPECT_EQ(f.Text(SheetDays, 0, r), rows[r]);
        EXPECT_EQ(f.Cell(SheetDays, 0, r)->Format, 0);
    }
    const char* const headers[] = {"Дата", "Объём,м3", "Время работы, часов", "События"};
    for (std::uint32_t c = 0; c < 4; ++c) {
        EXPECT_EQ(f.Text(SheetDays, c, 8), headers[c]);
        EXPECT_EQ(f.Cell(SheetDays, c, 8)->Format, 4);
    }
    EXPECT_EQ(f.Cell(SheetDays, 4, 8), nullptr);

    TShArchiveRow row;
    row.Valid = true;
    row.Volume = 12.5;
    row.Hours = 24;
    row.Events = " Режим программирования";
    f.Sink.AddShRow(9, EncodeDate(2024, 3, 14), row);
    const std::uint16_t formats[] = {1, 2, 3, 4};
    for (std::uint32_t c = 0; c < 4; ++c)
        EXPECT_EQ(f.Cell(SheetDays, c, 9)->Format, formats[c]);
    EXPECT_EQ(f.Cell(SheetDays, 0, 9)->Number, EncodeDate(2024, 3, 14));
    EXPECT_EQ(f.Cell(SheetDays, 1, 9)->Number, 12.5);
    EXPECT_EQ(f.Text(SheetDays, 3, 9), " Режим программирования");
    EXPECT_EQ(f.Sink.Save(), "");
    EXPECT_TRUE(std::filesystem::exists(f.Dir.Path() / "Котельная [Ввод 1].xls"));
}

TEST(ArchiveExport, LongNamesAreCutInTheTitleRows) {
    TExportFixture f;
    TArchiveHead h = f.Head(DeviceVirsD, TArchiveKind::Daily);
    h.NodeName = "Центральная котельная района";
    h.DeviceName = "Тепловой ввод номер двадцать один";
    f.Sink.Open(f.Device, h);
    EXPECT_EQ(f.Text(SheetDays, 0, 0),
              "Суточный архив средних значений с 01.03.2024 по 14.03.2024");
    EXPECT_EQ(f.Text(SheetDays, 0, 2), "узел: Центральная котельна");  // 26 characters
    EXPECT_EQ(f.Text(SheetDays, 0, 3), "точка: Тепловой ввод номер "); // 27 characters
    EXPECT_EQ(f.Text(SheetDays, 0, 4), "прибор: ВИРС-Д");
    EXPECT_EQ(f.Text(SheetDays, 0, 5), "сетевой номер: 17");
    EXPECT_EQ(f.Cell(SheetDays, 0, 6), nullptr);
    EXPECT_EQ(f.Text(SheetDays, 0, 7), "Дата");
}

TEST(ArchiveExport, DHourlyHasTwelveColumnsAndTotalsLeaveTheTimeEmpty) {
    TExportFixture f;
    TArchiveHead h = f.Head(DeviceVirsD, TArchiveKind::Hourly);
    h.Integrators = true;
    f.Sink.Open(f.Device, h);
    EXPECT_EQ(f.Text(SheetHours, 0, 0), "Часовой архив интеграторов с 01.03.2024 по 14.03.2024");
    EXPECT_EQ(f.Text(SheetHours, 1, 7), "Время");
    EXPECT_EQ(f.Text(SheetHours, 2, 7), "V1,м3 (Объём по 1 каналу)");
    EXPECT_EQ(f.Text(SheetHours, 11, 7), "События");
    EXPECT_EQ(f.Cell(SheetHours, 12, 7), nullptr);

    TDArchiveRow row;
    for (int k = 0; k < 4; ++k) {
        row.Volumes[k] = k + 1;
        row.Times[k] = k + 0.5;
    }
    row.Absence = 0.25;
    row.Events = "X            ";
    const TDateTime at = EncodeDateTime(2024, 3, 14, 9);
    f.Sink.AddDRow(8, at, row);
    const std::uint16_t formats[] = {1, 5, 2, 2, 2, 2, 3, 3, 3, 3, 3, 6};
    for (std::uint32_t c = 0; c < 12; ++c)
        EXPECT_EQ(f.Cell(SheetHours, c, 8)->Format, formats[c]) << c;
    EXPECT_EQ(f.Cell(SheetHours, 1, 8)->Number, at);
    EXPECT_EQ(f.Cell(SheetHours, 10, 8)->Number, 0.25);

    f.Sink.AddDTotals(9, row);
    EXPECT_EQ(f.Text(SheetHours, 0, 9), "Итого:");
    EXPECT_EQ(f.Text(SheetHours, 1, 9), "");
    EXPECT_EQ(f.Cell(SheetHours, 1, 9)->Format, 4);
    EXPECT_EQ(f.Cell(SheetHours, 2, 9)->Number, 1);
    EXPECT_EQ(f.Cell(SheetHours, 2, 9)->Format, 2);
    EXPECT_EQ(f.Cell(SheetHours, 10, 9)->Format, 3);
    EXPECT_EQ(f.Text(SheetHours, 11, 9), "");
    EXPECT_EQ(f.Cell(SheetHours, 11, 9)->Format, 4);
}

TEST(ArchiveExport, D2LegendsHeadersAndMonthlyDates) {
    TExportFixture f;
    EXPECT_EQ(f.Sink.Open(f.Device, f.Head(DeviceVirsD2, TArchiveKind::Hourly)), 22);
    EXPECT_EQ(f.Text(SheetHours, 0, 0), "Часовой архив с 01.03.2024 по 14.03.2024");
    EXPECT_EQ(f.Text(SheetHours, 0, 5), "серийный номер: 40001");
    EXPECT_EQ(f.Text(SheetHours, 0, 8), "Легенда событий канала:");
    EXPECT_EQ(f.Text(SheetHours, 0, 19), "S - начало работы прибора после выключения питания");
    EXPECT_EQ(f.Cell(SheetHours, 0, 7), nullptr);
    EXPECT_EQ(f.Text(SheetHours, 1, 21), "Время");
    EXPECT_EQ(f.Text(SheetHours, 2, 21), "+V1,м3");
    EXPECT_EQ(f.Text(SheetHours, 10, 21), "+T1, часов");
    EXPECT_EQ(f.Text(SheetHours, 22, 21), "GE");
    TD2ArchiveRow row;
    row.ChannelEvents[0] = "C     ";
    row.DeviceEvents = "   S";
    f.Sink.AddD2Row(22, EncodeDateTime(2024, 3, 14, 5), row);
    EXPECT_EQ(f.Cell(SheetHours, 1, 22)->Format, 5);
    EXPECT_EQ(f.Cell(SheetHours, 9, 22)->Format, 2);
    EXPECT_EQ(f.Cell(SheetHours, 10, 22)->Format, 3);
    EXPECT_EQ(f.Text(SheetHours, 18, 22), "C     ");
    EXPECT_EQ(f.Cell(SheetHours, 18, 22)->Format, 0);
    EXPECT_EQ(f.Text(SheetHours, 22, 22), "   S");

    TExportFixture m;
    m.Sink.Open(m.Device, m.Head(DeviceVirsDK, TArchiveKind::Monthly));
    EXPECT_EQ(m.Text(SheetMonths, 0, 0),
              "Месячный архив средних значений с 01.03.2024 по 14.03.2024");
    EXPECT_EQ(m.Text(SheetMonths, 3, 7), "V3,м3 (Объём по 3 каналу)");
    m.Sink.AddDRow(8, EncodeDate(2024, 2, 1), TDArchiveRow{});
    EXPECT_EQ(m.Cell(SheetMonths, 0, 8)->Format, 7);
}

TEST(ArchiveExport, TheRememberedWorkbookKeepsItsOtherSheets) {
    TExportFixture f;
    // First export: a new file; then a taken name for a second device.
    f.Sink.Open(f.Device, f.Head(DeviceVirsD, TArchiveKind::Daily));
    TDArchiveRow row;
    row.Volumes[0] = 5;
    f.Sink.AddDRow(8, EncodeDate(2024, 3, 1), row);
    ASSERT_EQ(f.Sink.Save(), "");
    EXPECT_EQ(f.Sink.FormatBase(), 0);
    EXPECT_EQ(f.Cell(SheetDays, 1, 8)->Format, 2);

    TDevice other = NewDeviceRecord();
    f.Sink.Open(other, f.Head(DeviceVirsD, TArchiveKind::Daily));
    EXPECT_EQ(other.ArchiveFile.Get(), "Котельная [Ввод 1]_0.xls");
    ASSERT_EQ(f.Sink.Save(), "");

    // The first device again, another kind: its file, its days sheet kept.
    f.Sink.Open(f.Device, f.Head(DeviceVirsD, TArchiveKind::Monthly));
    EXPECT_EQ(f.Device.ArchiveFile.Get(), "Котельная [Ввод 1].xls");
    EXPECT_EQ(f.Sink.FormatBase(), 16);
    EXPECT_EQ(f.Cell(SheetMonths, 0, 7)->Format, 16 + 4);
    f.Sink.AddDRow(8, EncodeDate(2024, 3, 1), row);
    EXPECT_EQ(f.Cell(SheetMonths, 1, 8)->Format, 16 + 2);
    ASSERT_EQ(f.Sink.Save(), "");

    TWorkbook back;
    ASSERT_TRUE(back.Read((f.Dir.Path() / "Котельная [Ввод 1].xls").string()).Ok);
    EXPECT_EQ(back.GetNumber(SheetDays, 1, 8), 5);
    EXPECT_EQ(back.GetText(SheetDays, 0, 0),
              "Суточный архив средних значений с 01.03.2024 по 14.03.2024");
    EXPECT_EQ(back.GetText(SheetMonths, 0, 0).rfind("Месячный архив", 0), 0u);
    EXPECT_EQ(back.GetNumber(SheetMonths, 1, 8), 5);

    // Again monthly: only the months sheet is cleared (row 9 is gone).
    f.Sink.AddDRow(9, EncodeDate(2024, 4, 1), row);
    ASSERT_EQ(f.Sink.Save(), "");
    f.Sink.Open(f.Device, f.Head(DeviceVirsD, TArchiveKind::Monthly));
    EXPECT_EQ(f.Cell(SheetMonths, 1, 9), nullptr);
    EXPECT_EQ(f.Xls.GetNumber(SheetDays, 1, 8), 5);
}

TEST(ArchiveExport, RefusalsBeforeTheFirstRequest) {
    TExportFixture f;
    TArchiveHead h = f.Head(DeviceVirsD, TArchiveKind::Hourly);
    // An hourly range of n days ending on a past day holds 24·n − 1 records.
    h.RecordsForDays = [](int days) { return 24 * (days + 1) - 1; };
    EXPECT_EQ(f.Sink.Check(f.Device, h, 16374), "");
    // 8 + 16375 + 2 rows do not fit. 682 days give 16367, 683 days 16391.
    EXPECT_EQ(f.Sink.Check(f.Device, h, 16375),
              "Архив не поместится на лист книги Excel 5 (не более 16384 строк). Наибольший "
              "диапазон для этого архива: 682 сут. от даты начала");

    for (int n = -1; n <= MaxArchiveFileNumber; ++n)
        std::ofstream(f.Dir.Path() / ArchiveFileName("Котельная", "Ввод 1", n)) << "keep";
    const std::string refusal = f.Sink.Check(f.Device, h, 10);
    EXPECT_EQ(refusal,
              "Нет свободного имени файла архива: заняты все имена от \"Котельная [Ввод 1].xls\" "
              "до \"Котельная [Ввод 1]_255.xls\". Удалите или переместите старые файлы архива");
}

TEST(ArchiveExport, AFailedWriteKeepsTheRowsAndSaysWhy) {
    TExportFixture f;
    f.Sink.Open(f.Device, f.Head(DeviceVirsSh, TArchiveKind::Daily));
    TShArchiveRow row;
    row.Valid = true;
    f.Sink.AddShRow(9, EncodeDate(2024, 3, 1), row);
    // A folder that took the workbook's name after it was chosen: the save is
    // refused for any user and the folder is left as it was.
    const std::filesystem::path target = f.Dir.Path() / "Котельная [Ввод 1].xls";
    std::filesystem::create_directory(target);
    EXPECT_NE(f.Sink.Save(), "");
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_NE(f.Cell(SheetDays, 0, 9), nullptr);
    std::filesystem::remove(target);
    EXPECT_EQ(f.Sink.Save(), "");
    EXPECT_TRUE(std::filesystem::is_regular_file(target));
}

} // namespace
} // namespace virs
