#include "DrawEngine.h"

#include "Module1.h"
#include "PositionSource.h"
#include "ResultLog.h"

#include <limits>

DrawEngine::DrawEngine(Module1 &module1, EntryReader entryAt, const ResultLog &log, QObject *parent)
    : QObject(parent), m_module1(module1), m_entryAt(std::move(entryAt)), m_log(log)
{
    setRecorder({});
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setInterval(TickIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DrawEngine::Tick);
}

DrawEngine::~DrawEngine() = default;

void DrawEngine::Seed()
{
    if (!m_source)
        m_source = std::make_unique<SystemPositionSource>();
}

void DrawEngine::setPositionSource(std::unique_ptr<PositionSource> source)
{
    m_source = std::move(source);
}

void DrawEngine::setRecorder(Recorder recorder)
{
    if (!recorder)
        recorder = [this](const QString &title, const QString &result, QString *error) {
            return m_log.AppendResultRecord(title, result, error);
        };
    m_recorder = std::move(recorder);
}

DrawEngine::State DrawEngine::state() const
{
    if (m_timer.isActive())
        return State::Rolling;
    return m_rollEnabled ? State::Idle : State::Spent;
}

void DrawEngine::RollClick(const QString &title, quint32 titleColor)
{
    if (!m_rollEnabled || m_recording)
        return;
    if (m_rollCaption == RollCaption) {
        if (m_module1.WinnersLeave && m_module1.CandidateCount <= 0) {
            Q_EMIT startRefusedOnEmptyList();
            return;
        }
        startRolling();
    } else
        stopRolling(title, titleColor);
}

void DrawEngine::Tick()
{
    Seed();
    const qint32 n = m_module1.CandidateCount;
    m_module1.DrawIndex = n > 0 ? m_source->pick(n) : 0;
    setDisplay(m_entryAt(m_module1.DrawIndex));
}

void DrawEngine::startRolling()
{
    m_timer.start();
    setDisplayColor(Black);
    setRollCaption(StopCaption);
    // Show a fresh pick at once, so a quick stop never records a stale entry.
    Tick();
}

void DrawEngine::stopRolling(const QString &title, quint32 titleColor)
{
    m_timer.stop();
    setRollCaption(RollCaption);
    if (m_module1.CandidateCount <= 0) {
        setDisplay(QString());
        Q_EMIT stoppedOnEmptyList();
        return;
    }
    setDisplayColor(titleColor);
    const bool oneDraw = m_module1.NoRepeatDraw != 0;
    if (oneDraw)
        setRollEnabled(false);
    const QString result = m_recordText ? m_recordText(m_display) : m_display;
    const bool leave = m_module1.WinnersLeave;
    if (leave)
        Q_EMIT recordStarting(title, result);
    QString error;
    m_recording = true;
    const bool saved = m_recorder(title, result, &error);
    m_recording = false;
    const int leaving = leave ? winnerPosition() : -1;
    // The pool that follows the result is kept before the result shows as recorded.
    if (leaving >= 0)
        Q_EMIT winnerLeaves(leaving);
    if (leave)
        Q_EMIT winnerLeft();
    if (oneDraw) {
        setBadge(QStringLiteral("1"));
    } else {
        if (m_module1.ResultCount < std::numeric_limits<qint32>::max())
            ++m_module1.ResultCount;
        setBadge(QString::number(m_module1.ResultCount));
    }
    if (saved)
        Q_EMIT resultSaved(result);
    else
        Q_EMIT resultNotSaved(result, error);
}

// The position the result was picked from. Should the list have changed
// since the last tick, the first entry with the result's text stands for it.
int DrawEngine::winnerPosition() const
{
    const qint32 n = m_module1.CandidateCount;
    const qint32 picked = m_module1.DrawIndex;
    if (picked >= 0 && picked < n && m_entryAt(picked) == m_display)
        return picked;
    for (qint32 k = 0; k < n; ++k)
        if (m_entryAt(k) == m_display)
            return k;
    return -1;
}

void DrawEngine::Arm()
{
    EnableRoll();
    ClearDisplay();
    ClearBadge();
}

void DrawEngine::EnableRoll()
{
    setRollEnabled(true);
}

void DrawEngine::ClearDisplay()
{
    setDisplay(QString());
    setDisplayColor(Black);
}

void DrawEngine::Abort()
{
    m_timer.stop();
    setRollCaption(RollCaption);
}

void DrawEngine::ClearBadge()
{
    setBadge(QString());
    m_module1.ResultCount = 0;
}

void DrawEngine::countRecords(int count)
{
    const qint64 total = qint64(m_module1.ResultCount) + qMax(0, count);
    m_module1.ResultCount = qint32(qMin<qint64>(total, std::numeric_limits<qint32>::max()));
    setBadge(QString::number(m_module1.ResultCount));
}

void DrawEngine::showRolling(bool rolling)
{
    setRollCaption(rolling ? StopCaption : RollCaption);
}

void DrawEngine::showStopping()
{
    setRollCaption(StoppingCaption);
}

void DrawEngine::setDisplay(const QString &text)
{
    // Always told, so a display that still shows its design text is emptied too.
    m_display = text;
    Q_EMIT displayChanged(text);
}

void DrawEngine::setDisplayColor(quint32 rgb)
{
    m_displayColor = rgb;
    Q_EMIT displayColorChanged(rgb);
}

void DrawEngine::setRollCaption(const QString &caption)
{
    if (caption == m_rollCaption)
        return;
    m_rollCaption = caption;
    Q_EMIT rollCaptionChanged(caption);
}

void DrawEngine::setRollEnabled(bool enabled)
{
    if (enabled == m_rollEnabled)
        return;
    m_rollEnabled = enabled;
    Q_EMIT rollEnabledChanged(enabled);
}

void DrawEngine::setBadge(const QString &text)
{
    m_badge = text;
    Q_EMIT badgeChanged(text);
}
