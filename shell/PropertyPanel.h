#pragma once
// The property panel of the main window (Panel1, shown in detail mode): the
// caption "Узел" over the node panel ValueListEditor1, a splitter, and the
// caption "Прибор" over the device panel ValueListEditor2. It owns its
// captions and splitter; the window fills the two lists.

#include <QWidget>

class QLabel;
class QSplitter;

namespace virs {

class TPropertyList;

class TPropertyPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPropertyPanel(QWidget* parent = nullptr);

    TPropertyList* NodeList() const { return ValueListEditor1; }
    TPropertyList* DeviceList() const { return ValueListEditor2; }
    // The node caption, the node panel and the panel splitter (hidden while
    // the tree is empty).
    void ShowNodeRows(bool on);
    bool NodeRowsShown() const;
    // The device caption and the device panel (a device is selected).
    void ShowDeviceRows(bool on);
    bool DeviceRowsShown() const;
    // The note under the device panel that the device shares its network
    // number with another device of its node; hidden when `note` is empty.
    void SetNetAddressNote(const QString& note);
    QString NetAddressNote() const;
    bool NetAddressNoteShown() const;

private:
    QLabel* NodeCaption; // "Узел"
    TPropertyList* ValueListEditor1;
    QSplitter* PanelSplitter;
    QWidget* DeviceBox;    // caption "Прибор" and the device panel
    QLabel* DeviceCaption; // "Прибор"
    TPropertyList* ValueListEditor2;
    QLabel* NetAddressNoteLabel;
};

} // namespace virs
