#include "Dialogs.h"
#include "EventLock.h"
#include "SizeLock.h"
#include "WaveFile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QtEndian>

class TestPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Dialogs::enableTestMode(); }

    void lockRounding_data()
    {
        QTest::addColumn<double>("twips");
        QTest::addColumn<double>("twipsPerPixel");
        QTest::addColumn<int>("pixels");
        QTest::newRow("about width") << 4590.0 << 15.0 << 306;
        QTest::newRow("about height") << 3120.0 << 15.0 << 208;
        QTest::newRow("100.5 to even") << 1507.5 << 15.0 << 100;
        QTest::newRow("101.5 to even") << 1522.5 << 15.0 << 102;
        QTest::newRow("below half") << 1514.0 << 15.0 << 101;
        QTest::newRow("120 dpi") << 4590.0 << 12.0 << 382; // 382.5 -> 382
    }
    void lockRounding()
    {
        QFETCH(double, twips);
        QFETCH(double, twipsPerPixel);
        QFETCH(int, pixels);
        QCOMPARE(pixelsFromTwips(twips, twipsPerPixel), pixels);
    }

    void oneLockAtATime()
    {
        QWidget first, second;
        first.resize(306, 208);
        second.resize(200, 100);
        const QSize firstMin = first.minimumSize(), firstMax = first.maximumSize();
        SizeLock lock;
        lock.UnlockWindowSize(); // nothing locked: nothing happens
        QVERIFY(!lock.isLocked());
        lock.LockWindowSize(&first);
        QVERIFY(lock.isLocked());
        QCOMPARE(lock.LockedWidth, 306);
        QCOMPARE(lock.LockedHeight, 208);
        QCOMPARE(first.minimumSize(), QSize(306, 208));
        QCOMPARE(first.maximumSize(), QSize(306, 208));

        lock.LockWindowSize(&second); // ignored: the first stays locked
        QCOMPARE(lock.LockedHwnd.data(), &first);
        QCOMPARE(second.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));

        first.resize(400, 300); // held at its locked size
        QCOMPARE(first.size(), QSize(306, 208));

        lock.UnlockWindowSize();
        QVERIFY(!lock.isLocked());
        QCOMPARE(first.minimumSize(), firstMin);
        QCOMPARE(first.maximumSize(), firstMax);
        lock.UnlockWindowSize(); // a second unlock changes nothing
        QCOMPARE(first.maximumSize(), firstMax);

        // Locked again after a resize: the size at that moment counts.
        first.resize(320, 240);
        lock.LockWindowSize(&first);
        QCOMPARE(lock.LockedWidth, 320);
        QCOMPARE(lock.LockedHeight, 240);
        lock.UnlockWindowSize();
    }

    void nameFilters()
    {
        QCOMPARE(Dialogs::nameFilters(QStringLiteral("图片文件(*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp")),
                 QStringList{QStringLiteral("图片文件(*.jpg;*.jpeg;*.bmp) (*.jpg *.jpeg *.bmp)")});
        QCOMPARE(Dialogs::nameFilters(QStringLiteral("文本文件 (*.txt)|*.txt|全部|*.*")),
                 (QStringList{QStringLiteral("文本文件 (*.txt) (*.txt)"), QStringLiteral("全部 (*.*)")}));
    }

    // The dialog's file-type list shows each filter's label once.
    void filterLabelsShownOnce_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("list file") << "文本文件 (*.txt)|*.txt"
                                   << "文本文件 (*.txt)";
        QTest::newRow("picture") << "图片文件(*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp"
                                 << "图片文件(*.jpg;*.jpeg;*.bmp)";
    }
    void filterLabelsShownOnce()
    {
        QFETCH(QString, filter);
        QFETCH(QString, shown);
        OpenFileDialog open;
        open.Filter = filter;
        open.InitDir = QDir::tempPath();
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        open.prepare(dialog);
        auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        QCOMPARE(types->count(), 1);
        QCOMPARE(types->itemText(0), shown);
        // The patterns still select the files.
        auto *files = dialog.findChild<QFileSystemModel *>();
        QVERIFY(files);
        QCOMPARE(files->nameFilters().join(u' '), filter.section(u'|', 1).replace(u';', u' '));
    }

    // The arrow keys of a presenter remote move nothing between a question's
    // buttons: Enter and Space choose the default, as the box was shown.
    void questionKeys_data()
    {
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("chosen");
        const int right = Qt::Key_Right, left = Qt::Key_Left, down = Qt::Key_Down, enter = Qt::Key_Enter;
        QTest::newRow("Right, Enter") << -1 << QList<int>{right, enter} << -1;
        QTest::newRow("Left, Left, Enter") << -1 << QList<int>{left, left, enter} << -1;
        QTest::newRow("Down, Space") << -1 << QList<int>{down, int(Qt::Key_Space)} << -1;
        QTest::newRow("first the default, Right, Enter") << 0 << QList<int>{right, enter} << 0;
        QTest::newRow("Escape") << 0 << QList<int>{int(Qt::Key_Escape)} << -1;
    }
    void questionKeys()
    {
        QFETCH(int, defaultButton);
        QFETCH(QList<int>, keys);
        QFETCH(int, chosen);
        Dialogs::resetTestState();
        Dialogs::showRealMessageBoxes(true);
        QTimer::singleShot(0, [keys] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            for (int key : keys) // to the button holding the focus, as the keyboard sends them
                QTest::keyClick(box->focusWidget(), Qt::Key(key));
        });
        const int answer = Dialogs::choose(
            nullptr, QStringLiteral("问题"), QStringLiteral("作废吗？"),
            {QStringLiteral("作废"), QStringLiteral("保留"), QStringLiteral("取消")}, defaultButton);
        Dialogs::resetTestState();
        QCOMPARE(answer, chosen);
    }

    // A lock file is obeyed only when its holder is shown to be a running
    // copy of this program on this machine. Otherwise the start is told why
    // and may take the lock over; a killed copy's lock goes without a word.
    void eventLockHolder_data()
    {
        QTest::addColumn<QByteArray>("contents"); // PID, PROGRAM and HOST stand for what they name
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("doubt");
        const int doubtful = int(EventLock::Outcome::Doubtful);
        QTest::newRow("empty") << QByteArray() << doubtful << int(EventLock::Doubt::Unreadable);
        QTest::newRow("garbled") << QByteArray("\x01\xff\nnot a lock\n") << doubtful
                                 << int(EventLock::Doubt::Unreadable);
        QTest::newRow("other machine") << QByteArray("OWN\nPROGRAM\nanother-machine\n") << doubtful
                                       << int(EventLock::Doubt::OtherMachine);
        QTest::newRow("another program's process")
            << QByteArray("SLEEP\nPROGRAM\nHOST\n") << doubtful << int(EventLock::Doubt::OtherProgram);
        QTest::newRow("running copy")
            << QByteArray("OWN\nPROGRAM\nHOST\n") << int(EventLock::Outcome::HeldByAnother)
            << int(EventLock::Doubt::None);
        QTest::newRow("killed copy") << QByteArray("GONE\nPROGRAM\nHOST\n") << int(EventLock::Outcome::Locked)
                                     << int(EventLock::Doubt::None);
    }
    void eventLockHolder()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, outcome);
        QFETCH(int, doubt);
        QProcess sleeping, ended;
        for (QProcess *p : {&sleeping, &ended}) {
            p->start(QStringLiteral("sleep"), {QStringLiteral("30")});
            if (!p->waitForStarted())
                QSKIP("no sleep program to stand for another process");
        }
        const qint64 gone = ended.processId();
        ended.kill();
        QVERIFY(ended.waitForFinished());
        contents.replace("SLEEP", QByteArray::number(sleeping.processId()))
            .replace("GONE", QByteArray::number(gone))
            .replace("OWN", QByteArray::number(QCoreApplication::applicationPid()))
            .replace("PROGRAM", QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8())
            .replace("HOST", QSysInfo::machineHostName().toUtf8());
        QTemporaryDir dir;
        const QString path = dir.filePath(EventLock::LockName);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(contents), contents.size());
        file.close();

        EventLock lock(dir.path());
        EventLock::Holder holder;
        const EventLock::Outcome got = lock.lock(nullptr, &holder);
        sleeping.kill();
        QVERIFY(sleeping.waitForFinished());
        QCOMPARE(int(got), outcome);
        QCOMPARE(int(holder.doubt), doubt);
        if (outcome != int(EventLock::Outcome::Doubtful))
            return;
        QVERIFY(QFile::exists(path)); // nothing taken until the operator says so
        const QString question = EventLock::takeOverQuestion(path, holder);
        QVERIFY2(question.contains(QDir::toNativeSeparators(path)), qPrintable(question));
        if (holder.doubt == EventLock::Doubt::OtherProgram)
            QVERIFY2(question.contains(QStringLiteral("（sleep）")), qPrintable(question));
        QCOMPARE(int(lock.takeOver()), int(EventLock::Outcome::Locked));
        qint64 pid = 0;
        QVERIFY(QLockFile(path).getLockInfo(&pid, nullptr, nullptr));
        QCOMPARE(pid, QCoreApplication::applicationPid());
    }

    // A cancelled dialog reports what it held when it opened.
    void dialogsKeepTheirLastAnswer()
    {
        Dialogs::resetTestState();
        FontDialog font;
        QVERIFY(!font.ShowFont(nullptr));
        QCOMPARE(font.FontName, QString());
        QCOMPARE(font.Color, 0u);
        Dialogs::setNextFont(Dialogs::FontAnswer{QStringLiteral("Serif"), 0x123456});
        QVERIFY(font.ShowFont(nullptr));
        QVERIFY(!font.ShowFont(nullptr));
        QCOMPARE(font.FontName, QStringLiteral("Serif"));
        QCOMPARE(font.Color, 0x123456u);

        OpenFileDialog open;
        QVERIFY(!open.ShowOpen(nullptr));
        QCOMPARE(open.FileName, QString());
        Dialogs::setNextFileName(QStringLiteral("/tmp/a.bmp"));
        QVERIFY(open.ShowOpen(nullptr));
        Dialogs::setNextFileName(std::nullopt);
        QVERIFY(!open.ShowOpen(nullptr));
        QCOMPARE(open.FileName, QStringLiteral("/tmp/a.bmp"));
    }
    // WAV files as the sound players take them, chunk by chunk.
    void waveParse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("frames"); // -1: refused
        WaveFile mono{1, 22050, 16, QByteArray(400, '\x10')};
        const QByteArray good = mono.bytes();
        auto patched = [&good](int at, const QByteArray &with) {
            QByteArray b = good;
            return b.replace(at, with.size(), with);
        };
        // A LIST chunk before the data, of odd size (padded to even).
        QByteArray listFirst = good.left(36) + QByteArray("LIST\x03\0\0\0abc\0", 12) + good.mid(36);
        qToLittleEndian<quint32>(quint32(listFirst.size() - 8), listFirst.data() + 4);
        QTest::newRow("16-bit mono") << good << 200;
        QTest::newRow("8-bit stereo") << WaveFile{2, 8000, 8, QByteArray(100, '\x80')}.bytes() << 50;
        QTest::newRow("a chunk before the data") << listFirst << 200;
        QTest::newRow("data cut short") << good.left(good.size() - 101) << 149;
        QTest::newRow("compressed (MP3 in WAV)") << patched(20, QByteArray("\x55\0", 2)) << -1;
        QTest::newRow("24-bit") << patched(34, QByteArray("\x18\0", 2)) << -1;
        QTest::newRow("no data chunk") << good.left(36) << -1;
        QTest::newRow("no sound in it") << WaveFile{1, 22050, 16, {}}.bytes() << -1;
        QTest::newRow("an MP3 file") << QByteArray("ID3\x04\0\0\0\0\0\0\xff\xfb") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
    }
    void waveParse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, frames);
        WaveFile wave;
        QString why;
        QCOMPARE(WaveFile::parse(bytes, &wave, &why), frames >= 0);
        QCOMPARE(wave.frames(), qMax(frames, 0));
        QCOMPARE(why.isEmpty(), frames >= 0);
    }
    // The Windows player's volume and fade, worked into the samples.
    void waveScaled()
    {
        QByteArray pcm;
        for (qint16 v : {qint16(-32768), qint16(20000), qint16(1000), qint16(-1000)})
            pcm += QByteArray(reinterpret_cast<const char *>(&v), 2);
        const WaveFile wave{1, 8000, 16, pcm};
        const auto sample = [](const WaveFile &w, int i) {
            return qFromLittleEndian<qint16>(w.pcm.constData() + 2 * i);
        };
        const WaveFile half = wave.scaled(0.5);
        QCOMPARE(half.frames(), 4);
        QCOMPARE(sample(half, 0), qint16(-16384));
        QCOMPARE(sample(half, 1), qint16(10000));
        const WaveFile fade = wave.scaled(1.0, 2); // two frames, falling from full
        QCOMPARE(fade.frames(), 2);
        QCOMPARE(sample(fade, 0), qint16(-32768));
        QCOMPARE(sample(fade, 1), qint16(10000));
        WaveFile back;
        QVERIFY(WaveFile::parse(half.bytes(), &back, nullptr));
        QCOMPARE(back.pcm, half.pcm);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
