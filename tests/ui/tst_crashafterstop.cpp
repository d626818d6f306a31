#include "PlanDraw.h"
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
// With a prize plan the program is killed at every millisecond from 0 to
// 40 after the stop's first write to disk: the next start's winners must
// be exactly the ones recorded.
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

    void killedAtEveryMillisecondAfterTheRecord_data()
    {
        QTest::addColumn<bool>("plan");
        QTest::newRow("single winner, winners leave") << false;
        QTest::newRow("prize plan, 3 a stop") << true;
    }
    void killedAtEveryMillisecondAfterTheRecord()
    {
        QFETCH(bool, plan);
        const QStringList names{"甲", "乙", "丙", "丁", "戊"};
        const int lastMs = qEnvironmentVariableIntValue("CRASH_AFTER_STOP_LAST_MS") > 0
                               ? qEnvironmentVariableIntValue("CRASH_AFTER_STOP_LAST_MS")
                           : plan ? 40
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
            Prizes::Evening evening;
            if (plan) {
                QVERIFY(evening.setPlan({{QStringLiteral("三等奖"), 3, 3}}, true, &error));
                evening.minRollSeconds = 0; // the stop at once
                QVERIFY2(store().saveEvening(evening, &error), qPrintable(error));
            }

            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("CRASH_AFTER_STOP_CHILD"), m_home.path());
            env.insert(QStringLiteral("CRASH_AFTER_STOP_WINNER"), QString::number(ms % names.size()));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForStarted());
            // Kill it ms milliseconds after the record reached the log, or
            // with a plan after the stop first wrote the evening.
            QFileInfo record(log);
            record.setCaching(false);
            const QByteArray before = EventState::encodeEvening(evening);
            const auto stopped = [&] {
                if (record.size() > 0)
                    return true;
                QFile prizes(store().prizesPath());
                return plan && prizes.open(QIODevice::ReadOnly) && prizes.readAll() != before;
            };
            QDeadlineTimer deadline(20000);
            while (!stopped() && !deadline.hasExpired() && child.state() == QProcess::Running)
                QThread::usleep(100);
            QVERIFY2(stopped(), "the child did not stop");
            if (ms > 0)
                QThread::usleep(ulong(ms) * 1000);
            child.kill();
            QVERIFY(child.waitForFinished());

            // The next start, through the program's own restore.
            const QStringList recorded = resultsInLog(log);
            ProgramFixture f;
            StateKeeper keeper(*f.shell, store());
            keeper.restore();
            if (plan) {
                QStringList winners;
                for (const Prizes::Award &a : f.shell->evening().awards)
                    winners << a.winner;
                if (winners != recorded)
                    failures << QStringLiteral("%1 ms: recorded %2, winners %3")
                                    .arg(ms)
                                    .arg(recorded.join(u','), winners.join(u','));
                QVERIFY(Dialogs::shownMessages().isEmpty());
                continue;
            }
            QCOMPARE(recorded.size(), 1);
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
    pick->plan()->setPositionSource(std::make_unique<ScriptedPositions>(QList<qint32>{winner, 0, 1, 2}));
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
