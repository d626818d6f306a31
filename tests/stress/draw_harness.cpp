// Draws through the same engine and result log as the live-draw window,
// without a window, and prints each result the moment the log reports it
// safely written. Used by the crash, concurrency and fault scripts.
//
//   draw_harness --draws N [--seed S] [--ticks-max K] [--tick-stats N]
//   draw_harness --check
//
// Output lines: "SAVED <n> <result>" or "FAILED <n> <result>\t<error>".
// --check makes only the check the settings window makes at OK and prints
// "APPENDABLE" or "NOT APPENDABLE\t<error>" (exit status 1).
#include "CandidateList.h"
#include "DrawEngine.h"
#include "Module1.h"
#include "PositionSource.h"
#include "ResultLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int argValue(const QStringList &args, const QString &name, int fallback)
{
    const qsizetype i = args.indexOf(name);
    return (i >= 0 && i + 1 < args.size()) ? args.at(i + 1).toInt() : fallback;
}

// Ticks of the real timer through the event loop: interval statistics.
int tickStats(DrawEngine &engine, int ticks)
{
    std::vector<double> intervals;
    QElapsedTimer clock;
    qint64 last = -1;
    QObject::connect(&engine, &DrawEngine::displayChanged, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0)
            intervals.push_back((now - last) / 1e6);
        last = now;
        if (int(intervals.size()) >= ticks)
            QCoreApplication::quit();
    });
    clock.start();
    engine.RollClick(QStringLiteral("tick stats"), 0);
    QCoreApplication::exec();
    engine.Abort();
    std::sort(intervals.begin(), intervals.end());
    double sum = 0;
    for (double v : intervals)
        sum += v;
    const auto pct = [&](double p) { return intervals[size_t(p * double(intervals.size() - 1))]; };
    std::printf("ticks %zu mean %.3f ms p50 %.3f ms p99 %.3f ms max %.3f ms min %.3f ms\n", intervals.size(),
                sum / double(intervals.size()), pct(0.5), pct(0.99), intervals.back(), intervals.front());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int draws = argValue(args, QStringLiteral("--draws"), 10);
    const int seed = argValue(args, QStringLiteral("--seed"), 1);
    const int ticksMax = argValue(args, QStringLiteral("--ticks-max"), 3);
    const int statTicks = argValue(args, QStringLiteral("--tick-stats"), 0);

    Module1 module1;
    CandidateList list;
    QStringList entries;
    for (int i = 0; i < 1000; ++i)
        entries << QStringLiteral("候选人%1").arg(i, 4, 10, QLatin1Char('0'));
    list.AddItems(entries);
    module1.CandidateCount = list.ListCount();
    ResultLog log; // Result.txt in the current folder
    DrawEngine engine(
        module1, [&](int i) { return list.List(i); }, log);
    engine.setPositionSource(std::make_unique<SeededPositionSource>(quint32(seed)));

    if (statTicks > 0)
        return tickStats(engine, statTicks);
    if (args.contains(QStringLiteral("--check"))) {
        QString error;
        if (ResultLog::checkAppendable(log.fileName(), &error)) {
            std::printf("APPENDABLE\n");
            return 0;
        }
        std::printf("NOT APPENDABLE\t%s\n", qPrintable(error));
        return 1;
    }

    int n = 0;
    QObject::connect(&engine, &DrawEngine::resultSaved, [&](const QString &result) {
        std::printf("SAVED %d %s\n", n, qPrintable(result));
        std::fflush(stdout);
    });
    QObject::connect(&engine, &DrawEngine::resultNotSaved, [&](const QString &result, const QString &error) {
        std::printf("FAILED %d %s\t%s\n", n, qPrintable(result), qPrintable(error));
        std::fflush(stdout);
    });
    QRandomGenerator ticks(quint32(seed) * 7919u);
    for (n = 1; n <= draws; ++n) {
        engine.RollClick(QStringLiteral("压力测试"), 0xC00000); // start: the first pick shows at once
        for (int t = int(ticks.bounded(ticksMax + 1)); t > 0; --t)
            engine.Tick();
        engine.RollClick(QStringLiteral("压力测试"), 0xC00000); // stop on the entry showing
    }
    return 0;
}
