#include "CandidateList.h"
#include "DrawEngine.h"
#include "Module1.h"
#include "PositionSource.h"
#include "ResultLog.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
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
