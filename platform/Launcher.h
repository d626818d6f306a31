#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <functional>

class QObject;

// Starting the text editor and the browser. Both go through replaceable
// functions so tests can see what would be started without starting it.
namespace Launcher {

struct Command
{
    QString program;
    QStringList arguments;
    bool isValid() const { return !program.isEmpty(); }
    bool operator==(const Command &) const = default;
};

// The environment as the editor search sees it: variables and the PATH.
struct Environment
{
    std::function<QString(const char *)> variable;
    std::function<QString(const QString &)> findProgram; // full path, or empty
};
Environment systemEnvironment();

// What a program named in $VISUAL or $EDITOR is: an editor with a window of
// its own, one that needs a terminal, or a shell (never started).
enum class EditorKind { Graphical, Terminal, Shell };
EditorKind editorKind(const QStringList &command);

// The ways to show fileName, best first: the desktop's default application
// (xdg-open); $VISUAL, then $EDITOR, when it names a graphical editor; the
// known graphical editors on the PATH; $VISUAL or $EDITOR inside the
// desktop's terminal when it names a terminal editor. The file name is the
// last argument, unchanged; nothing goes through a shell.
QList<Command> editorCommands(const QString &fileName, const Environment &env);

// The operator's message when nothing could show fileName. tried: the
// programs that were started and failed, in order.
QString editorFailureText(const QString &fileName, const QStringList &tried);

// Starts the system text editor on fileName and returns at once. The ways
// above are tried one after another, each a process whose exit status is
// awaited through signals on the event loop, never by blocking: a process
// that exits with status 0, or is still running after a moment, has shown
// the file. When none could, failed is called with the message for the
// operator, unless context is gone by then.
using Failed = std::function<void(const QString &message)>;
void OpenInTextEditor(const QString &fileName, QObject *context, Failed failed);

// Opens a web page in the default browser; returns whether that worked.
bool OpenWebPage(const QUrl &url);

// Test hooks.
// Replaces starting a process: returns whether the program showed the file.
using ProcessStarter = std::function<bool(const QString &program, const QStringList &arguments)>;
using UrlOpener = std::function<bool(const QUrl &url)>;
void setProcessStarter(ProcessStarter starter);   // empty: the real one
void setUrlOpener(UrlOpener opener);              // empty: the real one
void setEnvironment(const Environment &env);      // empty members: the system's
void setShownAfter(std::chrono::milliseconds ms); // how long a running process takes to count as shown

} // namespace Launcher
