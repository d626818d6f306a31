#pragma once

#include "EventState.h"
#include "Module1.h"
#include "PictureLoader.h"
#include "PrizePlan.h"
#include "ResultLog.h"
#include "SizeLock.h"

#include <QObject>
#include <QPointer>

#include <functional>

class About;
class Edit;
class Pick;
class Setting;

// Owns the four windows and the values they share. A window is created the
// first time it is asked for, which runs its load step; from then on it is
// shown and hidden, never closed, except the data editing window, whose
// close box destroys it with the master list.
class WindowShell : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowShell)

public:
    explicit WindowShell(QObject *parent = nullptr);
    ~WindowShell() override;

    Module1 &module1() { return m_module1; }
    const ResultLog &resultLog() const { return m_resultLog; }
    SizeLock &sizeLock() { return m_sizeLock; }
    // Background pictures of the settings and live-draw windows: each file decoded once.
    PictureLoader &pictures() { return m_pictures; }
    // The prize plan with its winners and voids; without prizes the draw
    // goes as it always did. Whoever changes it says so with eveningChanged.
    Prizes::Evening &evening() { return m_evening; }
    void noteEveningChanged() { Q_EMIT eveningChanged(); }
    // Writes the event's state to disk now (true when it is there, or when
    // no state is kept): a stop calls it before it shows as recorded.
    bool saveStateNow() { return m_saveState ? m_saveState() : true; }
    void setStateSaver(std::function<bool()> save) { m_saveState = std::move(save); }
    // Records a change of the evening made from before (a stop's winners, a
    // void) with its records, in order: Recorded when the records are in the
    // log; otherwise error says why. Whoever keeps the state writes the
    // evening around them so that a crash at any moment loses nothing;
    // NotSaved when it could not (it has told the operator): the change
    // must be taken back, nothing was recorded.
    using EveningRecorder = std::function<EventState::RecordOutcome(
        const Prizes::Evening &before, const QList<ResultLog::Record> &, QString *error)>;
    EventState::RecordOutcome recordEvening(const Prizes::Evening &before,
                                            const QList<ResultLog::Record> &records, QString *error);
    void setEveningRecorder(EveningRecorder recorder) { m_recordEvening = std::move(recorder); }

    // Each creates its window (running its load step) if it is not loaded.
    Setting *setting();
    Pick *pick();
    Edit *edit();
    About *about();

    // The windows as they are, without creating them.
    Pick *loadedPick() const;
    Edit *loadedEdit() const;
    About *loadedAbout() const;

    // The entry at a position of the master list, for the draw's ticks.
    QString candidateAt(int position) const;

    // The folder that holds the program: where the file dialogs start.
    static QString programFolder();

    // Ends the whole program at once: no window's unload step runs and
    // nothing is written.
    void endProgram();
    void setEndProgramHandler(std::function<void()> handler) { m_endProgram = std::move(handler); }
    // Runs the program's event loop until the program ends; at once when it
    // already ended (in a wait before the loop ran). The exit code.
    int exec();

    // Called by a window that was closed from outside and has unloaded
    // itself: the next access creates it again.
    void editUnloaded(Edit *edit);
    void aboutUnloaded(About *about);

Q_SIGNALS:
    // A window was created and has run its load step.
    void editLoaded(Edit *edit);
    void pickLoaded(Pick *pick);
    void eveningChanged();

private:
    Module1 m_module1;
    ResultLog m_resultLog;
    SizeLock m_sizeLock;
    PictureLoader m_pictures;
    Prizes::Evening m_evening;
    std::function<bool()> m_saveState;
    EveningRecorder m_recordEvening;
    QPointer<Setting> m_setting;
    QPointer<Pick> m_pick;
    QPointer<Edit> m_edit;
    QPointer<About> m_about;
    std::function<void()> m_endProgram;
    bool m_ended = false; // the program was ended while no event loop of its own ran
};
