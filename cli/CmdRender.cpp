// render: prints the text view of one device of a station database, as the main
// window's text pane would show it, without any link.

#include <cstdio>
#include <filesystem>
#include <string>

#include "acquisition/WorkArea.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/RenderPdf.h"
#include "model/AtomicFile.h"
#include "model/StationBase.h"
#ifdef VIRS_HAVE_WORKBOOK
#include "views/ArchiveView.h"
#endif
#include "views/DeviceView.h"
#include "views/ViewSave.h"

namespace virs::cli {
namespace {

const char* const RenderUsage = "Использование: virs-cli render --dir ПАПКА --node N --device K "
                                "[--view 0..4] [--locale ru|system] [--out ФАЙЛ.txt] [--pdf "
                                "ФАЙЛ.pdf]\n";

} // namespace

int CmdRender(const Args& args) {
    std::string dir, outFile, pdfFile;
    int node = -1, device = -1, view = 0;
    bool systemLocale = false;
    const bool parsed =
        ParseOptionPairs(args, RenderUsage, [&](const std::string& name, const std::string& value) {
            if (name == "--dir")
                dir = value;
            else if (name == "--node")
                return ParseNumber(value, 0, MaxNodes - 1, node);
            else if (name == "--device")
                return ParseNumber(value, 0, MaxDevicesPerNode - 1, device);
            else if (name == "--view")
                return ParseNumber(value, 0, 4, view);
            else if (name == "--out" && !value.empty())
                outFile = value;
            else if (name == "--pdf" && !value.empty())
                pdfFile = value;
            else if (name == "--locale" && (value == "ru" || value == "system"))
                systemLocale = value == "system";
            else
                return false;
            return true;
        });
    if (!parsed)
        return 2;
    if (dir.empty() || node < 0 || device < 0) {
        std::fprintf(stderr, "%s", RenderUsage);
        return 2;
    }
    if (!pdfFile.empty() && !PdfPrintingAvailable()) {
        std::fprintf(stderr,
                     "virs-cli: --pdf недоступен: программа собрана без печати (VIRS_GUI=OFF)\n");
        return 2;
    }

    // Read-only: the window's loading also refreshes base.bak, which a view
    // printed beside a running program must not touch.
    const std::filesystem::path file = std::filesystem::path(dir) / "base.dat";
    std::string bytes, error;
    if (!ReadWholeFile(file, bytes, &error, MaxStationImageSize)) {
        std::fprintf(stderr, "virs-cli: не удалось прочитать %s: %s\n", file.string().c_str(),
                     error.c_str());
        return 1;
    }
    StationBase base;
    if (ParseStationBaseImage(bytes, base) != TLoadOutcome::Loaded)
        std::fprintf(stderr, "virs-cli: внимание: размер %s не соответствует числу записей\n",
                     file.string().c_str());
    if (node >= base.NodeCount()) {
        std::fprintf(stderr, "virs-cli: узла %d нет (узлов в базе: %d)\n", node, base.NodeCount());
        return 2;
    }
    if (device >= base.DeviceCount(node)) {
        std::fprintf(stderr, "virs-cli: прибора %d в узле %d нет (приборов в узле: %d)\n", device,
                     node, base.DeviceCount(node));
        return 2;
    }

    const TDevice& record = base.Devices[node][device];
    // The work area starts empty here; the stored image is what the device shows.
    DeviceWorkArea area;
    LoadDeviceImage(record, area);
    const TViewLocale locale = systemLocale ? SystemViewLocale() : RussianViewLocale();
#ifdef VIRS_HAVE_WORKBOOK
    // The archive tabs read the device's workbook (a bare name is in DIR).
    TWorkbook xls;
    const TArchiveViewRenderer archive = [&](const TDevice& d, int tab, const TViewLocale& l,
                                             TViewLines& lines) {
        RenderArchiveView(xls, std::filesystem::path(dir), d, tab, l, lines);
    };
#else
    const TArchiveViewRenderer archive; // a build without the workbook shows no archive
#endif
    const TDeviceViewText text = RenderDeviceView(view, record, area, locale, archive);
    if (!outFile.empty() || !pdfFile.empty()) {
        // The files the window's "сохранить как" and "печать" would make.
        if (!outFile.empty()) {
            const TSaveOutcome saved = SaveViewText(outFile, text.Lines);
            if (!saved.Ok) {
                std::fprintf(stderr, "virs-cli: %s\n", saved.Message.c_str());
                return 1;
            }
        }
        if (!pdfFile.empty() && !PrintLinesToPdf(pdfFile, text.Lines))
            return 1;
        return 0;
    }
    for (const std::string& line : text.Lines)
        std::printf("%s\n", line.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace virs::cli
