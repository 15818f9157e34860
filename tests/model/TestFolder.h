#pragma once
// The model tests' folder helpers: the shared temporary folder and whole-file
// reads and writes.

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/TempFolder.h"

namespace virs::test {

using TempFolder = TTempFolder;

inline std::string ReadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace virs::test
