#include "PlanWindow.h"

#include "Dialogs.h"
#include "EveningController.h"
#include "PrizePlan.h"
#include "TextRules.h"
#include "UiKit.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int NameColumn = 0;
constexpr int CountColumn = 1;
constexpr int PerStopColumn = 2;
constexpr int DeptsColumn = 3;

QSpinBox *spinAt(const QTableWidget *table, int row, int column)
{
    return qobject_cast<QSpinBox *>(table->cellWidget(row, column));
}

} // namespace

PlanWindow::PlanWindow(EveningController &evening) : QWidget(nullptr, Qt::Window), m_evening(evening)
{
    setObjectName(QStringLiteral("Plan"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 奖项"));
    setFont(uiFont(10.5));
    const double ppt = TwipsLayout::pixelsPerTwip(this);
    resize(TwipsLayout::px(7200, ppt), TwipsLayout::px(5400, ppt));

    Label1 = new EventLabel(QString(), this, QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Table1 = new QTableWidget(0, 4, this);
    Table1->setObjectName(QStringLiteral("Table1"));
    Table1->setHorizontalHeaderLabels({QStringLiteral("奖项名称"), QStringLiteral("名额"),
                                       QStringLiteral("每次抽出"), QStringLiteral("参与部门")});
    // Limiting a prize to some 部门 needs a roster; the hall and the log are told.
    Table1->horizontalHeaderItem(DeptsColumn)
        ->setToolTip(plainToolTip(
            QStringLiteral("空白：所有人都可参与。\n“研发部、市场部”：只限这些部门（需导入名单）。\n"
                           "“除 销售部”：除这些部门外的所有人。\n"
                           "限定的部门和人数会显示在抽奖画面上，并写入结果文件。")));
    Table1->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    Table1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table1->setSelectionMode(QAbstractItemView::SingleSelection);
    auto button = [this](const QString &name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    Command1 = button(QStringLiteral("Command1"), QStringLiteral("添加奖项"));
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("删除"));
    Command3 = button(QStringLiteral("Command3"), QStringLiteral("上移"));
    Command4 = button(QStringLiteral("Command4"), QStringLiteral("下移"));
    Check1 = new QCheckBox(QStringLiteral("每人当晚最多中奖一次"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Spin1 = new QSpinBox(this);
    Spin1->setObjectName(QStringLiteral("Spin1"));
    Spin1->setRange(0, Prizes::MaxMinRollSeconds);
    Spin1->setSuffix(QStringLiteral(" 秒"));
    auto *spinLabel = new QLabel(QStringLiteral("按停止后，至少滚动满"), this);
    spinLabel->setTextFormat(Qt::PlainText);
    spinLabel->setBuddy(Spin1);
    Check2 = new QCheckBox(this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setText(QStringLiteral("彩排（结果写入 %1，正式中奖记录不变）")
                        .arg(EveningController::rehearsalFileName(m_evening.resultLog().fileName())));
    Command5 = button(QStringLiteral("Command5"), QStringLiteral("保 存"));
    Command6 = button(QStringLiteral("Command6"), QStringLiteral("关 闭"));
    Command7 = button(QStringLiteral("Command7"), QStringLiteral("清空中奖记录…"));

    auto *edits = new QHBoxLayout;
    for (QPushButton *b : {Command1, Command2, Command3, Command4})
        edits->addWidget(b);
    edits->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Command7);
    bottom->addStretch();
    bottom->addWidget(Command5);
    bottom->addWidget(Command6);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Table1, 1);
    layout->addLayout(edits);
    layout->addWidget(Check1);
    auto *roll = new QHBoxLayout;
    roll->addWidget(spinLabel);
    roll->addWidget(Spin1);
    roll->addStretch();
    layout->addLayout(roll);
    layout->addWidget(Check2);
    layout->addLayout(bottom);

    connect(Command1, &QPushButton::clicked, this, [this] {
        addPrize(QStringLiteral("奖项 %1").arg(Table1->rowCount() + 1), 1, 1);
        Table1->selectRow(Table1->rowCount() - 1);
    });
    connect(Command2, &QPushButton::clicked, this, [this] {
        if (Table1->currentRow() >= 0)
            Table1->removeRow(Table1->currentRow());
    });
    connect(Command3, &QPushButton::clicked, this, [this] { moveRow(-1); });
    connect(Command4, &QPushButton::clicked, this, [this] { moveRow(1); });
    connect(Command5, &QPushButton::clicked, this, [this] {
        if (save())
            hide();
    });
    connect(Command6, &QPushButton::clicked, this, &QWidget::hide);
    connect(Command7, &QPushButton::clicked, this, &PlanWindow::clearWinners);
    connect(Check2, &QCheckBox::clicked, this, &PlanWindow::switchRehearsal);
    connect(&m_evening, &EveningController::eveningChanged, this, &PlanWindow::updateButtons);
    connect(&m_evening, &EveningController::rehearsalChanged, this, &PlanWindow::updateButtons);
    load();
}

PlanWindow::~PlanWindow() = default;

void PlanWindow::attachTo(QWidget *setting, EveningController &evening, EventLabel *link)
{
    setting->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *menu = new QMenu(setting);
    menu->setObjectName(QStringLiteral("popPlan"));
    QAction *item = menu->addAction(QStringLiteral("奖项设置…"));
    item->setObjectName(QStringLiteral("popPrizes"));
    auto window = std::make_shared<QPointer<PlanWindow>>();
    const auto open = [setting, &evening, window] {
        if (!*window) {
            *window = new PlanWindow(evening);
            QObject::connect(setting, &QObject::destroyed, *window, &QObject::deleteLater);
            centreOnScreen(*window);
        }
        (*window)->load();
        bringToFront(*window);
    };
    QObject::connect(item, &QAction::triggered, setting, open);
    QObject::connect(link, &EventLabel::Click, setting, open);
    const auto tell = [link, &evening] {
        link->setText(summaryText(evening));
        fitTextToWidth(link, 9, 7.5);
    };
    QObject::connect(&evening, &EveningController::eveningChanged, link, tell);
    QObject::connect(&evening, &EveningController::rehearsalChanged, link, tell);
    tell();
    QObject::connect(setting, &QWidget::customContextMenuRequested, menu,
                     [setting, menu](QPoint pos) { menu->popup(setting->mapToGlobal(pos)); });
}

QString PlanWindow::summaryText(const EveningController &evening)
{
    const Prizes::Evening &e = evening.evening();
    if (!e.active())
        return QStringLiteral("奖项：未设置，每次抽出一人。设置奖项…");
    int places = 0;
    for (const Prizes::Prize &p : e.prizes)
        places += p.count;
    int drawn = 0;
    for (const Prizes::Award &a : e.awards)
        drawn += a.voided ? 0 : 1;
    return QStringLiteral("%4奖项：%1 项 %2 名，已抽出 %3 名　打开…")
        .arg(QString::number(e.prizes.size()), QString::number(places), QString::number(drawn),
             evening.rehearsal() ? QStringLiteral("彩排中 · ") : QString());
}

void PlanWindow::setRow(int row, const QString &name, int count, int perStop, const QString &depts)
{
    Table1->setItem(row, NameColumn, new QTableWidgetItem(name));
    Table1->setItem(row, DeptsColumn, new QTableWidgetItem(depts));
    auto *places = new QSpinBox;
    places->setRange(1, Prizes::MaxCount);
    places->setValue(count);
    auto *atOnce = new QSpinBox;
    atOnce->setRange(1, qMin(count, Prizes::MaxPerStop));
    atOnce->setValue(perStop);
    // No more winners at once than the prize has places.
    connect(places, &QSpinBox::valueChanged, atOnce,
            [atOnce](int value) { atOnce->setMaximum(qMin(value, Prizes::MaxPerStop)); });
    Table1->setCellWidget(row, CountColumn, places);
    Table1->setCellWidget(row, PerStopColumn, atOnce);
}

void PlanWindow::addPrize(const QString &name, int count, int perStop, const QString &depts)
{
    const int row = Table1->rowCount();
    Table1->insertRow(row);
    setRow(row, name, count, perStop, depts);
    updateButtons();
}

void PlanWindow::moveRow(int by)
{
    const int from = Table1->currentRow();
    const int to = from + by;
    if (from < 0 || to < 0 || to >= Table1->rowCount())
        return;
    const QString name = Table1->item(from, NameColumn) ? Table1->item(from, NameColumn)->text() : QString();
    const int count = spinAt(Table1, from, CountColumn)->value();
    const int perStop = spinAt(Table1, from, PerStopColumn)->value();
    const QString depts =
        Table1->item(from, DeptsColumn) ? Table1->item(from, DeptsColumn)->text() : QString();
    Table1->removeRow(from);
    Table1->insertRow(to);
    setRow(to, name, count, perStop, depts);
    Table1->selectRow(to);
}

void PlanWindow::load()
{
    const Prizes::Evening &e = m_evening.evening();
    Table1->setRowCount(0);
    for (const Prizes::Prize &p : e.prizes)
        addPrize(p.name, p.count, p.perStop, p.deptsCell());
    Check1->setChecked(e.active() ? e.onceEach : true);
    Spin1->setValue(e.minRollSeconds);
    updateButtons();
}

void PlanWindow::updateButtons()
{
    const Prizes::Evening &e = m_evening.evening();
    const bool rehearsal = m_evening.rehearsal();
    const bool locked = e.recordCount() > 0 || rehearsal;
    Table1->setEnabled(!locked);
    for (QWidget *w :
         {static_cast<QWidget *>(Command1), static_cast<QWidget *>(Command2),
          static_cast<QWidget *>(Command3), static_cast<QWidget *>(Command4), static_cast<QWidget *>(Check1)})
        w->setEnabled(!locked);
    Command7->setEnabled(e.recordCount() > 0);
    Check2->setChecked(rehearsal);
    Label1->setText(rehearsal ? QStringLiteral("彩排中：结果写入 %1，正式的中奖记录不受影响；结束彩排后，"
                                               "今晚回到彩排前的样子。彩排中奖项不能修改。")
                                    .arg(m_evening.resultLog().fileName())
                    : locked
                        ? QStringLiteral("今晚已写入结果文件 %1，奖项不能再改。要重新开始，请先清空中奖记录"
                                         "（结果文件里的记录不会删除）。")
                              .arg(e.recordSummary())
                        : QStringLiteral("按抽取的顺序列出今晚的奖项。没有奖项时，现场每次抽出一人。"));
}

bool PlanWindow::save()
{
    // With winners recorded, or in a rehearsal, the table cannot change: only the roll time is saved.
    if (m_evening.evening().recordCount() > 0 || m_evening.rehearsal()) {
        m_evening.setMinRollSeconds(Spin1->value());
        return true;
    }
    QList<Prizes::Prize> plan;
    for (int row = 0; row < Table1->rowCount(); ++row) {
        const QTableWidgetItem *item = Table1->item(row, NameColumn);
        Prizes::Prize prize(blankControlCharacters(item ? item->text() : QString()).trimmed(),
                            spinAt(Table1, row, CountColumn)->value(),
                            spinAt(Table1, row, PerStopColumn)->value());
        const QTableWidgetItem *depts = Table1->item(row, DeptsColumn);
        prize.setDeptsCell(blankControlCharacters(depts ? depts->text() : QString()));
        plan.append(prize);
    }
    QString why;
    if (!m_evening.setPlan(plan, Check1->isChecked(), &why)) {
        Dialogs::error(this, why);
        return false;
    }
    m_evening.setMinRollSeconds(Spin1->value());
    return true;
}

void PlanWindow::switchRehearsal(bool on)
{
    QString why;
    if (!m_evening.setRehearsal(on, &why)) {
        Check2->setChecked(m_evening.rehearsal());
        Dialogs::error(this, why);
    }
}

void PlanWindow::clearWinners()
{
    const Prizes::Evening &e = m_evening.evening();
    if (e.recordCount() == 0)
        return;
    const int choice = Dialogs::choose(
        this, QStringLiteral("清空中奖记录"),
        QStringLiteral(
            "今晚已写入结果文件 %1。清空中奖记录，从第一个奖项重新开始吗？\r\n结果文件里的记录不会删除。")
            .arg(e.recordSummary()),
        {QStringLiteral("清空"), QStringLiteral("取消")});
    if (choice != 0)
        return;
    m_evening.clearAwards();
    load();
}
