#include "Launcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace Launcher {

namespace {

struct Hooks
{
    ProcessStarter starter;
    UrlOpener opener;
    Environment environment;
    std::chrono::milliseconds shownAfter{3000};
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}

// Launchers and editors started and not yet ended. They are never deleted
// while running, so none is killed when the program ends.
QList<QProcess *> &runningProcesses()
{
    static QList<QProcess *> running;
    return running;
}

QString baseName(const QString &program)
{
    return QFileInfo(program).fileName();
}

const QStringList &knownGraphicalEditors()
{
    static const QStringList names = {QStringLiteral("gnome-text-editor"),
                                      QStringLiteral("gedit"),
                                      QStringLiteral("kate"),
                                      QStringLiteral("kwrite"),
                                      QStringLiteral("mousepad"),
                                      QStringLiteral("pluma"),
                                      QStringLiteral("xed"),
                                      QStringLiteral("featherpad"),
                                      QStringLiteral("leafpad"),
                                      QStringLiteral("l3afpad"),
                                      QStringLiteral("geany")};
    return names;
}

#ifndef Q_OS_WIN
// Programs that run an editor in a terminal window of their own.
const QStringList &terminals()
{
    static const QStringList names = {QStringLiteral("x-terminal-emulator"), QStringLiteral("xterm")};
    return names;
}
#endif

} // namespace

Environment systemEnvironment()
{
    return {[](const char *name) { return qEnvironmentVariable(name); },
            [](const QString &program) { return QStandardPaths::findExecutable(program); }};
}

EditorKind editorKind(const QStringList &command)
{
    if (command.isEmpty())
        return EditorKind::Shell;
    const QString name = baseName(command.constFirst());
    static const QStringList shells = {
        QStringLiteral("sh"),   QStringLiteral("bash"),   QStringLiteral("dash"), QStringLiteral("zsh"),
        QStringLiteral("ksh"),  QStringLiteral("mksh"),   QStringLiteral("fish"), QStringLiteral("csh"),
        QStringLiteral("tcsh"), QStringLiteral("busybox")};
    if (shells.contains(name))
        return EditorKind::Shell;
    const QStringList args = command.mid(1);
    auto hasAny = [&args](std::initializer_list<const char *> options) {
        for (const char *o : options)
            if (args.contains(QLatin1String(o)))
                return true;
        return false;
    };
    if (name == u"emacs" || name == u"xemacs")
        return hasAny({"-nw", "--no-window-system", "-t", "--terminal"}) ? EditorKind::Terminal
                                                                         : EditorKind::Graphical;
    if (name == u"emacsclient")
        return hasAny({"-c", "--create-frame"}) && !hasAny({"-t", "-nw", "--tty"}) ? EditorKind::Graphical
                                                                                   : EditorKind::Terminal;
    if ((name == u"vim" || name == u"nvim") && hasAny({"-g", "--gui"}))
        return EditorKind::Graphical;
    static const QStringList graphical =
        QStringList{QStringLiteral("gvim"),  QStringLiteral("code"),         QStringLiteral("codium"),
                    QStringLiteral("subl"),  QStringLiteral("sublime_text"), QStringLiteral("atom"),
                    QStringLiteral("zed"),   QStringLiteral("notepadqq"),    QStringLiteral("scite"),
                    QStringLiteral("medit"), QStringLiteral("xedit"),        QStringLiteral("nedit"),
                    QStringLiteral("lapce")}
        << knownGraphicalEditors();
    // Anything else (vi, vim, nano, micro, an editor this list does not
    // know) runs in a terminal: a graphical one still shows its window there.
    return graphical.contains(name) ? EditorKind::Graphical : EditorKind::Terminal;
}

QList<Command> editorCommands(const QString &fileName, const Environment &env)
{
#ifdef Q_OS_WIN
    Q_UNUSED(env);
    return {{QStringLiteral("notepad.exe"), {fileName}}};
#else
    QList<Command> graphical;
    QList<Command> inTerminal;
    const QString xdgOpen = env.findProgram(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty())
        graphical.append({xdgOpen, {fileName}});

    QString terminal;
    for (const QString &t : terminals()) {
        terminal = env.findProgram(t);
        if (!terminal.isEmpty())
            break;
    }
    for (const char *variable : {"VISUAL", "EDITOR"}) {
        QStringList command = QProcess::splitCommand(env.variable(variable));
        if (command.isEmpty())
            continue;
        const QString path = env.findProgram(command.constFirst());
        if (path.isEmpty())
            continue;
        switch (editorKind(command)) {
        case EditorKind::Shell:
            break;
        case EditorKind::Graphical:
            graphical.append({path, command.mid(1) << fileName});
            break;
        case EditorKind::Terminal:
            if (!terminal.isEmpty())
                inTerminal.append(
                    {terminal, QStringList{QStringLiteral("-e"), path} << command.mid(1) << fileName});
            break;
        }
    }
    for (const QString &name : knownGraphicalEditors()) {
        const QString path = env.findProgram(name);
        if (path.isEmpty())
            continue;
        const Command c{path, {fileName}};
        if (!graphical.contains(c))
            graphical.append(c);
    }
    return graphical << inTerminal;
#endif
}

QString editorFailureText(const QString &fileName, const QStringList &tried)
{
    const QFileInfo info(fileName);
    const QString why =
        tried.isEmpty()
            ? QStringLiteral("没有找到可用的文本编辑器")
            : QStringLiteral("试过的程序都没能打开它（%1）").arg(tried.join(QStringLiteral("、")));
    return QStringLiteral("无法用文本编辑器打开 %1：%2。\r\n\r\n文件所在的文件夹：%3")
        .arg(info.fileName(), why, QDir::toNativeSeparators(info.absolutePath()));
}

namespace {

// One call of OpenInTextEditor: tries the commands in turn and deletes
// itself when one has shown the file or all have failed.
class EditorLaunch : public QObject
{
public:
    EditorLaunch(const QString &fileName, QList<Command> commands, QObject *context, Failed failed)
        : m_fileName(fileName), m_commands(std::move(commands)), m_context(context),
          m_failed(std::move(failed))
    {
    }

    void tryNext()
    {
        if (m_commands.isEmpty()) {
            if (m_context && m_failed)
                m_failed(editorFailureText(m_fileName, m_tried));
            deleteLater();
            return;
        }
        const Command command = m_commands.takeFirst();
        m_tried << baseName(command.program);
        if (hooks().starter) {
            if (hooks().starter(command.program, command.arguments))
                deleteLater();
            else
                tryNext();
            return;
        }
        start(command);
    }

private:
    void start(const Command &command)
    {
        // The process is not a child of this object: a launcher or editor
        // still running when the program ends keeps running. Its standard
        // streams go nowhere, so nothing ties it to this process.
        auto *process = new QProcess;
        runningProcesses().append(process);
        process->setProgram(command.program);
        process->setArguments(command.arguments);
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        auto *shownTimer = new QTimer(this);
        shownTimer->setSingleShot(true);
        auto settled = std::make_shared<bool>(false);
        auto settle = [this, process, shownTimer, settled](bool shown) {
            if (*settled)
                return;
            *settled = true;
            shownTimer->stop();
            shownTimer->deleteLater();
            if (shown)
                deleteLater();
            else
                tryNext();
        };
        connect(process, &QProcess::finished, this, [settle](int code, QProcess::ExitStatus status) {
            settle(status == QProcess::NormalExit && code == 0);
        });
        auto release = [process] {
            runningProcesses().removeOne(process);
            process->deleteLater();
        };
        connect(process, &QProcess::errorOccurred, this, [settle, release](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                settle(false);
                release();
            }
        });
        connect(process, &QProcess::finished, process, release);
        connect(shownTimer, &QTimer::timeout, this, [settle] { settle(true); });
        shownTimer->start(hooks().shownAfter);
        process->start();
    }

    QString m_fileName;
    QList<Command> m_commands;
    QPointer<QObject> m_context;
    Failed m_failed;
    QStringList m_tried;
};

} // namespace

void OpenInTextEditor(const QString &fileName, QObject *context, Failed failed)
{
    const Environment system = systemEnvironment();
    const Environment &hooked = hooks().environment;
    const Environment env{hooked.variable ? hooked.variable : system.variable,
                          hooked.findProgram ? hooked.findProgram : system.findProgram};
    // An absolute path: no file name (say one from a hand-edited saved list
    // that starts with "-") can be read as an option by the editor.
    const QString path = fileName.isEmpty() ? fileName : QFileInfo(fileName).absoluteFilePath();
    auto *launch = new EditorLaunch(fileName, editorCommands(path, env), context, std::move(failed));
    launch->tryNext();
}

bool OpenWebPage(const QUrl &url)
{
    if (hooks().opener)
        return hooks().opener(url);
    return QDesktopServices::openUrl(url);
}

void setProcessStarter(ProcessStarter starter)
{
    hooks().starter = std::move(starter);
}

void setUrlOpener(UrlOpener opener)
{
    hooks().opener = std::move(opener);
}

void setEnvironment(const Environment &env)
{
    hooks().environment = env;
}

void setShownAfter(std::chrono::milliseconds ms)
{
    hooks().shownAfter = ms;
}

} // namespace Launcher
