#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QRect>

class QLineEdit;
class QPainter;
class QWidget;

// Colours written as 0xRRGGBB.
QColor rgb(quint32 value);
quint32 rgbValue(const QColor &color);

// Every text of the program uses this face list, so Chinese renders with a
// CJK face wherever the preferred one is missing.
QFont uiFont(double pointSize, bool bold = false, bool italic = false, bool underline = false);
QStringList uiFontFamilies();

// Window layouts are written in twips (1/1440 inch). A TwipsLayout places
// each control from its twips rectangle with one scale factor, so the same
// numbers serve the designed window and a scaled full-screen one.
class TwipsLayout
{
public:
    // Pixels per twip on the given widget's screen (1/15 at 96 dpi).
    static double pixelsPerTwip(const QWidget *widget);
    static int px(int twips, double pixelsPerTwip);
    static QRect rect(int left, int top, int width, int height, double pixelsPerTwip);

    // Records where a control goes; its font's point size is taken as the design size.
    void place(QWidget *control, int left, int top, int width, int height);
    // Moves, sizes and scales every placed control.
    void apply(double pixelsPerTwip, QPoint offset = QPoint(), double fontScale = 1.0);

private:
    struct Placement
    {
        QPointer<QWidget> control;
        QRect twips;
        double pointSize;
    };
    QList<Placement> m_placements;
};

// Text an organiser or a list file supplies is shown exactly as it is,
// never read as markup: every label of the program is set up through here.
void showAsPlainText(QLabel *label);
// Supplied text as a menu item's text: an "&" stays an ampersand rather
// than marking the item's shortcut.
QString menuText(const QString &text);
// A tooltip that shows text exactly as it is: a tooltip reads anything that
// looks like markup as markup, so the text goes in escaped.
QString plainToolTip(const QString &text);
// A one-line box keeps its text on one line: a typed or pasted line break,
// or any other control character, becomes a blank.
void keepOnOneLine(QLineEdit *box);
class EventLabel;
// Gives a label the largest font up to pointSize at which its text fits the
// label's width on one line. Below floorPointSize the text wraps instead,
// between words or inside a word too long for a line, and shrinks on until
// every wrapped line fits the label's height (down to half the floor), so a
// long text is shown whole, never cut at its end.
void fitTextToWidth(EventLabel *label, double pointSize, double floorPointSize);
// The height of text wrapped into width as a label that breaks anywhere wraps it.
int wrappedTextHeight(const QString &text, const QFont &font, int width);

// A label that receives the mouse itself, as a button would: mouse down and
// up for any button, and a click when the left button is released over it.
class EventLabel : public QLabel
{
    Q_OBJECT

public:
    explicit EventLabel(const QString &text, QWidget *parent, const QString &name);

    void setTextColor(const QColor &color);
    QColor textColor() const;
    // A wrapped text breaks between words, or inside a word too long for a line.
    void setBreakAnywhere(bool on);
    bool breaksAnywhere() const { return m_breakAnywhere; }

Q_SIGNALS:
    void MouseDown(Qt::MouseButton button);
    void MouseUp(Qt::MouseButton button);
    void Click();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_leftDown = false;
    bool m_breakAnywhere = false;
};

// The roll button's label: its caption starts with ideographic spaces that
// fill the first line, so the word stands centred on the second line.
class RollButtonLabel : public EventLabel
{
    Q_OBJECT

public:
    using EventLabel::EventLabel;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A line drawn by its window: two end points in twips, a colour and a width
// in pixels. Tests read the values by the line's object name.
class LineShape : public QObject
{
    Q_OBJECT

public:
    LineShape(QWidget *window, const QString &name, QPoint first, QPoint second, const QColor &color,
              int width = 1);

    QPoint first() const { return m_first; }
    QPoint second() const { return m_second; }
    QColor color() const { return m_color; }
    int width() const { return m_width; }

    void setFirst(QPoint p);
    void setSecond(QPoint p);
    void setColor(const QColor &color);
    void setWidth(int width);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);

    // Draws every shown line of a window, in creation order.
    static void paintAll(QPainter &painter, const QWidget *window, double pixelsPerTwip,
                         QPoint offset = QPoint());

private:
    void changed();

    QPoint m_first;
    QPoint m_second;
    QColor m_color;
    int m_width;
    bool m_visible = true;
};

// The look of a shadowed text button: the label and its shadow italic while pressed.
void applyShadowedTextLook(EventLabel *button, EventLabel *shadow, bool pressed);
// Wires a label button's mouse down and up to its pressed and released looks.
template <typename Look> void bindPressLook(EventLabel *button, Look look)
{
    QObject::connect(button, &EventLabel::MouseDown, button, [look](Qt::MouseButton) { look(true); });
    QObject::connect(button, &EventLabel::MouseUp, button, [look](Qt::MouseButton) { look(false); });
}

class QPushButton;

// Creates a control of a window and records its place in twips.
EventLabel *addLabel(QWidget *window, TwipsLayout &layout, const QString &name, const QString &text,
                     const QFont &font, QRect twips, Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop);
QPushButton *addButton(QWidget *window, TwipsLayout &layout, const QString &name, const QString &text,
                       const QFont &font, QRect twips);

// Background pictures: the file types offered (PictureLoader loads them),
// the usual ones first, then every picture this program can read.
inline const QString PictureFilter = QStringLiteral("图片文件(*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp");
QString pictureFilter();
// The operator's message for a picture that could not be loaded.
QString pictureErrorText(const QString &path, const QString &error);
// The folder that holds the program: where the file dialogs start.
QString programFolder();

// Every path that shows a window to the user goes through here: shows it,
// or brings a shown or minimised one back, raised and activated, so the
// keyboard works in it at once.
void bringToFront(QWidget *window);
// Places a top-level window in the middle of its screen's free area.
void centreOnScreen(QWidget *window);
// Common set-up of a window: fixed client size from twips, background colour, font.
void setUpFixedWindow(QWidget *window, int clientWidthTwips, int clientHeightTwips, quint32 background);

class QKeyEvent;
// The keys of the hall's windows (the live draw and the winners board),
// for presenter remotes and keyboards. The roll keys act as the roll
// button: Space, Enter, Page Down, Page Up, Right, Down.
bool isRollKey(int key);
// F11 toggles full screen, F5 enters it, Escape leaves it.
bool isScreenKey(int key);
// The live window's mute key: sounds off and on again.
inline bool isSoundKey(int key)
{
    return key == Qt::Key_S;
}
// A window's key acts at its release, and only when both its press and its
// release reached the window while it was active: a release left over from
// a message box closed with Enter, or from another window, does nothing,
// and a held key acts once.
class KeyPressGate
{
public:
    // A press: false for a repeat or while the window is not active;
    // otherwise the key is held from now, in place of any other.
    bool press(const QKeyEvent *event, const QWidget *window);
    // A release: true when it is the held key's own and the window is
    // still active; the key is no longer held either way.
    bool release(const QKeyEvent *event, const QWidget *window);
    int held() const { return m_key; }
    void forget() { m_key = 0; }

private:
    int m_key = 0;
};
