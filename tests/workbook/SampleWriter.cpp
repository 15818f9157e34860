// Writes the sample workbooks into a folder: the sources of the reference files
// that other programs convert (tests/workbook/data/make-reference.sh).

#include <cstdio>

#include "tests/workbook/SampleBooks.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: workbook_sample_writer DIR\n");
        return 2;
    }
    for (const virs::test::TSampleBook& b : virs::test::MakeSampleBooks(argv[1])) {
        virs::TWorkbookResult r = b.Book.Write();
        if (!r.Ok) {
            std::fprintf(stderr, "%s: %s\n", b.Name.c_str(), r.Error.c_str());
            return 1;
        }
    }
    return 0;
}
