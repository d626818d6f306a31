#pragma once

#include <QString>

// Qt's own texts (dialog buttons, the file, font and colour dialogs) in
// Simplified Chinese whatever the process locale: the program's interface is
// Chinese by design.
namespace QtTranslations {

// The folder Qt's translation files are installed in.
QString defaultFolder();

// Installs Qt's Simplified Chinese translation from folder into the running
// application. A missing or unreadable file changes nothing and says
// nothing: Qt's texts then stay English. Returns whether it was installed.
bool installChinese(const QString &folder = defaultFolder());

} // namespace QtTranslations
