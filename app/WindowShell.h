#pragma once

#include "EveningController.h"
#include "PictureLoader.h"
#include "SizeLock.h"

#include <QObject>
#include <QPointer>

#include <functional>

class About;
class Edit;
class Pick;
class Setting;
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
    const Prizes::Evening &evening() const { return m_evening.evening(); }
    const std::optional<Roster::Held> &roster() const { return m_evening.roster(); }
    SizeLock &sizeLock() { return m_sizeLock; }
    // Background pictures of the settings and live-draw windows: each file decoded once.
    PictureLoader &pictures() { return m_pictures; }

    // Each creates its window (running its load step) if it is not loaded.
    Setting *setting();
    Pick *pick();
    Edit *edit();
    About *about();

    // The windows as they are, without creating them.
    Pick *loadedPick() const;
    Edit *loadedEdit() const;
    About *loadedAbout() const;

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

private:
    // The settings' confirmation: the live draw shows the look and is armed.
    void arm(const LiveLook &look);
    void editUnloaded(Edit *edit);
    void aboutUnloaded(About *about);

    EveningController m_evening;
    SizeLock m_sizeLock;
    PictureLoader m_pictures;
    QPointer<Setting> m_setting;
    QPointer<Pick> m_pick;
    QPointer<Edit> m_edit;
    QPointer<About> m_about;
    std::function<void()> m_endProgram;
    bool m_ended = false; // the program was ended while no event loop of its own ran
};
