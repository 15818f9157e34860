// workbook-bench: writes and reads an archive workbook of a leap year of hourly
// rows (8 784 rows x 23 columns, the widest hourly sheet) and times both, then
// times LibreOffice's headless conversion of the same file for comparison.
//
//   workbook-bench [--runs N] [--no-libreoffice] [--keep FILE]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "workbook/Workbook.h"

namespace {

using Clock = std::chrono::steady_clock;
using virs::TWorkbook;

constexpr std::uint32_t Rows = 8784; // 366 days x 24 hours
constexpr std::uint32_t Columns = 23;
constexpr std::uint32_t FirstDataRow = 22;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Fill(TWorkbook& book) {
    const std::size_t sheet = virs::SheetHours;
    book.PutText(sheet, 0, 0, "Часовой архив с 01.01.2024 по 31.12.2024", 0);
    book.PutText(sheet, 0, 1, "создан: 01.01.2025 10:00:00", 0);
    for (std::uint32_t c = 0; c < Columns; ++c)
        book.PutText(sheet, c, FirstDataRow - 1, "Столбец " + std::to_string(c), 4);
    const double start = 45292; // 2024-01-01
    for (std::uint32_t i = 0; i < Rows; ++i) {
        std::uint32_t row = FirstDataRow + i;
        double when = start + i / 24.0;
        book.PutNumber(sheet, 0, row, static_cast<double>(static_cast<long>(when)), 1);
        book.PutNumber(sheet, 1, row, when, 5);
        for (std::uint32_t c = 2; c < 10; ++c)
            book.PutNumber(sheet, c, row, 1000.0 * c + i * 0.125, 2);
        for (std::uint32_t c = 10; c < 18; ++c)
            book.PutNumber(sheet, c, row, (i % 24) + c * 0.01, 3);
        for (std::uint32_t c = 18; c < 22; ++c)
            book.PutText(sheet, c, row, i % 7 ? "" : "C>", 0);
        book.PutText(sheet, 22, row, i % 11 ? "" : "ESU", 0);
    }
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool libreOffice = true;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--no-libreoffice")
            libreOffice = false;
        else if (a == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else {
            std::fprintf(stderr,
                         "usage: workbook-bench [--runs N] [--no-libreoffice] [--keep FILE]\n");
            return 2;
        }
    }
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("virs-workbook-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string file = (dir / "hours.xls").string();

    std::vector<double> fill, write, read;
    for (int r = 0; r < runs; ++r) {
        TWorkbook book;
        book.SetFileName(file);
        auto t0 = Clock::now();
        Fill(book);
        auto t1 = Clock::now();
        virs::TWorkbookResult w = book.Write();
        auto t2 = Clock::now();
        if (!w.Ok) {
            std::fprintf(stderr, "write failed: %s\n", w.Error.c_str());
            return 1;
        }
        TWorkbook back;
        virs::TWorkbookResult rd = back.Read(file);
        auto t3 = Clock::now();
        if (!rd.Ok || back.Sheet(virs::SheetHours).Cells.size() !=
                          book.Sheet(virs::SheetHours).Cells.size()) {
            std::fprintf(stderr, "read back failed: %s\n", rd.Error.c_str());
            return 1;
        }
        fill.push_back(Seconds(t1 - t0));
        write.push_back(Seconds(t2 - t1));
        read.push_back(Seconds(t3 - t2));
    }
    std::printf("workbook: %u rows x %u columns, %zu bytes, median of %d runs\n", Rows, Columns,
                static_cast<std::size_t>(fs::file_size(file)), runs);
    std::printf("  fill (put cells):   %8.1f ms\n", Median(fill) * 1e3);
    std::printf("  write file:         %8.1f ms\n", Median(write) * 1e3);
    std::printf("  read file:          %8.1f ms\n", Median(read) * 1e3);

    if (libreOffice) {
        std::string profile = "file://" + (dir / "lo-profile").string();
        std::string command = "soffice -env:UserInstallation=" + profile +
                              // Sheet 2 ("hours") holds the rows; the default
                              // would convert the empty first sheet.
                              " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,"
                              "76,1,,0,false,true,false,false,false,2' --outdir '" +
                              (dir / "lo").string() + "' '" + file + "' >/dev/null 2>&1";
        // The first start creates LibreOffice's profile; it is timed apart.
        auto c0 = Clock::now();
        int status = std::system(command.c_str());
        double cold = Seconds(Clock::now() - c0);
        if (status != 0) {
            std::printf("  LibreOffice conversion: not available (soffice failed)\n");
        } else {
            std::vector<double> lo;
            for (int r = 0; r < std::min(runs, 3); ++r) {
                auto l0 = Clock::now();
                if (std::system(command.c_str()) != 0)
                    break;
                lo.push_back(Seconds(Clock::now() - l0));
            }
            double warm = lo.empty() ? cold : Median(lo);
            std::printf(
                "  LibreOffice headless conversion to csv: %8.1f ms (first start %.1f ms)\n",
                warm * 1e3, cold * 1e3);
            std::printf("  ratio LibreOffice / our read:  %6.1f\n", warm / Median(read));
            std::printf("  ratio LibreOffice / our write: %6.1f\n", warm / Median(write));
        }
    }
    if (!keep.empty())
        fs::copy_file(file, keep, fs::copy_options::overwrite_existing);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
