#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <memory>

class BoardWindow;
class EventLabel;
class EveningController;
class PositionSource;
class QAction;
class QMenu;
class QTimer;
class QWidget;
class TwipsLayout;
class WinnerGrid;

// What the live-draw window shows of a prize plan: the progress line, the
// grid of a stop's winners, the menu to void an absent winner or close a
// prize short, the winners board and its export. The evening decides; this
// asks it and follows its signals. Without prizes it keeps out of sight and
// the window draws one entry at a time as it always did.
class PlanDraw : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlanDraw)

public:
    PlanDraw(EveningController &evening, QWidget &host, TwipsLayout &layout, QMenu *menu);
    ~PlanDraw() override;

    WinnerGrid *Grid1;   // the winners of the stop, in the display band
    EventLabel *Label12; // progress line: prize and places
    EventLabel *Label13; // "彩 排" while a rehearsal lasts, in the corner left of the title
    QAction *popBoard;   // menu: the winners board
    QAction *popVoid;    // menu: void an absent winner
    QAction *popClose;   // menu: close the prize short when its pool cannot fill it
    QAction *popExport;  // menu: export the winners list

    static inline const QString BoardKeyText = QStringLiteral("M");
    // M opens the board, Delete offers the current prize's winners to void;
    // both at their release, as the window's other keys.
    static bool isPlanKey(int key);

    bool active() const;
    bool rolling() const;
    QTimer *Timer2() const;
    void setPositionSource(std::unique_ptr<PositionSource> source);
    // The award shown in each grid cell (none while rolling).
    const QList<int> &cellAwards() const;

    // The roll button: starts, stops, moves on to the next prize, or refuses.
    void rollClick();
    // One tick of the rolling grid.
    void tick();
    void keyReleased(int key);
    // The window's layout changed (full screen or back) to this scale.
    void relayout(double scale);

    // Voids one award after the operator confirmed and chose (tests answer
    // the question through the dialog hooks).
    void offerVoid(int award);
    // The menu of the winners that may be voided: the prize showing first,
    // then the earlier ones, each item naming its prize and place.
    void showVoidMenu(QPoint globalPos);
    void fillVoidMenu(QMenu *menu) const;
    // Closes the announced prize short after the operator confirmed: its
    // open places are recorded as left empty and the evening goes on.
    void offerClose();
    BoardWindow *showBoard();
    BoardWindow *board() const;
    // Asks for a file name and writes the CSV away from the window's thread.
    void exportBoard(QWidget *parent);

Q_SIGNALS:
    // The export finished (ok) or failed; the operator has been told.
    void exported(const QString &path, bool ok);
    // The plan shows (the window's single display steps aside) or not.
    void activeChanged(bool active);
    // The presenter's keys on the board: the roll button, and back to the live window.
    void rollRequested();
    void liveWindowRequested();

private:
    void refresh();
    void showShown();
    void showRolling(const QStringList &cells);
    QString voidItemText(int award) const;

    EveningController &m_evening;
    QWidget &m_host;
    QPointer<BoardWindow> m_board;
    QMenu *m_menu;
    QAction *m_separator;
    double m_scale = 1.0;
};
