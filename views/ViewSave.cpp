#include "views/ViewSave.h"

#include "model/AtomicFile.h"
#include "model/TextCodec.h"

namespace virs {

namespace {

// Where a name shows in a message: as the operator typed it.
std::string Shown(const std::filesystem::path& p) {
    return p.string();
}

} // namespace

std::filesystem::path SaveNameForFilter(const std::filesystem::path& chosen, int filter) {
    std::filesystem::path name = chosen;
    name.replace_extension(filter == SaveFilterWorkbook ? ".xls" : ".txt");
    return name;
}

std::string ViewTextFileBytes(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += Utf8ToCp1251(line);
        bytes += "\r\n";
    }
    return bytes;
}

TSaveOutcome SaveViewText(const std::filesystem::path& target,
                          const std::vector<std::string>& lines) {
    TSaveOutcome outcome;
    std::string error;
    outcome.Ok = WriteFileAtomically(target, ViewTextFileBytes(lines), &error);
    if (!outcome.Ok)
        outcome.Message = "Не удалось сохранить файл " + Shown(target) + ":\r" + error;
    return outcome;
}

TSaveOutcome CopyArchiveWorkbook(const std::filesystem::path& folder,
                                 const std::string& archiveFile,
                                 const std::filesystem::path& target) {
    TSaveOutcome outcome;
    if (archiveFile.empty()) {
        outcome.Message = "У прибора ещё нет архива: сначала прочитайте суточный, часовой или "
                          "месячный архив.\rКнига Excel не сохранена.";
        return outcome;
    }
    const std::filesystem::path source = std::filesystem::path(archiveFile).is_absolute()
                                             ? std::filesystem::path(archiveFile)
                                             : folder / archiveFile;
    std::string bytes, error;
    if (!ReadWholeFile(source, bytes, &error)) {
        outcome.Message = "Не удалось прочитать архив прибора " + archiveFile + ":\r" + error +
                          "\rКнига Excel не сохранена.";
        return outcome;
    }
    if (!WriteFileAtomically(target, bytes, &error)) {
        outcome.Message = "Не удалось сохранить копию архива в " + Shown(target) + ":\r" + error;
        return outcome;
    }
    outcome.Ok = true;
    return outcome;
}

} // namespace virs
