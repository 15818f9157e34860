// Saving the text pane and copying the archive workbook: names by filter,
// the file image (Windows-1251, CR LF), replacing in one step, and every
// failure told in Russian with the target left alone.

#include <gtest/gtest.h>

#include "tests/model/TestFolder.h"
#include "views/ViewSave.h"

namespace virs {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

struct TNameCase {
    const char* Chosen;
    int Filter;
    const char* Saved;
};

TEST(SaveName, ExtensionFollowsTheChosenFilter) {
    const TNameCase cases[] = {
        {"report.xls", 1, "report.txt"}, {"report", 1, "report.txt"},
        {"report.txt", 1, "report.txt"}, {"report.txt", 2, "report.xls"},
        {"report", 2, "report.xls"},     {"dir.d/report", 1, "dir.d/report.txt"},
        {"a.b.c", 2, "a.b.xls"},         {"/tmp/отчёт.XLS", 1, "/tmp/отчёт.txt"},
    };
    for (const TNameCase& c : cases)
        EXPECT_EQ(SaveNameForFilter(c.Chosen, c.Filter), fs::path(c.Saved)) << c.Chosen;
    EXPECT_STREQ(SaveDialogFilter, "текстовый файл|*.txt|файл Microsoft Excel|*.xls");
}

TEST(SaveText, Windows1251WithCrLfAfterEveryLine) {
    // "Дата" in Windows-1251 is C4 E0 F2 E0; "№" is B9; "ё" is B8.
    EXPECT_EQ(ViewTextFileBytes({"Дата", "", "№ 5 ё"}),
              std::string("\xC4\xE0\xF2\xE0\r\n\r\n\xB9 5 \xB8\r\n"));
    EXPECT_EQ(ViewTextFileBytes({}), "");
}

TEST(SaveText, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    test::TempFolder folder;
    const fs::path target = folder / "view.txt";
    WriteBytes(target, std::string(5000, 'x'));
    const TSaveOutcome saved = SaveViewText(target, {"a", "б"});
    ASSERT_TRUE(saved.Ok) << saved.Message;
    EXPECT_EQ(ReadBytes(target), "a\r\n\xE1\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path), fs::directory_iterator()), 1);
}

TEST(SaveText, TemporaryNameTakenByAnotherFileIsNotTouched) {
    // Someone else's files beside the target keep their content whatever their names.
    test::TempFolder folder;
    const fs::path target = folder / "view.txt";
    WriteBytes(folder / "view.txt.tmp", "theirs");
    WriteBytes(folder / ".view.txt.tmp", "theirs too");
    ASSERT_TRUE(SaveViewText(target, {"ours"}).Ok);
    EXPECT_EQ(ReadBytes(folder / "view.txt.tmp"), "theirs");
    EXPECT_EQ(ReadBytes(folder / ".view.txt.tmp"), "theirs too");
    EXPECT_EQ(ReadBytes(target), "ours\r\n");
}

TEST(SaveText, FailuresAreToldAndChangeNothing) {
    test::TempFolder folder;
    // A folder that does not exist, and a target that is a folder (cannot be replaced).
    fs::create_directories(folder / "busy.txt");
    WriteBytes(folder / "busy.txt" / "inside", "kept");
    for (const fs::path& target : {folder / "no" / "such" / "view.txt", folder / "busy.txt"}) {
        const TSaveOutcome saved = SaveViewText(target, {"a"});
        EXPECT_FALSE(saved.Ok) << target;
        EXPECT_EQ(saved.Message.rfind("Не удалось сохранить файл " + target.string() + ":\r", 0),
                  0u)
            << saved.Message;
        EXPECT_GT(saved.Message.size(),
                  ("Не удалось сохранить файл " + target.string() + ":\r").size());
    }
    EXPECT_EQ(ReadBytes(folder / "busy.txt" / "inside"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path), fs::directory_iterator()), 1);
}

TEST(CopyWorkbook, CopiesTheArchiveWhateverTheView) {
    test::TempFolder folder;
    std::string book(70000, '\0');
    for (std::size_t i = 0; i < book.size(); ++i)
        book[i] = static_cast<char>(i * 31 % 256);
    WriteBytes(folder / "ВИРС-Д №2.xls", book);
    WriteBytes(folder / "copy.xls", "old copy");
    const TSaveOutcome copied =
        CopyArchiveWorkbook(folder.Path, "ВИРС-Д №2.xls", folder / "copy.xls");
    ASSERT_TRUE(copied.Ok) << copied.Message;
    EXPECT_EQ(ReadBytes(folder / "copy.xls"), book);
    EXPECT_EQ(ReadBytes(folder / "ВИРС-Д №2.xls"), book);
}

TEST(CopyWorkbook, EveryFailureIsToldInRussian) {
    test::TempFolder folder;
    WriteBytes(folder / "book.xls", "BOOK");
    fs::create_directories(folder / "locked.xls");
    struct TCase {
        std::string Archive;
        fs::path Target;
        std::string MessageStart;
    } const cases[] = {
        {"", folder / "a.xls", "У прибора ещё нет архива: сначала прочитайте"},
        {"missing.xls", folder / "a.xls", "Не удалось прочитать архив прибора missing.xls:\r"},
        {"book.xls", folder / "locked.xls",
         "Не удалось сохранить копию архива в " + (folder / "locked.xls").string() + ":\r"},
        {"book.xls", folder / "none" / "a.xls",
         "Не удалось сохранить копию архива в " + (folder / "none" / "a.xls").string() + ":\r"},
    };
    for (const TCase& c : cases) {
        const TSaveOutcome copied = CopyArchiveWorkbook(folder.Path, c.Archive, c.Target);
        EXPECT_FALSE(copied.Ok) << c.Archive;
        EXPECT_EQ(copied.Message.rfind(c.MessageStart, 0), 0u) << copied.Message;
    }
    EXPECT_FALSE(fs::exists(folder / "a.xls"));
    EXPECT_TRUE(fs::is_directory(folder / "locked.xls"));
}

} // namespace
} // namespace virs
