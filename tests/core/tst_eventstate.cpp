#include "EventState.h"
#include "PositionSource.h"
#include "ResultLog.h"
#include "TextRules.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <ctime>
#include <thread>

using namespace EventState;

namespace {

Settings someSettings()
{
    Settings s;
    s.title = QStringLiteral("  年会抽奖 ");
    s.subtitle = QStringLiteral("一等奖\t\"引号\"");
    s.picturePath = QStringLiteral("/tmp/图 片.jpg");
    s.lineFontFace = {QStringLiteral("文泉驿微米黑"), std::nullopt};
    s.lineFontColor = {std::nullopt, 0x00C000u};
    s.noRepeatDraw = 1;
    s.winnersLeave = true;
    s.audienceScreen = QStringLiteral("HDMI-1");
    s.soundOn = false;
    s.soundVolume = 35;
    s.soundFiles = {QString(), QStringLiteral("/tmp/声音/停止.wav"), QString()};
    return s;
}

WorkingList someList(int n = 3)
{
    WorkingList l;
    for (int i = 0; i < n; ++i)
        l.entries << QStringLiteral(" 张三 %1").arg(i);
    l.fileName = QStringLiteral("名单.txt");
    l.filePath = QStringLiteral("/home/x/名单.txt");
    l.sizeCaption = QStringLiteral("0.03  KB");
    l.imported = true;
    return l;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The files beside path that a damaged state was moved to.
QStringList asideFiles(const QString &path)
{
    const QFileInfo info(path);
    return QDir(info.absolutePath())
        .entryList({info.fileName() + QStringLiteral(".damaged-*")},
                   QDir::AllEntries | QDir::Hidden | QDir::System);
}

} // namespace

class TestEventState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<WorkingList>("list");
        QTest::newRow("default values, empty list") << Settings{} << WorkingList{};
        QTest::newRow("everything set") << someSettings() << someList();
        QTest::newRow("a full list") << Settings{} << someList(MaxEntries);
    }
    void roundTrip()
    {
        QFETCH(Settings, settings);
        QFETCH(WorkingList, list);
        QTemporaryDir dir;
        const Store store(dir.filePath(QStringLiteral("config/a/settings.json")),
                          dir.filePath(QStringLiteral("data/b/list.json")));
        QString error;
        QVERIFY2(store.saveSettings(settings, &error), qPrintable(error));
        QVERIFY2(store.saveList(list, &error), qPrintable(error));
        const Store::Loaded loaded = store.load();
        QCOMPARE(loaded.problems, QStringList());
        QVERIFY(loaded.settings && loaded.list);
        QVERIFY(*loaded.settings == settings);
        QVERIFY(*loaded.list == list);
    }

    void nothingSavedGivesNothingAndNoProblem()
    {
        QTemporaryDir dir;
        const Store store(dir.filePath(QStringLiteral("s.json")), dir.filePath(QStringLiteral("l.json")));
        const Store::Loaded loaded = store.load();
        QVERIFY(!loaded.settings && !loaded.list);
        QVERIFY(loaded.problems.isEmpty());
    }

    // Every way a settings text can be unusable is refused with a reason.
    void decodeRefuses_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QByteArray good = encodeSettings(someSettings());
        const QString damaged = QStringLiteral("文件已损坏");
        auto with = [&good](const char *from, const char *to) {
            QByteArray b = good;
            const qsizetype at = b.indexOf(from);
            if (at < 0)
                qFatal("pattern %s not in the settings text", from);
            return b.replace(at, qsizetype(qstrlen(from)), to);
        };
        QTest::newRow("empty") << QByteArray() << QStringLiteral("文件是空的");
        QTest::newRow("only blanks") << QByteArray(" \n\n") << QStringLiteral("文件是空的");
        QTest::newRow("truncated") << good.left(good.size() / 2) << damaged;
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe\x01garbage\x9c", 12) << damaged;
        QTest::newRow("a list file") << encodeList(someList()) << damaged;
        QTest::newRow("a future version")
            << with("\"version\": 1", "\"version\": 2") << QStringLiteral("文件来自更新版本的程序");
        QTest::newRow("version 0") << with("\"version\": 1", "\"version\": 0") << damaged;
        QTest::newRow("version as text") << with("\"version\": 1", "\"version\": \"1\"") << damaged;
        QTest::newRow("version 1.5") << with("\"version\": 1", "\"version\": 1.5") << damaged;
        QTest::newRow("title a number") << with("\"title\": \"", "\"title\": 5, \"x\": \"") << damaged;
        QTest::newRow("repeat choice 2") << with("\"noRepeatDraw\": 1", "\"noRepeatDraw\": 2") << damaged;
        QTest::newRow("bad colour") << with("#00C000", "#00C00G") << damaged;
        QTest::newRow("winners-leave as text")
            << with("\"winnersLeave\": true", "\"winnersLeave\": \"yes\"") << damaged;
        QTest::newRow("screen a number") << with("\"HDMI-1\"", "1") << damaged;
        QTest::newRow("volume over 100") << with("\"volume\": 35", "\"volume\": 101") << damaged;
        QTest::newRow("sound on as text") << with("\"on\": false", "\"on\": \"no\"") << damaged;
        QTest::newRow("two sound files") << with("\"files\": [\n", "\"files\": [\n\"\"],\"x\": [") << damaged;
    }
    // A file written before the hall's screen could be chosen: not chosen.
    void olderSettingsChoseNoScreen()
    {
        QJsonObject o = QJsonDocument::fromJson(encodeSettings(someSettings())).object();
        QVERIFY(o.contains(QStringLiteral("audienceScreen")));
        o.remove(QStringLiteral("audienceScreen"));
        const QByteArray bytes = QJsonDocument(o).toJson();
        Settings s;
        QVERIFY(decodeSettings(bytes, &s, nullptr));
        QCOMPARE(s.audienceScreen, QString());
        Settings want = someSettings();
        want.audienceScreen.clear();
        QCOMPARE(s, want);
    }
    // A file written before sounds came: the program's own sounds, on.
    void settingsWithoutSoundReadAsDefaults()
    {
        QJsonObject o = QJsonDocument::fromJson(encodeSettings(someSettings())).object();
        QVERIFY(o.contains(QStringLiteral("sound")));
        o.remove(QStringLiteral("sound"));
        Settings s;
        QString why;
        QVERIFY2(decodeSettings(QJsonDocument(o).toJson(), &s, &why), qPrintable(why));
        QCOMPARE(s.soundOn, true);
        QCOMPARE(s.soundVolume, Settings{}.soundVolume);
        QCOMPARE(s.soundFiles, Settings{}.soundFiles);
        QCOMPARE(s.title, someSettings().title);
    }
    void decodeRefuses()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        Settings s;
        QString reason;
        QVERIFY(!decodeSettings(bytes, &s, &reason));
        QCOMPARE(reason, why);
    }

    void decodeListRefuses_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        WorkingList over = someList(MaxEntries);
        over.entries << QStringLiteral("one too many");
        WorkingList emptyEntry = someList();
        emptyEntry.entries[1].clear();
        QByteArray numberEntry = encodeList(someList());
        numberEntry.replace("\" 张三 1\"", "1");
        QTest::newRow("over the limit") << encodeList(over) << QStringLiteral("列表超过 32767 个数据");
        QTest::newRow("an empty entry") << encodeList(emptyEntry) << QStringLiteral("文件已损坏");
        QTest::newRow("a number as entry") << numberEntry << QStringLiteral("文件已损坏");
        QTest::newRow("a settings file") << encodeSettings(someSettings()) << QStringLiteral("文件已损坏");
        // Longer than the entry box holds: the program never makes such an
        // entry, and showing it would stall the windows.
        WorkingList longEntry = someList();
        longEntry.entries[2] = QString(32768, u'名');
        WorkingList longName = someList();
        longName.fileName = QString(32768, u'长');
        WorkingList longCaption = someList();
        longCaption.sizeCaption = QString(32768, u'大');
        QTest::newRow("an entry too long") << encodeList(longEntry) << QStringLiteral("文件已损坏");
        QTest::newRow("a file name too long") << encodeList(longName) << QStringLiteral("文件已损坏");
        QTest::newRow("a size too long") << encodeList(longCaption) << QStringLiteral("文件已损坏");
    }
    void decodeListRefuses()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        WorkingList l;
        QString reason;
        QVERIFY(!decodeList(bytes, &l, &reason));
        QCOMPARE(reason, why);
    }

    // A saved list edited by hand may hold entries the program never makes:
    // each comes back on one line, its control characters blanks, as the
    // list reader and the entry box give them.
    void decodedEntriesStayOnOneLine_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("restored");
        QTest::newRow("LF") << QStringLiteral("张三\n李四") << QStringLiteral("张三 李四");
        QTest::newRow("tab") << QStringLiteral("张三\t李四") << QStringLiteral("张三 李四");
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("a  b");
        QTest::newRow("line separator") << QStringLiteral("a\u2028b") << QStringLiteral("a b");
        QTest::newRow("NEL") << QStringLiteral("a\u0085b") << QStringLiteral("a b");
        QTest::newRow("NUL and DEL") << QString::fromUtf16(u"a\0b\x7f", 4) << QStringLiteral("a b ");
        QTest::newRow("plain text kept")
            << QStringLiteral(" <b>x</b> & y ") << QStringLiteral(" <b>x</b> & y ");
    }
    void decodedEntriesStayOnOneLine()
    {
        QFETCH(QString, entry);
        QFETCH(QString, restored);
        WorkingList saved = someList();
        saved.entries[1] = entry;
        WorkingList l;
        QString why;
        QVERIFY2(decodeList(encodeList(saved), &l, &why), qPrintable(why));
        QCOMPARE(l.entries.size(), saved.entries.size());
        QCOMPARE(l.entries.at(0), saved.entries.at(0));
        QCOMPARE(l.entries.at(1), restored);
    }

    // A damaged file: nothing restored from it, one sentence naming it, and
    // the file kept byte for byte under another name. The good file still loads.
    void damagedFileIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QByteArray good = encodeSettings(someSettings());
        QTest::newRow("truncated") << good.left(40) << QStringLiteral("文件已损坏");
        QTest::newRow("binary garbage")
            << QByteArray("\x89PNG\r\n\x1a\n\x00\x00", 10) << QStringLiteral("文件已损坏");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("文件是空的");
        QTest::newRow("future version") << QByteArray(good).replace("\"version\": 1", "\"version\": 7")
                                        << QStringLiteral("文件来自更新版本的程序");
        QTest::newRow("larger than the limit")
            << QByteArray(MaxSettingsBytes + 1, ' ') << QStringLiteral("文件大于 1048576 字节");
    }
    void damagedFileIsSetAside()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const Store store(dir.filePath(QStringLiteral("settings.json")),
                          dir.filePath(QStringLiteral("list.json")));
        QString error;
        QVERIFY(store.saveList(someList(), &error));
        writeRaw(store.settingsPath(), bytes);
        const Store::Loaded loaded = store.load();
        QVERIFY(!loaded.settings);
        QVERIFY(loaded.list && *loaded.list == someList());
        QCOMPARE(loaded.problems.size(), 1);
        QVERIFY2(loaded.problems.constFirst().contains(why), qPrintable(loaded.problems.constFirst()));
        QVERIFY(!QFileInfo::exists(store.settingsPath()));
        const QStringList aside = asideFiles(store.settingsPath());
        QCOMPARE(aside.size(), 1);
        QVERIFY(loaded.problems.constFirst().contains(aside.constFirst()));
        QCOMPARE(readAll(dir.filePath(aside.constFirst())), bytes);

        // A second damaged start keeps the first damaged copy too.
        writeRaw(store.settingsPath(), bytes);
        QCOMPARE(store.load().problems.size(), 1);
        QCOMPARE(asideFiles(store.settingsPath()).size(), 2);
    }

    // A folder where the file should be cannot be read: set aside, not removed.
    void unreadableStateIsSetAside()
    {
        QTemporaryDir dir;
        const Store store(dir.filePath(QStringLiteral("settings.json")),
                          dir.filePath(QStringLiteral("list.json")));
        QVERIFY(QDir().mkpath(store.listPath() + QStringLiteral("/inside")));
        const Store::Loaded loaded = store.load();
        QVERIFY(!loaded.list);
        QCOMPARE(loaded.problems.size(), 1);
        QVERIFY(loaded.problems.constFirst().contains(QStringLiteral("待选列表")));
        const QStringList aside = asideFiles(store.listPath());
        QCOMPARE(aside.size(), 1);
        QVERIFY(QFileInfo(dir.filePath(aside.constFirst()) + QStringLiteral("/inside")).isDir());
    }

    // A read-only state file is read as usual, and the next save replaces it whole.
    void readOnlyFileLoadsAndIsReplaced()
    {
        QTemporaryDir dir;
        const Store store(dir.filePath(QStringLiteral("settings.json")),
                          dir.filePath(QStringLiteral("list.json")));
        QString error;
        QVERIFY(store.saveSettings(someSettings(), &error));
        QVERIFY(QFile::setPermissions(store.settingsPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        const Store::Loaded loaded = store.load();
        QVERIFY(loaded.problems.isEmpty());
        QVERIFY(loaded.settings && *loaded.settings == someSettings());
        Settings changed = someSettings();
        changed.title = QStringLiteral("第二轮");
        QVERIFY2(store.saveSettings(changed, &error), qPrintable(error));
        QVERIFY(*store.load().settings == changed);
    }

    void saveFailsWhereNoFolderCanBeMade()
    {
        QTemporaryDir dir;
        writeRaw(dir.filePath(QStringLiteral("plain")), "x");
        const Store store(dir.filePath(QStringLiteral("plain/settings.json")),
                          dir.filePath(QStringLiteral("plain/list.json")));
        QString error;
        QVERIFY(!store.saveSettings(someSettings(), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(dir.filePath(QStringLiteral("plain"))), QByteArray("x"));
    }

    // Two programs saving at once: every read sees one whole file, and the
    // last save is what stays.
    void twoWritersNeverLeaveAPartialFile()
    {
        QTemporaryDir dir;
        const Store store(dir.filePath(QStringLiteral("settings.json")),
                          dir.filePath(QStringLiteral("list.json")));
        QString error;
        QVERIFY(store.saveList(someList(2000), &error));
        std::atomic<bool> stop = false;
        std::atomic<int> reads = 0, bad = 0;
        auto writer = [&store](int base) {
            QString e;
            for (int i = 0; i < 60; ++i) {
                WorkingList l = someList(1500 + base + i);
                if (!store.saveList(l, &e))
                    qFatal("save failed: %s", qPrintable(e));
            }
        };
        std::thread reader([&] {
            while (!stop) {
                QByteArray bytes;
                QString why;
                WorkingList l;
                if (readFile(store.listPath(), MaxListBytes, &bytes, &why) != ReadOutcome::Read ||
                    !decodeList(bytes, &l, &why))
                    ++bad;
                ++reads;
            }
        });
        std::thread a(writer, 0), b(writer, 1000);
        a.join();
        b.join();
        stop = true;
        reader.join();
        qInfo("%d reads during 120 saves, %d not whole", reads.load(), bad.load());
        QCOMPARE(bad.load(), 0);
        QVERIFY(reads > 0);
        const int last = int(store.load().list->entries.size());
        QVERIFY2(last == 1500 + 59 || last == 2500 + 59, qPrintable(QString::number(last)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary file left behind
    }

    // A list saved just before a record: the winner leaves at the next start
    // exactly when the record is in the log past the size noted.
    void pendingResultIsSettledByTheLog_data()
    {
        QTest::addColumn<QString>("logged");  // result written after the note, or empty
        QTest::addColumn<bool>("beforeNote"); // written before the note was taken instead
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("cutAt"); // the record cut off by a crash after this many bytes; -1: whole
        QTest::newRow("recorded: every entry of the text leaves")
            << QStringLiteral("乙") << false << QStringList{"甲", "丙"} << -1;
        QTest::newRow("not recorded") << QString() << false << QStringList{"甲", "乙", "丙", "乙"} << -1;
        QTest::newRow("another result recorded")
            << QStringLiteral("丙") << false << QStringList{"甲", "乙", "丙", "乙"} << -1;
        QTest::newRow("recorded before the note only")
            << QStringLiteral("乙") << true << QStringList{"甲", "乙", "丙", "乙"} << -1;
        // The result line is there, its line end is not: no result, taken back.
        QTest::newRow("cut off in the result line")
            << QStringLiteral("乙") << false << QStringList{"甲", "乙", "丙", "乙"} << 40;
        QTest::newRow("cut off before the empty line")
            << QStringLiteral("乙") << false << QStringList{"甲", "乙", "丙", "乙"} << 43;
    }
    void pendingResultIsSettledByTheLog()
    {
        QFETCH(QString, logged);
        QFETCH(bool, beforeNote);
        QFETCH(QStringList, left);
        QFETCH(int, cutAt);
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("Result.txt"));
        const ResultLog log(logPath);
        QVERIFY(log.AppendResultRecord(QStringLiteral("一等奖"), QStringLiteral("丁")));
        if (beforeNote)
            QVERIFY(log.AppendResultRecord(QStringLiteral("一等奖"), logged));
        EventState::WorkingList list;
        list.entries = QStringList{"甲", "乙", "丙", "乙"};
        list.pending = EventState::PendingResult{logPath, QFileInfo(logPath).size(), QStringLiteral("一等奖"),
                                                 QStringLiteral("乙")};
        if (!logged.isEmpty() && !beforeNote)
            QVERIFY(log.AppendResultRecord(QStringLiteral("一等奖"), logged));
        if (cutAt >= 0)
            QVERIFY(QFile::resize(logPath, list.pending->logSize + cutAt));
        EventState::WorkingList read;
        QString why;
        QVERIFY(EventState::decodeList(EventState::encodeList(list), &read, &why));
        QCOMPARE(read, list); // the note survives a save
        QString takenBack;
        EventState::settlePending(&read, &takenBack);
        QCOMPARE(read.entries, left);
        QVERIFY(!read.pending);
        // A cut record is taken back: the log ends on a whole record again.
        QCOMPARE(QFileInfo(logPath).size(), cutAt >= 0 ? list.pending->logSize : QFileInfo(logPath).size());
        QCOMPARE(takenBack.contains(QStringLiteral("%1 字节").arg(cutAt)), cutAt >= 0);
    }

    // A stop killed while its records were being written (the kernel ends
    // the write at a page boundary): at the next start the log holds whole
    // records of the stop only, the evening keeps exactly those, and the
    // operator is told what was taken back.
    void stopCutOffByACrashIsTakenBack_data()
    {
        QTest::addColumn<int>("perStop");
        QTest::addColumn<int>("nameLength");
        QTest::addColumn<qint64>("cutAt"); // bytes of the stop's write left; -1: all
        QTest::addColumn<int>("kept");     // winners that stand
        QTest::newRow("whole stop") << 3 << 2 << qint64(-1) << 3;
        QTest::newRow("cut in the first record") << 3 << 2 << qint64(30) << 0;
        QTest::newRow("cut in the third record") << 3 << 2 << qint64(-50) << 2;
        QTest::newRow("cut right after the second record") << 3 << 2 << qint64(-2) << 2;
        QTest::newRow("cut at 12 KiB, long names") << 20 << 1000 << qint64(12288) << 5;
        // The largest stop the check before a roll lets through: its
        // records reach past any fixed search window.
        QTest::newRow("whole stop of 5 MB") << 100 << 25000 << qint64(-1) << 100;
        QTest::newRow("stop of 5 MB cut at 1,310,720 bytes") << 100 << 25000 << qint64(1310720) << 26;
    }
    void stopCutOffByACrashIsTakenBack()
    {
        QFETCH(int, perStop);
        QFETCH(int, nameLength);
        QFETCH(qint64, cutAt);
        QFETCH(int, kept);
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("Result.txt"));
        const ResultLog log(logPath);
        QVERIFY(log.AppendResultRecord(QStringLiteral("年会"), QStringLiteral("更早的")));
        Prizes::Evening e;
        QString why;
        QVERIFY(e.setPlan({{QStringLiteral("三等奖"), 100, perStop}}, true, &why));
        QStringList names;
        for (int i = 0; i < perStop; ++i)
            names << QStringLiteral("人%1").arg(i) + QString(nameLength, u'中');
        const Prizes::Evening before = e;
        QVERIFY2(eveningRoomFor(e, perStop, int(names.last().size()), 10, &why), qPrintable(why));
        SeededPositionSource source(7u);
        const Prizes::Evening::Stop stop =
            e.stop(names, source, QDateTime(QDate(2026, 1, 20), QTime(20, 0, 1, 500)));
        QList<ResultLog::Record> records;
        for (int i : stop.awards)
            records.append(
                {e.recordTitle(QStringLiteral("年会"), 0), e.awards.at(i).winner, e.awards.at(i).time});
        const qint64 noted = QFileInfo(logPath).size();
        const PendingRecords note{logPath, noted, records, before};
        const Store store(dir.filePath(QStringLiteral("settings.json")),
                          dir.filePath(QStringLiteral("list.json")));
        QVERIFY(writeFile(store.prizesPath(), encodeEvening(e, &note), &why));
        QVERIFY(log.AppendResultRecords(records));
        // The record ends the stop's records would have, for the expected size.
        qint64 wholeEnd = noted;
        for (int i = 0; i < kept; ++i)
            wholeEnd +=
                ResultLog::encodeRecord(records.at(i).title, records.at(i).result, records.at(i).when).size();
        const qint64 full = QFileInfo(logPath).size();
        if (cutAt != -1)
            QVERIFY(QFile::resize(logPath, cutAt > 0 ? noted + cutAt : full + cutAt));
        const qint64 left = QFileInfo(logPath).size();

        QElapsedTimer clock;
        clock.start();
        const Store::Loaded loaded = store.load();
        QVERIFY(loaded.problems.isEmpty());
        QVERIFY(loaded.eveningPending.has_value());
        QCOMPARE(loaded.eveningPending->before, before);
        Prizes::Evening settled = *loaded.evening;
        QString takenBack;
        settleEvening(&settled, *loaded.eveningPending, &takenBack);
        qInfo("%lld bytes of records, settled in %lld ms", full - noted, clock.elapsed());
        QCOMPARE(settled.awards, e.awards.mid(0, kept));
        if (kept == 0)
            QCOMPARE(settled, before);
        QCOMPARE(QFileInfo(logPath).size(), wholeEnd);
        QCOMPARE(takenBack.isEmpty(), left == wholeEnd);
        if (left != wholeEnd)
            QVERIFY2(takenBack.contains(QStringLiteral("%1 字节").arg(left - wholeEnd)),
                     qPrintable(takenBack));
    }

    // The largest evening the stop lets grow: the note of a stop adds only
    // what undoes it, the file stays within what the start reads, and one
    // more stop is refused before anything is drawn.
    void largestEveningStillFits()
    {
        const int perStop = 100;
        Prizes::Evening e;
        QString why;
        QVERIFY(e.setPlan({{QStringLiteral("三等奖"), Prizes::MaxCount, perStop},
                           {QStringLiteral("二等奖"), Prizes::MaxCount, perStop},
                           {QStringLiteral("一等奖"), Prizes::MaxCount, perStop}},
                          false, &why));
        const QString title = QStringLiteral("二〇二六年会抽奖");
        const QDateTime when(QDate(2026, 1, 20), QTime(20, 0, 0));
        const auto grow = [&](int n) {
            for (int i = 0; i < n; ++i) {
                const int k = int(e.awards.size());
                e.awards.append({k / Prizes::MaxCount,
                                 k % Prizes::MaxCount + 1,
                                 k / perStop + 1,
                                 QStringLiteral("员工%1").arg(k, 6, 10, QLatin1Char('0')),
                                 when,
                                 false,
                                 {},
                                 false});
            }
            e.stops = int((e.awards.size() + perStop - 1) / perStop);
        };
        while (eveningRoomFor(e, perStop, 8, int(title.size()), &why))
            grow(perStop);
        QVERIFY2(why.contains(QStringLiteral("这次没有抽取")), qPrintable(why));
        // The last stop that was allowed, with its note, as a crash leaves it.
        Prizes::Evening before = e;
        before.awards.resize(e.awards.size() - perStop);
        QList<ResultLog::Record> records;
        for (qsizetype i = before.awards.size(); i < e.awards.size(); ++i)
            records.append({title, e.awards.at(i).winner, when});
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("Result.txt"));
        const PendingRecords note{logPath, 0, records, before};
        QElapsedTimer clock;
        clock.start();
        const QByteArray plain = encodeEvening(e);
        const qint64 encodeMs = clock.restart();
        const QByteArray noted = encodeEvening(e, &note);
        QVERIFY2(noted.size() <= MaxPrizesBytes, qPrintable(QString::number(noted.size())));
        QVERIFY2(noted.size() - plain.size() < 64 * 1024, "the note holds only what undoes the stop");
        const Store store(dir.filePath(QStringLiteral("settings.json")),
                          dir.filePath(QStringLiteral("list.json")));
        QVERIFY(writeFile(store.prizesPath(), noted, &why));
        QVERIFY(ResultLog(logPath).AppendResultRecords(records.mid(0, 40)));
        QVERIFY(QFile::resize(logPath, QFileInfo(logPath).size() - 7));
        clock.restart();
        const Store::Loaded loaded = store.load();
        const qint64 loadMs = clock.restart();
        QVERIFY(loaded.problems.isEmpty() && loaded.eveningPending);
        Prizes::Evening settled = *loaded.evening;
        settleEvening(&settled, *loaded.eveningPending);
        const qint64 settleMs = clock.elapsed();
        QCOMPARE(settled.awards.size(), before.awards.size() + 39);
        QCOMPARE(loaded.eveningPending->before, before);
        qInfo("largest evening: %lld awards, file %lld bytes (note %lld more), encoded in %lld ms, "
              "read in %lld ms, settled in %lld ms",
              qint64(e.awards.size()), qint64(noted.size()), qint64(noted.size() - plain.size()), encodeMs,
              loadMs, settleMs);
        // A void's note is as small, and undoes the void.
        Prizes::Evening voided = settled;
        voided.awards[3].voided = true;
        voided.awards[3].voidTime = when;
        const PendingRecords voidNote{logPath, 0, {records.first()}, settled};
        std::optional<PendingRecords> back;
        Prizes::Evening read;
        QVERIFY(decodeEvening(encodeEvening(voided, &voidNote), &read, &why, &back));
        QCOMPARE(back->before, settled);
        // Names as long as an entry may be: refused long before the file could outgrow the start.
        QVERIFY(!eveningRoomFor(Prizes::Evening(), perStop, MaxEntryLength, 40, &why));
        QVERIFY(eveningRoomFor(Prizes::Evening(), 10, MaxEntryLength, 40, &why));
    }

    // Times are read as the same moment in every time zone; a time saved
    // by an earlier version as local time that the zone skips (the hour
    // the clocks go forward) reads too, rather than making the file damaged.
    // How long a roll shows before a stop: kept, read as 2 from older files, refused when out of range.
    void minRollSecondsRead_data()
    {
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<int>("read"); // -1: refused
        QTest::newRow("none: stops at once") << QByteArray("\"minRollSeconds\": 0") << 0;
        QTest::newRow("seven") << QByteArray("\"minRollSeconds\": 7") << 7;
        QTest::newRow("older file without it") << QByteArray() << Prizes::DefaultMinRollSeconds;
        QTest::newRow("over a minute") << QByteArray("\"minRollSeconds\": 61") << -1;
        QTest::newRow("negative") << QByteArray("\"minRollSeconds\": -1") << -1;
        QTest::newRow("as text") << QByteArray("\"minRollSeconds\": \"2\"") << -1;
    }
    void minRollSecondsRead()
    {
        QFETCH(QByteArray, written);
        QFETCH(int, read);
        Prizes::Evening e;
        QString why;
        QVERIFY(e.setPlan({{QStringLiteral("三等奖"), 3, 1}}, true, &why));
        e.minRollSeconds = 5;
        QByteArray bytes = encodeEvening(e);
        const QByteArray key("\"minRollSeconds\": 5");
        const qsizetype at = bytes.indexOf(key);
        QVERIFY(at > 0);
        if (written.isEmpty()) // the key and the separator before it go
            bytes.remove(bytes.lastIndexOf(',', at), at + key.size() - bytes.lastIndexOf(',', at));
        else
            bytes.replace(at, key.size(), written);
        Prizes::Evening got;
        QCOMPARE(decodeEvening(bytes, &got, &why), read >= 0);
        if (read >= 0)
            QCOMPARE(got.minRollSeconds, read);
    }

    void timesReadInEveryZone()
    {
        const QByteArray zone = qgetenv("TZ");
        const auto setZone = [](const char *tz) {
            qputenv("TZ", tz);
            tzset();
        };
        Prizes::Evening e;
        QString why;
        QVERIFY(e.setPlan({{QStringLiteral("三等奖"), 3, 1}}, true, &why));
        setZone("Asia/Shanghai");
        const qint64 when = 1774747800123; // 2026-03-29 01:30:00.123 UTC
        e.awards.append(
            {0, 1, 1, QStringLiteral("甲"), QDateTime::fromMSecsSinceEpoch(when), false, {}, false});
        e.stops = 1;
        const QByteArray bytes = encodeEvening(e);
        setZone("Europe/Berlin");
        const bool gapHere = !QDateTime(QDate(2026, 3, 29), QTime(2, 30)).isValid() ||
                             QDateTime(QDate(2026, 3, 29), QTime(2, 30)).time() != QTime(2, 30);
        Prizes::Evening read;
        QVERIFY2(decodeEvening(bytes, &read, &why), qPrintable(why));
        QCOMPARE(read.awards.first().time.toMSecsSinceEpoch(), when);
        // As an earlier version wrote it: local, without an offset, in Berlin's skipped hour.
        QByteArray old = bytes;
        const qsizetype at = old.indexOf("\"time\": \"") + 9;
        old.replace(at, old.indexOf('"', at) - at, "2026-03-29T02:30:00.000");
        const bool readOld = decodeEvening(old, &read, &why);
        if (zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
        if (!gapHere)
            QSKIP("this system does not know Europe/Berlin's change to summer time");
        QVERIFY2(readOld, qPrintable(why));
        QVERIFY(read.awards.first().time.isValid());
    }
};

QTEST_GUILESS_MAIN(TestEventState)
#include "tst_eventstate.moc"
