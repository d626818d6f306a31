#include "About.h"
#include "UiTestSupport.h"

#include <QPushButton>

class TestAbout : public QObject
{
    Q_OBJECT

    static About *shownAbout(ProgramFixture &f)
    {
        click(f.shell->setting()->Command4);
        return f.shell->loadedAbout();
    }

private Q_SLOTS:
    void loadsOnceAndLocksItsSize()
    {
        ProgramFixture f;
        About *about = shownAbout(f);
        QVERIFY(about && about->isVisible());
        QVERIFY(about->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(about->Label8->text(), QStringLiteral("v 1.0b  09-11-13"));
        QCOMPARE(about->size(), QSize(306, 208));
        SizeLock &lock = f.shell->sizeLock();
        QVERIFY(lock.isLocked());
        QCOMPARE(lock.LockedHwnd.data(), about);
        QCOMPARE(lock.LockedWidth, 306);
        QCOMPARE(lock.LockedHeight, 208);
        about->resize(500, 400);
        QCOMPARE(about->size(), QSize(306, 208));

        click(about->Label9);
        QVERIFY(!about->isVisible());
        about->Label8->setText(QStringLiteral("changed while hidden"));
        click(f.shell->setting()->Command4);
        QCOMPARE(f.shell->loadedAbout(), about); // the same window, found as it was
        QCOMPARE(about->Label8->text(), QStringLiteral("changed while hidden"));
        QVERIFY(about->isVisible());
    }

    void unloadUnlocks()
    {
        ProgramFixture f;
        About *about = shownAbout(f);
        about->close();
        QVERIFY(!f.shell->sizeLock().isLocked());
        QTRY_VERIFY(!f.shell->loadedAbout());
        About *again = shownAbout(f);
        QVERIFY(f.shell->sizeLock().isLocked());
        QCOMPARE(f.shell->sizeLock().LockedHwnd.data(), again);
    }

    void framedOkButton()
    {
        ProgramFixture f;
        About *about = shownAbout(f);
        auto line = [about](const char *name) { return about->findChild<LineShape *>(QLatin1String(name)); };
        QCOMPARE(about->Label9->text(), QStringLiteral("确 定"));
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            QTest::mousePress(about->Label9, button, {}, QPoint(5, 5));
            QCOMPARE(about->Label9->textColor(), rgb(0xC00000));
            QCOMPARE(line("Line3")->width(), 2);
            QCOMPARE(line("Line3")->color(), rgb(0x404040));
            QCOMPARE(line("Line4")->width(), 2);
            QCOMPARE(line("Line5")->width(), 1);
            QCOMPARE(line("Line5")->color(), rgb(0x808080));
            QCOMPARE(line("Line6")->color(), rgb(0x808080));
            QTest::mouseRelease(about->Label9, button, {}, QPoint(-30, -30)); // released outside
            QCOMPARE(about->Label9->textColor(), rgb(0x404040));
            QCOMPARE(line("Line3")->width(), 1);
            QCOMPARE(line("Line3")->color(), rgb(0x808080));
            QCOMPARE(line("Line5")->width(), 2);
            QCOMPARE(line("Line6")->color(), rgb(0x404040));
            QVERIFY(about->isVisible());
        }
        click(about->Label9, Qt::RightButton);
        QVERIFY(about->isVisible());
        click(about->Label9);
        QVERIFY(!about->isVisible());
    }

    void clicksOnTheSurface()
    {
        ProgramFixture f;
        About *about = shownAbout(f);
        for (EventLabel *label :
             {about->Label1, about->Label3, about->Label5, about->Label8, about->Label7}) {
            click(label);
            QVERIFY2(about->isVisible(), qPrintable(label->objectName()));
        }
        click(about, Qt::RightButton, QPoint(290, 190));
        QVERIFY(about->isVisible());
        click(about, Qt::LeftButton, QPoint(290, 190));
        QVERIFY(!about->isVisible());
    }

    void linkOpensTheWebPage()
    {
        ProgramFixture f;
        About *about = shownAbout(f);
        QCOMPARE(about->Image1->toolTip(), QStringLiteral("点击访问我的网站 :)"));
        QCOMPARE(about->Image1->pixmap().size(), QSize(60, 60));
        click(about->Image1);
        QCOMPARE(f.opened, QList<QUrl>{About::webPage()});
        QVERIFY(about->isVisible());
        QVERIFY(Dialogs::shownMessages().isEmpty());
        f.openSucceeds = false;
        click(about->Image1);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QVERIFY(about->isVisible());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
