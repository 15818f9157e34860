#include "sim/Station.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "sim/SimCrc.h"

namespace virs::sim {

namespace {
constexpr int BootStallMs = 10000; // a loader left without bytes this long restarts the meter

i64 MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
void SleepUntilMs(i64 ms) {
    const i64 now = MonotonicMs();
    if (ms > now)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms - now));
}
} // namespace

TLineServer::TLineServer(TSimStation& station, const TLineConfig& config,
                         std::unique_ptr<TPtyPort> pty, std::string name)
    : Station_(station), Config_(config), Pty_(std::move(pty)), Name_(std::move(name)),
      Boot_(config.Boot) {
    if (config.Modem)
        Modem_ = std::make_unique<THayesModem>(config.ModemConfig);
}

double TLineServer::ByteSeconds(const TLineSettings& s) const {
    if (!Station_.Pacing() || s.Baud == 0)
        return 0;
    return BitsPerByte(s) / static_cast<double>(s.Baud);
}

TMeterBus* TLineServer::CurrentBus() {
    if (Modem_)
        return Modem_->OnLine() ? Station_.Site(Modem_->Site()) : nullptr;
    return Station_.Site(Config_.Site);
}

// The answer leaves after the request has fully arrived (at the line's pace)
// and the meter's turnaround, plus whatever delay the fault adds.
void TLineServer::Send(const TReplyPlan& plan, i64 requestEndMs, int extraDelayMs) {
    const TLineSettings line = Pty_->Settings();
    const double byteSeconds = ByteSeconds(line);
    const int turnaround =
        Station_.TurnaroundOverride() >= 0 ? Station_.TurnaroundOverride() : Config_.TurnaroundMs;
    i64 at =
        std::max(MonotonicMs(), requestEndMs) + (Station_.Pacing() ? turnaround : 0) + extraDelayMs;
    for (const TBurst& burst : plan) {
        at += burst.GapBeforeMs;
        SleepUntilMs(at);
        Station_.Log().Bytes(Name_, "TX", burst.Data);
        if (!PacedWrite(Pty_->MasterFd(), burst.Data, byteSeconds))
            Station_.Log().Note(Name_, "запись в псевдотерминал не удалась");
        at = MonotonicMs();
    }
}

void TLineServer::ServeFrames(i64 nowMs, bool flushAll) {
    TMeterBus* bus = CurrentBus();
    const TLineSettings line = Pty_->Settings();
    const double byteMs = ByteSeconds(line) * 1000;
    while (!Rx_.empty()) {
        std::size_t length = 0;
        const TFrameScan scan = ScanRequest(Rx_, length);
        if (scan == TFrameScan::Complete) {
            Bytes frame(Rx_.begin(), Rx_.begin() + static_cast<long>(length));
            if (!CrcMatches(frame)) {
                // Not a frame boundary: slide by one byte to find the next request.
                Rx_.erase(Rx_.begin());
                continue;
            }
            Rx_.erase(Rx_.begin(), Rx_.begin() + static_cast<long>(length));
            Station_.Log().Bytes(Name_, "RX", frame);
            if (!bus)
                continue;
            std::string note;
            const TReplyPlan plan = bus->Handle(frame, Station_.Clock().Now(), &note);
            Station_.Log().Note(Name_, note);
            const i64 requestEnd = RxFirstMs_ + static_cast<i64>(length * byteMs);
            Send(plan, requestEnd, Modem_ ? Modem_->DataDelayMs() : 0);
            RxFirstMs_ = MonotonicMs();
            continue;
        }
        if (!flushAll)
            return;
        // The line fell silent on something that is no request.
        if (Rx_.size() == 1 && !Modem_ && Boot_.Enabled()) {
            Bytes reply;
            if (Boot_.TakeHandshake(Rx_[0], line.Baud, reply)) {
                Station_.Log().Bytes(Name_, "RX загрузчик", Rx_);
                Rx_.clear();
                BootLastMs_ = nowMs;
                if (!reply.empty())
                    Send({{reply, 0}}, nowMs, 0);
                return;
            }
        }
        if (scan == TFrameScan::Unknown && CrcMatches(Rx_) && bus) {
            Station_.Log().Bytes(Name_, "RX", Rx_);
            std::string note;
            const TReplyPlan plan = bus->Handle(Rx_, Station_.Clock().Now(), &note);
            Station_.Log().Note(Name_, note);
            Rx_.clear();
            Send(plan, nowMs, 0);
            return;
        }
        Station_.Log().Bytes(Name_, "RX помеха", Rx_);
        Rx_.clear();
    }
}

void TLineServer::Run(const std::atomic<bool>& stop) {
    u8 buf[512];
    while (!stop.load()) {
        const i64 now = MonotonicMs();
        const TLineSettings line = Pty_->Settings();
        // The end of a frame: 3.5 byte times of silence, with room for a busy host.
        const int gapMs = 20 + static_cast<int>(3.5 * ByteSeconds(line) * 1000);
        i64 wake = now + 100;
        if (!Rx_.empty())
            wake = std::min(wake, RxLastMs_ + gapMs);
        if (Modem_) {
            for (i64 t : {Modem_->NextTimerMs(), Modem_->NextOutputMs()})
                if (t >= 0)
                    wake = std::min(wake, t);
        }
        pollfd p{Pty_->MasterFd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::max<i64>(0, wake - now)));
        const i64 t = MonotonicMs();
        if (ready > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(Pty_->MasterFd(), buf, sizeof buf);
            if (n > 0) {
                const Bytes data(buf, buf + n);
                const TLineSettings seen = Pty_->Settings();
                if (Boot_.Active()) {
                    Station_.Log().Bytes(Name_, "RX загрузчик", data);
                    BootLastMs_ = t;
                    const Bytes reply = Boot_.Receive(data);
                    if (!reply.empty()) {
                        Station_.Log().Bytes(Name_, "TX загрузчик", reply);
                        PacedWrite(Pty_->MasterFd(), reply, ByteSeconds(seen));
                    }
                    if (Boot_.Complete())
                        Station_.Log().Note(Name_, "загрузчик: образ принят полностью");
                    if (!Boot_.Error().empty())
                        Station_.Log().Note(Name_, Boot_.Error());
                    continue;
                }
                if (Rx_.empty())
                    RxFirstMs_ = t;
                RxLastMs_ = t;
                if (Modem_) {
                    const bool wasOnLine = Modem_->OnLine();
                    if (!Modem_->Understands(seen))
                        Station_.Log().Bytes(Name_, "RX модем (не те настройки порта)", data);
                    else if (!wasOnLine || data.size() <= 3)
                        Station_.Log().Bytes(Name_, wasOnLine ? "RX на линии" : "RX модем", data);
                    Modem_->Receive(data, seen, t);
                    const Bytes forMeters = Modem_->TakeData();
                    Rx_.insert(Rx_.end(), forMeters.begin(), forMeters.end());
                } else {
                    Rx_.insert(Rx_.end(), data.begin(), data.end());
                }
            } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
                Station_.Log().Note(Name_, "чтение псевдотерминала не удалось");
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        } else if (ready > 0 && (p.revents & (POLLHUP | POLLERR))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (Boot_.Active() && t - BootLastMs_ > BootStallMs) {
            Station_.Log().Note(Name_, "загрузчик: передача прервана, прибор вернулся к работе");
            Boot_.Abandon();
        }
        if (Modem_) {
            Modem_->Tick(t);
            const Bytes out = Modem_->TakeDue(t);
            if (!out.empty()) {
                Station_.Log().Bytes(Name_, "TX модем", out);
                PacedWrite(Pty_->MasterFd(), out, ByteSeconds(Pty_->Settings()));
            }
        }
        if (!Rx_.empty())
            ServeFrames(t, MonotonicMs() - RxLastMs_ >= gapMs);
    }
}

TSimStation::TSimStation(const TScenario& scenario, TSimLog& log, bool pacing,
                         int turnaroundOverride)
    : Scenario_(scenario), Log_(log), Pacing_(pacing && scenario.Pacing),
      Turnaround_(turnaroundOverride),
      Clock_(scenario.Now ? *scenario.Now : HostLocalNow(), scenario.ClockRuns) {
    const SimSeconds start = Clock_.Now();
    for (const TSiteConfig& site : Scenario_.Sites) {
        auto bus = std::make_unique<TMeterBus>(site.Name);
        for (const TMeterConfig& m : site.Meters)
            bus->AddMeter(MakeMeter(m, Scenario_.Seed, start));
        for (const TFault& f : site.Faults)
            bus->Faults().Add(f);
        Sites_[site.Name] = std::move(bus);
    }
}

TSimStation::~TSimStation() {
    Stop();
}

TMeterBus* TSimStation::Site(const std::string& name) {
    auto it = Sites_.find(name);
    return it == Sites_.end() ? nullptr : it->second.get();
}

bool TSimStation::Open(const std::vector<unsigned>& comNumbers, bool replaceAliases,
                       std::string& error) {
    for (std::size_t i = 0; i < Scenario_.Lines.size(); ++i) {
        const TLineConfig& config = Scenario_.Lines[i];
        auto pty = TPtyPort::Open(error);
        if (!pty)
            return false;
        std::optional<unsigned> com = config.Com;
        if (i < comNumbers.size())
            com = comNumbers[i];
        std::string name = "линия " + std::to_string(i + 1);
        if (com) {
            if (!pty->RegisterAlias(*com, replaceAliases, error))
                return false;
            name = "COM" + std::to_string(*com);
        }
        Lines_.push_back(std::make_unique<TLineServer>(*this, config, std::move(pty), name));
    }
    return true;
}

void TSimStation::Start() {
    Stop_ = false;
    for (auto& line : Lines_)
        Threads_.emplace_back([this, l = line.get()] { l->Run(Stop_); });
}

void TSimStation::Stop() {
    Stop_ = true;
    for (std::thread& t : Threads_)
        if (t.joinable())
            t.join();
    Threads_.clear();
    for (auto& line : Lines_)
        line->Pty().RemoveAlias();
}

std::vector<std::string> TSimStation::Describe() {
    std::vector<std::string> out;
    for (auto& line : Lines_) {
        std::string text = line->Name() + "  " + line->Pty().SlavePath() + "  ";
        const TLineConfig& config = line->Config();
        if (config.Modem) {
            const TModemConfig& m = config.ModemConfig;
            text += std::string(m.Gsm ? "GSM-модем" : "модем") + " " + std::to_string(m.Baud) +
                    " " +
                    (m.Parity == TParity::None  ? "8N"
                     : m.Parity == TParity::Odd ? "8O"
                                                : "8E") +
                    (m.TwoStopBits ? "2" : "1") + ", номера:";
            for (const TPhoneEntry& e : m.PhoneBook)
                text += " " + e.Number + (e.Site.empty() ? "" : "→" + e.Site);
        } else {
            text += "прямая линия, узел \"" + config.Site + "\":";
            if (TMeterBus* bus = Site(config.Site))
                for (const auto& m : bus->Meters())
                    text += std::string(" ") + MeterKindName(m->Kind()) + "@" +
                            std::to_string(m->Address());
            if (config.Boot.Enabled)
                text += ", загрузчик";
        }
        out.push_back(text);
    }
    return out;
}

} // namespace virs::sim
