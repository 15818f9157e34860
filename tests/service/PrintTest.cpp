// Printing the text pane into a PDF through the window's printing routine, read
// back with pdftotext (poppler): every line once, in order, pages split where
// they fill, the widest tables kept on the paper; and virs-cli render --out/--pdf.

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <sstream>

#include <QGuiApplication>
#include <gtest/gtest.h>

#include "service/PrintMemoLines.h"
#include "tests/cli/SimHarness.h"

namespace virs {
namespace {

namespace fs = std::filesystem;

// Standard output of a shell command.
std::string Shell(const std::string& command) {
    std::string out;
    std::FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    pclose(p);
    return out;
}

// Blanks folded to one and trimmed, as text extraction may space columns differently.
std::string Folded(const std::string& line) {
    std::string s = std::regex_replace(line, std::regex("[ \t]+"), " ");
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The PDF's text by page, each page its non-empty lines (folded).
std::vector<std::vector<std::string>> PdfPages(const fs::path& pdf) {
    const std::string text = Shell("pdftotext -layout '" + pdf.string() + "' -");
    std::vector<std::vector<std::string>> pages(1);
    std::string line;
    for (char c : text) {
        if (c == '\f') {
            if (!line.empty() && !Folded(line).empty())
                pages.back().push_back(Folded(line));
            line.clear();
            pages.emplace_back();
        } else if (c == '\n') {
            if (!Folded(line).empty())
                pages.back().push_back(Folded(line));
            line.clear();
        } else {
            line += c;
        }
    }
    while (!pages.empty() && pages.back().empty())
        pages.pop_back();
    return pages;
}

class PrintToPdf : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (Shell("command -v pdftotext").empty())
            return;
        static int argc = 3;
        static char name[] = "print-test", option[] = "-platform", platform[] = "offscreen";
        static char* argv[] = {name, option, platform, nullptr};
        App = std::make_unique<QGuiApplication>(argc, argv);
    }
    static void TearDownTestSuite() { App.reset(); }
    void SetUp() override {
        if (!App)
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    fs::path Pdf(const std::string& name) const { return Folder.Path / name; }

    test::TTempFolder Folder;
    static std::unique_ptr<QGuiApplication> App;
};
std::unique_ptr<QGuiApplication> PrintToPdf::App;

std::vector<std::string> NumberedLines(int count, int width) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) {
        std::string line = "строка " + std::to_string(i) + " ";
        // Cyrillic letters are one character each: pad by characters.
        int chars = 8 + static_cast<int>(std::to_string(i).size());
        for (int k = 0; chars < width; ++k, ++chars)
            line += static_cast<char>('a' + (i + k) % 26);
        lines.push_back(line);
    }
    return lines;
}

TEST_F(PrintToPdf, LinesInOrderAndPagesAsTheyFill) {
    const std::vector<std::string> lines = NumberedLines(150, 78);
    TPrintLayout layout;
    ASSERT_TRUE(PrintMemoLinesToPdf(Pdf("a.pdf"), lines, &layout));
    EXPECT_FALSE(layout.Landscape);
    EXPECT_EQ(layout.PointSize, 10);
    // A4 portrait less 10 mm margins is 277 mm = 785 pt; a 10 pt line of the
    // fixed-pitch font takes 11.5..12.5 pt, so 62..68 lines go on a page.
    EXPECT_GE(layout.LinesPerPage, 62);
    EXPECT_LE(layout.LinesPerPage, 68);
    const auto pages = PdfPages(Pdf("a.pdf"));
    const std::size_t perPage = static_cast<std::size_t>(layout.LinesPerPage);
    ASSERT_EQ(pages.size(), (150 + perPage - 1) / perPage);
    std::size_t next = 0;
    for (const auto& page : pages) {
        EXPECT_EQ(page.size(), std::min(perPage, lines.size() - next));
        for (const std::string& printed : page)
            EXPECT_EQ(printed, lines[next++]);
    }
    EXPECT_EQ(next, lines.size());
}

struct TWidthCase {
    int Width;
    bool Landscape;
    double MinSize, MaxSize;
};

TEST_F(PrintToPdf, WidestLineStaysOnThePaper) {
    // A fixed-pitch character is 0.602 em wide. A4 less 10 mm margins is
    // 538.6 pt wide upright and 785.2 pt lying: 80 characters fit upright at
    // 10 pt, 110 at 538.6 / (110 · 0.602) = 8.1 pt; 130 would need 6.9 pt
    // upright, so they go landscape at 10 pt; 170 landscape at 7.6 pt; the
    // 257-character ВИРС-Д2 archive line landscape at 5.0 pt.
    const TWidthCase cases[] = {
        {40, false, 10, 10},   {110, false, 7.9, 8.3}, {130, true, 9.8, 10},
        {170, true, 7.4, 7.8}, {257, true, 4.8, 5.2},
    };
    for (const TWidthCase& c : cases) {
        const std::vector<std::string> lines = NumberedLines(3, c.Width);
        TPrintLayout layout;
        const fs::path pdf = Pdf("w" + std::to_string(c.Width) + ".pdf");
        ASSERT_TRUE(PrintMemoLinesToPdf(pdf, lines, &layout));
        EXPECT_EQ(layout.Landscape, c.Landscape) << c.Width << " size " << layout.PointSize;
        EXPECT_GE(layout.PointSize, c.MinSize) << c.Width;
        EXPECT_LE(layout.PointSize, c.MaxSize) << c.Width;
        // Every character reached the page: nothing was cut at the margin.
        const auto pages = PdfPages(pdf);
        ASSERT_EQ(pages.size(), 1u) << c.Width;
        EXPECT_EQ(pages[0], lines) << c.Width;
        const std::string info = Shell("pdfinfo '" + pdf.string() + "'");
        EXPECT_NE(info.find(c.Landscape ? "842 x 595 pts" : "595 x 842 pts"), std::string::npos)
            << info;
    }
}

TEST_F(PrintToPdf, EmptyPanePrintsNothingAndIsNoError) {
    ASSERT_TRUE(PrintMemoLinesToPdf(Pdf("empty.pdf"), {}));
    EXPECT_TRUE(fs::exists(Pdf("empty.pdf")));
    EXPECT_TRUE(PdfPages(Pdf("empty.pdf")).empty());
}

TEST_F(PrintToPdf, DeviceThatCannotBeOpenedIsAnError) {
    EXPECT_FALSE(PrintMemoLinesToPdf(Folder.Path / "no" / "such" / "x.pdf", {"a"}));
}

// virs-cli render writes the file the window saves and the PDF it prints.
TEST_F(PrintToPdf, RenderOutAndPdf) {
    const fs::path dir = Folder.Path / "station";
    fs::create_directories(dir);
    ASSERT_EQ(test::RunCli({"make-demo", dir.string(), "--com", "201"}, Folder.Path).Exit, 0);
    const auto shown = test::RunCli(
        {"render", "--dir", dir.string(), "--node", "0", "--device", "3", "--view", "3"},
        Folder.Path);
    ASSERT_EQ(shown.Exit, 0);
    const fs::path txt = Folder.Path / "view.txt", pdf = Folder.Path / "view.pdf";
    const auto saved =
        test::RunCli({"render", "--dir", dir.string(), "--node", "0", "--device", "3", "--view",
                      "3", "--out", txt.string(), "--pdf", pdf.string()},
                     Folder.Path);
    ASSERT_EQ(saved.Exit, 0) << saved.Err;
    EXPECT_EQ(saved.Out, "");
    // The file, turned back by iconv and with CR LF as LF, is what render shows.
    EXPECT_EQ(Shell("iconv -f CP1251 -t UTF-8 '" + txt.string() + "' | sed 's/\\r$//'"), shown.Out);
    const std::string raw = test::ReadText(txt);
    EXPECT_EQ(raw.find('\n') == std::string::npos ? 'x' : raw[raw.find('\n') - 1], '\r');
    std::vector<std::string> expected;
    std::istringstream in(shown.Out);
    for (std::string line; std::getline(in, line);)
        if (!Folded(line).empty())
            expected.push_back(Folded(line));
    std::vector<std::string> printed;
    for (const auto& page : PdfPages(pdf))
        printed.insert(printed.end(), page.begin(), page.end());
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(test::RunCli({"render", "--dir", dir.string(), "--node", "0", "--device", "3",
                            "--out", (Folder.Path / "no" / "x.txt").string()},
                           Folder.Path)
                  .Exit,
              1);
}

} // namespace
} // namespace virs
