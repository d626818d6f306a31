#include "ResultLog.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

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
        QStringDecoder dec("GB18030");
        QVERIFY(QString(dec(bytes)).contains(rare));
    }

    void brokenTextStillWritesARecord()
    {
        const QString broken = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
        const QByteArray bytes = ResultLog::encodeRecord(broken, QStringLiteral("r"), at(1, 2, 3));
        QVERIFY(!bytes.isEmpty());
        QStringDecoder dec("GB18030");
        QVERIFY(QString(dec(bytes)).startsWith(QStringLiteral("标题: a\uFFFDb\r\n")));
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
        QStringDecoder dec("GB18030");
        const QString text = dec(readAll(path));
        QCOMPARE(text, QStringLiteral("标题: 一\r\n时间: 2026-12-08 10:00:00\r\n结果: 甲\r\n\r\n"
                                      "标题: 二\r\n时间: 2026-12-08 10:00:01\r\n结果: \r\n\r\n"));
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
            QVERIFY2(error.contains(QStringLiteral("write")), qPrintable(error));
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
