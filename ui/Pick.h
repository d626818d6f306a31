#pragma once

#include "Dialogs.h"
#include "LiveLook.h"
#include "UiKit.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <memory>

class DrawEngine;
class EveningController;
class EventLabel;
class LineShape;
class PictureLoader;
class PlanDraw;
class QAction;
class QMenu;
class TwipsLayout;

// The live-draw window shown to the audience: title, subtitle, the framed
// rolling display, the square roll button and the small text buttons. It
// shows the evening's draw and asks the evening to act.
class Pick : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Pick)

public:
    Pick(EveningController &evening, PictureLoader &pictures);
    ~Pick() override;

    EventLabel *Label1;           // event title, set by the settings window
    EventLabel *Label2;           // event subtitle
    EventLabel *Label3;           // rolling display
    EventLabel *Label4;           // roll button (bevelled square)
    EventLabel *Label5;           // results button
    EventLabel *Label6;           // result badge over the results button
    EventLabel *Label7;           // exit button
    EventLabel *Label8;           // settings button
    EventLabel *Label9;           // shadow of the settings button
    EventLabel *Label10;          // shadow of the results button
    EventLabel *Label11;          // shadow of the exit button
    LineShape *Line1;             // rule above the rolling display
    LineShape *Line2;             // left bar beside the display
    LineShape *Line3;             // rule below the display
    LineShape *Line4;             // right bar beside the display
    LineShape *Line5;             // roll button: top edge
    LineShape *Line6;             // roll button: left edge
    LineShape *Line7;             // roll button: bottom edge
    LineShape *Line8;             // roll button: right edge
    LineShape *Line9;             // roll button: outer shadow, right
    LineShape *Line10;            // roll button: outer shadow, below
    OpenFileDialog CommonDialog1; // chooses a background picture
    QMenu *popSet;                // pop-up menu of the free surface
    QAction *popBG;               // its first item: set the background
    QAction *popLeave;            // checkable: winners leave the pool

    DrawEngine *engine() const { return m_engine; }
    // The draw by prize plan: grid, progress line, voids, board.
    PlanDraw *plan() const { return m_plan; }

    // Hides this window, asks for the settings and stops a rolling draw
    // without a record.
    void ReturnToSettings();
    // The settings' confirmation: the lines' fonts, the subtitle and its
    // colour, and the background (the title follows the evening's). Refused when the picture cannot be shown
    // (error says why; the draw goes on without it), or when the program ended while it was being decoded
    // (error empty).
    enum class LookOutcome { Shown, PictureRefused, Ended };
    LookOutcome showLook(const LiveLook &look, QString *error);
    // A roll key used where the live draw does not have the keyboard (the
    // winners board): acts as the roll button, when that is enabled.
    void pressRollButton();
    // Loads a picture as the background; an empty path removes it. On
    // failure the previous background stays and error says why (empty
    // when the program ended while the picture was being decoded).
    bool setBackgroundPicture(const QString &path, QString *error = nullptr);
    bool hasBackgroundPicture() const { return !m_background.isNull(); }
    QSize backgroundSize() const { return m_background.size(); }
    // The part of the picture that covers a screen of this size, centred.
    static QRect coverSource(QSize picture, QSize screen);

    // Full screen for the hall: the designed layout scaled by one factor,
    // the largest that fits, and centred; the background picture covers the
    // whole screen (scaled from the original to cover it, centred, its
    // overhang cut off). Leaving restores the design: the picture at its
    // own size from the upper-left corner.
    void setFullScreenMode(bool on);
    bool isFullScreenMode() const { return m_fullScreen; }
    double layoutScale() const { return m_scale; }
    QPoint layoutOffset() const { return m_offset; }
    // The keys a presenter remote sends, which act as the roll button, and
    // the full-screen keys; each acts by KeyPressGate's rule.
    static bool isRollKey(int key) { return ::isRollKey(key); }
    static bool isScreenKey(int key) { return ::isScreenKey(key); }
    // The rolling display's design font size, and the smallest it shrinks
    // to for a long entry before the entry wraps.
    static constexpr double DisplayPointSize = 21.75;
    static constexpr double DisplayFloorPointSize = 10.5;

Q_SIGNALS:
    // The settings button: the settings window comes back.
    void settingsRequested();
    // The exit button or the close box: the program ends.
    void exitRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Load();
    void createControls();
    void bindEngine();
    void popBG_Click();
    void Label4_Click();
    void Label5_Click();
    void applyBevelLook(bool pressed);
    void showResultNotSaved(const QString &result, const QString &error);
    void relayout();
    void showOnDisplay(const QString &text);
    void fitDisplay();
    void forgetRollKey();
    void requestScreenState();

    EveningController &m_evening;
    PictureLoader &m_pictures;
    DrawEngine *m_engine;
    PlanDraw *m_plan = nullptr;
    std::unique_ptr<TwipsLayout> m_layout;
    void renewCover();

    QImage m_background; // the picture as decoded, whatever the window's size
    QPixmap m_cover;     // in full screen: the picture scaled to cover the window, made once per size
    QSize m_designSize;
    bool m_fullScreen = false; // what the keys asked for; the window manager follows
    QRect m_normalGeometry;    // where the window stands when not full screen
    int m_stateRequests = 0;   // requests repeated since the last toggle
    static constexpr int MaxStateRequests = 4;
    double m_scale = 1.0;
    QPoint m_offset;
    KeyPressGate m_keys; // the roll, screen or plan key pressed here and not yet released
};
