#pragma once
// Shared pieces of the window tests: a station base written into a temporary
// folder, a window opened on it, a stand-in for the link, and answering the
// modal dialog a command opens.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "shell/LinkController.h"
#include "shell/MainWindow.h"
#include "shell/WhenModal.h"

namespace virs::test {

struct TDeviceSpec {
    std::string Name;
    TDeviceType Type = DeviceOff;
};
struct TNodeSpec {
    std::string Name;
    TLinkType Link = LinkDirect;
    std::vector<TDeviceSpec> Devices;
};

inline StationBase MakeBase(const std::vector<TNodeSpec>& nodes) {
    StationBase base;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        base.InsertNode(static_cast<int>(n));
        TNode& node = base.Nodes[n];
        node.NameSlot.Value.Set(nodes[n].Name);
        node.LinkType = nodes[n].Link;
        for (std::size_t d = 0; d < nodes[n].Devices.size(); ++d) {
            base.SelNode = static_cast<u8>(n);
            base.InsertDevice(static_cast<int>(d));
            TDevice& device = base.Devices[n][d];
            device.NameSlot.Value.Set(nodes[n].Devices[d].Name);
            device.DeviceType = nodes[n].Devices[d].Type;
        }
    }
    base.SelNode = 0;
    base.SelDevice = NoDevice;
    return base;
}

inline void WriteBase(const QString& dir, const std::vector<TNodeSpec>& nodes) {
    TStationFileGuard guard;
    const TSaveReport report = SaveStationBase(MakeBase(nodes), guard, dir.toStdString());
    QVERIFY2(report.Ok, report.Message.c_str());
}

// Stands in for the node connection and the jobs.
class TFakeLink : public TLinkController {
public:
    explicit TFakeLink(TProgramState& state) : State(state) {}
    void ConnectClick(bool down) override {
        ++ConnectClicks;
        if (down) {
            State.LinkOpen = true;
            State.LinkNode = State.Base.SelNode;
        } else if (CanClose) {
            State.LinkOpen = false;
        }
    }
    void StartStopClick(bool) override {}
    void CyclicClick(bool) override {}
    bool WorkerParked() const override { return Parked; }
    int JobNode() const override { return Node; }
    int JobDevice() const override { return Device; }
    bool JobRunning() const override { return Running; }

    TProgramState& State;
    bool CanClose = true;
    bool Parked = true;
    bool Running = false;
    int Node = 0, Device = 0;
    int ConnectClicks = 0;
};

// A window on a station written into its own temporary folder. Messages are
// collected instead of shown.
struct TWindowFixture {
    QTemporaryDir Dir;
    std::unique_ptr<TForm1> Window;
    QStringList Messages;

    void Open(const std::vector<TNodeSpec>& nodes = {}) {
        QVERIFY(Dir.isValid());
        if (!nodes.empty())
            WriteBase(Dir.path(), nodes);
        Window = std::make_unique<TForm1>(Dir.path().toStdString());
        Window->MessageSink = [this](QMessageBox::Icon, const QString& text) { Messages << text; };
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }
    void Select(int node, int device = NoDevice) {
        QTreeWidgetItem* item = Window->TreeView1->Item(node, device);
        QVERIFY(item);
        Window->TreeView1->setCurrentItem(item);
    }
    QStringList TreeTexts() const {
        QStringList texts;
        QTreeWidget* tree = Window->TreeView1;
        for (int n = 0; n < tree->topLevelItemCount(); ++n) {
            texts << tree->topLevelItem(n)->text(0);
            for (int d = 0; d < tree->topLevelItem(n)->childCount(); ++d)
                texts << "  " + tree->topLevelItem(n)->child(d)->text(0);
        }
        return texts;
    }
    QStringList ModelTexts() const {
        QStringList texts;
        const StationBase& base = Window->State().Base;
        for (int n = 0; n < base.NodeCount(); ++n) {
            texts << QString::fromStdString(base.Nodes[n].NameSlot.Value.Get());
            for (const TDevice& device : base.Devices[n])
                texts << "  " + QString::fromStdString(device.NameSlot.Value.Get());
        }
        return texts;
    }
};

} // namespace virs::test
