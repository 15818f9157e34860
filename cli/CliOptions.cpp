#include "cli/CliOptions.h"

#include <cstdio>

namespace virs::cli {

bool ParseNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 5)
        return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high)
        return false;
    value = v;
    return true;
}

bool ParseOptionPairs(
    const Args& args, const char* usage,
    const std::function<bool(const std::string& name, const std::string& value)>& accept) {
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::string& name = args[i];
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "virs-cli: у параметра %s нет значения\n%s", name.c_str(), usage);
            return false;
        }
        const std::string& value = args[i + 1];
        if (!accept(name, value)) {
            std::fprintf(stderr, "virs-cli: неверный параметр %s %s\n%s", name.c_str(),
                         value.c_str(), usage);
            return false;
        }
    }
    return true;
}

} // namespace virs::cli
