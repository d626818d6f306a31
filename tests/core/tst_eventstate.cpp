#include "EventState.h"
#include "ResultLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
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
        QTest::newRow("recorded: every entry of the text leaves")
            << QStringLiteral("乙") << false << QStringList{"甲", "丙"};
        QTest::newRow("not recorded") << QString() << false << QStringList{"甲", "乙", "丙", "乙"};
        QTest::newRow("another result recorded")
            << QStringLiteral("丙") << false << QStringList{"甲", "乙", "丙", "乙"};
        QTest::newRow("recorded before the note only")
            << QStringLiteral("乙") << true << QStringList{"甲", "乙", "丙", "乙"};
    }
    void pendingResultIsSettledByTheLog()
    {
        QFETCH(QString, logged);
        QFETCH(bool, beforeNote);
        QFETCH(QStringList, left);
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
        EventState::WorkingList read;
        QString why;
        QVERIFY(EventState::decodeList(EventState::encodeList(list), &read, &why));
        QCOMPARE(read, list); // the note survives a save
        EventState::settlePending(&read);
        QCOMPARE(read.entries, left);
        QVERIFY(!read.pending);
    }
};

QTEST_GUILESS_MAIN(TestEventState)
#include "tst_eventstate.moc"
