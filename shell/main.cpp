// virs-link: the main window of the meter link program.

#include <QApplication>
#include <QTimer>

#include "shell/MainWindow.h"
#include "shell/QtTranslations.h"
#include "shell/ServiceWiring.h"
#include "shell/TermSignal.h"
#include "shell/WindowLink.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("virs-link");
    virs::InstallQtTranslations(app); // without the file the dialogs stay English
    virs::TForm1 window(".");
    virs::TWindowLink link(window);
    window.SetLinkController(&link);
    auto* services = new virs::TServiceWiring(window);
    window.SetServices(services->Services());
    virs::TTerminationWatch termination;
    // The close sequence saves base.dat and closes the link; a connect in
    // progress is cancelled first. The program ends even if the link refuses
    // to close (the session is ending).
    QObject::connect(&termination, &virs::TTerminationWatch::TerminationRequested, &window,
                     [&window](int) { window.RequestTermination(); });
    window.show();
    return app.exec();
}
