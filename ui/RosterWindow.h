#pragma once

#include "Dialogs.h"
#include "Roster.h"
#include "RosterFile.h"

#include <QWidget>

class EveningController;
class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QLabel;

// The roster import: a spreadsheet (.xlsx) or a CSV or text file with
// columns read away from the window, its columns mapped by name and
// changeable, its first rows shown, and its report shown before anything
// changes; then the list is replaced by its people or they are added.
// Opened from the data editing window's right-click menu.
class RosterWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RosterWindow)

public:
    explicit RosterWindow(EveningController &evening, QWidget *parent = nullptr);
    ~RosterWindow() override;

    QPushButton *Command1; // choose a file
    QLabel *Label1;        // the file and how it was read
    QComboBox *Combo1;     // sheet of a workbook
    QComboBox *Combo2;     // header row
    QComboBox *Combo3;     // 工号 column
    QComboBox *Combo4;     // 姓名 column
    QComboBox *Combo5;     // 部门 column
    QTableWidget *Grid1;   // the first rows
    QPlainTextEdit *Text1; // the report
    QComboBox *Combo6;     // what the hall sees
    QCheckBox *Check1;     // mask names
    QCheckBox *Check2;     // mask 工号
    QPushButton *Command2; // replace the list
    QPushButton *Command3; // add to the list
    QPushButton *Command4; // close
    OpenFileDialog CMD1;   // chooses the roster file

    // Reads a file as the choose button does after its dialog; the window
    // shows it when the reading is done (loaded()).
    void openFile(const QString &path, int sheet = 0);
    const Roster::Report &report() const { return m_report; }
    Roster::Mapping mapping() const;
    Roster::Look look() const;

Q_SIGNALS:
    // A file was read (or refused) and the window shows it.
    void loaded();
    // The list now shows the roster: the count follows.
    void imported();

private:
    void showLoaded(const QString &path, int sheet, const RosterFile::Loaded &file,
                    const Roster::Mapping &mapping, const Roster::Report &report);
    void fillColumns(const Roster::Mapping &mapping);
    // Analyses the table again with the mapping the organiser chose.
    void analyse();
    // Shows a report of the table with the chosen mapping: preview, lines, buttons.
    void showReport(const Roster::Report &report);
    void apply(bool append);

    EveningController &m_evening;
    QString m_path;
    Roster::Table m_rows;
    Roster::Report m_report;
    bool m_filling = false;
    bool m_loading = false;
};
