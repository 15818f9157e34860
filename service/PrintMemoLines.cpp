#include "service/PrintMemoLines.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QString>

namespace virs {

namespace {

constexpr double LargestPointSize = 10, SmallestPortraitSize = 7;
constexpr double MarginMm = 10;
// Shorter texts are laid out as if 80 characters wide, so a short table is not
// blown up.
constexpr int NarrowestLine = 80;

QFont PrintFont(double pointSize) {
    QFont font("DejaVu Sans Mono");
    font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    font.setFixedPitch(true);
    font.setPointSizeF(pointSize);
    return font;
}

// The largest size (in steps of 0.1 pt, at most 10 pt) at which `chars`
// characters fit `width` device pixels.
double FittingSize(QPrinter& printer, int chars, double width) {
    const QFontMetricsF metrics(PrintFont(LargestPointSize), &printer);
    const double advance = metrics.horizontalAdvance(QLatin1Char('0'));
    if (advance <= 0)
        return LargestPointSize;
    const double fit = LargestPointSize * width / (advance * chars);
    return std::min(LargestPointSize, std::floor(fit * 10) / 10);
}

double PrintableWidth(QPrinter& printer) {
    return printer.pageLayout().paintRectPixels(printer.resolution()).width();
}

TPrintLayout ChooseLayout(QPrinter& printer, const std::vector<QString>& lines) {
    int widest = NarrowestLine;
    for (const QString& line : lines)
        widest = std::max(widest, static_cast<int>(line.size()));
    TPrintLayout layout;
    printer.setPageOrientation(QPageLayout::Portrait);
    layout.PointSize = FittingSize(printer, widest, PrintableWidth(printer));
    if (layout.PointSize < SmallestPortraitSize) {
        printer.setPageOrientation(QPageLayout::Landscape);
        layout.Landscape = true;
        layout.PointSize = FittingSize(printer, widest, PrintableWidth(printer));
    }
    return layout;
}

} // namespace

bool PrintMemoLines(QPrinter& printer, const std::vector<std::string>& lines,
                    TPrintLayout* layoutOut) {
    std::vector<QString> text;
    text.reserve(lines.size());
    for (const std::string& line : lines)
        text.push_back(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));

    printer.setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                           QPageLayout::Millimeter);
    TPrintLayout layout = ChooseLayout(printer, text);

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QFont font = PrintFont(layout.PointSize);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double step = metrics.lineSpacing();
    layout.LinesPerPage = std::max(1, static_cast<int>(page.height() / step));
    if (layoutOut)
        *layoutOut = layout;

    bool ok = true;
    int onPage = 0;
    for (const QString& line : text) {
        if (onPage == layout.LinesPerPage) {
            if (!printer.newPage()) {
                ok = false;
                break;
            }
            onPage = 0;
        }
        // The painter's origin is the corner of the printable area.
        painter.drawText(QPointF(0, onPage * step + metrics.ascent()), line);
        ++onPage;
    }
    const bool closed = painter.end();
    return ok && closed && printer.printerState() != QPrinter::Error;
}

bool PrintMemoLinesToPdf(const std::filesystem::path& file, const std::vector<std::string>& lines,
                         TPrintLayout* layout) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(file.string()));
    printer.setPageSize(QPageSize(QPageSize::A4));
    return PrintMemoLines(printer, lines, layout);
}

} // namespace virs
