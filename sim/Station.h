#pragma once
// The running simulator: the sites with their meters, and one pseudo-terminal
// and one serving thread per line of the scenario.

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/Bootloader.h"
#include "sim/MeterBus.h"
#include "sim/Modem.h"
#include "sim/PtyPort.h"
#include "sim/Scenario.h"
#include "sim/SimLog.h"
#include "sim/SimTime.h"

namespace virs::sim {

class TSimStation;

// Serves one line: reads what the program sends, finds request frames, modem
// commands or loader bytes in it, and answers at the pace of the line.
class TLineServer {
public:
    TLineServer(TSimStation& station, const TLineConfig& config, std::unique_ptr<TPtyPort> pty,
                std::string name);
    void Run(const std::atomic<bool>& stop);
    TPtyPort& Pty() { return *Pty_; }
    const std::string& Name() const { return Name_; }
    const TLineConfig& Config() const { return Config_; }
    THayesModem* Modem() { return Modem_.get(); }
    TBootloader& Bootloader() { return Boot_; }

private:
    void ServeFrames(i64 nowMs, bool flushAll);
    void Send(const TReplyPlan& plan, i64 requestEndMs, int extraDelayMs);
    TMeterBus* CurrentBus();
    double ByteSeconds(const TLineSettings& s) const;

    TSimStation& Station_;
    TLineConfig Config_;
    std::unique_ptr<TPtyPort> Pty_;
    std::string Name_;
    std::unique_ptr<THayesModem> Modem_;
    TBootloader Boot_;
    Bytes Rx_;
    i64 RxFirstMs_ = 0, RxLastMs_ = 0, BootLastMs_ = 0;
};

class TSimStation {
public:
    TSimStation(const TScenario& scenario, TSimLog& log, bool pacing, int turnaroundOverride = -1);
    ~TSimStation();
    TSimStation(const TSimStation&) = delete;
    TSimStation& operator=(const TSimStation&) = delete;

    // Makes the pseudo-terminals and registers the COM aliases: comNumbers[i]
    // (when given) overrides the scenario's number of line i.
    bool Open(const std::vector<unsigned>& comNumbers, bool replaceAliases, std::string& error);
    void Start();
    void Stop(); // joins the threads and removes the aliases

    std::size_t LineCount() const { return Lines_.size(); }
    TLineServer& Line(std::size_t i) { return *Lines_.at(i); }
    TMeterBus* Site(const std::string& name);
    const TSimClock& Clock() const { return Clock_; }
    TSimLog& Log() { return Log_; }
    bool Pacing() const { return Pacing_; }
    int TurnaroundOverride() const { return Turnaround_; }
    // One line of description per line: "COM5 /dev/pts/3 прямая линия: ВИРС-Ш@1 …".
    std::vector<std::string> Describe();

private:
    TScenario Scenario_;
    TSimLog& Log_;
    bool Pacing_;
    int Turnaround_;
    TSimClock Clock_;
    std::map<std::string, std::unique_ptr<TMeterBus>> Sites_;
    std::vector<std::unique_ptr<TLineServer>> Lines_;
    std::vector<std::thread> Threads_;
    std::atomic<bool> Stop_{false};
};

} // namespace virs::sim
