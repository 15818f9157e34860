// Reading a workbook's record stream. Every length and offset is checked against
// the bytes that are there: a damaged stream gives an error, never a read past
// its end. Records the archive workbook does not need are skipped.
// One file over 600 lines: everything in it is private to DecodeBiffStream, and
// the stream reader's record handlers share its cursor, code page, shared
// strings and CONTINUE segments, which a split would have to make public.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "model/TextCodec.h"
#include "workbook/BiffCodec.h"
#include "workbook/BiffRecords.h"

namespace virs {
namespace {

using namespace biff;

const char* const DamagedText = "файл книги повреждён";

// Bounds-checked reading of one record's data.
class TReader {
public:
    explicit TReader(std::string_view data) : Data_(data) {}
    bool Has(std::size_t n) const { return Ok_ && Data_.size() - Pos_ >= n; }
    std::size_t Left() const { return Ok_ ? Data_.size() - Pos_ : 0; }
    bool Ok() const { return Ok_; }
    std::uint8_t U8() { return Has(1) ? static_cast<std::uint8_t>(Data_[Pos_++]) : Fail(); }
    std::uint16_t U16() {
        if (!Has(2))
            return Fail();
        std::uint16_t v = GetU16(Data_.data() + Pos_);
        Pos_ += 2;
        return v;
    }
    std::uint32_t U32() {
        if (!Has(4))
            return Fail();
        std::uint32_t v = GetU32(Data_.data() + Pos_);
        Pos_ += 4;
        return v;
    }
    double F64() {
        if (!Has(8))
            return Fail();
        double v = GetF64(Data_.data() + Pos_);
        Pos_ += 8;
        return v;
    }
    std::string_view Take(std::size_t n) {
        if (!Has(n)) {
            Fail();
            return {};
        }
        std::string_view v = Data_.substr(Pos_, n);
        Pos_ += n;
        return v;
    }
    void Skip(std::size_t n) { Take(n); }

private:
    std::uint8_t Fail() {
        Ok_ = false;
        return 0;
    }
    std::string_view Data_;
    std::size_t Pos_ = 0;
    bool Ok_ = true;
};

struct TRecord {
    std::uint16_t Id = 0;
    std::string_view Data;
};

// Walks the records of the stream from a given offset.
class TRecordCursor {
public:
    TRecordCursor(std::string_view stream, std::size_t offset) : Stream_(stream), Pos_(offset) {}
    // False at the end of the stream; `damaged` is set when a record is cut short.
    bool Next(TRecord& record, bool& damaged) {
        if (Pos_ >= Stream_.size())
            return false;
        if (Stream_.size() - Pos_ < 4) {
            damaged = true;
            return false;
        }
        record.Id = GetU16(Stream_.data() + Pos_);
        std::size_t length = GetU16(Stream_.data() + Pos_ + 2);
        if (Stream_.size() - Pos_ - 4 < length) {
            damaged = true;
            return false;
        }
        record.Data = Stream_.substr(Pos_ + 4, length);
        Pos_ += 4 + length;
        return true;
    }
    // The next record's id without moving on (0xFFFF at the end).
    std::uint16_t PeekId() const {
        return Stream_.size() - Pos_ >= 4 && Pos_ < Stream_.size() ? GetU16(Stream_.data() + Pos_)
                                                                   : 0xFFFF;
    }

private:
    std::string_view Stream_;
    std::size_t Pos_;
};

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Windows-1252 positions 0x80..0x9F; the rest of the page is Latin-1.
constexpr std::uint16_t Cp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

enum class TTextPage { Cp1251, Cp1252, Latin1 };

std::string DecodeBytes(std::string_view bytes, TTextPage page) {
    if (page == TTextPage::Cp1251)
        return Cp1251ToUtf8(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        AppendUtf8(out,
                   page == TTextPage::Cp1252 && b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : b);
    }
    return out;
}

void AppendUtf16(std::string& out, std::string_view le, std::uint16_t& pendingHigh) {
    for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
        std::uint16_t u = GetU16(le.data() + i);
        if (u >= 0xD800 && u < 0xDC00) {
            if (pendingHigh)
                AppendUtf8(out, 0xFFFD);
            pendingHigh = u;
            continue;
        }
        if (u >= 0xDC00 && u < 0xE000) {
            if (pendingHigh)
                AppendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (u - 0xDC00));
            else
                AppendUtf8(out, 0xFFFD);
            pendingHigh = 0;
            continue;
        }
        if (pendingHigh)
            AppendUtf8(out, 0xFFFD);
        pendingHigh = 0;
        AppendUtf8(out, u);
    }
}

// A string of a later .xls version, inside one record: character count (8 or 16
// bits), option flags, then compressed (8-bit) or UTF-16 characters, followed by
// formatting runs and phonetic data when the flags say so.
bool ReadUnicodeString(TReader& r, bool longCount, std::string& out) {
    std::size_t count = longCount ? r.U16() : r.U8();
    std::uint8_t flags = r.U8();
    std::size_t runs = flags & 0x08 ? r.U16() : 0;
    std::size_t ext = flags & 0x04 ? r.U32() : 0;
    std::string_view chars = r.Take(count * (flags & 0x01 ? 2 : 1));
    r.Skip(runs * 4);
    r.Skip(ext);
    if (!r.Ok())
        return false;
    out.clear();
    if (flags & 0x01) {
        std::uint16_t high = 0;
        AppendUtf16(out, chars, high);
        if (high)
            AppendUtf8(out, 0xFFFD);
    } else {
        out = DecodeBytes(chars, TTextPage::Latin1);
    }
    return true;
}

// The shared string table, which may run on into CONTINUE records; a string cut
// by a record boundary goes on with a new option byte.
class TSegmentReader {
public:
    explicit TSegmentReader(std::vector<std::string_view> segments)
        : Segments_(std::move(segments)) {}
    bool AtEnd() {
        while (Seg_ < Segments_.size() && Pos_ >= Segments_[Seg_].size()) {
            ++Seg_;
            Pos_ = 0;
        }
        return Seg_ >= Segments_.size();
    }
    bool Byte(std::uint8_t& b) {
        if (AtEnd())
            return false;
        b = static_cast<std::uint8_t>(Segments_[Seg_][Pos_++]);
        return true;
    }
    bool Number(std::uint32_t& v, int bytes) {
        v = 0;
        for (int i = 0; i < bytes; ++i) {
            std::uint8_t b;
            if (!Byte(b))
                return false;
            v |= static_cast<std::uint32_t>(b) << (8 * i);
        }
        return true;
    }
    bool Skip(std::size_t n) {
        while (n) {
            if (AtEnd())
                return false;
            std::size_t step = std::min(n, Segments_[Seg_].size() - Pos_);
            Pos_ += step;
            n -= step;
        }
        return true;
    }
    bool Chars(std::size_t count, bool wide, std::string& out) {
        out.clear();
        std::uint16_t high = 0;
        while (count) {
            if (Seg_ < Segments_.size() && Pos_ >= Segments_[Seg_].size()) {
                // Continued in the next record, which starts with the option byte.
                ++Seg_;
                Pos_ = 0;
                std::uint8_t flags;
                if (!Byte(flags))
                    return false;
                wide = flags & 0x01;
            }
            if (Seg_ >= Segments_.size())
                return false;
            std::string_view seg = Segments_[Seg_];
            std::size_t size = wide ? 2 : 1;
            std::size_t n = std::min(count, (seg.size() - Pos_) / size);
            if (n == 0) // half a character before the boundary
                return false;
            std::string_view part = seg.substr(Pos_, n * size);
            if (wide)
                AppendUtf16(out, part, high);
            else
                out += DecodeBytes(part, TTextPage::Latin1);
            Pos_ += n * size;
            count -= n;
        }
        if (high)
            AppendUtf8(out, 0xFFFD);
        return true;
    }

private:
    std::vector<std::string_view> Segments_;
    std::size_t Seg_ = 0;
    std::size_t Pos_ = 0;
};

struct TXfInfo {
    std::uint16_t Font = 0;
    std::uint16_t Number = 0;
    TCellFormat Format; // borders and alignment; font and number format filled later
};

struct TSheetEntry {
    std::uint32_t Offset = 0;
    std::string Name;
};

class TStreamReader {
public:
    explicit TStreamReader(std::string_view stream) : Stream_(stream) {}

    TWorkbookResult Read(TWorkbookData& data) {
        if (TWorkbookResult r = ReadGlobals(); !r.Ok)
            return r;
        data.Formats = StandardFormats();
        data.Sheets.clear();
        Formats_ = &data.Formats;
        for (const TSheetEntry& entry : SheetList_) {
            TSheet sheet;
            sheet.Name = entry.Name;
            bool worksheet = false;
            if (TWorkbookResult r = ReadSheet(entry.Offset, sheet, worksheet); !r.Ok)
                return r;
            if (worksheet)
                data.Sheets.push_back(std::move(sheet));
        }
        for (std::size_t i = data.Sheets.size(); i < 3; ++i)
            data.Sheets.push_back(TSheet{StandardSheetNames[i], {}});
        return {};
    }

private:
    static TWorkbookResult Damaged(const std::string& what) {
        return TWorkbookResult::Failure(std::string(DamagedText) + " (" + what + ")");
    }

    std::string Text8(std::string_view bytes) const { return DecodeBytes(bytes, Page_); }

    // A sheet name, font name or format code: 8-bit count (16-bit for codes of
    // Excel 5 is not used) followed by the characters.
    bool ReadName(TReader& r, bool longCount, std::string& out) const {
        if (Biff8_)
            return ReadUnicodeString(r, longCount, out);
        std::size_t count = longCount ? r.U16() : r.U8();
        std::string_view bytes = r.Take(count);
        if (!r.Ok())
            return false;
        out = Text8(bytes);
        return true;
    }

    TWorkbookResult ReadGlobals() {
        TRecordCursor cursor(Stream_, 0);
        TRecord rec;
        bool damaged = false;
        if (!cursor.Next(rec, damaged))
            return Damaged("нет записей");
        if (rec.Id == RecBof2 || rec.Id == RecBof3 || rec.Id == RecBof4)
            return TWorkbookResult::Failure(
                "книги Excel версий 2–4 не поддерживаются (нужен формат Excel 5 или новее)");
        if (rec.Id != RecBof || rec.Data.size() < 4)
            return TWorkbookResult::Failure("это не книга Excel: поток не начинается записью BOF");
        std::uint16_t version = GetU16(rec.Data.data());
        std::uint16_t type = GetU16(rec.Data.data() + 2);
        if (version == Biff8Version)
            Biff8_ = true;
        else if (version != Biff5Version && version != 0)
            return TWorkbookResult::Failure("неизвестная версия книги Excel");
        if (type != BofGlobals)
            return TWorkbookResult::Failure(
                "книга из одного листа старого формата не поддерживается");
        Page_ = Biff8_ ? TTextPage::Latin1 : TTextPage::Cp1251;

        std::vector<std::string_view> sst;
        bool inSst = false;
        while (cursor.Next(rec, damaged)) {
            TReader r(rec.Data);
            if (rec.Id != RecContinue)
                inSst = false;
            switch (rec.Id) {
            case RecEof:
                return ReadSharedStrings(sst);
            case RecFilePass:
                return TWorkbookResult::Failure("книга защищена паролем (зашифрована)");
            case RecCodePage:
                if (TWorkbookResult res = SetCodePage(r.U16()); !res.Ok)
                    return res;
                break;
            case RecDateMode:
                Date1904_ = r.U16() != 0;
                break;
            case RecFont:
                if (!ReadFont(r))
                    return Damaged("запись шрифта");
                break;
            case RecFormat: {
                std::uint16_t id = r.U16();
                std::string code;
                if (!ReadName(r, Biff8_, code))
                    return Damaged("запись числового формата");
                NumberFormats_[id] = code;
                break;
            }
            case RecXf:
                if (!ReadXf(r))
                    return Damaged("запись формата ячеек");
                break;
            case RecBoundSheet: {
                TSheetEntry entry;
                entry.Offset = r.U32();
                r.U8(); // visibility
                std::uint8_t kind = r.U8();
                if (!ReadName(r, false, entry.Name))
                    return Damaged("запись листа");
                if (kind == 0) // worksheets only: charts and modules hold no cells
                    SheetList_.push_back(std::move(entry));
                break;
            }
            case RecSst:
                if (!Biff8_)
                    break;
                sst.assign(1, rec.Data);
                inSst = true;
                break;
            case RecContinue:
                if (inSst)
                    sst.push_back(rec.Data);
                break;
            default:
                break;
            }
            if (!r.Ok())
                return Damaged("запись короче, чем должна быть");
        }
        return Damaged(damaged ? "запись обрезана" : "нет конца общей части книги");
    }

    TWorkbookResult SetCodePage(std::uint16_t page) {
        if (Biff8_)
            return {}; // strings of a later version carry their own encoding
        switch (page) {
        case 1251:
            Page_ = TTextPage::Cp1251;
            return {};
        case 1252:
        case 367:    // US-ASCII
        case 0x8001: // Windows Western in older writers
            Page_ = TTextPage::Cp1252;
            return {};
        default:
            return TWorkbookResult::Failure("кодовая страница книги " + std::to_string(page) +
                                            " не поддерживается (нужна 1251 или 1252)");
        }
    }

    bool ReadFont(TReader& r) {
        TFontSpec font;
        font.HeightTwips = r.U16();
        std::uint16_t options = r.U16();
        font.Colour = r.U16();
        font.Weight = r.U16();
        r.U16(); // escapement
        font.Underline = r.U8();
        r.U8(); // family
        r.U8(); // character set: the code page decides the text encoding
        r.U8();
        font.Italic = options & 0x02;
        font.Strikeout = options & 0x08;
        if (!ReadName(r, false, font.Name))
            return false;
        Fonts_.push_back(std::move(font));
        return true;
    }

    bool ReadXf(TReader& r) {
        TXfInfo xf;
        xf.Font = r.U16();
        xf.Number = r.U16();
        r.U16(); // type and parent
        std::uint8_t align = r.U8();
        xf.Format.HorizontalAlign = align & 0x07;
        xf.Format.Wrap = align & 0x08;
        xf.Format.VerticalAlign = align >> 4 & 0x07;
        if (Biff8_) {
            r.U8(); // rotation
            r.U8(); // indent
            r.U8(); // attributes used
            std::uint32_t lines = r.U32();
            r.U32();
            r.U16();
            xf.Format.LeftLine = lines & 0x0F;
            xf.Format.RightLine = lines >> 4 & 0x0F;
            xf.Format.TopLine = lines >> 8 & 0x0F;
            xf.Format.BottomLine = lines >> 12 & 0x0F;
        } else {
            r.U8(); // orientation and attributes used
            std::uint32_t fill = r.U32();
            std::uint32_t lines = r.U32();
            xf.Format.BottomLine = fill >> 22 & 0x07;
            xf.Format.TopLine = lines & 0x07;
            xf.Format.LeftLine = lines >> 3 & 0x07;
            xf.Format.RightLine = lines >> 6 & 0x07;
        }
        if (!r.Ok())
            return false;
        Xfs_.push_back(std::move(xf));
        return true;
    }

    TWorkbookResult ReadSharedStrings(const std::vector<std::string_view>& segments) {
        if (segments.empty())
            return {};
        TSegmentReader r(segments);
        std::uint32_t total, unique;
        if (!r.Number(total, 4) || !r.Number(unique, 4))
            return Damaged("таблица строк");
        SharedStrings_.reserve(std::min<std::size_t>(unique, Stream_.size() / 3));
        for (std::uint32_t i = 0; i < unique; ++i) {
            std::uint32_t count, runs = 0, ext = 0;
            std::uint8_t flags;
            if (!r.Number(count, 2) || !r.Byte(flags) || ((flags & 0x08) && !r.Number(runs, 2)) ||
                ((flags & 0x04) && !r.Number(ext, 4)))
                return Damaged("таблица строк");
            std::string text;
            if (!r.Chars(count, flags & 0x01, text) || !r.Skip(std::size_t(runs) * 4) ||
                !r.Skip(ext))
                return Damaged("таблица строк");
            SharedStrings_.push_back(std::move(text));
        }
        return {};
    }

    // The workbook format index of a cell's XF: the standard formats keep their
    // indexes (XF 16 + i), any other format is found or added by its contents.
    std::uint16_t FormatIndex(std::uint16_t xfIndex) {
        if (auto it = XfToFormat_.find(xfIndex); it != XfToFormat_.end())
            return it->second;
        std::uint16_t index = 0;
        if (xfIndex < Xfs_.size()) {
            const TXfInfo& xf = Xfs_[xfIndex];
            TCellFormat f = xf.Format;
            std::size_t fontPos = xf.Font < 4 ? xf.Font : xf.Font - 1u;
            if (xf.Font != 4 && fontPos < Fonts_.size())
                f.Font = Fonts_[fontPos];
            if (auto code = NumberFormats_.find(xf.Number); code != NumberFormats_.end())
                f.NumberFormat = code->second;
            else if (std::string_view builtin = BuiltinNumberFormat(xf.Number); !builtin.empty())
                f.NumberFormat = builtin;
            std::vector<TCellFormat>& list = *Formats_;
            std::size_t at = xfIndex - std::size_t(FirstCellXf);
            if (xfIndex >= FirstCellXf && at < StandardFormatCount && list[at] == f) {
                index = static_cast<std::uint16_t>(at);
            } else {
                auto it = std::find(list.begin(), list.end(), f);
                if (it == list.end())
                    list.push_back(f);
                index = static_cast<std::uint16_t>(std::find(list.begin(), list.end(), f) -
                                                   list.begin());
            }
        }
        XfToFormat_[xfIndex] = index;
        return index;
    }

    double DateValue(double value, std::uint16_t format) const {
        if (Date1904_ && IsDateFormat((*Formats_)[format].NumberFormat))
            return value + 1462; // 1904-01-01 is day 1462 of the 1900 system
        return value;
    }

    static double RkValue(std::uint32_t rk) {
        double value;
        if (rk & 0x02) {
            value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
        } else {
            std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
            std::memcpy(&value, &bits, sizeof value);
        }
        return rk & 0x01 ? value / 100 : value;
    }

    bool PutCell(TSheet& sheet, std::uint32_t row, std::uint32_t col, std::uint16_t xf,
                 TCell cell) {
        if (row >= MaxRowsRead || col >= MaxColumns)
            return false;
        cell.Format = FormatIndex(xf);
        if (cell.Kind == TCellKind::Number)
            cell.Number = DateValue(cell.Number, cell.Format);
        sheet.Cells[CellKey(row, col)] = std::move(cell);
        return true;
    }

    static TCell TextCell(std::string text) {
        TCell c;
        c.Kind = TCellKind::Text;
        c.Text = std::move(text);
        return c;
    }
    static TCell NumberCell(double v) {
        TCell c;
        c.Kind = TCellKind::Number;
        c.Number = v;
        return c;
    }

    TWorkbookResult ReadSheet(std::uint32_t offset, TSheet& sheet, bool& worksheet) {
        if (offset >= Stream_.size())
            return Damaged("лист за концом потока");
        TRecordCursor cursor(Stream_, offset);
        TRecord rec;
        bool damaged = false;
        if (!cursor.Next(rec, damaged) || rec.Id != RecBof || rec.Data.size() < 4)
            return Damaged("лист \"" + sheet.Name + "\" не начинается записью BOF");
        worksheet = GetU16(rec.Data.data() + 2) == BofWorksheet;
        if (!worksheet)
            return {};
        int nested = 0; // embedded charts have their own BOF ... EOF
        std::optional<std::pair<TCellKey, std::uint16_t>> pendingString;
        while (cursor.Next(rec, damaged)) {
            if (rec.Id == RecBof) {
                ++nested;
                continue;
            }
            if (rec.Id == RecEof) {
                if (nested-- == 0)
                    return {};
                continue;
            }
            if (nested)
                continue;
            TReader r(rec.Data);
            bool ok = true;
            if (rec.Id != RecString && rec.Id != RecContinue)
                pendingString.reset();
            switch (rec.Id) {
            case RecLabel:
            case RecRString: {
                std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
                std::string text;
                ok = ReadName(r, true, text) && PutCell(sheet, row, col, xf, TextCell(text));
                break;
            }
            case RecLabelSst: {
                std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
                std::uint32_t index = r.U32();
                ok = r.Ok() && Biff8_ && index < SharedStrings_.size() &&
                     PutCell(sheet, row, col, xf, TextCell(SharedStrings_[index]));
                break;
            }
            case RecNumber: {
                std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
                double v = r.F64();
                ok = r.Ok() && PutCell(sheet, row, col, xf, NumberCell(v));
                break;
            }
            case RecRk: {
                std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
                std::uint32_t rk = r.U32();
                ok = r.Ok() && PutCell(sheet, row, col, xf, NumberCell(RkValue(rk)));
                break;
            }
            case RecMulRk: {
                std::uint16_t row = r.U16(), col = r.U16();
                if (rec.Data.size() < 12 || (rec.Data.size() - 6) % 6 != 0) {
                    ok = false;
                    break;
                }
                std::size_t n = (rec.Data.size() - 6) / 6;
                for (std::size_t i = 0; ok && i < n; ++i) {
                    std::uint16_t xf = r.U16();
                    std::uint32_t rk = r.U32();
                    ok = r.Ok() && PutCell(sheet, row, static_cast<std::uint32_t>(col + i), xf,
                                           NumberCell(RkValue(rk)));
                }
                break;
            }
            case RecBoolErr: {
                std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
                std::uint8_t value = r.U8(), isError = r.U8();
                ok = r.Ok() && (isError || PutCell(sheet, row, col, xf, NumberCell(value ? 1 : 0)));
                break;
            }
            case RecFormula:
            case RecFormula4: {
                // The result the writing program computed last; the formula itself
                // is not kept.
                std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
                std::string_view result = r.Take(8);
                if (!r.Ok()) {
                    ok = false;
                    break;
                }
                if (GetU16(result.data() + 6) != 0xFFFF)
                    ok = PutCell(sheet, row, col, xf, NumberCell(GetF64(result.data())));
                else if (result[0] == 0)
                    pendingString.emplace(CellKey(row, col), xf);
                else if (result[0] == 1)
                    ok = PutCell(sheet, row, col, xf, NumberCell(result[2] ? 1 : 0));
                break;
            }
            case RecString:
                if (pendingString) {
                    std::string text;
                    auto [key, xf] = *pendingString;
                    ok = ReadName(r, true, text) &&
                         PutCell(sheet, KeyRow(key), KeyColumn(key), xf, TextCell(text));
                    pendingString.reset();
                }
                break;
            default:
                break;
            }
            if (!ok)
                return Damaged("лист \"" + sheet.Name + "\", запись " + std::to_string(rec.Id));
        }
        return Damaged(damaged ? "запись обрезана" : "лист \"" + sheet.Name + "\" без конца");
    }

    std::string_view Stream_;
    bool Biff8_ = false;
    bool Date1904_ = false;
    TTextPage Page_ = TTextPage::Cp1251;
    std::vector<TFontSpec> Fonts_;
    std::map<std::uint16_t, std::string> NumberFormats_;
    std::vector<TXfInfo> Xfs_;
    std::vector<TSheetEntry> SheetList_;
    std::vector<std::string> SharedStrings_;
    std::map<std::uint16_t, std::uint16_t> XfToFormat_;
    std::vector<TCellFormat>* Formats_ = nullptr;
};

} // namespace

TWorkbookResult DecodeBiffStream(std::string_view stream, TWorkbookData& data) {
    TWorkbookData read;
    TStreamReader reader(stream);
    if (TWorkbookResult r = reader.Read(read); !r.Ok)
        return r;
    data = std::move(read);
    return {};
}

} // namespace virs
