#include "CandidateList.h"
#include "DrawEngine.h"
#include "Module1.h"
#include "ResultLog.h"
#include "ResultLogReader.h"
#include "ScriptedPositionSource.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using State = DrawEngine::State;

class TestDrawEngine : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        explicit Fixture(const QString &logPath, QList<qint32> script = {})
            : log(logPath, [] { return QDateTime(QDate(2026, 12, 8), QTime(20, 15, 30)); }),
              engine(
                  module1, [this](int i) { return list.List(i); }, log)
        {
            auto source = std::make_unique<ScriptedPositionSource>(std::move(script));
            scripted = source.get();
            engine.setPositionSource(std::move(source));
        }
        void fill(const QStringList &entries)
        {
            list.AddItems(entries);
            module1.CandidateCount = list.ListCount();
        }
        Module1 module1;
        CandidateList list;
        ResultLog log;
        DrawEngine engine;
        ScriptedPositionSource *scripted = nullptr;
    };

    QTemporaryDir m_dir;
    int m_logNo = 0;

    QString freshLog() { return m_dir.filePath(QStringLiteral("Result%1.txt").arg(++m_logNo)); }

    static QStringList results(const QString &path) { return resultsInLog(path); }

private Q_SLOTS:
    void timerIsTheFiftyMillisecondTick()
    {
        Fixture f(freshLog());
        QCOMPARE(f.engine.Timer1()->interval(), 50);
        QCOMPARE(f.engine.Timer1()->timerType(), Qt::PreciseTimer);
        QVERIFY(!f.engine.Timer1()->isActive());
        QCOMPARE(f.engine.rollCaption(), QStringLiteral("　　　　滚  动"));
        QCOMPARE(DrawEngine::StopCaption, QStringLiteral("　　　　停  止"));
    }

    void repeatedDrawsCountOnTheBadge()
    {
        const QString path = freshLog();
        Fixture f(path, {2, 0, 1, 1, 2});
        f.fill({"甲", "乙", "丙"});
        QSignalSpy saved(&f.engine, &DrawEngine::resultSaved);
        QStringList badges;
        for (int round = 0; round < 3; ++round) {
            f.engine.RollClick(QStringLiteral("年会"), 0xC00000);
            QCOMPARE(f.engine.state(), State::Rolling);
            QCOMPARE(f.engine.rollCaption(), DrawEngine::StopCaption);
            QCOMPARE(f.engine.displayColor(), 0x000000u);
            if (round == 1)
                f.engine.Tick(); // one extra tick during the second draw
            f.engine.RollClick(QStringLiteral("年会"), 0xC00000);
            QCOMPARE(f.engine.state(), State::Idle);
            QCOMPARE(f.engine.displayColor(), 0xC00000u);
            badges << f.engine.badge();
        }
        QCOMPARE(badges, (QStringList{"1", "2", "3"}));
        QCOMPARE(f.module1.ResultCount, 3);
        // Start shows a pick at once; the stop records what was showing.
        QCOMPARE(results(path), (QStringList{"丙", "乙", "乙"}));
        QCOMPARE(saved.count(), 3);
        QCOMPARE(f.scripted->lastRange, 3);
        QCOMPARE(f.module1.DrawIndex, 1);
        QCOMPARE(f.list.ListCount(), 3); // drawing never removes an entry
    }

    void oneDrawModeIsSpentUntilArmed()
    {
        const QString path = freshLog();
        Fixture f(path, {1});
        f.fill({"a", "b"});
        f.module1.NoRepeatDraw = 1;
        f.module1.ResultCount = 4;
        f.engine.RollClick(QStringLiteral("t"), 0xC00000);
        f.engine.RollClick(QStringLiteral("t"), 0xC00000);
        QCOMPARE(f.engine.state(), State::Spent);
        QVERIFY(!f.engine.rollEnabled());
        QCOMPARE(f.engine.badge(), QStringLiteral("1"));
        QCOMPARE(f.module1.ResultCount, 4);                // unchanged in one-draw mode
        f.engine.RollClick(QStringLiteral("t"), 0xC00000); // ignored while spent
        QCOMPARE(f.engine.state(), State::Spent);
        QCOMPARE(results(path).size(), 1);

        f.engine.Arm();
        QCOMPARE(f.engine.state(), State::Idle);
        QCOMPARE(f.engine.display(), QString());
        QCOMPARE(f.engine.badge(), QString());
        QCOMPARE(f.module1.ResultCount, 0);
    }

    void abortWritesNothing()
    {
        const QString path = freshLog();
        Fixture f(path, {0});
        f.fill({"a"});
        f.engine.RollClick(QStringLiteral("t"), 0xC00000);
        f.engine.RollClick(QStringLiteral("t"), 0xC00000);
        f.engine.RollClick(QStringLiteral("t"), 0xC00000);
        QCOMPARE(f.engine.state(), State::Rolling);
        f.engine.Abort();
        QCOMPARE(f.engine.state(), State::Idle);
        QCOMPARE(f.engine.rollCaption(), DrawEngine::RollCaption);
        QCOMPARE(f.engine.badge(), QStringLiteral("1"));
        QCOMPARE(results(path).size(), 1);
    }

    void clearBadgeWhileRollingKeepsRolling()
    {
        Fixture f(freshLog(), {0});
        f.fill({"a"});
        f.engine.RollClick(QStringLiteral("t"), 0);
        f.engine.RollClick(QStringLiteral("t"), 0);
        f.engine.RollClick(QStringLiteral("t"), 0);
        f.engine.ClearBadge();
        QCOMPARE(f.engine.badge(), QString());
        QCOMPARE(f.module1.ResultCount, 0);
        QCOMPARE(f.engine.state(), State::Rolling);
        f.engine.RollClick(QStringLiteral("t"), 0);
        QCOMPARE(f.engine.badge(), QStringLiteral("1"));
    }

    void listEmptiedUnderARunningDraw()
    {
        const QString path = freshLog();
        Fixture f(path, {0});
        f.fill({"a", "b"});
        QSignalSpy refused(&f.engine, &DrawEngine::stoppedOnEmptyList);
        f.engine.RollClick(QStringLiteral("t"), 0);
        f.list.Clear();
        f.module1.CandidateCount = 0;
        f.engine.Tick();
        QCOMPARE(f.engine.display(), QString());
        f.engine.RollClick(QStringLiteral("t"), 0);
        QCOMPARE(refused.count(), 1);
        QCOMPARE(f.engine.state(), State::Idle);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(f.engine.badge(), QString());
    }

    void ticksFollowListChanges()
    {
        Fixture f(freshLog(), {0, 2});
        f.fill({"a", "b"});
        f.engine.RollClick(QStringLiteral("t"), 0);
        QCOMPARE(f.engine.display(), QStringLiteral("a"));
        f.list.AddItem(QStringLiteral("c"));
        f.module1.CandidateCount = 3;
        f.engine.Tick();
        QCOMPARE(f.engine.display(), QStringLiteral("c"));
        QCOMPARE(f.scripted->lastRange, 3);
    }

    void timerDrivesTicks()
    {
        Fixture f(freshLog(), {0, 1, 0, 1, 0, 1});
        f.fill({"a", "b"});
        f.engine.RollClick(QStringLiteral("t"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(f.scripted->calls >= 3, 2000);
        f.engine.RollClick(QStringLiteral("t"), 0);
        const int calls = f.scripted->calls;
        QTest::qWait(120);
        QCOMPARE(f.scripted->calls, calls); // no tick after the stop
    }

    void failedRecordIsReportedAndStillCounted()
    {
        Fixture f(m_dir.filePath(QStringLiteral("no/such/dir/Result.txt")), {0});
        f.fill({"winner"});
        QSignalSpy notSaved(&f.engine, &DrawEngine::resultNotSaved);
        f.engine.RollClick(QStringLiteral("t"), 0);
        f.engine.RollClick(QStringLiteral("t"), 0);
        QCOMPARE(notSaved.count(), 1);
        QCOMPARE(notSaved.first().at(0).toString(), QStringLiteral("winner"));
        QVERIFY(!notSaved.first().at(1).toString().isEmpty());
        QCOMPARE(f.engine.display(), QStringLiteral("winner"));
        QCOMPARE(f.engine.badge(), QStringLiteral("1"));
    }

    void resultCountGoesPastSixteenBits()
    {
        Fixture f(freshLog(), {0});
        f.fill({"a"});
        f.module1.ResultCount = 32767;
        f.engine.RollClick(QStringLiteral("t"), 0);
        f.engine.RollClick(QStringLiteral("t"), 0);
        QCOMPARE(f.module1.ResultCount, 32768);
        QCOMPARE(f.engine.badge(), QStringLiteral("32768"));
    }
};

QTEST_GUILESS_MAIN(TestDrawEngine)
#include "tst_drawengine.moc"
