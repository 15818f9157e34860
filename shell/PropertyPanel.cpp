#include "shell/PropertyPanel.h"

#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include "shell/PropertyList.h"
#include "shell/ShellTexts.h"

namespace virs {

TPropertyPanel::TPropertyPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("Panel1");
    setMinimumWidth(245);
    auto* nodeBox = new QWidget(this);
    auto* nodeLayout = new QVBoxLayout(nodeBox);
    nodeLayout->setContentsMargins(0, 0, 0, 0);
    nodeLayout->setSpacing(2);
    NodeCaption = new QLabel(texts::CaptionNode, nodeBox);
    NodeCaption->setObjectName("NodeCaption");
    ValueListEditor1 = new TPropertyList(nodeBox);
    ValueListEditor1->setObjectName("ValueListEditor1");
    nodeLayout->addWidget(NodeCaption);
    nodeLayout->addWidget(ValueListEditor1, 1);
    DeviceBox = new QWidget(this);
    auto* deviceLayout = new QVBoxLayout(DeviceBox);
    deviceLayout->setContentsMargins(0, 0, 0, 0);
    deviceLayout->setSpacing(2);
    DeviceCaption = new QLabel(texts::CaptionDevice, DeviceBox);
    DeviceCaption->setObjectName("DeviceCaption");
    ValueListEditor2 = new TPropertyList(DeviceBox);
    ValueListEditor2->setObjectName("ValueListEditor2");
    deviceLayout->addWidget(DeviceCaption);
    deviceLayout->addWidget(ValueListEditor2, 1);
    NetAddressNoteLabel = new QLabel(DeviceBox);
    NetAddressNoteLabel->setObjectName("NetAddressNote");
    NetAddressNoteLabel->setWordWrap(true);
    NetAddressNoteLabel->setStyleSheet("QLabel { background: #ffd699; padding: 2px; }");
    NetAddressNoteLabel->hide();
    deviceLayout->addWidget(NetAddressNoteLabel);
    for (QLabel* caption : {NodeCaption, DeviceCaption}) {
        QFont bold = caption->font();
        bold.setBold(true);
        caption->setFont(bold);
        caption->setAlignment(Qt::AlignCenter);
        caption->setFrameStyle(QFrame::Panel | QFrame::Raised);
    }
    PanelSplitter = new QSplitter(Qt::Vertical, this);
    PanelSplitter->setObjectName("PanelSplitter");
    PanelSplitter->setChildrenCollapsible(false);
    PanelSplitter->addWidget(nodeBox);
    PanelSplitter->addWidget(DeviceBox);
    auto* panelLayout = new QVBoxLayout(this);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(PanelSplitter);
}

void TPropertyPanel::ShowNodeRows(bool on) {
    NodeCaption->setVisible(on);
    ValueListEditor1->setVisible(on);
    PanelSplitter->setVisible(on);
}

bool TPropertyPanel::NodeRowsShown() const {
    return !NodeCaption->isHidden();
}

void TPropertyPanel::ShowDeviceRows(bool on) {
    DeviceBox->setVisible(on);
}

bool TPropertyPanel::DeviceRowsShown() const {
    return !DeviceBox->isHidden();
}

void TPropertyPanel::SetNetAddressNote(const QString& note) {
    NetAddressNoteLabel->setText(note);
    NetAddressNoteLabel->setVisible(!note.isEmpty());
}

QString TPropertyPanel::NetAddressNote() const {
    return NetAddressNoteLabel->text();
}

bool TPropertyPanel::NetAddressNoteShown() const {
    return !NetAddressNoteLabel->isHidden();
}

} // namespace virs
