#pragma once

#include "UiKit.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class EveningController;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScreen;

// The operator's window: start and stop, the prize and places the hall
// sees, the last stop's winners with 未到场, the next prize, the board and
// the export, the choice of the hall's screen, and a small picture of what
// the hall sees. With a second screen it stays on the operator's while the
// live draw fills the hall's; what the evening tells the operator is told
// here, never over the winners.
class Console : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Console)

public:
    // audience: the live-draw window, shown small in the preview.
    Console(EveningController &evening, QWidget &audience);
    ~Console() override;

    QPushButton *Command1; // start / stop: the roll button
    QLabel *Label1;        // the prize and places the hall sees
    QListWidget *List1;    // the last stop's winners, each with a 未到场 button (Command2)
    QPushButton *Command3; // 未到场 for a winner of any prize (the void menu)
    QLabel *Label2;        // the next prize
    QPushButton *Command4; // the winners board
    QPushButton *Command5; // export the winners list
    QComboBox *Combo1;     // the hall's screen: automatic, or one by name
    QCheckBox *Check1;     // rehearsal: hidden until the evening offers one
    QLabel *Image1;        // what the hall sees, small
    QLabel *Label3;        // what the operator was last told

    // The preview follows the hall at most this often.
    static constexpr int PreviewIntervalMs = 250;
    static constexpr int PreviewWidth = 384;

    // The screens to offer (names) and the remembered choice (empty: automatic).
    void showScreens(const QStringList &names, const QString &chosen);
    // Places the console on a screen of its own, without taking the keyboard
    // from the live draw.
    void showOnScreen(QScreen *screen);
    // Whether the console stands on a screen other than the hall's.
    bool onOwnScreen() const;
    // What the evening tells the operator: in a message box on the
    // operator's own screen, otherwise on the console's message line only.
    void tell(const QString &title, const QString &text);
    // Renders the preview now.
    void renderPreview();

Q_SIGNALS:
    void voidRequested(int award);
    void voidMenuRequested(QPoint globalPos);
    void boardRequested();
    void exportRequested();
    void audienceScreenChosen(const QString &name);
    // The rehearsal switch (not shown until the evening offers a rehearsal).
    void rehearsalRequested(bool on);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void refresh();
    void fillWinners();
    void schedulePreview();
    void Command1_Click();

    EveningController &m_evening;
    QPointer<QWidget> m_audience;
    QTimer m_preview; // coalesces the hall's changes into one render
    KeyPressGate m_keys;
    bool m_fillingScreens = false;
};
