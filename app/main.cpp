#include "Artwork.h"
#include "CommandLine.h"
#include "QtTranslations.h"
#include "Setting.h"
#include "StateKeeper.h"
#include "UiKit.h"
#include "WindowShell.h"

#include <QApplication>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

int main(int argc, char *argv[])
{
    // Read before the application exists, so --help works without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::parse(arguments);
    switch (commandLine.action) {
    case CommandLine::Action::ShowHelp:
        CommandLine::print(CommandLine::helpText(QStringLiteral("xingsuo-draw")));
        return 0;
    case CommandLine::Action::ShowVersion:
        CommandLine::print(CommandLine::versionText());
        return 0;
    case CommandLine::Action::Refuse:
        CommandLine::print(
            QStringLiteral("xingsuo-draw: %1\n请用 xingsuo-draw --help 查看可用的选项 (see --help).\n")
                .arg(commandLine.error),
            true);
        return 2;
    case CommandLine::Action::Run:
        break;
    }
#ifdef Q_OS_UNIX
    // A full disk or a file-size limit must show up as a failed write that
    // the operator is told about, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("xingsuo-draw"));
    QtTranslations::installChinese(); // dialog buttons and Qt's dialogs in Chinese too
    QApplication::setWindowIcon(Artwork::windowIcon());
    QApplication::setFont(uiFont(9)); // message boxes and dialogs in a CJK face too
    // The program ends through its own exit paths, never because a window hid.
    QApplication::setQuitOnLastWindowClosed(false);

    WindowShell shell;
    shell.setting()->show();
    StateKeeper keeper(shell, StateKeeper::userStore());
    if (commandLine.fresh) // the default values; the saved state is set aside, not deleted
        keeper.startFresh();
    else
        keeper.restore();
    return shell.exec();
}
