#pragma once

#include <QWidget>

class EventLabel;
class QCheckBox;
class QPushButton;
class QSpinBox;
class QTableWidget;
class EveningController;

// Where the organiser prepares the prizes of the evening: an ordered list
// of prizes, each with a name, its number of places and how many winners
// one stop draws, and whether each person wins at most once. Opened from
// the settings window's right-click menu; nothing of that window moves.
class PlanWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlanWindow)

public:
    explicit PlanWindow(EveningController &evening);
    ~PlanWindow() override;

    // The settings window's ways in: a right-click menu on its free surface
    // and a link that says whether a plan exists.
    static void attachTo(QWidget *setting, EveningController &evening, EventLabel *link);
    // The link's text: the plan in a few words, and how to open it.
    static QString summaryText(const EveningController &evening);

    EventLabel *Label1;    // what the table holds, and whether it can change
    QTableWidget *Table1;  // one row per prize: name, places, winners per stop
    QPushButton *Command1; // add a prize
    QPushButton *Command2; // remove the selected prize
    QPushButton *Command3; // move it up
    QPushButton *Command4; // move it down
    QCheckBox *Check1;     // each person wins at most once this evening
    QSpinBox *Spin1;       // seconds the hall sees a roll before a stop takes effect
    QCheckBox *Check2;     // rehearsal: switched at once, records to a file of its own
    QPushButton *Command5; // save the plan
    QPushButton *Command6; // close without saving
    QPushButton *Command7; // clear the winners and start the evening again

    // Fills the table from the saved plan.
    void load();
    // Checks and saves the table as the plan; false (and told) when refused.
    bool save();
    void addPrize(const QString &name, int count, int perStop, const QString &depts = QString());

private:
    void setRow(int row, const QString &name, int count, int perStop, const QString &depts);
    void moveRow(int by);
    void clearWinners();
    void switchRehearsal(bool on);
    void updateButtons();

    EveningController &m_evening;
};
