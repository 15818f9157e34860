#include "views/ArchiveView.h"

#include "model/TextCodec.h"
#include "views/ArchiveFileName.h"
#include "views/ViewText.h"

namespace virs {

namespace {

bool IsD(TDeviceType type) {
    return type == DeviceVirsD || type == DeviceVirsDK;
}

std::string Dashes(int n) {
    return Repeat('-', n);
}

// A field of `width` characters: `spaces` blanks, the text, and blanks to the end.
std::string Field(int spaces, std::string_view text, int width) {
    std::string f = Repeat(' ', spaces) + std::string(text);
    return f + Repeat(' ', width - static_cast<int>(Utf8Length(f)));
}

void AddShHead(bool hourly, TViewLines& lines) {
    if (hourly) {
        lines.push_back(Dashes(51));
        lines.push_back("          |     |                | Время |");
        lines.push_back("   Дата   |Время|    Объём,м3    |работы,| События");
        lines.push_back("          |     |                | часов |");
        lines.push_back(Dashes(51));
    } else {
        lines.push_back(Dashes(45));
        lines.push_back("          |                | Время |");
        lines.push_back("   Дата   |    Объём,м3    |работы,| События");
        lines.push_back("          |                | часов |");
        lines.push_back(Dashes(45));
    }
}

int DHeadWidth(bool dk, bool hourly) {
    return (dk ? 145 : 131) + (hourly ? 6 : 0);
}

void AddDHead(bool dk, bool hourly, TViewLines& lines) {
    const int width = DHeadWidth(dk, hourly);
    lines.push_back(Dashes(width));
    const std::string events = dk ? "          События" : "   События";
    const std::string eventsRule = dk ? "---------------------------" : "-------------";
    const std::string channels = dk ? "канал1|канал2|канал3|канал4" : "канал1|канал2";
    const std::string columns =
        dk ? "     V1     |     V2     |     V3     |     V4     |    B1    |    B2    |    B3    "
             "|    B4    |"
           : "     V1     |     V2     |    -V1     |    -V2     |    B1    |    B2    |   -B1    "
             "|   -B2    |";
    if (hourly) {
        lines.push_back("   Дата   |Время|                     Объём,м3                      |"
                        "            Время работы,часов             |  Время   |" +
                        events);
        lines.push_back("          |     |---------------------------------------------------|"
                        "-------------------------------------------| отсут-я  |" +
                        eventsRule);
        lines.push_back("          |     |" + columns + "   сети   |" + channels);
    } else {
        lines.push_back("   Дата   |                      Объём,м3                     |"
                        "             Время работы,часов            |  Время   |" +
                        events);
        lines.push_back("          |---------------------------------------------------|"
                        "-------------------------------------------| отсут-я  |" +
                        eventsRule);
        lines.push_back("          |" + columns + "  сети    |" + channels);
    }
    lines.push_back(Dashes(width));
}

void AddD2Head(bool hourly, TViewLines& lines) {
    const int width = hourly ? 255 : 250;
    lines.push_back(Dashes(width));
    const std::string fields = Field(51, "Объём,м3", 119) + "|" +
                               Field(33, "Время работы,часов", 87) + "|" +
                               Field(6, "События канала", 27) + "|";
    if (hourly)
        lines.push_back("   Дата   |Время|" + fields + "СП");
    else
        lines.push_back("   Дата   |" + fields + " СП");
    lines.push_back(hourly ? std::string(10, ' ') + "|     |" + Dashes(238)
                           : std::string(10, ' ') + "|" + Dashes(239));
    std::string columns = std::string(10, ' ') + "|" + (hourly ? "     |" : "");
    for (const char* v : {"      V1      ", "     -V1      ", "      V2      ", "     -V2      ",
                          "      V3      ", "     -V3      ", "      V4      ", "     -V4      "})
        columns += std::string(v) + "|";
    for (const char* b : {"    B1    ", "   -B1    ", "    B2    ", "   -B2    ", "    B3    ",
                          "   -B3    ", "    B4    ", "   -B4    "})
        columns += std::string(b) + "|";
    for (const char* e : {"  E1  ", "  E2  ", "  E3  ", "  E4  "})
        columns += std::string(e) + "|";
    lines.push_back(columns);
    lines.push_back(Dashes(width));
}

// The time of day in the long time format without its seconds, five characters.
std::string Time5(TDateTime t, const TViewLocale& locale) {
    const std::string text = TimeText(t, locale);
    if (Utf8Length(text) == 8)
        return Utf8Left(text, 5);
    return " " + Utf8Left(text, 4);
}

struct TSheetLayout {
    std::size_t Sheet;
    const char* Title;
    int HeadingRows;
    std::uint32_t FirstDataRow;
};

bool LayoutOf(TDeviceType type, int tab, TSheetLayout& layout) {
    const bool d = IsD(type);
    if (type != DeviceVirsSh && !d && type != DeviceVirsD2)
        return false;
    if (tab == 1)
        layout = {SheetDays, "Суточный архив", 0, 0};
    else if (tab == 2)
        layout = {SheetHours, "Часовой архив", 0, 0};
    else if (tab == 3 && d)
        layout = {SheetMonths, "Месячный архив", 0, 0};
    else
        return false;
    layout.HeadingRows = type == DeviceVirsSh ? 8 : d ? 7 : 21;
    layout.FirstDataRow = type == DeviceVirsSh ? 9 : d ? 8 : 22;
    return true;
}

} // namespace

void ArchiveViewLines(const TWorkbook& xls, TDeviceType type, int tab, const TViewLocale& locale,
                      TViewLines& lines) {
    TSheetLayout layout{};
    if (!LayoutOf(type, tab, layout))
        return;
    const std::size_t sheet = layout.Sheet;
    if (sheet >= xls.SheetCount())
        return;
    const std::size_t firstLine = lines.size();
    for (int r = 0; r < layout.HeadingRows; ++r)
        lines.push_back(xls.GetText(sheet, 0, static_cast<std::uint32_t>(r)));
    if (lines[firstLine].find(layout.Title) == std::string::npos)
        return;

    const bool hourly = tab == 2;
    const bool dk = type == DeviceVirsDK;
    if (type == DeviceVirsSh)
        AddShHead(hourly, lines);
    else if (IsD(type))
        AddDHead(dk, hourly, lines);
    else
        AddD2Head(hourly, lines);

    const std::string zeroDate = DateText(0, locale);
    for (std::uint32_t row = layout.FirstDataRow; row < MaxRowsRead; ++row) {
        auto number = [&](std::uint32_t col) { return xls.GetNumber(sheet, col, row); };
        auto text = [&](std::uint32_t col) { return xls.GetText(sheet, col, row); };
        const double when = number(0);
        const std::string date = DateText(when, locale);
        if (date.empty() || date == zeroDate || date == "30.12.1899")
            break;
        std::string line = date;
        std::uint32_t c = 1;
        if (type == DeviceVirsSh) {
            if (hourly)
                line += FitRight(FormatDateTime(number(c++), "HH:mm"), 5);
            line += FitRight(Fixed(number(c++), 15, 3, locale), 16);
            line += FitRight(Fixed(number(c++), 3, 1, locale), 7);
            line += text(c);
        } else if (IsD(type)) {
            if (hourly)
                line += " " + Time5(number(c++), locale);
            for (int k = 0; k < 4; ++k)
                line += FitRight(Fixed(number(c++), 12, 3, locale), 12);
            for (int k = 0; k < 5; ++k)
                line += FitRight(Fixed(number(c++), 10, 3, locale), 10);
            line += " " + text(c);
        } else {
            if (hourly)
                line += " " + Time5(number(c++), locale);
            for (int k = 0; k < 8; ++k)
                line += FitRight(Fixed(number(c++), 14, 3, locale), 14);
            for (int k = 0; k < 8; ++k)
                line += FitRight(Fixed(number(c++), 10, 2, locale), 10);
            for (int k = 0; k < 4; ++k)
                line += FitRight(text(c++), 6);
            line += FitRight(text(c), 4);
        }
        lines.push_back(std::move(line));
    }
    if (IsD(type))
        lines.push_back(Dashes(DHeadWidth(dk, hourly)));
}

void RenderArchiveView(TWorkbook& workbook, const std::filesystem::path& folder,
                       const TDevice& device, int tabIndex, const TViewLocale& locale,
                       TViewLines& lines, const TArchiveStatus& status) {
    const std::string name = device.ArchiveFile.Get();
    if (name.empty())
        return;
    const std::filesystem::path path = ArchivePath(folder, name);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return;
    if (status)
        status(ArchiveReadingText);
    const TWorkbookResult read = workbook.Read(path.string());
    if (read.Ok)
        ArchiveViewLines(workbook, device.DeviceType, tabIndex, locale, lines);
    else
        lines.push_back("Не удалось прочитать файл архива " + name + ": " + read.Error);
    if (status)
        status("");
}

} // namespace virs
