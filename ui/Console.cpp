#include "Console.h"

#include "Dialogs.h"
#include "DrawEngine.h"
#include "EveningController.h"
#include "PrizePlan.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QLabel *plainLabel(QWidget *parent, const QString &name, double pointSize, bool bold = false)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(uiFont(pointSize, bold));
    showAsPlainText(label);
    label->setWordWrap(true);
    return label;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFont(uiFont(10.5));
    // The roll keys belong to the window, not to the button that has the focus.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// The prize the roll button moves on to once the announced one is full.
QString nextPrizeText(const Prizes::Evening &e)
{
    if (!e.active())
        return QString();
    int next = -1;
    for (int p = 0; p < e.prizes.size() && next < 0; ++p)
        if (p != e.announced && !e.openPlaces(p, 1).isEmpty() && (p > e.announced || e.currentPrize() == p))
            next = p;
    if (next < 0)
        return QStringLiteral("下一个奖项：没有了，这是最后一个");
    const Prizes::Prize &prize = e.prizes.at(next);
    return QStringLiteral("下一个奖项：%1（共 %2 名）").arg(prize.name, QString::number(prize.count));
}

} // namespace

Console::Console(EveningController &evening, QWidget &audience) : m_evening(evening), m_audience(&audience)
{
    setObjectName(QStringLiteral("Console"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 控制台"));
    setFont(uiFont(10.5));
    setFocusPolicy(Qt::StrongFocus);

    Command1 = button(this, QStringLiteral("Command1"), QString());
    Command1->setFont(uiFont(15.75, true));
    Command1->setMinimumHeight(56);
    Label1 = plainLabel(this, QStringLiteral("Label1"), 12, true);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setFocusPolicy(Qt::NoFocus);
    List1->setSelectionMode(QAbstractItemView::NoSelection);
    Command3 = button(this, QStringLiteral("Command3"), QStringLiteral("其他中奖者未到场…"));
    Label2 = plainLabel(this, QStringLiteral("Label2"), 10.5);
    Command4 = button(this, QStringLiteral("Command4"), QStringLiteral("中奖名单"));
    Command5 = button(this, QStringLiteral("Command5"), QStringLiteral("导出中奖名单…"));
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setFocusPolicy(Qt::NoFocus);
    Check1 = new QCheckBox(QStringLiteral("彩排"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setVisible(false);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(PreviewWidth, PreviewWidth * 9 / 16);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setStyleSheet(QStringLiteral("background: black"));
    Label3 = plainLabel(this, QStringLiteral("Label3"), 10.5);
    Label3->setStyleSheet(QStringLiteral("color: #C00000"));

    auto *screens = new QHBoxLayout;
    screens->addWidget(new QLabel(QStringLiteral("观众屏幕："), this));
    screens->addWidget(Combo1, 1);
    auto *tools = new QHBoxLayout;
    tools->addWidget(Command4);
    tools->addWidget(Command5);
    tools->addWidget(Check1);
    auto *left = new QVBoxLayout;
    left->addWidget(Command1);
    left->addWidget(Label1);
    left->addWidget(List1, 1);
    left->addWidget(Command3);
    left->addWidget(Label2);
    left->addLayout(tools);
    auto *right = new QVBoxLayout;
    right->addWidget(Image1);
    right->addLayout(screens);
    right->addWidget(Label3, 1, Qt::AlignTop);
    auto *all = new QHBoxLayout(this);
    all->addLayout(left, 1);
    all->addLayout(right);
    resize(800, 480);

    m_preview.setSingleShot(true);
    m_preview.setInterval(PreviewIntervalMs);
    connect(&m_preview, &QTimer::timeout, this, &Console::renderPreview);

    connect(Command1, &QPushButton::clicked, this, &Console::Command1_Click);
    connect(Command3, &QPushButton::clicked, this,
            [this] { Q_EMIT voidMenuRequested(Command3->mapToGlobal(Command3->rect().bottomLeft())); });
    connect(Command4, &QPushButton::clicked, this, &Console::boardRequested);
    connect(Command5, &QPushButton::clicked, this, &Console::exportRequested);
    connect(Check1, &QCheckBox::toggled, this, &Console::rehearsalRequested);
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_fillingScreens)
            Q_EMIT audienceScreenChosen(Combo1->itemData(index).toString());
    });

    DrawEngine &engine = m_evening.engine();
    connect(&engine, &DrawEngine::rollCaptionChanged, this, &Console::refresh);
    connect(&engine, &DrawEngine::rollEnabledChanged, this, &Console::refresh);
    connect(&engine, &DrawEngine::displayChanged, this, [this] {
        refresh();
        schedulePreview();
    });
    connect(&m_evening, &EveningController::eveningChanged, this, &Console::refresh);
    connect(&m_evening, &EveningController::planRollingChanged, this, &Console::refresh);
    connect(&m_evening, &EveningController::planShown, this, [this] {
        refresh();
        fillWinners();
        schedulePreview();
    });
    connect(&m_evening, &EveningController::planRolled, this, &Console::schedulePreview);
    connect(&m_evening, &EveningController::titleChanged, this, &Console::schedulePreview);
    showScreens({}, QString());
    refresh();
    fillWinners();
}

Console::~Console() = default;

void Console::refresh()
{
    const Prizes::Evening &e = m_evening.evening();
    const DrawEngine &engine = m_evening.engine();
    const bool plan = m_evening.planActive();
    const bool rolling = plan ? m_evening.planRolling() : engine.rollCaption() == DrawEngine::StopCaption;
    Command1->setText(rolling                  ? QStringLiteral("停 止")
                      : plan && e.redrawNext() ? QStringLiteral("补 抽")
                                               : QStringLiteral("开 始"));
    Command1->setEnabled(engine.rollEnabled());
    Label1->setText(plan ? e.progressText(m_evening.shownPlaces())
                         : QStringLiteral("单次抽取：") + engine.display());
    Label2->setText(nextPrizeText(e));
    List1->setEnabled(plan && !rolling);
    Command3->setEnabled(plan && !rolling);
    Command4->setEnabled(plan);
    Command5->setEnabled(plan);
}

void Console::fillWinners()
{
    List1->clear();
    const Prizes::Evening &e = m_evening.evening();
    for (int award : m_evening.shownAwards()) {
        const Prizes::Award &a = e.awards.at(award);
        auto *item = new QListWidgetItem(List1);
        auto *row = new QWidget(List1);
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(4, 1, 4, 1);
        QLabel *name = plainLabel(row, QString(), 10.5);
        name->setWordWrap(false);
        name->setText(QStringLiteral("第 %1 名　%2").arg(QString::number(a.place), a.winner));
        QPushButton *absent = button(row, QStringLiteral("Command2"), QStringLiteral("未到场"));
        absent->setProperty("award", award);
        absent->setEnabled(e.canVoid(award));
        connect(absent, &QPushButton::clicked, this, [this, award] { Q_EMIT voidRequested(award); });
        layout->addWidget(name, 1);
        layout->addWidget(absent);
        item->setSizeHint(row->sizeHint());
        List1->setItemWidget(item, row);
    }
}

void Console::Command1_Click()
{
    if (m_evening.engine().rollEnabled())
        m_evening.roll();
}

void Console::showScreens(const QStringList &names, const QString &chosen)
{
    m_fillingScreens = true;
    Combo1->clear();
    Combo1->addItem(QStringLiteral("自动（不是主屏幕的那一个）"), QString());
    for (const QString &name : names)
        Combo1->addItem(name, name);
    if (!chosen.isEmpty() && !names.contains(chosen))
        Combo1->addItem(chosen + QStringLiteral("（未连接）"), chosen);
    Combo1->setCurrentIndex(qMax(0, Combo1->findData(chosen)));
    m_fillingScreens = false;
}

void Console::showOnScreen(QScreen *target)
{
    // Placed by the program before it first shows: a window manager would put it anywhere.
    if (target && (!isVisible() || !target->geometry().contains(frameGeometry()))) {
        QRect frame(QPoint(), size());
        frame.moveCenter(target->availableGeometry().center());
        move(frame.topLeft());
    }
    // The live draw keeps the keyboard: a presenter remote goes on working.
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show();
    raise();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
}

bool Console::onOwnScreen() const
{
    if (!isVisible() || !m_audience || !m_audience->isVisible())
        return isVisible();
    return !frameGeometry().intersects(m_audience->frameGeometry());
}

void Console::tell(const QString &title, const QString &text)
{
    Label3->setText(title.isEmpty() ? text : title + QStringLiteral("：") + text);
    if (onOwnScreen())
        Dialogs::warn(this, title.isEmpty() ? Dialogs::ErrorTitle : title, text);
}

void Console::schedulePreview()
{
    if (isVisible() && !m_preview.isActive())
        m_preview.start();
}

void Console::renderPreview()
{
    if (!m_audience || m_audience->width() <= 0 || m_audience->height() <= 0)
        return;
    const double k =
        qMin(double(Image1->width()) / m_audience->width(), double(Image1->height()) / m_audience->height());
    const qreal dpr = devicePixelRatioF();
    QPixmap picture(QSize(qRound(m_audience->width() * k * dpr), qRound(m_audience->height() * k * dpr)));
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    painter.scale(k, k);
    // Drawn at the preview's size: cheaper than grabbing the full screen and scaling it.
    m_audience->render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    painter.end();
    Image1->setPixmap(picture);
}

void Console::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    renderPreview();
}

void Console::keyPressEvent(QKeyEvent *event)
{
    if (isRollKey(event->key())) {
        m_keys.press(event, this);
        return;
    }
    QWidget::keyPressEvent(event);
}

void Console::keyReleaseEvent(QKeyEvent *event)
{
    if (!isRollKey(event->key())) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    if (m_keys.release(event, this))
        Command1_Click();
}
