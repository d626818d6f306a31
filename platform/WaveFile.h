#pragma once

#include <QByteArray>
#include <QString>

// A WAV file of plain PCM, as both sound players take it: read checked
// chunk by chunk, and written back (a volume or a fade applied to it).
struct WaveFile
{
    int channels = 0;
    int rate = 0;
    int bits = 0; // 8 or 16
    QByteArray pcm;

    // The largest file read: a few minutes of CD-quality sound.
    static constexpr qint64 MaxBytes = 64 * 1024 * 1024;

    // False, with why in Chinese, when the bytes are no PCM WAV this
    // program plays (8- or 16-bit, 1 or 2 channels, 8000 .. 96000 Hz, some sound).
    static bool parse(const QByteArray &bytes, WaveFile *wave, QString *why);
    // The file's bytes, then parse; why names a file that cannot be read.
    static bool read(const QString &path, WaveFile *wave, QString *why);
    QByteArray bytes() const;
    // The samples scaled by gain (0 .. 1); with fadeFrames > 0 only the
    // first fadeFrames, falling from gain to silence.
    WaveFile scaled(double gain, qint64 fadeFrames = 0) const;
    qint64 frames() const { return channels > 0 && bits > 0 ? pcm.size() / (channels * bits / 8) : 0; }
};
