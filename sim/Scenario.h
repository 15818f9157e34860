#pragma once
// A scenario: which meters sit at which sites, which lines lead to them (a
// direct line to one site, or a modem whose phone book reaches sites), the
// faults to inject, the seed and the simulated "now". Read from a JSON file;
// without one, a direct line to one meter of each type at addresses 1..4.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/Bootloader.h"
#include "sim/Faults.h"
#include "sim/Meter.h"
#include "sim/Modem.h"

namespace virs::sim {

struct TSiteConfig {
    std::string Name;
    std::vector<TMeterConfig> Meters;
    std::vector<TFault> Faults;
};

struct TLineConfig {
    std::optional<unsigned> Com;
    bool Modem = false;
    std::string Site;         // direct line: the site on the wire
    TModemConfig ModemConfig; // modem line
    TBootloaderConfig Boot;   // direct line: a meter listening for its loader
    int TurnaroundMs = 15;    // from the end of a request to the answer
};

struct TScenario {
    u64 Seed = 1;
    std::optional<SimSeconds> Now; // none: the host's local time
    bool ClockRuns = true;
    bool Pacing = true;
    std::vector<TSiteConfig> Sites;
    std::vector<TLineConfig> Lines;
};

TScenario DefaultScenario();
// Errors name the file and the place: "f.json:12:5: …" for syntax,
// "f.json: lines[1].modem.phone_book[0].outcome: …" for content.
bool ParseScenario(const std::string& text, const std::string& fileName, TScenario& out,
                   std::string& error);
bool LoadScenario(const std::filesystem::path& file, TScenario& out, std::string& error);
// One fault from the command line: "device=2,kind=bad_crc,on_request=3".
bool ParseFaultOption(const std::string& config, TFault& out, std::string& error);
bool MeterKindFromName(const std::string& name, TMeterKind& out);

} // namespace virs::sim
