// The window's close and the termination signals against a connection that is
// being made: a dial-up call answered BUSY only after 4 s, or connected, and a
// close 1 s into it. The close waits for the cancelled call (hung up with
// "ATH0"), never for the answer, and the program does not hang.

#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <thread>

#include "jobs/StationEdits.h"
#include "shell/ConnectionDialog.h"
#include "shell/WindowLink.h"
#include "tests/cli/SimHarness.h"
#include "tests/shell/ShellTestSupport.h"

namespace virs::test {
namespace {

std::string Scenario() {
    return R"({"seed": 3, "now": "2024-03-15T10:00:00",
      "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д2", "address": 4, "serial": 4444}]}],
      "lines": [{"com": 6, "kind": "modem", "modem": {"echo": false, "type": "dialup",
        "phone_book": [
        {"number": "500", "outcome": "busy", "delay_ms": 4000},
        {"number": "600", "outcome": "connect", "site": "A", "delay_ms": 1200},
        {"number": "900", "outcome": "connect", "site": "A", "delay_ms": 60000}]}}]})";
}

// What the modem received, in order, as text (the simulator logs it in hex).
std::string ModemReceived(const std::filesystem::path& log) {
    std::istringstream lines(ReadText(log));
    std::string line, received;
    while (std::getline(lines, line)) {
        // "hh:mm:ss.mmm COM6 RX модем: 41 54 ... (n)"
        const std::size_t rx = line.find(" RX");
        if (rx == std::string::npos)
            continue;
        const std::size_t colon = line.find(':', rx);
        std::istringstream hex(line.substr(colon + 1));
        std::string byte;
        while (hex >> byte && byte.size() == 2)
            received += static_cast<char>(std::stoi(byte, nullptr, 16));
    }
    return received;
}

// Ends the test program if the watched step does not come back in time: a hang
// shows as a failure instead of a test that never ends.
class TWatchdog {
public:
    TWatchdog(int seconds, const char* what) {
        Thread = std::thread([this, seconds, what] {
            std::unique_lock lock(Mutex);
            if (!Wake.wait_for(lock, std::chrono::seconds(seconds), [this] { return Done; })) {
                std::fprintf(stderr, "FAIL!  : %s did not end within %d s (hangs)\n", what,
                             seconds);
                std::_Exit(1);
            }
        });
    }
    ~TWatchdog() {
        {
            std::lock_guard lock(Mutex);
            Done = true;
        }
        Wake.notify_all();
        Thread.join();
    }

private:
    std::mutex Mutex;
    std::condition_variable Wake;
    bool Done = false;
    std::thread Thread;
};

struct TDialWindow {
    TTempFolder Folder;
    std::unique_ptr<TSimProcess> Sim;
    std::unique_ptr<TForm1> Window;
    std::unique_ptr<TWindowLink> Link;
    QStringList Messages;

    void Open(const std::string& phone) {
        const std::filesystem::path ports = Folder.Path / "ports";
        std::filesystem::create_directories(ports);
        setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
        WriteText(Folder.Path / "scenario.json", Scenario());
        // The simulator ends by itself should the test program be cut short.
        Sim = std::make_unique<TSimProcess>(
            Folder.Path / "scenario.json",
            std::vector<std::string>{"--log", (Folder.Path / "sim.log").string(), "--exit-after",
                                     "90"});
        QVERIFY2(Sim->Ready, Sim->Banner.c_str());
        TTestNode node;
        node.LinkType = LinkDialUp;
        node.ComPort = 6;
        node.Phone = phone;
        node.ReplyTimeoutMs = 2000;
        node.Devices = {{DeviceVirsD2, 4}};
        SaveStation(MakeStation({node, TTestNode{}}), Folder.Path);
        Window = std::make_unique<TForm1>(Folder.Path);
        Window->MessageSink = [this](QMessageBox::Icon, const QString& text) { Messages << text; };
        Link = std::make_unique<TWindowLink>(*Window);
        Window->SetLinkController(Link.get());
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
        Window->TreeView1->setCurrentItem(Window->TreeView1->Item(0));
    }
    ~TDialWindow() {
        Link.reset();
        Window.reset();
        unsetenv("VIRS_PORTS_DIR");
    }
    std::string Received() { return ModemReceived(Folder.Path / "sim.log"); }
};

} // namespace

class LinkLifecycleTest : public QObject {
    Q_OBJECT
private slots:
    // The operator closes the window 1 s into a call the far end answers BUSY
    // after 4 s: the close is held, the call hung up, then the window closes.
    void closeDuringTheDialCancelsTheCall() {
        TDialWindow w;
        w.Open("500");
        QElapsedTimer clock;
        clock.start();
        bool closedAtOnce = true;
        TLinkPhase phaseAtClose = TLinkPhase::Idle;
        QTimer::singleShot(1000, w.Window.get(), [&] {
            phaseAtClose = w.Window->State().LinkPhase;
            closedAtOnce = w.Window->close();
        });
        {
            TWatchdog watchdog(30, "the connect after a close");
            w.Window->ToolBar1->ToolButton14->click();
        }
        QCOMPARE(int(phaseAtClose), int(TLinkPhase::Connecting));
        QVERIFY(!closedAtOnce); // held while the call was being made
        QTRY_VERIFY_WITH_TIMEOUT(!w.Window->isVisible(), 3000);
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w.Window->State().LinkOpen);
        QCOMPARE(int(w.Window->State().LinkPhase), int(TLinkPhase::Idle));
        QVERIFY(!w.Link->Session().HasPort());
        QVERIFY(!w.Messages.contains("Абонент занят.\nCOM6"));
        const std::string received = w.Received();
        QVERIFY2(received.find("ATDT 500\r") != std::string::npos, received.c_str());
        QVERIFY2(received.find("ATH0\r", received.find("ATDT 500")) != std::string::npos,
                 received.c_str());
    }

    // Whatever comes first, the cancel or the far end's CONNECT, the window
    // closes with the modem hung up: "ATH0" after the dial, and with a link
    // that came up, the escape "+++" before it.
    void closeWhileTheCallConnects() {
        TDialWindow w;
        w.Open("600");
        QTimer::singleShot(1000, w.Window.get(), [&] { w.Window->close(); });
        {
            TWatchdog watchdog(30, "the connect after a close");
            w.Window->ToolBar1->ToolButton14->click();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w.Window->isVisible(), 10000);
        QVERIFY(!w.Window->State().LinkOpen);
        QVERIFY(!w.Link->Session().HasPort());
        const std::string received = w.Received();
        const std::size_t dial = received.find("ATDT 600\r");
        QVERIFY2(dial != std::string::npos, received.c_str());
        QVERIFY2(received.find("ATH0\r", dial) != std::string::npos, received.c_str());
    }

    // While the call is being made the station stands still: the structural
    // commands are off, the core refuses them, and the connection dialog of
    // any node offers no OK; the link ends on the node it was made for.
    void theStationStandsStillWhileConnecting() {
        TDialWindow w;
        w.Open("900");
        struct TSeen {
            bool NewNode = true, NewDevice = true, Delete = true, Drag = true;
            std::string InsertRefusal, DeleteRefusal, MoveRefusal;
            bool DialogOk = true;
            TLinkPhase Phase = TLinkPhase::Idle;
        } seen;
        QTimer::singleShot(1500, w.Window.get(), [&] {
            TForm1& win = *w.Window;
            seen.Phase = win.State().LinkPhase;
            seen.NewNode = win.ToolBar1->ToolButton5->isEnabled();
            seen.NewDevice = win.ToolBar1->ToolButton6->isEnabled();
            seen.Delete = win.ToolBar1->ToolButton7->isEnabled();
            seen.Drag = win.TreeView1->dragEnabled();
            seen.InsertRefusal = InsertNodeAt(win.State(), 0).Refusal;
            seen.DeleteRefusal = DeleteItem(win.State(), 1, NoDevice, false).Refusal;
            seen.MoveRefusal = MoveItem(win.State(), 1, NoDevice, 0, 0, false).Refusal;
            // The second node's connection dialog: OK disabled.
            win.TreeView1->setCurrentItem(win.TreeView1->Item(1));
            win.ToolBar1->ToolButton18->setChecked(true);
            win.ToolButton18Click(true);
            WhenModal([&](QWidget* modal) {
                auto* dialog = qobject_cast<TForm3*>(modal);
                QVERIFY(dialog);
                seen.DialogOk = dialog->BitBtn1->isEnabled();
                dialog->BitBtn2->click();
            });
            win.ValueListEditor1()->PressButton(2);
            win.ToolBar1->ToolButton14->click(); // released: the call is cancelled
        });
        w.Window->ToolBar1->ToolButton14->click();
        QCOMPARE(int(seen.Phase), int(TLinkPhase::Connecting));
        QVERIFY(!seen.NewNode);
        QVERIFY(!seen.NewDevice);
        QVERIFY(!seen.Delete);
        QVERIFY(!seen.Drag);
        QCOMPARE(seen.InsertRefusal, std::string(RefuseWhileLinkBusy));
        QCOMPARE(seen.DeleteRefusal, std::string(RefuseWhileLinkBusy));
        QCOMPARE(seen.MoveRefusal, std::string(RefuseWhileLinkBusy));
        QVERIFY(!seen.DialogOk);
        QCOMPARE(w.Window->State().Base.NodeCount(), 2);
        QCOMPARE(w.Window->StatusBar1->StatusText(), QString("Вызов прерван"));
        QCOMPARE(int(w.Window->State().LinkPhase), int(TLinkPhase::Idle));
        QVERIFY(w.Window->ToolBar1->ToolButton5->isEnabled() ||
                w.Window->State().Base.SelDevice != NoDevice);
    }

    // SIGw.Window->RequestTermination(); or Ctrl+C 1 s into the BUSY call, with the application's
    // event loop running as in the program: the program ends within the cancel (no hang), the call
    // hung up. This quits the application, so it runs last.
    void terminationDuringTheDialEnds() {
        TDialWindow w;
        w.Open("500");
        QElapsedTimer clock;
        clock.start();
        bool clickReturned = false;
        QTimer::singleShot(0, w.Window.get(), [&] {
            w.Window->ToolBar1->ToolButton14->click();
            clickReturned = true;
        });
        QTimer::singleShot(1000, w.Window.get(), [&] { w.Window->RequestTermination(); });
        {
            TWatchdog watchdog(30, "the program after SIGTERM");
            QCoreApplication::exec(); // returns when the program has quit
        }
        QVERIFY(clickReturned);
        QVERIFY(!w.Window->isVisible());
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w.Window->State().LinkOpen);
        QVERIFY(!w.Link->Session().HasPort());
        const std::string received = w.Received();
        QVERIFY2(received.find("ATH0\r", received.find("ATDT 500")) != std::string::npos,
                 received.c_str());
    }
};

} // namespace virs::test

QTEST_MAIN(virs::test::LinkLifecycleTest)
#include "LinkLifecycleTest.moc"
