#include "Artwork.h"
#include "CommandLine.h"
#include "Dialogs.h"
#include "EventLock.h"
#include "Pick.h"
#include "QtTranslations.h"
#include "Setting.h"
#include "StateKeeper.h"
#include "UiKit.h"
#include "WindowShell.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QThreadPool>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

// Another start asked for this copy: its visible windows come to the front,
// the one in use (a message box, the live draw, else the settings) active.
void comeForward(WindowShell &shell)
{
    QWidget *active = QApplication::activeModalWidget();
    if (!active && shell.loadedPick() && shell.loadedPick()->isVisible())
        active = shell.loadedPick();
    if (!active)
        active = shell.setting();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w == active || w->windowType() == Qt::Popup)
            continue;
        w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
        w->raise();
    }
    active->setWindowState(active->windowState() & ~Qt::WindowMinimized);
    bringToFront(active);
}

} // namespace

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
    case CommandLine::Action::ImportReport:
        return CommandLine::importReport(commandLine.rosterFile);
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

    // One running copy per saved event: a second one would overwrite the
    // first one's list and settings, and put its winners back into the pool.
    const EventState::Store store = StateKeeper::userStore();
    EventLock eventLock(QFileInfo(store.settingsPath()).absolutePath());
    QString lockError;
    EventLock::Holder holder;
    EventLock::Outcome outcome = eventLock.lock(&lockError, &holder);
    if (outcome == EventLock::Outcome::Doubtful) {
        // A lock file not shown to be held by a running copy here: the operator decides.
        std::fprintf(stderr, "xingsuo-draw: %s is not shown to be held by a running copy on this machine\n",
                     qPrintable(QDir::toNativeSeparators(eventLock.lockPath())));
        if (Dialogs::choose(nullptr, QStringLiteral("星梭抽奖"),
                            EventLock::takeOverQuestion(eventLock.lockPath(), holder),
                            {QStringLiteral("接管并启动(&T)"), QStringLiteral("退出")}) != 0)
            return 1;
        outcome = eventLock.takeOver(&lockError, &holder);
        if (outcome != EventLock::Outcome::Locked && outcome != EventLock::Outcome::HeldByAnother) {
            if (lockError.isEmpty())
                lockError = QStringLiteral("无法接管锁文件 %1，现在退出。")
                                .arg(QDir::toNativeSeparators(eventLock.lockPath()));
            Dialogs::error(nullptr, lockError);
            return 1;
        }
    }
    switch (outcome) {
    case EventLock::Outcome::Locked:
    case EventLock::Outcome::Doubtful: // answered above
        break;
    case EventLock::Outcome::HeldByAnother: {
        // Nothing of the saved event is read or written by this copy.
        const bool answered = eventLock.askToComeForward(2000);
        std::fprintf(stderr, "xingsuo-draw: already running (process %lld)\n",
                     static_cast<long long>(holder.pid));
        Dialogs::warn(nullptr, QStringLiteral("星梭抽奖"),
                      answered ? QStringLiteral("星梭抽奖已经在运行，同一个活动只能打开一个。\r\n"
                                                "已把正在运行的窗口调到最前面。")
                               : QStringLiteral("星梭抽奖已经在运行（进程 %1），同一个活动只能打开一个。\r\n"
                                                "它没有应答；本次启动不改动保存的设置和列表，现在退出。")
                                     .arg(holder.pid));
        return answered ? 0 : 1;
    }
    case EventLock::Outcome::Failed:
        // The lock cannot be made (a read-only folder): the saving reports its own failure.
        std::fprintf(stderr, "xingsuo-draw: cannot lock the saved event: %s\n", qPrintable(lockError));
        break;
    }

    WindowShell shell;
    QObject::connect(&eventLock, &EventLock::comeForwardAsked, &shell, [&shell] { comeForward(shell); });
    bringToFront(shell.setting());
    StateKeeper keeper(shell, store);
    if (commandLine.fresh) // the default values; the saved state is set aside, not deleted
        keeper.startFresh();
    else
        keeper.restore();
    const int code = shell.exec();
    // The writers' pool threads end before the process does: a thread still
    // ending while exit() runs the static destructors can hang the Windows
    // runtime.
    QThreadPool::globalInstance()->waitForDone();
    return code;
}
