#pragma once
// The toolkit's own dialogs (font, file, message-box buttons) in Russian, like
// the rest of the program, whatever language the system is set to.

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace virs {

// Folders searched for qtbase_ru.qm, in order: the toolkit's translations
// folder, then "translations" beside the program.
QStringList QtTranslationFolders();

// Loads qtbase_ru.qm from the first folder that has it and installs it into
// `app` (which owns it). Returns the file loaded, or an empty string when none
// was found; the program then runs with the toolkit's English texts.
QString InstallQtTranslations(QCoreApplication& app,
                              const QStringList& folders = QtTranslationFolders());

} // namespace virs
