#include "shell/MainToolBar.h"

#include "shell/ShellImages.h"
#include "shell/ShellTexts.h"

namespace virs {

TMainToolBar::TMainToolBar(QWidget* parent) : QToolBar(parent) {
    setObjectName("ToolBar1");
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::PreventContextMenu);

    using namespace texts;
    ToolButton5 = AddButton("ToolButton5", HintNewNode, ToolNewNode);
    ToolButton6 = AddButton("ToolButton6", HintNewDevice, ToolNewDevice);
    ToolButton20 = AddButton("ToolButton20", HintClone, ToolClone);
    ToolButton7 = AddButton("ToolButton7", HintDelete, ToolDelete);
    addSeparator();
    ToolButton18 = AddButton("ToolButton18", HintDetail, ToolDetail, true);
    ToolButton8 = AddButton("ToolButton8", HintAddParam, ToolAddParam);
    ToolButton9 = AddButton("ToolButton9", HintRemoveParam, ToolRemoveParam);
    addSeparator();
    ToolButton14 = AddButton("ToolButton14", HintConnect, ToolConnect, true);
    ToolButton16 = AddButton("ToolButton16", HintStartStop, ToolStart, true);
    ToolButton13 = AddButton("ToolButton13", HintCyclic, ToolCyclic, true);
    addSeparator();
    ToolButton3 = AddButton("ToolButton3", HintSaveAs, ToolSave);
    ToolButton2 = AddButton("ToolButton2", HintPrint, ToolPrint);
    addSeparator();
    ToolButton1 = AddButton("ToolButton1", HintUtilities, ToolSettings);
    ToolButton12 = AddButton("ToolButton12", HintHelp, ToolHelp);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    N2 = PopupMenu1->addAction(MenuModemSetup);
    N2->setObjectName("N2");
    N3 = PopupMenu1->addAction(MenuAdapterAddresses);
    N3->setObjectName("N3");
    N11 = PopupMenu1->addAction(MenuFirmware);
    N11->setObjectName("N11");
    PopupMenu1->addSeparator();
    N6 = PopupMenu1->addAction(MenuFont);
    N6->setObjectName("N6");
    ToolButton1->setMenu(PopupMenu1);
    ToolButton1->setPopupMode(QToolButton::InstantPopup);
}

void TMainToolBar::SetImage(QToolButton* button, int index) {
    button->setIcon(ToolIcon(index));
    button->setProperty("imageIndex", index);
}

QToolButton* TMainToolBar::AddButton(const char* name, const char* hint, int image, bool check) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setToolTip(QString::fromUtf8(hint));
    button->setAccessibleName(QString::fromUtf8(hint));
    button->setCheckable(check);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    SetImage(button, image);
    addWidget(button);
    return button;
}

} // namespace virs
