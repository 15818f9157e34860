// The Excel 5 record stream of a workbook: globals (code page 1251, fonts in the
// Cyrillic character set, number formats, style and cell XFs, the sheet list with
// the offset of every sheet), then each sheet with its dimensions, cells and
// window settings.

#include <algorithm>
#include <cmath>
#include <map>

#include "model/TextCodec.h"
#include "workbook/BiffCodec.h"
#include "workbook/BiffRecords.h"

namespace virs {
namespace {

using namespace biff;

constexpr std::uint16_t FirstCustomFormat = 164; // ids below are built-in formats
constexpr std::uint16_t MaxXfCount = 4050;       // what Excel 5 accepts
constexpr std::uint16_t BorderColourBlack = 8;
constexpr std::uint8_t ErrorNum = 0x24; // #NUM!

std::string SheetPlace(const TSheet& sheet, std::size_t index) {
    return "лист " + std::to_string(index) + " \"" + sheet.Name + "\"";
}

// Fonts and number format ids of the file, gathered from the format list.
struct TTables {
    std::vector<TFontSpec> Fonts;                 // file font index = position, 4 skipped
    std::vector<std::uint16_t> FontOfFormat;      // per format: file font index
    std::map<std::string, std::uint16_t> Numbers; // custom code -> id
    std::vector<std::uint16_t> NumberOfFormat;    // per format: number format id
};

std::uint16_t FileFontIndex(std::size_t position) {
    // Font index 4 does not exist in the file format: the fifth font is index 5.
    return static_cast<std::uint16_t>(position < 4 ? position : position + 1);
}

TTables GatherTables(const TWorkbookData& data) {
    TTables t;
    // Excel writes the default font four times; fonts of other formats follow.
    t.Fonts.assign(4, TFontSpec{});
    for (const TCellFormat& f : data.Formats) {
        auto it = std::find(t.Fonts.begin(), t.Fonts.end(), f.Font);
        std::size_t pos = it - t.Fonts.begin();
        if (it == t.Fonts.end())
            t.Fonts.push_back(f.Font);
        t.FontOfFormat.push_back(FileFontIndex(pos));

        std::uint16_t id = 0;
        if (f.NumberFormat != "General") {
            auto [slot, added] = t.Numbers.emplace(
                f.NumberFormat, static_cast<std::uint16_t>(FirstCustomFormat + t.Numbers.size()));
            id = slot->second;
        }
        t.NumberOfFormat.push_back(id);
    }
    return t;
}

void WriteBof(TByteSink& out, std::uint16_t type) {
    out.BeginRecord(RecBof);
    out.U16(Biff5Version);
    out.U16(type);
    out.U16(0x0DBB); // build and year of the writing application
    out.U16(0x07CC);
    out.EndRecord();
}

void WriteShortRecord(TByteSink& out, std::uint16_t id, std::uint16_t value) {
    out.BeginRecord(id);
    out.U16(value);
    out.EndRecord();
}

void WriteFont(TByteSink& out, const TFontSpec& font) {
    out.BeginRecord(RecFont);
    out.U16(font.HeightTwips);
    out.U16(static_cast<std::uint16_t>((font.Italic ? 0x02 : 0) | (font.Strikeout ? 0x08 : 0)));
    out.U16(font.Colour);
    out.U16(font.Weight);
    out.U16(0); // escapement
    out.U8(font.Underline);
    out.U8(0); // family: unknown
    out.U8(CharsetCyrillic);
    out.U8(0);
    std::string name = Utf8ToCp1251(font.Name).substr(0, 255);
    out.U8(static_cast<std::uint8_t>(name.size()));
    out.Bytes(name);
    out.EndRecord();
}

// One XF record (16 bytes in Excel 5). Style XFs have no parent; cell XFs have
// the Normal style (XF 0) as theirs and use every attribute of their own.
void WriteXf(TByteSink& out, const TCellFormat& f, std::uint16_t font, std::uint16_t number,
             bool style) {
    auto line = [](std::uint8_t s) -> std::uint32_t { return s & 7; };
    auto colour = [](std::uint8_t s) -> std::uint32_t { return s ? BorderColourBlack : 0; };
    out.BeginRecord(RecXf);
    out.U16(font);
    out.U16(number);
    out.U16(style ? 0xFFF5 : 0x0001); // locked; style flag and parent
    out.U8(static_cast<std::uint8_t>((f.HorizontalAlign & 7) | (f.Wrap ? 0x08 : 0) |
                                     (f.VerticalAlign & 7) << 4));
    out.U8(style ? 0x00 : 0xFC);
    // No fill: pattern 0 with the system's foreground and background colours.
    out.U32(0x40 | 0x41u << 7 | line(f.BottomLine) << 22 | colour(f.BottomLine) << 25);
    out.U32(line(f.TopLine) | line(f.LeftLine) << 3 | line(f.RightLine) << 6 |
            colour(f.TopLine) << 9 | colour(f.LeftLine) << 16 | colour(f.RightLine) << 23);
    out.EndRecord();
}

TWorkbookResult Validate(const TWorkbookData& data) {
    if (data.Sheets.empty())
        return TWorkbookResult::Failure("в книге нет ни одного листа");
    if (data.Sheets.size() > 255)
        return TWorkbookResult::Failure("в книге больше 255 листов");
    if (FirstCellXf + data.Formats.size() > MaxXfCount)
        return TWorkbookResult::Failure("в книге слишком много форматов ячеек");
    for (std::size_t s = 0; s < data.Sheets.size(); ++s) {
        const TSheet& sheet = data.Sheets[s];
        std::string name = Utf8ToCp1251(sheet.Name);
        if (name.empty() || name.size() > MaxSheetNameBytes)
            return TWorkbookResult::Failure("недопустимое имя листа \"" + sheet.Name +
                                            "\" (от 1 до 31 символа)");
        for (const auto& [key, cell] : sheet.Cells) {
            std::uint32_t row = KeyRow(key);
            if (row >= MaxRowsExcel5)
                return TWorkbookResult::Failure(
                    SheetPlace(sheet, s) + ": строка " + std::to_string(row + 1) +
                    " за пределом формата Excel 5 (не более 16384 строк на листе)");
            if (cell.Format >= data.Formats.size())
                return TWorkbookResult::Failure(SheetPlace(sheet, s) + ": нет формата " +
                                                std::to_string(cell.Format));
            if (cell.Kind == TCellKind::Text && Utf8ToCp1251(cell.Text).size() > MaxTextBytes)
                return TWorkbookResult::Failure(
                    SheetPlace(sheet, s) + ", строка " + std::to_string(row + 1) + ", столбец " +
                    std::to_string(KeyColumn(key) + 1) +
                    ": текст длиннее 255 символов не помещается в ячейку Excel 5");
        }
    }
    return {};
}

void WriteGlobals(TByteSink& out, const TWorkbookData& data, const TTables& t,
                  std::vector<std::size_t>& sheetOffsetAt) {
    WriteBof(out, BofGlobals);
    WriteShortRecord(out, RecCodePage, CodePage1251);

    out.BeginRecord(RecWindow1);
    for (std::uint16_t v : {std::uint16_t(0x0168), std::uint16_t(0x001E), std::uint16_t(0x3A98),
                            std::uint16_t(0x2328), std::uint16_t(0x0038), std::uint16_t(0),
                            std::uint16_t(0), std::uint16_t(1), std::uint16_t(0x0258)})
        out.U16(v); // position and size, scroll bars and tabs shown, sheet 0 active
    out.EndRecord();
    WriteShortRecord(out, RecDateMode, 0); // dates count from 1899-12-30
    WriteShortRecord(out, RecPrecision, 1);

    for (const TFontSpec& font : t.Fonts)
        WriteFont(out, font);
    for (const auto& [code, id] : t.Numbers) {
        std::string bytes = Utf8ToCp1251(code).substr(0, 255);
        out.BeginRecord(RecFormat);
        out.U16(id);
        out.U8(static_cast<std::uint8_t>(bytes.size()));
        out.Bytes(bytes);
        out.EndRecord();
    }

    const TCellFormat plain;
    for (std::uint16_t i = 0; i < FirstCellXf - 1; ++i)
        WriteXf(out, plain, 0, 0, true);
    WriteXf(out, plain, 0, 0, false); // XF 15, the default cell format
    for (std::size_t i = 0; i < data.Formats.size(); ++i)
        WriteXf(out, data.Formats[i], t.FontOfFormat[i], t.NumberOfFormat[i], false);

    out.BeginRecord(RecStyle); // the Normal style is XF 0
    out.U16(0x8000);
    out.U8(0);
    out.U8(0xFF);
    out.EndRecord();

    for (const TSheet& sheet : data.Sheets) {
        std::string name = Utf8ToCp1251(sheet.Name);
        out.BeginRecord(RecBoundSheet);
        sheetOffsetAt.push_back(out.Size());
        out.U32(0); // stream offset of the sheet's BOF, patched in later
        out.U8(0);  // visible
        out.U8(0);  // worksheet
        out.U8(static_cast<std::uint8_t>(name.size()));
        out.Bytes(name);
        out.EndRecord();
    }
    out.BeginRecord(RecEof);
    out.EndRecord();
}

void WriteSheet(TByteSink& out, const TSheet& sheet, bool first) {
    WriteBof(out, BofWorksheet);
    WriteShortRecord(out, RecDefColWidth, 8);

    std::uint32_t firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    if (!sheet.Cells.empty()) {
        firstRow = KeyRow(sheet.Cells.begin()->first);
        lastRow = KeyRow(sheet.Cells.rbegin()->first) + 1;
        firstCol = MaxColumns;
        for (const auto& [key, cell] : sheet.Cells) {
            firstCol = std::min(firstCol, KeyColumn(key));
            lastCol = std::max(lastCol, KeyColumn(key) + 1);
        }
    }
    out.BeginRecord(RecDimensions);
    out.U16(static_cast<std::uint16_t>(firstRow));
    out.U16(static_cast<std::uint16_t>(lastRow));
    out.U16(static_cast<std::uint16_t>(firstCol));
    out.U16(static_cast<std::uint16_t>(lastCol));
    out.U16(0);
    out.EndRecord();

    for (const auto& [key, cell] : sheet.Cells) {
        bool text = cell.Kind == TCellKind::Text;
        if (!text && !std::isfinite(cell.Number)) {
            // No spreadsheet holds NaN or an infinity as a number (a damaged
            // device value): the cell becomes the error value #NUM!.
            out.BeginRecord(RecBoolErr);
            out.U16(static_cast<std::uint16_t>(KeyRow(key)));
            out.U16(static_cast<std::uint16_t>(KeyColumn(key)));
            out.U16(static_cast<std::uint16_t>(FirstCellXf + cell.Format));
            out.U8(ErrorNum);
            out.U8(1);
            out.EndRecord();
            continue;
        }
        out.BeginRecord(text ? RecLabel : RecNumber);
        out.U16(static_cast<std::uint16_t>(KeyRow(key)));
        out.U16(static_cast<std::uint16_t>(KeyColumn(key)));
        out.U16(static_cast<std::uint16_t>(FirstCellXf + cell.Format));
        if (text) {
            std::string bytes = Utf8ToCp1251(cell.Text);
            out.U16(static_cast<std::uint16_t>(bytes.size()));
            out.Bytes(bytes);
        } else {
            out.F64(cell.Number);
        }
        out.EndRecord();
    }

    out.BeginRecord(RecWindow2);
    // Grid lines, headers, zeros, default grid colour and outline symbols shown;
    // the first sheet is the selected and displayed one.
    out.U16(first ? 0x06B6 : 0x00B6);
    out.U16(0);
    out.U16(0);
    out.U32(0);
    out.EndRecord();
    out.BeginRecord(RecEof);
    out.EndRecord();
}

} // namespace

TWorkbookResult EncodeBiff5Stream(const TWorkbookData& data, std::string& stream) {
    if (TWorkbookResult valid = Validate(data); !valid.Ok)
        return valid;
    std::string bytes;
    TByteSink out(bytes);
    TTables tables = GatherTables(data);
    std::vector<std::size_t> offsetAt;
    WriteGlobals(out, data, tables, offsetAt);
    for (std::size_t s = 0; s < data.Sheets.size(); ++s) {
        out.PatchU32(offsetAt[s], static_cast<std::uint32_t>(out.Size()));
        WriteSheet(out, data.Sheets[s], s == 0);
    }
    stream = std::move(bytes);
    return {};
}

} // namespace virs
