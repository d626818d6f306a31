#include "BoardWindow.h"

#include "EveningController.h"
#include "PrizePlan.h"
#include "ResultLog.h"
#include "UiKit.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr double HeadingPoints = 18;
constexpr double TablePoints = 12;
constexpr double ButtonPoints = 10.5;

enum Column { PlaceColumn, WinnerColumn, TimeColumn, StatusColumn, Columns };

} // namespace

// The board's rows, kept in step with the evening one change at a time: a
// stop adds its winners' rows, a void changes its own row, and each changes
// its prize's heading; only a new plan or a different evening lays out every
// row again. A long name is cut in the middle ("…") where it does not fit,
// and shows whole as its tooltip.
class BoardModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    // True when every row was laid out again.
    bool follow(const Prizes::Evening &e);
    void setTableFont(const QFont &font);
    const QList<int> &headingRows() const { return m_headingRow; }
    // What the narrow columns must hold.
    QStringList longestTexts(int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : Columns;
    }
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void reset(const Prizes::Evening &e);
    void noteShown(const Prizes::Award &a);
    int rowOf(int award) const;
    QString text(int row, int column) const;

    QList<Prizes::Prize> m_prizes;
    QList<Prizes::PoolStamp> m_pools;
    QStringList m_headings;                  // of each prize
    QList<int> m_headingRow;                 // of each prize
    QList<Prizes::Award> m_awards;           // as shown, by award
    QList<Prizes::Evening::BoardRow> m_rows; // as Evening::boardRows()
    int m_widestPlace = 0;
    QSet<QString> m_statuses;
    QFont m_bold, m_struck;
};

bool BoardModel::follow(const Prizes::Evening &e)
{
    if (e.prizes != m_prizes || e.awards.size() < m_awards.size()) {
        reset(e);
        return true;
    }
    QList<bool> touched(m_prizes.size(), false);
    // Awards already shown change only by a void; anything else is another evening.
    for (qsizetype i = 0; i < m_awards.size(); ++i) {
        const Prizes::Award &now = e.awards.at(i);
        const Prizes::Award &was = m_awards.at(i);
        if (now == was)
            continue;
        if (now.prize != was.prize || now.place != was.place || now.stop != was.stop ||
            now.winner != was.winner || now.time != was.time) {
            reset(e);
            return true;
        }
        m_awards[i] = now;
        noteShown(now);
        const int row = rowOf(int(i));
        Q_EMIT dataChanged(index(row, 0), index(row, Columns - 1));
        touched[now.prize] = true;
    }
    // New awards go after their prize's rows of the same place or a lower
    // one: a void stays before the winner who took its place back.
    for (qsizetype i = m_awards.size(); i < e.awards.size(); ++i) {
        const Prizes::Award &a = e.awards.at(i);
        if (a.prize < 0 || a.prize >= m_prizes.size()) {
            reset(e);
            return true;
        }
        const int first = m_headingRow.at(a.prize) + 1;
        const int end = a.prize + 1 < m_headingRow.size() ? m_headingRow.at(a.prize + 1) : int(m_rows.size());
        const auto at = std::upper_bound(m_rows.cbegin() + first, m_rows.cbegin() + end, a.place,
                                         [this](int place, const Prizes::Evening::BoardRow &r) {
                                             return place < m_awards.at(r.award).place;
                                         });
        const int row = int(at - m_rows.cbegin());
        beginInsertRows(QModelIndex(), row, row);
        m_awards.append(a);
        m_rows.insert(row, {a.prize, int(i)});
        for (qsizetype p = a.prize + 1; p < m_headingRow.size(); ++p)
            ++m_headingRow[p];
        noteShown(a);
        endInsertRows();
        touched[a.prize] = true;
    }
    for (qsizetype p = 0; p < m_prizes.size(); ++p) {
        if (e.pools.value(p) != m_pools.value(p))
            touched[p] = true;
        if (!touched.at(p))
            continue;
        const QString heading = e.prizeHeading(int(p));
        if (heading == m_headings.at(p))
            continue;
        m_headings[p] = heading;
        Q_EMIT dataChanged(index(m_headingRow.at(p), 0), index(m_headingRow.at(p), Columns - 1));
    }
    m_pools = e.pools;
    return false;
}

void BoardModel::reset(const Prizes::Evening &e)
{
    beginResetModel();
    m_prizes = e.prizes;
    m_pools = e.pools;
    m_awards = e.awards;
    m_rows = e.boardRows();
    m_headings.clear();
    m_headingRow.clear();
    m_widestPlace = 0;
    m_statuses.clear();
    for (int r = 0; r < m_rows.size(); ++r) {
        const Prizes::Evening::BoardRow &row = m_rows.at(r);
        if (row.award >= 0) {
            noteShown(m_awards.at(row.award));
            continue;
        }
        m_headingRow.append(r);
        m_headings.append(e.prizeHeading(row.prize));
    }
    endResetModel();
}

void BoardModel::noteShown(const Prizes::Award &a)
{
    m_widestPlace = qMax(m_widestPlace, a.place);
    m_statuses.insert(Prizes::Evening::statusText(a));
}

int BoardModel::rowOf(int award) const
{
    const Prizes::Award &a = m_awards.at(award);
    const int first = m_headingRow.at(a.prize) + 1;
    const int end = a.prize + 1 < m_headingRow.size() ? m_headingRow.at(a.prize + 1) : int(m_rows.size());
    auto it = std::lower_bound(
        m_rows.cbegin() + first, m_rows.cbegin() + end, a.place,
        [this](const Prizes::Evening::BoardRow &r, int place) { return m_awards.at(r.award).place < place; });
    while (it != m_rows.cbegin() + end && it->award != award)
        ++it;
    return int(it - m_rows.cbegin());
}

void BoardModel::setTableFont(const QFont &font)
{
    m_bold = font;
    m_bold.setBold(true);
    m_struck = font;
    m_struck.setStrikeOut(true);
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(int(m_rows.size()) - 1, Columns - 1), {Qt::FontRole});
}

QStringList BoardModel::longestTexts(int column) const
{
    switch (column) {
    case PlaceColumn:
        return {QStringLiteral("第 %1 名").arg(m_widestPlace)};
    case TimeColumn:
        return {QStringLiteral("0000-00-00 00:00:00")};
    case StatusColumn:
        return QStringList(m_statuses.cbegin(), m_statuses.cend());
    default:
        return {};
    }
}

QString BoardModel::text(int row, int column) const
{
    const Prizes::Evening::BoardRow &r = m_rows.at(row);
    if (r.award < 0)
        return column == PlaceColumn ? m_headings.at(r.prize) : QString();
    const Prizes::Award &a = m_awards.at(r.award);
    switch (column) {
    case PlaceColumn:
        return QStringLiteral("第 %1 名").arg(a.place);
    case WinnerColumn:
        return a.winner;
    case TimeColumn:
        return ResultLog::formatDateTime(a.time);
    default:
        return Prizes::Evening::statusText(a);
    }
}

QVariant BoardModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Prizes::Evening::BoardRow &r = m_rows.at(index.row());
    const bool heading = r.award < 0;
    const bool voided = !heading && m_awards.at(r.award).voided;
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::ToolTipRole:
        // The whole text of a cell that may be cut: a heading, a name.
        if (heading || index.column() == WinnerColumn)
            return plainToolTip(text(index.row(), index.column()));
        return QVariant();
    case Qt::FontRole:
        if (heading)
            return m_bold;
        if (voided && index.column() == WinnerColumn)
            return m_struck;
        return QVariant();
    case Qt::ForegroundRole:
        return voided ? QVariant(QColor(0x80, 0x80, 0x80)) : QVariant();
    case Qt::BackgroundRole:
        return heading ? QVariant(QColor(0xC0, 0xC0, 0xC0)) : QVariant();
    default:
        return QVariant();
    }
}

QVariant BoardModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList titles{QStringLiteral("名次"), QStringLiteral("中奖者"), QStringLiteral("时间"),
                                    QStringLiteral("状态")};
    return titles.value(section);
}

BoardWindow::BoardWindow(EveningController &evening) : QWidget(nullptr, Qt::Window), m_evening(evening)
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
    m_model = new BoardModel(this);
    Table1 = new QTableView(this);
    Table1->setObjectName(QStringLiteral("Table1"));
    Table1->setModel(m_model);
    Table1->verticalHeader()->hide();
    // Every row is one line high: no row is measured.
    Table1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table1->setSelectionMode(QAbstractItemView::NoSelection);
    Table1->setFocusPolicy(Qt::NoFocus);
    Table1->setWordWrap(false);
    // Names that share a long beginning still differ where they end.
    Table1->setTextElideMode(Qt::ElideMiddle);
    // The narrow columns are as wide as their longest text can be, so no
    // row is measured either; the names take the rest.
    Table1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table1->horizontalHeader()->setSectionResizeMode(WinnerColumn, QHeaderView::Stretch);
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
    connect(&m_evening, &EveningController::eveningChanged, this, &BoardWindow::refresh);
    refresh();
    applyScale();
}

BoardWindow::~BoardWindow() = default;

void BoardWindow::refresh()
{
    const QString title = m_evening.title();
    Label1->setText(title.isEmpty() ? QStringLiteral("中奖名单")
                                    : title + Prizes::TitleSeparator + QStringLiteral("中奖名单"));
    if (m_model->follow(m_evening.evening())) {
        Table1->clearSpans();
        for (int row : m_model->headingRows())
            Table1->setSpan(row, 0, 1, Columns);
    }
    fitColumns();
}

void BoardWindow::fitColumns()
{
    const QFontMetrics plain(Table1->font());
    const QFontMetrics bold(Table1->horizontalHeader()->font());
    const int margin = 2 * (Table1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Table1) + 1) +
                       plain.averageCharWidth();
    for (int c : {PlaceColumn, TimeColumn, StatusColumn}) {
        int width =
            bold.horizontalAdvance(m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        for (const QString &t : m_model->longestTexts(c))
            width = qMax(width, plain.horizontalAdvance(t));
        if (Table1->horizontalHeader()->sectionSize(c) != width + margin)
            Table1->horizontalHeader()->resizeSection(c, width + margin);
    }
}

QStringList BoardWindow::rowTexts() const
{
    QStringList out;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m_model->columnCount(); ++c)
            if (const QString t = m_model->index(r, c).data().toString(); !t.isEmpty())
                cells << t;
        out << cells.join(u'\t');
    }
    return out;
}

void BoardWindow::applyScale()
{
    m_scale =
        qMax(0.5, qMin(double(width()) / m_designSize.width(), double(height()) / m_designSize.height()));
    Label1->setFont(uiFont(HeadingPoints * m_scale, true));
    const QFont table = uiFont(TablePoints * m_scale);
    Table1->setFont(table);
    m_model->setTableFont(table);
    Table1->horizontalHeader()->setFont(uiFont(TablePoints * m_scale, true));
    // A line of the bold heading with the room a cell keeps above and below it.
    const int vmargin = Table1->style()->pixelMetric(QStyle::PM_FocusFrameVMargin, nullptr, Table1);
    Table1->verticalHeader()->setDefaultSectionSize(
        QFontMetrics(uiFont(TablePoints * m_scale, true)).height() + 2 * (vmargin + 1) + 1);
    for (QPushButton *b : {Command1, Command2})
        b->setFont(uiFont(ButtonPoints * m_scale));
    fitColumns();
}

void BoardWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyScale();
}

void BoardWindow::setFullScreen(bool on)
{
    // The wanted state, not the window's: the window manager may still be
    // on its way to the state asked for before.
    if (on == m_fullScreen)
        return;
    m_fullScreen = on;
    m_stateRequests = 0;
    Command1->setVisible(!on);
    Command2->setVisible(!on);
    requestScreenState();
}

void BoardWindow::requestScreenState()
{
    if (m_fullScreen) {
        setWindowState(windowState() | Qt::WindowFullScreen);
        // Without a window manager to honour the request, take the screen ourselves.
        if (const QScreen *s = screen())
            setGeometry(s->geometry());
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
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
        setFullScreen(key == Qt::Key_F11 ? !m_fullScreen : key == Qt::Key_F5);
}

void BoardWindow::mouseDoubleClickEvent(QMouseEvent *)
{
    setFullScreen(!m_fullScreen);
}

void BoardWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_keys.forget();
    if (event->type() == QEvent::WindowStateChange && isVisible() &&
        bool(windowState() & Qt::WindowFullScreen) != m_fullScreen && m_stateRequests < 4) {
        // The window manager reported a state from before the latest toggle: ask again.
        ++m_stateRequests;
        requestScreenState();
    }
}
