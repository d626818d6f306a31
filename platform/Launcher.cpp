#include "Launcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace Launcher {

namespace {

ProcessStarter &processStarter()
{
    static ProcessStarter starter;
    return starter;
}

UrlOpener &urlOpener()
{
    static UrlOpener opener;
    return opener;
}

} // namespace

Command editorCommand(const QString &fileName, const std::function<QString(const char *)> &env,
                      const std::function<QString(const QString &)> &findProgram)
{
#ifdef Q_OS_WIN
    Q_UNUSED(env);
    Q_UNUSED(findProgram);
    return {QStringLiteral("notepad.exe"), {fileName}};
#else
    QStringList visual = QProcess::splitCommand(env("VISUAL"));
    if (!visual.isEmpty()) {
        const QString program = visual.takeFirst();
        if (!findProgram(program).isEmpty())
            return {program, visual << fileName};
    }
    const QStringList known = {
        QStringLiteral("xdg-open"), QStringLiteral("gedit"),  QStringLiteral("gnome-text-editor"),
        QStringLiteral("kate"),     QStringLiteral("kwrite"), QStringLiteral("mousepad"),
        QStringLiteral("pluma"),    QStringLiteral("xed"),    QStringLiteral("featherpad"),
        QStringLiteral("leafpad")};
    for (const QString &program : known) {
        const QString path = findProgram(program);
        if (!path.isEmpty())
            return {path, {fileName}};
    }
    return {};
#endif
}

bool OpenInTextEditor(const QString &fileName)
{
    const Command command = editorCommand(
        fileName, [](const char *name) { return qEnvironmentVariable(name); },
        [](const QString &program) { return QStandardPaths::findExecutable(program); });
    if (!command.isValid())
        return false;
    if (processStarter())
        return processStarter()(command.program, command.arguments);
    return QProcess::startDetached(command.program, command.arguments, QDir::currentPath());
}

bool OpenWebPage(const QUrl &url)
{
    if (urlOpener())
        return urlOpener()(url);
    return QDesktopServices::openUrl(url);
}

void setProcessStarter(ProcessStarter starter)
{
    processStarter() = std::move(starter);
}

void setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

} // namespace Launcher
