#include "Console.h"
#include "Edit.h"
#include "Gb18030.h"
#include "Pick.h"
#include "PlanDraw.h"
#include "PositionSource.h"
#include "PrizePlan.h"
#include "RosterWindow.h"
#include "Setting.h"
#include "StateKeeper.h"
#include "UiTestSupport.h"
#include "WindowShell.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

// A roster imported through its window: nothing changes before the
// organiser chooses, two people of one name are two people, each wins at
// most once, and the log and the export carry who they are.
class TestRosterImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        const QString root = pointStateAt(m_home.path());
        QVERIFY(StateKeeper::userStore().listPath().startsWith(root));
    }

    void importThenDraw()
    {
        ProgramFixture f;
        const QString csv =
            f.writeFile(QStringLiteral("名单.csv"),
                        Gb18030::encode(QStringLiteral("2026年会名单,,\r\n工号,姓名,部门\r\n"
                                                       "XS1001,张伟,销售部\r\nXS1002,张伟,研发部\r\n"
                                                       "XS1001,张伟,销售部\r\nXS1003,李娜,研发部\r\n")));
        Edit *edit = f.shell->edit();
        edit->List1Model()->AddItem(QStringLiteral("来宾甲")); // a typed entry stays on an append
        RosterWindow *w = edit->rosterWindow();
        QSignalSpy loaded(w, &RosterWindow::loaded);
        w->openFile(csv);
        QTRY_COMPARE(loaded.count(), 1);
        const QString report = w->Text1->toPlainText();
        QVERIFY2(report.contains(QStringLiteral("重复工号: XS1001 第 3、5 行（保留第 3 行）")),
                 qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("同名: 张伟 — XS1001（第 3 行）、XS1002（第 4 行）")),
                 qPrintable(report));
        QVERIFY(report.contains(QStringLiteral("最终人数: 3")));
        // Shown, not yet done.
        QCOMPARE(edit->List1Model()->ListCount(), 1);
        QVERIFY(f.results().isEmpty());

        click(w->Command3); // append
        const QStringList people{QStringLiteral("张伟（销售部）"), QStringLiteral("张伟（研发部）"),
                                 QStringLiteral("李娜")};
        QCOMPARE(edit->List1Model()->entries(), QStringList{QStringLiteral("来宾甲")} + people);
        QCOMPARE(edit->Label3->text(), QStringLiteral("4个数据"));
        const QString fingerprint = Roster::fingerprint({{"XS1001", "张伟", "销售部", 3},
                                                         {"XS1002", "张伟", "研发部", 4},
                                                         {"XS1003", "李娜", "研发部", 6}});
        QCOMPARE(f.results(), QStringList{QStringLiteral("导入名单 名单.csv · 3 人 · 指纹 ") + fingerprint});

        // One prize for everyone on the list: each person wins once.
        QString why;
        QVERIFY(f.shell->controller().setPlan({{QStringLiteral("三等奖"), 4, 4}}, true, &why));
        f.shell->controller().setMinRollSeconds(0); // each stop at once
        f.shell->setting()->Text1->setText(QStringLiteral("年会抽奖"));
        Pick *pick = f.shell->pick();
        pick->plan()->setPositionSource(std::make_unique<SeededPositionSource>(7));
        click(f.shell->setting()->Command2);
        click(pick->Label4); // start
        click(pick->Label4); // stop
        const QStringList won = f.results().mid(1);
        QCOMPARE(won.size(), 4);
        QStringList expected{QStringLiteral("来宾甲"), QStringLiteral("张伟（销售部） · XS1001 张伟 销售部"),
                             QStringLiteral("张伟（研发部） · XS1002 张伟 研发部"),
                             QStringLiteral("李娜 · XS1003 李娜 研发部")};
        QStringList sorted = won;
        sorted.sort();
        expected.sort();
        QCOMPARE(sorted, expected);

        const QString exported = QString::fromUtf8(
            f.shell->evening().exportCsv(f.shell->roster() ? &*f.shell->roster() : nullptr));
        QVERIFY(exported.contains(QStringLiteral("奖项,名次,中奖者,工号,姓名,部门,时间")));
        QVERIFY(exported.contains(QStringLiteral(",张伟（研发部）,XS1002,张伟,研发部,")));
        QVERIFY(exported.contains(QStringLiteral(",来宾甲,,,,")));

        // Once anyone has won, the roster stays as it is.
        Dialogs::resetTestState();
        w->show();
        click(w->Command2);
        QVERIFY2(f.lastMessage().contains(QStringLiteral("已有中奖记录")), qPrintable(f.lastMessage()));
        QCOMPARE(f.results().size(), 5);
    }

    // A prize limited to some 部门: only they roll, the hall and the log are
    // told how many and which pool, and a limit nobody meets is refused.
    void eligibilityInTheOpen()
    {
        ProgramFixture f;
        QList<Roster::Person> people;
        for (int i = 0; i < 12; ++i)
            people.append({QStringLiteral("E%1").arg(i, 2, 10, QChar(u'0')), QStringLiteral("员工%1").arg(i),
                           i % 3 == 0 ? QStringLiteral("研发部") : QStringLiteral("销售部"), i + 2});
        const Roster::Held held(people, Roster::Look{}, QStringLiteral("hr.csv"));
        f.shell->edit();
        QString why;
        QVERIFY2(f.shell->controller().importRoster(held, false, &why), qPrintable(why));
        f.shell->controller().setCandidateCount(12);

        Prizes::Prize rd(QStringLiteral("研发奖"), 2, 2);
        rd.setDeptsCell(QStringLiteral("研发部"));
        Prizes::Prize nobody(QStringLiteral("财务奖"), 1, 1);
        nobody.setDeptsCell(QStringLiteral("财务部"));
        QVERIFY(f.shell->controller().setPlan({rd, nobody}, true, &why));
        f.shell->controller().setMinRollSeconds(0); // each stop at once
        f.shell->setting()->Text1->setText(QStringLiteral("年会"));
        Pick *pick = f.shell->pick();
        pick->plan()->setPositionSource(std::make_unique<SeededPositionSource>(3));
        click(f.shell->setting()->Command2);
        QVERIFY2(pick->plan()->Label12->text().contains(QStringLiteral("本奖项参与：研发部 · 共 4 人")),
                 qPrintable(pick->plan()->Label12->text()));
        click(pick->Label4); // start
        click(pick->Label4); // stop

        // The eligible pool as documented: the 研发部 people's texts, in list order.
        QStringList eligible;
        for (const Roster::Person &p : people)
            if (p.dept == QStringLiteral("研发部"))
                eligible << p.name;
        const QStringList results = f.results();
        QCOMPARE(results.at(1),
                 QStringLiteral("本奖项参与：研发部 · 共 4 人 · 指纹 ") + Prizes::fingerprint(eligible));
        QCOMPARE(results.size(), 4);
        for (const QString &won : results.mid(2))
            QVERIFY2(won.endsWith(QStringLiteral(" 研发部")), qPrintable(won));
        QCOMPARE(f.shell->evening().pools.value(0), (Prizes::PoolStamp{4, Prizes::fingerprint(eligible)}));

        // Nobody is in 财务部: refused before anything rolls, nothing written.
        Dialogs::resetTestState();
        click(pick->Label4); // the next prize is announced
        click(pick->Label4);
        QVERIFY(!pick->plan()->rolling());
        // Told on the operator's console, not over the hall's winners.
        const QString told = f.shell->loadedConsole()->Label3->text();
        QVERIFY2(told.contains(QStringLiteral("没有可以抽取财务奖的人")), qPrintable(told));
        QCOMPARE(f.results().size(), 4);
    }

    // Kept with the list: a restart brings the people back, a single draw's
    // record carries who won, and closing the list drops the roster.
    void keptAcrossARestart()
    {
        ProgramFixture f;
        // Nothing left by another suite (on Windows the saved state's test folder is shared).
        const EventState::Store store = StateKeeper::userStore();
        for (const QString &path : {store.settingsPath(), store.listPath(), store.prizesPath()})
            QFile::remove(path);
        const Roster::Held held({{"0012", "王芳", "市场部", 2}, {"0013", "王芳", "市场部", 3}},
                                Roster::Look{Roster::Look::Shown::IdName, false, true},
                                QStringLiteral("hr.xlsx"));
        {
            StateKeeper keeper(*f.shell, StateKeeper::userStore());
            keeper.restore();
            f.shell->edit();
            QString why;
            QVERIFY2(f.shell->controller().importRoster(held, false, &why), qPrintable(why));
            QVERIFY(keeper.saveNow());
        }
        f.shell = std::make_unique<WindowShell>();
        f.shell->setting();
        StateKeeper keeper(*f.shell, StateKeeper::userStore());
        keeper.restore();
        QCOMPARE(f.shell->roster(), std::optional<Roster::Held>(held));
        QCOMPARE(f.shell->edit()->List1Model()->entries(),
                 (QStringList{"00** 王芳（第 2 行）", "00** 王芳（第 3 行）"}));

        f.shell->controller().setCandidateCount(2);
        Pick *pick = f.shell->pick();
        f.scriptPositions({1});
        click(f.shell->setting()->Command2);
        click(pick->Label4);
        click(pick->Label4);
        QCOMPARE(f.results().constLast(), QStringLiteral("00** 王芳（第 3 行） · 0013 王芳 市场部"));

        f.shell->edit()->close();
        QVERIFY(!f.shell->roster());
    }
};

QTEST_MAIN(TestRosterImport)
#include "tst_rosterimport.moc"
