// The sound player over Qt Multimedia: one QSoundEffect per slot, which
// loads its file off this thread and plays through the system's sound
// server (PulseAudio or PipeWire's stand-in for it).
#include "SoundPlayer.h"

#include "WaveFile.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>

struct SoundPlayer::Body
{
    std::array<QSoundEffect *, SlotCount> effects{};
    QMediaDevices *devices = nullptr;
    QTimer fade;
    int fadeStep = 0;
    int loopSlot = -1;
    float volume = 0.8f;
};

namespace {

constexpr int FadeTickMs = 25;
constexpr int FadeSteps = SoundPlayer::FadeMs / FadeTickMs;

QUrl sourceUrl(const QString &path)
{
    if (path.startsWith(u':'))
        return QUrl(QStringLiteral("qrc") + path);
    return QUrl::fromLocalFile(path);
}

} // namespace

SoundPlayer::SoundPlayer(QObject *parent) : QObject(parent), m_body(std::make_unique<Body>())
{
    m_body->devices = new QMediaDevices(this);
    for (int slot = 0; slot < SlotCount; ++slot) {
        auto *effect = new QSoundEffect(this);
        m_body->effects[size_t(slot)] = effect;
        connect(effect, &QSoundEffect::statusChanged, this, [this, effect] {
            if (effect->status() == QSoundEffect::Error)
                Q_EMIT unavailable(QStringLiteral("声音文件无法播放：%1").arg(effect->source().toString()));
        });
        // A loop ends only when told to: one that ends by itself lost its
        // output (the sound server stopped, the device went away).
        connect(effect, &QSoundEffect::playingChanged, this, [this, slot, effect] {
            if (!effect->isPlaying() && m_body->loopSlot == slot) {
                m_body->fade.stop();
                m_body->loopSlot = -1;
                Q_EMIT unavailable(QStringLiteral("音频输出中断。"));
            }
        });
    }
    // The output went away (unplugged, the sound server stopped).
    connect(m_body->devices, &QMediaDevices::audioOutputsChanged, this, [this] {
        if (QMediaDevices::audioOutputs().isEmpty()) {
            stopAll();
            Q_EMIT unavailable(QStringLiteral("音频输出设备已断开。"));
        }
    });
    m_body->fade.setInterval(FadeTickMs);
    connect(&m_body->fade, &QTimer::timeout, this, [this] {
        Body &b = *m_body;
        if (b.loopSlot < 0) {
            b.fade.stop();
            return;
        }
        QSoundEffect *loop = b.effects[size_t(b.loopSlot)];
        if (++b.fadeStep >= FadeSteps) {
            b.fade.stop();
            b.loopSlot = -1;
            loop->stop();
            loop->setVolume(b.volume);
            return;
        }
        loop->setVolume(b.volume * float(FadeSteps - b.fadeStep) / float(FadeSteps));
    });
}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::setSource(Slot slot, const QString &path, QString *why)
{
    Q_UNUSED(why) // the file loads off this thread; a failure comes as unavailable()
    QSoundEffect *effect = m_body->effects[size_t(slot)];
    if (m_body->loopSlot == slot) {
        m_body->fade.stop();
        m_body->loopSlot = -1;
    }
    effect->stop();
    effect->setSource(sourceUrl(path));
    effect->setVolume(m_body->volume);
    return true;
}

void SoundPlayer::setVolume(int percent)
{
    m_body->volume = float(std::clamp(percent, 0, 100)) / 100.0f;
    for (QSoundEffect *effect : m_body->effects)
        effect->setVolume(m_body->volume);
}

void SoundPlayer::startLoop(Slot slot)
{
    Body &b = *m_body;
    b.loopSlot = -1; // what stops now was told to
    b.fade.stop();
    // The last stop's sting or fanfare ends with the next roll's start.
    for (QSoundEffect *effect : b.effects)
        effect->stop();
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        Q_EMIT unavailable(QStringLiteral("没有可用的音频输出设备。"));
        return;
    }
    QSoundEffect *effect = b.effects[size_t(slot)];
    effect->setVolume(b.volume);
    effect->setLoopCount(QSoundEffect::Infinite);
    effect->play();
    b.loopSlot = slot;
}

void SoundPlayer::fadeOutLoop()
{
    Body &b = *m_body;
    if (b.loopSlot < 0 || b.fade.isActive())
        return;
    b.fadeStep = 0;
    b.fade.start();
}

void SoundPlayer::playOnce(Slot slot)
{
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        Q_EMIT unavailable(QStringLiteral("没有可用的音频输出设备。"));
        return;
    }
    QSoundEffect *effect = m_body->effects[size_t(slot)];
    effect->stop();
    effect->setLoopCount(1);
    effect->setVolume(m_body->volume);
    effect->play();
}

void SoundPlayer::stopAll()
{
    Body &b = *m_body;
    b.fade.stop();
    b.loopSlot = -1;
    for (QSoundEffect *effect : b.effects) {
        effect->stop();
        effect->setVolume(b.volume);
    }
}

bool SoundPlayer::looping() const
{
    return m_body->loopSlot >= 0 && !m_body->fade.isActive();
}

bool SoundPlayer::check(const QString &path, QString *why)
{
    WaveFile wave;
    return WaveFile::read(path, &wave, why);
}
