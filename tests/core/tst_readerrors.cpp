#include "ListFile.h"
#include "SystemError.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

// Why a list file could not be read, and Qt's file errors, told in Chinese
// with the real cause: never the system's English text.
class TestReadErrors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listFileReasons_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing"
                                 << "文件不存在";
        QTest::newRow("dangling link") << "dangling"
                                       << "文件不存在";
        QTest::newRow("folder") << "dir"
                                << "是一个文件夹，不是文件";
        QTest::newRow("named pipe") << "fifo"
                                    << "是一个管道，不是普通文件";
        QTest::newRow("device") << "device"
                                << "是一个设备，不是普通文件";
        QTest::newRow("empty") << "empty"
                               << "文件是空的";
        QTest::newRow("grew past the limit") << "large"
                                             << "文件在读入时超过了 25000 字节";
        QTest::newRow("no read permission") << "unreadable"
                                            << "没有读取权限";
    }
    void listFileReasons()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("list.txt"));
        auto write = [&](const QByteArray &bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(bytes), bytes.size());
        };
        if (kind == u"dangling")
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.txt")), path));
        else if (kind == u"dir")
            path = dir.path();
        else if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"device")
            path = QStringLiteral("/dev/null");
        else if (kind == u"empty")
            write(QByteArray());
        else if (kind == u"large")
            write(QByteArray(25001, 'a'));
        else if (kind == u"unreadable") {
            write("a\n");
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            QFile probe(path);
            if (probe.open(QIODevice::ReadOnly))
                QSKIP("permissions do not stop this user (root)");
        }
        const ListFile::ReadResult r = ListFile::read(path);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, reason);
        QVERIFY(r.entries.isEmpty());
    }

    void qtFileErrors_data()
    {
        using SystemError::Access;
        QTest::addColumn<QFileDevice::FileError>("error");
        QTest::addColumn<int>("errnoValue");
        QTest::addColumn<Access>("access");
        QTest::addColumn<QString>("sentence");
        // The errno a failure left is the real cause and wins.
        QTest::newRow("full disk on write")
            << QFileDevice::WriteError << ENOSPC << Access::Write << "磁盘已满";
        QTest::newRow("no write permission")
            << QFileDevice::OpenError << EACCES << Access::Write << "没有写入权限";
        QTest::newRow("disk gone on read")
            << QFileDevice::ReadError << EIO << Access::Read << "读写磁盘时出错，磁盘可能已损坏或已拔出";
        // Without one, the kind of failure.
        QTest::newRow("read, no errno") << QFileDevice::ReadError << 0 << Access::Read << "读取文件时出错";
        QTest::newRow("write, no errno") << QFileDevice::WriteError << 0 << Access::Write << "写入文件时出错";
        QTest::newRow("open for writing, no errno")
            << QFileDevice::OpenError << 0 << Access::Write << "无法打开文件写入";
        QTest::newRow("unspecified") << QFileDevice::UnspecifiedError << 0 << Access::Read << "原因不明";
        // No failure: nothing to say, whatever errno holds from before.
        QTest::newRow("no error") << QFileDevice::NoError << ENOENT << Access::Read << "";
    }
    void qtFileErrors()
    {
        QFETCH(QFileDevice::FileError, error);
        QFETCH(int, errnoValue);
        QFETCH(SystemError::Access, access);
        QFETCH(QString, sentence);
        QCOMPARE(SystemError::describe(error, errnoValue, access), sentence);
    }

    // Every kind of Qt file failure has a Chinese sentence of its own words.
    void noEnglishForAnyQtFileError()
    {
        const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
        for (int e = QFileDevice::ReadError; e <= QFileDevice::CopyError; ++e) {
            const QString text = SystemError::describe(QFileDevice::FileError(e), 0);
            QVERIFY2(!text.isEmpty() && !text.contains(latin), qPrintable(QString::number(e) + u' ' + text));
        }
    }
};

QTEST_GUILESS_MAIN(TestReadErrors)
#include "tst_readerrors.moc"
