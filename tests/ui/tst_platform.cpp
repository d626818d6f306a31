#include "Dialogs.h"
#include "SizeLock.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>
#include <QWidget>

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
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
