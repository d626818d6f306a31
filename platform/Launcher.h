#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Starting the text editor and the browser. Both go through replaceable
// functions so tests can see what would be started without starting it.
namespace Launcher {

struct Command
{
    QString program;
    QStringList arguments;
    bool isValid() const { return !program.isEmpty(); }
};

// Which editor opens fileName: $VISUAL (split into program and arguments),
// else xdg-open, else the first known graphical editor on the PATH. The
// file name is passed unchanged as the last argument, never through a shell.
// env and findProgram stand for the environment and the PATH search.
Command editorCommand(const QString &fileName, const std::function<QString(const char *)> &env,
                      const std::function<QString(const QString &)> &findProgram);

// Starts the system text editor on fileName without waiting for it.
// Returns whether it could be started.
bool OpenInTextEditor(const QString &fileName);

// Opens a web page in the default browser; returns whether that worked.
bool OpenWebPage(const QUrl &url);

// Test hooks.
using ProcessStarter = std::function<bool(const QString &program, const QStringList &arguments)>;
using UrlOpener = std::function<bool(const QUrl &url)>;
void setProcessStarter(ProcessStarter starter); // empty: the real one
void setUrlOpener(UrlOpener opener);            // empty: the real one

} // namespace Launcher
