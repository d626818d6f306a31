#include "CandidateList.h"
#include "DrawEngine.h"
#include "Module1.h"
#include "PositionSource.h"
#include "PrizePlan.h"
#include "ResultLog.h"

#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numeric>
#include <vector>

// Statistical checks of the mapping from generator output to positions,
// through the same code the draw uses, over a fixed seed so they cannot flake.
class TestFairness : public QObject
{
    Q_OBJECT

    // Upper 1% point of chi-square with k degrees of freedom.
    static double chiSquareCritical99(int k)
    {
        if (k == 1)
            return 6.635;
        if (k == 2)
            return 9.210;
        const double z = 2.326348; // Wilson-Hilferty approximation
        const double a = 2.0 / (9.0 * k);
        return k * std::pow(1.0 - a + z * std::sqrt(a), 3);
    }

private Q_SLOTS:
    void chiSquare_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("2") << 2;
        QTest::newRow("3") << 3;
        QTest::newRow("1000") << 1000;
        QTest::newRow("32767") << 32767;
    }
    void chiSquare()
    {
        QFETCH(int, n);
        SeededPositionSource source(20261208u + quint32(n));
        const qint64 draws = qMax<qint64>(5LL * n, 10000);
        std::vector<qint64> counts(size_t(n), 0);
        for (qint64 i = 0; i < draws; ++i) {
            const qint32 p = source.pick(n);
            QVERIFY(p >= 0 && p < n);
            ++counts[size_t(p)];
        }
        const double expected = double(draws) / n;
        double chi = 0;
        for (qint64 c : counts)
            chi += (c - expected) * (c - expected) / expected;
        qInfo("N=%d draws=%lld chi2=%.2f limit(99%%)=%.2f", n, draws, chi, chiSquareCritical99(n - 1));
        QVERIFY2(
            chi < chiSquareCritical99(n - 1),
            qPrintable(QStringLiteral("chi2 %1 over limit %2").arg(chi).arg(chiSquareCritical99(n - 1))));
    }

    void serialCorrelationAndRuns()
    {
        SeededPositionSource source(7u);
        const int n = 1000;
        const int draws = 100000;
        std::vector<double> x(draws);
        for (int i = 0; i < draws; ++i)
            x[size_t(i)] = source.pick(n);
        double mean = 0;
        for (double v : x)
            mean += v;
        mean /= draws;
        double num = 0, den = 0;
        for (int i = 0; i < draws; ++i) {
            den += (x[size_t(i)] - mean) * (x[size_t(i)] - mean);
            if (i + 1 < draws)
                num += (x[size_t(i)] - mean) * (x[size_t(i) + 1] - mean);
        }
        const double r = num / den;
        qInfo("lag-1 serial correlation r=%.5f limit=%.5f", r, 3.0 / std::sqrt(double(draws)));
        QVERIFY2(std::abs(r) < 3.0 / std::sqrt(double(draws)), qPrintable(QString::number(r)));

        // Runs above and below the median (Wald-Wolfowitz), |z| < 2.576.
        const double median = (n - 1) / 2.0;
        int above = 0, below = 0, runs = 0;
        int last = 0;
        for (double v : x) {
            if (v == median)
                continue;
            const int side = v > median ? 1 : -1;
            (side > 0 ? above : below)++;
            if (side != last)
                ++runs;
            last = side;
        }
        const double n1 = above, n2 = below, total = n1 + n2;
        const double mu = 2 * n1 * n2 / total + 1;
        const double var = 2 * n1 * n2 * (2 * n1 * n2 - total) / (total * total * (total - 1));
        const double z = (runs - mu) / std::sqrt(var);
        qInfo("runs test: %d runs, expected %.1f, z=%.3f", runs, mu, z);
        QVERIFY2(std::abs(z) < 2.576, qPrintable(QString::number(z)));
    }

    // The whole roll: start, some ticks, stop. Whatever the moment of the
    // stop, the entry stopped on is uniform over the list.
    void stoppedEntryIsUniformWhateverTheStopTime_data()
    {
        QTest::addColumn<int>("ticksBeforeStop");
        QTest::newRow("stop before the first tick") << 0;
        QTest::newRow("after one tick") << 1;
        QTest::newRow("after seven ticks") << 7;
        QTest::newRow("random stop time") << -1;
    }
    void stoppedEntryIsUniformWhateverTheStopTime()
    {
        QFETCH(int, ticksBeforeStop);
        QTemporaryDir dir;
        Module1 module1;
        CandidateList list;
        const int n = 10;
        for (int i = 0; i < n; ++i)
            list.AddItem(QStringLiteral("entry %1").arg(i));
        module1.CandidateCount = n;
        ResultLog log(dir.filePath(QStringLiteral("Result.txt")));
        DrawEngine engine(
            module1, [&](int i) { return list.List(i); }, log);
        engine.setPositionSource(
            std::make_unique<SeededPositionSource>(4242u + quint32(ticksBeforeStop + 1)));
        QRandomGenerator stopTimes(99u);
        std::vector<int> counts(n, 0);
        const int draws = 1000;
        for (int d = 0; d < draws; ++d) {
            engine.RollClick(QStringLiteral("t"), 0);
            const int ticks = ticksBeforeStop >= 0 ? ticksBeforeStop : int(stopTimes.bounded(20));
            for (int t = 0; t < ticks; ++t)
                engine.Tick();
            engine.RollClick(QStringLiteral("t"), 0);
            ++counts[size_t(engine.display().mid(6).toInt())];
        }
        const double expected = double(draws) / n;
        double chi = 0;
        for (int c : counts)
            chi += (c - expected) * (c - expected) / expected;
        qInfo("whole roll, stop after %d ticks: chi2=%.2f limit(99%%)=%.2f", ticksBeforeStop, chi,
              chiSquareCritical99(n - 1));
        QVERIFY2(chi < chiSquareCritical99(n - 1), qPrintable(QString::number(chi)));
    }

    // Winners leave the pool: every entry is as likely to win each round as
    // any other, at every tick only the remaining entries show, each equally
    // often, and a winner never shows again.
    void shrinkingPool()
    {
        QTemporaryDir dir;
        Module1 module1;
        module1.WinnersLeave = true;
        CandidateList list;
        const int n = 10;
        // The log is a folder: no record can be written, which keeps a
        // thousand events quick and the winners leave all the same.
        ResultLog log(dir.path());
        DrawEngine engine(
            module1, [&](int i) { return list.List(i); }, log);
        engine.setPositionSource(std::make_unique<SeededPositionSource>(1208u));
        QObject::connect(&engine, &DrawEngine::winnerLeaves, &engine, [&](int position) {
            list.RemoveItem(position);
            module1.CandidateCount = list.ListCount();
        });
        QSet<QString> gone;
        int shownAfterLeaving = 0;
        // ticks[m][k]: with m entries left, how often the entry at position k showed.
        std::vector<std::vector<qint64>> ticks(n + 1);
        for (int m = 1; m <= n; ++m)
            ticks[size_t(m)].assign(size_t(m), 0);
        QObject::connect(&engine, &DrawEngine::displayChanged, &engine, [&](const QString &text) {
            if (text.isEmpty())
                return;
            if (gone.contains(text))
                ++shownAfterLeaving;
            ++ticks[size_t(module1.CandidateCount)][size_t(module1.DrawIndex)];
        });
        // wins[r][e]: how often entry e won round r.
        std::vector<std::vector<int>> wins(size_t(n), std::vector<int>(size_t(n), 0));
        QRandomGenerator stopTimes(5u);
        const int events = 1000;
        for (int event = 0; event < events; ++event) {
            list.Clear();
            for (int i = 0; i < n; ++i)
                list.AddItem(QStringLiteral("entry %1").arg(i));
            module1.CandidateCount = n;
            gone.clear();
            for (int round = 0; round < n; ++round) {
                engine.RollClick(QStringLiteral("t"), 0);
                const int ticksBeforeStop = int(stopTimes.bounded(6));
                for (int t = 0; t < ticksBeforeStop; ++t)
                    engine.Tick();
                engine.RollClick(QStringLiteral("t"), 0);
                const QString winner = engine.display();
                QVERIFY2(!gone.contains(winner), qPrintable(winner));
                gone.insert(winner);
                ++wins[size_t(round)][size_t(winner.mid(6).toInt())];
                QCOMPARE(list.ListCount(), n - round - 1);
            }
            QSignalSpy refused(&engine, &DrawEngine::startRefusedOnEmptyList);
            engine.RollClick(QStringLiteral("t"), 0);
            QCOMPARE(refused.size(), 1);
            QCOMPARE(engine.state(), DrawEngine::State::Idle);
        }
        QCOMPARE(shownAfterLeaving, 0);
        // Summed over the rounds and over the pool sizes, so one limit holds
        // for all of them together.
        double chiRounds = 0;
        for (int round = 0; round < n; ++round) {
            const double expected = double(events) / n;
            for (int c : wins[size_t(round)])
                chiRounds += (c - expected) * (c - expected) / expected;
        }
        const int dfRounds = n * (n - 1);
        qInfo("winners of rounds 1..%d: chi2=%.2f limit(99%%, %d df)=%.2f", n, chiRounds, dfRounds,
              chiSquareCritical99(dfRounds));
        QVERIFY2(chiRounds < chiSquareCritical99(dfRounds), qPrintable(QString::number(chiRounds)));
        double chiTicks = 0;
        int dfTicks = 0;
        for (int m = 2; m <= n; ++m) {
            const std::vector<qint64> &c = ticks[size_t(m)];
            qint64 total = 0;
            for (qint64 v : c)
                total += v;
            const double expected = double(total) / m;
            for (qint64 v : c)
                chiTicks += (v - expected) * (v - expected) / expected;
            dfTicks += m - 1;
        }
        qInfo("ticks with 2..%d left: chi2=%.2f limit(99%%, %d df)=%.2f", n, chiTicks, dfTicks,
              chiSquareCritical99(dfTicks));
        QVERIFY2(chiTicks < chiSquareCritical99(dfTicks), qPrintable(QString::number(chiTicks)));
    }

    // Whole evenings of a prize plan: 三等奖 4 places 2 a stop, 二等奖 3 at
    // once, 一等奖 1, from 12 people, each winning once; in half of them the
    // first winner of 三等奖 is voided (may or may not win later) and redrawn,
    // and in a third of them one person leaves the list during the evening.
    // Every (prize, place) ends up with each person equally often, and no
    // rolling cell ever shows someone who may not win that prize.
    void eveningsByPlace()
    {
        using namespace Prizes;
        const QList<Prize> plan{{QStringLiteral("三等奖"), 4, 2},
                                {QStringLiteral("二等奖"), 3, 3},
                                {QStringLiteral("一等奖"), 1, 1}};
        QStringList people;
        for (int i = 0; i < 12; ++i)
            people << QStringLiteral("人%1").arg(i);
        SeededPositionSource source(20261209u);
        const int evenings = 24000;
        // counts[prize place][person]
        std::vector<std::vector<int>> counts(8, std::vector<int>(12, 0));
        const QList<int> firstCell{0, 4, 7};
        int rolledCells = 0;
        for (int n = 0; n < evenings; ++n) {
            Evening e;
            QString why;
            QVERIFY(e.setPlan(plan, true, &why));
            QStringList list = people;
            const bool voidOne = n % 2 == 0;
            const bool someoneLeaves = n % 3 == 0;
            QString gone;
            bool voided = false;
            for (;;) {
                const Evening::Start step = e.start();
                if (step == Evening::Start::Finished)
                    break;
                if (step == Evening::Start::Announced)
                    continue;
                // A few ticks of rolling: only entries still in the pool, never twice.
                const QStringList pool = e.pool(list);
                for (int tick = 0; tick < 3; ++tick) {
                    const QStringList cells = e.rollingCells(pool, source);
                    QCOMPARE(QSet<QString>(cells.begin(), cells.end()).size(), cells.size());
                    for (const QString &c : cells) {
                        QVERIFY(!e.excluded(e.announced, c));
                        QVERIFY(c != gone);
                    }
                    rolledCells += int(cells.size());
                }
                const Evening::Stop stop = e.stop(list, source, QDateTime());
                QVERIFY(!stop.awards.isEmpty());
                for (int i : stop.awards)
                    QVERIFY(e.awards.at(i).winner != gone);
                if (voidOne && !voided) {
                    voided = true;
                    e.voidAward(stop.awards.first(), n % 4 == 0, QDateTime());
                }
                if (someoneLeaves && gone.isEmpty()) {
                    // The operator deletes someone not yet drawn from the list.
                    const QStringList pool = e.pool(list);
                    gone = pool.at(source.pick(int(pool.size())));
                    list.removeAll(gone);
                }
            }
            for (const Award &a : std::as_const(e.awards))
                if (!a.voided)
                    ++counts[size_t(firstCell.at(a.prize) + a.place - 1)][size_t(people.indexOf(a.winner))];
        }
        // With someone gone in a third of the evenings, a place is still
        // symmetric over the people: the one who leaves is chosen at random.
        double worst = 0;
        for (size_t cell = 0; cell < counts.size(); ++cell) {
            const double total = std::accumulate(counts[cell].begin(), counts[cell].end(), 0.0);
            QVERIFY(total > 0);
            double chi = 0;
            for (int c : counts[cell])
                chi += (c - total / 12) * (c - total / 12) / (total / 12);
            qInfo("prize/place cell %zu: %.0f winners, chi2=%.2f (11 df)", cell, total, chi);
            worst = qMax(worst, chi);
        }
        qInfo("worst chi2=%.2f limit(99.9%%)=31.26, %d rolling cells checked", worst, rolledCells);
        QVERIFY2(worst < 31.26, qPrintable(QString::number(worst)));
    }

    void singleCandidateAlwaysWins()
    {
        SystemPositionSource source;
        for (int i = 0; i < 100; ++i)
            QCOMPARE(source.pick(1), 0);
        QCOMPARE(source.pick(0), 0);
    }

    void systemSourceCoversTheRange()
    {
        SystemPositionSource source;
        std::vector<int> counts(7, 0);
        for (int i = 0; i < 7000; ++i)
            ++counts[size_t(source.pick(7))];
        for (int c : counts)
            QVERIFY(c > 700 && c < 1300); // far outside any plausible chance
    }
};

QTEST_GUILESS_MAIN(TestFairness)
#include "tst_fairness.moc"
