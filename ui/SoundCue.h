#pragma once

#include <QObject>
#include <QString>

#include <array>

class EveningController;
class SoundPlayer;

// The hall's sounds, one more view of the evening: the roll loop starts with
// the roll and fades at the stop, the sting plays when the winners show, the
// fanfare when they fill the prize's last places. It only follows the
// evening's signals and never waits for a sound: the stop, its record and
// the repaint go exactly as without it. A sound that cannot play is skipped.
class SoundCue : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SoundCue)

public:
    explicit SoundCue(EveningController &evening, QObject *parent = nullptr);
    ~SoundCue() override;

    // The program's own sound for a slot (a resource).
    static QString ownSound(int slot);
    SoundPlayer &player() { return *m_player; }

Q_SIGNALS:
    // A sound could not play: said once a run, for the operator (never on
    // the audience's window); the draw goes on silently.
    void failed(const QString &text);

private:
    void applySettings();
    void rollCaptionChanged(const QString &caption);
    void resultShown();
    void planShown();
    void tell(const QString &why);

    EveningController &m_evening;
    SoundPlayer *m_player;
    std::array<QString, 3> m_sources;
    bool m_rolling = false;
    bool m_planStopped = false; // the plan just stopped: its winners show next
    bool m_told = false;
};
