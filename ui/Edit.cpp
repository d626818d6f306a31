#include "Edit.h"

#include "CandidateList.h"
#include "EntryBox.h"
#include "EveningController.h"
#include "Launcher.h"
#include "ListFile.h"
#include "PastedText.h"
#include "ReSortDups.h"
#include "RosterWindow.h"
#include "SystemError.h"
#include "TextRules.h"
#include "UiKit.h"
#include "UserFile.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>

#include <algorithm>
#include <vector>

Edit::Edit(EveningController &evening)
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_evening(evening), m_list(new CandidateList(this)), m_layout(new TwipsLayout)
{
    setObjectName(QStringLiteral("Edit"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 编辑待选数据"));
    setUpFixedWindow(this, 5895, 6750, 0xE0E0E0);
    createControls();
    Load();
}

Edit::~Edit() = default;

void Edit::createControls()
{
    auto button = [this](const QString &name, const QString &text, QRect twips, bool bold = false) {
        return addButton(this, *m_layout, name, text, uiFont(10.5, bold), twips);
    };
    auto label = [this](const QString &name, const QString &text, QRect twips) {
        return addLabel(this, *m_layout, name, text, uiFont(9), twips, Qt::AlignHCenter | Qt::AlignTop);
    };

    // The hint is the box's placeholder, never its text, so it can never
    // become part of an entry, whatever order focus and activation come in.
    auto *entryBox = new EntryBox(this);
    connect(entryBox, &EntryBox::columnPasted, this,
            [this](const QStringList &lines, qsizetype leftOut, qsizetype cutChars) {
                addPastedLines(lines, leftOut, cutChars);
            });
    Text1 = entryBox;
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFont(uiFont(12));
    Text1->setPlaceholderText(Hint);
    QPalette hint = Text1->palette();
    hint.setColor(QPalette::PlaceholderText, rgb(0xC0C0C0));
    hint.setColor(QPalette::Text, rgb(0x404040));
    Text1->setPalette(hint);
    Text1->installEventFilter(this);
    m_layout->place(Text1, 45, 165, 4095, 495);
    Command6 = button(QStringLiteral("Command6"), QStringLiteral("添加到列表"), {4280, 165, 1575, 495});

    List1 = new QListView(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setModel(m_list);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setUniformItemSizes(true);
    // A roster (工号, 姓名, 部门) comes in through a window of its own.
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List1, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("导入名单（工号、姓名、部门）…"), this, [this] {
            RosterWindow *w = rosterWindow();
            w->show();
            w->raise();
            w->activateWindow();
        });
        menu.exec(List1->viewport()->mapToGlobal(at));
    });
    List1->setFont(uiFont(9));
    QPalette lp = List1->palette();
    lp.setColor(QPalette::Base, Qt::white);
    lp.setColor(QPalette::Text, Qt::black);
    List1->setPalette(lp);
    m_layout->place(List1, 45, 840, 5805, 4620);

    Command1 = button(QStringLiteral("Command1"), QStringLiteral("读 入"), {120, 5640, 1200, 520});
    QPalette white = Command1->palette();
    white.setColor(QPalette::Button, Qt::white);
    Command1->setPalette(white);
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("编辑"), {1320, 5640, 735, 520});
    Command5 = button(QStringLiteral("Command5"), QStringLiteral("去重"), {2280, 5640, 735, 520});
    Command4 = button(QStringLiteral("Command4"), QStringLiteral("删除"), {3000, 5640, 735, 520});
    Command7 = button(QStringLiteral("Command7"), QStringLiteral("清空"), {3720, 5640, 735, 520});
    Command3 = button(QStringLiteral("Command3"), QStringLiteral("保存列表"), {4440, 5640, 1335, 520}, true);
    for (QPushButton *b : {Command2, Command5, Command4})
        b->setEnabled(false);

    Label1 = label(QStringLiteral("Label1"), QString(), {25, 6482, 1970, 240});
    Label1->setTextColor(rgb(0x404040));
    QPalette opaque = Label1->palette();
    opaque.setColor(QPalette::Window, rgb(0xE0E0E0));
    Label1->setPalette(opaque);
    Label1->setAutoFillBackground(true);
    Label2 = label(QStringLiteral("Label2"), QString(), {2040, 6480, 1215, 300});
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("0个数据"), {4560, 6480, 1215, 300});

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    m_layout->place(ProgressBar1, 10, 6700, 2000, 100);

    const QColor shadow = palette().color(QPalette::Dark), light = Qt::white;
    Line1 = new LineShape(this, QStringLiteral("Line1"), {0, 6442}, {5895, 6442}, shadow);
    Line2 = new LineShape(this, QStringLiteral("Line2"), {0, 6457}, {5895, 6457}, light);
    Line3 = new LineShape(this, QStringLiteral("Line3"), {2020, 6450}, {2020, 6880}, shadow);
    Line4 = new LineShape(this, QStringLiteral("Line4"), {2040, 6450}, {2040, 6880}, light);
    Line6 = new LineShape(this, QStringLiteral("Line6"), {3200, 6450}, {3200, 6880}, shadow);
    Line5 = new LineShape(this, QStringLiteral("Line5"), {3215, 6450}, {3215, 6880}, light);
    m_layout->apply(TwipsLayout::pixelsPerTwip(this));

    setTabOrder(Command1, List1);
    setTabOrder(List1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    setTabOrder(Command5, Text1);
    setTabOrder(Text1, Command6);
    setTabOrder(Command6, Command7);

    connect(Command1, &QPushButton::clicked, this, &Edit::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Edit::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Edit::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Edit::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Edit::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Edit::addEntry);
    connect(Command7, &QPushButton::clicked, this, &Edit::Command7_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &Edit::addEntry);
    // "删除" is enabled exactly while an entry is selected: a click on the
    // list, or moving the selection with the keys, but not tabbing into it.
    connect(List1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Edit::updateDeleteButton);
    connect(List1, &QListView::clicked, this, &Edit::updateDeleteButton);
    connect(m_list, &QAbstractItemModel::rowsRemoved, this, &Edit::updateDeleteButton);
    connect(m_list, &QAbstractItemModel::modelReset, this, &Edit::updateDeleteButton);
}

void Edit::Load()
{
    // The progress bar in dark red on the window's own grey.
    ProgressBar1->setStyleSheet(QStringLiteral("QProgressBar { background-color: #E0E0E0; border: none; }"
                                               "QProgressBar::chunk { background-color: #C00000; }"));
    centreOnScreen(this);
    Command1->setFocus();
}

void Edit::Unload()
{
    m_evening.setCandidateCount(0);
    Q_EMIT countHandedOver(m_evening.module1().CandidateCount);
}

RosterWindow *Edit::rosterWindow()
{
    auto *w = findChild<RosterWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (w)
        return w;
    w = new RosterWindow(m_evening, this);
    connect(w, &RosterWindow::imported, this, [this] {
        m_evening.setCandidateCount(m_list->ListCount());
        redrawCount();
    });
    return w;
}

void Edit::closeEvent(QCloseEvent *event)
{
    Unload();
    m_evening.restoreRoster(std::nullopt); // the roster goes with the list
    event->accept();
    Q_EMIT listClosed();
    Q_EMIT unloaded();
}

void Edit::redrawCount()
{
    Label3->setText(QString::number(m_evening.module1().CandidateCount) + QStringLiteral("个数据"));
}

int Edit::selectedIndex() const
{
    const QModelIndexList rows = List1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void Edit::setSelectedIndex(int index)
{
    if (index < 0 || index >= m_list->ListCount()) {
        List1->selectionModel()->clearSelection();
        List1->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    List1->selectionModel()->setCurrentIndex(m_list->index(index), QItemSelectionModel::ClearAndSelect);
}

void Edit::Command1_Click()
{
    CMD1.InitDir = programFolder();
    CMD1.Filter = QStringLiteral("文本文件 (*.txt)|*.txt");
    if (!CMD1.ShowOpen(this))
        return; // closed without a choice: nothing is read
    importListFile(CMD1.FileName);
}

void Edit::importListFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        // Opening says what the path is instead (a folder, a pipe, nothing).
        QFile probe;
        QString why = SystemError::describeFileKind(0);
        UserFile::openForReading(probe, path, &why);
        Dialogs::error(this, QStringLiteral("无法读入文件 %1：%2").arg(info.fileName(), why));
        return;
    }
    const qint64 size = info.size();
    switch (ListFile::checkSize(size)) {
    case ListFile::SizeCheck::TooLarge:
        Dialogs::warn(this, ListFile::RefusalTitle, ListFile::TooLargeText);
        return;
    case ListFile::SizeCheck::Empty:
        Dialogs::warn(this, ListFile::RefusalTitle, ListFile::EmptyFileText);
        return;
    case ListFile::SizeCheck::Ok:
        break;
    }
    m_listFilePath = path;
    Label1->setText(info.fileName());
    ProgressBar1->setRange(0, int(size));
    ProgressBar1->setVisible(true);
    ProgressBar1->setValue(0);

    // The whole file is read and decoded before the list is touched.
    const ListFile::ReadResult read = ListFile::read(path, [this](qint64 done, qint64 total) {
        if (total > ProgressBar1->maximum())
            ProgressBar1->setMaximum(int(total));
        ProgressBar1->setValue(int(done));
    });
    if (!read.ok) {
        ProgressBar1->setValue(0);
        Dialogs::error(this, QStringLiteral("无法读入文件 %1：%2").arg(info.fileName(), read.error));
        return;
    }
    const QStringList before = m_list->entries();
    const int added = m_list->AddItems(read.entries);
    Label2->setText(ListFile::sizeCaption(read.size));
    m_evening.setCandidateCount(m_list->ListCount());
    redrawCount();
    Command2->setEnabled(true);
    Command5->setEnabled(true);

    const qsizetype leftOut = read.entries.size() - added;
    if (leftOut > 0)
        Dialogs::error(this, QStringLiteral("列表最多容纳 %1 个数据：文件 %2 中有 %3 行未能读入。")
                                 .arg(CandidateList::MaxEntries)
                                 .arg(info.fileName())
                                 .arg(leftOut));
    // A close call between UTF-8 and GBK, lines read the other way and lines
    // that did not decode, in one report.
    const QString report = ListFile::readingReport(read, info.fileName());
    if (!report.isEmpty())
        Dialogs::error(this, report);
    offerToRemoveRepeats(before, read.entries.first(added));
}

void Edit::offerToRemoveRepeats(const QStringList &before, const QStringList &added)
{
    // Reading the same file again adds everyone once more: with winners
    // leaving, each undrawn person would then have two chances.
    if (!m_evening.module1().WinnersLeave || before.isEmpty())
        return;
    const QSet<QString> had(before.cbegin(), before.cend());
    qsizetype repeats = 0;
    QString example;
    for (const QString &text : added) {
        if (!had.contains(text))
            continue;
        if (repeats++ == 0)
            example = text.size() > 40 ? text.left(40) + QStringLiteral("…") : text;
    }
    if (repeats == 0)
        return;
    const QString text =
        QStringLiteral("读入的数据中有 %1 个在列表中已经有了（例如 %2）。\r\n"
                       "“读 入”是添加到列表；要重新开始，请先“清空”再“读 入”。\r\n"
                       "中奖者不再参与时，同一个人只中奖一次，但列出两次，被抽中的机会就多一倍。\r\n"
                       "要去掉重复的数据吗？")
            .arg(repeats)
            .arg(example);
    if (Dialogs::ask(this, QStringLiteral("提示"), text, QStringLiteral("去重"), QStringLiteral("保留")))
        Command5_Click();
}

void Edit::Command2_Click()
{
    Launcher::OpenInTextEditor(m_listFilePath, this,
                               [this](const QString &message) { Dialogs::error(this, message); });
}

void Edit::Command3_Click()
{
    Q_EMIT countHandedOver(m_evening.module1().CandidateCount);
    hide();
}

void Edit::Command4_Click()
{
    const int k = selectedIndex();
    if (k >= 0) {
        m_list->RemoveItem(k);
        setSelectedIndex(k == m_list->ListCount() ? k - 1 : k);
    }
    m_evening.setCandidateCount(m_list->ListCount());
    redrawCount();
    updateDeleteButton();
}

void Edit::updateDeleteButton()
{
    Command4->setEnabled(List1->selectionModel()->hasSelection());
}

void Edit::removeWinner(int position)
{
    if (position < 0 || position >= m_list->ListCount())
        return;
    // A person listed twice wins once: every entry with the winner's text
    // leaves. The organiser's selection stays on the entry it was on, or
    // goes when that entry was the winner.
    const QString winner = m_list->List(position);
    int selected = selectedIndex();
    for (int k = m_list->ListCount() - 1; k >= 0; --k) {
        if (m_list->List(k) != winner)
            continue;
        m_list->RemoveItem(k);
        if (k == selected)
            selected = -1;
        else if (k < selected)
            --selected;
    }
    setSelectedIndex(selected);
    m_evening.setCandidateCount(m_list->ListCount());
    redrawCount();
    updateDeleteButton();
    Q_EMIT countHandedOver(m_evening.module1().CandidateCount);
}

int Edit::ReSortDups(CandidateList &lst, qint32 &nowc, int comptype)
{
    const int n = lst.ListCount();
    const int selected = &lst == m_list ? selectedIndex() : -1;
    QList<int> removed;
    List1->setUpdatesEnabled(false);
    const int d = ::ReSortDups(lst, nowc, comptype, &removed);
    // Past 100 repeats the list is refilled, which forgets the selection.
    // It is put where removing the repeats one by one leaves it: on the
    // selected entry if it stays, else on the next entry after it that
    // stays (there is one: the last of its repeats).
    if (selected >= 0 && selectedIndex() < 0 && d > 0 && d < n) {
        std::vector<bool> gone(size_t(n), false);
        for (int p : std::as_const(removed))
            gone[size_t(p)] = true;
        int target = selected;
        while (target < n - 1 && gone[size_t(target)])
            ++target;
        setSelectedIndex(target - int(std::count_if(removed.cbegin(), removed.cend(),
                                                    [target](int p) { return p < target; })));
    }
    List1->setUpdatesEnabled(true);
    updateDeleteButton();
    return d;
}

void Edit::Command5_Click()
{
    qint32 count = m_evening.module1().CandidateCount;
    ReSortDups(*m_list, count, -1);
    m_evening.setCandidateCount(count);
    redrawCount();
}

void Edit::Command7_Click()
{
    m_list->Clear();
    m_evening.setCandidateCount(0);
    Label1->setText(QString());
    Label2->setText(QString());
    redrawCount();
    ProgressBar1->setValue(0);
    Command2->setEnabled(false);
    Command4->setEnabled(false);
    Command5->setEnabled(false);
}

void Edit::addEntry()
{
    // A typed entry stays on one line, like every entry read from a file.
    const QString text = blankControlCharacters(Text1->text());
    if (text != Hint && !text.isEmpty()) {
        if (!m_list->AddItem(text)) {
            Dialogs::error(
                this,
                QStringLiteral("列表已满（最多 %1 个数据），不能再添加。").arg(CandidateList::MaxEntries));
            return;
        }
        m_evening.setCandidateCount(m_list->ListCount());
        redrawCount();
        Text1->clear();
        Text1->setFocus();
    } else {
        Dialogs::error(this, QStringLiteral("请输入内容后添加到列表！"));
        Text1->setFocus();
    }
}

void Edit::restoreList(const QStringList &entries, const QString &fileName, const QString &filePath,
                       const QString &sizeCaption, bool imported)
{
    m_list->ReplaceAll(entries);
    m_evening.setCandidateCount(m_list->ListCount());
    redrawCount();
    Label1->setText(fileName);
    Label2->setText(sizeCaption);
    m_listFilePath = filePath;
    Command2->setEnabled(imported);
    Command5->setEnabled(imported);
    if (m_list->ListCount() > 0) {
        Q_EMIT countHandedOver(m_evening.module1().CandidateCount);
    }
}

void Edit::addPastedLines(const QStringList &lines, qsizetype leftOut, qsizetype cutChars)
{
    const int added = m_list->AddItems(lines);
    m_evening.setCandidateCount(m_list->ListCount());
    redrawCount();
    Text1->clear();
    Text1->setFocus();
    leftOut += lines.size() - added;
    QStringList report;
    if (cutChars > 0)
        report << QStringLiteral("粘贴的内容太大：只读取了前 %1 个字符以内的整行，其余 %2 个字符没有读入。")
                      .arg(PastedText::MaxPasteLength)
                      .arg(cutChars);
    if (leftOut > 0)
        report << QStringLiteral("列表最多容纳 %1 个数据：粘贴的内容中有 %2 行未能加入。")
                      .arg(CandidateList::MaxEntries)
                      .arg(leftOut);
    if (!report.isEmpty())
        Dialogs::error(this, report.join(QStringLiteral("\r\n")));
}

void Edit::Text1_GotFocus()
{
    Text1->clear();
    Text1->setPlaceholderText(QString()); // the hint is gone for good
    QPalette p = Text1->palette();
    p.setColor(QPalette::Text, rgb(0x404040));
    Text1->setPalette(p);
}

bool Edit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::FocusIn) {
        // Coming back to the window, or from a menu, is not a visit to the
        // box and keeps what was typed; the hint goes at the first focus,
        // whatever brought it.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        const bool revisit = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (!revisit || !Text1->placeholderText().isEmpty())
            Text1_GotFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void Edit::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    LineShape::paintAll(painter, this, TwipsLayout::pixelsPerTwip(this));
}
