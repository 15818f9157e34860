#pragma once
// The meters of one site as a Modbus RTU slave bus: finds the request frames
// in what came down the line, lets the addressed meter answer functions 3, 16
// and 67, takes broadcasts, and passes each answer through the fault rules.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/Faults.h"
#include "sim/Meter.h"

namespace virs::sim {

enum class TFrameScan {
    Incomplete, // more bytes may complete a request
    Complete,   // a request of the given length starts the buffer
    Unknown,    // a function whose length cannot be told: wait for the line to fall silent
};
TFrameScan ScanRequest(const Bytes& buffer, std::size_t& length);

Bytes ReadAnswer(u8 address, u8 function, const std::vector<u16>& values);
Bytes ExceptionAnswer(u8 address, u8 function, u8 code);

class TMeterBus {
public:
    explicit TMeterBus(std::string name) : Name_(std::move(name)) {}
    const std::string& Name() const { return Name_; }
    void AddMeter(std::unique_ptr<TSimMeter> meter) { Meters_.push_back(std::move(meter)); }
    const std::vector<std::unique_ptr<TSimMeter>>& Meters() const { return Meters_; }
    TSimMeter* MeterAt(u8 address) const;
    TFaultBook& Faults() { return Faults_; }

    // One complete frame (with its CRC). Returns what goes back on the line;
    // `note` gets a short description for the log. Thread-safe.
    TReplyPlan Handle(const Bytes& frame, SimSeconds now, std::string* note = nullptr);

private:
    std::string Name_;
    std::vector<std::unique_ptr<TSimMeter>> Meters_;
    TFaultBook Faults_;
    std::mutex Lock_; // two modem lines may reach the same site
};

} // namespace virs::sim
