#pragma once
// Faults on demand: a rule picks requests (to one device or any, every request
// or from the Nth on for a number of times) and spoils the answer to them the
// way a bad line or a sick meter would.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimTypes.h"

namespace virs::sim {

enum class TFaultKind {
    Silence,       // no answer at all
    Delay,         // answer late by Ms
    WrongAddress,  // answer from another slave address (Address, default address + 1)
    BadCrc,        // last CRC byte spoiled
    Exception,     // exception answer with Code (any value, 15..21 and above too)
    Truncate,      // the last Bytes bytes cut off (default 1)
    LeadingZeros,  // Bytes zero bytes before the answer
    TrailingZeros, // Bytes zero bytes after the answer
    InnerZeros,    // Bytes zero bytes inserted at position At
    Split,         // the answer in two bursts, cut at At, GapMs apart
    Noise,         // Bytes random bytes instead of the answer
};

struct TFault {
    std::optional<int> Device; // slave address; none = any device
    int OnRequest =
        0; // 0: every request; N: from the Nth request of the device (no device: on the bus)
    int Times = 1; // with OnRequest: how many requests in a row
    // 1..1000: the rule spoils only this many requests in a thousand of those
    // it would pick, drawn by a fixed pseudo-random sequence (the same on
    // every run); 0: every one it picks.
    int Permille = 0;
    TFaultKind Kind = TFaultKind::Silence;
    int Ms = 0, Code = 0, Bytes = 1, At = 1, GapMs = 0, Address = -1;
};

bool FaultKindFromName(const std::string& name, TFaultKind& out);
const char* FaultKindName(TFaultKind kind);

// One burst of bytes on the line, sent GapBeforeMs after the previous one
// (the first after the meter's turnaround).
struct TBurst {
    Bytes Data;
    int GapBeforeMs = 0;
};
using TReplyPlan = std::vector<TBurst>; // empty: the meter stays silent

// Turns a correct answer into what the fault puts on the line.
TReplyPlan SpoilAnswer(const TFault& fault, const Bytes& answer, u8 requestAddress, u8 function,
                       u64 noiseSeed);

// Counts requests per device and picks the rule for each one.
class TFaultBook {
public:
    explicit TFaultBook(std::vector<TFault> faults = {}) : Faults_(std::move(faults)) {}
    void Add(const TFault& f) { Faults_.push_back(f); }
    // Call once per request addressed to a device; the first matching rule wins.
    // A rule naming a device counts that device's requests, one naming none
    // counts every request on the bus.
    const TFault* Next(u8 address);
    int RequestsSeen(u8 address) const;

private:
    std::vector<TFault> Faults_;
    std::map<int, int> Seen_;
    int SeenOnBus_ = 0;
};

} // namespace virs::sim
