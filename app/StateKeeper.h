#pragma once

#include "EventState.h"

#include <QObject>
#include <QTimer>

class Edit;
class WindowShell;

// Keeps the event across a restart: puts the saved settings and working list
// back into the windows, and writes them again whenever they change. Only the
// program's start asks for it; without one the windows start as designed.
class StateKeeper : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StateKeeper)

public:
    // Typing in the title or subtitle is written once it pauses this long.
    static constexpr int TypingPauseMs = 400;

    StateKeeper(WindowShell &shell, EventState::Store store, QObject *parent = nullptr);
    ~StateKeeper() override;

    // The files under the user's config and data folders.
    static EventState::Store userStore();

    // Puts the saved state into the windows; a state that cannot be used is
    // moved aside and reported once. Then keeps every change.
    void restore();
    // Sets the saved state aside (renamed, nothing deleted) and starts from
    // the default values; keeps every change from then on.
    void startFresh();
    // Writes what has changed now. False on failure, which is reported when
    // it is the first since the program started or since a save succeeded.
    bool saveNow();
    // Writes the prize plan's evening now, and whatever else is waiting to
    // be written: what a stop needs on disk before it shows as recorded.
    bool saveEveningNow();
    // A stop's winners or a void, with its records, off the window's thread
    // (encoding included): the evening with a note of the records first,
    // then the records, then the evening without the note. NotSaved when
    // the note could not be written: nothing was recorded, the operator is
    // told (every time) which folder to free, and the caller takes the
    // change back.
    EventState::RecordOutcome recordEvening(const Prizes::Evening &before,
                                            const QList<ResultLog::Record> &records, QString *logError);

    // How long a stop blocks the window's thread waiting for its writes
    // before the windows paint again.
    static constexpr int StopQuickWaitMs = 4;

private:
    void watch();
    void hookEdit(Edit *edit);
    void keepPending(const QString &title, const QString &result);
    void keepPool();
    void setListAside();
    void scheduleSave(int delayMs = 0);
    void reportFailure(const QString &failedPath, const QString &error);
    EventState::Settings currentSettings();
    EventState::WorkingList currentList() const;

    WindowShell &m_shell;
    EventState::Store m_store;
    QTimer m_timer;
    QByteArray m_savedSettings;
    QByteArray m_savedList;
    std::optional<EventState::PendingResult> m_pending; // the result being recorded now
    QByteArray m_savedEvening;
    bool m_failureReported = false; // since the last save that succeeded
    bool m_othersPending = false;   // settings or list changed since the last save
    bool m_recording = false;       // a change and its records are being written
    bool m_eveningOnDisk = false;   // the last change's write left the evening as it is now
};
