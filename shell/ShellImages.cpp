#include "shell/ShellImages.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

// The pictures and the manual are compiled into the shell library; a static
// library's resources are registered by hand, once.
static void RegisterShellResources() {
    Q_INIT_RESOURCE(shell);
}

namespace virs {

void EnsureShellResources() {
    static const bool Registered = (RegisterShellResources(), true);
    (void)Registered;
}

int NodeImage(TLinkType linkType) {
    switch (linkType) {
    case LinkDialUp:
        return TreeDialUpNode;
    case LinkGsm:
        return TreeGsmNode;
    default:
        return TreeDirectNode;
    }
}

int OpenNodeImage(TLinkType linkType) {
    return linkType == LinkDirect ? TreeDirectNodeOpen : TreeModemNodeOpen;
}

int DeviceImage(TDeviceType type, bool busy) {
    switch (type) {
    case DeviceOff:
        return TreeDeviceOff;
    case DeviceKren:
        return busy ? TreeKrenBusy : TreeKren;
    case DeviceVirsSh:
        return busy ? TreeVirsShBusy : TreeVirsSh;
    case DeviceVirsD2:
        return busy ? TreeVirsD2Busy : TreeVirsD2;
    default: // Toplin, ВИРС-Д, ВИРС-ДК share the picture
        return busy ? TreeVirsDBusy : TreeVirsD;
    }
}

namespace {

// Renders an SVG of the resource file at exactly the list's size, so the
// picture does not depend on an image plug-in being installed.
QPixmap Render(const QString& resource, int size) {
    EnsureShellResources();
    QSvgRenderer renderer(resource);
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return pixmap;
}

QString ToolFile(int index) {
    switch (index) {
    case ToolNewNode:
        return "tool-new-node";
    case ToolNewDevice:
        return "tool-new-device";
    case ToolDelete:
        return "tool-delete";
    case ToolDetail:
        return "tool-detail";
    case ToolLamp:
    case ToolLampToo:
        return "tool-lamp";
    case ToolAddParam:
        return "tool-add-param";
    case ToolRemoveParam:
        return "tool-remove-param";
    case ToolSave:
        return "tool-save";
    case ToolPrint:
        return "tool-print";
    case ToolSettings:
        return "tool-settings";
    case ToolHelp:
        return "tool-help";
    case ToolCyclic:
        return "tool-cyclic";
    case ToolClone:
        return "tool-clone";
    case ToolConnect:
        return "tool-connect";
    case ToolConnected:
        return "tool-connected";
    case ToolStart:
        return "tool-start";
    case ToolStop:
        return "tool-stop";
    default:
        return {};
    }
}

} // namespace

QIcon TreeIcon(int index) {
    if (index < 0 || index >= TreeImageCount)
        return {};
    const QString file = QString(":/shell/icons/tree-%1.svg").arg(index, 2, 10, QChar('0'));
    QIcon icon;
    const QPixmap pixmap = Render(file, 24);
    icon.addPixmap(pixmap, QIcon::Normal);
    icon.addPixmap(pixmap, QIcon::Selected); // same picture selected or not
    return icon;
}

QIcon ToolIcon(int index) {
    const QString name = ToolFile(index);
    if (name.isEmpty())
        return {};
    return QIcon(Render(":/shell/icons/" + name + ".svg", 16));
}

QPixmap LampPixmap(bool lit) {
    const QPixmap pixmap = Render(":/shell/icons/tool-lamp.svg", 16);
    if (lit)
        return pixmap;
    QStyleOption option;
    return QApplication::style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option);
}

} // namespace virs
