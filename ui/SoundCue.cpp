#include "SoundCue.h"

#include "DrawEngine.h"
#include "EveningController.h"
#include "SoundPlayer.h"

SoundCue::SoundCue(EveningController &evening, QObject *parent)
    : QObject(parent), m_evening(evening), m_player(new SoundPlayer(this))
{
    connect(m_player, &SoundPlayer::unavailable, this, &SoundCue::tell);
    connect(&evening, &EveningController::soundChanged, this, &SoundCue::applySettings);
    DrawEngine &engine = evening.engine();
    connect(&engine, &DrawEngine::rollCaptionChanged, this, &SoundCue::rollCaptionChanged);
    // A single draw's result shows (recorded or not).
    connect(&engine, &DrawEngine::resultSaved, this, &SoundCue::resultShown);
    connect(&engine, &DrawEngine::resultNotSaved, this, &SoundCue::resultShown);
    connect(&evening, &EveningController::planRollingChanged, this, [this](bool rolling) {
        if (!rolling)
            m_planStopped = true;
    });
    connect(&evening, &EveningController::planShown, this, &SoundCue::planShown);
    applySettings();
}

SoundCue::~SoundCue() = default;

QString SoundCue::ownSound(int slot)
{
    static const std::array<QString, 3> names{QStringLiteral(":/sounds/roll.wav"),
                                              QStringLiteral(":/sounds/sting.wav"),
                                              QStringLiteral(":/sounds/fanfare.wav")};
    return names.at(size_t(slot));
}

void SoundCue::applySettings()
{
    const Module1 &m = m_evening.module1();
    m_player->setVolume(m.SoundVolume);
    for (int slot = 0; slot < SoundPlayer::SlotCount; ++slot) {
        const QString &file = m.SoundFile[size_t(slot)];
        const QString source = file.isEmpty() ? ownSound(slot) : file;
        if (source == m_sources[size_t(slot)])
            continue;
        m_sources[size_t(slot)] = source;
        QString why;
        if (!m_player->setSource(SoundPlayer::Slot(slot), source, &why))
            tell(why);
    }
    if (!m.SoundOn)
        m_player->stopAll();
    else if (m_rolling && !m_player->looping())
        m_player->startLoop(SoundPlayer::Roll); // unmuted while rolling
}

void SoundCue::rollCaptionChanged(const QString &caption)
{
    // Every caption but the start's is a roll going on (a stop that waits
    // for its moment included): the loop plays until the roll ends.
    const bool rolling = caption != DrawEngine::RollCaption;
    if (rolling == m_rolling)
        return;
    m_rolling = rolling;
    if (!m_evening.module1().SoundOn)
        return;
    if (rolling)
        m_player->startLoop(SoundPlayer::Roll);
    else
        m_player->fadeOutLoop();
}

void SoundCue::resultShown()
{
    if (m_evening.module1().SoundOn)
        m_player->playOnce(SoundPlayer::Sting);
}

void SoundCue::planShown()
{
    if (!m_planStopped)
        return;
    m_planStopped = false;
    const QList<int> &shown = m_evening.shownAwards();
    if (shown.isEmpty() || !m_evening.module1().SoundOn)
        return; // the stop drew nobody, or was left for the settings
    const Prizes::Evening &e = m_evening.evening();
    const int prize = e.awards.value(shown.first()).prize;
    m_player->playOnce(e.unfilledPlaces(prize).isEmpty() ? SoundPlayer::Fanfare : SoundPlayer::Sting);
}

void SoundCue::tell(const QString &why)
{
    if (m_told)
        return;
    m_told = true;
    Q_EMIT failed(QStringLiteral("声音无法播放：%1\r\n\r\n抽奖照常进行，只是没有声音。").arg(why));
}
