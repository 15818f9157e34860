// virs-cli workbook-dump: the exact lines for a workbook worked out by hand, and
// exit status 1 with a message for files it cannot read.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

#include "tests/workbook/TempDir.h"
#include "workbook/Workbook.h"

namespace virs::test {
namespace {

struct TRunResult {
    int Status = -1;
    std::string Out;
};

TRunResult RunDump(const std::string& file, const TTempDir& dir) {
    std::string command = std::string(VIRS_CLI_PATH) + " workbook-dump '" + file + "' 2>'" +
                          dir.File("stderr.txt") + "'";
    TRunResult r;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return r;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.Out.append(buffer, n);
    int status = pclose(pipe);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WorkbookDump, PrintsEveryCellInSheetRowColumnOrder) {
    TTempDir dir;
    TWorkbook book;
    book.SetFileName(dir.File("N [D].xls"));
    // Put out of order on purpose: the dump sorts by sheet, row, column.
    book.PutNumber(SheetHours, 1, 8, 45323.041666666664, 16 + 5);
    book.PutText(SheetHours, 0, 0, "Часовой архив с 01.02.2024", 16);
    book.PutNumber(SheetHours, 0, 8, 45323, 16 + 1);
    book.PutNumber(SheetDays, 2, 9, 12.5, 2);
    book.PutNumber(SheetDays, 3, 9, 24, 3);
    book.PutText(SheetDays, 4, 9, "E\tR\nS", 6);
    book.PutNumber(SheetMonths, 0, 8, 0.1, 7);
    book.PutText(SheetMonths, 0, 9, "", 4);
    ASSERT_TRUE(book.Write().Ok);

    TRunResult r = RunDump(book.FileName(), dir);
    EXPECT_EQ(r.Status, 0) << ReadText(dir.File("stderr.txt"));
    EXPECT_EQ(r.Out, "0\t9\t2\tnumber\t12.5\t2\t#######0.000\n"
                     "0\t9\t3\tnumber\t24\t3\t#######0.000\n"
                     "0\t9\t4\ttext\tE\\tR\\nS\t6\tGeneral\n"
                     "1\t0\t0\ttext\tЧасовой архив с 01.02.2024\t16\tGeneral\n"
                     "1\t8\t0\tnumber\t45323\t17\tdd/mm/yy\n"
                     "1\t8\t1\tnumber\t45323.041666666664\t21\tHh:mm\n"
                     "2\t8\t0\tnumber\t0.1\t7\tmmmm yyyy\n"
                     "2\t9\t0\ttext\t\t4\tGeneral\n");
}

TEST(WorkbookDump, UnreadableFilesExitWithOne) {
    TTempDir dir;
    {
        std::ofstream out(dir.File("text.xls"));
        out << "not a workbook\n";
    }
    for (const std::string& file : {dir.File("missing.xls"), dir.File("text.xls")}) {
        SCOPED_TRACE(file);
        TRunResult r = RunDump(file, dir);
        EXPECT_EQ(r.Status, 1);
        EXPECT_TRUE(r.Out.empty());
        std::string message = ReadText(dir.File("stderr.txt"));
        EXPECT_NE(message.find("книга не прочитана"), std::string::npos) << message;
        EXPECT_NE(message.find(file), std::string::npos) << message;
    }
}

} // namespace
} // namespace virs::test
