// The workbook's own behaviour: what is written reads back the same, a failed
// write leaves the previous file alone, damaged files are reported, and files of
// other writers (Gnumeric's Excel 95, Excel 97 records) are understood.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "model/AtomicFile.h"
#include "model/TextCodec.h"
#include "tests/workbook/SampleBooks.h"
#include "tests/workbook/TempDir.h"
#include "workbook/BiffCodec.h"
#include "workbook/BiffRecords.h"
#include "workbook/CompoundFile.h"

namespace virs::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes));
    return bytes;
}

// --- round trip --------------------------------------------------------------

TEST(WorkbookRoundTrip, EverySampleReadsBackAsWritten) {
    TTempDir dir;
    for (TSampleBook& sample : MakeSampleBooks(dir.Path().string())) {
        SCOPED_TRACE(sample.Name);
        ASSERT_TRUE(sample.Book.Write().Ok);
        TWorkbook back;
        TWorkbookResult r = back.Read(sample.Book.FileName());
        ASSERT_TRUE(r.Ok) << r.Error;
        EXPECT_EQ(back.FileName(), sample.Book.FileName());
        EXPECT_TRUE(back.Data() == sample.Book.Data());
        // Raised and plain indexes name the same format in the file as well.
        for (std::uint16_t k = 0; k < ArchiveFormatCount; ++k)
            EXPECT_EQ(back.Format(k), back.Format(ArchiveFormatBaseRaised + k));
    }
}

TEST(WorkbookRoundTrip, RewritingOneSheetKeepsTheOthers) {
    TTempDir dir;
    TWorkbook first;
    first.SetFileName(dir.File("N [D].xls"));
    FillArchiveSheet(first, SheetDays, 0, 20);
    FillArchiveSheet(first, SheetHours, 0, 50);
    FillArchiveSheet(first, SheetMonths, 0, 3);
    ASSERT_TRUE(first.Write().Ok);

    TWorkbook second; // a later run of the program: view read the file, export rewrites hours
    ASSERT_TRUE(second.Read(first.FileName()).Ok);
    second.ClearSheet(SheetHours);
    FillArchiveSheet(second, SheetHours, ArchiveFormatBaseRaised, 5);
    ASSERT_TRUE(second.Write().Ok);

    TWorkbook third;
    ASSERT_TRUE(third.Read(first.FileName()).Ok);
    EXPECT_TRUE(third.Sheet(SheetDays) == first.Sheet(SheetDays));
    EXPECT_TRUE(third.Sheet(SheetMonths) == first.Sheet(SheetMonths));
    EXPECT_TRUE(third.Sheet(SheetHours) == second.Sheet(SheetHours));
    EXPECT_EQ(third.FindCell(SheetHours, 0, 8)->Format, ArchiveFormatBaseRaised + 1);
    EXPECT_EQ(third.FindCell(SheetHours, 0, 20), nullptr); // old rows are gone
}

TEST(WorkbookRoundTrip, FileHoldsWindows1251AndCyrillicFonts) {
    TWorkbook book;
    book.PutText(SheetDays, 0, 0, "Суточный архив", 0);
    std::string file, stream;
    ASSERT_TRUE(EncodeWorkbookFile(book.Data(), file).Ok);
    ASSERT_TRUE(ExtractWorkbookStream(file, stream).Ok);
    EXPECT_NE(stream.find(Utf8ToCp1251("Суточный архив")), std::string::npos);
    EXPECT_EQ(stream.find("Суточный"), std::string::npos); // no UTF-8 in the file
    // CODEPAGE 1251 right after the globals' BOF, and fonts in character set 204.
    EXPECT_EQ(stream.substr(12, 6), std::string("\x42\x00\x02\x00\xE3\x04", 6));
    std::size_t font = stream.find(std::string("\x31\x00", 2));
    ASSERT_NE(font, std::string::npos);
    EXPECT_EQ(static_cast<unsigned char>(stream[font + 4 + 12]), 204);
}

// --- cells ---------------------------------------------------------------------

TEST(WorkbookCells, TextAndNumberViews) {
    TWorkbook book;
    ASSERT_TRUE(book.PutText(SheetHours, 3, 7, "События", 4));
    ASSERT_TRUE(book.PutNumber(SheetHours, 0, 8, 45323.5, 1));
    ASSERT_TRUE(book.PutNumber(SheetHours, 1, 8, 0.1, 2));
    struct Case {
        std::uint32_t Col, Row;
        const char* Text;
        double Number;
    } cases[] = {
        {3, 7, "События", 0}, {0, 8, "45323.5", 45323.5}, {1, 8, "0.1", 0.1},
        {2, 8, "", 0},        {255, 16383, "", 0},        {300, 8, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Col) + "," + std::to_string(c.Row));
        EXPECT_EQ(book.GetText(SheetHours, c.Col, c.Row), c.Text);
        EXPECT_EQ(book.GetNumber(SheetHours, c.Col, c.Row), c.Number);
    }
    EXPECT_EQ(book.GetText(7, 0, 0), "");
}

TEST(WorkbookCells, PutRefusesWhatDoesNotExist) {
    TWorkbook book;
    EXPECT_FALSE(book.PutText(3, 0, 0, "x", 0));                   // no fourth sheet
    EXPECT_FALSE(book.PutText(0, 256, 0, "x", 0));                 // column 257
    EXPECT_FALSE(book.PutNumber(0, 0, 0, 1, StandardFormatCount)); // no such format
    EXPECT_TRUE(book.Sheet(0).Cells.empty());
}

TEST(WorkbookCells, ShortestNumberTextReadsBack) {
    for (double v : {0.0, -0.5, 1234567.126, 45323.041666666664, 1e20, 1.0 / 3, 5e-324}) {
        // strtod, not stod: the smallest subnormal is a valid cell value too.
        std::string text = ShortestNumberText(v);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
        EXPECT_EQ(text.find(','), std::string::npos);
    }
    EXPECT_EQ(ShortestNumberText(12.5), "12.5");
}

TEST(WorkbookCells, NonFiniteNumbersBecomeErrorCells) {
    TTempDir dir;
    TWorkbook book;
    book.SetFileName(dir.File("nan.xls"));
    book.PutNumber(SheetDays, 1, 8, std::nan(""), 2);
    book.PutNumber(SheetDays, 2, 8, -HUGE_VAL, 2);
    book.PutNumber(SheetDays, 3, 8, 7.25, 2);
    ASSERT_TRUE(book.Write().Ok);
    std::string stream;
    ASSERT_TRUE(ExtractWorkbookStream(Slurp(book.FileName()), stream).Ok);
    // BOOLERR, 8 bytes: row 8, column 1, XF 16 + 2, #NUM!, error flag.
    EXPECT_NE(stream.find(std::string("\x05\x02\x08\x00\x08\x00\x01\x00\x12\x00\x24\x01", 12)),
              std::string::npos);
    TWorkbook back;
    ASSERT_TRUE(back.Read(book.FileName()).Ok);
    EXPECT_EQ(back.FindCell(SheetDays, 1, 8), nullptr);
    EXPECT_EQ(back.GetNumber(SheetDays, 2, 8), 0);
    EXPECT_EQ(back.GetNumber(SheetDays, 3, 8), 7.25);
}

// --- failed writes -----------------------------------------------------------

struct WriteFailureCase {
    const char* Name;
    std::function<void(TWorkbook&, const TTempDir&)> Setup;
    const char* ErrorPart;
};

class WorkbookWriteFailure : public ::testing::TestWithParam<WriteFailureCase> {};

TEST_P(WorkbookWriteFailure, ReportsAndLeavesTheOldFile) {
    TTempDir dir;
    std::string target = dir.File("archive.xls");
    TWorkbook good;
    good.SetFileName(target);
    FillArchiveSheet(good, SheetDays, 0, 5);
    ASSERT_TRUE(good.Write().Ok);
    std::string before = Slurp(target);

    TWorkbook book;
    book.SetFileName(target);
    FillArchiveSheet(book, SheetDays, 16, 9);
    GetParam().Setup(book, dir);
    TWorkbookResult r = book.Write();
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(r.Error.find(GetParam().ErrorPart), std::string::npos) << r.Error;
    EXPECT_EQ(Slurp(target), before);
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkbookWriteFailure,
    ::testing::Values(
        WriteFailureCase{"TooManyRows",
                         [](TWorkbook& b, const TTempDir&) { b.PutNumber(1, 0, 16384, 1, 0); },
                         "16384"},
        WriteFailureCase{
            "TextTooLong",
            [](TWorkbook& b, const TTempDir&) { b.PutText(2, 0, 0, std::string(256, 'x'), 0); },
            "255"},
        WriteFailureCase{
            "NoFolder",
            [](TWorkbook& b, const TTempDir& d) { b.SetFileName(d.File("missing/archive.xls")); },
            "не удалось записать"},
        WriteFailureCase{"TargetIsAFolder",
                         [](TWorkbook& b, const TTempDir& d) {
                             fs::create_directory(d.Path() / "sub.xls");
                             fs::create_directory(d.Path() / "sub.xls" / "inside");
                             b.SetFileName(d.File("sub.xls"));
                         },
                         "не удалось записать"},
        WriteFailureCase{"NoFileName", [](TWorkbook& b, const TTempDir&) { b.SetFileName(""); },
                         "имя"}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST(WorkbookWrite, RowLimitIsExcel5s) {
    TWorkbook book;
    std::string file;
    book.PutNumber(0, 0, MaxRowsExcel5 - 1, 1, 0);
    EXPECT_TRUE(EncodeWorkbookFile(book.Data(), file).Ok);
    book.PutNumber(0, 0, MaxRowsExcel5, 1, 0);
    EXPECT_FALSE(EncodeWorkbookFile(book.Data(), file).Ok);
}

// --- damaged and foreign files ----------------------------------------------

// A record stream made by hand, record by record.
struct TStreamBuilder {
    std::string Bytes;
    biff::TByteSink Out{Bytes};
    void Record(std::uint16_t id, const std::string& data) {
        Out.BeginRecord(id);
        Out.Bytes(data);
        Out.EndRecord();
    }
};

std::string Le16(std::uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string Le32(std::uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

// Globals with one BOUNDSHEET, then one sheet holding `cells` (records).
std::string OneSheetStream(const std::string& cells, std::uint16_t version = 0x0500) {
    TStreamBuilder b;
    b.Record(biff::RecBof, Le16(version) + Le16(0x0005) + Le32(0));
    b.Record(biff::RecCodePage, Le16(1251));
    std::size_t offsetAt = b.Bytes.size() + 4;
    b.Record(biff::RecBoundSheet, Le32(0) + std::string("\0\0\x04list", 7));
    b.Record(biff::RecEof, "");
    b.Out.PatchU32(offsetAt, static_cast<std::uint32_t>(b.Bytes.size()));
    b.Record(biff::RecBof, Le16(version) + Le16(0x0010) + Le32(0));
    b.Bytes += cells;
    b.Record(biff::RecEof, "");
    return b.Bytes;
}

std::string CellRecord(std::uint16_t id, std::uint16_t row, std::uint16_t col,
                       const std::string& rest) {
    TStreamBuilder b;
    b.Record(id, Le16(row) + Le16(col) + Le16(15) + rest);
    return b.Bytes;
}

TEST(WorkbookRead, RkMulRkAndFormulaResults) {
    // Values worked out by hand from the RK encoding: bit 0 divides by 100,
    // bit 1 marks a 30-bit integer, otherwise the top 30 bits of a double.
    std::string cells =
        CellRecord(biff::RecRk, 0, 0, Le32(123 << 2 | 2)) +   // 123
        CellRecord(biff::RecRk, 0, 1, Le32(12345 << 2 | 3)) + // 123.45
        CellRecord(biff::RecRk, 0, 2, Le32(0x3FF80000)) +     // 1.5
        CellRecord(biff::RecRk, 0, 3, Le32(static_cast<std::uint32_t>(-7 << 2) | 2));
    TStreamBuilder mulrk; // row 1, columns 2..3, then the last column
    mulrk.Record(biff::RecMulRk, Le16(1) + Le16(2) + Le16(15) + Le32(5 << 2 | 2) + Le16(15) +
                                     Le32(0x40000000) + Le16(3));
    cells += mulrk.Bytes;
    std::string result = std::string(8, '\0');
    result[6] = result[7] = '\xFF'; // a text result: the STRING record follows
    cells += CellRecord(biff::RecFormula, 2, 0, result + std::string(6, '\0'));
    TStreamBuilder str;
    str.Record(biff::RecString, Le16(3) + Utf8ToCp1251("итг"));
    cells += str.Bytes;
    cells += CellRecord(biff::RecBlank, 3, 0, "");

    TWorkbookData data;
    TWorkbookResult r = DecodeBiffStream(OneSheetStream(cells), data);
    ASSERT_TRUE(r.Ok) << r.Error;
    const auto& got = data.Sheets[0].Cells;
    struct Expect {
        std::uint32_t Row, Col;
        double Value;
    } numbers[] = {{0, 0, 123}, {0, 1, 123.45}, {0, 2, 1.5}, {0, 3, -7}, {1, 2, 5}, {1, 3, 2}};
    for (const Expect& e : numbers) {
        auto it = got.find(CellKey(e.Row, e.Col));
        ASSERT_NE(it, got.end()) << e.Row << "," << e.Col;
        EXPECT_EQ(it->second.Kind, TCellKind::Number);
        EXPECT_DOUBLE_EQ(it->second.Number, e.Value);
    }
    ASSERT_TRUE(got.count(CellKey(2, 0)));
    EXPECT_EQ(got.at(CellKey(2, 0)).Text, "итг");
    EXPECT_FALSE(got.count(CellKey(3, 0))); // a blank cell holds nothing
    EXPECT_EQ(data.Sheets.size(), 3u);      // the missing standard sheets are added
    EXPECT_EQ(data.Sheets[0].Name, "list");
    EXPECT_EQ(data.Sheets[2].Name, "months");
}

TEST(WorkbookRead, Excel97SharedStringsAcrossContinue) {
    // A shared string table whose second string is cut by a CONTINUE record and
    // goes on in UTF-16 after a new option byte.
    std::string sst =
        Le32(2) + Le32(2) + Le16(3) + std::string("\0abc", 4) + Le16(4) + std::string("\0Zy", 3);
    TStreamBuilder b;
    b.Record(biff::RecBof, Le16(0x0600) + Le16(0x0005) + Le32(0) + Le32(0) + Le32(0));
    std::size_t offsetAt = b.Bytes.size() + 4;
    b.Record(biff::RecBoundSheet, Le32(0) + std::string("\0\0\x02\x00ws", 6));
    b.Record(biff::RecSst, sst);
    b.Record(biff::RecContinue, std::string("\x01", 1) + Le16(0x0416) + Le16(0x0451)); // "Жё"
    b.Record(biff::RecEof, "");
    b.Out.PatchU32(offsetAt, static_cast<std::uint32_t>(b.Bytes.size()));
    b.Record(biff::RecBof, Le16(0x0600) + Le16(0x0010) + Le32(0) + Le32(0) + Le32(0));
    b.Record(biff::RecLabelSst, Le16(0) + Le16(0) + Le16(15) + Le32(1));
    b.Record(biff::RecLabelSst, Le16(1) + Le16(0) + Le16(15) + Le32(0));
    b.Record(biff::RecEof, "");
    TWorkbookData data;
    TWorkbookResult r = DecodeBiffStream(b.Bytes, data);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(data.Sheets[0].Name, "ws");
    EXPECT_EQ(data.Sheets[0].Cells.at(CellKey(0, 0)).Text, "ZyЖё");
    EXPECT_EQ(data.Sheets[0].Cells.at(CellKey(1, 0)).Text, "abc");
    TStreamBuilder bad; // an index past the table
    bad.Record(biff::RecLabelSst, Le16(2) + Le16(0) + Le16(15) + Le32(2));
    std::string broken = b.Bytes;
    broken.insert(broken.size() - 4, bad.Bytes);
    EXPECT_FALSE(DecodeBiffStream(broken, data).Ok);
}

TEST(WorkbookRead, EveryCutOfAStreamIsReported) {
    TWorkbook book;
    FillArchiveSheet(book, SheetDays, 0, 2);
    FillArchiveSheet(book, SheetMonths, 16, 1);
    std::string stream;
    ASSERT_TRUE(EncodeBiff5Stream(book.Data(), stream).Ok);
    TWorkbookData data;
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        TWorkbookResult r = DecodeBiffStream(std::string_view(stream).substr(0, cut), data);
        ASSERT_FALSE(r.Ok) << "a stream cut at " << cut << " of " << stream.size() << " was taken";
        EXPECT_FALSE(r.Error.empty());
    }
    EXPECT_TRUE(DecodeBiffStream(stream, data).Ok);
}

struct DamageCase {
    const char* Name;
    std::function<std::string()> File;
    const char* ErrorPart;
};

class WorkbookDamagedFile : public ::testing::TestWithParam<DamageCase> {};

std::string GoodFile() {
    TWorkbook book;
    FillArchiveSheet(book, SheetDays, 0, 30);
    std::string file;
    EncodeWorkbookFile(book.Data(), file);
    return file;
}

// What is not a regular file, or is larger than any workbook, is refused on
// opening: no wait on a FIFO, no read of an endless device or a huge file.
TEST(WorkbookOpen, OddOrHugeFilesAreRefusedBeforeReading) {
    TTempDir dir;
    const std::string fifo = dir.File("fifo.xls");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir.File("huge.xls");
    { std::ofstream out(huge, std::ios::binary); }
    std::filesystem::resize_file(huge, MaxWorkbookFileBytes + 1); // sparse: no disk used
    for (const std::string& path : {fifo, std::string("/dev/zero"), huge}) {
        TWorkbook book;
        book.PutText(SheetDays, 0, 0, "было", 0);
        const auto start = std::chrono::steady_clock::now();
        TWorkbookResult r = book.Read(path);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << path;
        EXPECT_FALSE(r.Ok) << path;
        EXPECT_NE(r.Error.find(path), std::string::npos) << r.Error;
        EXPECT_EQ(book.GetText(SheetDays, 0, 0), "было");
    }
}

TEST_P(WorkbookDamagedFile, IsReportedAndChangesNothing) {
    TTempDir dir;
    std::string path = dir.File("damaged.xls");
    {
        std::ofstream out(path, std::ios::binary);
        std::string bytes = GetParam().File();
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    TWorkbook book;
    book.SetFileName("kept.xls");
    book.PutText(SheetDays, 0, 0, "было", 0);
    TWorkbookResult r = book.Read(path);
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(r.Error.find(GetParam().ErrorPart), std::string::npos) << r.Error;
    EXPECT_EQ(book.GetText(SheetDays, 0, 0), "было");
    EXPECT_EQ(book.FileName(), "kept.xls");
}

std::string Patched(std::string bytes, std::string_view from, std::string_view to) {
    std::size_t at = bytes.find(from);
    if (at != std::string::npos)
        bytes.replace(at, from.size(), to);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkbookDamagedFile,
    ::testing::Values(
        DamageCase{"Empty", [] { return std::string(); }, "не является"},
        DamageCase{"PlainText", [] { return std::string("Дата;Объём\n01.02.2024;12,5\n"); },
                   "не является"},
        DamageCase{"HalfACompoundFile", [] { return GoodFile().substr(0, GoodFile().size() / 2); },
                   ""},
        DamageCase{"NoBookStream",
                   [] {
                       return Patched(GoodFile(), std::string("B\0o\0o\0k\0", 8),
                                      std::string("X\0o\0o\0k\0", 8));
                   },
                   "нет потока"},
        DamageCase{
            "Encrypted",
            [] { return OneSheetStream("").insert(4 + 8, std::string("\x2F\x00\x00\x00", 4)); },
            "зашифрована"},
        DamageCase{"Excel4",
                   [] { return std::string("\x09\x04\x06\x00\x00\x00\x10\x00\x00\x00", 10); },
                   "2–4"},
        DamageCase{"SheetOffsetPastTheEnd",
                   [] {
                       std::string s = OneSheetStream("");
                       s[12 + 6 + 4 + 3] = '\x7F'; // BOUNDSHEET offset, high byte
                       return s;
                   },
                   "повреждён"},
        DamageCase{"CellPastColumn255",
                   [] { return OneSheetStream(CellRecord(biff::RecRk, 0, 256, Le32(2))); },
                   "повреждён"},
        DamageCase{"UnknownCodePage",
                   [] {
                       std::string s = OneSheetStream("");
                       s[4 + 8 + 4] = '\x62'; // 1251 -> 866
                       s[4 + 8 + 5] = '\x03';
                       return s;
                   },
                   "866"}),
    [](const auto& p) { return std::string(p.param.Name); });

// --- files of other writers ----------------------------------------------------

// Reference files made once by tests/workbook/data/make-reference.sh from the
// "large" sample: Gnumeric's Excel 95 and Excel 97 export and LibreOffice's
// Excel 97 export. They must read back with the sample's cells and formats.
class WorkbookReferenceFile : public ::testing::TestWithParam<const char*> {};

std::string Canonical(std::string code) {
    for (char& c : code)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    code.erase(std::remove(code.begin(), code.end(), '\\'), code.end());
    code.erase(std::remove(code.begin(), code.end(), '"'), code.end());
    return code;
}

TEST_P(WorkbookReferenceFile, ReadsBackTheSample) {
    const char* source = std::getenv("VIRS_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    TWorkbook book;
    std::string path = std::string(source) + "/tests/workbook/data/" + GetParam();
    TWorkbookResult r = book.Read(path);
    ASSERT_TRUE(r.Ok) << r.Error;

    TTempDir dir;
    TWorkbook expected;
    for (TSampleBook& s : MakeSampleBooks(dir.Path().string()))
        if (s.Name == "large")
            expected = s.Book;
    ASSERT_EQ(book.SheetCount(), expected.SheetCount());
    std::size_t compared = 0;
    for (std::size_t s = 0; s < expected.SheetCount(); ++s) {
        EXPECT_EQ(book.Sheet(s).Name, expected.Sheet(s).Name);
        for (const auto& [key, cell] : expected.Sheet(s).Cells) {
            if (cell.Kind == TCellKind::Text && cell.Text.empty())
                continue; // other writers may keep an empty text as a blank cell
            const TCell* got = book.FindCell(s, KeyColumn(key), KeyRow(key));
            ASSERT_NE(got, nullptr) << s << ":" << KeyRow(key) << "," << KeyColumn(key);
            EXPECT_EQ(got->Kind, cell.Kind);
            EXPECT_EQ(got->Text, cell.Text);
            EXPECT_EQ(got->Number, cell.Number);
            const TCellFormat& want = expected.Format(cell.Format);
            const TCellFormat& have = book.Format(got->Format);
            EXPECT_EQ(Canonical(have.NumberFormat), Canonical(want.NumberFormat))
                << s << ":" << KeyRow(key) << "," << KeyColumn(key);
            EXPECT_EQ(have.TopLine, want.TopLine);
            EXPECT_EQ(have.BottomLine, want.BottomLine);
            ++compared;
        }
    }
    EXPECT_GT(compared, 1000u);
}

INSTANTIATE_TEST_SUITE_P(Files, WorkbookReferenceFile,
                         ::testing::Values("gnumeric-excel95.xls", "gnumeric-excel97.xls",
                                           "libreoffice-excel97.xls"),
                         [](const auto& p) {
                             std::string n = p.param;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n.substr(0, n.find('.'));
                         });

} // namespace
} // namespace virs::test
