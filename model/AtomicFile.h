#pragma once
// Writing a whole file so that a crash or a failed write never leaves it torn:
// the bytes go to a temporary file beside the target, which is flushed to disk
// and then renamed over the target in one step.

#include <filesystem>
#include <string>
#include <string_view>

namespace virs {

// Returns false and a description of the failure (the system's words) in `error`;
// the target is then untouched and no temporary file is left behind.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole file; false (with the reason) when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes,
                   std::string* error = nullptr);

} // namespace virs
