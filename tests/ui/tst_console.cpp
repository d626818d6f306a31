#include "UiTestSupport.h"

#include "Console.h"
#include "PlanDraw.h"
#include "WinnerGrid.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtGui/qpa/qplatformnativeinterface.h>

namespace {

// The offscreen platform's screens, replaced while the program runs: as
// screens are plugged and unplugged. False where the platform cannot.
bool setScreens(const QList<QRect> &screens)
{
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    if (!native)
        return false;
    // Both take the native interface that handed them out.
    using Get = QJsonObject (*)(QPlatformNativeInterface *);
    using Set = void (*)(const QJsonObject &, QPlatformNativeInterface *);
    auto get = reinterpret_cast<Get>(native->nativeResourceForIntegration("configuration"));
    auto set = reinterpret_cast<Set>(native->nativeResourceForIntegration("setConfiguration"));
    if (!get || !set)
        return false;
    QJsonObject config = get(native);
    QJsonArray list;
    for (qsizetype i = 0; i < screens.size(); ++i)
        list.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("SCREEN%1").arg(i)},
                                {QStringLiteral("x"), screens.at(i).x()},
                                {QStringLiteral("y"), screens.at(i).y()},
                                {QStringLiteral("width"), screens.at(i).width()},
                                {QStringLiteral("height"), screens.at(i).height()},
                                {QStringLiteral("logicalDpi"), 96},
                                {QStringLiteral("logicalBaseDpi"), 96},
                                {QStringLiteral("dpr"), 1}});
    config.insert(QStringLiteral("screens"), list);
    set(config, native);
    return QGuiApplication::screens().size() == screens.size();
}

} // namespace

// The operator's console: the evening driven from it, what it is told
// instead of the hall, and the hall's window kept on a screen as screens
// come and go.
class TestConsole : public QObject
{
    Q_OBJECT

    static Pick *armed(ProgramFixture &f, const QList<Prizes::Prize> &plan)
    {
        QStringList names;
        for (int i = 0; i < 12; ++i)
            names << QStringLiteral("人%1").arg(i);
        f.fillList(names);
        QString why;
        if (!plan.isEmpty() && !f.shell->controller().setPlan(plan, true, &why))
            qFatal("plan refused");
        f.shell->controller().setMinRollSeconds(0); // each stop at once
        f.shell->setting()->Text1->setText(QStringLiteral("年会"));
        Pick *pick = f.shell->pick();
        pick->plan()->setPositionSource(std::make_unique<SeededPositionSource>(3u));
        click(f.shell->setting()->Command2);
        return pick;
    }
    static QList<QPushButton *> absentButtons(Console *c)
    {
        return c->List1->findChildren<QPushButton *>(QStringLiteral("Command2"));
    }

private Q_SLOTS:
    void cleanup()
    {
        if (QGuiApplication::screens().size() != 1)
            QVERIFY(setScreens({QRect(0, 0, 800, 600)}));
    }

    // Start, stop, the winners with 未到场, the redraw on the spot, the
    // next prize and the preview, all from the console.
    void drivesTheEvening()
    {
        ProgramFixture f;
        Pick *pick = armed(f, {{QStringLiteral("三等奖"), 4, 2}, {QStringLiteral("一等奖"), 1, 1}});
        f.shell->controller().setRedrawRollMs(40);
        Console *c = f.shell->loadedConsole();
        QVERIFY(c); // a plan's evening has its console from the start
        QCOMPARE(c->objectName(), QStringLiteral("Console"));
        bringToFront(c);
        QCOMPARE(c->Label2->text(), QStringLiteral("下一个奖项：一等奖（共 1 名）"));
        click(c->Command1);
        QVERIFY(f.shell->controller().planRolling());
        QCOMPARE(c->Command1->text(), QStringLiteral("停 止"));
        QVERIFY(!c->Command3->isEnabled());
        click(c->Command1);
        QCOMPARE(c->Label1->text(), pick->plan()->Label12->text());
        const QStringList winners = f.results();
        QCOMPARE(winners.size(), 2);
        QList<QPushButton *> absent = absentButtons(c);
        QCOMPARE(absent.size(), 2);
        QTRY_VERIFY(!c->Image1->pixmap().isNull());

        Dialogs::setNextChoice(0);
        click(absent.at(1));
        QCOMPARE(Dialogs::shownMessages().constLast().title, QStringLiteral("未到场 → 补抽"));
        QCOMPARE(c->Label1->text(), QStringLiteral("三等奖　补抽 第 2 名 / 共 4 名"));
        QCOMPARE(pick->plan()->Grid1->cells(), QStringList{winners.at(0)}); // the voided name is gone
        QTRY_COMPARE(absentButtons(c).size(), 1); // the rows of before go at the next turn of the loop
        QCOMPARE(c->Command1->text(), QStringLiteral("补 抽"));
        click(c->Command1);
        QCOMPARE(pick->plan()->Grid1->cells().size(), 1);
        QTRY_VERIFY(!f.shell->controller().planRolling()); // a short roll that stops by itself
        const QStringList after = f.results();
        QCOMPARE(after.size(), 4);
        QVERIFY(after.at(2).startsWith(QStringLiteral("作废 ") + winners.at(1)));
        QCOMPARE(c->Label1->text(), QStringLiteral("三等奖　补抽 第 2 名 / 共 4 名"));
        click(c->Command1);
        click(c->Command1);
        QCOMPARE(c->Label1->text(), QStringLiteral("三等奖　第 3–4 名 / 共 4 名")); // a full stop
        QCOMPARE(c->Label2->text(), QStringLiteral("下一个奖项：一等奖（共 1 名）"));
    }

    // With one screen nothing covers the winners: the console tells it.
    void toldOnTheConsole()
    {
        ProgramFixture f;
        Pick *pick = armed(f, {{QStringLiteral("一等奖"), 1, 1}});
        pick->pressRollButton();
        pick->pressRollButton();
        pick->pressRollButton(); // after the last prize
        QVERIFY(Dialogs::shownMessages().isEmpty());
        QVERIFY(f.shell->loadedConsole()->Label3->text().contains(QStringLiteral("所有奖项都已抽完")));
    }

    // Without a plan the live draw is as designed, without a console until
    // the operator opens one: from the live window's menu or its key.
    void openedFromTheLiveWindow()
    {
        ProgramFixture f;
        Pick *pick = armed(f, {});
        QVERIFY(!f.shell->loadedConsole());
        pick->popConsole->trigger();
        Console *c = f.shell->loadedConsole();
        QVERIFY(c && c->isVisible());
        click(c->Command1);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Rolling);
        click(c->Command1);
        QCOMPARE(c->Label1->text(), QStringLiteral("单次抽取：") + f.results().value(0));
        c->hide();
        bringToFront(pick);
        QVERIFY(QTest::qWaitForWindowActive(pick));
        QTest::keyClick(pick, Qt::Key_F2);
        QVERIFY(c->isVisible());
    }

    // Screens plugged and unplugged: the live draw goes full screen on the
    // hall's screen with the console on the other, follows the organiser's
    // choice, and stays shown on a screen that is there when the hall's
    // goes. (The offscreen platform's screens are apart, not one desktop:
    // it cannot move a window from one to another, so the screen the live
    // draw was put on is checked, not its geometry.)
    void screensComeAndGo()
    {
        ProgramFixture f;
        Pick *pick = armed(f, {{QStringLiteral("一等奖"), 1, 1}});
        const QRect laptop(0, 0, 1366, 768), projector(1366, 0, 1920, 1080);
        if (!setScreens({laptop, projector}))
            QSKIP("the platform cannot change its screens");
        Console *c = f.shell->loadedConsole();
        const auto hall = [pick] { return pick->hallScreen() ? pick->hallScreen()->name() : QString(); };
        QTRY_COMPARE(hall(), QStringLiteral("SCREEN1")); // not the primary one
        QVERIFY(pick->isFullScreenMode());
        QVERIFY(pick->isVisible());
        QVERIFY(c->isVisible());         // by itself
        QCOMPARE(c->Combo1->count(), 3); // automatic, then each screen
        // The operator's buttons and badge out of the hall's sight.
        for (QWidget *w :
             std::initializer_list<QWidget *>{pick->Label4, pick->Label5, pick->Label6, pick->Label7})
            QVERIFY(w->isHidden());

        QSignalSpy chosen(f.shell.get(), &WindowShell::audienceScreenChanged);
        c->Combo1->setCurrentIndex(c->Combo1->findData(QStringLiteral("SCREEN0")));
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(f.shell->audienceScreen(), QStringLiteral("SCREEN0"));
        QCOMPARE(hall(), QStringLiteral("SCREEN0"));

        c->Combo1->setCurrentIndex(0); // automatic again
        QCOMPARE(hall(), QStringLiteral("SCREEN1"));
        QVERIFY(setScreens({laptop})); // the hall's screen unplugged
        QTRY_COMPARE(hall(), QStringLiteral("SCREEN0"));
        QVERIFY(pick->isVisible() && pick->isFullScreenMode());
        QVERIFY(!pick->Label4->isHidden());       // one screen: the live draw as designed
        QVERIFY(setScreens({laptop, projector})); // and plugged back
        QTRY_COMPARE(hall(), QStringLiteral("SCREEN1"));
        QVERIFY(pick->isVisible());
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TestConsole test;
    return leaveSuite(QTest::qExec(&test, argc, argv));
}

#include "tst_console.moc"
