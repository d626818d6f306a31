// Files an organiser might pick, by mistake or on purpose, that could stop
// the program's only thread: a named pipe as the background picture, a
// progressive JPEG whose scans are repeated thousands of times, a result log
// that is a pipe, a folder, a device, on a read-only or a full disk. Each
// case drives the real windows and measures the longest time the event loop
// went without running a 10 ms timer.
#include "InputBlocker.h"
#include "StateKeeper.h"
#include "UiTestSupport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 GapLimitMs = 250;

// The longest stretch in which a 10 ms timer did not run.
class GapMeter
{
public:
    GapMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_clock.start();
        m_timer.start();
    }
    // Counts the time up to now too, so a wait that ends the measurement is seen.
    qint64 worst()
    {
        tick();
        return m_worst;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.elapsed();
        m_worst = qMax(m_worst, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

// Samples the cursor while a picture is being waited for.
class CursorWatch
{
public:
    CursorWatch()
    {
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_sawBusy = m_sawBusy || BusyCursor::shown(); });
        m_timer.start(20);
    }
    bool sawBusy() const { return m_sawBusy; }

private:
    QTimer m_timer;
    bool m_sawBusy = false;
};

// A 4000 x 4000 progressive JPEG of one flat grey whose cheap-to-store
// scans are repeated `rounds` times after the real ones: about 0.2 KB per
// round on disk, each round several full passes over sixteen million
// coefficients for the decoder (400 rounds take libjpeg about 20 seconds).
QByteArray scanBomb(int rounds)
{
    QImage base(4000, 4000, QImage::Format_Grayscale8);
    base.fill(128);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly))
        qFatal("buffer");
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    if (!writer.write(base))
        qFatal("cannot write the progressive base");

    // Cut the file into its header and its scans, each scan together with
    // the Huffman tables written just before it.
    const auto at = [&](qsizetype i) { return uchar(jpeg.at(i)); };
    const auto isMarker = [&](qsizetype i) {
        return at(i) == 0xFF && at(i + 1) != 0x00 && at(i + 1) != 0xFF &&
               !(at(i + 1) >= 0xD0 && at(i + 1) <= 0xD7);
    };
    QList<QByteArray> scans;
    qsizetype i = 2, headerEnd = -1, scanStart = -1;
    while (i + 4 <= jpeg.size() && at(i + 1) != 0xD9) {
        const uchar marker = at(i + 1);
        if ((marker == 0xC4 || marker == 0xDA) && scanStart < 0)
            scanStart = i;
        if (headerEnd < 0 && scanStart >= 0)
            headerEnd = scanStart;
        i += 2 + ((at(i + 2) << 8) | at(i + 3));
        if (marker == 0xDA) {
            while (i + 1 < jpeg.size() && !isMarker(i))
                ++i;
            scans.append(jpeg.mid(scanStart, i - scanStart));
            scanStart = -1;
        }
    }
    if (headerEnd < 0 || scans.size() < 2)
        qFatal("unexpected progressive JPEG layout");
    QByteArray cheap;
    for (const QByteArray &scan : std::as_const(scans))
        if (scan.size() < 200)
            cheap += scan;
    if (cheap.isEmpty())
        qFatal("no cheap scan to repeat");
    QByteArray out = jpeg.left(headerEnd);
    for (const QByteArray &scan : std::as_const(scans))
        out += scan;
    for (int r = 0; r < rounds; ++r)
        out += cheap;
    out += QByteArray("\xFF\xD9", 2);
    return out;
}

QImage flatPicture(QSize size, QColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A small file system mounted over a folder for one test, taken away again
// (after leaving it) when the test ends.
struct TmpfsMount
{
    QString folder;
    QString leaveTo;
    bool mounted = false;
    TmpfsMount(const QString &where, const QString &returnTo, unsigned long flags)
        : folder(where), leaveTo(returnTo)
    {
        mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", flags, "size=64k") == 0;
    }
    ~TmpfsMount()
    {
        QDir::setCurrent(leaveTo);
        if (mounted && ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH) != 0)
            qWarning("cannot unmount %s", qPrintable(folder));
    }
    Q_DISABLE_COPY_MOVE(TmpfsMount)
};

enum class Where { Browse, Ok, Menu };
enum class Kind { Fifo, ScanBomb };

} // namespace

Q_DECLARE_METATYPE(Where)
Q_DECLARE_METATYPE(Kind)

class TestHostileFiles : public QObject
{
    Q_OBJECT

    QByteArray m_bomb;

    static void makeHostile(const QString &path, Kind kind, const QByteArray &bomb)
    {
        QFile::remove(path);
        if (kind == Kind::Fifo) {
            QVERIFY2(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0, strerror(errno));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(bomb), bomb.size());
            QVERIFY(f.flush());
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_bomb = scanBomb(400);
        qInfo("scan bomb: %lld bytes", qint64(m_bomb.size()));
        // What runs once per program (its first picture, its first refusal)
        // runs once here, untimed: a freeze is what a hostile file causes
        // every time, not what a first use reads from a busy disk.
        ProgramFixture f;
        f.shell->setting()->show();
        const QString pipe = f.path(QStringLiteral("first.jpg"));
        makeHostile(pipe, Kind::Fifo, m_bomb);
        Dialogs::setNextFileName(pipe);
        click(f.shell->setting()->Command1);
        QVERIFY(QThreadPool::globalInstance()->waitForDone(2000));
    }

    void cleanup()
    {
        // An abandoned decode stops at its next read: the program can quit at once.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(2000));
        if (clock.elapsed() > 0)
            qInfo("worker finished %lld ms after the test", clock.elapsed());
    }

    void hostilePictureNeverFreezesTheWindow_data()
    {
        QTest::addColumn<Where>("where");
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pipe at browse") << Where::Browse << Kind::Fifo;
        QTest::newRow("pipe at OK") << Where::Ok << Kind::Fifo;
        QTest::newRow("pipe from the live-draw menu") << Where::Menu << Kind::Fifo;
        QTest::newRow("scan bomb at browse") << Where::Browse << Kind::ScanBomb;
        QTest::newRow("scan bomb at OK") << Where::Ok << Kind::ScanBomb;
        QTest::newRow("scan bomb from the live-draw menu") << Where::Menu << Kind::ScanBomb;
    }

    void hostilePictureNeverFreezesTheWindow()
    {
        QFETCH(Where, where);
        QFETCH(Kind, kind);
        ProgramFixture f;
        Setting *s = f.shell->setting();
        PictureLoader &pictures = f.shell->pictures();
        f.fillList({QStringLiteral("甲")});
        s->show();
        const QString hostile = f.path(QStringLiteral("hostile.jpg"));
        const QString good = f.path(QStringLiteral("good.jpg"));
        QVERIFY(flatPicture({40, 30}, Qt::green).save(good));
        Pick *pick = nullptr;

        if (where == Where::Ok) {
            // A good picture chosen, then replaced before OK.
            QVERIFY(flatPicture({60, 50}, Qt::red).save(hostile));
            Dialogs::setNextFileName(hostile);
            click(s->Command1);
            QVERIFY(!s->Image1->pixmap().isNull());
        } else if (where == Where::Menu) {
            click(s->Command2);
            pick = f.shell->pick();
            QVERIFY(pick->isVisible());
            QVERIFY(pick->setBackgroundPicture(good));
        }
        makeHostile(hostile, kind, m_bomb);
        const int messagesBefore = int(Dialogs::shownMessages().size());

        CursorWatch cursor;
        GapMeter gap;
        switch (where) {
        case Where::Browse:
            Dialogs::setNextFileName(hostile);
            click(s->Command1);
            break;
        case Where::Ok:
            click(s->Command2);
            break;
        case Where::Menu:
            Dialogs::setNextFileName(hostile);
            pick->popBG->trigger();
            break;
        }
        const qint64 worst = gap.worst();
        qInfo("worst event-loop gap: %lld ms", worst);
        QVERIFY2(worst < GapLimitMs, qPrintable(QStringLiteral("blocked for %1 ms").arg(worst)));

        // Refused with the reason, and the window goes on.
        QCOMPARE(Dialogs::shownMessages().size(), messagesBefore + 1);
        QCOMPARE(Dialogs::shownMessages().constLast().title, QStringLiteral("错误提示"));
        const QString reason = kind == Kind::Fifo ? QStringLiteral("管道")
                                                  : PictureLoader::overBudgetText(pictures.timeBudget());
        QVERIFY2(f.lastMessage().contains(reason), qPrintable(f.lastMessage()));
        QVERIFY(f.lastMessage().contains(QStringLiteral("hostile.jpg")));
        QVERIFY(!BusyCursor::shown());
        if (kind == Kind::ScanBomb) {
            QVERIFY(cursor.sawBusy());
            QCOMPARE(pictures.decodesOverBudget(), 1);
        } else {
            QCOMPARE(pictures.decodesOverBudget(), 0);
        }
        switch (where) {
        case Where::Browse:
            QCOMPARE(s->Text4->text(), hostile);
            QVERIFY(s->Image1->pixmap().isNull());
            QVERIFY(s->isVisible());
            break;
        case Where::Ok:
            pick = f.shell->pick();
            QVERIFY(pick->isVisible());
            QVERIFY(!pick->hasBackgroundPicture());
            QVERIFY(pick->Label4->isEnabled());
            break;
        case Where::Menu:
            QVERIFY(pick->isVisible());
            QCOMPARE(pick->backgroundSize(), QSize(40, 30)); // the earlier background stays
            break;
        }
    }

    void refusedPictureIsNotDecodedAgainUntilItChanges()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        PictureLoader &pictures = f.shell->pictures();
        f.fillList({QStringLiteral("甲")});
        const QString bomb = f.writeFile(QStringLiteral("bomb.jpg"), m_bomb);
        Dialogs::setNextFileName(bomb);
        click(s->Command1);
        QCOMPARE(pictures.decodesStarted(), 1);
        QCOMPARE(pictures.decodesOverBudget(), 1);

        // Each OK tells the organiser again but decodes nothing.
        for (int round = 0; round < 2; ++round) {
            Dialogs::resetTestState();
            GapMeter gap;
            click(s->Command2);
            QVERIFY(gap.worst() < GapLimitMs);
            QCOMPARE(pictures.decodesStarted(), 1);
            QVERIFY(f.lastMessage().contains(PictureLoader::overBudgetText(pictures.timeBudget())));
            QVERIFY(f.shell->pick()->isVisible());
            QVERIFY(!f.shell->pick()->hasBackgroundPicture());
            click(f.shell->pick()->Label8); // back to the settings
        }
        // The same name, now a picture that decodes: tried afresh.
        QVERIFY(flatPicture({70, 20}, Qt::blue).save(bomb, "JPEG"));
        Dialogs::resetTestState();
        click(s->Command2);
        QCOMPARE(pictures.decodesStarted(), 2);
        QVERIFY(Dialogs::shownMessages().isEmpty());
        QCOMPARE(f.shell->pick()->backgroundSize(), QSize(70, 20));
    }

    void oversizedPictureIsRefusedOnce()
    {
        ProgramFixture f;
        PictureLoader &pictures = f.shell->pictures();
        // A small JPEG whose frame header claims 20000 x 20000 pixels.
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QVERIFY(flatPicture({100, 100}, Qt::gray).save(&buffer, "JPEG"));
        const qsizetype sof = jpeg.indexOf("\xFF\xC0");
        QVERIFY(sof > 0);
        for (int i : {5, 7}) { // height, then width
            jpeg[sof + i] = char(20000 >> 8);
            jpeg[sof + i + 1] = char(20000 & 0xFF);
        }
        const QString path = f.writeFile(QStringLiteral("huge.jpg"), jpeg);
        for (int round = 0; round < 2; ++round) {
            QImage image;
            QString error;
            QCOMPARE(pictures.load(path, &image, &error), PictureLoader::Outcome::Refused);
            QVERIFY(image.isNull());
            QVERIFY2(error.contains(QStringLiteral("太大")), qPrintable(error));
        }
        QCOMPARE(pictures.decodesStarted(), 1);
        QCOMPARE(pictures.decodesOverBudget(), 0);
    }

    void pictureIsDecodedOncePerChosenFile()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        PictureLoader &pictures = f.shell->pictures();
        f.fillList({QStringLiteral("甲")});
        const QString path = f.path(QStringLiteral("bg.jpg"));
        QVERIFY(flatPicture({80, 60}, Qt::red).save(path));
        Dialogs::setNextFileName(path);
        click(s->Command1); // preview
        click(s->Command1); // cancelled: the same file again
        click(s->Command2);
        click(f.shell->pick()->Label8);
        click(s->Command2);
        QCOMPARE(pictures.decodesStarted(), 1);
        QCOMPARE(f.shell->pick()->backgroundSize(), QSize(80, 60));

        // The file changed on disk: the next OK shows the new picture.
        click(f.shell->pick()->Label8);
        QVERIFY(flatPicture({30, 90}, Qt::red).save(path));
        click(s->Command2);
        QCOMPARE(pictures.decodesStarted(), 2);
        QCOMPARE(f.shell->pick()->backgroundSize(), QSize(30, 90));
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }

    void largePictureLoadsWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("bmp") << QStringLiteral("large.bmp");
        QTest::newRow("jpeg") << QStringLiteral("large.jpg");
        QTest::newRow("progressive jpeg") << QStringLiteral("progressive.jpg");
    }

    // The worker reads in small pieces; every byte must still reach the decoder.
    void largePictureLoadsWhole()
    {
        QFETCH(QString, name);
        ProgramFixture f;
        QImage image(2500, 1700, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
        const QString path = f.path(name);
        QImageWriter writer(path);
        writer.setProgressiveScanWrite(name.startsWith(QLatin1String("progressive")));
        QVERIFY(writer.write(image));
        QImage loaded;
        QString error;
        QCOMPARE(f.shell->pictures().load(path, &loaded, &error), PictureLoader::Outcome::Loaded);
        QCOMPARE(error, QString());
        QCOMPARE(loaded, QImageReader(path).read());
    }

    void inputDuringAWaitIsDropped()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        f.fillList({QStringLiteral("甲")});
        s->show();
        const QString title = s->Text1->text();
        bool clickedDuringWait = false;
        QTimer::singleShot(300, s, [&] {
            clickedDuringWait = BusyCursor::shown();
            click(s->Command2);
            QTest::keyClicks(s->Text1, QStringLiteral("x"));
        });
        Dialogs::setNextFileName(f.writeFile(QStringLiteral("bomb.jpg"), m_bomb));
        click(s->Command1);
        QVERIFY(clickedDuringWait);
        QVERIFY(!f.shell->loadedPick()); // the OK pressed meanwhile did nothing
        QCOMPARE(s->Text1->text(), title);
        QCOMPARE(Dialogs::shownMessages().size(), 1); // the refusal only
    }

    void logCheckedAtOk_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("writable folder") << "plain" << QString();
        QTest::newRow("read-only folder") << "read-only" << QStringLiteral("只读");
        QTest::newRow("full disk") << "full" << QStringLiteral("磁盘已满");
        QTest::newRow("Result.txt a folder") << "folder" << QStringLiteral("文件夹");
        QTest::newRow("Result.txt a pipe") << "pipe" << QStringLiteral("管道");
        QTest::newRow("Result.txt a device") << "device" << QStringLiteral("设备");
        QTest::newRow("Result.txt a dangling link") << "dangling" << QStringLiteral("不存在");
    }

    void logCheckedAtOk()
    {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        ProgramFixture f;
        Setting *s = f.shell->setting();
        f.fillList({QStringLiteral("甲")});
        const QString folder = f.path(QStringLiteral("hall"));
        QVERIFY(QDir().mkpath(folder));
        std::unique_ptr<TmpfsMount> mount;
        if (setup == QLatin1String("read-only") || setup == QLatin1String("full")) {
            mount = std::make_unique<TmpfsMount>(folder, f.dir.path(),
                                                 setup == QLatin1String("read-only") ? MS_RDONLY : 0);
            if (!mount->mounted)
                QSKIP("cannot mount a tmpfs here (the stress script covers these as another user)");
            if (setup == QLatin1String("full")) {
                QFile filler(folder + QStringLiteral("/filler"));
                QVERIFY(filler.open(QIODevice::WriteOnly));
                const QByteArray block(4096, 'x');
                while (filler.write(block) == block.size() && filler.flush()) {
                }
            }
        }
        const QByteArray log = QFile::encodeName(folder + QStringLiteral("/Result.txt"));
        if (setup == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(folder + QStringLiteral("/Result.txt")));
        else if (setup == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(log.constData(), 0600), 0);
        else if (setup == QLatin1String("device"))
            QCOMPARE(::symlink("/dev/full", log.constData()), 0);
        else if (setup == QLatin1String("dangling"))
            QCOMPARE(::symlink("gone/Result.txt", log.constData()), 0);
        QVERIFY(QDir::setCurrent(folder));

        GapMeter gap;
        click(s->Command2);
        QVERIFY(gap.worst() < GapLimitMs);
        if (reason.isEmpty()) {
            QVERIFY(Dialogs::shownMessages().isEmpty());
            QVERIFY(!QFile::exists(QStringLiteral("Result.txt"))); // the check leaves nothing behind
        } else {
            QCOMPARE(Dialogs::shownMessages().size(), 1);
            const Dialogs::ShownMessage m = Dialogs::shownMessages().constFirst();
            QCOMPARE(m.title, QStringLiteral("错误提示"));
            QCOMPARE(m.icon, QMessageBox::Warning);
            QVERIFY2(m.text.contains(reason), qPrintable(m.text));
            QVERIFY2(m.text.contains(QDir(folder).absolutePath()), qPrintable(m.text));
            QVERIFY(m.text.contains(QStringLiteral("Result.txt")));
        }
        if (setup == QLatin1String("full") || setup == QLatin1String("plain")) {
            QFileInfo created(QStringLiteral("Result.txt"));
            QVERIFY(!created.exists());
        }
        // The organiser goes on: the live draw shows and draws.
        QVERIFY(!s->isVisible());
        QVERIFY(f.shell->pick()->isVisible());
        QVERIFY(f.shell->pick()->Label4->isEnabled());
    }

    void pipeAsResultLogWithALongTitle_data()
    {
        QTest::addColumn<bool>("reader");
        QTest::newRow("nobody reading") << false;
        QTest::newRow("a reader that never reads") << true;
    }

    void pipeAsResultLogWithALongTitle()
    {
        QFETCH(bool, reader);
        ProgramFixture f;
        Setting *s = f.shell->setting();
        f.fillList({QStringLiteral("甲"), QStringLiteral("乙")});
        f.scriptPositions({1});
        const QByteArray log = QFile::encodeName(f.path(QStringLiteral("Result.txt")));
        QCOMPARE(::mkfifo(log.constData(), 0600), 0);
        int readEnd = -1;
        if (reader) {
            readEnd = ::open(log.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            QVERIFY(readEnd >= 0);
        }
        s->Text1->setMaxLength(100000);
        s->Text1->setText(QString(40000, QChar(u'奖')));

        GapMeter gap;
        click(s->Command2); // the log check warns first
        Pick *pick = f.shell->pick();
        QVERIFY(pick->isVisible());
        click(pick->Label4); // roll
        QTest::qWait(120);
        click(pick->Label4); // stop: the record cannot go into a pipe
        const qint64 worst = gap.worst();
        qInfo("worst event-loop gap: %lld ms", worst);
        QVERIFY2(worst < GapLimitMs, qPrintable(QStringLiteral("blocked for %1 ms").arg(worst)));

        QCOMPARE(Dialogs::shownMessages().size(), 2);
        QVERIFY(Dialogs::shownMessages().at(0).text.contains(QStringLiteral("管道")));
        const QString notSaved = Dialogs::shownMessages().at(1).text;
        QVERIFY2(notSaved.contains(QStringLiteral("本次结果未能写入")), qPrintable(notSaved));
        QVERIFY(notSaved.contains(QStringLiteral("乙")));
        QVERIFY(pick->isVisible());
        QCOMPARE(pick->Label3->text(), QStringLiteral("乙"));
        QVERIFY(pick->Label4->isEnabled());
        if (reader) {
            int waiting = -1;
            QCOMPARE(::ioctl(readEnd, FIONREAD, &waiting), 0);
            QCOMPARE(waiting, 0); // nothing went into the pipe
            ::close(readEnd);
        }
    }

    // Another program holds the lock on Result.txt: the windows keep
    // running while the log is waited for (3 s), input waits, then the
    // failure is reported; at "确 定" the check waits the same way.
    void logHeldByAnotherProgram_data()
    {
        QTest::addColumn<bool>("atOk");
        QTest::newRow("at the stop") << false;
        QTest::newRow("at 确 定") << true;
    }
    void logHeldByAnotherProgram()
    {
        QFETCH(bool, atOk);
        if (QStandardPaths::findExecutable(QStringLiteral("flock")).isEmpty())
            QSKIP("needs the flock program");
        ProgramFixture f;
        f.fillList({QStringLiteral("甲"), QStringLiteral("乙")});
        f.scriptPositions({1});
        Setting *s = f.shell->setting();
        Pick *pick = f.shell->pick();
        QProcess holder;
        auto hold = [&] {
            holder.start(QStringLiteral("flock"),
                         {QStringLiteral("-x"), f.path(QStringLiteral("Result.txt")), QStringLiteral("sh"),
                          QStringLiteral("-c"), QStringLiteral("echo held; sleep 5")});
            QVERIFY(holder.waitForReadyRead(5000));
        };
        if (atOk)
            hold();
        GapMeter gap;
        click(s->Command2);
        QVERIFY(pick->isVisible());
        if (!atOk)
            hold();
        click(pick->Label4); // roll
        // A click while the log is waited for does nothing, now or later.
        QTimer::singleShot(1000, pick, [pick] { click(pick->Label4); });
        click(pick->Label4); // stop
        const qint64 worst = gap.worst();
        qInfo("worst event-loop gap: %lld ms", worst);
        QVERIFY2(worst < GapLimitMs, qPrintable(QStringLiteral("blocked for %1 ms").arg(worst)));
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QVERIFY(f.lastMessage().contains(QStringLiteral("结果文件正被另一个程序占用")));
        QCOMPARE(f.lastMessage().contains(QStringLiteral("本次结果未能写入")), !atOk);
        if (atOk) {
            QTRY_COMPARE_WITH_TIMEOUT(holder.state(), QProcess::NotRunning, 6000);
            QCOMPARE(f.results(), QStringList{QStringLiteral("乙")});
        } else {
            QVERIFY(f.results().isEmpty());
        }
        QTest::qWait(1100);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
        QCOMPARE(pick->Label3->text(), QStringLiteral("乙"));
        holder.kill();
        holder.waitForFinished();
    }

    // Last: once the program has been told to end, no event loop runs again
    // in this process.
    void programEndingDuringADecodeReportsNothing()
    {
        ProgramFixture f;
        Setting *s = f.shell->setting();
        PictureLoader &pictures = f.shell->pictures();
        Dialogs::setNextFileName(f.writeFile(QStringLiteral("bomb.jpg"), m_bomb));
        QTimer::singleShot(300, s, [] { QCoreApplication::exit(0); });
        QElapsedTimer clock;
        clock.start();
        click(s->Command1);
        QVERIFY(clock.elapsed() < pictures.timeBudget());
        QVERIFY(Dialogs::shownMessages().isEmpty());
        QVERIFY(s->Image1->pixmap().isNull());
        QCOMPARE(pictures.decodesOverBudget(), 0);
    }

    // The saved picture is decoded while the state is restored, before the
    // program's event loop runs. Closing the settings window meanwhile ends
    // the program: it must not run on with every window hidden.
    void closingDuringTheRestoredPictureEndsTheProgram()
    {
        QTemporaryDir dir;
        const QString bomb = dir.filePath(QStringLiteral("bomb.jpg"));
        makeHostile(bomb, Kind::ScanBomb, m_bomb);
        EventState::Settings saved;
        saved.picturePath = bomb;
        const EventState::Store store(dir.filePath(QStringLiteral("settings.json")),
                                      dir.filePath(QStringLiteral("list.json")));
        QString error;
        QVERIFY2(store.saveSettings(saved, &error), qPrintable(error));

        // An earlier case ended the loops with exit(): waits would end at
        // once until an application loop has run again.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        Dialogs::enableTestMode();
        Dialogs::resetTestState();
        WindowShell shell; // ends the program as the real one does
        shell.setting()->show();
        QVERIFY(QTest::qWaitForWindowExposed(shell.setting()));
        StateKeeper keeper(shell, store);
        QTimer::singleShot(300, shell.setting(), [&shell] { shell.setting()->close(); });
        keeper.restore();
        QVERIFY(!shell.setting()->isVisible());

        // Should the program run on, this ends it after a while instead.
        bool ranOn = false;
        QTimer::singleShot(2000, qApp, [&ranOn] {
            ranOn = true;
            QCoreApplication::exit(1);
        });
        QCOMPARE(shell.exec(), 0);
        QVERIFY(!ranOn);
        QVERIFY(Dialogs::shownMessages().isEmpty());
    }
};

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
