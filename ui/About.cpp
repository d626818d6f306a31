#include "About.h"

#include "Artwork.h"
#include "Dialogs.h"
#include "Launcher.h"
#include "SizeLock.h"
#include "UiKit.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

QUrl About::webPage()
{
    return QUrl(QStringLiteral(DRAW_HOMEPAGE));
}

About::About(SizeLock &sizeLock)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_sizeLock(sizeLock), m_layout(new TwipsLayout),
      m_background(Artwork::aboutBackground())
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("星梭抽奖 - 关于"));
    setUpFixedWindow(this, 4590, 3120, 0xE0E0E0);
    // The size lock decides the window's limits, not a fixed size.
    const QSize client = size();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(client);
    createControls();
    Load();
}

About::~About() = default;

void About::createControls()
{
    auto label = [this](const QString &name, const QString &text, const QFont &font,
                        std::optional<QColor> color, QRect twips,
                        Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
        EventLabel *l = addLabel(this, *m_layout, name, text, font, twips, align);
        if (color)
            l->setTextColor(*color);
        return l;
    };
    const QColor red = rgb(0xC00000);
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("A"), uiFont(36), red, {240, 0, 735, 975});
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("bout"), uiFont(10.5, true), red,
                   {840, 525, 975, 255});
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("星 梭 抽 奖 程 序"), uiFont(15.75), {},
                   {1080, 120, 2415, 375});
    Label5 = label(QStringLiteral("Label5"), QStringLiteral("开源抽奖项目组 出品"), uiFont(12), {},
                   {1800, 840, 2535, 495});
    Image1 = label(QStringLiteral("Image1"), QString(), uiFont(9), {}, {480, 920, 960, 960});
    Image1->setPixmap(Artwork::linkPicture());
    Image1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setToolTip(QStringLiteral("点击访问我的网站 :)"));
    Image1->setCursor(Qt::PointingHandCursor);
    Label8 =
        label(QStringLiteral("Label8"), QString(), uiFont(10.5, false, true), {}, {2550, 1125, 2535, 375});
    Label6 = label(QStringLiteral("Label6"), QStringLiteral("A Optimized App from"), uiFont(12), {},
                   {1560, 1560, 2655, 375});
    Label7 = label(QStringLiteral("Label7"), QStringLiteral("{星梭 抽奖程序}"), uiFont(12), {},
                   {2040, 1860, 3015, 495});
    Label4 = label(QStringLiteral("Label4"), QStringLiteral("Just 4 Fun"), uiFont(9, false, true),
                   palette().color(QPalette::Shadow), {360, 2085, 975, 255});
    Label9 = label(QStringLiteral("Label9"), QStringLiteral("确 定"), uiFont(12, true), rgb(0x404040),
                   {3360, 2475, 735, 375}, Qt::AlignHCenter | Qt::AlignTop);

    Line1 = new LineShape(this, QStringLiteral("Line1"), {615, 570}, {4075, 570}, red, 4);
    Line2 = new LineShape(this, QStringLiteral("Line2"), {360, 2280}, {4200, 2280},
                          palette().color(QPalette::Dark));
    Line3 = new LineShape(this, QStringLiteral("Line3"), {3240, 2400}, {4200, 2400}, rgb(0x808080), 1);
    Line4 = new LineShape(this, QStringLiteral("Line4"), {3240, 2875}, {3240, 2385}, rgb(0x808080), 1);
    Line5 = new LineShape(this, QStringLiteral("Line5"), {3240, 2880}, {4200, 2880}, rgb(0x404040), 2);
    Line6 = new LineShape(this, QStringLiteral("Line6"), {4200, 2880}, {4200, 2400}, rgb(0x404040), 2);
    m_layout->apply(TwipsLayout::pixelsPerTwip(this));

    bindPressLook(Label9, [this](bool pressed) { applyFrameLook(pressed); });
    connect(Label9, &EventLabel::Click, this, &QWidget::hide);
    connect(Image1, &EventLabel::Click, this, &About::Image1_Click);
}

void About::Load()
{
    Label8->setText(Version);
    centreOnScreen(this);
    m_sizeLock.LockWindowSize(this);
}

void About::Unload()
{
    m_sizeLock.UnlockWindowSize();
}

void About::applyFrameLook(bool pressed)
{
    const QColor light = rgb(0x808080), dark = rgb(0x404040);
    Label9->setTextColor(pressed ? rgb(0xC00000) : dark);
    Line3->setWidth(pressed ? 2 : 1);
    Line3->setColor(pressed ? dark : light);
    Line4->setWidth(pressed ? 2 : 1);
    Line4->setColor(pressed ? dark : light);
    Line5->setWidth(pressed ? 1 : 2);
    Line5->setColor(pressed ? light : dark);
    Line6->setWidth(pressed ? 1 : 2);
    Line6->setColor(pressed ? light : dark);
}

void About::Image1_Click()
{
    if (!Launcher::OpenWebPage(webPage()))
        Dialogs::error(this, QStringLiteral("无法打开网页 %1：没有可用的浏览器。").arg(webPage().toString()));
}

void About::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    LineShape::paintAll(painter, this, TwipsLayout::pixelsPerTwip(this));
}

void About::mousePressEvent(QMouseEvent *event)
{
    m_surfacePressed = event->button() == Qt::LeftButton;
}

void About::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click =
        m_surfacePressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_surfacePressed = false;
    if (click)
        hide();
}

void About::closeEvent(QCloseEvent *event)
{
    Unload();
    event->accept();
    Q_EMIT unloaded();
}
