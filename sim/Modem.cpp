#include "sim/Modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace virs::sim {

namespace {
constexpr u32 KnownRates[] = {0, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Digits, '+', '*' and '#' of a phone number: spaces, dashes and pauses are not dialled.
std::string DialledDigits(const std::string& s) {
    std::string out;
    for (char c : s)
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '*' || c == '#')
            out += c;
    return out;
}

// Number after the command letters; *pos moves past it.
int NumberAt(const std::string& s, std::size_t& pos, int fallback) {
    if (pos >= s.size() || !std::isdigit(static_cast<unsigned char>(s[pos])))
        return fallback;
    int v = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && v < 100000)
        v = v * 10 + (s[pos++] - '0');
    return v;
}
} // namespace

bool DialOutcomeFromName(const std::string& name, TDialOutcome& out) {
    static const std::pair<const char*, TDialOutcome> Names[] = {
        {"connect", TDialOutcome::Connect},
        {"busy", TDialOutcome::Busy},
        {"no_carrier", TDialOutcome::NoCarrier},
        {"no_answer", TDialOutcome::NoAnswer},
        {"voice", TDialOutcome::Voice},
        {"error", TDialOutcome::Error},
        {"single_byte", TDialOutcome::SingleByte},
    };
    for (const auto& [n, o] : Names)
        if (name == n) {
            out = o;
            return true;
        }
    return false;
}

THayesModem::THayesModem(TModemConfig config)
    : Config_(std::move(config)), Baud_(Config_.Baud), Parity_(Config_.Parity),
      TwoStop_(Config_.TwoStopBits) {
    Factory_.S[0] = 0;
    Factory_.S[2] = 43;
    Factory_.S[3] = 13;
    Factory_.S[4] = 10;
    Factory_.S[5] = 8;
    Factory_.S[7] = 50;
    Factory_.S[12] = 50; // escape guard time, 1/50 s
    Stored_ = Factory_;
    Stored_.Echo = Config_.Echo;
    Profile_ = Stored_;
}

bool THayesModem::Understands(const TLineSettings& line) const {
    if (Baud_ != 0 && line.Baud != Baud_)
        return false;
    return line.TwoStopBits == TwoStop_ && line.OddParity == (Parity_ == TParity::Odd);
}

void THayesModem::Queue(const Bytes& b, i64 atMs) {
    if (!Out_.empty())
        atMs = std::max(atMs, Out_.back().first);
    Out_.emplace_back(atMs, b);
}

void THayesModem::Result(const std::string& text, int code, i64 atMs) {
    if (Profile_.Quiet)
        return;
    std::string s = Profile_.Verbose ? "\r\n" + text + "\r\n" : std::to_string(code) + "\r";
    Queue(Bytes(s.begin(), s.end()), atMs);
}

Bytes THayesModem::TakeData() {
    Bytes out;
    out.swap(Data_);
    return out;
}

void THayesModem::Receive(const Bytes& data, const TLineSettings& line, i64 nowMs) {
    if (!Understands(line)) {
        Line_.clear(); // garbled characters: nothing the modem can take
        LastRxMs_ = nowMs;
        return;
    }
    if (Mode_ == TMode::Dialling) {
        // Any character from the computer cancels the call being set up.
        DialDueMs_ = -1;
        Mode_ = TMode::Command;
        Line_.clear();
        Result("NO CARRIER", 3, nowMs + Config_.ReplyDelayMs);
        LastRxMs_ = nowMs;
        return;
    }
    if (Mode_ == TMode::OnLine) {
        for (u8 b : data) {
            const bool quietBefore = Pluses_ > 0 || nowMs - LastRxMs_ >= GuardMs() * 9 / 10;
            if (b == Profile_.S[2] && Pluses_ < 3 && quietBefore) {
                ++Pluses_;
                continue;
            }
            Data_.insert(Data_.end(), Pluses_, Profile_.S[2]);
            Pluses_ = 0;
            Data_.push_back(b);
        }
        EscapeDueMs_ = Pluses_ == 3 ? nowMs + GuardMs() : -1;
        LastRxMs_ = nowMs;
        return;
    }
    LastRxMs_ = nowMs;
    Bytes echo;
    for (u8 b : data) {
        if (Profile_.Echo)
            echo.push_back(b);
        if (b == Profile_.S[3]) {
            std::string command = Line_;
            Line_.clear();
            if (!echo.empty()) {
                Queue(echo, nowMs);
                echo.clear();
            }
            Execute(command, nowMs);
            if (Mode_ != TMode::Command)
                return; // the rest is the call's business
        } else if (b == Profile_.S[5]) {
            if (!Line_.empty())
                Line_.pop_back();
        } else if (b != '\n' && Line_.size() < 200) {
            Line_ += static_cast<char>(b);
        }
    }
    if (!echo.empty())
        Queue(echo, nowMs);
}

void THayesModem::Execute(const std::string& rawLine, i64 nowMs) {
    std::string line = rawLine;
    // Leading noise before "AT" is ignored, as modems do.
    const std::string up = Upper(line);
    const std::size_t at = up.find("AT");
    if (at == std::string::npos)
        return;
    Commands_.push_back(line.substr(at));
    const std::string cmd = up.substr(at + 2);
    const std::string original = line.substr(at + 2);
    const i64 due = nowMs + Config_.ReplyDelayMs;
    std::string info; // lines of information before the final result
    std::size_t pos = 0;
    bool ok = true;
    while (ok && pos < cmd.size()) {
        const char c = cmd[pos++];
        switch (c) {
        case ' ':
        case ';':
            break;
        case 'E':
            Profile_.Echo = NumberAt(cmd, pos, 0) != 0;
            break;
        case 'V':
            Profile_.Verbose = NumberAt(cmd, pos, 0) != 0;
            break;
        case 'Q':
            Profile_.Quiet = NumberAt(cmd, pos, 0) != 0;
            break;
        case 'Z':
            NumberAt(cmd, pos, 0);
            Profile_ = Stored_;
            break;
        case 'L':
        case 'M':
        case 'X':
        case 'B':
            NumberAt(cmd, pos, 0);
            break;
        case 'I':
            NumberAt(cmd, pos, 0);
            info += "\r\n" + Config_.Model + "\r\n";
            break;
        case 'H':
            NumberAt(cmd, pos, 0);
            CallUp_ = false;
            Site_.clear();
            break;
        case 'O':
            NumberAt(cmd, pos, 0);
            if (!CallUp_) {
                Result("NO CARRIER", 3, due);
                return;
            }
            Mode_ = TMode::OnLine;
            Result("CONNECT " + std::to_string(Baud_ ? Baud_ : 9600), 1, due);
            return;
        case 'A':
            Result("NO CARRIER", 3, due + 2000);
            return;
        case 'D':
            Dial(original.substr(pos), nowMs);
            return;
        case 'S': {
            const int reg = NumberAt(cmd, pos, -1);
            if (reg < 0 || reg >= 40) {
                ok = false;
                break;
            }
            if (pos < cmd.size() && cmd[pos] == '=') {
                ++pos;
                const int v = NumberAt(cmd, pos, -1);
                if (v < 0 || v > 255)
                    ok = false;
                else
                    Profile_.S[reg] = static_cast<u8>(v);
            } else if (pos < cmd.size() && cmd[pos] == '?') {
                ++pos;
                char buf[16];
                std::snprintf(buf, sizeof buf, "\r\n%03d\r\n", Profile_.S[reg]);
                info += buf;
            } else {
                ok = false;
            }
            break;
        }
        case '&': {
            if (pos >= cmd.size()) {
                ok = false;
                break;
            }
            const char sub = cmd[pos++];
            NumberAt(cmd, pos, 0);
            if (sub == 'F')
                Profile_ = Factory_;
            else if (sub == 'W')
                Stored_ = Profile_;
            else if (!std::strchr("CDKSV", sub))
                ok = false;
            break;
        }
        case '+': {
            std::size_t end = cmd.find(';', pos);
            if (end == std::string::npos)
                end = cmd.size();
            ok = ExecuteExtended(cmd.substr(pos, end - pos), info);
            pos = end;
            break;
        }
        default:
            ok = false;
        }
    }
    if (!info.empty())
        Queue(Bytes(info.begin(), info.end()), due);
    if (ok)
        Result("OK", 0, due);
    else
        Result("ERROR", 4, due);
}

bool THayesModem::ExecuteExtended(const std::string& cmd, std::string& info) {
    auto line = [&](const std::string& s) { info += "\r\n" + s + "\r\n"; };
    if (cmd.rfind("IPR=", 0) == 0) {
        const u32 rate = static_cast<u32>(std::atol(cmd.c_str() + 4));
        if (std::find(std::begin(KnownRates), std::end(KnownRates), rate) == std::end(KnownRates))
            return false;
        Baud_ = rate;
        return true;
    }
    if (cmd == "IPR?") {
        line("+IPR: " + std::to_string(Baud_));
        return true;
    }
    if (cmd.rfind("ICF=", 0) == 0) {
        int format = 0, parity = 0;
        const int n = std::sscanf(cmd.c_str() + 4, "%d,%d", &format, &parity);
        if (n < 1 || format < 1 || format > 3 || parity < 0 || parity > 1)
            return false;
        TwoStop_ = format == 1;
        Parity_ = format == 2 ? (parity == 0 ? TParity::Odd : TParity::Even) : TParity::None;
        return true;
    }
    if (cmd == "ICF?") {
        const int format = TwoStop_ ? 1 : Parity_ == TParity::None ? 3 : 2;
        line("+ICF: " + std::to_string(format) + "," + (Parity_ == TParity::Even ? "1" : "0"));
        return true;
    }
    if (!Config_.Gsm)
        return false; // a dial-up modem knows no mobile-network commands
    if (cmd == "CGMI" || cmd == "GMI") {
        line(Config_.Manufacturer);
        return true;
    }
    if (cmd == "CGMM" || cmd == "GMM") {
        line(Config_.Model);
        return true;
    }
    if (cmd == "CPIN?") {
        if (Config_.PinState == "NO SIM") {
            info += "\r\n+CME ERROR: 10\r\n";
            return true;
        }
        line("+CPIN: " + Config_.PinState);
        return true;
    }
    if (cmd == "CREG?") {
        line("+CREG: 0," + std::to_string(Config_.Registration));
        return true;
    }
    if (cmd == "COPS?") {
        if (Config_.Registration == 1 || Config_.Registration == 5)
            line("+COPS: 0,0,\"" + Config_.Operator + "\"");
        else
            line("+COPS: 0");
        return true;
    }
    if (cmd == "CSQ") {
        line("+CSQ: 21,0");
        return true;
    }
    return cmd.rfind("CBST", 0) == 0 || cmd.rfind("CMEE", 0) == 0;
}

void THayesModem::Dial(const std::string& rest, i64 nowMs) {
    std::string s = rest;
    if (!s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'P' || s[0] == 'p'))
        s.erase(0, 1);
    const bool voice = s.find(';') != std::string::npos;
    const std::string number = DialledDigits(s);
    if (number.empty()) {
        Result("ERROR", 4, nowMs + Config_.ReplyDelayMs);
        return;
    }
    Pending_ = TPhoneEntry{number, TDialOutcome::NoCarrier, "", Config_.UnknownNumberDelayMs, 0};
    for (const TPhoneEntry& e : Config_.PhoneBook)
        if (DialledDigits(e.Number) == number)
            Pending_ = e;
    if (voice && Pending_.Outcome == TDialOutcome::Connect)
        Pending_.Outcome = TDialOutcome::Voice;
    Mode_ = TMode::Dialling;
    DialDueMs_ = nowMs + Pending_.DelayMs;
}

void THayesModem::Tick(i64 nowMs) {
    if (Mode_ == TMode::Dialling && DialDueMs_ >= 0 && nowMs >= DialDueMs_) {
        DialDueMs_ = -1;
        Mode_ = TMode::Command;
        switch (Pending_.Outcome) {
        case TDialOutcome::Connect:
            Mode_ = TMode::OnLine;
            CallUp_ = true;
            Site_ = Pending_.Site;
            LastRxMs_ = nowMs;
            Result("CONNECT " + std::to_string(Baud_ ? Baud_ : 9600), 1, nowMs);
            break;
        case TDialOutcome::SingleByte:
            Mode_ = TMode::OnLine;
            CallUp_ = true;
            Site_ = Pending_.Site;
            LastRxMs_ = nowMs;
            Queue(Bytes{Pending_.Byte}, nowMs);
            break;
        case TDialOutcome::Busy:
            Result("BUSY", 7, nowMs);
            break;
        case TDialOutcome::NoCarrier:
            Result("NO CARRIER", 3, nowMs);
            break;
        case TDialOutcome::NoAnswer:
            Result("NO ANSWER", 8, nowMs);
            break;
        case TDialOutcome::Voice:
            Result("OK", 0, nowMs);
            break;
        case TDialOutcome::Error:
            Result("ERROR", 4, nowMs);
            break;
        }
    }
    if (Mode_ == TMode::OnLine && EscapeDueMs_ >= 0 && nowMs >= EscapeDueMs_) {
        EscapeDueMs_ = -1;
        if (Pluses_ == 3) {
            Pluses_ = 0;
            Mode_ = TMode::Command;
            Result("OK", 0, nowMs);
        }
    }
}

i64 THayesModem::NextTimerMs() const {
    if (Mode_ == TMode::Dialling)
        return DialDueMs_;
    if (Mode_ == TMode::OnLine)
        return EscapeDueMs_;
    return -1;
}

Bytes THayesModem::TakeDue(i64 nowMs) {
    Bytes out;
    while (!Out_.empty() && Out_.front().first <= nowMs) {
        out.insert(out.end(), Out_.front().second.begin(), Out_.front().second.end());
        Out_.pop_front();
    }
    return out;
}

i64 THayesModem::NextOutputMs() const {
    return Out_.empty() ? -1 : Out_.front().first;
}

} // namespace virs::sim
