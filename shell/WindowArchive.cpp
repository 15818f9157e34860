#include "shell/WindowArchive.h"

#include <QApplication>

#include "views/ArchiveView.h"

namespace virs {

TWindowArchive::TWindowArchive(TForm1& window, TLinkSession& session)
    : Window(window), Session(session), Sink(Workbook, window.Folder(), ViewLocaleFromSystem()),
      Walk(Sink) {
    Walk.ShowError = [this](const std::string& text) { Show(QMessageBox::Critical, text); };
    Session.Archive = &Walk;
    // A refused archive (no free file name, too many rows) is said in a box
    // and in the status bar.
    Session.Job().ArchiveCheck = [this](TJobContext& job) {
        std::string refusal = Walk.Check(job);
        if (!refusal.empty())
            Show(QMessageBox::Warning, refusal);
        return refusal;
    };
    Window.ArchiveView = [this](const TDevice& device, int tab, const TViewLocale& locale,
                                TViewLines& lines) {
        RenderArchiveView(ViewBook, Window.Folder(), device, tab, locale, lines,
                          [this](const std::string& text) {
                              Window.SetStatusText(QString::fromStdString(text));
                              if (!text.empty()) // painted before the file is read
                                  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                          });
    };
}

void TWindowArchive::Show(QMessageBox::Icon icon, const std::string& text) {
    QString t = QString::fromStdString(text);
    t.replace('\r', '\n');
    if (Window.MessageSink) {
        Window.MessageSink(icon, t);
        return;
    }
    QMessageBox box(icon, Window.windowTitle(), t, QMessageBox::Ok, &Window);
    box.exec();
}

TWindowArchive::~TWindowArchive() {
    Window.ArchiveView = {};
    Session.Job().ArchiveCheck = {};
    Session.Archive = nullptr;
}

} // namespace virs
