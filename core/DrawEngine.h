#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

struct Module1;
class PositionSource;
class ResultLog;

// The rolling draw. Its state is the roll button's caption and enabled flag
// together with the tick timer; the live-draw window mirrors them through
// the signals. Tests drive it by calling Tick() directly.
class DrawEngine : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DrawEngine)

public:
    enum class State { Idle, Rolling, Spent };

    // Roll button captions: four ideographic spaces push the word to the
    // square's second line.
    static inline const QString RollCaption = QStringLiteral("　　　　滚  动");
    static inline const QString StopCaption = QStringLiteral("　　　　停  止");
    static inline const QString StoppingCaption = QStringLiteral("　　　　停止中");
    static constexpr int TickIntervalMs = 50;
    static constexpr quint32 Black = 0x000000;

    // The entry at a position of the master list (the empty text outside it).
    using EntryReader = std::function<QString(int position)>;
    // Writes one result's record; true only once it is safely stored, else
    // error says why. Returns only when the record is settled either way.
    using Recorder = std::function<bool(const QString &title, const QString &result, QString *error)>;

    DrawEngine(Module1 &module1, EntryReader entryAt, const ResultLog &log, QObject *parent = nullptr);
    ~DrawEngine() override;

    // Installs the operating system's generator unless a source was given.
    void Seed();
    void setPositionSource(std::unique_ptr<PositionSource> source);
    // How records are written; by default straight into the log on this thread.
    void setRecorder(Recorder recorder);
    // The result line recorded for what the display shows (a roster adds
    // the person's identity); by default the display's text.
    void setRecordText(std::function<QString(const QString &shown)> recordText)
    {
        m_recordText = std::move(recordText);
    }
    // A stop's record is being written: roll clicks wait until it is settled.
    bool isRecording() const { return m_recording; }

    // Roll button click: starts, or stops on the entry showing. The title
    // and its colour go into the record and highlight the result.
    void RollClick(const QString &title, quint32 titleColor);
    // One tick: picks a position and shows its entry.
    void Tick();
    // The settings' confirmation: roll enabled, display and badge emptied.
    // The confirmation may also take these steps one at a time.
    void Arm();
    void EnableRoll();
    void ClearDisplay(); // empty and black
    // Leaving for the settings: stops without a record.
    void Abort();
    // The results button: badge and ResultCount back to nothing.
    void ClearBadge();
    // Records written by other means (a prize plan's stops, voids and
    // closes): counted on the badge as a stop's result is, one each.
    void countRecords(int count);
    // A draw by other means (a prize plan's stops) starts or stops rolling:
    // the roll button's caption follows it, as it follows this draw.
    void showRolling(bool rolling);
    // A stop was pressed and takes effect shortly: the button says so.
    void showStopping();

    State state() const;
    const QString &rollCaption() const { return m_rollCaption; }
    bool rollEnabled() const { return m_rollEnabled; }
    const QString &display() const { return m_display; }
    quint32 displayColor() const { return m_displayColor; }
    const QString &badge() const { return m_badge; }
    QTimer *Timer1() { return &m_timer; }

Q_SIGNALS:
    void displayChanged(const QString &text);
    void displayColorChanged(quint32 rgb);
    void rollCaptionChanged(const QString &caption);
    void rollEnabledChanged(bool enabled);
    void badgeChanged(const QString &text);
    // A result was drawn and its record is safely in the log.
    void resultSaved(const QString &result);
    // A result was drawn but its record could not be written.
    void resultNotSaved(const QString &result, const QString &error);
    // The list was emptied under a running draw: nothing to stop on.
    void stoppedOnEmptyList();
    // Winners leave the pool and none is left: the start was refused.
    void startRefusedOnEmptyList();
    // Winners leave the pool: this result is about to be recorded; sent
    // before its record is written, so the pool can be kept with a note of it.
    void recordStarting(const QString &title, const QString &result);
    // Winners leave the pool: the result stood at this position of the
    // master list and must now leave it. Sent whether or not it was recorded.
    void winnerLeaves(int position);
    // Winners leave the pool: the winner has left; sent after winnerLeaves
    // and before the result shows as recorded (badge, resultSaved).
    void winnerLeft();

private:
    void startRolling();
    void stopRolling(const QString &title, quint32 titleColor);
    void setDisplay(const QString &text);
    void setDisplayColor(quint32 rgb);
    void setRollCaption(const QString &caption);
    void setRollEnabled(bool enabled);
    void setBadge(const QString &text);
    int winnerPosition() const;

    Module1 &m_module1;
    EntryReader m_entryAt;
    const ResultLog &m_log;
    Recorder m_recorder;
    std::function<QString(const QString &)> m_recordText;
    bool m_recording = false;
    std::unique_ptr<PositionSource> m_source;
    QTimer m_timer; // Timer1: the 50 ms tick
    QString m_rollCaption = RollCaption;
    bool m_rollEnabled = true;
    QString m_display;
    quint32 m_displayColor = Black;
    QString m_badge;
};
