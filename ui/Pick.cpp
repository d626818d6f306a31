#include "Pick.h"

#include "DrawEngine.h"
#include "EveningController.h"
#include "InputBlocker.h"
#include "Launcher.h"
#include "PictureLoader.h"
#include "PlanDraw.h"
#include "UiKit.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>

Pick::Pick(EveningController &evening, PictureLoader &pictures)
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_evening(evening), m_pictures(pictures), m_engine(&evening.engine()), m_layout(new TwipsLayout)
{
    setObjectName(QStringLiteral("Pick"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 现场"));
    setUpFixedWindow(this, 7200, 4320, 0xE0E0E0);
    m_designSize = size();
    setFocusPolicy(Qt::StrongFocus);               // the window itself takes the presenter keys
    setProperty(BusyCursor::AudienceWindow, true); // the hall never sees the busy cursor
    createControls();
    m_plan = new PlanDraw(evening, *this, *m_layout, popSet);
    // With a plan, its grid takes the display's place, and who may win
    // again is the plan's rule.
    connect(m_plan, &PlanDraw::activeChanged, this, [this](bool on) {
        Label3->setVisible(!on);
        popLeave->setEnabled(!on);
    });
    Label3->setVisible(!m_plan->active());
    popLeave->setEnabled(!m_plan->active());
    connect(m_plan, &PlanDraw::rollRequested, this, &Pick::pressRollButton);
    // The title the records carry is the one the hall reads.
    connect(&evening, &EveningController::titleChanged, this, [this](const QString &title, quint32 color) {
        Label1->setText(title);
        Label1->setTextColor(rgb(color));
    });
    connect(m_plan, &PlanDraw::liveWindowRequested, this, [this] { bringToFront(this); });
    bindEngine();
    Load();
}

Pick::~Pick() = default;

void Pick::createControls()
{
    auto label = [this](const QString &name, const QString &text, double pt, bool bold, bool italic,
                        bool underline, std::optional<quint32> color, Qt::Alignment align, QRect twips) {
        EventLabel *l =
            addLabel(this, *m_layout, name, text, uiFont(pt, bold, italic, underline), twips, align);
        if (color)
            l->setTextColor(rgb(*color));
        l->setWordWrap(true);
        return l;
    };
    const auto centre = Qt::AlignHCenter | Qt::AlignTop;
    const auto left = Qt::AlignLeft | Qt::AlignTop;
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("1"), 26.25, false, false, true, 0xC00000, centre,
                   {840, 240, 5535, 735});
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("1"), 18, false, false, false, {}, centre,
                   {840, 960, 5535, 495});
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("1"), DisplayPointSize, false, false, false,
                   0x000000, centre, {360, 1680, 6495, 615});
    Label4 = new RollButtonLabel(DrawEngine::RollCaption, this, QStringLiteral("Label4"));
    Label4->setFont(uiFont(15.75, true));
    m_layout->place(Label4, 2885, 2640, 1455, 1335);
    // Shadows first, so each button lies on top of its shadow.
    Label9 = label(QStringLiteral("Label9"), QStringLiteral("设 定"), 12, false, false, false, 0xC0C0C0, left,
                   {4810, 3970, 620, 375});
    Label8 = label(QStringLiteral("Label8"), QStringLiteral("设 定"), 12, false, false, false, {}, left,
                   {4800, 3960, 675, 375});
    Label10 = label(QStringLiteral("Label10"), QStringLiteral(" 结 果"), 12, false, false, false, 0xC0C0C0,
                    left, {5575, 3970, 810, 375});
    Label5 = label(QStringLiteral("Label5"), QStringLiteral(" 结 果"), 12, false, false, false, {}, left,
                   {5565, 3960, 810, 375});
    Label11 = label(QStringLiteral("Label11"), QStringLiteral("退 出"), 12, false, false, false, 0xC0C0C0,
                    left, {6490, 3970, 675, 375});
    Label7 = label(QStringLiteral("Label7"), QStringLiteral("退 出"), 12, false, false, false, {}, left,
                   {6480, 3960, 675, 375});
    Label6 = label(QStringLiteral("Label6"), QString(), 9, true, false, false, 0xC00000, left,
                   {6210, 3900, 375, 255});
    Label3->setWordWrap(false);
    // The text buttons and their shadows keep one line, as a fixed label
    // does: the wider italic of the pressed look is cut at the label's edge.
    for (EventLabel *l : {Label5, Label7, Label8, Label9, Label10, Label11})
        l->setWordWrap(false);

    const QColor grey = rgb(0x808080), white = rgb(0xFFFFFF), light = rgb(0xC0C0C0);
    Line1 = new LineShape(this, QStringLiteral("Line1"), {360, 1560}, {6840, 1560}, grey);
    Line2 = new LineShape(this, QStringLiteral("Line2"), {240, 1680}, {240, 2280}, grey);
    Line4 = new LineShape(this, QStringLiteral("Line4"), {6960, 1680}, {6960, 2280}, grey);
    Line3 = new LineShape(this, QStringLiteral("Line3"), {360, 2400}, {6840, 2400}, grey);
    Line5 = new LineShape(this, QStringLiteral("Line5"), {2870, 2640}, {4360, 2640}, white);
    Line6 = new LineShape(this, QStringLiteral("Line6"), {2870, 3975}, {2870, 2640}, white);
    Line7 = new LineShape(this, QStringLiteral("Line7"), {2870, 3975}, {4360, 3975}, grey);
    Line8 = new LineShape(this, QStringLiteral("Line8"), {4355, 2640}, {4355, 3990}, grey);
    Line9 = new LineShape(this, QStringLiteral("Line9"), {4370, 2655}, {4370, 3995}, light);
    Line10 = new LineShape(this, QStringLiteral("Line10"), {2885, 3990}, {4380, 3990}, light);

    m_layout->apply(TwipsLayout::pixelsPerTwip(this));

    popSet = new QMenu(this);
    popSet->setObjectName(QStringLiteral("popSet"));
    popBG = popSet->addAction(QStringLiteral("设置背景"));
    popBG->setObjectName(QStringLiteral("popBG"));
    connect(popBG, &QAction::triggered, this, &Pick::popBG_Click);
    popLeave = popSet->addAction(QStringLiteral("中奖者不再参与"));
    popLeave->setObjectName(QStringLiteral("popLeave"));
    popLeave->setCheckable(true);
    popLeave->setChecked(m_evening.module1().WinnersLeave);
    connect(popLeave, &QAction::toggled, &m_evening, &EveningController::setWinnersLeave);
    connect(&m_evening, &EveningController::winnersLeaveChanged, popLeave, &QAction::setChecked);
    popConsole = popSet->addAction(QStringLiteral("控制台（F2）"));
    popConsole->setObjectName(QStringLiteral("popConsole"));
    connect(popConsole, &QAction::triggered, this, &Pick::consoleRequested);

    bindPressLook(Label4, [this](bool pressed) { applyBevelLook(pressed); });
    bindPressLook(Label8, [this](bool pressed) { applyShadowedTextLook(Label8, Label9, pressed); });
    bindPressLook(Label5, [this](bool pressed) { applyShadowedTextLook(Label5, Label10, pressed); });
    bindPressLook(Label7, [this](bool pressed) { applyShadowedTextLook(Label7, Label11, pressed); });
    connect(Label4, &EventLabel::Click, this, &Pick::Label4_Click);
    connect(Label5, &EventLabel::Click, this, &Pick::Label5_Click);
    connect(Label8, &EventLabel::Click, this, &Pick::ReturnToSettings);
    connect(Label7, &EventLabel::Click, this, &Pick::exitRequested);
}

void Pick::bindEngine()
{
    connect(m_engine, &DrawEngine::displayChanged, this, &Pick::showOnDisplay);
    connect(m_engine, &DrawEngine::displayColorChanged, this,
            [this](quint32 color) { Label3->setTextColor(rgb(color)); });
    connect(m_engine, &DrawEngine::rollCaptionChanged, Label4, &QLabel::setText);
    connect(m_engine, &DrawEngine::rollEnabledChanged, Label4, &QWidget::setEnabled);
    connect(m_engine, &DrawEngine::badgeChanged, Label6, &QLabel::setText);
    connect(m_engine, &DrawEngine::resultNotSaved, this, &Pick::showResultNotSaved);
    connect(m_engine, &DrawEngine::stoppedOnEmptyList, this,
            [this] { Dialogs::error(this, QStringLiteral("请添加列表后继续")); });
    connect(m_engine, &DrawEngine::startRefusedOnEmptyList, this,
            [this] { Dialogs::error(this, QStringLiteral("请添加列表后继续")); });
}

void Pick::Load()
{
    m_engine->Seed();
    centreOnScreen(this);
}

void Pick::applyBevelLook(bool pressed)
{
    const QColor white = rgb(0xFFFFFF), grey = rgb(0x808080);
    if (pressed) {
        Line5->setColor(grey);
        Line6->setColor(grey);
        Line9->setFirst({2885, Line9->first().y()});
        Line9->setSecond({2885, 3970});
        Line10->setFirst({Line10->first().x(), 2655});
        Line10->setSecond({4350, 2655});
        Line7->setColor(white);
        Line8->setColor(white);
    } else {
        Line5->setColor(white);
        Line6->setColor(white);
        Line7->setColor(grey);
        Line8->setColor(grey);
        Line9->setFirst({4370, Line9->first().y()});
        Line9->setSecond({4370, 3990});
        Line10->setFirst({Line10->first().x(), 3990});
        Line10->setSecond({4375, 3990});
    }
}

void Pick::Label4_Click()
{
    m_evening.roll();
}

void Pick::Label5_Click()
{
    Launcher::OpenInTextEditor(m_evening.resultLog().fileName(), this,
                               [this](const QString &message) { Dialogs::error(this, message); });
    m_evening.clearBadge();
}

void Pick::ReturnToSettings()
{
    hide();
    Q_EMIT settingsRequested();
    m_evening.abort();
}

Pick::LookOutcome Pick::showLook(const LiveLook &look, QString *error)
{
    auto setFace = [](EventLabel *label, const std::optional<QString> &face) {
        if (face && !face->isEmpty()) {
            QFont f = label->font();
            f.setFamilies({*face});
            label->setFont(f);
        }
    };
    setFace(Label1, look.lineFontFace[0]);
    setFace(Label2, look.lineFontFace[1]);
    if (look.lineFontColor[1])
        Label2->setTextColor(rgb(*look.lineFontColor[1]));
    LookOutcome outcome = LookOutcome::Shown;
    if (!setBackgroundPicture(look.picturePath, error)) {
        if (error->isEmpty())
            return LookOutcome::Ended;
        // The draw goes on without that picture.
        setBackgroundPicture(QString());
        outcome = LookOutcome::PictureRefused;
    }
    Label2->setText(look.subtitle);
    return outcome;
}

bool Pick::setBackgroundPicture(const QString &path, QString *error)
{
    if (path.isEmpty()) {
        m_background = QImage();
        m_cover = QPixmap();
        update();
        return true;
    }
    QImage image;
    QString why;
    const bool loaded = m_pictures.load(path, &image, &why) == PictureLoader::Outcome::Loaded;
    if (error)
        *error = why; // empty when the program is ending
    if (!loaded)
        return false;
    m_background = image;
    m_cover = QPixmap();
    renewCover();
    update();
    return true;
}

void Pick::popBG_Click()
{
    CommonDialog1.InitDir = programFolder();
    CommonDialog1.Filter = pictureFilter();
    CommonDialog1.ShowOpen(this);
    QString error;
    if (!setBackgroundPicture(CommonDialog1.FileName, &error) && !error.isEmpty())
        Dialogs::error(this, pictureErrorText(CommonDialog1.FileName, error));
}

void Pick::showResultNotSaved(const QString &result, const QString &error)
{
    const ResultLog &log = m_evening.resultLog();
    Dialogs::error(
        this, QStringLiteral("本次结果未能写入 %1（文件夹 %2）：%3\r\n\r\n结果：%4\r\n请手工记下这个结果。")
                  .arg(log.fileName(), log.folder(), error, result));
}

void Pick::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_fullScreen) {
        if (!m_background.isNull() && m_cover.size() != size())
            renewCover(); // a picture set or a size reached between layouts
        painter.drawPixmap(0, 0, m_cover);
        painter.setClipRect(QRectF(m_offset, QSizeF(m_designSize) * m_scale));
    } else if (!m_background.isNull()) {
        painter.drawImage(QPoint(0, 0), m_background);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_scale != 1.0);
    LineShape::paintAll(painter, this, TwipsLayout::pixelsPerTwip(this) * m_scale, m_offset);
}

void Pick::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        popSet->popup(event->globalPosition().toPoint());
}

void Pick::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        setFullScreenMode(!m_fullScreen);
}

void Pick::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (isRollKey(key) || isScreenKey(key) || PlanDraw::isPlanKey(key) || isConsoleKey(key) ||
        isSoundKey(key)) {
        // A held key shows the pressed look; repeats of it do nothing.
        const int before = m_keys.held();
        if (!m_keys.press(event, this))
            return;
        if (before != 0 && Label4->isEnabled())
            applyBevelLook(false); // a second key pressed meanwhile takes the place of the first
        if (isRollKey(key) && Label4->isEnabled())
            applyBevelLook(true);
        return;
    }
    QWidget::keyPressEvent(event);
}

void Pick::keyReleaseEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (!isRollKey(key) && !isScreenKey(key) && !PlanDraw::isPlanKey(key) && !isConsoleKey(key) &&
        !isSoundKey(key)) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    if (!m_keys.release(event, this))
        return;
    if (isConsoleKey(key)) {
        Q_EMIT consoleRequested();
        return;
    }
    if (isSoundKey(key)) {
        m_evening.setSoundOn(!m_evening.module1().SoundOn);
        return;
    }
    if (PlanDraw::isPlanKey(key)) {
        m_plan->keyReleased(key);
        return;
    }
    if (isScreenKey(key)) {
        setFullScreenMode(key == Qt::Key_F11 ? !m_fullScreen : key == Qt::Key_F5);
        return;
    }
    if (!Label4->isEnabled())
        return;
    applyBevelLook(false);
    Label4_Click();
}

void Pick::pressRollButton()
{
    if (Label4->isEnabled())
        Label4_Click();
}

void Pick::forgetRollKey()
{
    if (m_keys.held() == 0)
        return;
    m_keys.forget();
    if (Label4->isEnabled())
        applyBevelLook(false);
}

void Pick::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        forgetRollKey(); // a message box or another window took the keyboard
    if (event->type() == QEvent::WindowStateChange && isVisible() &&
        bool(windowState() & Qt::WindowFullScreen) != m_fullScreen && m_stateRequests < MaxStateRequests) {
        // The window manager reports a state it had before the latest
        // toggles reached it (F11 pressed quickly twice): ask again, so the
        // window ends in the state the keys asked for.
        ++m_stateRequests;
        requestScreenState();
    }
}

void Pick::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    forgetRollKey();
}

void Pick::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    forgetRollKey();
}

void Pick::showOnDisplay(const QString &text)
{
    Label3->setText(text);
    fitDisplay();
}

void Pick::fitDisplay()
{
    // The whole winner must be readable: a long one gets a smaller font.
    fitTextToWidth(Label3, DisplayPointSize * m_scale, DisplayFloorPointSize * m_scale);
}

void Pick::setFullScreenMode(bool on)
{
    if (on == m_fullScreen)
        return;
    m_fullScreen = on;
    m_stateRequests = 0;
    if (!on)
        m_hall = nullptr; // full screen again wherever the window then stands
    if (on) {
        // Where the window comes back to. Right after leaving, the window
        // manager may not have given the normal geometry back yet: the
        // place recorded before is still the right one.
        if (!(windowState() & Qt::WindowFullScreen) && size() == m_designSize)
            m_normalGeometry = geometry();
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    requestScreenState();
    relayout();
}

void Pick::placeOnScreen(QScreen *target, bool fullScreen)
{
    if (!target)
        return;
    QRect normal(QPoint(), m_designSize);
    normal.moveCenter(target->availableGeometry().center());
    if (!fullScreen) {
        if (m_fullScreen) {
            m_normalGeometry = normal;
            setFullScreenMode(false);
        } else if (!target->geometry().intersects(frameGeometry())) {
            move(normal.topLeft());
        }
        return;
    }
    if (m_fullScreen && m_hall == target && geometry() == target->geometry())
        return;
    // A window manager moves a full-screen window only once it is normal again.
    if (windowState() & Qt::WindowFullScreen)
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    const bool shown = isVisible();
    setScreen(target);
    if (shown && !isVisible()) {
        // A screen apart from the one it stood on: the window was made again there, not yet shown.
        hide();
        show();
    }
    m_hall = target;
    if (!m_fullScreen) {
        move(normal.topLeft());
        setFullScreenMode(true);
    } else {
        requestScreenState();
    }
    m_normalGeometry = normal;
}

void Pick::setOperatorControlsShown(bool on)
{
    if (on == m_operatorControls)
        return;
    m_operatorControls = on;
    for (EventLabel *label : {Label4, Label5, Label6, Label7, Label8, Label9, Label10, Label11})
        label->setVisible(on);
    for (LineShape *line : {Line5, Line6, Line7, Line8, Line9, Line10})
        line->setVisible(on);
}

void Pick::requestScreenState()
{
    if (m_fullScreen) {
        // The hall's screen when the window was put there; else where it stands.
        const QScreen *s = m_hall ? m_hall.data() : screen();
        // On that screen before the request: a window manager fills the screen the window is on.
        if (m_hall)
            setGeometry(s->geometry());
        setWindowState(windowState() | Qt::WindowFullScreen);
        // Without a window manager to honour the request, take the screen ourselves.
        if (s)
            setGeometry(s->geometry());
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        setFixedSize(m_designSize);
        // Without a window manager nothing puts the window back.
        if (m_normalGeometry.isValid())
            setGeometry(m_normalGeometry);
        else
            centreOnScreen(this);
    }
}

void Pick::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void Pick::relayout()
{
    const double ppt = TwipsLayout::pixelsPerTwip(this);
    if (m_fullScreen) {
        m_scale = qMin(double(width()) / m_designSize.width(), double(height()) / m_designSize.height());
        const QSizeF scaled = QSizeF(m_designSize) * m_scale;
        m_offset = QPoint(qRound((width() - scaled.width()) / 2), qRound((height() - scaled.height()) / 2));
    } else {
        m_scale = 1.0;
        m_offset = QPoint();
    }
    m_layout->apply(ppt * m_scale, m_offset, m_scale);
    renewCover();
    fitDisplay();
    if (m_plan)
        m_plan->relayout(m_scale);
    update();
}

QRect Pick::coverSource(QSize picture, QSize screen)
{
    if (picture.isEmpty() || screen.isEmpty())
        return QRect();
    // The larger of the two factors: the picture reaches every edge.
    const double factor =
        qMax(double(screen.width()) / picture.width(), double(screen.height()) / picture.height());
    const int w = qBound(1, qRound(screen.width() / factor), picture.width());
    const int h = qBound(1, qRound(screen.height() / factor), picture.height());
    return QRect((picture.width() - w) / 2, (picture.height() - h) / 2, w, h);
}

void Pick::renewCover()
{
    if (!m_fullScreen || m_background.isNull() || size().isEmpty()) {
        m_cover = QPixmap();
        return;
    }
    if (m_cover.size() == size())
        return; // made for this size already: a new picture empties it first
    m_cover = QPixmap::fromImage(m_background.copy(coverSource(m_background.size(), size()))
                                     .scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void Pick::closeEvent(QCloseEvent *event)
{
    event->accept();
    Q_EMIT exitRequested();
}
