#pragma once
// End-to-end harness: a temporary folder with an alias folder for the ports,
// the simulator virs-sim on pseudo-terminals as a child process, virs-cli runs
// with their output captured, and station databases written through the model.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/StationBase.h"
#include "tests/support/TempFolder.h"

extern char** environ;

namespace virs::test {

inline std::filesystem::path BinaryDir() {
    const char* dir = std::getenv("VIRS_BINARY_DIR");
    return dir ? std::filesystem::path(dir) : std::filesystem::current_path();
}

// A folder removed with everything in it at the end.
inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// virs-sim running with a scenario until the end of the test.
class TSimProcess {
public:
    TSimProcess(const std::filesystem::path& scenario, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {(BinaryDir() / "sim" / "virs-sim").string(), "--scenario",
                                         scenario.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        // For a look at the line while a test is being debugged.
        if (const char* log = std::getenv("VIRS_E2E_SIM_LOG")) {
            args.push_back("--log");
            args.push_back(log);
        }
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("no pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&Pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (rc != 0) {
            close(out[0]);
            throw std::runtime_error("virs-sim could not be started");
        }
        // Wait for "готов" (the aliases are in place then).
        std::string seen;
        char buffer[256];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (seen.find("готов") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            seen.append(buffer, static_cast<std::size_t>(n));
        }
        Output = out[0]; // kept open so the simulator never writes into a closed pipe
        Ready = seen.find("готов") != std::string::npos;
        Banner = seen;
    }
    ~TSimProcess() {
        if (Pid > 0) {
            kill(Pid, SIGTERM);
            int status = 0;
            waitpid(Pid, &status, 0);
        }
        if (Output >= 0)
            close(Output);
    }
    TSimProcess(const TSimProcess&) = delete;
    TSimProcess& operator=(const TSimProcess&) = delete;

    bool Ready = false;
    std::string Banner;

private:
    pid_t Pid = -1;
    int Output = -1;
};

struct TRunResult {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

// Starts a program with its standard output and error going to the two files;
// the process id, or -1 when it could not be started.
inline pid_t SpawnProgram(std::vector<std::string> args, const std::string& outFile,
                          const std::string& errFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Runs a program with its standard output and error captured into files of `folder`.
inline TRunResult RunProgram(const std::vector<std::string>& arguments,
                             const std::filesystem::path& folder) {
    const std::string outFile = (folder / "run.out").string();
    const std::string errFile = (folder / "run.err").string();
    TRunResult r;
    const pid_t pid = SpawnProgram(arguments, outFile, errFile);
    if (pid < 0)
        return r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.Out = ReadText(outFile);
    r.Err = ReadText(errFile);
    return r;
}

inline TRunResult RunCli(const std::vector<std::string>& arguments,
                         const std::filesystem::path& folder) {
    std::vector<std::string> args = {(BinaryDir() / "cli" / "virs-cli").string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    return RunProgram(args, folder);
}

// A node with its link settings; the devices as (type, network address).
struct TTestNode {
    TLinkType LinkType = LinkDirect;
    u16 ComPort = 1;
    u8 BaudIndex = 3; // 9600
    u8 ParityIndex = 0;
    u8 StopBitsIndex = 0;
    std::string Phone;
    u8 Retries = 2;
    u16 ReplyTimeoutMs = 500;
    std::vector<std::pair<TDeviceType, u8>> Devices;
};

inline StationBase MakeStation(const std::vector<TTestNode>& nodes) {
    StationBase base;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const TTestNode& t = nodes[n];
        TNode node = NewNodeRecord();
        node.NameSlot.Value.Set("узел " + std::to_string(n + 1));
        node.LinkType = t.LinkType;
        node.ComPort = t.ComPort;
        node.BaudIndex = t.BaudIndex;
        node.ParityIndex = t.ParityIndex;
        node.StopBitsIndex = t.StopBitsIndex;
        node.Phone.Set(t.Phone);
        node.ModemInit.Set("");
        node.Retries = t.Retries;
        node.ReplyTimeoutMs = t.ReplyTimeoutMs;
        node.DeviceCount = static_cast<u8>(t.Devices.size());
        base.Nodes.push_back(node);
        base.Devices.emplace_back();
        for (std::size_t d = 0; d < t.Devices.size(); ++d) {
            TDevice device = NewDeviceRecord();
            device.NameSlot.Value.Set("прибор " + std::to_string(d + 1));
            device.DeviceType = t.Devices[d].first;
            device.NetAddress = t.Devices[d].second;
            base.Devices.back().push_back(device);
        }
    }
    return base;
}

inline void SaveStation(const StationBase& base, const std::filesystem::path& dir) {
    TStationFileGuard guard;
    const TSaveReport saved = SaveStationBase(base, guard, dir);
    if (!saved.Ok)
        throw std::runtime_error("base.dat not written: " + saved.Message);
}

inline StationBase LoadStation(const std::filesystem::path& dir) {
    StationBase base;
    TStationFileGuard guard;
    LoadStationBase(base, guard, dir);
    return base;
}

// A temporary folder with a private serial-port folder "ports" (published to
// the simulator and virs-cli through VIRS_PORTS_DIR) and a station folder "base".
class TStationFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Ports = Folder.Path / "ports";
        Base = Folder.Path / "base";
        std::filesystem::create_directories(Ports);
        std::filesystem::create_directories(Base);
        setenv("VIRS_PORTS_DIR", Ports.c_str(), 1);
    }

    TTempFolder Folder;
    std::filesystem::path Ports, Base;
};

} // namespace virs::test
