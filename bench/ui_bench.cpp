// The data editing window's heavy operations with the list view showing:
// importing a 25,000-byte file of short lines, and removing repeats from a
// full list. Runs on the offscreen platform.
#include "CandidateList.h"
#include "Dialogs.h"
#include "Edit.h"
#include "Setting.h"
#include "WindowShell.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>

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
        shell.module1().CandidateCount = edit->List1Model()->ListCount();
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

void BM_PasteMillionLinesIntoEntryBox(benchmark::State &state)
{
    pasteIntoShownWindow(state, QStringLiteral("张三\n").repeated(1000 * 1000));
}
BENCHMARK(BM_PasteMillionLinesIntoEntryBox)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Dialogs::enableTestMode();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
