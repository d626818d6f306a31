// The sound player over winmm's PlaySound, which Windows has always had and
// MinGW links as it is: the slot's WAV held in memory with the volume worked
// into its samples, played asynchronously, looped by PlaySound itself. It
// plays one sound at a time, so the stop's sting takes over from the loop;
// the fade is the loop's first FadeMs played once more, falling to silence.
// PlaySound may wait for the output device to open: every call runs on a
// thread of its own, never on the windows' thread.
#include "SoundPlayer.h"

#include "WaveFile.h"

#include <QMetaObject>
#include <QThread>

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace {

// What the player thread owns: the sounds as read, and the image playing now,
// kept until PlaySound has let go of it (the next call stops it first).
struct Player
{
    std::array<WaveFile, SoundPlayer::SlotCount> sounds;
    std::array<bool, SoundPlayer::SlotCount> loaded{};
    QByteArray playing;
    double gain = 0.8;

    // False when nothing could play: no output, or the device refused it.
    bool play(const QByteArray &image, bool loop)
    {
        if (waveOutGetNumDevs() == 0)
            return false;
        const DWORD flags = SND_MEMORY | SND_ASYNC | SND_NODEFAULT | (loop ? SND_LOOP : 0);
        // PlaySound stops the sound playing before it starts the new one:
        // the image that sound reads from is let go only after the call.
        const QByteArray before = std::exchange(playing, image);
        return PlaySoundA(playing.constData(), nullptr, flags) != FALSE;
    }
    void stop()
    {
        PlaySoundA(nullptr, nullptr, 0);
        playing.clear();
    }
};

} // namespace

struct SoundPlayer::Body
{
    QThread thread;
    QObject *context = nullptr; // lives on the thread: what runs there is queued to it
    std::shared_ptr<Player> player = std::make_shared<Player>();
    int loopSlot = -1;

    template <typename F> void run(F f)
    {
        QMetaObject::invokeMethod(context, std::move(f), Qt::QueuedConnection);
    }
};

SoundPlayer::SoundPlayer(QObject *parent) : QObject(parent), m_body(std::make_unique<Body>())
{
    m_body->thread.setObjectName(QStringLiteral("sound"));
    m_body->context = new QObject;
    m_body->context->moveToThread(&m_body->thread);
    connect(&m_body->thread, &QThread::finished, m_body->context, &QObject::deleteLater);
    m_body->thread.start();
}

SoundPlayer::~SoundPlayer()
{
    // Silent before the thread ends (its queue is not worked through then).
    std::shared_ptr<Player> player = m_body->player;
    QMetaObject::invokeMethod(
        m_body->context, [player] { player->stop(); }, Qt::BlockingQueuedConnection);
    m_body->thread.quit();
    m_body->thread.wait();
}

bool SoundPlayer::setSource(Slot slot, const QString &path, QString *why)
{
    // The program's own copy, small and local: read here, checked at once.
    WaveFile wave;
    const bool ok = WaveFile::read(path, &wave, why);
    if (m_body->loopSlot == slot)
        m_body->loopSlot = -1;
    std::shared_ptr<Player> player = m_body->player;
    m_body->run([player, slot, wave, ok] {
        player->sounds[size_t(slot)] = wave;
        player->loaded[size_t(slot)] = ok;
    });
    return ok;
}

void SoundPlayer::setVolume(int percent)
{
    const double gain = std::clamp(percent, 0, 100) / 100.0;
    std::shared_ptr<Player> player = m_body->player;
    m_body->run([player, gain] { player->gain = gain; });
}

void SoundPlayer::startLoop(Slot slot)
{
    m_body->loopSlot = slot;
    std::shared_ptr<Player> player = m_body->player;
    SoundPlayer *self = this; // outlives the thread: see the destructor
    m_body->run([player, slot, self] {
        if (!player->loaded[size_t(slot)])
            return;
        if (!player->play(player->sounds[size_t(slot)].scaled(player->gain).bytes(), true))
            self->tellUnavailable();
    });
}

void SoundPlayer::fadeOutLoop()
{
    const int slot = m_body->loopSlot;
    if (slot < 0)
        return;
    m_body->loopSlot = -1;
    std::shared_ptr<Player> player = m_body->player;
    m_body->run([player, slot] {
        const WaveFile &wave = player->sounds[size_t(slot)];
        if (!player->loaded[size_t(slot)] || player->playing.isEmpty())
            return;
        const qint64 fadeFrames = qint64(wave.rate) * FadeMs / 1000;
        player->play(wave.scaled(player->gain, fadeFrames).bytes(), false);
    });
}

void SoundPlayer::playOnce(Slot slot)
{
    if (m_body->loopSlot >= 0)
        m_body->loopSlot = -1; // the loop stops for it
    std::shared_ptr<Player> player = m_body->player;
    SoundPlayer *self = this; // outlives the thread: see the destructor
    m_body->run([player, slot, self] {
        if (!player->loaded[size_t(slot)])
            return;
        if (!player->play(player->sounds[size_t(slot)].scaled(player->gain).bytes(), false))
            self->tellUnavailable();
    });
}

void SoundPlayer::stopAll()
{
    m_body->loopSlot = -1;
    std::shared_ptr<Player> player = m_body->player;
    m_body->run([player] { player->stop(); });
}

// From the player thread: said on the windows' thread. A call still queued
// when the player goes is dropped with it.
void SoundPlayer::tellUnavailable()
{
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT unavailable(QStringLiteral("没有可用的音频输出设备，声音无法播放。")); },
        Qt::QueuedConnection);
}

bool SoundPlayer::looping() const
{
    return m_body->loopSlot >= 0;
}

bool SoundPlayer::check(const QString &path, QString *why)
{
    WaveFile wave;
    return WaveFile::read(path, &wave, why);
}
