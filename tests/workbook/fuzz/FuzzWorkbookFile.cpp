// libFuzzer target: a whole .xls file through the compound-file and record
// readers. Whatever decodes must encode again (when it fits Excel 5) and decode
// once more; nothing may crash or read out of bounds.

#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "workbook/Workbook.h"

namespace {
void Quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
} // namespace

// libgsf 1.14.50 leaks the directory entries it has built when it rejects a
// damaged compound-file directory (a few hundred bytes per file); that is the
// library's, not a fault this target looks for.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgsf-1.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_log_set_default_handler(Quiet, nullptr); // libgsf warns about every damaged file
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view file(reinterpret_cast<const char*>(data), size);
    virs::TWorkbookData book;
    if (!virs::DecodeWorkbookFile(file, book).Ok)
        return 0;
    std::string again;
    if (!virs::EncodeWorkbookFile(book, again).Ok)
        return 0;
    virs::TWorkbookData second;
    if (!virs::DecodeWorkbookFile(again, second).Ok)
        std::abort();
    return 0;
}
