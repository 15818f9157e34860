// The archive tabs read back from a workbook laid out by hand as the export
// lays it out: heads, row texts, the end of the rows, a foreign title, no file.

#include <gtest/gtest.h>

#include <fstream>

#include "model/DateTime.h"
#include "model/TextCodec.h"
#include "tests/workbook/TempDir.h"
#include "views/ArchiveView.h"

namespace virs {
namespace {

TViewLines Render(const TWorkbook& xls, TDeviceType type, int tab) {
    TViewLines lines;
    ArchiveViewLines(xls, type, tab, RussianViewLocale(), lines);
    return lines;
}

void Heading(TWorkbook& xls, std::size_t sheet, const char* title) {
    xls.PutText(sheet, 0, 0, title, 0);
    xls.PutText(sheet, 0, 1, "создан: 15.03.2024 9:05:07", 0);
    xls.PutText(sheet, 0, 2, "узел: Котельная", 0);
}

TEST(ArchiveView, ShDailyRowAndHead) {
    TWorkbook xls;
    Heading(xls, SheetDays, "Суточный архив с 01.03.2024 по 14.03.2024");
    xls.PutNumber(SheetDays, 0, 9, EncodeDate(2024, 3, 14), 1);
    xls.PutNumber(SheetDays, 1, 9, 12.5, 2);
    xls.PutNumber(SheetDays, 2, 9, 24, 3);
    xls.PutText(SheetDays, 3, 9, " Режим программирования", 4);
    const TViewLines lines = Render(xls, DeviceVirsSh, 1);
    ASSERT_EQ(lines.size(), 8u + 5u + 1u);
    EXPECT_EQ(lines[0], "Суточный архив с 01.03.2024 по 14.03.2024");
    EXPECT_EQ(lines[3], ""); // rows the export leaves empty give empty lines
    EXPECT_EQ(lines[8], std::string(45, '-'));
    EXPECT_EQ(lines[10], "   Дата   |    Объём,м3    |работы,| События");
    EXPECT_EQ(lines[12], std::string(45, '-'));
    EXPECT_EQ(lines[13], "14.03.2024" + std::string(11, ' ') + "12,500" + std::string(4, ' ') +
                             "24,0 Режим программирования");
}

TEST(ArchiveView, ShHourlyRowsEndAtTheFirstRowWithoutADate) {
    TWorkbook xls;
    Heading(xls, SheetHours, "Часовой архив с 14.03.2024 по 14.03.2024");
    for (std::uint32_t r = 9; r < 11; ++r) {
        const TDateTime t = EncodeDateTime(2024, 3, 14, 23 - (r - 9));
        xls.PutNumber(SheetHours, 0, r, t, 1);
        xls.PutNumber(SheetHours, 1, r, t, 5);
        xls.PutNumber(SheetHours, 2, r, 1234567.891, 2);
        xls.PutNumber(SheetHours, 3, r, 1, 3);
    }
    xls.PutNumber(SheetHours, 1, 11, 0.5, 5); // no date in column 0: the rows end
    xls.PutNumber(SheetHours, 0, 12, 45000, 1);
    const TViewLines lines = Render(xls, DeviceVirsSh, 2);
    ASSERT_EQ(lines.size(), 8u + 5u + 2u);
    EXPECT_EQ(lines[9], "          |     |                | Время |");
    EXPECT_EQ(lines[13], "14.03.2024 23:00      1234567,891     1,0");
    EXPECT_EQ(lines[14], "14.03.2024 22:00      1234567,891     1,0");
}

TEST(ArchiveView, DHourlyRowAtNineAndTheClosingLine) {
    TWorkbook xls;
    Heading(xls, SheetHours, "Часовой архив средних значений с 14.03.2024 по 14.03.2024");
    const TDateTime t = EncodeDateTime(2024, 3, 14, 9);
    xls.PutNumber(SheetHours, 0, 8, t, 1);
    xls.PutNumber(SheetHours, 1, 8, t, 5);
    for (std::uint32_t c = 2; c < 11; ++c)
        xls.PutNumber(SheetHours, c, 8, c, 2);
    xls.PutText(SheetHours, 11, 8, "X            ", 6);
    xls.PutText(SheetHours, 0, 9, "Итого:", 4);
    const TViewLines lines = Render(xls, DeviceVirsD, 2);
    ASSERT_EQ(lines.size(), 7u + 5u + 1u + 1u);
    EXPECT_EQ(lines[7], std::string(137, '-'));
    EXPECT_EQ(lines[10], "          |     |     V1     |     V2     |    -V1     |    -V2     |    "
                         "B1    |    B2    |   -B1    |   -B2    |   сети   |канал1|канал2");
    std::string row = "14.03.2024  9:00";
    for (int v = 2; v < 6; ++v)
        row += std::string(8, ' ') + std::to_string(v) + ",000";
    for (int v = 6; v < 10; ++v)
        row += std::string(6, ' ') + std::to_string(v) + ",000";
    row += "     10,000 X            ";
    EXPECT_EQ(lines[12], row);
    EXPECT_EQ(lines[13], std::string(137, '-'));
}

TEST(ArchiveView, HeadsAreAsWideAsTheirDashLines) {
    struct {
        TDeviceType Type;
        int Tab;
        std::size_t HeadingRows;
        std::size_t Widths[5]; // the title line ends with its last word
    } const cases[] = {
        {DeviceVirsSh, 1, 8, {45, 36, 44, 36, 45}},
        {DeviceVirsSh, 2, 8, {51, 42, 50, 42, 51}},
        {DeviceVirsD, 1, 7, {131, 128, 131, 131, 131}},
        {DeviceVirsD, 3, 7, {131, 128, 131, 131, 131}},
        {DeviceVirsD, 2, 7, {137, 134, 137, 137, 137}},
        {DeviceVirsDK, 1, 7, {145, 135, 145, 145, 145}},
        {DeviceVirsDK, 2, 7, {151, 141, 151, 151, 151}},
        {DeviceVirsD2, 1, 21, {250, 250, 250, 247, 250}},
        {DeviceVirsD2, 2, 21, {255, 255, 255, 253, 255}},
    };
    const char* const titles[] = {"", "Суточный архив", "Часовой архив", "Месячный архив"};
    for (const auto& c : cases) {
        TWorkbook xls;
        const std::size_t sheet = static_cast<std::size_t>(c.Tab - 1);
        xls.PutText(sheet, 0, 0, std::string(titles[c.Tab]) + " с 01.03.2024 по 14.03.2024", 0);
        const TViewLines lines = Render(xls, c.Type, c.Tab);
        const bool d = c.Type == DeviceVirsD || c.Type == DeviceVirsDK;
        // The first data row is empty: heading, head and (ВИРС-Д, ВИРС-ДК) the closing line.
        ASSERT_EQ(lines.size(), c.HeadingRows + 5 + (d ? 1 : 0)) << c.Type << " " << c.Tab;
        for (std::size_t i = 0; i < 5; ++i)
            EXPECT_EQ(Utf8Length(lines[c.HeadingRows + i]), c.Widths[i])
                << c.Type << " " << c.Tab << " line " << i << ": " << lines[c.HeadingRows + i];
        if (d) {
            EXPECT_EQ(lines.back(), lines[c.HeadingRows]);
        }
    }
}

TEST(ArchiveView, D2HeadFieldsAndRow) {
    TWorkbook xls;
    Heading(xls, SheetDays, "Суточный архив с 01.03.2024 по 14.03.2024");
    xls.PutNumber(SheetDays, 0, 22, EncodeDate(2024, 3, 2), 1);
    for (std::uint32_t c = 1; c <= 16; ++c)
        xls.PutNumber(SheetDays, c, 22, c == 1 ? -0.5 : 1.0 / 3.0, c <= 8 ? 2 : 3);
    xls.PutText(SheetDays, 17, 22, "C    E", 0);
    xls.PutText(SheetDays, 21, 22, "E  S", 0);
    const TViewLines lines = Render(xls, DeviceVirsD2, 1);
    ASSERT_EQ(lines.size(), 21u + 5u + 1u);
    const std::string& title = lines[22];
    EXPECT_EQ(title.rfind("   Дата   |" + std::string(51, ' ') + "Объём,м3" + std::string(60, ' ') +
                              "|" + std::string(33, ' ') + "Время работы,часов" +
                              std::string(36, ' ') + "|      События канала       | СП",
                          0),
              0u);
    std::string row = "02.03.2024" + std::string(9, ' ') + "-0,500";
    for (int i = 0; i < 7; ++i)
        row += std::string(10, ' ') + "0,333";
    for (int i = 0; i < 8; ++i)
        row += std::string(7, ' ') + "0,33";
    row += " C    E" + std::string(7, ' ') + std::string(7, ' ') + std::string(7, ' ') + " E  S";
    EXPECT_EQ(lines[26], row);
}

TEST(ArchiveView, AnotherKindInTheSheetShowsOnlyTheHeading) {
    TWorkbook xls;
    Heading(xls, SheetDays, "Часовой архив с 01.03.2024 по 14.03.2024");
    xls.PutNumber(SheetDays, 0, 8, 45000, 1);
    const TViewLines lines = Render(xls, DeviceVirsD, 1);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "узел: Котельная");
    // The ВИРС-Д2 tab 3 is its settings view: nothing here.
    EXPECT_TRUE(Render(xls, DeviceVirsD2, 3).empty());
    EXPECT_TRUE(Render(xls, DeviceVirsSh, 3).empty());
}

TEST(ArchiveView, ReadsTheDevicesFileWithTheStatusText) {
    test::TTempDir dir;
    TDevice device = NewDeviceRecord();
    device.DeviceType = DeviceVirsSh;
    TWorkbook xls;
    std::vector<std::string> statuses;
    auto status = [&](const std::string& t) { statuses.push_back(t); };
    TViewLines lines;
    // No ArchiveFile, then a name without a file: an empty pane, the status untouched.
    RenderArchiveView(xls, dir.Path(), device, 1, RussianViewLocale(), lines, status);
    device.ArchiveFile.Set("N [D].xls");
    RenderArchiveView(xls, dir.Path(), device, 1, RussianViewLocale(), lines, status);
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(statuses.empty());

    TWorkbook written;
    written.SetFileName((dir.Path() / "N [D].xls").string());
    Heading(written, SheetDays, "Суточный архив с 01.03.2024 по 14.03.2024");
    ASSERT_TRUE(written.Write().Ok);
    RenderArchiveView(xls, dir.Path(), device, 1, RussianViewLocale(), lines, status);
    EXPECT_EQ(lines.size(), 8u + 5u);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Читаю архив...", ""}));
    EXPECT_EQ(xls.GetText(SheetDays, 0, 2), "узел: Котельная");
}

} // namespace
} // namespace virs
