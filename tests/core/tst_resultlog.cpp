#include "Gb18030.h"
#include "ResultLog.h"
#include "ResultLogReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class TestResultLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QDateTime at(int h, int m, int s) { return QDateTime(QDate(2026, 12, 8), QTime(h, m, s)); }

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void dateTimeText()
    {
        QCOMPARE(ResultLog::formatDateTime(at(20, 5, 9)), QStringLiteral("2026-12-08 20:05:09"));
        QCOMPARE(ResultLog::formatDateTime(at(0, 0, 0)), QStringLiteral("2026-12-08"));
        QCOMPARE(ResultLog::formatDateTime(at(0, 0, 1)), QStringLiteral("2026-12-08 00:00:01"));
        // Anywhere in the midnight second, not only at its first millisecond.
        const QDateTime late(QDate(2026, 12, 8), QTime(0, 0, 0, 999));
        QCOMPARE(ResultLog::formatDateTime(late), QStringLiteral("2026-12-08"));
    }

    void recordBytesAreGbkWithCrLf()
    {
        const QByteArray bytes =
            ResultLog::encodeRecord(QStringLiteral("年会"), QStringLiteral("张三"), at(9, 0, 0));
        // 标题 = B1EA CCE2, 年会 = C4EA BBE1, 张三 = D5C5 C8FD in GBK.
        QVERIFY(bytes.startsWith("\xB1\xEA\xCC\xE2: \xC4\xEA\xBB\xE1\r\n"));
        QVERIFY(bytes.contains(": 2026-12-08 09:00:00\r\n"));
        QVERIFY(bytes.endsWith(": \xD5\xC5\xC8\xFD\r\n\r\n"));
        QCOMPARE(bytes.count("\r\n"), 4);
        QVERIFY(!bytes.contains("\n\n"));
    }

    void textOutsideGbkSurvives()
    {
        const QString rare = QStringLiteral("𠀀😀€");
        const QByteArray bytes = ResultLog::encodeRecord(QStringLiteral("t"), rare, at(1, 2, 3));
        QVERIFY(!bytes.contains('?'));
        QVERIFY(QString(Gb18030::decode(bytes)).contains(rare));
    }

    void brokenTextStillWritesARecord()
    {
        const QString broken = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
        const QByteArray bytes = ResultLog::encodeRecord(broken, QStringLiteral("r"), at(1, 2, 3));
        QVERIFY(!bytes.isEmpty());
        QVERIFY(QString(Gb18030::decode(bytes)).startsWith(QStringLiteral("标题: a\uFFFDb\r\n")));
    }

    void appendsRecordsInOrder()
    {
        const QString path = m_dir.filePath(QStringLiteral("append.txt"));
        int second = 0;
        ResultLog log(path, [&] { return at(10, 0, second++); });
        QVERIFY(!QFile::exists(path));
        QString error;
        QVERIFY(log.AppendResultRecord(QStringLiteral("一"), QStringLiteral("甲"), &error));
        QVERIFY(log.AppendResultRecord(QStringLiteral("二"), QString(), &error));
        // A stop's several records: one time, in the order given.
        QVERIFY(log.AppendResultRecords(
            {{QStringLiteral("三"), QStringLiteral("丙")}, {QStringLiteral("三"), QStringLiteral("丁")}},
            &error));
        // Records that bring their time (the award's) keep it, whatever the clock says now.
        QVERIFY(log.AppendResultRecords({{QStringLiteral("四"), QStringLiteral("戊"), at(9, 59, 59)},
                                         {QStringLiteral("四"), QStringLiteral("己"), at(9, 59, 59)}},
                                        &error));
        const QString text = Gb18030::decode(readAll(path));
        QCOMPARE(text, QStringLiteral("标题: 一\r\n时间: 2026-12-08 10:00:00\r\n结果: 甲\r\n\r\n"
                                      "标题: 二\r\n时间: 2026-12-08 10:00:01\r\n结果: \r\n\r\n"
                                      "标题: 三\r\n时间: 2026-12-08 10:00:02\r\n结果: 丙\r\n\r\n"
                                      "标题: 三\r\n时间: 2026-12-08 10:00:02\r\n结果: 丁\r\n\r\n"
                                      "标题: 四\r\n时间: 2026-12-08 09:59:59\r\n结果: 戊\r\n\r\n"
                                      "标题: 四\r\n时间: 2026-12-08 09:59:59\r\n结果: 己\r\n\r\n"));
    }

    void cutOffRecordDoesNotSwallowTheNext()
    {
        const QString path = m_dir.filePath(QStringLiteral("cut.txt"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("\xB1\xEA\xCC\xE2: x\r\nhalf a li");
        }
        ResultLog log(path, [] { return at(1, 0, 0); });
        QVERIFY(log.AppendResultRecord(QStringLiteral("t"), QStringLiteral("r")));
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.contains("half a li\r\n\xB1\xEA\xCC\xE2: t\r\n"));
    }

    void failuresAreReported_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("missing folder") << QStringLiteral("missing");
        QTest::newRow("log is a folder") << QStringLiteral("folder");
        QTest::newRow("disk full") << QStringLiteral("full");
    }
    void failuresAreReported()
    {
        QFETCH(QString, which);
        QString path;
        QByteArray before;
        if (which == QLatin1String("missing")) {
            path = m_dir.filePath(QStringLiteral("nowhere/Result.txt"));
        } else if (which == QLatin1String("folder")) {
            path = m_dir.filePath(QStringLiteral("afolder"));
            QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("afolder")));
        } else {
            if (!QFile::exists(QStringLiteral("/dev/full")))
                QSKIP("no /dev/full here");
            path = m_dir.filePath(QStringLiteral("full.txt"));
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
        }
        ResultLog log(path, [] { return at(1, 0, 0); });
        QString error;
        QVERIFY(!log.AppendResultRecord(QStringLiteral("t"), QStringLiteral("r"), &error));
        QVERIFY2(!error.isEmpty(), "the reason is given");
        if (which == QLatin1String("full"))
            QCOMPARE(error, QStringLiteral("是一个设备，不是普通文件"));
        if (which == QLatin1String("folder"))
            QCOMPARE(error, QStringLiteral("是一个文件夹，不是文件"));
    }

    // A title or result holding line breaks or other control characters
    // still makes one four-line record; everything else is kept.
    void recordIsAlwaysFourLines_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("titleShown");
        QTest::addColumn<QString>("resultShown");
        QTest::newRow("pasted CR LF") << QStringLiteral("年会抽奖\r\n") << QStringLiteral("张三")
                                      << QStringLiteral("年会抽奖  ") << QStringLiteral("张三");
        QTest::newRow("forged record")
            << QStringLiteral("第一行\n时间: 1999-01-01\n结果: 伪造的结果") << QStringLiteral("李四")
            << QStringLiteral("第一行 时间: 1999-01-01 结果: 伪造的结果") << QStringLiteral("李四");
        QTest::newRow("lone CR in result") << QStringLiteral("t") << QStringLiteral("王\r五")
                                           << QStringLiteral("t") << QStringLiteral("王 五");
        QTest::newRow("NEL, LS, PS") << QStringLiteral("a") + QChar(0x85) + QStringLiteral("b")
                                     << QChar(0x2028) + QStringLiteral("c") + QChar(0x2029)
                                     << QStringLiteral("a b") << QStringLiteral(" c ");
        QTest::newRow("tab, NUL, form feed")
            << QStringLiteral("x\ty") << QStringLiteral("1") + QChar(0) + "\f2" << QStringLiteral("x y")
            << QStringLiteral("1  2");
    }
    void recordIsAlwaysFourLines()
    {
        QFETCH(QString, title);
        QFETCH(QString, result);
        QFETCH(QString, titleShown);
        QFETCH(QString, resultShown);
        const QString path = m_dir.filePath(QStringLiteral("four-%1.txt").arg(QTest::currentDataTag()));
        ResultLog log(path, [] { return at(9, 30, 0); });
        QVERIFY(log.AppendResultRecord(title, result));
        QVERIFY(log.AppendResultRecord(title, result));
        const QByteArray bytes = readAll(path);
        // Eight CR LF lines, and no line end of any other kind.
        QCOMPARE(bytes.count("\r\n"), 8);
        QCOMPARE(bytes.count('\n'), 8);
        QCOMPARE(bytes.count('\r'), 8);
        const QStringList lines = QString(Gb18030::decode(bytes)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.at(0), QStringLiteral("标题: ") + titleShown);
        QCOMPARE(lines.at(1), QStringLiteral("时间: 2026-12-08 09:30:00"));
        QCOMPARE(lines.at(2), QStringLiteral("结果: ") + resultShown);
        QCOMPARE(lines.at(4), lines.at(0));
        QCOMPARE(resultsInLog(path), QStringList({resultShown, resultShown}));
    }

    // Whatever Result.txt is, the append answers at once and never writes
    // anything but a regular file; the reason is a Chinese sentence.
    void onlyRegularFilesAreWritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "fifo"
                                    << "是一个管道，不是普通文件";
        QTest::newRow("link that leads nowhere") << "dangling"
                                                 << "它是一个链接，指向的文件不存在";
        QTest::newRow("folder") << "dir"
                                << "是一个文件夹，不是文件";
        QTest::newRow("missing folder") << "nofolder"
                                        << "文件不存在";
    }
    void onlyRegularFilesAreWritten()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("Result.txt"));
        const QByteArray p = QFile::encodeName(path);
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(p.constData(), 0600), 0);
        else if (kind == u"dangling")
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone/Result.txt")), path));
        else if (kind == u"dir")
            QVERIFY(QDir().mkdir(path));
        else
            path = dir.filePath(QStringLiteral("gone/Result.txt"));
        const QString longTitle(40000, QChar(u'题')); // more than a pipe holds
        ResultLog log(path, [] { return at(1, 0, 0); });
        QString error;
        QVERIFY(!log.AppendResultRecord(longTitle, QStringLiteral("r"), &error));
        QCOMPARE(error, reason);
        QString checkError;
        QVERIFY(!ResultLog::checkAppendable(path, &checkError));
        QCOMPARE(checkError, reason);
    }

    // A log this program creates and then cannot write into is removed
    // again; a log that was there keeps every byte.
    void failedFirstWriteLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("fresh.txt"));
        const QString kept = dir.filePath(QStringLiteral("kept.txt"));
        ResultLog keptLog(kept, [] { return at(1, 0, 0); });
        QVERIFY(keptLog.AppendResultRecord(QStringLiteral("t"), QStringLiteral("r")));
        const QByteArray before = readAll(kept);

        struct rlimit old;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit tight = old;
        tight.rlim_cur = 0; // every write past byte 0 fails, as on a full disk
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tight), 0);
        ResultLog freshLog(fresh, [] { return at(1, 0, 0); });
        QString freshError, keptError;
        const bool freshOk =
            freshLog.AppendResultRecord(QStringLiteral("t"), QStringLiteral("r"), &freshError);
        const bool keptOk = keptLog.AppendResultRecord(QStringLiteral("t"), QStringLiteral("r"), &keptError);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);

        QVERIFY(!freshOk);
        QCOMPARE(freshError, QStringLiteral("文件超过了系统允许的大小"));
        QVERIFY2(!QFile::exists(fresh), "an empty log the program created is taken away");
        QVERIFY(!keptOk);
        QCOMPARE(readAll(kept), before);
    }

    // The check at confirmation leaves nothing behind and keeps an existing log.
    void checkLeavesTheLogAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Result.txt"));
        QString error;
        QVERIFY2(ResultLog::checkAppendable(path, &error), qPrintable(error));
        QVERIFY(!QFile::exists(path));
        ResultLog log(path, [] { return at(1, 0, 0); });
        QVERIFY(log.AppendResultRecord(QStringLiteral("t"), QStringLiteral("r")));
        const QByteArray before = readAll(path);
        QVERIFY(ResultLog::checkAppendable(path, &error));
        QCOMPARE(readAll(path), before);
    }

    // Another copy holding the log's lock: a record waits for it, and one
    // that cannot get it in time is reported, never written past the lock.
    void waitsForAnotherWriter()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Result.txt"));
        ResultLog log(path, [] { return at(1, 0, 0); });
        QVERIFY(log.AppendResultRecord(QStringLiteral("t"), QStringLiteral("first")));
        const int other = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND);
        QVERIFY(other >= 0);
        QCOMPARE(::flock(other, LOCK_EX), 0);
        // A short hold: released while the record waits.
        std::thread release([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (::write(other, "\xD6\xD0\r\n", 4) != 4) // the other writer's last line
                std::abort();
            ::flock(other, LOCK_UN);
        });
        QString error;
        const bool ok = log.AppendResultRecord(QStringLiteral("t"), QStringLiteral("second"), &error);
        release.join();
        QVERIFY2(ok, qPrintable(error));
        QVERIFY(readAll(path).contains("\xD6\xD0\r\n\xB1\xEA\xCC\xE2: t\r\n"));
        // A hold longer than the wait.
        QCOMPARE(::flock(other, LOCK_EX), 0);
        const QByteArray before = readAll(path);
        QVERIFY(!log.AppendResultRecord(QStringLiteral("t"), QStringLiteral("third"), &error));
        QCOMPARE(error, QStringLiteral("结果文件正被另一个程序占用，3 秒内没有等到"));
        QCOMPARE(readAll(path), before);
        ::close(other);
        QCOMPARE(resultsInLog(path), QStringList({QStringLiteral("first"), QStringLiteral("second")}));
    }

    void relativeNameFollowsTheCurrentFolder()
    {
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        ResultLog log; // "Result.txt"
        const bool ok = log.AppendResultRecord(QStringLiteral("t"), QStringLiteral("r"));
        QDir::setCurrent(old);
        QVERIFY(ok);
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("Result.txt"))));
    }
};

QTEST_GUILESS_MAIN(TestResultLog)
#include "tst_resultlog.moc"
