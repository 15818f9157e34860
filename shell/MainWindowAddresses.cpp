// TForm1: devices of one node that share a network number. The move or clone
// that brings them about is carried out; the status text and the device panel
// say that both meters would answer on the line at once.

#include <QLabel>

#include "model/NetAddressClash.h"
#include "shell/MainWindow.h"
#include "shell/NetAddressNotes.h"

namespace virs {

namespace {

constexpr int NetAddressPanelRow = 3;

QString DeviceName(const StationBase& base, int node, int device) {
    return "«" + QString::fromStdString(base.Devices[node][device].NameSlot.Value.Get()) + "»";
}

QString NameList(const StationBase& base, int node, const std::vector<int>& devices) {
    QStringList names;
    for (int d : devices)
        names << DeviceName(base, node, d);
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(", ") + " и " + last;
}

} // namespace

QString NetAddressPanelNote(const StationBase& base, int node, int device) {
    const std::vector<int> others = DevicesSharingNetAddress(base, node, device);
    if (others.empty())
        return {};
    return QString("Сетевой номер %1 есть и у %2 %3 этого узла: на запрос ответят "
                   "одновременно несколько приборов.")
        .arg(base.Devices[node][device].NetAddress)
        .arg(others.size() == 1 ? "прибора" : "приборов")
        .arg(NameList(base, node, others));
}

QString NetAddressStatusText(const StationBase& base, int node, int device) {
    const std::vector<TNetAddressClash> clashes = NetAddressClashes(base, node);
    if (clashes.empty())
        return {};
    // The clash of the device just moved, cloned or edited, else the node's first.
    const TNetAddressClash* shown = &clashes.front();
    for (const TNetAddressClash& clash : clashes)
        for (int d : clash.Devices)
            if (d == device)
                shown = &clash;
    return QString("Внимание: в узле «%1» у приборов %2 одинаковый сетевой номер %3 — "
                   "они ответят на линии одновременно.")
        .arg(QString::fromStdString(base.Nodes[node].NameSlot.Value.Get()))
        .arg(NameList(base, node, shown->Devices))
        .arg(shown->NetAddress);
}

void TForm1::ShowNetAddressClash(bool announce) {
    const StationBase& base = ProgramState.Base;
    const int node = base.SelNode, device = base.SelDevice;
    const QString note =
        base.Device(node, device) ? NetAddressPanelNote(base, node, device) : QString();
    Panel1->SetNetAddressNote(note);
    if (ValueListEditor2()->DataRowCount() >= NetAddressPanelRow)
        ValueListEditor2()->MarkValue(NetAddressPanelRow, note);
    if (announce && node < base.NodeCount()) {
        const QString status = NetAddressStatusText(base, node, device);
        if (!status.isEmpty())
            SetStatusText(status);
    }
}

} // namespace virs
