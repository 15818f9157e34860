#include "cli/RenderPdf.h"

#include <cstdio>

#ifdef VIRS_HAVE_PRINT
#include <QGuiApplication>

#include "service/PrintMemoLines.h"
#endif

namespace virs::cli {

#ifdef VIRS_HAVE_PRINT

bool PdfPrintingAvailable() {
    return true;
}

bool PrintLinesToPdf(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    // No display is needed for a PDF: the offscreen platform renders the fonts.
    char name[] = "virs-cli";
    char platformOption[] = "-platform";
    char platform[] = "offscreen";
    char* argv[] = {name, platformOption, platform, nullptr};
    int argc = 3;
    QGuiApplication app(argc, argv);
    if (!PrintMemoLinesToPdf(file, lines)) {
        std::fprintf(stderr, "virs-cli: %s: %s\n", PrintErrorText, file.string().c_str());
        return false;
    }
    return true;
}

#else

bool PdfPrintingAvailable() {
    return false;
}

bool PrintLinesToPdf(const std::filesystem::path&, const std::vector<std::string>&) {
    return false;
}

#endif

} // namespace virs::cli
