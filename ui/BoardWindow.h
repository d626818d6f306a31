#pragma once

#include "UiKit.h"

#include <QWidget>

class BoardModel;
class EventLabel;
class QPushButton;
class QTableView;
class EveningController;

// The winners board for the end of the evening: every prize in order with
// its pool, its winners by place and its voids marked. Scales its text with
// its size, so it reads on the projector in full screen (F11, F5, Escape,
// or a double click, as the live-draw window). The presenter's keys work
// here too: the roll keys start and stop the live draw, M goes back to it.
class BoardWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoardWindow)

public:
    explicit BoardWindow(EveningController &evening);
    ~BoardWindow() override;

    EventLabel *Label1;    // heading: the event title and "中奖名单"
    QTableView *Table1;    // prizes, places, winners, times, status
    QPushButton *Command1; // export the list
    QPushButton *Command2; // close

    // Brings the table up to date with the evening: only the rows of a
    // stop's winners or of a void change; a new plan or evening rebuilds it.
    void refresh();
    // The table's text row by row (cells joined by tabs), for checks.
    QStringList rowTexts() const;
    double scale() const { return m_scale; }
    // Full screen for the hall (F11, F5, a double click; Escape and F11
    // leave it): the table alone, the operator's buttons out of sight.
    void setFullScreen(bool on);
    bool isFullScreenMode() const { return m_fullScreen; }

    // M, on the live-draw window and here: from here back to that window.
    static bool isBoardKey(int key) { return key == Qt::Key_M; }

Q_SIGNALS:
    void exportRequested();
    // A roll key pressed and released here.
    void rollRequested();
    // M pressed and released here.
    void liveWindowRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyScale();
    void requestScreenState();
    void fitColumns();

    EveningController &m_evening;
    BoardModel *m_model;
    QSize m_designSize;
    double m_scale = 1.0;
    bool m_fullScreen = false; // what the keys asked for; the window manager follows
    int m_stateRequests = 0;   // requests repeated since the last toggle
    KeyPressGate m_keys;       // a screen, roll or board key pressed here and not yet released
};
