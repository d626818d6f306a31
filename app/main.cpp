#include "Artwork.h"
#include "Setting.h"
#include "StateKeeper.h"
#include "UiKit.h"
#include "WindowShell.h"

#include <QApplication>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

// --fresh: start with the design's values; the saved state is set aside, not deleted.
static bool wantsFreshStart(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--fresh"));
}

int main(int argc, char *argv[])
{
#ifdef Q_OS_UNIX
    // A full disk or a file-size limit must show up as a failed write that
    // the operator is told about, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("xingsuo-draw"));
    QApplication::setWindowIcon(Artwork::windowIcon());
    QApplication::setFont(uiFont(9)); // message boxes and dialogs in a CJK face too
    // The program ends through its own exit paths, never because a window hid.
    QApplication::setQuitOnLastWindowClosed(false);

    WindowShell shell;
    shell.setting()->show();
    StateKeeper keeper(shell, StateKeeper::userStore());
    if (wantsFreshStart(QCoreApplication::arguments()))
        keeper.startFresh();
    else
        keeper.restore();
    return app.exec();
}
