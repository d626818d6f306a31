#pragma once

#include <cstdio>
#include <cstdlib>

#include "CandidateList.h"
#include "Dialogs.h"
#include "DrawEngine.h"
#include "Edit.h"
#include "Launcher.h"
#include "Pick.h"
#include "PositionSource.h"
#include "ResultLogReader.h"
#include "Setting.h"
#include "UiKit.h"
#include "WindowShell.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// Hands out the positions it was given, in order, then repeats the last one.
class ScriptedPositions final : public PositionSource
{
public:
    explicit ScriptedPositions(QList<qint32> positions) : m_positions(std::move(positions)) {}
    qint32 pick(qint32) override
    {
        const qint32 p =
            m_positions.isEmpty() ? 0 : m_positions.at(qMin(m_next, int(m_positions.size()) - 1));
        ++m_next;
        return p;
    }

private:
    QList<qint32> m_positions;
    int m_next = 0;
};

// A fresh program for each test case: its own shell, a temporary current
// folder for Result.txt, dialogs answered by the test, and the editor and
// browser recorded instead of started.
struct ProgramFixture
{
    QTemporaryDir dir;
    QString previousFolder = QDir::currentPath();
    std::unique_ptr<WindowShell> shell = std::make_unique<WindowShell>();
    int endCalls = 0;
    QList<QStringList> started; // program followed by its arguments
    bool startSucceeds = true;
    QList<QUrl> opened;
    bool openSucceeds = true;

    ProgramFixture()
    {
        Dialogs::enableTestMode();
        Dialogs::resetTestState();
        QDir::setCurrent(dir.path());
        shell->setEndProgramHandler([this] { ++endCalls; });
        // The suites run without a sound device: the hall's sounds are off
        // unless a case turns them on.
        shell->controller().setSoundOn(false);
        Launcher::setProcessStarter([this](const QString &program, const QStringList &args) {
            started.append(QStringList{program} + args);
            return startSucceeds;
        });
        Launcher::setUrlOpener([this](const QUrl &url) {
            opened.append(url);
            return openSucceeds;
        });
        // xdg-open is the one program found; the starter above stands for it.
        Launcher::setEnvironment({[](const char *) { return QString(); },
                                  [](const QString &program) {
                                      return program == u"xdg-open" ? QStringLiteral("/usr/bin/xdg-open")
                                                                    : QString();
                                  }});
        shell->setting(); // as at start-up: the settings window loads first
    }
    ~ProgramFixture()
    {
        shell.reset();
        Launcher::setProcessStarter({});
        Launcher::setUrlOpener({});
        Launcher::setEnvironment({});
        QDir::setCurrent(previousFolder);
    }

    void fillList(const QStringList &entries)
    {
        shell->edit()->List1Model()->AddItems(entries);
        shell->controller().setCandidateCount(shell->edit()->List1Model()->ListCount());
    }
    void scriptPositions(QList<qint32> positions)
    {
        shell->pick()->engine()->setPositionSource(std::make_unique<ScriptedPositions>(std::move(positions)));
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write a test file");
        return path(name);
    }
    // The results recorded in Result.txt, in order.
    QStringList results() const { return resultsInLog(path(QStringLiteral("Result.txt"))); }
    QString lastMessage() const
    {
        return Dialogs::shownMessages().isEmpty() ? QString() : Dialogs::shownMessages().constLast().text;
    }
};

// Points the user's saved state (config and data folders) away from the
// user's own: into home through the XDG variables, or on Windows, where the
// state is under AppData, into Qt's test folder there. Returns the folder
// the state now goes under.
inline QString pointStateAt(const QString &home)
{
#ifdef Q_OS_WIN
    Q_UNUSED(home);
    QStandardPaths::setTestModeEnabled(true);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    return home;
#endif
}

inline void click(QWidget *w, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint())
{
    QTest::mouseClick(w, button, Qt::NoModifier, at.isNull() ? w->rect().center() : at);
}

// With real message boxes turned on: runs act on the next box once it is
// shown, from inside its modal loop. act must close the box.
inline void onNextMessageBox(std::function<void(QMessageBox *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(500); // five seconds
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box && --*tries > 0)
            return;
        timer->stop();
        timer->deleteLater();
        if (box)
            act(box);
    });
    timer->start();
}

// Closes a message box as an operator does: a real press of Enter, which
// the box acts on at once. The release is not sent: it goes wherever the
// keyboard is next.
inline void pressEnterOn(QMessageBox *box)
{
    QWidget *target = QApplication::focusWidget();
    if (!target || target->window() != box)
        target = box;
    QTest::keyPress(target, Qt::Key_Enter);
}

// The text of a message box's main label.
inline QLabel *messageLabel(QMessageBox *box)
{
    return box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
}

// A suite's exit code, once every row has run and reported. On Windows the
// output is flushed and the process leaves at once, without the static
// destructors: there the MinGW runtime can wait for ever on a thread-exit
// key while the writers' pool threads end.
inline int leaveSuite(int code)
{
#ifdef Q_OS_WIN
    std::fflush(nullptr);
    std::_Exit(code);
#else
    return code;
#endif
}
