// The data editing window's heavy operations with the list view showing:
// importing a 25,000-byte file of short lines, and removing repeats from a
// full list. Runs on the offscreen platform (on X when QT_QPA_PLATFORM=xcb).
#include "CandidateList.h"
#include "Dialogs.h"
#include "DrawEngine.h"
#include "Edit.h"
#include "Pick.h"
#include "PlanDraw.h"
#include "Setting.h"
#include "StateKeeper.h"
#include "UiKit.h"
#include "WindowShell.h"
#include "WinnerGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

void BM_ImportFileIntoShownWindow(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("names.txt"));
    QByteArray bytes;
    for (int i = 0; bytes.size() + 6 <= 25000; ++i)
        bytes += QByteArray::number(10000 + i % 90000) + "\n"; // about 5,000 entries
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        state.SkipWithError("cannot write the list file");
    f.close();
    for (auto _ : state) {
        state.PauseTiming();
        WindowShell shell;
        shell.setting();
        Edit *edit = shell.edit();
        edit->show();
        QApplication::processEvents();
        state.ResumeTiming();
        edit->importListFile(path);
        QApplication::processEvents(); // the view lays out and paints the new rows
        benchmark::DoNotOptimize(edit->List1Model()->ListCount());
    }
}
BENCHMARK(BM_ImportFileIntoShownWindow)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RemoveRepeatsWithViewShowing(benchmark::State &state)
{
    QStringList entries;
    for (int i = 0; i < CandidateList::MaxEntries; ++i)
        entries << QStringLiteral("Candidate %1").arg(i % (CandidateList::MaxEntries / 2));
    for (auto _ : state) {
        state.PauseTiming();
        WindowShell shell;
        shell.setting();
        Edit *edit = shell.edit();
        edit->List1Model()->AddItems(entries);
        shell.controller().setCandidateCount(edit->List1Model()->ListCount());
        edit->Command5->setEnabled(true);
        edit->show();
        QApplication::processEvents();
        state.ResumeTiming();
        edit->Command5->click();
        QApplication::processEvents();
        benchmark::DoNotOptimize(edit->List1Model()->ListCount());
    }
}
BENCHMARK(BM_RemoveRepeatsWithViewShowing)->Unit(benchmark::kMillisecond)->Iterations(10);

// Ctrl+V in the entry box with a huge clipboard, as the organiser would
// paste it: from the key press until the list view has painted the rows.
// The window must not stall more than 250 ms, whatever the clipboard holds.
void pasteIntoShownWindow(benchmark::State &state, const QString &clipboard)
{
    QGuiApplication::clipboard()->setText(clipboard);
    for (auto _ : state) {
        state.PauseTiming();
        WindowShell shell;
        shell.setting();
        Edit *edit = shell.edit();
        edit->show();
        edit->Text1->setFocus();
        QApplication::processEvents();
        state.ResumeTiming();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("v"));
        QApplication::sendEvent(edit->Text1, &press);
        QApplication::processEvents();
        benchmark::DoNotOptimize(edit->List1Model()->ListCount());
        state.PauseTiming();
        if (edit->List1Model()->ListCount() != CandidateList::MaxEntries)
            state.SkipWithError("the paste did not fill the list");
        state.ResumeTiming();
    }
    QGuiApplication::clipboard()->clear();
}

void BM_Paste100MegabytesIntoEntryBox(benchmark::State &state)
{
    // 100 MB of text: 6.5 million short lines.
    pasteIntoShownWindow(state, QStringLiteral("Candidate 12345\n").repeated(100 * 1000 * 1000 / 16));
}
BENCHMARK(BM_Paste100MegabytesIntoEntryBox)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Paste10MegabytesIntoEntryBox(benchmark::State &state)
{
    // 10 MB of text: 655,360 short lines, twenty times what the list keeps.
    pasteIntoShownWindow(state, QStringLiteral("Candidate 12345\n").repeated(10 * 1024 * 1024 / 16));
}
BENCHMARK(BM_Paste10MegabytesIntoEntryBox)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same paste with the clipboard held by another program (xclip), as on
// a desktop: the text crosses the X server before the paste sees it. Run on
// Xvfb (QT_QPA_PLATFORM=xcb); skipped elsewhere. read_ms is the clipboard's
// read alone.
void BM_Paste10MegabytesFromAnotherProgram(benchmark::State &state)
{
    if (QGuiApplication::platformName() != u"xcb") {
        state.SkipWithError("needs an X display (QT_QPA_PLATFORM=xcb)");
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clip.txt"));
    const QByteArray bytes = QByteArray("Candidate 12345\n").repeated(10 * 1024 * 1024 / 16);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush()) {
        state.SkipWithError("cannot write the clipboard's text");
        return;
    }
    f.close();
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i"), path});
    if (!xclip.waitForStarted() || !xclip.waitForFinished(5000) || xclip.exitCode() != 0) {
        state.SkipWithError("xclip did not take the clipboard");
        return;
    }
    QElapsedTimer wait;
    wait.start();
    while (QGuiApplication::clipboard()->ownsClipboard() || !QGuiApplication::clipboard()->mimeData() ||
           !QGuiApplication::clipboard()->mimeData()->hasText()) {
        if (wait.hasExpired(5000)) {
            state.SkipWithError("the clipboard did not change hands");
            return;
        }
        QApplication::processEvents();
    }
    QElapsedTimer read;
    read.start();
    const qsizetype size = QGuiApplication::clipboard()->text().size();
    state.counters["read_ms"] = double(read.nsecsElapsed()) / 1e6;
    if (size != bytes.size()) {
        state.SkipWithError("the clipboard's text came back short");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        WindowShell shell;
        shell.setting();
        Edit *edit = shell.edit();
        edit->show();
        edit->Text1->setFocus();
        QApplication::processEvents();
        state.ResumeTiming();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("v"));
        QApplication::sendEvent(edit->Text1, &press);
        QApplication::processEvents();
        state.PauseTiming();
        if (edit->List1Model()->ListCount() != CandidateList::MaxEntries)
            state.SkipWithError("the paste did not fill the list");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Paste10MegabytesFromAnotherProgram)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PasteMillionLinesIntoEntryBox(benchmark::State &state)
{
    pasteIntoShownWindow(state, QStringLiteral("张三\n").repeated(1000 * 1000));
}
BENCHMARK(BM_PasteMillionLinesIntoEntryBox)->Unit(benchmark::kMillisecond)->Iterations(5);

// The live draw with a prize plan against the single display, on a shown
// live-draw window: the stop of a 50-winner prize from a full list (the pick,
// the pool's fingerprint, the saved state and Result.txt on disk, the grid
// painted), and one rolling tick with its painting, at the design size and
// at 3840×2160.
struct LiveDraw
{
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    WindowShell shell;
    std::unique_ptr<StateKeeper> keeper;
    Pick *pick = nullptr;

    LiveDraw(int perStop, bool fullScreen, bool keepState = true)
    {
        QDir::setCurrent(dir.path());
        if (keepState) {
            keeper = std::make_unique<StateKeeper>(
                shell, EventState::Store(dir.filePath(QStringLiteral("settings.json")),
                                         dir.filePath(QStringLiteral("list.json"))));
            keeper->startFresh();
        }
        shell.setting();
        QStringList entries;
        for (int i = 0; i < CandidateList::MaxEntries; ++i)
            entries << QStringLiteral("员工%1").arg(i, 5, 10, QLatin1Char('0'));
        shell.edit()->List1Model()->AddItems(entries);
        shell.controller().setCandidateCount(shell.edit()->List1Model()->ListCount());
        if (perStop > 0) {
            QString why;
            shell.controller().setPlan({{QStringLiteral("三等奖"), Prizes::MaxCount, perStop}}, true, &why);
            shell.controller().setMinRollSeconds(0); // the stop is measured, not the hall's wait
        }
        shell.setting()->Command2->click();
        pick = shell.pick();
        if (fullScreen) {
            pick->setFullScreenMode(true);
            pick->setGeometry(0, 0, 3840, 2160);
        }
        QApplication::processEvents();
    }
    ~LiveDraw() { QDir::setCurrent(previous); }
};

// The longest time the window's thread goes without serving a 1 ms timer:
// the longest stretch in which the windows could not paint either.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { lap(); });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_timer.start();
    }
    qint64 stopNs()
    {
        lap();
        m_timer.stop();
        return m_longest;
    }

private:
    void lap()
    {
        m_longest = qMax(m_longest, m_since.nsecsElapsed());
        m_since.start();
    }
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

void BM_PlanStopOf50From32767(benchmark::State &state)
{
    LiveDraw draw(50, false);
    PlanDraw *plan = draw.pick->plan();
    StallMeter stall;
    qint64 longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        draw.shell.controller().clearAwards(); // every stop is a prize's first: its pool is stamped
        plan->rollClick();
        plan->Timer2()->stop();
        plan->tick();
        QApplication::processEvents();
        plan->Timer2()->start(); // rolling, as the stop finds it
        state.ResumeTiming();
        stall.start();
        plan->rollClick();             // the stop
        QApplication::processEvents(); // the grid paints the winners
        longest = qMax(longest, stall.stopNs());
        benchmark::DoNotOptimize(plan->Grid1->cells().size());
    }
    // The worst stall of the window's thread over all the stops.
    state.counters["longest_stall_ms"] = double(longest) / 1e6;
}
BENCHMARK(BM_PlanStopOf50From32767)->Unit(benchmark::kMillisecond)->Iterations(20);

// A stop late in a long evening, with the winners board open beside the
// live-draw window: what the window's thread spends on one stop of 10
// winners (the rollClick that stops, then the events it left behind: the
// board's update, the grid's painting, the keeper's save) after winners
// drawn before it. Without the keeper the records go straight to
// Result.txt; with it, the evening is also encoded and written around them.
void BM_LateStopWithBoardOpen(benchmark::State &state)
{
    const int winners = int(state.range(0));
    const bool keeper = state.range(1) != 0;
    const bool boardOpen = state.range(2) != 0;
    constexpr int PlacesPerPrize = 1000;
    LiveDraw draw(0, false, keeper);
    Prizes::Evening e = draw.shell.evening();
    // Full prizes of 1,000 places each, then the prize being drawn.
    QList<Prizes::Prize> plan;
    for (int p = 0; p <= winners / PlacesPerPrize; ++p)
        plan.append({QStringLiteral("第%1批纪念奖").arg(p + 1), PlacesPerPrize, 10});
    QString why;
    e.minRollSeconds = 0; // the stop is measured, not the hall's wait
    if (!e.setPlan(plan, true, &why))
        state.SkipWithError("plan refused");
    const QStringList entries = draw.shell.edit()->List1Model()->entries();
    const QDateTime when = QDateTime::currentDateTime();
    for (int i = 0; i < winners; ++i) {
        Prizes::Award a;
        a.prize = i / PlacesPerPrize;
        a.place = i % PlacesPerPrize + 1;
        a.stop = i / 10 + 1;
        a.winner = entries.at(i);
        a.time = when;
        e.awards.append(a);
    }
    for (int p = 0; p < winners / PlacesPerPrize; ++p)
        e.pools[p] = {int(entries.size()) - p * PlacesPerPrize, QStringLiteral("0123456789ab")};
    e.stops = winners / 10;
    e.announced = winners / PlacesPerPrize;
    draw.shell.controller().restoreEvening(e);
    PlanDraw *planDraw = draw.pick->plan();
    if (boardOpen)
        planDraw->showBoard();
    QApplication::processEvents();
    StallMeter stall;
    qint64 longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        planDraw->rollClick();
        planDraw->Timer2()->stop();
        planDraw->tick();
        QApplication::processEvents();
        planDraw->Timer2()->start(); // rolling, as the stop finds it
        state.ResumeTiming();
        stall.start();
        planDraw->rollClick();         // the stop
        QApplication::processEvents(); // the board, the grid, the keeper's timer
        longest = qMax(longest, stall.stopNs());
        benchmark::DoNotOptimize(planDraw->Grid1->cells().size());
    }
    if (e.awards.size() != winners + qsizetype(state.iterations()) * 10)
        state.SkipWithError("a stop drew no winners");
    state.counters["longest_stall_ms"] = double(longest) / 1e6;
}
BENCHMARK(BM_LateStopWithBoardOpen)
    ->ArgNames({"winners", "keeper", "board"})
    ->ArgsProduct({{10000, 30000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// One tick of the rolling draw and its painting: 0 cells is today's single
// display, 50 the grid.
void BM_RollingTick(benchmark::State &state)
{
    const int cells = int(state.range(0));
    LiveDraw draw(cells, state.range(1) != 0);
    // Rolling, with the ticks made here rather than by the timers.
    if (cells == 0)
        draw.pick->engine()->RollClick(draw.pick->Label1->text(), 0xC00000);
    else
        draw.pick->plan()->rollClick();
    draw.pick->engine()->Timer1()->stop();
    draw.pick->plan()->Timer2()->stop();
    QApplication::processEvents();
    for (auto _ : state) {
        if (cells == 0)
            draw.pick->engine()->Tick();
        else
            draw.pick->plan()->tick();
        QApplication::processEvents(); // the changed region is painted
    }
}
BENCHMARK(BM_RollingTick)
    ->ArgNames({"cells", "4k"})
    ->Args({0, 0})
    ->Args({50, 0})
    ->Args({0, 1})
    ->Args({50, 1})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(400);

} // namespace

int main(int argc, char **argv)
{
    if (qgetenv("QT_QPA_PLATFORM") != "xcb") // the clipboard of another program needs an X display
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Dialogs::enableTestMode();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
