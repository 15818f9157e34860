#pragma once
// The name of a device's archive workbook: "node [device].xls", then
// "node [device]_0.xls", "_1" … when a name is taken. Node and device names
// are the user's text: they are made safe as one file name in the working
// folder first.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace virs {

// The highest number tried after "node [device].xls".
inline constexpr int MaxArchiveFileNumber = 255;
inline constexpr const char* ArchiveNoFreeNameText =
    "Нет свободного имени файла архива: заняты все имена от \"%s\" до \"%s\". "
    "Удалите или переместите старые файлы архива";

// A part of a file name from user text (UTF-8): each character that a Windows
// file name cannot hold or that could lead out of the folder (/ \ : * ? " < >
// | and control characters) becomes "_"; a text of dots only (or empty) and a
// reserved device name (CON, PRN, AUX, NUL, COM1..9, LPT1..9, in any case)
// get a "_" in front.
std::string SafeFileNamePart(std::string_view text);

// The name with number n (n < 0: without a number).
std::string ArchiveFileName(std::string_view node, std::string_view device, int n);

// The first name that does not exist in `folder`, or nothing when every name
// up to n = MaxArchiveFileNumber is taken.
std::optional<std::string> FreeArchiveFileName(const std::filesystem::path& folder,
                                               std::string_view node, std::string_view device);

// Where a workbook name (UTF-8; a bare name is in `folder`) is on disk.
std::filesystem::path ArchivePath(const std::filesystem::path& folder, const std::string& name);

// The refusal when no name is free.
std::string NoFreeArchiveNameMessage(std::string_view node, std::string_view device);

} // namespace virs
