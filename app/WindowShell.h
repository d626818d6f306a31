#pragma once

#include "EveningController.h"
#include "PictureLoader.h"
#include "SizeLock.h"

#include <QObject>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <functional>

class About;
class Console;
class Edit;
class Pick;
class Setting;
class SoundCue;
struct LiveLook;

// Builds the four windows and wires them, once, to the evening and to each
// other. A window is created the first time it is asked for, which runs
// its load step; from then on it is shown and hidden, never closed, except
// the data editing window, whose close box destroys it with the master
// list, and the about window, which unloads itself when closed from outside.
class WindowShell : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowShell)

public:
    explicit WindowShell(QObject *parent = nullptr);
    ~WindowShell() override;

    // The evening every window shows: its values, its log, its prize plan.
    EveningController &controller() { return m_evening; }
    const Module1 &module1() const { return m_evening.module1(); }
    const ResultLog &resultLog() const { return m_evening.resultLog(); }
    // The evening to keep: a rehearsal's is never saved.
    const Prizes::Evening &evening() const { return m_evening.keptEvening(); }
    const std::optional<Roster::Held> &roster() const { return m_evening.roster(); }
    SizeLock &sizeLock() { return m_sizeLock; }
    // Background pictures of the settings and live-draw windows: each file decoded once.
    PictureLoader &pictures() { return m_pictures; }
    // The hall's sounds, following the evening.
    SoundCue &sound() { return *m_sound; }

    // Each creates its window (running its load step) if it is not loaded.
    Setting *setting();
    Pick *pick();
    Edit *edit();
    About *about();
    // The operator's console (given the live draw to show small).
    Console *console();

    // The windows as they are, without creating them.
    Pick *loadedPick() const;
    Edit *loadedEdit() const;
    About *loadedAbout() const;
    Console *loadedConsole() const;

    // The screen the organiser chose for the hall, by name; empty: chosen
    // by itself (the largest that is not the primary screen).
    const QString &audienceScreen() const { return m_audienceScreen; }
    void setAudienceScreen(const QString &name);
    // With a second screen the live draw fills the hall's and the console
    // stands on the other; as screens come and go the live draw moves to
    // one that is there. Runs by itself at every change of the screens.
    void placeWindows();

    // Ends the whole program at once: no window's unload step runs and
    // nothing is written.
    void endProgram();
    void setEndProgramHandler(std::function<void()> handler) { m_endProgram = std::move(handler); }
    // Runs the program's event loop until the program ends; at once when it
    // already ended (in a wait before the loop ran). The exit code.
    int exec();

Q_SIGNALS:
    // A window was created and has run its load step.
    void editLoaded(Edit *edit);
    void pickLoaded(Pick *pick);
    void audienceScreenChanged(const QString &name);

private:
    // The settings' confirmation: the live draw shows the look and is armed.
    void arm(const LiveLook &look);
    void editUnloaded(Edit *edit);
    void aboutUnloaded(About *about);
    void watchScreen(QScreen *screen);
    // A sound could not play: the operator is told on the settings window,
    // now when it shows, else once the operator goes back to it.
    void soundFailed(const QString &text);
    void tellSoundFailure();

    EveningController m_evening;
    SizeLock m_sizeLock;
    PictureLoader m_pictures;
    QPointer<Setting> m_setting;
    QPointer<Pick> m_pick;
    QPointer<Edit> m_edit;
    QPointer<About> m_about;
    QPointer<Console> m_console;
    QString m_audienceScreen;
    QPointer<QScreen> m_consoleScreen; // the operator's own screen, if there is one
    QTimer m_placing;                  // the screens' changes of one moment, placed once
    bool m_ownScreens = false;         // the console had a screen of its own at the last placing
    SoundCue *m_sound;
    QString m_soundFailure; // not yet told
    std::function<void()> m_endProgram;
    bool m_ended = false; // the program was ended while no event loop of its own ran
};
