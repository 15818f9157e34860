#pragma once
// A Hayes modem on the line (dial-up or GSM). In command mode it answers AT
// commands; a dial command looks the number up in its phone book and, after a
// delay, answers as that number does (CONNECT, BUSY, NO CARRIER, NO ANSWER, OK
// for a voice call, ERROR or one single byte). On line it carries the bytes to
// the site's meters until "+++" between two guard times brings it back to
// command mode. It understands the computer only when the port runs at the
// modem's own speed, parity and stop bits.

#include <deque>
#include <string>
#include <vector>

#include "sim/SimTypes.h"

namespace virs::sim {

// What the pseudo-terminal shows of the port settings the program applied.
// The Linux pty driver clears the parity-enable flag, so only "odd" survives.
struct TLineSettings {
    u32 Baud = 9600;
    bool OddParity = false;
    bool TwoStopBits = false;
};

enum class TDialOutcome { Connect, Busy, NoCarrier, NoAnswer, Voice, Error, SingleByte };
bool DialOutcomeFromName(const std::string& name, TDialOutcome& out);

struct TPhoneEntry {
    std::string Number;
    TDialOutcome Outcome = TDialOutcome::Connect;
    std::string Site;   // for Connect and SingleByte
    int DelayMs = 3000; // from the dial command to the answer
    u8 Byte = 0x0C;     // SingleByte: the byte sent
};

struct TModemConfig {
    bool Gsm = false;
    u32 Baud = 9600; // 0: follows any speed (autobaud)
    TParity Parity = TParity::None;
    bool TwoStopBits = false;
    bool Echo = true;
    std::string Manufacturer = "SIMCOM_Ltd";
    std::string Model = "SIMCOM_SIM900";
    std::string PinState = "READY"; // "READY", "SIM PIN", "SIM PUK" or "NO SIM"
    int Registration = 1;           // +CREG state 0..5
    std::string Operator = "MTS RUS";
    std::vector<TPhoneEntry> PhoneBook;
    int UnknownNumberDelayMs = 3000;
    int ReplyDelayMs = 0; // command answers; 0: echo and answer leave together
    int DataDelayMs = 60; // extra delay of each answer while on line
};

class THayesModem {
public:
    explicit THayesModem(TModemConfig config);

    bool Understands(const TLineSettings& line) const;
    // Bytes from the computer at monotonic time nowMs.
    void Receive(const Bytes& data, const TLineSettings& line, i64 nowMs);
    // Timers: the dial result and the escape guard time.
    void Tick(i64 nowMs);
    i64 NextTimerMs() const; // -1: none
    // Output for the computer that is due by nowMs.
    Bytes TakeDue(i64 nowMs);
    i64 NextOutputMs() const; // -1: none

    bool OnLine() const { return Mode_ == TMode::OnLine; }
    bool CallUp() const { return CallUp_; }
    const std::string& Site() const { return Site_; }
    int DataDelayMs() const { return Config_.DataDelayMs; }
    Bytes TakeData(); // bytes received on line, for the site's meters
    const std::vector<std::string>& Commands() const {
        return Commands_;
    } // every command line heard
    u32 Baud() const { return Baud_; }
    TParity Parity() const { return Parity_; }
    bool TwoStopBits() const { return TwoStop_; }

private:
    enum class TMode { Command, Dialling, OnLine };
    struct TProfile {
        bool Echo = true, Verbose = true, Quiet = false;
        u8 S[40] = {};
    };
    void Queue(const Bytes& b, i64 atMs);
    void Result(const std::string& text, int code, i64 atMs);
    void Execute(const std::string& line, i64 nowMs);
    bool ExecuteExtended(const std::string& cmd, std::string& info);
    void Dial(const std::string& dialString, i64 nowMs);
    int GuardMs() const { return Profile_.S[12] * 20; }

    TModemConfig Config_;
    TMode Mode_ = TMode::Command;
    TProfile Profile_, Stored_, Factory_;
    u32 Baud_;
    TParity Parity_;
    bool TwoStop_;
    std::string Line_;
    std::deque<std::pair<i64, Bytes>> Out_;
    std::vector<std::string> Commands_;
    // Dialling.
    TPhoneEntry Pending_;
    i64 DialDueMs_ = -1;
    bool CallUp_ = false;
    std::string Site_;
    // Escape detection on line.
    Bytes Data_;
    int Pluses_ = 0;
    i64 LastRxMs_ = -1000000;
    i64 EscapeDueMs_ = -1;
};

} // namespace virs::sim
