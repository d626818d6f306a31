#pragma once

#include <QObject>
#include <QString>

#include <memory>

// The hall's sounds: a loop that fades out, and short sounds played once.
// One body per system (SoundPlayer_linux.cpp over Qt Multimedia,
// SoundPlayer_win.cpp over winmm), chosen in CMake. Every call returns at
// once; a sound that cannot play is skipped and said by unavailable(), never
// waited for.
class SoundPlayer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SoundPlayer)

public:
    enum Slot { Roll, Sting, Fanfare };
    static constexpr int SlotCount = 3;
    // The loop's fade at the stop.
    static constexpr int FadeMs = 250;

    explicit SoundPlayer(QObject *parent = nullptr);
    ~SoundPlayer() override;

    // What a slot plays: a WAV file of 8- or 16-bit PCM (a resource path as
    // well). False, with why in Chinese, when it does not read as one; the
    // slot then stays silent.
    bool setSource(Slot slot, const QString &path, QString *why);
    // 0 .. 100, from the next sound on.
    void setVolume(int percent);
    // The loop starts; whatever else plays stops.
    void startLoop(Slot slot);
    // The loop fades out over FadeMs and stops.
    void fadeOutLoop();
    void playOnce(Slot slot);
    // Everything stops at once.
    void stopAll();
    // Whether the loop is sounding (not fading).
    bool looping() const;

    // Whether a file reads as sound this player can play.
    static bool check(const QString &path, QString *why);

Q_SIGNALS:
    // A sound could not play (no output, a broken file, the output gone).
    void unavailable(const QString &why);

private:
    void tellUnavailable();

    struct Body;
    std::unique_ptr<Body> m_body;
};
