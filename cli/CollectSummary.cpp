#include "cli/CollectSummary.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

namespace virs::cli {
namespace {

std::string Padded(const std::string& text, std::size_t width) {
    std::size_t chars = 0;
    for (unsigned char c : text)
        chars += (c & 0xC0) != 0x80;
    return text + std::string(width > chars ? width - chars : 1, ' ');
}

} // namespace

void PrintSummary(const std::vector<TCollectEntry>& entries) {
    std::printf("%s%s%s%s%s%s\n", Padded("узел", 24).c_str(), Padded("прибор", 22).c_str(),
                Padded("что", 12).c_str(), Padded("итог", 40).c_str(), Padded("строк", 7).c_str(),
                "секунд");
    for (const TCollectEntry& e : entries) {
        const std::string node = std::to_string(e.Node) + " " + e.NodeName;
        const std::string device =
            e.Device < 0 ? "-" : std::to_string(e.Device) + " " + e.DeviceName;
        std::printf("%s%s%s%s%s%.1f\n", Padded(node, 24).c_str(), Padded(device, 22).c_str(),
                    Padded(e.What, 12).c_str(), Padded(e.Outcome, 40).c_str(),
                    Padded(std::to_string(e.Rows), 7).c_str(), e.Seconds);
    }
}

bool WriteSummary(const std::string& file, const std::vector<TCollectEntry>& entries, bool allOk) {
    nlohmann::json list = nlohmann::json::array();
    for (const TCollectEntry& e : entries)
        list.push_back(
            {{"node", e.Node},
             {"node_name", e.NodeName},
             {"device", e.Device < 0 ? nlohmann::json(nullptr) : nlohmann::json(e.Device)},
             {"device_name", e.DeviceName},
             {"what", e.What},
             {"ok", e.Ok},
             {"outcome", e.Outcome},
             {"rows", e.Rows},
             {"seconds", e.Seconds}});
    const nlohmann::json doc = {{"ok", allOk}, {"entries", list}};
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << doc.dump(2) << "\n";
    return static_cast<bool>(out);
}

} // namespace virs::cli
