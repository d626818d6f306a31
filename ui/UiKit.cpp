#include "UiKit.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextLayout>
#include <QWidget>

#include "TextRules.h"

#include <cmath>

QColor rgb(quint32 value)
{
    return QColor::fromRgb(QRgb(0xFF000000u | (value & 0xFFFFFFu)));
}

quint32 rgbValue(const QColor &color)
{
    return color.rgb() & 0xFFFFFFu;
}

QString menuText(const QString &text)
{
    QString escaped = text;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

QStringList uiFontFamilies()
{
    return {QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑"), QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("WenQuanYi Micro Hei")};
}

QFont uiFont(double pointSize, bool bold, bool italic, bool underline)
{
    QFont font;
    font.setFamilies(uiFontFamilies());
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

double TwipsLayout::pixelsPerTwip(const QWidget *widget)
{
    const QScreen *screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return (dpi > 0 ? dpi : 96.0) / 1440.0;
}

int TwipsLayout::px(int twips, double pixelsPerTwip)
{
    return int(std::lround(twips * pixelsPerTwip));
}

QRect TwipsLayout::rect(int left, int top, int width, int height, double ppt)
{
    return QRect(px(left, ppt), px(top, ppt), px(width, ppt), px(height, ppt));
}

void TwipsLayout::place(QWidget *control, int left, int top, int width, int height)
{
    m_placements.append({control, QRect(left, top, width, height), control->font().pointSizeF()});
}

void TwipsLayout::apply(double ppt, QPoint offset, double fontScale)
{
    for (const Placement &p : std::as_const(m_placements)) {
        if (!p.control)
            continue;
        const QRect r = p.twips;
        p.control->setGeometry(rect(r.left(), r.top(), r.width(), r.height(), ppt).translated(offset));
        if (p.pointSize > 0) {
            QFont f = p.control->font();
            f.setPointSizeF(p.pointSize * fontScale);
            p.control->setFont(f);
        }
    }
}

void showAsPlainText(QLabel *label)
{
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
}

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return text;
    return QStringLiteral("<p style=\"white-space:pre\">%1</p>").arg(text.toHtmlEscaped());
}

void keepOnOneLine(QLineEdit *box)
{
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString &text) {
        const QString blanked = blankControlCharacters(text);
        if (blanked == text)
            return;
        // One blank for each character, so the cursor stays where it was.
        const int cursor = box->cursorPosition();
        box->setText(blanked);
        box->setCursorPosition(cursor);
    });
}

namespace {

QTextOption breakAnywhereOption(Qt::Alignment alignment)
{
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

} // namespace

int wrappedTextHeight(const QString &text, const QFont &font, int width)
{
    QTextLayout layout(text, font);
    layout.setTextOption(breakAnywhereOption(Qt::AlignLeft));
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return int(std::ceil(height));
}

void fitTextToWidth(EventLabel *label, double pointSize, double floorPointSize)
{
    const QString text = label->text();
    const int room = qMax(1, label->contentsRect().width());
    QFont font = label->font();
    font.setPointSizeF(pointSize);
    double size = pointSize;
    int advance = QFontMetrics(font).horizontalAdvance(text);
    // Glyph widths do not scale exactly with the size: estimate, then step down.
    if (advance > room)
        size = qMax(floorPointSize, pointSize * room / advance);
    for (;;) {
        font.setPointSizeF(size);
        advance = QFontMetrics(font).horizontalAdvance(text);
        if (advance <= room || size <= floorPointSize)
            break;
        size = qMax(floorPointSize, size * 0.97);
    }
    const bool wrap = advance > room;
    if (wrap) {
        // Wrapped, every line must show: smaller still until they fit the height.
        const int height = qMax(1, label->contentsRect().height());
        const double wrapFloor = floorPointSize / 2;
        while (size > wrapFloor && wrappedTextHeight(text, font, room) > height) {
            size = qMax(wrapFloor, size * 0.95);
            font.setPointSizeF(size);
        }
    }
    label->setFont(font);
    label->setBreakAnywhere(true);
    label->setWordWrap(wrap);
    label->setAlignment(Qt::AlignHCenter | (label->alignment() & Qt::AlignVertical_Mask));
}

EventLabel::EventLabel(const QString &text, QWidget *parent, const QString &name) : QLabel(text, parent)
{
    setObjectName(name);
    showAsPlainText(this);
    setAutoFillBackground(false); // transparent: the window's picture shows through
}

void EventLabel::setTextColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void EventLabel::setBreakAnywhere(bool on)
{
    if (on == m_breakAnywhere)
        return;
    m_breakAnywhere = on;
    update();
}

void EventLabel::paintEvent(QPaintEvent *event)
{
    if (!m_breakAnywhere || !wordWrap()) {
        QLabel::paintEvent(event);
        return;
    }
    // As the label paints plain text, but a word too long for a line breaks too.
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(QRectF(contentsRect()), text(), breakAnywhereOption(alignment()));
}

QColor EventLabel::textColor() const
{
    return palette().color(QPalette::WindowText);
}

void EventLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_leftDown = true;
    event->accept();
    Q_EMIT MouseDown(event->button());
}

void EventLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is not a click of its own, so a
    // hasty double click on the roll button starts a draw without stopping
    // it; it still looks pressed until the release.
    m_leftDown = false;
    event->accept();
    Q_EMIT MouseDown(event->button());
}

void EventLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    const bool click =
        event->button() == Qt::LeftButton && m_leftDown && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        m_leftDown = false;
    Q_EMIT MouseUp(event->button());
    if (click)
        Q_EMIT Click();
}

void RollButtonLabel::paintEvent(QPaintEvent *)
{
    QString shown = text();
    int leading = 0;
    while (leading < shown.size() && shown.at(leading) == QChar(0x3000))
        ++leading;
    const QFontMetrics fm(font());
    // The ideographic spaces fill as many lines as their width takes.
    const int spaceWidth = fm.horizontalAdvance(QString(leading, QChar(0x3000)));
    const int linesFilled = leading > 0 ? qMax(1, (spaceWidth + width() - 1) / qMax(1, width())) : 0;
    shown = shown.mid(leading);
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect lineRect(0, linesFilled * fm.lineSpacing(), width(),
                         height() - linesFilled * fm.lineSpacing());
    painter.drawText(lineRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, shown);
}

LineShape::LineShape(QWidget *window, const QString &name, QPoint first, QPoint second, const QColor &color,
                     int width)
    : QObject(window), m_first(first), m_second(second), m_color(color), m_width(width)
{
    setObjectName(name);
}

void LineShape::setFirst(QPoint p)
{
    m_first = p;
    changed();
}

void LineShape::setSecond(QPoint p)
{
    m_second = p;
    changed();
}

void LineShape::setColor(const QColor &color)
{
    m_color = color;
    changed();
}

void LineShape::setWidth(int width)
{
    m_width = width;
    changed();
}

void LineShape::changed()
{
    if (auto *w = qobject_cast<QWidget *>(parent()))
        w->update();
}

void LineShape::paintAll(QPainter &painter, const QWidget *window, double ppt, QPoint offset)
{
    const double scale = ppt * 15.0; // line widths are pixels at 96 dpi
    for (const LineShape *line : window->findChildren<LineShape *>(Qt::FindDirectChildrenOnly)) {
        QPen pen(line->color());
        pen.setWidthF(qMax(1.0, line->width() * scale));
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        const QPointF a(line->first().x() * ppt + offset.x(), line->first().y() * ppt + offset.y());
        const QPointF b(line->second().x() * ppt + offset.x(), line->second().y() * ppt + offset.y());
        // Pixel centres, so one-pixel lines stay crisp.
        const QPointF half(0.5, 0.5);
        painter.drawLine(a + half, b + half);
    }
}

void applyShadowedTextLook(EventLabel *button, EventLabel *shadow, bool pressed)
{
    for (EventLabel *label : {button, shadow}) {
        QFont f = label->font();
        f.setItalic(pressed);
        label->setFont(f);
    }
}

EventLabel *addLabel(QWidget *window, TwipsLayout &layout, const QString &name, const QString &text,
                     const QFont &font, QRect twips, Qt::Alignment align)
{
    auto *label = new EventLabel(text, window, name);
    label->setFont(font);
    label->setAlignment(align);
    layout.place(label, twips.x(), twips.y(), twips.width(), twips.height());
    return label;
}

QPushButton *addButton(QWidget *window, TwipsLayout &layout, const QString &name, const QString &text,
                       const QFont &font, QRect twips)
{
    auto *button = new QPushButton(text, window);
    button->setObjectName(name);
    button->setFont(font);
    button->setAutoDefault(false); // Enter and Escape press nothing by themselves
    button->setDefault(false);
    layout.place(button, twips.x(), twips.y(), twips.width(), twips.height());
    return button;
}

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString pictureFilter()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format).toLower();
    patterns.removeDuplicates();
    return PictureFilter + QStringLiteral("|所有图片|") + patterns.join(u';');
}

QString pictureErrorText(const QString &path, const QString &error)
{
    return QStringLiteral("无法载入背景图片 %1：%2").arg(QFileInfo(path).fileName(), error);
}

void bringToFront(QWidget *window)
{
    // Window managers and taskbars minimise a window whatever buttons it
    // asks for: it comes back in the state it had, normal or full screen.
    if (window->windowState() & Qt::WindowMinimized)
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    // Under a window manager this asks it to activate the window; with none
    // (a kiosk, a bare X session) the window takes the keyboard itself.
    window->activateWindow();
}

void centreOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect frame = window->frameGeometry();
    const QSize extra = frame.size() - window->size();
    window->move(area.center() -
                 QPoint((window->width() + extra.width()) / 2, (window->height() + extra.height()) / 2));
}

void setUpFixedWindow(QWidget *window, int clientWidthTwips, int clientHeightTwips, quint32 background)
{
    const double ppt = TwipsLayout::pixelsPerTwip(window);
    window->setFixedSize(TwipsLayout::px(clientWidthTwips, ppt), TwipsLayout::px(clientHeightTwips, ppt));
    QPalette p = window->palette();
    p.setColor(QPalette::Window, rgb(background));
    window->setPalette(p);
    window->setAutoFillBackground(true);
    window->setFont(uiFont(9));
}

bool isRollKey(int key)
{
    switch (key) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

bool isScreenKey(int key)
{
    return key == Qt::Key_F11 || key == Qt::Key_F5 || key == Qt::Key_Escape;
}

bool KeyPressGate::press(const QKeyEvent *event, const QWidget *window)
{
    if (event->isAutoRepeat() || !window->isActiveWindow())
        return false;
    m_key = event->key();
    return true;
}

bool KeyPressGate::release(const QKeyEvent *event, const QWidget *window)
{
    if (event->isAutoRepeat() || event->key() != m_key)
        return false; // a repeat, or a release without its own press here
    m_key = 0;
    return window->isActiveWindow();
}
