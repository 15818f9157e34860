#pragma once
// Runs virs-cli as a separate process and captures what it prints.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace virs::test {

struct CliResult {
    int ExitCode = -1;
    std::string Out; // standard output, standard error appended after it
};

inline std::string CliPath() {
    const char* dir = std::getenv("VIRS_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/cli/virs-cli";
}

// `arguments` is appended to the command line as it is (quote where needed).
inline CliResult RunCli(const std::string& arguments) {
    CliResult result;
    const std::string command = CliPath() + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.Out.append(buffer, n);
    const int status = pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace virs::test
