#include "CandidateList.h"
#include "DrawEngine.h"
#include "EveningController.h"
#include "ResultLogReader.h"
#include "core/ScriptedPositionSource.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The evening's rules without a window: what a plan's stop, a void and a
// close record, what the hall is shown, and what is taken back when the
// change cannot be kept.
class TestEveningController : public QObject
{
    Q_OBJECT

    struct Evening
    {
        QTemporaryDir dir;
        QString previousFolder = QDir::currentPath();
        CandidateList list;
        EveningController evening;
        Evening(const QStringList &entries, const QList<Prizes::Prize> &plan, QList<qint32> positions)
        {
            QDir::setCurrent(dir.path()); // the log is written in the current folder
            list.AddItems(entries);
            evening.setList(&list);
            evening.setCandidateCount(list.ListCount()); // the data editing window's count rule
            evening.setPositionSource(std::make_unique<ScriptedPositionSource>(std::move(positions)));
            QString why;
            if (!plan.isEmpty() && !evening.setPlan(plan, true, &why))
                qFatal("plan refused");
            evening.setMinRollSeconds(0); // a stop takes effect at once unless a case says otherwise
            evening.arm(QStringLiteral("年会"));
        }
        ~Evening() { QDir::setCurrent(previousFolder); }
        QStringList results() const { return resultsInLog(dir.filePath(QStringLiteral("Result.txt"))); }
        QStringList shownWinners() const
        {
            QStringList out;
            for (int i : evening.shownAwards())
                out << evening.evening().awards.at(i).winner;
            return out;
        }
        // The roll button: the first press of a prize announces it, the next rolls, the next stops.
        void stop()
        {
            if (!evening.planRolling())
                evening.roll();
            if (!evening.planRolling())
                evening.roll();
            evening.roll();
        }
    };

private Q_SLOTS:
    void stopRecordsWhatTheHallSees()
    {
        Evening e({"甲", "乙", "丙", "丁"},
                  {{QStringLiteral("三等奖"), 2, 2}, {QStringLiteral("一等奖"), 1, 1}}, {0, 0, 1, 0, 0});
        QSignalSpy shown(&e.evening, &EveningController::planShown);
        e.evening.roll();
        QVERIFY(e.evening.planRolling());
        QCOMPARE(e.evening.engine().rollCaption(), DrawEngine::StopCaption);
        e.evening.roll();
        QCOMPARE(e.evening.engine().rollCaption(), DrawEngine::RollCaption);
        QCOMPARE(e.results(), e.shownWinners());
        QCOMPARE(e.shownWinners().size(), 2);
        QCOMPARE(e.evening.shownPlaces(), (QList<int>{1, 2}));
        QCOMPARE(e.evening.engine().badge(), QStringLiteral("2"));
        QCOMPARE(e.evening.module1().ResultCount, 2);
        QVERIFY(shown.size() >= 2);
        QFile log(e.dir.filePath(QStringLiteral("Result.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(Gb18030::decode(log.readAll()).contains(QStringLiteral("年会 · 三等奖")));
    }

    // A void of an earlier prize's winner: the hall sees that prize again,
    // and the next stop draws the voided place alone.
    void voidOfAnEarlierPrize()
    {
        Evening e({"甲", "乙", "丙", "丁", "戊", "己"},
                  {{QStringLiteral("三等奖"), 2, 2}, {QStringLiteral("一等奖"), 2, 2}}, {0});
        e.stop();
        const QString absent = e.shownWinners().at(0);
        e.evening.roll(); // announces the next prize
        QCOMPARE(e.evening.evening().announced, 1);
        QVERIFY(e.evening.voidAward(e.evening.shownAwards().isEmpty() ? 0 : e.evening.shownAwards().at(0),
                                    false));
        QCOMPARE(e.evening.evening().announced, 0);
        QCOMPARE(e.evening.shownPlaces(), (QList<int>{1}));
        QVERIFY(e.results().last().contains(absent));
        e.stop();
        QCOMPARE(e.shownWinners().size(), 1);
        QVERIFY(e.shownWinners().at(0) != absent);
        QCOMPARE(e.evening.shownPlaces(), (QList<int>{1}));
    }

    void changeNotKeptIsTakenBack_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::newRow("not saved") << int(EventState::RecordOutcome::NotSaved);
        QTest::newRow("not recorded") << int(EventState::RecordOutcome::NotRecorded);
    }
    void changeNotKeptIsTakenBack()
    {
        QFETCH(int, outcome);
        Evening e({"甲", "乙"}, {{QStringLiteral("三等奖"), 1, 1}}, {1});
        e.evening.setEveningRecorder(
            [outcome](const Prizes::Evening &, const QList<ResultLog::Record> &, QString *error) {
                *error = QStringLiteral("磁盘已满");
                return EventState::RecordOutcome(outcome);
            });
        QSignalSpy refused(&e.evening, &EveningController::refused);
        e.stop();
        if (EventState::RecordOutcome(outcome) == EventState::RecordOutcome::NotSaved) {
            // Nothing was won that could not be kept; the keeper told the operator.
            QVERIFY(e.evening.evening().awards.isEmpty());
            QVERIFY(e.evening.shownAwards().isEmpty());
            QCOMPARE(e.evening.engine().badge(), QString());
            QCOMPARE(refused.size(), 0);
        } else {
            // Shown and counted, and the operator is told to write it down.
            QCOMPARE(e.shownWinners(), QStringList{QStringLiteral("乙")});
            QCOMPARE(e.evening.engine().badge(), QStringLiteral("1"));
            QCOMPARE(refused.size(), 1);
            QVERIFY(refused.at(0).at(0).toString().contains(QStringLiteral("磁盘已满")));
            QVERIFY(refused.at(0).at(0).toString().contains(QStringLiteral("乙")));
        }
    }

    // Refusals reach the windows with their reason; an empty pool offers to close the prize.
    void refusalsAndTheEmptyPool()
    {
        Evening e({"甲"}, {{QStringLiteral("三等奖"), 2, 1}}, {0});
        QSignalSpy offered(&e.evening, &EveningController::closeShortOffered);
        QSignalSpy refused(&e.evening, &EveningController::refused);
        e.stop();
        e.evening.roll(); // 甲 has won: nobody is left for the second place
        QVERIFY(!e.evening.planRolling());
        QCOMPARE(offered.size(), 1);
        QVERIFY(e.evening.canCloseShort());
        QVERIFY(e.evening.closeShortReason().contains(QStringLiteral("三等奖")));
        QVERIFY(e.evening.closeShort());
        QVERIFY(e.results().last().contains(QStringLiteral("提前结束")));
        e.evening.roll();
        QCOMPARE(refused.size(), 1);
        QVERIFY(refused.at(0).at(0).toString().startsWith(QStringLiteral("所有奖项都已抽完")));
    }

    // A stop pressed too soon waits until the hall has seen the roll for the plan's minimum time.
    void stopWaitsForTheMinimumRoll_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("pressAfterMs");
        QTest::addColumn<bool>("waits");
        QTest::newRow("no minimum: at once") << 0 << 0 << false;
        QTest::newRow("two presses 0.15 s apart") << 1 << 150 << true;
        QTest::newRow("pressed after the minimum") << 1 << 1100 << false;
    }
    void stopWaitsForTheMinimumRoll()
    {
        QFETCH(int, seconds);
        QFETCH(int, pressAfterMs);
        QFETCH(bool, waits);
        Evening e({"甲", "乙", "丙"}, {{QStringLiteral("三等奖"), 2, 1}}, {0, 1, 2, 0, 1, 2});
        e.evening.setMinRollSeconds(seconds);
        QElapsedTimer rolled;
        e.evening.roll();
        rolled.start();
        QTest::qWait(pressAfterMs);
        QSignalSpy pending(&e.evening, &EveningController::stopPendingChanged);
        e.evening.roll();
        QCOMPARE(e.evening.stopPending(), waits);
        QCOMPARE(e.evening.planRolling(), waits);
        if (waits) {
            QCOMPARE(e.evening.engine().rollCaption(), DrawEngine::StoppingCaption);
            e.evening.roll(); // pressed again meanwhile: nothing more
            QCOMPARE(pending.size(), 1);
            QVERIFY(e.results().isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(!e.evening.planRolling(), 5000);
            QVERIFY(rolled.elapsed() >= 1000 * seconds);
            QCOMPARE(pending.size(), 2);
        }
        QCOMPARE(e.results(), e.shownWinners());
        QCOMPARE(e.results().size(), 1);
        QCOMPARE(e.evening.engine().rollCaption(), DrawEngine::RollCaption);
    }

    // A rehearsal draws from the plan into a file of its own and leaves the evening as it was.
    void rehearsalLeavesTheEveningAsItWas()
    {
        QCOMPARE(EveningController::rehearsalFileName(QStringLiteral("/a/b/Result.txt")),
                 QStringLiteral("/a/b/Result-彩排.txt"));
        Evening e({"甲", "乙", "丙", "丁"},
                  {{QStringLiteral("三等奖"), 2, 1}, {QStringLiteral("一等奖"), 1, 1}},
                  {0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        e.stop();
        const Prizes::Evening before = e.evening.evening();
        const QStringList real = e.results();
        const QString badge = e.evening.engine().badge();
        QString why;
        QVERIFY(e.evening.setRehearsal(true, &why));
        QVERIFY(e.evening.rehearsal());
        QCOMPARE(e.evening.resultLog().fileName(), QStringLiteral("Result-彩排.txt"));
        e.stop();
        QCOMPARE(e.evening.evening().awards.size(), before.awards.size() + 1);
        QCOMPARE(e.evening.keptEvening(), before);
        QCOMPARE(resultsInLog(e.dir.filePath(QStringLiteral("Result-彩排.txt"))), e.shownWinners());
        QVERIFY(!e.evening.setPlan({{QStringLiteral("特等奖"), 1, 1}}, true,
                                   &why)); // the plan is fixed meanwhile
        e.evening.roll();                  // announces 一等奖, then rolls: the rehearsal cannot end now
        e.evening.roll();
        QVERIFY(e.evening.planRolling());
        QVERIFY(!e.evening.setRehearsal(false, &why));
        e.evening.abort();
        QVERIFY(e.evening.setRehearsal(false, &why));
        QCOMPARE(e.evening.evening(), before);
        QCOMPARE(e.results(), real);
        QCOMPARE(e.evening.engine().badge(), badge);
        QVERIFY(e.evening.shownAwards().isEmpty());
        QCOMPARE(e.evening.shownPlaces(), before.nextPlaces());
        e.stop(); // the real evening goes on where it was
        QCOMPARE(e.results().size(), real.size() + 1);
    }

    // Without a plan the roll button is the single draw's, under the armed title.
    void singleDrawWithoutAPlan()
    {
        Evening e({"甲", "乙"}, {}, {});
        e.evening.engine().setPositionSource(std::make_unique<ScriptedPositionSource>(QList<qint32>{1}));
        QSignalSpy title(&e.evening, &EveningController::titleChanged);
        e.evening.arm(QStringLiteral("晚会"), 0x0000FF);
        QCOMPARE(title.size(), 1);
        e.evening.roll();
        e.evening.roll();
        QCOMPARE(e.results(), QStringList{QStringLiteral("乙")});
        QCOMPARE(e.evening.engine().displayColor(), 0x0000FFu);
        e.evening.arm(QStringLiteral("晚会"));
        QCOMPARE(e.evening.titleColor(), 0x0000FFu); // an unset colour keeps the one before
    }
};

QTEST_GUILESS_MAIN(TestEveningController)
#include "tst_eveningcontroller.moc"
