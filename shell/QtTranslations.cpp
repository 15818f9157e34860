#include "shell/QtTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace virs {

namespace {
constexpr const char* TranslationName = "qtbase_ru";
}

QStringList QtTranslationFolders() {
    QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    if (QCoreApplication::instance())
        folders << QDir(QCoreApplication::applicationDirPath()).filePath("translations");
    return folders;
}

QString InstallQtTranslations(QCoreApplication& app, const QStringList& folders) {
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        auto* translator = new QTranslator(&app);
        if (translator->load(TranslationName, folder) &&
            QCoreApplication::installTranslator(translator))
            return translator->filePath();
        delete translator;
    }
    return {};
}

} // namespace virs
