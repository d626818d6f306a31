// The windows on a real X display under a real window manager (openbox on
// Xvfb, started by tests/e2e/on_desktop.sh): a window the window manager
// minimised comes back, viewable and active, on every path that shows it.
#include "About.h"
#include "UiTestSupport.h"

#include <QProcess>
#include <QPushButton>

class TestDesktop : public QObject
{
    Q_OBJECT

    static QString x11(const QString &tool, const QStringList &args)
    {
        QProcess p;
        p.start(tool, args);
        if (!p.waitForFinished(10000) || p.exitCode() != 0)
            qWarning("%s failed: %s", qPrintable(tool), p.readAllStandardError().constData());
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }
    static QString id(const QWidget *w) { return QString::number(w->winId()); }
    static bool viewable(const QWidget *w)
    {
        return x11(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id(w)}).contains(u"IsViewable");
    }
    static QString motifHints(const QWidget *w)
    {
        return x11(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), id(w), QStringLiteral("_MOTIF_WM_HINTS")});
    }
    // Minimised by the window manager, as its title-bar button or a taskbar does.
    static bool minimise(QWidget *w)
    {
        x11(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), QStringLiteral("--sync"), id(w)});
        return QTest::qWaitFor([w] { return bool(w->windowState() & Qt::WindowMinimized); });
    }
    static bool broughtBack(QWidget *w)
    {
        return QTest::qWaitFor(
            [w] { return !(w->windowState() & Qt::WindowMinimized) && w->isActiveWindow() && viewable(w); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X display with a window manager (tests/e2e/on_desktop.sh)");
    }

    // Each row minimises one window and takes a path that shows it. The
    // clicks are sent to the widgets: a click on a minimised window stands
    // for the window manager's keys or a taskbar reaching it.
    void minimisedWindowComesBack_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("编辑待选列表") << "edit";
        QTest::newRow("确 定 refused, empty list") << "refusal";
        QTest::newRow("关于") << "about";
        QTest::newRow("确 定 to the live draw") << "pick";
        QTest::newRow("设 定 to the settings") << "setting";
    }
    void minimisedWindowComesBack()
    {
        QFETCH(QString, path);
        ProgramFixture f;
        Setting *setting = f.shell->setting();
        bringToFront(setting);
        QVERIFY(QTest::qWaitForWindowActive(setting));
        if (path != u"refusal")
            f.fillList({QStringLiteral("甲")});
        QWidget *target = nullptr;
        std::function<void()> take;
        if (path == u"edit" || path == u"refusal") {
            click(setting->Command5);
            target = f.shell->edit();
            take = [&] { click(path == u"edit" ? setting->Command5 : setting->Command2); };
        } else if (path == u"about") {
            click(setting->Command4);
            target = f.shell->about();
            take = [&] { click(setting->Command4); };
        } else if (path == u"pick") {
            click(setting->Command2);
            target = f.shell->pick();
            // 设 定 on the minimised live-draw window, then 确 定.
            take = [&] {
                click(f.shell->pick()->Label8);
                QVERIFY(QTest::qWaitForWindowActive(setting));
                click(setting->Command2);
            };
        } else {
            target = setting;
            // 确 定 on the minimised settings window, then 设 定.
            take = [&] {
                click(setting->Command2);
                QVERIFY(QTest::qWaitForWindowActive(f.shell->pick()));
                click(f.shell->pick()->Label8);
            };
        }
        QVERIFY(QTest::qWaitForWindowActive(target));
        const QString hints = motifHints(target);
        QVERIFY(minimise(target));
        QVERIFY(!viewable(target));
        take();
        QVERIFY2(broughtBack(target), qPrintable(path));
        QCOMPARE(motifHints(target), hints); // the buttons asked for stay as they were
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
