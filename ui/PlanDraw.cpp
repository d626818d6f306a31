#include "PlanDraw.h"

#include "BoardWindow.h"
#include "Dialogs.h"
#include "DrawEngine.h"
#include "EveningController.h"
#include "EventState.h"
#include "PositionSource.h"
#include "PrizePlan.h"
#include "UiKit.h"
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

PlanDraw::PlanDraw(EveningController &evening, QWidget &host, TwipsLayout &layout, QMenu *menu)
    : QObject(&host), m_evening(evening), m_host(host)
{
    Grid1 = new WinnerGrid(&host);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    // Inside the rules and bars around the rolling display.
    layout.place(Grid1, 255, 1575, 6690, 810);
    Label12 = addLabel(&host, layout, QStringLiteral("Label12"), QString(), uiFont(10.5, true),
                       {360, 2415, 6480, 225}, Qt::AlignHCenter | Qt::AlignTop);
    Label12->setWordWrap(false);
    Label12->setAttribute(Qt::WA_TransparentForMouseEvents); // the window's menu opens over it too
    // Nobody in the hall takes a rehearsal's winners for real ones.
    Label13 = addLabel(&host, layout, QStringLiteral("Label13"), QStringLiteral("彩 排"), uiFont(12, true),
                       {60, 60, 720, 390}, Qt::AlignCenter);
    Label13->setAutoFillBackground(true);
    QPalette mark = Label13->palette();
    mark.setColor(QPalette::Window, rgb(0xC00000));
    Label13->setPalette(mark);
    Label13->setTextColor(Qt::white);
    Label13->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label13->setVisible(evening.rehearsal());
    connect(&evening, &EveningController::rehearsalChanged, Label13, &QWidget::setVisible);
    layout.apply(TwipsLayout::pixelsPerTwip(&host));

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
    connect(popExport, &QAction::triggered, this, [this] { exportBoard(dialogParent()); });
    connect(menu, &QMenu::aboutToShow, this, &PlanDraw::refresh);
    // Offered once the pool cannot fill the prize's open places.
    connect(menu, &QMenu::aboutToShow, this, [this] { popClose->setEnabled(m_evening.canCloseShort()); });

    connect(Grid1, &WinnerGrid::cellMenuRequested, this, [this](int cell, QPoint at) {
        const int award = cellAwards().value(cell, -1);
        if (rolling() || !m_evening.evening().canVoid(award))
            return;
        QMenu menu(dialogParent());
        QAction *item = menu.addAction(QStringLiteral("未到场 → 补抽：") + voidItemText(award));
        if (menu.exec(at) == item)
            offerVoid(award);
    });
    connect(&m_evening, &EveningController::eveningChanged, this, &PlanDraw::refresh);
    connect(&m_evening, &EveningController::planShown, this, &PlanDraw::showShown);
    connect(&m_evening, &EveningController::planRolled, this, &PlanDraw::showRolling);
    connect(&m_evening, &EveningController::planRollingChanged, this, [this] { refresh(); });
    // Told by the operator's window once there is one.
    connect(&m_evening, &EveningController::refused, this, [this](const QString &reason) {
        if (!m_operator)
            Dialogs::error(&m_host, reason);
    });
    connect(&m_evening, &EveningController::warned, this, [this](const QString &title, const QString &text) {
        if (!m_operator)
            Dialogs::warn(&m_host, title, text);
    });
    connect(&m_evening, &EveningController::closeShortOffered, this, &PlanDraw::offerClose);
    showShown();
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
    return m_evening.planActive();
}

bool PlanDraw::rolling() const
{
    return m_evening.planRolling();
}

QTimer *PlanDraw::Timer2() const
{
    return m_evening.Timer2();
}

void PlanDraw::setPositionSource(std::unique_ptr<PositionSource> source)
{
    m_evening.setPositionSource(std::move(source));
}

const QList<int> &PlanDraw::cellAwards() const
{
    return m_evening.shownAwards();
}

void PlanDraw::rollClick()
{
    m_evening.roll();
}

void PlanDraw::tick()
{
    m_evening.tick();
}

void PlanDraw::refresh()
{
    const bool on = active();
    Grid1->setVisible(on);
    Label12->setVisible(on);
    const bool inMenu = m_menu->actions().contains(popBoard);
    if (on && !inMenu)
        m_menu->addActions({m_separator, popBoard, popVoid, popClose, popExport});
    else if (!on && inMenu)
        for (QAction *a : {m_separator, popBoard, popVoid, popClose, popExport})
            m_menu->removeAction(a);
    popVoid->setEnabled(on && !rolling());
    Q_EMIT activeChanged(on);
    // The board follows the evening's changes on its own.
}

void PlanDraw::relayout(double scale)
{
    m_scale = scale;
    fitTextToWidth(Label12, 10.5 * scale, 7 * scale);
}

void PlanDraw::showShown()
{
    const Prizes::Evening &e = m_evening.evening();
    QString progress = e.active() ? e.progressText(m_evening.shownPlaces()) : QString();
    const QString eligibility = m_evening.eligibilityLine();
    if (!eligibility.isEmpty())
        progress += QStringLiteral("　") + eligibility;
    Label12->setText(progress);
    relayout(m_scale);
    QStringList texts;
    QList<bool> voided;
    for (int i : m_evening.shownAwards()) {
        texts.append(e.awards.at(i).winner);
        voided.append(e.awards.at(i).voided);
    }
    Grid1->setTextColor(rgb(m_evening.titleColor()));
    Grid1->setCells(texts, voided);
}

void PlanDraw::showRolling(const QStringList &cells)
{
    // White, ringed dark by the grid: readable on the organiser's own colours as on the design's grey.
    Grid1->setTextColor(Qt::white);
    Grid1->setCells(cells, {}, true);
}

void PlanDraw::keyReleased(int key)
{
    if (!active())
        return;
    if (key == Qt::Key_M)
        showBoard();
    else if (key == Qt::Key_Delete && !rolling()) {
        QWidget *over = dialogParent();
        showVoidMenu(over == &m_host ? Grid1->mapToGlobal(Grid1->rect().center())
                                     : over->mapToGlobal(over->rect().center()));
    }
}

QString PlanDraw::voidItemText(int award) const
{
    return menuText(m_evening.awardText(award));
}

void PlanDraw::fillVoidMenu(QMenu *menu) const
{
    const Prizes::Evening &e = m_evening.evening();
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
    QMenu menu(dialogParent());
    fillVoidMenu(&menu);
    if (QAction *chosen = menu.exec(globalPos); chosen && chosen->data().isValid())
        offerVoid(chosen->data().toInt());
}

void PlanDraw::offerVoid(int award)
{
    const Prizes::Evening &e = m_evening.evening();
    if (rolling() || !e.canVoid(award))
        return;
    const Prizes::Award a = e.awards.at(award);
    const QString prize = e.prizes.at(a.prize).name;
    const bool earlier = a.prize != e.announced;
    const int choice = Dialogs::choose(
        dialogParent(), VoidTitle,
        QStringLiteral("%1 第 %2 名：%3\r\n\r\n此人未到场，作废这次中奖吗？作废记入结果文件，此人不会再中%1。"
                       "现场显示“补抽 第 %2 名”，再按开始就为这个名次单独补抽一人，转动片刻后自动停下；"
                       "之后的抽取照常抽满每次的人数。%4\r\n\r\n此人还可以参加后面的奖项吗？")
            .arg(prize, QString::number(a.place), a.winner,
                 earlier ? QStringLiteral("补抽完%1后，接着抽现在的奖项。").arg(prize) : QString()),
        {QStringLiteral("作废并补抽，可参加后面的奖项(&Y)"),
         QStringLiteral("作废并补抽，不再参加后面的奖项(&N)"), QStringLiteral("取消")});
    if (choice < 0)
        return;
    m_evening.voidAward(award, choice == 0);
}

void PlanDraw::offerClose()
{
    if (!m_evening.canCloseShort())
        return;
    const Prizes::Evening &e = m_evening.evening();
    const QString name = e.prizes.at(e.announced).name;
    const int choice = Dialogs::choose(
        dialogParent(), QStringLiteral("提前结束奖项"),
        QStringLiteral("%1\r\n\r\n提前结束%2吗？%3空缺，记入结果文件；再按开始就抽下一个奖项。")
            .arg(m_evening.closeShortReason(), name, Prizes::placesText(e.openPlaces(e.announced))),
        {QStringLiteral("提前结束(&E)"), QStringLiteral("取消")});
    if (choice != 0)
        return;
    m_evening.closeShort();
}

void PlanDraw::setOperatorWindow(QWidget *window)
{
    m_operator = window;
}

QWidget *PlanDraw::dialogParent() const
{
    return m_operator && m_operator->isVisible() ? m_operator.data() : &m_host;
}

BoardWindow *PlanDraw::board() const
{
    return m_board;
}

BoardWindow *PlanDraw::showBoard()
{
    if (!m_board) {
        m_board = new BoardWindow(m_evening);
        connect(m_board, &BoardWindow::exportRequested, this, [this] { exportBoard(m_board); });
        // The presenter's keys on the board act on the live draw.
        connect(m_board, &BoardWindow::rollRequested, this, &PlanDraw::rollRequested);
        connect(m_board, &BoardWindow::liveWindowRequested, this, &PlanDraw::liveWindowRequested);
    }
    m_board->refresh();
    bringToFront(m_board);
    return m_board;
}

void PlanDraw::exportBoard(QWidget *parent)
{
    const QString title = QStringLiteral("导出中奖名单");
    const std::optional<QString> chosen =
        Dialogs::saveFileName(parent, title, m_evening.resultLog().folder(), QStringLiteral("中奖名单.csv"),
                              QStringLiteral("CSV 文件(*.csv)|*.csv"));
    if (!chosen || chosen->isEmpty())
        return;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const QByteArray bytes =
        m_evening.evening().exportCsv(m_evening.roster() ? &*m_evening.roster() : nullptr);
    // Busy over the window that asked, not over the whole program (the hall's screen).
    QPointer<PlanDraw> self(this);
    QPointer<QWidget> owner(parent ? parent : &m_host);
    owner->setCursor(Qt::BusyCursor);
    // A file the operator picked may sit on a slow or hung disk: written away from the window.
    QThreadPool::globalInstance()->start([self, owner, path, bytes, title] {
        QString error;
        const bool ok = EventState::writeFile(path, bytes, &error);
        QMetaObject::invokeMethod(
            qApp,
            [self, owner, path, ok, error, title] {
                if (owner)
                    owner->unsetCursor();
                if (!self)
                    return;
                QWidget *where = owner ? owner.data() : &self->m_host;
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
