#include "BoardWindow.h"

#include "Pick.h"
#include "PrizePlan.h"
#include "ResultLog.h"
#include "UiKit.h"
#include "WindowShell.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr double HeadingPoints = 18;
constexpr double TablePoints = 12;
constexpr double ButtonPoints = 10.5;

} // namespace

BoardWindow::BoardWindow(WindowShell &shell) : QWidget(nullptr, Qt::Window), m_shell(shell)
{
    setObjectName(QStringLiteral("Board"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 中奖名单"));
    const double ppt = TwipsLayout::pixelsPerTwip(this);
    m_designSize = QSize(TwipsLayout::px(9600, ppt), TwipsLayout::px(6480, ppt));
    resize(m_designSize);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, rgb(0xE0E0E0));
    setPalette(palette);
    setAutoFillBackground(true);

    Label1 = new EventLabel(QString(), this, QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setTextColor(rgb(0xC00000));
    Table1 = new QTableWidget(0, 4, this);
    Table1->setObjectName(QStringLiteral("Table1"));
    Table1->setHorizontalHeaderLabels(
        {QStringLiteral("名次"), QStringLiteral("中奖者"), QStringLiteral("时间"), QStringLiteral("状态")});
    Table1->verticalHeader()->hide();
    Table1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table1->setSelectionMode(QAbstractItemView::NoSelection);
    Table1->setFocusPolicy(Qt::NoFocus);
    Table1->setWordWrap(false);
    Table1->setTextElideMode(Qt::ElideNone);
    Table1->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Table1->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    Command1 = new QPushButton(QStringLiteral("导出中奖名单…"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("关 闭"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    for (QPushButton *b : {Command1, Command2}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus); // the keys go to the window
    }
    connect(Command1, &QPushButton::clicked, this, &BoardWindow::exportRequested);
    connect(Command2, &QPushButton::clicked, this, [this] {
        setFullScreen(false);
        hide();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Table1, 1);
    layout->addLayout(buttons);
    setFocusPolicy(Qt::StrongFocus);
    connect(&m_shell, &WindowShell::eveningChanged, this, &BoardWindow::refresh);
    applyScale();
    refresh();
}

BoardWindow::~BoardWindow() = default;

void BoardWindow::refresh()
{
    const Prizes::Evening &e = m_shell.evening();
    QString title;
    if (Pick *pick = m_shell.loadedPick())
        title = pick->Label1->text();
    Label1->setText(title.isEmpty() ? QStringLiteral("中奖名单")
                                    : title + Prizes::TitleSeparator + QStringLiteral("中奖名单"));
    const QList<Prizes::Evening::BoardRow> rows = e.boardRows();
    Table1->clearSpans();
    Table1->setRowCount(int(rows.size()));
    QFont bold = Table1->font();
    bold.setBold(true);
    for (int r = 0; r < rows.size(); ++r) {
        const Prizes::Evening::BoardRow &row = rows.at(r);
        if (row.award < 0) {
            auto *heading = new QTableWidgetItem(e.prizeHeading(row.prize));
            heading->setFont(bold);
            heading->setBackground(QColor(0xC0, 0xC0, 0xC0));
            Table1->setItem(r, 0, heading);
            for (int c = 1; c < 4; ++c)
                Table1->setItem(r, c, new QTableWidgetItem());
            Table1->setSpan(r, 0, 1, 4);
            continue;
        }
        const Prizes::Award &a = e.awards.at(row.award);
        const QStringList cells{QStringLiteral("第 %1 名").arg(a.place), a.winner,
                                ResultLog::formatDateTime(a.time), Prizes::Evening::statusText(a)};
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (a.voided) {
                QFont struck = Table1->font();
                struck.setStrikeOut(c == 1);
                item->setFont(struck);
                item->setForeground(QColor(0x80, 0x80, 0x80));
            }
            Table1->setItem(r, c, item);
        }
    }
    Table1->resizeRowsToContents();
}

QStringList BoardWindow::rowTexts() const
{
    QStringList out;
    for (int r = 0; r < Table1->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < Table1->columnCount(); ++c)
            if (const QTableWidgetItem *item = Table1->item(r, c); item && !item->text().isEmpty())
                cells << item->text();
        out << cells.join(u'\t');
    }
    return out;
}

void BoardWindow::applyScale()
{
    m_scale =
        qMax(0.5, qMin(double(width()) / m_designSize.width(), double(height()) / m_designSize.height()));
    Label1->setFont(uiFont(HeadingPoints * m_scale, true));
    Table1->setFont(uiFont(TablePoints * m_scale));
    Table1->horizontalHeader()->setFont(uiFont(TablePoints * m_scale, true));
    for (QPushButton *b : {Command1, Command2})
        b->setFont(uiFont(ButtonPoints * m_scale));
    refresh();
}

void BoardWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyScale();
}

void BoardWindow::setFullScreen(bool on)
{
    if (on == isFullScreen())
        return;
    if (on) {
        showFullScreen();
        // Without a window manager to honour the request, take the screen ourselves.
        if (const QScreen *s = screen())
            setGeometry(s->geometry());
    } else {
        showNormal();
        resize(m_designSize);
    }
}

void BoardWindow::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (isScreenKey(key) || isRollKey(key) || isBoardKey(key)) {
        m_keys.press(event, this);
        return;
    }
    QWidget::keyPressEvent(event);
}

void BoardWindow::keyReleaseEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (!isScreenKey(key) && !isRollKey(key) && !isBoardKey(key)) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    if (!m_keys.release(event, this))
        return;
    if (isRollKey(key))
        Q_EMIT rollRequested();
    else if (isBoardKey(key))
        Q_EMIT liveWindowRequested();
    else
        setFullScreen(key == Qt::Key_F11 ? !isFullScreen() : key == Qt::Key_F5);
}

void BoardWindow::mouseDoubleClickEvent(QMouseEvent *)
{
    setFullScreen(!isFullScreen());
}

void BoardWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_keys.forget();
}
