#include "Artwork.h"
#include "QtTranslations.h"
#include "Setting.h"
#include "UiKit.h"
#include "WindowShell.h"

#include <QApplication>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

int main(int argc, char *argv[])
{
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
    return app.exec();
}
