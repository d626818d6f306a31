#include "SystemError.h"
#include "TextRules.h"
#include "UserFile.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

// Opening what the organiser picked: only regular files, never a wait on a
// pipe; and supplied text kept on one line.
class TestUserFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensOnlyRegularFiles_data();
    void opensOnlyRegularFiles();
    void controlCharactersBecomeBlanks_data();
    void controlCharactersBecomeBlanks();
    void errnoTextsAreChinese();
    void windowsCodesSayTheSame();
};

void TestUserFile::opensOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("reason");
    const QString pipe = QStringLiteral("是一个管道，不是普通文件");
    const QString device = QStringLiteral("是一个设备，不是普通文件");
    QTest::newRow("regular file") << "file" << true << "";
    QTest::newRow("folder") << "dir" << false << "是一个文件夹，不是文件";
    QTest::newRow("missing") << "missing" << false << "文件不存在";
    QTest::newRow("named pipe") << "fifo" << false << pipe;
#ifdef Q_OS_WIN
    // Names that are a device in every folder, and the device namespace.
    QTest::newRow("NUL") << "name:NUL" << false << device;
    QTest::newRow("con") << "name:con" << false << device;
    QTest::newRow("COM1:") << "name:COM1:" << false << device;
    QTest::newRow("nul.txt in a folder") << "in:nul.txt" << false << device;
    QTest::newRow("lpt1 .txt in a folder") << "in:lpt1 .txt" << false << device;
    QTest::newRow("\\\\.\\COM1") << "name:\\\\.\\COM1" << false << device;
    QTest::newRow("pipe without a server") << "name:\\\\.\\pipe\\xingsuo-none" << false << pipe;
    QTest::newRow("console.txt is a file") << "in:console.txt" << true << "";
#else
    QTest::newRow("link to a regular file") << "link" << true << "";
    QTest::newRow("dangling link") << "dangling" << false << "文件不存在";
    QTest::newRow("character device") << "device" << false << device;
#endif
}

void TestUserFile::opensOnlyRegularFiles()
{
    QFETCH(QString, kind);
    QFETCH(bool, opens);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("target.txt"));
    QString path = dir.filePath(QStringLiteral("picked"));
    QFile plain(target);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    QCOMPARE(plain.write("abc"), 3);
    plain.close();
    if (kind.startsWith(u"in:")) {
        path = dir.filePath(kind.mid(3));
        if (opens)
            QVERIFY(QFile::copy(target, path));
    } else if (kind.startsWith(u"name:")) {
        path = kind.mid(5);
    } else if (kind == u"file") {
        QVERIFY(QFile::copy(target, path));
    } else if (kind == u"dir") {
        QVERIFY(QDir().mkdir(path));
    }
#ifdef Q_OS_WIN
    // A pipe with a server waiting: opening it would connect at once.
    HANDLE server = INVALID_HANDLE_VALUE;
    if (kind == u"fifo") {
        path = QStringLiteral("\\\\.\\pipe\\xingsuo-userfile-%1").arg(GetCurrentProcessId());
        server = CreateNamedPipeW(reinterpret_cast<const wchar_t *>(path.utf16()), PIPE_ACCESS_DUPLEX,
                                  PIPE_TYPE_BYTE, 1, 64, 64, 0, nullptr);
        QVERIFY(server != INVALID_HANDLE_VALUE);
    }
    const auto closeServer = qScopeGuard([server] {
        if (server != INVALID_HANDLE_VALUE)
            CloseHandle(server);
    });
#else
    const QByteArray p = QFile::encodeName(path);
    if (kind == u"link")
        QVERIFY(QFile::link(target, path));
    else if (kind == u"fifo")
        QCOMPARE(::mkfifo(p.constData(), 0600), 0); // no writer: a blocking open would hang here
    else if (kind == u"dangling")
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
    else if (kind == u"device")
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
#endif

    QFile file;
    QString error;
    QCOMPARE(UserFile::openForReading(file, path, &error), opens);
    QCOMPARE(error, reason);
    if (opens)
        QCOMPARE(file.readAll(), QByteArray("abc"));
    else
        QVERIFY(!file.isOpen());
}

void TestUserFile::controlCharactersBecomeBlanks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CR LF") << QStringLiteral("年会抽奖\r\n") << QStringLiteral("年会抽奖  ");
    QTest::newRow("LF inside") << QStringLiteral("第一行\n时间") << QStringLiteral("第一行 时间");
    QTest::newRow("tab and NUL") << QStringLiteral("a\tb") + QChar(0) << QStringLiteral("a b ");
    QTest::newRow("NEL") << QStringLiteral("a") + QChar(0x85) + QStringLiteral("b") << QStringLiteral("a b");
    QTest::newRow("line and paragraph separators")
        << QStringLiteral("a") + QChar(0x2028) + QChar(0x2029) << QStringLiteral("a  ");
    QTest::newRow("DEL and C1") << QStringLiteral("x") + QChar(0x7F) + QChar(0x9F) << QStringLiteral("x  ");
    QTest::newRow("everything else kept")
        << QStringLiteral("张三 <b>&amp; ·—€") << QStringLiteral("张三 <b>&amp; ·—€");
}

void TestUserFile::controlCharactersBecomeBlanks()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(blankControlCharacters(text), expected);
}

void TestUserFile::errnoTextsAreChinese()
{
    // Every sentence the operator may see holds Chinese and no English word.
    for (int err = 0; err < 134; ++err) {
        for (auto access : {SystemError::Access::Read, SystemError::Access::Write}) {
            const QString text = SystemError::describe(err, access);
            QVERIFY2(!text.isEmpty(), qPrintable(QString::number(err)));
            bool hasChinese = false;
            for (QChar c : text) {
                QVERIFY2(!c.isLetter() || c.unicode() >= 0x3000, qPrintable(text));
                hasChinese = hasChinese || c.unicode() >= 0x4E00;
            }
            QVERIFY(hasChinese);
        }
    }
    QCOMPARE(SystemError::describe(ENOSPC, SystemError::Access::Write), QStringLiteral("磁盘已满"));
    QCOMPARE(SystemError::describe(EACCES, SystemError::Access::Write), QStringLiteral("没有写入权限"));
}

// The Windows build tells GetLastError() codes in the same sentences.
void TestUserFile::windowsCodesSayTheSame()
{
    using SystemError::Access;
    const struct
    {
        unsigned long code;
        int err;
        Access access;
    } same[] = {{2, ENOENT, Access::Read},        {3, ENOTDIR, Access::Read},  {5, EACCES, Access::Write},
                {5, EACCES, Access::Read},        {19, EROFS, Access::Write},  {32, EBUSY, Access::Write},
                {33, EBUSY, Access::Write},       {39, ENOSPC, Access::Write}, {112, ENOSPC, Access::Write},
                {206, ENAMETOOLONG, Access::Read}};
    for (const auto &row : same)
        QCOMPARE(SystemError::describeWindows(row.code, row.access),
                 SystemError::describe(row.err, row.access));
    for (unsigned long code = 0; code < 2000; ++code) {
        const QString text = SystemError::describeWindows(code, Access::Write);
        for (QChar c : text)
            QVERIFY2(!c.isLetter() || c.unicode() >= 0x3000, qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(TestUserFile)
#include "tst_userfile.moc"
