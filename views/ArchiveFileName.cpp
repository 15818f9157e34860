#include "views/ArchiveFileName.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "model/TextCodec.h"

namespace virs {

namespace {

// A name part longer than this is cut, so that a whole name with its number
// and extension stays within the 255 characters of ArchiveFile.
constexpr std::size_t MaxPartLength = 120;

bool IsReservedDeviceName(std::string_view text) {
    std::string upper;
    for (char c : text)
        upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    // Windows also takes "CON.txt" for the device: the part before the first dot counts.
    upper = upper.substr(0, upper.find('.'));
    while (!upper.empty() && upper.back() == ' ')
        upper.pop_back();
    static const std::array<std::string_view, 4> Plain = {"CON", "PRN", "AUX", "NUL"};
    if (std::find(Plain.begin(), Plain.end(), upper) != Plain.end())
        return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

} // namespace

std::string SafeFileNamePart(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        const bool bad = c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' ||
                         c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
        out += bad ? '_' : static_cast<char>(c);
    }
    if (!IsWellFormedUtf8(out))
        out = Cp1251ToUtf8(Utf8ToCp1251(out)); // never a broken sequence in a file name
    out = Utf8Left(out, MaxPartLength);
    const bool dotsOnly = std::all_of(out.begin(), out.end(), [](char c) { return c == '.'; });
    if (dotsOnly || IsReservedDeviceName(out))
        out.insert(out.begin(), '_');
    return out;
}

std::string ArchiveFileName(std::string_view node, std::string_view device, int n) {
    std::string name = SafeFileNamePart(node) + " [" + SafeFileNamePart(device) + "]";
    if (n >= 0)
        name += "_" + std::to_string(n);
    return name + ".xls";
}

std::optional<std::string> FreeArchiveFileName(const std::filesystem::path& folder,
                                               std::string_view node, std::string_view device) {
    for (int n = -1; n <= MaxArchiveFileNumber; ++n) {
        const std::string name = ArchiveFileName(node, device, n);
        std::error_code ec;
        const bool taken = std::filesystem::exists(ArchivePath(folder, name), ec) || ec;
        if (!taken)
            return name;
    }
    return std::nullopt;
}

std::filesystem::path ArchivePath(const std::filesystem::path& folder, const std::string& name) {
    const std::filesystem::path path(std::u8string(name.begin(), name.end()));
    return path.is_absolute() ? path : folder / path;
}

std::string NoFreeArchiveNameMessage(std::string_view node, std::string_view device) {
    const std::string first = ArchiveFileName(node, device, -1);
    const std::string last = ArchiveFileName(node, device, MaxArchiveFileNumber);
    std::vector<char> buffer(first.size() + last.size() + 512);
    std::snprintf(buffer.data(), buffer.size(), ArchiveNoFreeNameText, first.c_str(), last.c_str());
    return buffer.data();
}

} // namespace virs
