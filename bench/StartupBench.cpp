// startup-bench: how long the main window takes to show its first picture on a
// large station, and how much memory it holds then.
//
//   startup-bench                 the stations listed in main, each in a process of its own
//   startup-bench NODES DEVICES   one station of NODES nodes with DEVICES devices each
//
// The station is written into a temporary folder as base.dat; the window is
// created on it and shown offscreen. Printed per station: the base.dat size,
// the tree items the window shows, the time from the start of the process
// (the application object included) to the first painted window, the time of
// the window's creation alone, the resident memory then (VmRSS) and its peak
// (VmHWM).

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QTemporaryDir>

#include "shell/MainWindow.h"
#include "shell/QtTranslations.h"

namespace {

using namespace virs;

// Fills the records directly, so that stations beyond what the window lets an
// operator build can be measured too.
std::string StationImage(int nodes, int devicesPerNode) {
    StationBase base;
    base.Nodes.resize(static_cast<std::size_t>(nodes), NewNodeRecord());
    base.Devices.resize(static_cast<std::size_t>(nodes));
    const TDeviceType types[] = {DeviceVirsD, DeviceVirsSh, DeviceVirsDK, DeviceVirsD2, DeviceOff};
    for (int n = 0; n < nodes; ++n) {
        TNode& node = base.Nodes[n];
        node.NameSlot.Value.Set("Узел учёта № " + std::to_string(n + 1));
        node.LinkType = static_cast<TLinkType>(n % 3);
        node.DeviceCount = static_cast<u8>(devicesPerNode);
        for (int d = 0; d < devicesPerNode; ++d) {
            TDevice device = NewDeviceRecord();
            device.NameSlot.Value.Set("Расходомер " + std::to_string(n + 1) + "." +
                                      std::to_string(d + 1));
            device.DeviceType = types[d % 5];
            device.NetAddress = static_cast<u8>(d + 1);
            base.Devices[n].push_back(device);
        }
    }
    return StationBaseImage(base);
}

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0)
            return std::stol(line.substr(n + 1));
    return -1;
}

// Notes the end of the first paint of the window.
class TFirstPaint : public QObject {
public:
    bool Painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            Painted = true;
        return QObject::eventFilter(watched, event);
    }
};

std::size_t WriteStation(const QString& folder, int nodes, int devices) {
    const std::string image = StationImage(nodes, devices);
    std::ofstream file((folder + "/base.dat").toStdString(), std::ios::binary);
    file.write(image.data(), static_cast<std::streamsize>(image.size()));
    return file ? image.size() : 0;
}

// The measured process: the window on the station of `folder`.
int RunOne(int argc, char* argv[], QElapsedTimer& sinceStart) {
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int nodes = std::atoi(argv[2]);
    const int devices = std::atoi(argv[3]);
    const long fileSize = std::atol(argv[4]);
    QApplication app(argc, argv);
    InstallQtTranslations(app);
    QElapsedTimer creation;
    creation.start();
    TForm1 window(folder.toStdString());
    window.MessageSink = [](QMessageBox::Icon, const QString&) {};
    const double createMs = static_cast<double>(creation.nsecsElapsed()) / 1e6;
    TFirstPaint paint;
    window.TreeView1->viewport()->installEventFilter(&paint);
    window.show();
    while (!paint.Painted)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
    const double shownMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
    const long rss = StatusKb("VmRSS:"), peak = StatusKb("VmHWM:");
    int items = 0;
    QTreeWidget* tree = window.TreeView1;
    for (int n = 0; n < tree->topLevelItemCount(); ++n)
        items += 1 + tree->topLevelItem(n)->childCount();
    std::printf("%3d × %-3d  base.dat %9ld B  tree items %4d  window shown %7.1f ms  "
                "(creation %6.1f ms)  RSS %6.1f MB  peak %6.1f MB%s\n",
                nodes, devices, fileSize, items, shownMs, createMs, rss / 1024.0, peak / 1024.0,
                items == nodes * (devices + 1) ? "" : "  (station refused: too large)");
    std::fflush(stdout);
    window.close();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (argc >= 5)
        return RunOne(argc, argv, sinceStart);
    int nodes = 0, devices = 0;
    if (argc == 3) {
        nodes = std::atoi(argv[1]);
        devices = std::atoi(argv[2]);
        if (nodes < 1 || nodes > 255 || devices < 0 || devices > 255) {
            std::fprintf(stderr, "startup-bench [NODES DEVICES]: 1..255 nodes, 0..255 devices\n");
            return 2;
        }
    }
    // 255 × 10 is larger than the 256 tree items a station may have; the
    // largest stations the program reads are spread (23 × 10) or one node
    // full (1 × 255). The demo-sized station is there for comparison.
    std::vector<std::pair<int, int>> shapes = {{3, 2}, {23, 10}, {1, 255}, {255, 10}};
    if (nodes > 0)
        shapes = {{nodes, devices}};
    int failures = 0;
    for (const auto& [n, d] : shapes) {
        QTemporaryDir dir;
        const std::size_t size = dir.isValid() ? WriteStation(dir.path(), n, d) : 0;
        if (size == 0) {
            std::fprintf(stderr, "cannot write the station into a temporary folder\n");
            return 1;
        }
        QProcess run;
        run.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        run.start(QString::fromLocal8Bit(argv[0]),
                  {dir.path(), QString::number(n), QString::number(d), QString::number(size)});
        if (!run.waitForFinished(120000) || run.exitStatus() != QProcess::NormalExit ||
            run.exitCode() != 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
