#include "UiTestSupport.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>

// Winners leaving the pool, through the real windows.
class TestWinnerPool : public QObject
{
    Q_OBJECT

    // A shown live-draw window armed by the settings' OK, with the pool on.
    static Pick *armed(ProgramFixture &f, const QStringList &entries, bool leave = true)
    {
        f.fillList(entries);
        Pick *pick = f.shell->pick();
        pick->popLeave->setChecked(leave);
        click(f.shell->setting()->Command2);
        return pick;
    }
    static void draw(Pick *pick)
    {
        click(pick->Label4);
        click(pick->Label4);
    }
    static QStringList entries(ProgramFixture &f) { return f.shell->edit()->List1Model()->entries(); }

private Q_SLOTS:
    void choiceIsInThePopupMenuAndOffAtStart()
    {
        ProgramFixture f;
        Pick *pick = f.shell->pick();
        QCOMPARE(pick->popSet->actions(), (QList<QAction *>{pick->popBG, pick->popLeave, pick->popConsole}));
        QCOMPARE(pick->popLeave->text(), QStringLiteral("中奖者不再参与"));
        QVERIFY(pick->popLeave->isCheckable());
        QVERIFY(!pick->popLeave->isChecked());
        QVERIFY(!f.shell->module1().WinnersLeave);
        pick->popLeave->trigger();
        QVERIFY(f.shell->module1().WinnersLeave);
    }

    // Ten entries, ten draws: ten different winners, the list, its count,
    // the count label and the settings summary follow; the eleventh start is
    // refused with the empty-list message and records nothing.
    void tenDrawsTenWinnersThenRefused()
    {
        ProgramFixture f;
        QStringList names;
        for (int i = 0; i < 10; ++i)
            names << QStringLiteral("员工%1").arg(i);
        Pick *pick = armed(f, names);
        Edit *edit = f.shell->edit();
        QSet<QString> shown;
        for (int round = 0; round < 10; ++round) {
            draw(pick);
            const QString winner = pick->Label3->text();
            QVERIFY2(!shown.contains(winner), qPrintable(winner));
            shown.insert(winner);
            QVERIFY(!entries(f).contains(winner));
            QCOMPARE(f.shell->module1().CandidateCount, 9 - round);
            QCOMPARE(edit->Label3->text(), QStringLiteral("%1个数据").arg(9 - round));
            QCOMPARE(f.shell->setting()->Label10->text(), QString::number(9 - round));
            QCOMPARE(f.shell->setting()->Label8->text(), QStringLiteral("共       个候选数据"));
        }
        const QStringList results = f.results();
        QCOMPARE(results.size(), 10);
        QCOMPARE(QSet<QString>(results.cbegin(), results.cend()),
                 QSet<QString>(names.cbegin(), names.cend()));
        QVERIFY(!edit->Command4->isEnabled());
        QVERIFY(Dialogs::shownMessages().isEmpty());

        click(pick->Label4);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
        QCOMPARE(pick->Label4->text(), DrawEngine::RollCaption);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QCOMPARE(Dialogs::shownMessages().first().title, QStringLiteral("错误提示"));
        QCOMPARE(f.lastMessage(), QStringLiteral("请添加列表后继续"));
        QCOMPARE(f.results().size(), 10);
    }

    // A person listed twice wins once: every entry with the winner's text
    // leaves. The organiser's selection stays on the entry chosen (none when
    // that was the winner), so "删除" then deletes that entry.
    void winnerLeavesWithEveryEntryOfItsText_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("selectedBefore");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("selectedAfter");
        QTest::newRow("another selected before the winner")
            << QStringList{"甲", "乙", "丙", "丁"} << 2 << 0 << QStringList{"甲", "乙", "丁"} << 0;
        QTest::newRow("listed twice, selection after both")
            << QStringList{"甲", "乙", "甲", "丙"} << 2 << 3 << QStringList{"乙", "丙"} << 1;
        QTest::newRow("the winner was selected")
            << QStringList{"甲", "乙", "丙"} << 1 << 1 << QStringList{"甲", "丙"} << -1;
        QTest::newRow("the only entry, none selected") << QStringList{"甲"} << 0 << -1 << QStringList{} << -1;
    }
    void winnerLeavesWithEveryEntryOfItsText()
    {
        QFETCH(QStringList, list);
        QFETCH(int, position);
        QFETCH(int, selectedBefore);
        QFETCH(QStringList, left);
        QFETCH(int, selectedAfter);
        ProgramFixture f;
        Pick *pick = armed(f, list);
        Edit *edit = f.shell->edit();
        if (selectedBefore >= 0)
            edit->List1->selectionModel()->setCurrentIndex(edit->List1Model()->index(selectedBefore),
                                                           QItemSelectionModel::ClearAndSelect);
        f.scriptPositions({position});
        draw(pick);
        QCOMPARE(entries(f), left);
        QCOMPARE(edit->selectedIndex(), selectedAfter);
        QCOMPARE(edit->Command4->isEnabled(), selectedAfter >= 0);
        QCOMPARE(f.results(), QStringList{list.at(position)});
        if (selectedAfter >= 0) {
            click(edit->Command4);
            QVERIFY(!entries(f).contains(list.at(selectedBefore)));
            QCOMPARE(entries(f).size(), left.size() - 1);
        }
    }

    // "读 入" adds: reading the same file again with winners leaving says
    // so at once and offers "去重"; with winners staying it just adds.
    void rereadingOffersToRemoveRepeats_data()
    {
        QTest::addColumn<bool>("leave");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("left");
        const QStringList once{"甲", "乙", "丙"};
        QTest::newRow("leaving, 去重") << true << true << once;
        QTest::newRow("leaving, 保留") << true << false << once + once;
        QTest::newRow("staying: no question") << false << true << once + once;
    }
    void rereadingOffersToRemoveRepeats()
    {
        QFETCH(bool, leave);
        QFETCH(bool, answer);
        QFETCH(QStringList, left);
        ProgramFixture f;
        Edit *edit = f.shell->edit();
        f.shell->pick()->popLeave->setChecked(leave);
        const QString file = f.writeFile(QStringLiteral("names.txt"), QByteArray("甲\n乙\n丙\n"));
        edit->importListFile(file);
        QVERIFY(Dialogs::shownMessages().isEmpty()); // a first reading asks nothing
        Dialogs::setNextAnswer(answer);
        edit->importListFile(file);
        QCOMPARE(entries(f), left);
        QCOMPARE(f.shell->module1().CandidateCount, left.size());
        QCOMPARE(Dialogs::shownMessages().size(), leave ? 1 : 0);
        if (leave) {
            QCOMPARE(Dialogs::shownMessages().first().icon, QMessageBox::Question);
            QVERIFY(f.lastMessage().startsWith(QStringLiteral("读入的数据中有 3 个在列表中已经有了")));
            QVERIFY(f.lastMessage().contains(QStringLiteral("去掉重复")));
        }
    }

    void failedRecordStillRemovesTheWinner()
    {
        ProgramFixture f;
        Pick *pick = armed(f, {"王五", "赵六"});
        f.scriptPositions({0});
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("Result.txt"))); // not a file
        draw(pick);
        QCOMPARE(entries(f), QStringList{"赵六"});
        QCOMPARE(f.shell->module1().CandidateCount, 1);
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QVERIFY(f.lastMessage().contains(QStringLiteral("王五")));
    }

    // Off: nothing leaves, and eleven draws from ten entries repeat one.
    void offKeepsEveryEntry()
    {
        ProgramFixture f;
        QStringList names;
        for (int i = 0; i < 10; ++i)
            names << QString::number(i);
        Pick *pick = armed(f, names, false);
        for (int i = 0; i < 11; ++i)
            draw(pick);
        QCOMPARE(entries(f), names);
        QCOMPARE(f.shell->module1().CandidateCount, 10);
        const QStringList results = f.results();
        QCOMPARE(results.size(), 11);
        QVERIFY(QSet<QString>(results.cbegin(), results.cend()).size() < 11);
        QVERIFY(f.shell->setting()->Label10->text().isEmpty()); // the summary is the hand-over's
    }

    // The presenter keys stop on winners that leave just the same, and no
    // tick of a later start shows one of them.
    void presenterKeysAndTicksNeverShowAWinner()
    {
        ProgramFixture f;
        Pick *pick = armed(f, {"a", "b", "c", "d"});
        pick->activateWindow(); // keys act only on the active live-draw window
        QVERIFY(QTest::qWaitForWindowActive(pick));
        QSet<QString> gone;
        int shownAgain = 0;
        connect(pick->engine(), &DrawEngine::displayChanged, pick, [&](const QString &text) {
            if (gone.contains(text))
                ++shownAgain;
        });
        for (int round = 0; round < 4; ++round) {
            QTest::keyClick(pick, Qt::Key_PageDown);
            for (int t = 0; t < 5; ++t)
                pick->engine()->Tick();
            QTest::keyClick(pick, Qt::Key_PageDown);
            gone.insert(pick->Label3->text());
        }
        QCOMPARE(gone.size(), 4);
        QCOMPARE(shownAgain, 0);
        QVERIFY(entries(f).isEmpty());
        QTest::keyClick(pick, Qt::Key_Space);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Idle);
        QCOMPARE(f.lastMessage(), QStringLiteral("请添加列表后继续"));
    }

    // A new prize round (settings, a new title, OK) keeps the pool as it is.
    void nextRoundKeepsThePool()
    {
        ProgramFixture f;
        Pick *pick = armed(f, {"甲", "乙", "丙"});
        f.scriptPositions({1});
        draw(pick);
        pick->ReturnToSettings();
        f.shell->setting()->Text1->setText(QStringLiteral("二等奖"));
        click(f.shell->setting()->Command2);
        QVERIFY(pick->isVisible());
        QVERIFY(pick->popLeave->isChecked());
        QCOMPARE(entries(f), (QStringList{"甲", "丙"}));
        f.scriptPositions({1});
        draw(pick);
        QCOMPARE(entries(f), QStringList{"甲"});
        QCOMPARE(pick->Label1->text(), QStringLiteral("二等奖"));
    }

    // One-draw mode with the pool on: the winner leaves and the button is spent.
    void oneDrawModeWithThePool()
    {
        ProgramFixture f;
        click(f.shell->setting()->Option2);
        Pick *pick = armed(f, {"甲", "乙"});
        f.scriptPositions({0});
        draw(pick);
        QCOMPARE(pick->engine()->state(), DrawEngine::State::Spent);
        QCOMPARE(entries(f), QStringList{"乙"});
    }
};

QTEST_MAIN(TestWinnerPool)
#include "tst_winnerpool.moc"
