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
    QObject::connect(&termination, &virs::TTerminationWatch::TerminationRequested, &window,
                     [&window](int) {
                         // The close sequence saves base.dat and closes the link; the
                         // session is ending, so the program ends even if the link
                         // refuses to close.
                         window.close();
                         QApplication::quit();
                     });
    window.show();
    return app.exec();
}
