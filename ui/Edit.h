#pragma once

#include "Dialogs.h"

#include <QWidget>

#include <memory>

class CandidateList;
class EveningController;
class EventLabel;
class LineShape;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class RosterWindow;
class TwipsLayout;

// The data editing window: holds the master candidate list, and offers
// typing, deleting, clearing, reading a list file, removing repeats,
// editing the file and handing the list over.
class Edit : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Edit)

public:
    // The entry box's hint, with its leading blank.
    static inline const QString Hint = QStringLiteral(" 可用ENTER输入");

    explicit Edit(EveningController &evening);
    ~Edit() override;

    QLineEdit *Text1;           // entry box
    QPushButton *Command6;      // add the entry box's text
    QListView *List1;           // the master candidate list
    QPushButton *Command1;      // read a list file
    QPushButton *Command2;      // edit the list file
    QPushButton *Command5;      // remove repeats
    QPushButton *Command4;      // delete the selected entry
    QPushButton *Command7;      // clear the list
    QPushButton *Command3;      // hand the list over
    EventLabel *Label1;         // name of the last file read
    EventLabel *Label2;         // size of the last file read
    EventLabel *Label3;         // the count label
    QProgressBar *ProgressBar1; // progress of the file import
    OpenFileDialog CMD1;        // chooses a list file
    LineShape *Line1;           // etched rule above the status row: shadow
    LineShape *Line2;           // etched rule: white
    LineShape *Line3;           // first divider in the status row: shadow
    LineShape *Line4;           // first divider: white
    LineShape *Line5;           // second divider: white
    LineShape *Line6;           // second divider: shadow

    CandidateList *List1Model() const { return m_list; }
    // Full path of the last list file that passed the size checks.
    const QString &ListFilePath() const { return m_listFilePath; }
    // Removes repeats from lst, reducing nowc by the number removed.
    int ReSortDups(CandidateList &lst, qint32 &nowc, int comptype);
    // The selected position, or -1.
    int selectedIndex() const;

    // Reads a list file into the list, as the read button does after its
    // dialog. Public so the import can be driven without the dialog.
    void importListFile(const QString &path);
    // A winner leaves the pool: every entry with the text at this position
    // is deleted, the organiser's selection stays on its entry (none when
    // that was the winner), and the count and settings summary follow.
    void removeWinner(int position);
    // Puts back a list kept from an earlier run, with the file it came from.
    void restoreList(const QStringList &entries, const QString &fileName, const QString &filePath,
                     const QString &sizeCaption, bool imported);
    // Adds the lines of a pasted column as entries, in order; leftOut more
    // lines and cutChars more characters of the paste were not taken.
    void addPastedLines(const QStringList &lines, qsizetype leftOut = 0, qsizetype cutChars = 0);
    // The roster import, opened from List1's right-click menu (created on first use).
    RosterWindow *rosterWindow();

Q_SIGNALS:
    // The organiser closed the window with its close box: the list goes with it.
    void listClosed();
    // Then the window unloaded itself: it is gone once control returns.
    void unloaded();
    // The list was handed over (or emptied): the settings' summary shows this count.
    void countHandedOver(qint32 count);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Load();
    void Unload();
    void createControls();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command7_Click();
    void offerToRemoveRepeats(const QStringList &before, const QStringList &added);
    void addEntry();
    void Text1_GotFocus();
    void redrawCount();
    void updateDeleteButton();
    void setSelectedIndex(int index);

    EveningController &m_evening;
    CandidateList *m_list;
    std::unique_ptr<TwipsLayout> m_layout;
    QString m_listFilePath;
};
