#include "UiTestSupport.h"

#include "BoardWindow.h"
#include "PlanDraw.h"
#include "PlanWindow.h"
#include "StateKeeper.h"
#include "WinnerGrid.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTextDocumentFragment>
#include <QToolTip>

// The live draw with a prize plan, through the real windows.
class TestPrizeDraw : public QObject
{
    Q_OBJECT

    static QList<Prizes::Prize> threePrizes()
    {
        return {{QStringLiteral("三等奖"), 3, 3},
                {QStringLiteral("二等奖"), 2, 2},
                {QStringLiteral("一等奖"), 1, 1}};
    }
    // The live-draw window armed with a plan, titled 年会抽奖.
    static Pick *armed(ProgramFixture &f, const QStringList &entries, const QList<Prizes::Prize> &plan,
                       quint32 seed = 1, bool onceEach = true)
    {
        f.fillList(entries);
        QString why;
        if (!f.shell->controller().setPlan(plan, onceEach, &why))
            qFatal("plan refused");
        f.shell->controller().setMinRollSeconds(0); // each stop at once, unless a case says otherwise
        f.shell->setting()->Text1->setText(QStringLiteral("年会抽奖"));
        Pick *pick = f.shell->pick();
        pick->plan()->setPositionSource(std::make_unique<SeededPositionSource>(seed));
        click(f.shell->setting()->Command2);
        return pick;
    }
    static void start(Pick *pick) { click(pick->Label4); }
    static QStringList titlesInLog(const ProgramFixture &f)
    {
        QFile file(f.path(QStringLiteral("Result.txt")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList out;
        for (const QString &line : Gb18030::decode(file.readAll()).split(QStringLiteral("\r\n")))
            if (line.startsWith(QStringLiteral("标题: ")))
                out << line.mid(4);
        return out;
    }

private Q_SLOTS:
    // What the grid shows at the stop is what Result.txt says, in order,
    // every name whole, at the design size and full screen at 3840×2160.
    void screenEqualsRecord_data()
    {
        QTest::addColumn<int>("people");
        QTest::addColumn<int>("perStop");
        QTest::addColumn<QString>("pattern"); // empty: markup-looking names
        QTest::addColumn<int>("removeWhileRolling");
        QTest::addColumn<int>("expected");
        const QString name = QStringLiteral("王%1");
        const QString longName = QStringLiteral("第%1号员工·名字很长的一位同事");
        QTest::newRow("one") << 20 << 1 << name << 0 << 1;
        QTest::newRow("three") << 20 << 3 << name << 0 << 3;
        QTest::newRow("fifty") << 400 << 50 << name << 0 << 50;
        QTest::newRow("fifty long names") << 400 << 50 << longName << 0 << 50;
        QTest::newRow("markup names") << 12 << 5 << QString() << 0 << 5;
        QTest::newRow("list edited while rolling") << 30 << 10 << name << 25 << 4;
        QTest::newRow("pool smaller than the stop") << 4 << 6 << name << 0 << 4;
    }
    void screenEqualsRecord()
    {
        QFETCH(int, people);
        QFETCH(int, perStop);
        QFETCH(QString, pattern);
        QFETCH(int, removeWhileRolling);
        QFETCH(int, expected);
        ProgramFixture f;
        QStringList names;
        const QStringList odd{QStringLiteral("<b>王</b>"), QStringLiteral("a<br>b"), QStringLiteral("&amp;"),
                              QStringLiteral("<img src=x>"), QStringLiteral("<i>李四</i> & 张三")};
        for (int i = 0; i < people; ++i)
            names << (pattern.isEmpty() ? odd.at(i % odd.size()) + QString::number(i) : pattern.arg(i));
        Pick *pick =
            armed(f, names, {{QStringLiteral("三等奖"), qMax(perStop, 60), perStop}}, quint32(people));
        QVERIFY(pick->plan()->Grid1->isVisible());
        QVERIFY(!pick->Label3->isVisible());
        start(pick);
        QVERIFY(pick->plan()->rolling());
        pick->plan()->tick();
        QCOMPARE(pick->plan()->Grid1->cells().size(), qMin(perStop, people));
        Edit *edit = f.shell->edit();
        QSet<QString> removed;
        for (int i = 0; i < removeWhileRolling; ++i) {
            removed.insert(edit->List1Model()->List(0));
            edit->List1Model()->RemoveItem(0);
        }
        pick->plan()->tick();
        for (const QString &c : pick->plan()->Grid1->cells())
            QVERIFY(!removed.contains(c));
        if (removeWhileRolling > 0) {
            // Gone after the last tick: the stop still knows.
            removed.insert(pick->plan()->Grid1->cells().at(0));
            edit->List1Model()->RemoveItem(
                edit->List1Model()->entries().indexOf(pick->plan()->Grid1->cells().at(0)));
        }
        Dialogs::resetTestState();
        start(pick); // stop
        const QStringList shown = pick->plan()->Grid1->cells();
        // The pool stamped is the list as it was at the stop.
        const QStringList atStop = edit->List1Model()->entries();
        QCOMPARE(f.shell->evening().pools.value(0),
                 (Prizes::PoolStamp{int(atStop.size()), Prizes::fingerprint(atStop)}));
        QCOMPARE(shown.size(), expected);
        QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), expected);
        QCOMPARE(f.results(), shown);
        for (const QString &title : titlesInLog(f))
            QCOMPARE(title, QStringLiteral("年会抽奖 · 三等奖"));
        for (const QString &c : shown)
            QVERIFY(!removed.contains(c));
        QCOMPARE(f.lastMessage().isEmpty(), expected == perStop); // a short pool is told
        QVERIFY(pick->plan()->Grid1->everyNameFits());
        const double designPixels = pick->plan()->Grid1->pixelSize();
        pick->setFullScreenMode(true);
        pick->setGeometry(0, 0, 3840, 2160);
        QTRY_VERIFY(pick->plan()->Grid1->width() > 3000);
        QVERIFY(pick->plan()->Grid1->everyNameFits());
        QVERIFY(pick->plan()->Grid1->pixelSize() > designPixels * 4);
        qInfo("k=%d: %d×%d cells, %.0f px at design size, %.0f px at 3840×2160", int(shown.size()),
              pick->plan()->Grid1->columns(), pick->plan()->Grid1->rows(), designPixels,
              pick->plan()->Grid1->pixelSize());
    }

    // Three prizes of 3, 2 and 1: the line tells the prize and places, a
    // complete prize's next start shows the next prize without drawing,
    // after the last one every start is refused.
    void prizeByPrize()
    {
        ProgramFixture f;
        QStringList names;
        for (int i = 0; i < 10; ++i)
            names << QStringLiteral("人%1").arg(i);
        Pick *pick = armed(f, names, threePrizes());
        PlanDraw *plan = pick->plan();
        QCOMPARE(plan->Label12->text(), QStringLiteral("三等奖　第 1–3 名 / 共 3 名"));
        start(pick);
        start(pick);
        QCOMPARE(f.results().size(), 3);
        const double threeAtOnce = plan->Grid1->cellPixelSize(0);
        start(pick); // the next prize is announced, nothing rolls
        QVERIFY(!plan->rolling());
        QCOMPARE(plan->Label12->text(), QStringLiteral("二等奖　第 1–2 名 / 共 2 名"));
        QVERIFY(plan->Grid1->cells().isEmpty());
        QCOMPARE(f.results().size(), 3);
        start(pick);
        start(pick);
        start(pick);
        QCOMPARE(plan->Label12->text(), QStringLiteral("一等奖　第 1 名 / 共 1 名"));
        start(pick);
        start(pick);
        // The grand prize's lone winner stands larger than a stop of three.
        QVERIFY2(plan->Grid1->cellPixelSize(0) > threeAtOnce * 1.3,
                 qPrintable(QStringLiteral("%1 vs %2").arg(plan->Grid1->cellPixelSize(0)).arg(threeAtOnce)));
        const QStringList all = f.results();
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 6);
        QCOMPARE(titlesInLog(f).last(), QStringLiteral("年会抽奖 · 一等奖"));
        Dialogs::resetTestState();
        start(pick);
        QVERIFY(!plan->rolling());
        QVERIFY(f.lastMessage().startsWith(QStringLiteral("所有奖项都已抽完")));
        QCOMPARE(f.results().size(), 6);
    }

    // An absent winner: confirmed (cancel is the box's default), recorded
    // as a void, the place drawn again alone, for its own prize even once
    // the next one was announced; the voided person never again in that
    // prize, and in a later prize only when the operator allowed it. The
    // badge and the plan window count the records the log holds.
    void voidAndRedraw_data()
    {
        QTest::addColumn<int>("choice");     // -2: the real box, answered with Right then Enter
        QTest::addColumn<bool>("afterNext"); // voided once the next prize is announced
        QTest::newRow("cancelled") << -1 << false;
        QTest::newRow("Right then Enter") << -2 << false;
        QTest::newRow("may win later") << 0 << false;
        QTest::newRow("not later") << 1 << false;
        QTest::newRow("after the next prize is announced") << 1 << true;
    }
    void voidAndRedraw()
    {
        QFETCH(int, choice);
        QFETCH(bool, afterNext);
        ProgramFixture f;
        QStringList names;
        for (int i = 0; i < 8; ++i)
            names << QStringLiteral("Ünal & Öz %1").arg(i); // marks over capitals, an ampersand
        Pick *pick = armed(f, names, {{QStringLiteral("三等奖"), 6, 3}, {QStringLiteral("二等奖"), 2, 2}});
        PlanDraw *plan = pick->plan();
        BoardWindow *board = plan->showBoard(); // open all along: it follows each change
        start(pick);
        start(pick);
        const int award = plan->cellAwards().at(1);
        const QString absent = plan->Grid1->cells().at(1);
        if (afterNext) {
            start(pick);
            start(pick);
            start(pick); // 二等奖 announced
        }
        const int drawn = int(f.results().size());
        // Every winner that may be voided, the prize showing first, each named with its prize.
        QMenu menu;
        plan->fillVoidMenu(&menu);
        QStringList offered;
        for (QAction *item : menu.actions())
            if (item->data().isValid())
                offered << item->text();
        QCOMPARE(offered.size(), drawn);
        QCOMPARE(offered.at(1), QStringLiteral("三等奖 第 2 名：") +
                                    QString(absent).replace(QStringLiteral("&"), QStringLiteral("&&")));
        if (choice == -2) {
            // A presenter remote's Right moves nothing: Enter stays on 取消.
            Dialogs::showRealMessageBoxes(true);
            onNextMessageBox([](QMessageBox *box) { // to the button holding the focus
                QTest::keyClick(box->focusWidget(), Qt::Key_Right);
                QTest::keyClick(box->focusWidget(), Qt::Key_Enter);
            });
            plan->offerVoid(award);
        } else if (choice < 0) {
            // A real box: Enter cancels, and the marks over the first line's capitals show.
            Dialogs::showRealMessageBoxes(true);
            QString defaultButton;
            QRect marks; // where the label differs from one with plain U and O
            onNextMessageBox([&](QMessageBox *box) {
                defaultButton = box->defaultButton()->text();
                QLabel *label = messageLabel(box);
                const QString text = label->text();
                const QImage marked = label->grab().toImage();
                label->setText(QString(text).replace(u'Ü', u'U').replace(u'Ö', u'O'));
                const QImage plain = label->grab().toImage();
                for (int y = 0; y < marked.height(); ++y)
                    for (int x = 0; x < marked.width(); ++x)
                        if (marked.pixel(x, y) != plain.pixel(x, y))
                            marks |= QRect(x, y, 1, 1);
                label->setText(text);
                pressEnterOn(box);
            });
            plan->offerVoid(award);
            QCOMPARE(defaultButton, QStringLiteral("取消"));
            // Where the platform has no font at all (the Windows build's
            // offscreen platform under Wine) no text is drawn to compare.
            if (!QFontDatabase::families().isEmpty()) {
                QVERIFY(!marks.isEmpty());
                QVERIFY2(marks.top() > 0, "the marks are cut at the label's top edge");
            }
        } else {
            Dialogs::setNextChoice(choice);
            plan->offerVoid(award);
        }
        QCOMPARE(Dialogs::shownMessages().constLast().title, QStringLiteral("未到场 → 补抽"));
        QCOMPARE(f.shell->evening().awards.at(award).voided, choice >= 0);
        if (choice < 0) {
            QCOMPARE(f.results().size(), drawn);
            return;
        }
        QCOMPARE(f.results().size(), drawn + 1);
        QVERIFY(
            f.results().last().startsWith(QStringLiteral("作废 ") + absent + QStringLiteral("（第 2 名")));
        QCOMPARE(titlesInLog(f).last(), QStringLiteral("年会抽奖 · 三等奖"));
        QCOMPARE(pick->Label6->text(), QString::number(drawn + 1));
        PlanWindow window(f.shell->controller());
        QVERIFY(window.Label1->text().contains(QStringLiteral("%1 条记录").arg(drawn + 1)));
        start(pick); // the redraw: the voided place only
        QCOMPARE(plan->Label12->text(), QStringLiteral("三等奖　第 2 名 / 共 6 名"));
        start(pick);
        QCOMPARE(plan->Grid1->cells().size(), 1);
        QVERIFY(plan->Grid1->cells().at(0) != absent);
        QCOMPARE(f.results().size(), drawn + 2);
        QCOMPARE(titlesInLog(f).last(), QStringLiteral("年会抽奖 · 三等奖"));
        // Then the evening goes on where it was.
        start(pick);
        QCOMPARE(plan->Label12->text(), afterNext ? QStringLiteral("二等奖　第 1–2 名 / 共 2 名")
                                                  : QStringLiteral("三等奖　第 4–6 名 / 共 6 名"));
        if (!afterNext) {
            start(pick);
            start(pick); // 二等奖 announced
        }
        // 二等奖: one person left, plus the absent one if allowed.
        const QStringList pool = f.shell->evening().pool(f.shell->edit()->List1Model()->entries());
        QCOMPARE(pool.contains(absent), choice == 0);
        QCOMPARE(pool.size(), choice == 0 ? 2 : 1);
        // The board shows the void before the place's new winner, as a
        // board opened now would.
        const QStringList rows = board->rowTexts();
        QCOMPARE(rows.size(), 2 + 7);
        QVERIFY(rows.at(2).startsWith(QStringLiteral("第 2 名\t") + absent));
        QVERIFY(rows.at(2).contains(QStringLiteral("作废")));
        QVERIFY(rows.at(3).startsWith(QStringLiteral("第 2 名\t")));
        QCOMPARE(rows, BoardWindow(f.shell->controller()).rowTexts());
        const QList<Prizes::Evening::BoardRow> boardRows = f.shell->evening().boardRows();
        for (qsizetype r = 0; r < boardRows.size(); ++r)
            if (boardRows.at(r).award < 0)
                QCOMPARE(board->Table1->columnSpan(int(r), 0), 4); // the prizes' headings
    }

    // A long name keeps to its own cell: the others keep the grid's size;
    // one too long to fit ends in "…" and shows whole on hover. On the board
    // it is cut in the middle, so names alike at their start still differ.
    void longNameKeepsToItsCell_data()
    {
        QTest::addColumn<int>("people");
        QTest::addColumn<int>("longLength");
        QTest::addColumn<bool>("whole");
        QTest::newRow("ten, one of 60 characters") << 10 << 60 << false;
        QTest::newRow("fifty, one of 60 characters") << 50 << 60 << false;
        QTest::newRow("one of 40 characters, on two lines") << 1 << 40 << true;
    }
    void longNameKeepsToItsCell()
    {
        QFETCH(int, people);
        QFETCH(int, longLength);
        QFETCH(bool, whole);
        const QString prefix = QStringLiteral("<i>华东</i>分公司市场部");
        const QString longName = prefix + QStringLiteral("长").repeated(longLength - int(prefix.size()) - 2) +
                                 QStringLiteral("张三");
        double gridPixels = 0;
        for (bool withLong : {false, true}) {
            ProgramFixture f;
            QStringList names;
            for (int i = 0; i < people; ++i)
                names << QStringLiteral("王%1").arg(i, 2, 10, QLatin1Char('0'));
            names.last() = withLong ? longName : QStringLiteral("李四");
            if (withLong && people > 1)
                names.first() = QString(longName).replace(QStringLiteral("张三"), QStringLiteral("赵六"));
            Pick *pick = armed(f, names, {{QStringLiteral("三等奖"), people, people}});
            WinnerGrid *grid = pick->plan()->Grid1;
            start(pick);
            start(pick);
            QCOMPARE(grid->cells().size(), people);
            if (!withLong) {
                gridPixels = grid->pixelSize();
                continue;
            }
            const int cell = int(grid->cells().indexOf(longName));
            for (int i = 0; i < people; ++i)
                if (!grid->cells().at(i).contains(prefix))
                    QCOMPARE(grid->cellPixelSize(i), gridPixels);
            QCOMPARE(grid->nameFits(cell), whole);
            const QString shown = grid->shownText(cell);
            QVERIFY(grid->cellPixelSize(cell) >= grid->pixelSize() * WinnerGrid::FloorShare - 1);
            qInfo("%d names at %.0f px, the long one at %.0f px: %s", people, grid->pixelSize(),
                  grid->cellPixelSize(cell), qPrintable(shown));
            if (whole) {
                QCOMPARE(shown.count(u'\n'), 1);
                QCOMPARE(QString(shown).remove(u'\n'), longName);
            } else {
                QVERIFY(shown.endsWith(QStringLiteral("…")));
                QVERIFY(longName.startsWith(QString(shown).remove(u'\n').chopped(1)));
            }
            QHelpEvent hover(QEvent::ToolTip, grid->cellRect(cell).center().toPoint(),
                             grid->mapToGlobal(grid->cellRect(cell).center().toPoint()));
            QApplication::sendEvent(grid, &hover);
            QCOMPARE(QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText(), longName);
            QToolTip::hideText();

            // The board: the names cut in the middle at the design size,
            // whole in their tooltips and in the export.
            QTableView *table = pick->plan()->showBoard()->Table1;
            const int room =
                table->columnWidth(1) -
                2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
            QStringList cut;
            for (int r = 1; r < table->model()->rowCount(); ++r) {
                const QModelIndex name = table->model()->index(r, 1);
                const QString text = name.data().toString();
                const QString drawn =
                    QFontMetrics(table->font()).elidedText(text, table->textElideMode(), room);
                QCOMPARE(drawn == text, !text.contains(prefix));
                if (drawn != text) {
                    QVERIFY(drawn.contains(QStringLiteral("…")));
                    QCOMPARE(drawn.back(), text.back());
                    cut << drawn;
                }
                QCOMPARE(QTextDocumentFragment::fromHtml(name.data(Qt::ToolTipRole).toString()).toPlainText(),
                         text);
            }
            QCOMPARE(QSet<QString>(cut.cbegin(), cut.cend()).size(), qMin(people, 2));
            QVERIFY(QString::fromUtf8(f.shell->evening().exportCsv()).contains(longName));
        }
    }

    // A prize its pool cannot fill (each may win several times, 8 people,
    // 10 places) is closed short through the box at the start or the menu:
    // one record names the empty places, and the next start moves on.
    void closeShort_data()
    {
        QTest::addColumn<int>("stops");
        QTest::addColumn<QString>("empty");
        QTest::newRow("nobody left, at the start") << 2 << QStringLiteral("第 9–10 名");
        QTest::newRow("too few, from the menu") << 1 << QStringLiteral("第 6–10 名");
    }
    void closeShort()
    {
        QFETCH(int, stops);
        QFETCH(QString, empty);
        ProgramFixture f;
        QStringList names;
        for (int i = 0; i < 8; ++i)
            names << QStringLiteral("人%1").arg(i);
        Pick *pick =
            armed(f, names, {{QStringLiteral("参与奖"), 10, 5}, {QStringLiteral("一等奖"), 1, 1}}, 1, false);
        PlanDraw *plan = pick->plan();
        for (int i = 0; i < stops; ++i) {
            start(pick);
            start(pick);
        }
        Dialogs::setNextChoice(0);
        if (stops == 2) {
            start(pick);
        } else {
            Q_EMIT pick->popSet->aboutToShow();
            QVERIFY(plan->popClose->isEnabled());
            plan->popClose->trigger();
        }
        QCOMPARE(Dialogs::shownMessages().value(Dialogs::shownMessages().size() - 1).title,
                 QStringLiteral("提前结束奖项"));
        QCOMPARE(f.results().last(), QStringLiteral("提前结束：%1空缺（可以抽取的人不够）").arg(empty));
        QCOMPARE(titlesInLog(f).last(), QStringLiteral("年会抽奖 · 参与奖"));
        QVERIFY(plan->Label12->text().contains(QStringLiteral("提前结束")));
        start(pick); // the next prize
        QCOMPARE(plan->Label12->text(), QStringLiteral("一等奖　第 1 名 / 共 1 名"));
        start(pick);
        start(pick);
        QCOMPARE(titlesInLog(f).last(), QStringLiteral("年会抽奖 · 一等奖"));
        QCOMPARE(pick->Label6->text(), QString::number(f.results().size()));
        QVERIFY(plan->showBoard()->rowTexts().at(0).contains(QStringLiteral("提前结束")));
    }

    // A restart gives the same evening back: plan, places, winners, voids,
    // and the board reads the same.
    void restartKeepsTheEvening()
    {
        QTemporaryDir home;
        pointStateAt(home.path());
        QDir(QFileInfo(StateKeeper::userStore().listPath()).absolutePath()).removeRecursively();
        QStringList before;
        Prizes::Evening saved;
        {
            ProgramFixture f;
            StateKeeper keeper(*f.shell, StateKeeper::userStore());
            keeper.restore();
            QStringList names;
            for (int i = 0; i < 8; ++i)
                names << QStringLiteral("人%1").arg(i);
            Pick *pick = armed(f, names, threePrizes());
            start(pick);
            start(pick);
            Dialogs::setNextChoice(1);
            pick->plan()->offerVoid(pick->plan()->cellAwards().at(0));
            before = pick->plan()->showBoard()->rowTexts();
            saved = f.shell->evening();
            // No pause for the keeper: the stop and the void were written at once.
        }
        ProgramFixture g;
        StateKeeper keeper(*g.shell, StateKeeper::userStore());
        keeper.restore();
        QCOMPARE(g.shell->evening(), saved);
        QCOMPARE(g.shell->pick()->plan()->showBoard()->rowTexts().mid(0), before);
        QCOMPARE(g.shell->evening().nextPlaces(), QList<int>({1}));
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
    }

    void exportWritesTheCsv_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("ok");
        QTest::newRow("written") << QStringLiteral("名单.csv") << true;
        QTest::newRow("suffix added") << QStringLiteral("名单") << true;
        QTest::newRow("a folder in the way") << QStringLiteral("folder.csv") << false;
    }
    void exportWritesTheCsv()
    {
        QFETCH(QString, name);
        QFETCH(bool, ok);
        ProgramFixture f;
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("folder.csv")));
        Pick *pick =
            armed(f, {QStringLiteral("甲"), QStringLiteral("乙,丙"), QStringLiteral("丁")}, threePrizes());
        start(pick);
        start(pick);
        PlanDraw *plan = pick->plan();
        QSignalSpy done(plan, &PlanDraw::exported);
        Dialogs::setNextSaveFileName(f.path(name));
        plan->popExport->trigger();
        QVERIFY(done.wait(5000));
        const QString written = done.at(0).at(0).toString();
        QCOMPARE(done.at(0).at(1).toBool(), ok);
        QVERIFY(written.endsWith(QStringLiteral(".csv")));
        QCOMPARE(Dialogs::shownMessages().constLast().icon,
                 ok ? QMessageBox::Information : QMessageBox::Warning);
        QVERIFY(f.lastMessage().contains(QDir::toNativeSeparators(written)));
        if (!ok)
            return;
        QFile file(written);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes, f.shell->evening().exportCsv());
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF奖项,名次,中奖者"));
        QVERIFY(bytes.contains("\"乙,丙\""));
    }

    // The plan window is reached from the settings window's right-click
    // menu; it saves a plan, and locks it once winners are drawn.
    void planWindowSavesAndLocks()
    {
        ProgramFixture f;
        Setting *setting = f.shell->setting();
        const QRect designed = setting->Command2->geometry();
        auto *item = setting->findChild<QAction *>(QStringLiteral("popPrizes"));
        QVERIFY(item);
        item->trigger();
        PlanWindow *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == u"Plan" && w->isVisible())
                window = qobject_cast<PlanWindow *>(w);
        QVERIFY(window);
        QCOMPARE(setting->Command2->geometry(), designed);
        QVERIFY(window->Check1->isChecked());
        window->addPrize(QStringLiteral("三等奖"), 20, 3);
        window->addPrize(QStringLiteral("  "), 1, 1);
        QVERIFY(!window->save());
        QVERIFY(f.lastMessage().contains(QStringLiteral("没有名称")));
        window->Table1->removeRow(1);
        window->Check1->setChecked(false);
        QVERIFY(window->save());
        QCOMPARE(f.shell->evening().prizes, (QList<Prizes::Prize>{{QStringLiteral("三等奖"), 20, 3}}));
        QVERIFY(!f.shell->evening().onceEach);
        Pick *pick = armed(f, {QStringLiteral("甲"), QStringLiteral("乙")}, f.shell->evening().prizes);
        start(pick);
        start(pick);
        window->load();
        QVERIFY(!window->Table1->isEnabled());
        QVERIFY(window->Command7->isEnabled());
        // The roll time can still change, and is kept with the evening.
        window->Spin1->setValue(3);
        QVERIFY(window->save());
        QCOMPARE(f.shell->evening().minRollSeconds, 3);
        QCOMPARE(f.shell->evening().awards.size(), 2);
        Dialogs::setNextChoice(0);
        click(window->Command7);
        QVERIFY(f.shell->evening().awards.isEmpty());
        QVERIFY(window->Command5->isEnabled());
        QCOMPARE(f.results().size(), 2); // the log keeps what was drawn
    }

    // The settings window says a plan exists and opens it; the plan window
    // switches a rehearsal that the hall sees marked, that records apart
    // and leaves the evening as it was.
    void rehearsalFromThePlanWindow()
    {
        ProgramFixture f;
        Setting *setting = f.shell->setting();
        QVERIFY(setting->Label11->text().contains(QStringLiteral("未设置")));
        Pick *pick = armed(f, QStringLiteral("甲 乙 丙 丁 戊 己").split(u' '), threePrizes());
        QVERIFY(setting->Label11->text().contains(QStringLiteral("3 项 6 名")));
        start(pick);
        start(pick);
        const Prizes::Evening before = f.shell->evening();
        const QStringList real = f.results();
        QTest::mouseClick(setting->Label11, Qt::LeftButton);
        PlanWindow *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == u"Plan" && w->isVisible())
                window = qobject_cast<PlanWindow *>(w);
        QVERIFY(window);
        QVERIFY(!pick->plan()->Label13->isVisible());
        window->Check2->click();
        QVERIFY(f.shell->controller().rehearsal());
        QVERIFY(pick->plan()->Label13->isVisible());
        QVERIFY(!window->Table1->isEnabled());
        start(pick); // 二等奖 announced, rolled, stopped
        start(pick);
        start(pick);
        QCOMPARE(f.shell->controller().evening().awards.size(), before.awards.size() + 2);
        QCOMPARE(f.shell->evening(), before); // what is kept
        QCOMPARE(f.results(), real);
        QCOMPARE(resultsInLog(f.path(QStringLiteral("Result-彩排.txt"))).size(), 2);
        window->Check2->click();
        QVERIFY(!f.shell->controller().rehearsal());
        QVERIFY(!pick->plan()->Label13->isVisible());
        QCOMPARE(f.shell->controller().evening(), before);
        QVERIFY(pick->plan()->cellAwards().isEmpty());
    }

    // M and Delete act at their release, only after their own press. On the
    // board the roll keys work the live draw and M goes back to it, by the
    // same rule.
    void boardKey()
    {
        ProgramFixture f;
        Pick *pick = armed(f, {QStringLiteral("甲"), QStringLiteral("乙")}, threePrizes());
        QVERIFY(QTest::qWaitForWindowActive(pick));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_M, Qt::NoModifier);
        QApplication::sendEvent(pick, &release);
        QVERIFY(!pick->plan()->board());
        QTest::keyPress(pick, Qt::Key_M);
        QVERIFY(!pick->plan()->board());
        QTest::keyRelease(pick, Qt::Key_M);
        BoardWindow *board = pick->plan()->board();
        QVERIFY(board && board->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(board));
        QKeyEvent spaceRelease(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
        QApplication::sendEvent(board, &spaceRelease);
        QVERIFY(!pick->plan()->rolling());
        QTest::keyClick(board, Qt::Key_Space);
        QVERIFY(pick->plan()->rolling());
        QTest::keyClick(board, Qt::Key_PageDown);
        QVERIFY(!pick->plan()->rolling());
        QCOMPARE(f.results().size(), 2);
        // F11 gives the hall the table alone; Escape gives it back.
        QTest::keyClick(board, Qt::Key_F11);
        QVERIFY(board->isFullScreenMode());
        QVERIFY(!board->Command1->isVisible() && !board->Command2->isVisible());
        QTest::keyClick(board, Qt::Key_Escape);
        QVERIFY(!board->isFullScreenMode());
        QVERIFY(board->Command1->isVisible() && board->Command2->isVisible());
        QTest::keyClick(board, Qt::Key_M);
        QVERIFY(QTest::qWaitForWindowActive(pick));
        QTest::keyClick(pick, Qt::Key_M);
        QVERIFY(QTest::qWaitForWindowActive(board));
    }
};

QTEST_MAIN(TestPrizeDraw)
#include "tst_prizedraw.moc"
