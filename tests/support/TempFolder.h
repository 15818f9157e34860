#pragma once
// The temporary folder of the tests: a fresh folder under the system's
// temporary folder, removed with everything in it when the test ends.

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace virs::test {

class TTempFolder {
public:
    // A new folder of a random name, created exclusively (a name another test
    // or program already has is skipped); plain C++, so Windows builds use it too.
    TTempFolder() {
        std::random_device seed;
        std::mt19937_64 random(seed());
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path candidate =
                base / ("virs-test-" + std::to_string(random() % 1000000000000ULL));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) {
                Path = candidate;
                return;
            }
        }
        throw std::runtime_error("no temporary folder");
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return Path / name; }

    std::filesystem::path Path;
};

} // namespace virs::test
