#pragma once

#include "EventState.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace Prizes {
class Evening;
}
class BoardWindow;
class EventLabel;
class Pick;
class PositionSource;
class QAction;
class QMenu;
class QWidget;
class TwipsLayout;
class WindowShell;
class WinnerGrid;

// The live draw with a prize plan: the progress line, the grid of a stop's
// winners, voiding an absent winner, the winners board and its export.
// Lives in the live-draw window; without prizes it keeps out of sight and
// the window draws one entry at a time as it always did.
class PlanDraw : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlanDraw)

public:
    PlanDraw(WindowShell &shell, Pick &pick, TwipsLayout &layout, QMenu *menu);
    ~PlanDraw() override;

    WinnerGrid *Grid1;   // the winners of the stop, in the display band
    EventLabel *Label12; // progress line: prize and places
    QAction *popBoard;   // menu: the winners board
    QAction *popVoid;    // menu: void an absent winner
    QAction *popClose;   // menu: close the prize short when its pool cannot fill it
    QAction *popExport;  // menu: export the winners list

    static inline const QString BoardKeyText = QStringLiteral("M");
    // M opens the board, Delete offers the current prize's winners to void;
    // both at their release, as the window's other keys.
    static bool isPlanKey(int key);

    bool active() const;
    bool rolling() const { return m_timer.isActive(); }
    QTimer *Timer2() { return &m_timer; }
    void setPositionSource(std::unique_ptr<PositionSource> source);
    // The award shown in each grid cell (-1 while rolling).
    const QList<int> &cellAwards() const { return m_cellAwards; }

    // The roll button: starts, stops, moves on to the next prize, or refuses.
    void rollClick();
    // One tick of the rolling grid.
    void tick();
    // Leaving for the settings: stops without a record.
    void abort();
    void keyReleased(int key);
    // Pick's layout changed (full screen or back).
    void relayout();

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

private:
    void refresh();
    void startRolling();
    void stopRolling();
    void showProgress(const QList<int> &places);
    void showAwards(const QList<int> &awards);
    void hookList();
    void renewPool();
    QString voidItemText(int award) const;
    QStringList entries() const;
    // The change's records, all with the one time the change took.
    EventState::RecordOutcome appendRecords(const Prizes::Evening &before, const QStringList &titles,
                                            const QStringList &results, const QDateTime &when);

    WindowShell &m_shell;
    Pick &m_pick;
    QTimer m_timer; // Timer2: the grid's 50 ms tick
    std::unique_ptr<PositionSource> m_source;
    QStringList m_pool;
    QString m_poolFingerprint; // of m_pool, once worked out
    bool m_poolDirty = true;
    QList<int> m_cellAwards;
    QList<int> m_shownPlaces;
    QPointer<BoardWindow> m_board;
    QMenu *m_menu;
    QAction *m_separator;
};
