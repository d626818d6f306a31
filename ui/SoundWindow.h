#pragma once

#include <QWidget>

#include <array>

class EventLabel;
class EveningController;
class QCheckBox;
class QPushButton;
class QSlider;

// Where the organiser sets the hall's sounds: on or off, the volume, and
// per sound (the roll, the stop, a prize complete) a file of their own or
// the program's. A chosen file is checked and copied into the program's
// state folder off this thread, so a file moved later does not silence the
// evening. Opened from the settings window's right-click menu.
class SoundWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SoundWindow)

public:
    explicit SoundWindow(EveningController &evening);
    ~SoundWindow() override;

    // The settings window's way in: one more item in its right-click menu.
    static void attachTo(QWidget *setting, EveningController &evening);

    QCheckBox *Check1;                     // sounds on
    QSlider *Slider1;                      // volume
    std::array<EventLabel *, 3> Label1;    // each sound's file
    std::array<QPushButton *, 3> Command1; // choose a file
    std::array<QPushButton *, 3> Command2; // back to the program's own
    QPushButton *Command3;                 // close

    // Shows the values as they are now.
    void load();
    // A file for a slot: checked and copied off this thread; the slot
    // changes when that is done (or the operator is told why not).
    void chooseFile(int slot, const QString &path);
    bool busy() const { return m_busy; }

Q_SIGNALS:
    void fileSettled();

private:
    void useOwn(int slot);
    void dropCopy(const QString &path);
    void setBusy(bool busy);

    EveningController &m_evening;
    bool m_busy = false;
};
