#include "PlanDraw.h"

#include "BoardWindow.h"
#include "CandidateList.h"
#include "Dialogs.h"
#include "DrawEngine.h"
#include "Edit.h"
#include "EventState.h"
#include "Pick.h"
#include "PositionSource.h"
#include "PrizePlan.h"
#include "UiKit.h"
#include "WindowShell.h"
#include "WinnerGrid.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QThreadPool>

namespace {

const QString VoidTitle = QStringLiteral("未到场 → 补抽");

} // namespace

PlanDraw::PlanDraw(WindowShell &shell, Pick &pick, TwipsLayout &layout, QMenu *menu)
    : QObject(&pick), m_shell(shell), m_pick(pick), m_source(std::make_unique<SystemPositionSource>())
{
    Grid1 = new WinnerGrid(&pick);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    // Inside the rules and bars around the rolling display.
    layout.place(Grid1, 255, 1575, 6690, 810);
    Label12 = addLabel(&pick, layout, QStringLiteral("Label12"), QString(), uiFont(10.5, true),
                       {360, 2415, 6480, 225}, Qt::AlignHCenter | Qt::AlignTop);
    Label12->setWordWrap(false);
    Label12->setAttribute(Qt::WA_TransparentForMouseEvents); // the window's menu opens over it too
    layout.apply(TwipsLayout::pixelsPerTwip(&pick));

    // The plan's items join the window's menu only while there is a plan.
    m_menu = menu;
    m_separator = new QAction(this);
    m_separator->setSeparator(true);
    popBoard = new QAction(QStringLiteral("中奖名单（M）"), this);
    popBoard->setObjectName(QStringLiteral("popBoard"));
    popVoid = new QAction(QStringLiteral("未到场 → 补抽…（Delete）"), this);
    popVoid->setObjectName(QStringLiteral("popVoid"));
    popClose = new QAction(QStringLiteral("提前结束本奖项…"), this);
    popClose->setObjectName(QStringLiteral("popClose"));
    popExport = new QAction(QStringLiteral("导出中奖名单…"), this);
    popExport->setObjectName(QStringLiteral("popExport"));
    connect(popBoard, &QAction::triggered, this, &PlanDraw::showBoard);
    connect(popVoid, &QAction::triggered, this, [this] { showVoidMenu(QCursor::pos()); });
    connect(popClose, &QAction::triggered, this, &PlanDraw::offerClose);
    connect(popExport, &QAction::triggered, this, [this] { exportBoard(&m_pick); });
    connect(menu, &QMenu::aboutToShow, this, &PlanDraw::refresh);
    // Offered once the pool cannot fill the prize's open places.
    connect(menu, &QMenu::aboutToShow, this, [this] {
        if (m_poolDirty && active() && !rolling())
            renewPool();
        popClose->setEnabled(active() && !rolling() && m_shell.evening().canCloseShort(int(m_pool.size())));
    });

    m_timer.setObjectName(QStringLiteral("Timer2"));
    m_timer.setInterval(DrawEngine::TickIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PlanDraw::tick);
    connect(Grid1, &WinnerGrid::cellMenuRequested, this, [this](int cell, QPoint at) {
        const int award = m_cellAwards.value(cell, -1);
        if (rolling() || !m_shell.evening().canVoid(award))
            return;
        QMenu menu(&m_pick);
        QAction *item = menu.addAction(QStringLiteral("未到场 → 补抽：") + voidItemText(award));
        if (menu.exec(at) == item)
            offerVoid(award);
    });
    // The settings' confirmation empties the display: the grid too.
    connect(pick.engine(), &DrawEngine::displayChanged, this, [this](const QString &text) {
        if (text.isEmpty() && !rolling()) {
            showAwards({});
            showProgress(m_shell.evening().nextPlaces());
        }
    });
    connect(&m_shell, &WindowShell::eveningChanged, this, [this] {
        m_poolDirty = true;
        refresh();
    });
    connect(&m_shell, &WindowShell::editLoaded, this, &PlanDraw::hookList);
    hookList();
    showProgress(m_shell.evening().nextPlaces());
    refresh();
}

PlanDraw::~PlanDraw()
{
    delete m_board;
}

bool PlanDraw::isPlanKey(int key)
{
    return BoardWindow::isBoardKey(key) || key == Qt::Key_Delete;
}

bool PlanDraw::active() const
{
    return m_shell.evening().active();
}

void PlanDraw::setPositionSource(std::unique_ptr<PositionSource> source)
{
    m_source = std::move(source);
}

void PlanDraw::hookList()
{
    m_poolDirty = true;
    Edit *edit = m_shell.loadedEdit();
    if (!edit)
        return;
    CandidateList *list = edit->List1Model();
    const auto changed = [this] { m_poolDirty = true; };
    connect(list, &CandidateList::rowsInserted, this, changed);
    connect(list, &CandidateList::rowsRemoved, this, changed);
    connect(list, &CandidateList::modelReset, this, changed);
    connect(list, &CandidateList::dataChanged, this, changed);
    connect(list, &QObject::destroyed, this, changed);
}

QStringList PlanDraw::entries() const
{
    const Edit *edit = m_shell.loadedEdit();
    return edit ? edit->List1Model()->entries() : QStringList();
}

void PlanDraw::refresh()
{
    const bool on = active();
    if (!on && rolling())
        abort();
    Grid1->setVisible(on);
    Label12->setVisible(on);
    m_pick.Label3->setVisible(!on);
    const bool inMenu = m_menu->actions().contains(popBoard);
    if (on && !inMenu)
        m_menu->addActions({m_separator, popBoard, popVoid, popClose, popExport});
    else if (!on && inMenu)
        for (QAction *a : {m_separator, popBoard, popVoid, popClose, popExport})
            m_menu->removeAction(a);
    // With a plan, who may win again is the plan's rule.
    m_pick.popLeave->setEnabled(!on);
    popVoid->setEnabled(on && !rolling());
    if (on)
        showProgress(m_shownPlaces);
    else
        m_shownPlaces.clear();
    // The board follows the evening's changes on its own.
}

void PlanDraw::relayout()
{
    const double scale = m_pick.layoutScale();
    fitTextToWidth(Label12, 10.5 * scale, 7 * scale);
}

void PlanDraw::showProgress(const QList<int> &places)
{
    m_shownPlaces = places;
    const Prizes::Evening &e = m_shell.evening();
    Label12->setText(e.active() ? e.progressText(places) : QString());
    relayout();
}

void PlanDraw::showAwards(const QList<int> &awards)
{
    const Prizes::Evening &e = m_shell.evening();
    QStringList texts;
    QList<bool> voided;
    m_cellAwards.clear();
    for (int i : awards) {
        if (i < 0 || i >= e.awards.size())
            continue;
        m_cellAwards.append(i);
        texts.append(e.awards.at(i).winner);
        voided.append(e.awards.at(i).voided);
    }
    Grid1->setCells(texts, voided);
}

void PlanDraw::rollClick()
{
    if (rolling())
        stopRolling();
    else
        startRolling();
}

void PlanDraw::startRolling()
{
    Prizes::Evening &e = m_shell.evening();
    switch (e.start()) {
    case Prizes::Evening::Start::Finished:
        Dialogs::error(&m_pick,
                       QStringLiteral("所有奖项都已抽完，不能再抽了。\r\n中奖名单可从右键菜单或 M 键打开。"));
        return;
    case Prizes::Evening::Start::Announced:
        // The hall sees the next prize before anything rolls for it.
        m_shell.noteEveningChanged();
        m_shell.saveStateNow();
        showAwards({});
        showProgress(e.nextPlaces());
        return;
    case Prizes::Evening::Start::Roll:
        break;
    }
    renewPool();
    if (m_pool.isEmpty()) {
        offerClose();
        return;
    }
    // Whatever the stop writes, the next start reads back: refused before
    // anything rolls when the evening might outgrow it.
    const qsizetype longest =
        m_pool.isEmpty()
            ? 0
            : std::max_element(m_pool.cbegin(), m_pool.cend(), [](const QString &a, const QString &b) {
                  return a.size() < b.size();
              })->size();
    QString why;
    if (!EventState::eveningRoomFor(e, int(e.nextPlaces().size()), int(longest),
                                    int(e.recordTitle(m_pick.Label1->text(), e.announced).size()), &why)) {
        Dialogs::error(&m_pick, why);
        return;
    }
    // A prize's first stop stamps its pool: worked out now rather than at
    // the stop, unless the list changes while it rolls.
    if (e.pools.value(e.announced).size < 0)
        m_poolFingerprint = Prizes::fingerprint(m_pool);
    m_timer.start();
    m_cellAwards.clear();
    Grid1->setTextColor(rgb(DrawEngine::Black));
    m_pick.Label4->setText(DrawEngine::StopCaption);
    popVoid->setEnabled(false);
    showProgress(e.nextPlaces());
    tick(); // something shows at once
}

void PlanDraw::renewPool()
{
    m_pool = m_shell.evening().pool(entries());
    m_poolDirty = false;
    m_poolFingerprint.clear();
}

void PlanDraw::tick()
{
    Prizes::Evening &e = m_shell.evening();
    if (m_poolDirty)
        renewPool();
    Grid1->setCells(e.rollingCells(m_pool, *m_source), {}, true);
}

void PlanDraw::stopRolling()
{
    m_timer.stop();
    m_pick.Label4->setText(DrawEngine::RollCaption);
    popVoid->setEnabled(true);
    Prizes::Evening &e = m_shell.evening();
    const int prize = e.announced;
    // The winners are chosen now, from the pool as it is at this moment:
    // every change of the list or of the evening has marked it for renewal.
    if (m_poolDirty)
        renewPool();
    const Prizes::Evening before = e;
    const QDateTime now = QDateTime::currentDateTime(); // the stop's one time
    const Prizes::Evening::Stop stop = e.stopFromPool(m_pool, *m_source, now, m_poolFingerprint);
    m_poolDirty = true;
    if (stop.awards.isEmpty()) {
        showAwards({});
        Dialogs::error(
            &m_pick,
            QStringLiteral("没有可以抽取的人了：列表已空，或列表中的人都已中奖。本次没有抽出任何人。"));
        return;
    }
    // What follows the stop is on disk before the hall sees it as drawn.
    m_shell.noteEveningChanged();
    const QString title = m_pick.Label1->text();
    QStringList titles, results;
    QList<int> places;
    for (int i : stop.awards) {
        titles << e.recordTitle(title, prize);
        results << e.awards.at(i).winner;
        places << e.awards.at(i).place;
    }
    const EventState::RecordOutcome outcome = appendRecords(before, titles, results, now);
    if (outcome == EventState::RecordOutcome::NotSaved) {
        // Nothing is won that could not be kept: the evening is the one before.
        e = before;
        m_shell.noteEveningChanged();
        showAwards({});
        showProgress(e.nextPlaces());
        return;
    }
    const bool logged = outcome == EventState::RecordOutcome::Recorded;
    Grid1->setTextColor(m_pick.Label1->textColor());
    showAwards(stop.awards);
    showProgress(places);
    if (!logged)
        return;
    if (stop.awards.size() < stop.wanted)
        Dialogs::warn(&m_pick, QStringLiteral("奖池不足"),
                      QStringLiteral("本次应抽 %1 名，但可以抽取的只剩 %2 人，已全部抽出。")
                          .arg(stop.wanted)
                          .arg(stop.awards.size()));
}

EventState::RecordOutcome PlanDraw::appendRecords(const Prizes::Evening &before, const QStringList &titles,
                                                  const QStringList &results, const QDateTime &when)
{
    QList<ResultLog::Record> records;
    for (qsizetype i = 0; i < titles.size(); ++i)
        records.append({titles.at(i), results.at(i), when});
    const ResultLog &log = m_shell.resultLog();
    QString error;
    const EventState::RecordOutcome outcome = m_shell.recordEvening(before, records, &error);
    // The badge counts every record, as the draw without a plan counts its
    // results: a record that could not be written was shown and told. A
    // change that could not be saved did not happen and counts nothing.
    if (outcome != EventState::RecordOutcome::NotSaved)
        m_pick.engine()->countRecords(int(records.size()));
    if (outcome != EventState::RecordOutcome::NotRecorded)
        return outcome; // recorded, or not saved (the operator has been told)
    Dialogs::error(
        &m_pick,
        QStringLiteral("本次结果未能写入 %1（文件夹 %2）：%3\r\n\r\n结果：%4\r\n请手工记下这些结果。")
            .arg(log.fileName(), log.folder(), error, results.join(QStringLiteral("、"))));
    return outcome;
}

void PlanDraw::abort()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    m_pick.Label4->setText(DrawEngine::RollCaption);
    popVoid->setEnabled(true);
    showAwards({});
    showProgress(m_shell.evening().nextPlaces());
}

void PlanDraw::keyReleased(int key)
{
    if (!active())
        return;
    if (key == Qt::Key_M)
        showBoard();
    else if (key == Qt::Key_Delete && !rolling())
        showVoidMenu(Grid1->mapToGlobal(Grid1->rect().center()));
}

QString PlanDraw::voidItemText(int award) const
{
    const Prizes::Evening &e = m_shell.evening();
    const Prizes::Award &a = e.awards.at(award);
    return menuText(
        QStringLiteral("%1 第 %2 名：%3").arg(e.prizes.at(a.prize).name, QString::number(a.place), a.winner));
}

void PlanDraw::fillVoidMenu(QMenu *menu) const
{
    const Prizes::Evening &e = m_shell.evening();
    QList<int> order; // the prize showing, then the others from the latest
    if (e.announced >= 0 && e.announced < e.prizes.size())
        order.append(e.announced);
    for (int p = int(e.prizes.size()) - 1; p >= 0; --p)
        if (p != e.announced)
            order.append(p);
    QList<QList<int>> byPrize(e.prizes.size());
    for (int i = 0; i < e.awards.size(); ++i)
        if (e.canVoid(i))
            byPrize[e.awards.at(i).prize].append(i);
    bool any = false;
    for (int p : order) {
        QList<int> &mine = byPrize[p];
        if (mine.isEmpty())
            continue;
        std::stable_sort(mine.begin(), mine.end(),
                         [&e](int a, int b) { return e.awards.at(a).place < e.awards.at(b).place; });
        if (any)
            menu->addSeparator();
        for (int i : mine)
            menu->addAction(voidItemText(i))->setData(i);
        any = true;
    }
    if (!any)
        menu->addAction(QStringLiteral("还没有可以作废的中奖者"))->setEnabled(false);
}

void PlanDraw::showVoidMenu(QPoint globalPos)
{
    if (!active() || rolling())
        return;
    QMenu menu(&m_pick);
    fillVoidMenu(&menu);
    if (QAction *chosen = menu.exec(globalPos); chosen && chosen->data().isValid())
        offerVoid(chosen->data().toInt());
}

void PlanDraw::offerVoid(int award)
{
    Prizes::Evening &e = m_shell.evening();
    if (rolling() || !e.canVoid(award))
        return;
    const Prizes::Award a = e.awards.at(award);
    const QString prize = e.prizes.at(a.prize).name;
    const bool earlier = a.prize != e.announced;
    const int choice = Dialogs::choose(
        &m_pick, VoidTitle,
        QStringLiteral("%1 第 %2 名：%3\r\n\r\n此人未到场，作废这次中奖吗？作废记入结果文件；这个名次空出来，"
                       "下次抽取只补抽空出的名次，此人不会再中%1。%4\r\n\r\n此人还可以参加后面的奖项吗？")
            .arg(prize, QString::number(a.place), a.winner,
                 earlier ? QStringLiteral("补抽完%1后，接着抽现在的奖项。").arg(prize) : QString()),
        {QStringLiteral("作废，可参加后面的奖项(&Y)"), QStringLiteral("作废，不再参加后面的奖项(&N)"),
         QStringLiteral("取消")});
    if (choice < 0 || !e.canVoid(award))
        return;
    const Prizes::Evening before = e;
    const QDateTime now = QDateTime::currentDateTime(); // the void's one time
    e.voidAward(award, choice == 0, now);
    m_shell.noteEveningChanged();
    if (appendRecords(before, {e.recordTitle(m_pick.Label1->text(), a.prize)},
                      {Prizes::Evening::voidResultText(e.awards.at(award))},
                      now) == EventState::RecordOutcome::NotSaved) {
        e = before; // the winner stays: nothing was voided
        m_shell.noteEveningChanged();
        QList<int> shown = m_cellAwards;
        showAwards(shown);
        return;
    }
    if (before.announced == e.announced) {
        QList<int> shown = m_cellAwards;
        showAwards(shown); // the cell shows the void
        return;
    }
    // An earlier prize's place: the hall sees that prize again, and what the next stop redraws.
    showAwards({});
    showProgress(e.nextPlaces());
}

void PlanDraw::offerClose()
{
    Prizes::Evening &e = m_shell.evening();
    if (!active() || rolling())
        return;
    if (m_poolDirty)
        renewPool();
    if (!e.canCloseShort(int(m_pool.size())))
        return;
    const int prize = e.announced;
    const QString name = e.prizes.at(prize).name;
    const QList<int> open = e.openPlaces(prize);
    const QString why = m_pool.isEmpty()
                            ? QStringLiteral("没有可以抽取%1的人了：列表中的人都已中奖或不能参加。").arg(name)
                            : QStringLiteral("可以抽取%1的只剩 %2 人，不够 %3 个名额。")
                                  .arg(name, QString::number(m_pool.size()), QString::number(open.size()));
    const int choice = Dialogs::choose(
        &m_pick, QStringLiteral("提前结束奖项"),
        QStringLiteral("%1\r\n\r\n提前结束%2吗？%3空缺，记入结果文件；再按开始就抽下一个奖项。")
            .arg(why, name, Prizes::placesText(open)),
        {QStringLiteral("提前结束(&E)"), QStringLiteral("取消")});
    if (choice != 0 || !e.canCloseShort(int(m_pool.size())))
        return;
    const Prizes::Evening before = e;
    const QList<int> empty = e.closeShort();
    m_shell.noteEveningChanged();
    if (appendRecords(before, {e.recordTitle(m_pick.Label1->text(), prize)},
                      {Prizes::Evening::closeResultText(empty)},
                      QDateTime::currentDateTime()) == EventState::RecordOutcome::NotSaved) {
        e = before; // the prize stays open: nothing was closed
        m_shell.noteEveningChanged();
        return;
    }
    showAwards({});
    showProgress(e.nextPlaces());
}

BoardWindow *PlanDraw::board() const
{
    return m_board;
}

BoardWindow *PlanDraw::showBoard()
{
    if (!m_board) {
        m_board = new BoardWindow(m_shell);
        connect(m_board, &BoardWindow::exportRequested, this, [this] { exportBoard(m_board); });
        // The presenter's keys on the board act on the live draw.
        connect(m_board, &BoardWindow::rollRequested, &m_pick, &Pick::pressRollButton);
        connect(m_board, &BoardWindow::liveWindowRequested, &m_pick, [this] { bringToFront(&m_pick); });
    }
    m_board->refresh();
    bringToFront(m_board);
    return m_board;
}

void PlanDraw::exportBoard(QWidget *parent)
{
    const QString title = QStringLiteral("导出中奖名单");
    const std::optional<QString> chosen =
        Dialogs::saveFileName(parent, title, m_shell.resultLog().folder(), QStringLiteral("中奖名单.csv"),
                              QStringLiteral("CSV 文件(*.csv)|*.csv"));
    if (!chosen || chosen->isEmpty())
        return;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const QByteArray bytes = m_shell.evening().exportCsv();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QPointer<PlanDraw> self(this);
    QPointer<QWidget> owner(parent);
    // A file the operator picked may sit on a slow or hung disk: written away from the window.
    QThreadPool::globalInstance()->start([self, owner, path, bytes, title] {
        QString error;
        const bool ok = EventState::writeFile(path, bytes, &error);
        QMetaObject::invokeMethod(
            qApp,
            [self, owner, path, ok, error, title] {
                QApplication::restoreOverrideCursor();
                if (!self)
                    return;
                QWidget *where = owner ? owner.data() : &self->m_pick;
                if (ok)
                    Dialogs::inform(where, title,
                                    QStringLiteral("中奖名单已写入 %1").arg(QDir::toNativeSeparators(path)));
                else
                    Dialogs::error(
                        where,
                        QStringLiteral("中奖名单未能写入 %1：%2").arg(QDir::toNativeSeparators(path), error));
                Q_EMIT self->exported(path, ok);
            },
            Qt::QueuedConnection);
    });
}
