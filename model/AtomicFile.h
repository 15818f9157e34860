#pragma once
// Writing a whole file so that a crash, a failed write or a second writer never
// leaves it torn: the bytes go to a temporary file of a unique name beside the
// target, created exclusively (never through a link planted there), which is
// flushed to disk and then renamed over the target in one step.

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace virs {

// Returns false and a description of the failure (the system's words) in `error`;
// the target is then untouched and no temporary file is left behind.
// A target that is a symbolic link is written through to the file it names; a
// target that exists and is not a regular file (a folder, a device, a FIFO) is
// refused. Temporary files of earlier saves of the same target whose process
// has gone (a save killed halfway) are removed first.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                         std::string* error = nullptr);

// The temporary name used for one save of `target`: "<name>.tmp-<process>-<random>".
inline constexpr std::string_view TemporaryNameMark = ".tmp-";

inline constexpr std::uint64_t NoSizeLimit = std::numeric_limits<std::uint64_t>::max();

// Reads a whole regular file of at most `maxBytes` bytes; false (with the
// reason) when it cannot be opened or read, is not a regular file (a FIFO or a
// device is refused without waiting on it) or is larger.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes,
                   std::string* error = nullptr, std::uint64_t maxBytes = NoSizeLimit);

} // namespace virs
