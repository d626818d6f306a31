#include "CandidateList.h"
#include "DrawEngine.h"
#include "Gb18030.h"
#include "ListFile.h"
#include "Module1.h"
#include "PositionSource.h"
#include "ReSortDups.h"
#include "ResultLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A 25,000-byte GBK list of short names, as an organiser would import.
QByteArray gbkList()
{
    QByteArray bytes;
    const QString surnames = QStringLiteral("赵钱孙李周吴郑王冯陈褚卫蒋沈韩杨");
    for (int i = 0; bytes.size() < 25000 - 16; ++i)
        bytes += Gb18030::encode(surnames.at(i % surnames.size()) + QStringLiteral("先生%1\r\n").arg(i));
    bytes.append(QByteArray(25000 - bytes.size(), 'x'));
    return bytes;
}

// A 25,000-byte UTF-8 list of Chinese names; with mixedEvery > 0, every
// so many lines one is written in GBK instead, as in a list pasted together
// from two sources.
QByteArray utf8List(int mixedEvery)
{
    const QString chars = QStringLiteral("赵钱孙李周吴郑王冯陈褚卫蒋沈韩杨朱秦尤许何吕施张孔曹严华金魏陶姜");
    QByteArray bytes;
    for (int i = 0;; ++i) {
        const QString name = chars.at(i % chars.size()) + chars.at((i * 7 + 3) % chars.size()) +
                             chars.at((i * 13 + 5) % chars.size()) + u'\n';
        const QByteArray line =
            (mixedEvery > 0 && i % mixedEvery == 0) ? Gb18030::encode(name) : name.toUtf8();
        if (bytes.size() + line.size() > 25000)
            break;
        bytes += line;
    }
    bytes.append(QByteArray(25000 - bytes.size(), 'x'));
    return bytes;
}

void readListFile(benchmark::State &state, const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != 25000 || !f.flush()) {
        state.SkipWithError("cannot write the list file");
        return;
    }
    f.close();
    for (auto _ : state) {
        ListFile::ReadResult r = ListFile::read(path);
        benchmark::DoNotOptimize(r.entries.size());
    }
}

void BM_ReadGbkListFile(benchmark::State &state)
{
    readListFile(state, gbkList());
}
BENCHMARK(BM_ReadGbkListFile)->Unit(benchmark::kMicrosecond);

void BM_ReadUtf8ListFile(benchmark::State &state)
{
    readListFile(state, utf8List(0));
}
BENCHMARK(BM_ReadUtf8ListFile)->Unit(benchmark::kMicrosecond);

// Every tenth line in GBK: the worst case for reading line by line.
void BM_ReadMixedListFile(benchmark::State &state)
{
    readListFile(state, utf8List(10));
}
BENCHMARK(BM_ReadMixedListFile)->Unit(benchmark::kMicrosecond);

void BM_ReSortDups(benchmark::State &state)
{
    const int n = int(state.range(0));
    QStringList entries;
    for (int i = 0; i < n; ++i)
        entries << QStringLiteral("Candidate %1").arg(i % (n / 2));
    for (auto _ : state) {
        state.PauseTiming();
        CandidateList list;
        list.AddItems(entries);
        qint32 count = n;
        state.ResumeTiming();
        benchmark::DoNotOptimize(ReSortDups(list, count, -1));
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_ReSortDups)
    ->Arg(4096)
    ->Arg(8192)
    ->Arg(16384)
    ->Arg(32767)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_DrawTick(benchmark::State &state)
{
    Module1 module1;
    CandidateList list;
    QStringList entries;
    for (int i = 0; i < CandidateList::MaxEntries; ++i)
        entries << QStringLiteral("Candidate %1").arg(i);
    list.AddItems(entries);
    module1.CandidateCount = list.ListCount();
    ResultLog log;
    DrawEngine engine(
        module1, [&](int i) { return list.List(i); }, log);
    engine.Seed();
    for (auto _ : state)
        engine.Tick();
}
BENCHMARK(BM_DrawTick)->Unit(benchmark::kNanosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
