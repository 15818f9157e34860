#pragma once
// What the tool bar's save and print buttons and the utilities menu do: the
// save dialog and the copy of the archive workbook, printing on the default
// printer, and the dialogs TForm4, TForm8 and TForm9 (created on first use,
// kept, their port lists filled each time they open).

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include "service/ServiceDialogSupport.h"
#include "shell/MainWindow.h"

class QDialog;
class QPrinter;

namespace virs {

class TForm4;
class TForm8;
class TForm9;

class TServiceWiring : public QObject {
    Q_OBJECT
public:
    explicit TServiceWiring(TForm1& window);

    // The services to hand to the window.
    TShellServices Services();

    // ---- seams, each with the real thing by default ----
    // SaveDialog1: fills the chosen name and filter (1 text, 2 workbook); false when cancelled.
    std::function<bool(QWidget* owner, QString& name, int& filter)> SaveDialog1;
    // The printer to print on (the default printer).
    std::function<std::unique_ptr<QPrinter>()> MakePrinter;
    // Shows a utility dialog modally.
    std::function<void(QDialog* dialog)> ShowDialog;
    // Ports, messages and questions of the utility dialogs.
    TServiceDialogHooks DialogHooks;

    void SaveView();
    void PrintView();
    void OpenModemSetup(QWidget* owner);
    void OpenAdapterAddresses(QWidget* owner);
    void OpenFirmwareUpdate(QWidget* owner);

    // The lines of the text pane (an empty pane has none).
    std::vector<std::string> MemoLines() const;
    QString LastSaveName; // the dialog keeps the name last chosen

    TForm4* Form4 = nullptr;
    TForm8* Form8 = nullptr;
    TForm9* Form9 = nullptr;

private:
    void Tell(const std::string& text);
    TForm1& Window;
};

} // namespace virs
