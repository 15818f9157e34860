// workbook-dump: every non-empty cell of every sheet of an .xls file, one line
// each, for looking into an archive workbook without a spreadsheet program.

#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "workbook/Workbook.h"

namespace virs::cli {
namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

} // namespace

int CmdWorkbookDump(const Args& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "Использование: virs-cli workbook-dump ФАЙЛ\n");
        return 2;
    }
    TWorkbook book;
    if (TWorkbookResult r = book.Read(args[0]); !r.Ok) {
        std::fprintf(stderr, "virs-cli: книга не прочитана: %s\n", r.Error.c_str());
        return 1;
    }
    std::string out;
    for (std::size_t s = 0; s < book.SheetCount(); ++s) {
        for (const auto& [key, cell] : book.Sheet(s).Cells) {
            bool text = cell.Kind == TCellKind::Text;
            out += std::to_string(s) + '\t' + std::to_string(KeyRow(key)) + '\t' +
                   std::to_string(KeyColumn(key)) + '\t' + (text ? "text" : "number") + '\t' +
                   (text ? Escaped(cell.Text) : ShortestNumberText(cell.Number)) + '\t' +
                   std::to_string(cell.Format) + '\t' +
                   Escaped(book.Format(cell.Format).NumberFormat) + '\n';
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace virs::cli
