// Every kind of workbook the archive export writes is opened by three readers
// that share no code with ours: python3-xlrd, Perl's Spreadsheet::ParseExcel and
// LibreOffice (headless conversion to flat OpenDocument). Each must see the same
// cells, cell types, values and number formats, Cyrillic texts intact.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/workbook/ExportBooks.h"
#include "tests/workbook/SampleBooks.h"
#include "tests/workbook/TempDir.h"

namespace virs::test {
namespace {

struct TSeenCell {
    std::string Kind, Value, Format, Borders;
};
using TSeenSheet = std::map<std::pair<std::uint32_t, std::uint32_t>, TSeenCell>;
struct TSeenBook {
    std::vector<std::string> SheetNames;
    std::vector<TSeenSheet> Sheets;
};

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    if (!line.empty() && line.back() == '\t')
        fields.emplace_back();
    return fields;
}

// Runs a command, returning its standard output; the exit status goes to `status`.
std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    status = pclose(pipe);
    return out;
}

TSeenBook ParseDump(const std::string& dump) {
    TSeenBook book;
    std::stringstream in(dump);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f = SplitTabs(line);
        if (f.size() == 3 && f[0] == "sheet") {
            book.SheetNames.push_back(f[2]);
            book.Sheets.emplace_back();
        } else if (f.size() >= 6 && !book.Sheets.empty()) {
            book.Sheets.back()[{std::stoul(f[1]), std::stoul(f[2])}] =
                TSeenCell{f[3], f[4], f[5], f.size() > 6 ? f[6] : ""};
        }
    }
    return book;
}

std::string Borders(const TCellFormat& f) {
    return std::to_string(f.TopLine) + std::to_string(f.BottomLine) + std::to_string(f.LeftLine) +
           std::to_string(f.RightLine);
}

// How LibreOffice spells back each number format the archive writes.
std::string LibreOfficeFormat(const std::string& code) {
    static const std::map<std::string, std::string> table = {
        {"General", "General"}, {"dd/mm/yy", "DD/MM/YY"},   {"#######0.000", "0.000"},
        {"Hh:mm", "HH:MM"},     {"mmmm yyyy", "MMMM YYYY"},
    };
    auto it = table.find(code);
    return it == table.end() ? "?" + code : it->second;
}

enum class TTool { Xlrd, ParseExcel, LibreOffice };

struct TToolCase {
    const char* Name;
    TTool Tool;
};

class ValidatorTest : public ::testing::TestWithParam<TToolCase> {};

// Compares what a reader saw with the workbook as written; returns the
// differences, at most a few per file.
std::vector<std::string> Compare(const TWorkbook& book, const TSeenBook& seen, TTool tool) {
    std::vector<std::string> diffs;
    auto note = [&](const std::string& text) {
        if (diffs.size() < 8)
            diffs.push_back(text);
    };
    if (seen.SheetNames.size() != book.SheetCount()) {
        note("sheet count " + std::to_string(seen.SheetNames.size()));
        return diffs;
    }
    for (std::size_t s = 0; s < book.SheetCount(); ++s) {
        if (seen.SheetNames[s] != book.Sheet(s).Name)
            note("sheet name " + seen.SheetNames[s]);
        TSeenSheet expected;
        for (const auto& [key, cell] : book.Sheet(s).Cells) {
            const TCellFormat& format = book.Format(cell.Format);
            TSeenCell e;
            e.Kind = cell.Kind == TCellKind::Text ? "text" : "number";
            e.Value = cell.Kind == TCellKind::Text ? cell.Text : ShortestNumberText(cell.Number);
            e.Format = format.NumberFormat;
            e.Borders = Borders(format);
            if (tool == TTool::LibreOffice) {
                // LibreOffice keeps no empty text cell, drops tab characters on
                // import and has no border digits in this comparison.
                if (cell.Kind == TCellKind::Text && cell.Text.empty())
                    continue;
                std::erase(e.Value, '\t');
                e.Format = LibreOfficeFormat(e.Format);
                e.Borders.clear();
            }
            if (cell.Kind == TCellKind::Text)
                e.Value = Escape(e.Value);
            expected[{KeyRow(key), KeyColumn(key)}] = e;
        }
        const TSeenSheet& got = seen.Sheets[s];
        for (const auto& [pos, e] : expected) {
            std::string where = "sheet " + std::to_string(s) + " row " + std::to_string(pos.first) +
                                " col " + std::to_string(pos.second);
            auto it = got.find(pos);
            if (it == got.end()) {
                note(where + ": missing");
                continue;
            }
            const TSeenCell& g = it->second;
            bool sameValue = g.Value == e.Value;
            if (!sameValue && e.Kind == "number" && g.Kind == "number") {
                double a = std::stod(e.Value), b = std::stod(g.Value);
                // The text readers print exact doubles; LibreOffice gives dates and
                // times back through its own date-time text, to the microsecond.
                double tolerance =
                    tool == TTool::LibreOffice ? 1e-9 * std::max(1.0, std::fabs(a)) : 0;
                sameValue = std::fabs(a - b) <= tolerance;
            }
            if (g.Kind != e.Kind || !sameValue || g.Format != e.Format || g.Borders != e.Borders)
                note(where + ": expected " + e.Kind + " '" + e.Value + "' " + e.Format + " " +
                     e.Borders + ", seen " + g.Kind + " '" + g.Value + "' " + g.Format + " " +
                     g.Borders);
        }
        for (const auto& [pos, g] : got)
            if (!expected.count(pos))
                note("sheet " + std::to_string(s) + " row " + std::to_string(pos.first) + " col " +
                     std::to_string(pos.second) + ": unexpected cell '" + g.Value + "'");
    }
    return diffs;
}

TEST_P(ValidatorTest, SeesEveryWrittenCell) {
    TToolCase param = GetParam();
    const char* source = std::getenv("VIRS_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "VIRS_SOURCE_DIR is not set";
    std::string validators = std::string(source) + "/tests/workbook/validators/";

    TTempDir dir;
    std::vector<TSampleBook> books = MakeSampleBooks(dir.Path().string());
    for (const TSampleBook& b : books) {
        TWorkbookResult r = b.Book.Write();
        ASSERT_TRUE(r.Ok) << b.Name << ": " << r.Error;
    }
    // The export writes its own workbooks (already on disk).
    std::filesystem::create_directory(dir.Path() / "export");
    std::vector<TSampleBook> exported = MakeExportBooks((dir.Path() / "export").string());
    ASSERT_EQ(exported.size(), 7u); // eight exports, two of them into one file
    for (TSampleBook& b : exported)
        books.push_back(std::move(b));
    int status = 0;
    if (param.Tool == TTool::LibreOffice) {
        std::string files;
        for (const TSampleBook& b : books)
            files += " '" + b.Book.FileName() + "'";
        std::string profile = "file://" + dir.File("lo-profile");
        RunCommand("soffice -env:UserInstallation=" + profile +
                       " --headless --convert-to fods --outdir '" + dir.File("lo") + "'" + files +
                       " 2>&1",
                   status);
        ASSERT_EQ(status, 0) << "LibreOffice conversion failed (is soffice installed?)";
    }

    for (const TSampleBook& b : books) {
        std::string command;
        switch (param.Tool) {
        case TTool::Xlrd:
            command =
                "/usr/bin/python3 '" + validators + "xlrd_dump.py' '" + b.Book.FileName() + "'";
            break;
        case TTool::ParseExcel:
            command = "perl '" + validators + "parseexcel_dump.pl' '" + b.Book.FileName() + "'";
            break;
        case TTool::LibreOffice:
            command = "/usr/bin/python3 '" + validators + "lo_dump.py' '" +
                      dir.File("lo/" + b.Name + ".fods") + "'";
            break;
        }
        std::string dump = RunCommand(command, status);
        ASSERT_EQ(status, 0) << param.Name << " could not read " << b.Name << ".xls";
        std::vector<std::string> diffs = Compare(b.Book, ParseDump(dump), param.Tool);
        std::string all;
        for (const std::string& d : diffs)
            all += "\n  " + d;
        EXPECT_TRUE(diffs.empty()) << param.Name << " on " << b.Name << ".xls:" << all;
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, ValidatorTest,
                         ::testing::Values(TToolCase{"xlrd", TTool::Xlrd},
                                           TToolCase{"ParseExcel", TTool::ParseExcel},
                                           TToolCase{"LibreOffice", TTool::LibreOffice}),
                         [](const auto& p) { return std::string(p.param.Name); });

} // namespace
} // namespace virs::test
