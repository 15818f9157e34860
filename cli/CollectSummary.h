#pragma once
// The summary that closes a collect run: one entry per connection, job and
// hang-up, printed as a table and, on request, written as JSON.

#include <string>
#include <vector>

namespace virs::cli {

// One line of the summary.
struct TCollectEntry {
    int Node = 0;
    std::string NodeName;
    int Device = -1; // -1: the node itself (connection, hang-up)
    std::string DeviceName;
    std::string What; // соединение, текущие, параметры, архив, отключение
    std::string Outcome;
    bool Ok = false;
    int Rows = 0; // archive rows in the device's sheet after the job
    double Seconds = 0;
};

// The table on standard output, one line per entry.
void PrintSummary(const std::vector<TCollectEntry>& entries);
// The JSON file: {"ok": allOk, "entries": [...]}. False when it cannot be written.
bool WriteSummary(const std::string& file, const std::vector<TCollectEntry>& entries, bool allOk);

} // namespace virs::cli
