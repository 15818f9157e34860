// libFuzzer target: the record stream reader alone, so that mutations reach the
// records without first having to keep a compound file intact.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "workbook/BiffCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view stream(reinterpret_cast<const char*>(data), size);
    virs::TWorkbookData book;
    if (!virs::DecodeBiffStream(stream, book).Ok)
        return 0;
    std::string again;
    if (!virs::EncodeBiff5Stream(book, again).Ok)
        return 0;
    virs::TWorkbookData second;
    if (!virs::DecodeBiffStream(again, second).Ok || second.Sheets.size() != book.Sheets.size())
        std::abort();
    return 0;
}
