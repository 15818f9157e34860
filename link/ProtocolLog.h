#pragma once
// The protocol log ModBus_protocol.txt: every frame sent and received during a
// job, one line each, in Windows-1251. Created empty at every job start and
// closed at the end of the job sequence, so it holds the last job only.
//
// The main thread creates and closes it while the exchange thread is parked or
// waits in the completion call; the exchange thread writes lines while it runs
// a job. A line that cannot be written is dropped and counted: the log never
// stops a job.

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace virs {

inline constexpr const char* ProtocolLogFileName = "ModBus_protocol.txt";

class TProtocolLog {
public:
    TProtocolLog() = default;
    ~TProtocolLog();
    TProtocolLog(const TProtocolLog&) = delete;
    TProtocolLog& operator=(const TProtocolLog&) = delete;

    // (Re)creates the file empty; false when it cannot be created.
    bool Create(const std::filesystem::path& path);
    // Closes the file; false when buffered lines could not be written out.
    bool Close();
    bool IsOpen() const { return File != nullptr; }
    // Appends one line (UTF-8 in, Windows-1251 with CR LF on disk). Without an
    // open file, or when the disk refuses, the line is lost and false returned.
    // Lines are kept in the file's buffer until Flush (or Close).
    bool WriteLine(std::string_view utf8);
    // Hands the buffered lines to the system, so the file can be watched while
    // a long job runs; false (and the lines counted as lost) when refused.
    bool Flush();
    // Lines lost since the file was created.
    unsigned LostLines() const { return Lost; }

private:
    std::FILE* File = nullptr;
    unsigned Lost = 0;
    unsigned Pending = 0; // lines written to the buffer since the last flush
};

} // namespace virs
