#include "RosterWindow.h"

#include "EveningController.h"
#include "UiKit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QThreadPool>
#include <QVBoxLayout>

namespace {

// Rows shown in the preview, from the header down.
constexpr int PreviewRows = 8;

} // namespace

RosterWindow::RosterWindow(EveningController &evening, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_evening(evening)
{
    setObjectName(QStringLiteral("RosterWindow"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 导入名单"));
    setWindowModality(Qt::WindowModal);
    setFont(uiFont(9));
    resize(720, 620);

    const auto named = [](auto *widget, const char *name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    Command1 = named(new QPushButton(QStringLiteral("选择文件…"), this), "Command1");
    Label1 = named(new QLabel(this), "Label1");
    showAsPlainText(Label1);
    Label1->setWordWrap(true);
    Combo1 = named(new QComboBox(this), "Combo1");
    Combo2 = named(new QComboBox(this), "Combo2");
    Combo3 = named(new QComboBox(this), "Combo3");
    Combo4 = named(new QComboBox(this), "Combo4");
    Combo5 = named(new QComboBox(this), "Combo5");
    Grid1 = named(new QTableWidget(this), "Grid1");
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionMode(QAbstractItemView::NoSelection);
    Grid1->setMinimumHeight(180);
    Text1 = named(new QPlainTextEdit(this), "Text1");
    Text1->setReadOnly(true);
    Combo6 = named(new QComboBox(this), "Combo6");
    Combo6->addItems({QStringLiteral("姓名"), QStringLiteral("姓名 + 部门"), QStringLiteral("工号 + 姓名")});
    Check1 = named(new QCheckBox(QStringLiteral("隐去名字中间（张*伟）"), this), "Check1");
    Check2 = named(new QCheckBox(QStringLiteral("隐去工号末位（XS1***）"), this), "Check2");
    Command2 = named(new QPushButton(QStringLiteral("替换列表"), this), "Command2");
    Command3 = named(new QPushButton(QStringLiteral("追加到列表"), this), "Command3");
    Command4 = named(new QPushButton(QStringLiteral("关闭"), this), "Command4");
    CMD1.Filter = QStringLiteral("名单文件 (*.xlsx;*.csv;*.txt)|*.xlsx;*.csv;*.txt");
    CMD1.InitDir = programFolder();

    auto *top = new QHBoxLayout;
    top->addWidget(Command1);
    top->addWidget(Label1, 1);
    auto *columns = new QFormLayout;
    columns->addRow(QStringLiteral("工作表"), Combo1);
    columns->addRow(QStringLiteral("表头"), Combo2);
    auto *mapped = new QHBoxLayout;
    for (auto [text, box] :
         {std::pair{QStringLiteral("工号"), Combo3}, std::pair{QStringLiteral("姓名"), Combo4},
          std::pair{QStringLiteral("部门"), Combo5}}) {
        mapped->addWidget(new QLabel(text, this));
        mapped->addWidget(box, 1);
    }
    columns->addRow(QStringLiteral("列"), mapped);
    auto *shown = new QHBoxLayout;
    shown->addWidget(new QLabel(QStringLiteral("抽奖时显示"), this));
    shown->addWidget(Combo6);
    shown->addWidget(Check1);
    shown->addWidget(Check2);
    shown->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);
    buttons->addWidget(Command4);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(columns);
    layout->addWidget(new QLabel(QStringLiteral("前几行："), this));
    layout->addWidget(Grid1, 1);
    layout->addWidget(new QLabel(QStringLiteral("导入报告（导入前请核对）："), this));
    layout->addWidget(Text1, 1);
    layout->addLayout(shown);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, [this] {
        if (CMD1.ShowOpen(this, QStringLiteral("选择名单文件")))
            openFile(CMD1.FileName);
    });
    connect(Combo1, &QComboBox::activated, this, [this](int sheet) { openFile(m_path, sheet); });
    for (QComboBox *box : {Combo2, Combo3, Combo4, Combo5})
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!m_filling)
                analyse();
        });
    connect(Command2, &QPushButton::clicked, this, [this] { apply(false); });
    connect(Command3, &QPushButton::clicked, this, [this] { apply(true); });
    connect(Command4, &QPushButton::clicked, this, &QWidget::close);
    showLoaded(QString(), 0, RosterFile::Loaded(), Roster::Mapping(), Roster::Report());
}

RosterWindow::~RosterWindow() = default;

void RosterWindow::openFile(const QString &path, int sheet)
{
    if (m_loading || path.isEmpty())
        return;
    m_loading = true;
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    Label1->setText(QStringLiteral("正在读取 %1 …").arg(QFileInfo(path).fileName()));
    setCursor(Qt::BusyCursor); // over this window only, never over the hall's
    QPointer<RosterWindow> self(this);
    // A workbook or a file on a slow disk is read away from the window.
    QThreadPool::globalInstance()->start([self, path, sheet] {
        RosterFile::Loaded loaded = RosterFile::load(path, sheet);
        // The first report too: a large roster is not analysed on the window's thread.
        const Roster::Mapping mapping = Roster::findMapping(loaded.rows);
        Roster::Report report = Roster::analyse(loaded.rows, mapping);
        QMetaObject::invokeMethod(
            qApp, [self, path, sheet, loaded = std::move(loaded), mapping, report = std::move(report)] {
                if (!self)
                    return;
                self->unsetCursor();
                self->m_loading = false;
                self->Command1->setEnabled(true);
                self->showLoaded(path, sheet, loaded, mapping, report);
            });
    });
}

void RosterWindow::showLoaded(const QString &path, int sheet, const RosterFile::Loaded &file,
                              const Roster::Mapping &mapping, const Roster::Report &report)
{
    const bool ok = file.ok;
    const QStringList &sheetNames = file.sheetNames;
    m_path = path;
    m_rows = ok ? file.rows : Roster::Table();
    m_filling = true;
    Combo1->clear();
    Combo1->addItems(sheetNames);
    Combo1->setCurrentIndex(sheetNames.isEmpty() ? -1 : sheet);
    Combo1->setEnabled(sheetNames.size() > 1);
    m_filling = false;
    const QString name = QFileInfo(path).fileName();
    if (path.isEmpty())
        Label1->setText(QStringLiteral("请选择名单文件：.xlsx，或按列分隔的 .csv、.txt"));
    else if (!ok)
        Label1->setText(QStringLiteral("%1：不能导入：%2").arg(name, file.error));
    else
        Label1->setText(QStringLiteral("%1（%2）").arg(name, file.how));
    fillColumns(ok ? mapping : Roster::Mapping());
    showReport(ok ? report : Roster::Report());
    Q_EMIT loaded();
}

void RosterWindow::fillColumns(const Roster::Mapping &mapping)
{
    m_filling = true;
    int width = 0;
    for (qsizetype r = 0; r < qMin<qsizetype>(m_rows.size(), Roster::HeaderSearchRows); ++r)
        width = qMax(width, int(m_rows.at(r).size()));
    Combo2->clear();
    for (qsizetype r = 0; r < qMin<qsizetype>(m_rows.size(), Roster::HeaderSearchRows); ++r)
        Combo2->addItem(QStringLiteral("第 %1 行").arg(r + 1));
    Combo2->setCurrentIndex(qMax(mapping.headerRow, m_rows.isEmpty() ? -1 : 0));
    const QStringList header = m_rows.value(qMax(mapping.headerRow, 0));
    for (auto [box, column] :
         {std::pair{Combo3, mapping.id}, std::pair{Combo4, mapping.name}, std::pair{Combo5, mapping.dept}}) {
        box->clear();
        box->addItem(QStringLiteral("（无）"), -1);
        for (int c = 0; c < width; ++c) {
            const QString title = header.value(c).simplified();
            box->addItem(title.isEmpty()
                             ? QStringLiteral("%1 列").arg(Roster::columnLetter(c))
                             : QStringLiteral("%1 列：%2").arg(Roster::columnLetter(c), title.left(20)),
                         c);
        }
        box->setCurrentIndex(column + 1);
    }
    m_filling = false;
}

Roster::Mapping RosterWindow::mapping() const
{
    Roster::Mapping m;
    m.headerRow = Combo2->currentIndex();
    m.id = Combo3->currentData().toInt();
    m.name = Combo4->currentData().toInt();
    m.dept = Combo5->currentData().toInt();
    if (Combo3->currentIndex() < 0)
        m.id = -1;
    if (Combo4->currentIndex() < 0)
        m.name = -1;
    if (Combo5->currentIndex() < 0)
        m.dept = -1;
    return m;
}

Roster::Look RosterWindow::look() const
{
    return Roster::Look{Roster::Look::Shown(qMax(0, Combo6->currentIndex())), Check1->isChecked(),
                        Check2->isChecked()};
}

void RosterWindow::analyse()
{
    showReport(Roster::analyse(m_rows, mapping()));
}

void RosterWindow::showReport(const Roster::Report &report)
{
    const Roster::Mapping m = mapping();
    m_report = report;
    // The first rows from the header down, as texts (never as markup).
    const qsizetype first = qMax(0, m.headerRow);
    const qsizetype last = qMin<qsizetype>(m_rows.size(), first + PreviewRows);
    int width = 0;
    for (qsizetype r = first; r < last; ++r)
        width = qMax(width, int(m_rows.at(r).size()));
    Grid1->clear();
    Grid1->setRowCount(int(last - first));
    Grid1->setColumnCount(width);
    QStringList letters, rowNumbers;
    for (int c = 0; c < width; ++c)
        letters << Roster::columnLetter(c);
    for (qsizetype r = first; r < last; ++r) {
        rowNumbers << QString::number(r + 1);
        for (int c = 0; c < m_rows.at(r).size(); ++c)
            Grid1->setItem(int(r - first), c, new QTableWidgetItem(m_rows.at(r).at(c)));
    }
    Grid1->setHorizontalHeaderLabels(letters);
    Grid1->setVerticalHeaderLabels(rowNumbers);
    Text1->setPlainText(m_rows.isEmpty() ? QString() : Roster::reportLines(m_report, m).join(u'\n'));
    const bool importable =
        !m_rows.isEmpty() && m.name >= 0 && !m_report.people.isEmpty() && !m_report.tooMany;
    Command2->setEnabled(importable && !m_loading);
    Command3->setEnabled(importable && !m_loading);
}

void RosterWindow::apply(bool append)
{
    const Roster::Held held(m_report.people, look(), QFileInfo(m_path).fileName());
    QString why;
    int skipped = 0;
    if (!m_evening.importRoster(held, append, &why, &skipped)) {
        Dialogs::error(this, why);
        return;
    }
    Q_EMIT imported();
    QString done = QStringLiteral("已%1名单：%2 人，指纹 %3。")
                       .arg(append ? QStringLiteral("追加") : QStringLiteral("导入"))
                       .arg(held.people().size() - skipped)
                       .arg(held.fingerprint());
    if (skipped > 0)
        done += QStringLiteral("\r\n另有 %1 人的工号已在名单中，没有重复加入。").arg(skipped);
    Dialogs::inform(this, QStringLiteral("导入名单"), done);
    close();
}
