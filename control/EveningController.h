#pragma once

#include "EventState.h"
#include "Module1.h"
#include "PrizePlan.h"
#include "ResultLog.h"
#include "Roster.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class CandidateList;
class DrawEngine;
class PositionSource;

// The evening under the windows: the program-wide values, the result log,
// the draw of one entry at a time and the prize plan with its winners. The
// windows ask it to act and follow its signals; it decides, records and
// says why when it refuses, and the windows word that to the operator.
class EveningController : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EveningController)

public:
    explicit EveningController(QObject *parent = nullptr);
    ~EveningController() override;

    // The program-wide values: read by every window, changed only here.
    const Module1 &module1() const { return m_module1; }
    // The count rule of the data editing window decides the count.
    void setCandidateCount(qint32 count);
    void setNoRepeatDraw(qint16 choice);
    void setLineFont(int line, const std::optional<QString> &face, const std::optional<quint32> &color);
    void setWinnersLeave(bool on);
    // The hall's sounds: on or off (the live window's mute key too), the
    // volume (0 .. 100), and a slot's file (the program's copy; empty: the
    // program's own sound).
    void setSoundOn(bool on);
    void setSoundVolume(int volume);
    void setSoundFile(int slot, const QString &path);
    // Where the organiser's sound files are copied (set by whoever keeps the
    // state; empty: they are played where they are).
    void setSoundFolder(const QString &folder) { m_soundFolder = folder; }
    const QString &soundFolder() const { return m_soundFolder; }

    // The log records go to now: a rehearsal's own file while it lasts.
    const ResultLog &resultLog() const { return m_rehearsal ? m_rehearsalLog : m_log; }
    // The draw of one entry at a time. It owns the roll button's caption and
    // enabled flag, the display, the badge and ResultCount; a plan's stops
    // are counted and shown through it too.
    DrawEngine &engine() const { return *m_engine; }

    // The master list of the data editing window; none while that window is
    // not loaded (the draw then sees an empty list).
    void setList(CandidateList *list);
    CandidateList *list() const;
    qint32 listCount() const;
    QString candidateAt(int position) const;

    // The settings' confirmation: the title every record carries from now on
    // and the hall reads above the draw, with its colour (unset: as it was;
    // a single draw's result and a stop's winners turn it), the display and
    // the badge emptied, the roll button enabled.
    void arm(const QString &title, const std::optional<quint32> &titleColor = {});
    const QString &title() const { return m_title; }
    quint32 titleColor() const { return m_titleColor; }

    // The roll button: with a plan, the plan's start or stop; else the
    // single draw's. With a plan, a stop pressed before the roll has shown
    // for the plan's minimum time waits until it has (the button says it
    // is stopping); pressing again meanwhile does nothing.
    void roll();
    bool stopPending() const { return m_stopTimer.isActive(); }
    // The plan's minimum roll time, in seconds (0: a stop takes effect at once).
    void setMinRollSeconds(int seconds);
    // Leaving for the settings: a rolling draw stops without a record.
    void abort();
    // The results button was used: the badge empties.
    void clearBadge();

    // The prize plan. Without prizes the draw goes as it always did.
    // During a rehearsal this is the rehearsal's evening, which the hall
    // sees; keptEvening() is the real one, the one to save.
    const Prizes::Evening &evening() const { return m_evening; }
    const Prizes::Evening &keptEvening() const { return m_rehearsal ? m_realEvening : m_evening; }

    // A rehearsal draws from the plan as it stands but records to a file of
    // its own beside the result log and keeps its winners in memory only;
    // ending it brings back the evening, the badge and the hall's view as
    // they were before it. Refused (why says so) without a plan or while a
    // roll is on; the plan cannot be changed while it lasts.
    bool setRehearsal(bool on, QString *why = nullptr);
    bool rehearsal() const { return m_rehearsal; }
    // The rehearsal's file for a result log's file name: "Result-彩排.txt" beside "Result.txt".
    static QString rehearsalFileName(const QString &logFileName);
    bool planActive() const { return m_evening.active(); }
    bool planRolling() const { return m_timer.isActive(); }
    QTimer *Timer2() { return &m_timer; }
    void setPositionSource(std::unique_ptr<PositionSource> source);
    // What the hall sees of the plan: the awards in the grid (empty while
    // rolling or before a stop) and the places the progress line names.
    const QList<int> &shownAwards() const { return m_shownAwards; }
    const QList<int> &shownPlaces() const { return m_shownPlaces; }
    // One tick of the rolling grid.
    void tick();
    // Whether the announced prize may be closed short now (its pool cannot
    // fill its open places), and why it may, in the operator's words.
    bool canCloseShort();
    QString closeShortReason();
    // Voids one award: the operator chose whether the person may win a later
    // prize. False when nothing changed (refused, or taken back). The hall
    // then sees the place given back, and the next start redraws it alone
    // (补抽) in a short roll that stops by itself after redrawRollMs.
    static constexpr int RedrawRollMs = 3000;
    void setRedrawRollMs(int ms) { m_redrawRollMs = ms; }
    int redrawRollMs() const { return m_redrawRollMs; }
    bool voidAward(int award, bool mayWinLater);
    // Closes the announced prize short: its open places are recorded empty.
    bool closeShort();
    // The plan window's save: false, with why, when the plan is refused.
    bool setPlan(const QList<Prizes::Prize> &plan, bool onceEach, QString *why);
    // Clears the winners: the evening starts again from the first prize.
    void clearAwards();
    // An evening kept from an earlier run.
    void restoreEvening(const Prizes::Evening &evening);
    // The menu text that names an award: prize, place and winner.
    QString awardText(int award) const;

    // The roster the list shows, when one was imported. A person is one of
    // its texts: the pool, "每人当晚最多中奖一次" and the records go by them.
    const std::optional<Roster::Held> &roster() const { return m_roster; }
    // Puts back a roster kept from an earlier run: no record, no save.
    void restoreRoster(const std::optional<Roster::Held> &roster);
    // The import window's replace or append. Refused, with why, while the
    // plan rolls, once anyone has won this evening, without a list, or past
    // the list's size. Otherwise the list shows the roster's people (replace:
    // only them; append: the entries there, without the roster's old texts,
    // then the whole roster), the state is saved and the import's record is
    // written. skipped: people left out of an append for a 工号 already there.
    bool importRoster(const Roster::Held &imported, bool append, QString *why, int *skipped = nullptr);
    // A record's result line for what the hall saw: with a roster, the
    // person's identity follows the text.
    QString recordText(const QString &shown) const;
    // What the hall is told of a prize limited to some 部门: "本奖项参与：
    // 研发部、市场部 · 共 312 人" (the people who may still win it); empty
    // for a prize open to all.
    QString eligibilityLine();

    // How the state is written, set by whoever keeps it: now, and a change
    // from before with its records (see EventState::recordChange). Without
    // a keeper the records go straight into the log through the recorder.
    void setStateSaver(std::function<bool()> save) { m_saveState = std::move(save); }
    bool saveStateNow() { return m_saveState ? m_saveState() : true; }
    using EveningRecorder = std::function<EventState::RecordOutcome(
        const Prizes::Evening &before, const QList<ResultLog::Record> &, QString *error)>;
    void setEveningRecorder(EveningRecorder recorder) { m_recordEvening = std::move(recorder); }
    // How records are appended to the log without a keeper (the windows
    // wait for it without freezing); plainly on this thread by default.
    using LogWriter = std::function<bool(const QList<ResultLog::Record> &, QString *error)>;
    void setLogWriter(LogWriter writer);

Q_SIGNALS:
    // The title or its colour changed (at the settings' confirmation).
    void titleChanged(const QString &title, quint32 color);
    void eveningChanged();
    void winnersLeaveChanged(bool on);
    void soundChanged();
    // What the hall sees of the plan changed (shownAwards, shownPlaces).
    void planShown();
    // The plan's grid rolls: one text per cell.
    void planRolled(const QStringList &cells);
    void planRollingChanged(bool rolling);
    // A stop was pressed before the minimum roll time: it takes effect later.
    void stopPendingChanged(bool pending);
    void rehearsalChanged(bool on);
    // An action was refused or went wrong: the operator is told why.
    void refused(const QString &reason);
    void warned(const QString &title, const QString &text);
    // A start found nobody left for the announced prize: the operator may close it short.
    void closeShortOffered();
    // A roster was imported or put back.
    void rosterChanged();

private:
    void startRolling();
    void stopRolling();
    void show(const QList<int> &awards, const QList<int> &places);
    void renewPool();
    void markPoolDirty() { m_poolDirty = true; }
    QStringList entries() const;
    void changed();
    // The change's records, all with the one time the change took.
    EventState::RecordOutcome record(const Prizes::Evening &before, const QStringList &titles,
                                     const QStringList &results, const QDateTime &when);

    Module1 m_module1;
    ResultLog m_log;
    DrawEngine *m_engine;
    QPointer<CandidateList> m_list;
    QString m_title;
    QString m_soundFolder;
    quint32 m_titleColor = 0xC00000;
    Prizes::Evening m_evening;
    std::optional<Roster::Held> m_roster;
    QSet<int> m_eligibilityLogged; // limited prizes whose pool went into the log this run
    QTimer m_timer;                // Timer2: the grid's 50 ms tick
    QTimer m_stopTimer;            // a stop pressed too soon, waiting for the minimum roll time
    QTimer m_redrawStop;           // Timer3: ends a redraw's short roll
    int m_redrawRollMs = RedrawRollMs;
    QElapsedTimer m_rollShown; // since the roll started
    bool m_rehearsal = false;
    Prizes::Evening m_realEvening; // the evening kept aside during a rehearsal
    ResultLog m_rehearsalLog;
    qint32 m_realResultCount = 0;
    std::unique_ptr<PositionSource> m_source;
    QStringList m_pool;
    QString m_poolFingerprint; // of m_pool, once worked out
    bool m_poolDirty = true;
    QList<int> m_shownAwards;
    QList<int> m_shownPlaces;
    std::function<bool()> m_saveState;
    EveningRecorder m_recordEvening;
    LogWriter m_writeLog;
};
