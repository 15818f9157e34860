#include "tests/workbook/SampleBooks.h"

#include <stdexcept>

namespace virs::test {

void FillArchiveSheet(TWorkbook& book, std::size_t sheet, std::uint16_t formatBase,
                      std::uint32_t rows) {
    auto text = [&](std::uint32_t col, std::uint32_t row, const std::string& t, int k) {
        if (!book.PutText(sheet, col, row, t, static_cast<std::uint16_t>(formatBase + k)))
            throw std::runtime_error("PutText refused");
    };
    auto number = [&](std::uint32_t col, std::uint32_t row, double v, int k) {
        if (!book.PutNumber(sheet, col, row, v, static_cast<std::uint16_t>(formatBase + k)))
            throw std::runtime_error("PutNumber refused");
    };
    text(0, 0, "Часовой архив средних значений с 01.02.2024 по 29.02.2024", 0);
    text(0, 1, "создан: 01.03.2024 9:05:17", 0);
    text(0, 2, "узел: Котельная №3 «Юг»", 0);
    text(0, 3, "точка: ввод ХВС; ёЁ ъЪ — №", 0);
    text(0, 4, "прибор: ВИРС-ДК", 0);
    text(0, 5, "сетевой номер: 17", 0);
    const char* heads[] = {
        "Дата",    "Время", "V1,м3 (Объём по 1 каналу)", "B1, часов", "Время отсутствия сети",
        "События", "Месяц"};
    for (std::uint32_t c = 0; c < 7; ++c)
        text(c, 7, heads[c], 4);
    for (std::uint32_t i = 0; i < rows; ++i) {
        std::uint32_t row = 8 + i;
        double when = 45323.0 + i / 24.0; // 2024-02-01 plus whole hours
        number(0, row, static_cast<double>(static_cast<long>(when)), 1);
        number(1, row, when, 5);
        number(2, row, 1234567.125 + i * 0.001, 2);
        number(3, row, i % 25, 3);
        number(4, row, -0.5 * i, 3);
        text(5, row, i % 3 ? "" : "C O > < R E", 6);
        number(6, row, 45323.0, 7);
    }
    text(0, 8 + rows, "Итого:", 4);
    text(1, 8 + rows, "", 4);
    text(5, 8 + rows, "табуляция\tи\nперевод строки", 4);
}

std::vector<TSampleBook> MakeSampleBooks(const std::string& dir) {
    std::vector<TSampleBook> books;
    auto add = [&](const std::string& name) -> TWorkbook& {
        books.push_back(TSampleBook{name, TWorkbook{}});
        books.back().Book.SetFileName(dir + "/" + name + ".xls");
        return books.back().Book;
    };
    add("empty");
    FillArchiveSheet(add("small"), SheetDays, 0, 3);
    {
        TWorkbook& b = add("large");
        FillArchiveSheet(b, SheetDays, 0, 40);
        FillArchiveSheet(b, SheetHours, 0, 400);
        FillArchiveSheet(b, SheetMonths, 0, 12);
        b.PutText(SheetMonths, 255, 16383, std::string(255, 'Z'), 4);
        std::string longest = "Ж"; // 255 characters, 255 bytes in Windows-1251
        for (int i = 0; i < 254; ++i)
            longest += "ы";
        b.PutText(SheetMonths, 254, 16383, longest, 0);
    }
    FillArchiveSheet(add("raised"), SheetHours, ArchiveFormatBaseRaised, 30);
    {
        // Written once, read back, one sheet replaced with raised formats.
        TWorkbook& b = add("reread");
        FillArchiveSheet(b, SheetDays, 0, 10);
        FillArchiveSheet(b, SheetMonths, 0, 5);
        if (!b.Write().Ok || !b.Read(b.FileName()).Ok)
            throw std::runtime_error("first write of the reread sample failed");
        b.ClearSheet(SheetDays);
        FillArchiveSheet(b, SheetDays, ArchiveFormatBaseRaised, 7);
    }
    return books;
}

} // namespace virs::test
