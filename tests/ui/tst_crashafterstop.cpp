#include "StateKeeper.h"
#include "UiTestSupport.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QThread>

#include <cstdio>

// A crash right after a stop with winners leaving: the program is killed
// (SIGKILL) at every millisecond from 0 to 100 after its record reached
// Result.txt. Whenever it is killed, the next start must not hold a
// recorded winner in the pool, and must have lost nobody who was not.
class TestCrashAfterStop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    static EventState::Store store() { return StateKeeper::userStore(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    }

    void killedAtEveryMillisecondAfterTheRecord()
    {
        const QStringList names{"甲", "乙", "丙", "丁", "戊"};
        const int lastMs = qEnvironmentVariableIntValue("CRASH_AFTER_STOP_LAST_MS") > 0
                               ? qEnvironmentVariableIntValue("CRASH_AFTER_STOP_LAST_MS")
                               : 100;
        const QString log = m_home.filePath(QStringLiteral("Result.txt"));
        QElapsedTimer clock;
        clock.start();
        QStringList failures;
        for (int ms = 0; ms <= lastMs; ++ms) {
            QDir(m_home.filePath(QStringLiteral("config"))).removeRecursively();
            QDir(m_home.filePath(QStringLiteral("data"))).removeRecursively();
            QFile::remove(log);
            // The event as it stands before the stop: on disk, winners leaving.
            EventState::Settings settings;
            settings.winnersLeave = true;
            EventState::WorkingList list;
            list.entries = names;
            QString error;
            QVERIFY2(store().saveSettings(settings, &error) && store().saveList(list, &error),
                     qPrintable(error));

            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("CRASH_AFTER_STOP_CHILD"), m_home.path());
            env.insert(QStringLiteral("CRASH_AFTER_STOP_WINNER"), QString::number(ms % names.size()));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForStarted());
            // Kill it ms milliseconds after the record reached the log.
            QFileInfo record(log);
            record.setCaching(false);
            QDeadlineTimer deadline(20000);
            while (record.size() == 0 && !deadline.hasExpired() && child.state() == QProcess::Running)
                QThread::usleep(100);
            QVERIFY2(record.size() > 0, "the child recorded nothing");
            if (ms > 0)
                QThread::usleep(ulong(ms) * 1000);
            child.kill();
            QVERIFY(child.waitForFinished());

            // The next start, through the program's own restore.
            const QStringList recorded = resultsInLog(log);
            QCOMPARE(recorded.size(), 1);
            ProgramFixture f;
            StateKeeper keeper(*f.shell, store());
            keeper.restore();
            const QStringList pool = f.shell->edit()->List1Model()->entries();
            QStringList everyone = pool + recorded;
            everyone.sort();
            QStringList expected = names;
            expected.sort();
            if (pool.contains(recorded.first()) || everyone != expected)
                failures << QStringLiteral("%1 ms: recorded %2, pool %3")
                                .arg(ms)
                                .arg(recorded.join(u','), pool.join(u','));
            QVERIFY(Dialogs::shownMessages().isEmpty());
        }
        qInfo("%d kills in %lld ms", lastMs + 1, clock.elapsed());
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }
};

// The child: restores the saved event, goes to the live draw and stops on
// one winner, then waits to be killed.
static int childMain(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QDir::setCurrent(qEnvironmentVariable("CRASH_AFTER_STOP_CHILD")); // Result.txt there
    Dialogs::enableTestMode();
    WindowShell shell;
    StateKeeper keeper(shell, StateKeeper::userStore());
    keeper.restore();
    Pick *pick = shell.pick();
    click(shell.setting()->Command2);
    const qint32 winner = qint32(qEnvironmentVariableIntValue("CRASH_AFTER_STOP_WINNER"));
    pick->engine()->setPositionSource(std::make_unique<ScriptedPositions>(QList<qint32>{winner}));
    click(pick->Label4);
    click(pick->Label4);
    return app.exec();
}

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty("CRASH_AFTER_STOP_CHILD"))
        return childMain(argc, argv);
    QApplication app(argc, argv);
    TestCrashAfterStop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashafterstop.moc"
