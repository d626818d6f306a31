#include "PictureError.h"
#include "PictureLoader.h"
#include "UiTestSupport.h"

#include <QBuffer>
#include <QPushButton>
#include <QRegularExpression>
#include <QtEndian>

#include <sys/stat.h>

namespace {

QByteArray bmpBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// A small JPEG whose frame header announces width x height pixels.
QByteArray jpegAnnouncing(quint16 width, quint16 height)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    const qsizetype sof = bytes.indexOf(QByteArrayLiteral("\xFF\xC0"));
    if (sof < 0)
        qFatal("no baseline frame header");
    qToBigEndian(height, bytes.data() + sof + 5);
    qToBigEndian(width, bytes.data() + sof + 7);
    return bytes;
}

} // namespace

// A background picture or a list file that cannot be read is reported with
// its real cause in Chinese, never with Qt's or the system's English text.
class TestErrorMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reasons_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a picture loads") << "good"
                                         << "";
        QTest::newRow("missing") << "missing"
                                 << "文件不存在";
        QTest::newRow("folder") << "dir"
                                << "是一个文件夹，不是文件";
        QTest::newRow("named pipe") << "fifo"
                                    << "是一个管道，不是普通文件";
        QTest::newRow("text named .jpg") << "text"
                                         << "图片已损坏或格式不受支持，请选 JPG 或 BMP 图片";
        QTest::newRow("empty file") << "empty"
                                    << "图片已损坏或格式不受支持，请选 JPG 或 BMP 图片";
        QTest::newRow("over the size limit") << "huge"
                                             << "图片太大（20000×20000 像素），请换一张小一些的图片";
    }
    void reasons()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("picture.jpg"));
        auto write = [&](const QByteArray &bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(bytes), bytes.size());
        };
        if (kind == u"good")
            write(bmpBytes(8, 8));
        else if (kind == u"dir")
            path = dir.path();
        else if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"text")
            write("Alice\r\nBob\r\n");
        else if (kind == u"empty")
            write(QByteArray());
        else if (kind == u"huge")
            write(jpegAnnouncing(20000, 20000));
        PictureLoader pictures;
        QImage image;
        QString error;
        const PictureLoader::Outcome outcome = pictures.load(path, &image, &error);
        QCOMPARE(outcome,
                 reason.isEmpty() ? PictureLoader::Outcome::Loaded : PictureLoader::Outcome::Refused);
        QCOMPARE(error, reason);
        QCOMPARE(image.isNull(), !reason.isEmpty());
    }

    void everyReaderErrorInChinese()
    {
        const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
        for (auto e : {QImageReader::UnknownError, QImageReader::FileNotFoundError, QImageReader::DeviceError,
                       QImageReader::UnsupportedFormatError, QImageReader::InvalidDataError}) {
            const QString text = PictureError::describe(e, QSize());
            const QString words = QString(text).remove(QStringLiteral("JPG")).remove(QStringLiteral("BMP"));
            QVERIFY2(!text.isEmpty() && !words.contains(latin), qPrintable(text));
        }
        // A size under the limit is not blamed; no limit, no size blamed.
        QCOMPARE(PictureError::describe(QImageReader::InvalidDataError, QSize(8192, 8192), 256),
                 QStringLiteral("图片已损坏或格式不受支持，请换一张图片"));
        QCOMPARE(PictureError::describe(QImageReader::InvalidDataError, QSize(8193, 8192), 256),
                 QStringLiteral("图片太大（8193×8192 像素），请换一张小一些的图片"));
        QCOMPARE(PictureError::describe(QImageReader::InvalidDataError, QSize(90000, 90000), 0),
                 QStringLiteral("图片已损坏或格式不受支持，请换一张图片"));
    }

    // The settings window's "浏 览" shows the reason to the organiser.
    void settingsWindowShowsTheReason()
    {
        ProgramFixture f;
        const QString path = f.writeFile(QStringLiteral("大图.jpg"), jpegAnnouncing(20000, 20000));
        Dialogs::setNextFileName(path);
        click(f.shell->setting()->Command1);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QCOMPARE(
            f.lastMessage(),
            QStringLiteral("无法载入背景图片 大图.jpg：图片太大（20000×20000 像素），请换一张小一些的图片"));
    }

    // The list window's "读 入" names what the chosen path is instead of a file.
    void listWindowShowsTheReason_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("named pipe") << "fifo"
                                    << "无法读入文件 名单.txt：是一个管道，不是普通文件";
        QTest::newRow("folder") << "dir"
                                << "无法读入文件 名单.txt：是一个文件夹，不是文件";
        QTest::newRow("dangling link") << "dangling"
                                       << "无法读入文件 名单.txt：文件不存在";
    }
    void listWindowShowsTheReason()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        ProgramFixture f;
        const QString path = f.path(QStringLiteral("名单.txt"));
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"dir")
            QVERIFY(QDir().mkdir(path));
        else
            QVERIFY(QFile::link(f.path(QStringLiteral("gone.txt")), path));
        Edit *edit = f.shell->edit();
        Dialogs::setNextFileName(path);
        click(edit->Command1);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QCOMPARE(f.lastMessage(), message);
        QCOMPARE(edit->List1Model()->ListCount(), 0);
        QVERIFY(!edit->Command2->isEnabled());
    }
};

QTEST_MAIN(TestErrorMessages)
#include "tst_errormessages.moc"
