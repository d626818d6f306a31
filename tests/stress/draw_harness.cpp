// Draws through the same engine and result log as the live-draw window,
// without a window, and prints each result the moment the log reports it
// safely written. Used by the crash, concurrency and fault scripts.
//
//   draw_harness --draws N [--seed S] [--ticks-max K] [--tick-stats N]
//   draw_harness --check
//   draw_harness --plan-stops N [--seed S] [--fail-saves K] [--name-length L]
//   draw_harness --board
//
// Output lines: "SAVED <n> <result>" or "FAILED <n> <result>\t<error>".
// --check makes only the check the settings window makes at OK and prints
// "APPENDABLE" or "NOT APPENDABLE\t<error>" (exit status 1).
// --plan-stops starts as the program does with a prize plan (the evening in
// prizes.json here, settled against Result.txt), then makes N stops and a
// void after every third, each written as a stop writes it (note, records,
// evening); with --fail-saves every K-th change finds its evening's folder
// blocked and is taken back ("NOTSAVED <n>"); --name-length pads the
// entries so that a stop's write spans many pages. --board starts the same way
// and prints the evening: "AWARD\t<winner>" per award in order, then
// "VOID\t<record's result>" per void.
#include "CandidateList.h"
#include "DrawEngine.h"
#include "EventState.h"
#include "Module1.h"
#include "PositionSource.h"
#include "PrizePlan.h"
#include "ResultLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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

// The program's start with a plan: the saved evening, settled against the
// log (a cut-off end taken back), written back settled.
Prizes::Evening startEvening(const EventState::Store &store)
{
    const EventState::Store::Loaded loaded = store.load();
    Prizes::Evening e;
    if (loaded.evening) {
        e = *loaded.evening;
    } else {
        QString why;
        e.setPlan({{QStringLiteral("三等奖"), 3000, 13},
                   {QStringLiteral("二等奖"), 3000, 10},
                   {QStringLiteral("一等奖"), 3000, 7}},
                  false, &why);
    }
    if (loaded.eveningPending) {
        QString takenBack;
        EventState::settleEvening(&e, *loaded.eveningPending, &takenBack);
        if (!takenBack.isEmpty())
            std::printf("TAKENBACK %s\n", qPrintable(takenBack));
        QString why;
        if (!EventState::writeFile(store.prizesPath(), EventState::encodeEvening(e), &why))
            std::printf("FAILED settle\t%s\n", qPrintable(why));
    }
    std::fflush(stdout);
    return e;
}

int planStops(const QStringList &entries, int stops, int seed, int failSaves)
{
    const EventState::Store store(QStringLiteral("settings.json"), QStringLiteral("list.json"),
                                  QStringLiteral("prizes.json"));
    Prizes::Evening e = startEvening(store);
    const ResultLog log;
    SeededPositionSource source{quint32(seed)};
    QFile blocker(QStringLiteral("blocked"));
    if (failSaves > 0 && (!blocker.open(QIODevice::WriteOnly) || blocker.write("x") != 1 || !blocker.flush()))
        return 2;
    int change = 0;
    // One change with its records, as a stop or a void writes it.
    const auto record = [&](const Prizes::Evening &before, const QList<ResultLog::Record> &records) {
        ++change;
        const QString path = failSaves > 0 && change % failSaves == 0 ? QStringLiteral("blocked/prizes.json")
                                                                      : store.prizesPath();
        const EventState::ChangeWrite w = EventState::recordChange(path, e, before, records, log);
        if (w.outcome == EventState::RecordOutcome::NotSaved) {
            e = before;
            std::printf("NOTSAVED %d\n", change);
        }
        for (const ResultLog::Record &r : records)
            std::printf("%s %d %s\n", w.outcome == EventState::RecordOutcome::Recorded ? "SAVED" : "FAILED",
                        change, qPrintable(r.result));
        std::fflush(stdout);
    };
    for (int n = 1; n <= stops; ++n) {
        const Prizes::Evening::Start start = e.start();
        if (start == Prizes::Evening::Start::Finished) {
            std::printf("FINISHED\n");
            return 0;
        }
        if (start == Prizes::Evening::Start::Announced) {
            QString why;
            EventState::writeFile(store.prizesPath(), EventState::encodeEvening(e), &why);
            continue;
        }
        const Prizes::Evening before = e;
        const QDateTime now = QDateTime::currentDateTime();
        const Prizes::Evening::Stop stop = e.stop(entries, source, now);
        if (stop.awards.isEmpty()) {
            // Nobody left for this prize: closed short, as the operator would.
            const QList<int> empty = e.closeShort();
            record(before, {{e.recordTitle(QStringLiteral("压力测试"), before.announced),
                             Prizes::Evening::closeResultText(empty), now}});
            continue;
        }
        QList<ResultLog::Record> records;
        for (int i : stop.awards)
            records.append(
                {e.recordTitle(QStringLiteral("压力测试"), e.announced), e.awards.at(i).winner, now});
        record(before, records);
        if (n % 3 == 0 && !e.lastStop().isEmpty() && e.canVoid(e.lastStop().first())) {
            const int award = e.lastStop().first();
            const Prizes::Evening beforeVoid = e;
            const QDateTime voidTime = QDateTime::currentDateTime();
            e.voidAward(award, n % 2 == 0, voidTime);
            record(beforeVoid, {{e.recordTitle(QStringLiteral("压力测试"), e.awards.at(award).prize),
                                 Prizes::Evening::voidResultText(e.awards.at(award)), voidTime}});
        }
    }
    return 0;
}

int board()
{
    const Prizes::Evening e = startEvening(EventState::Store(
        QStringLiteral("settings.json"), QStringLiteral("list.json"), QStringLiteral("prizes.json")));
    for (const Prizes::Award &a : e.awards)
        std::printf("AWARD\t%s\n", qPrintable(a.winner));
    for (const Prizes::Award &a : e.awards)
        if (a.voided)
            std::printf("VOID\t%s\n", qPrintable(Prizes::Evening::voidResultText(a)));
    std::printf("CLOSED\t%lld\n", static_cast<long long>(e.closed.count(true)));
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
    if (const int pad = argValue(args, QStringLiteral("--name-length"), 0); pad > 0)
        for (QString &entry : entries)
            entry = entry.leftJustified(pad, u'名');
    if (args.contains(QStringLiteral("--plan-stops")))
        return planStops(entries, argValue(args, QStringLiteral("--plan-stops"), 10), seed,
                         argValue(args, QStringLiteral("--fail-saves"), 0));
    if (args.contains(QStringLiteral("--board")))
        return board();
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
