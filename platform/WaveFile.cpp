#include "WaveFile.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool refuse(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

quint32 le32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

quint16 le16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

} // namespace

bool WaveFile::parse(const QByteArray &bytes, WaveFile *wave, QString *why)
{
    const QString notWave = QStringLiteral("不是可以播放的 WAV 声音文件");
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return refuse(why, notWave);
    WaveFile w;
    bool haveFormat = false;
    bool haveData = false;
    qsizetype at = 12;
    while (at + 8 <= bytes.size() && !haveData) {
        const char *chunk = bytes.constData() + at;
        const quint32 size = le32(chunk + 4);
        const qsizetype body = at + 8;
        // A data chunk cut short (a file still being written) plays what it has.
        const qsizetype available = std::min<qsizetype>(qsizetype(size), bytes.size() - body);
        if (qstrncmp(chunk, "fmt ", 4) == 0) {
            if (available < 16)
                return refuse(why, notWave);
            const char *f = bytes.constData() + body;
            const quint16 format = le16(f);
            w.channels = le16(f + 2);
            w.rate = int(le32(f + 4));
            w.bits = le16(f + 14);
            // 1: PCM; 0xFFFE: the extensible header, PCM when its sub-format says so.
            bool pcm = format == 1;
            if (format == 0xFFFE && available >= 26)
                pcm = le16(f + 24) == 1;
            if (!pcm)
                return refuse(why, QStringLiteral("WAV 文件不是未压缩的 PCM 声音"));
            haveFormat = true;
        } else if (qstrncmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return refuse(why, notWave);
            w.pcm = bytes.mid(body, available);
            haveData = true;
        }
        at = body + qsizetype(size) + (size & 1);
    }
    if (!haveFormat || !haveData)
        return refuse(why, notWave);
    if ((w.bits != 8 && w.bits != 16) || w.channels < 1 || w.channels > 2 || w.rate < 8000 || w.rate > 96000)
        return refuse(why, QStringLiteral("WAV 文件的格式不受支持（需要 8 或 16 位、单声道或立体声）"));
    w.pcm.truncate(w.pcm.size() - w.pcm.size() % (w.channels * w.bits / 8));
    if (w.pcm.isEmpty())
        return refuse(why, QStringLiteral("WAV 文件里没有声音"));
    *wave = w;
    return true;
}

bool WaveFile::read(const QString &path, WaveFile *wave, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(why, QStringLiteral("无法打开：%1").arg(file.errorString()));
    if (file.size() > MaxBytes)
        return refuse(why, QStringLiteral("文件太大（超过 %1 MB）").arg(MaxBytes / 1024 / 1024));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return refuse(why, QStringLiteral("无法读取：%1").arg(file.errorString()));
    return parse(bytes, wave, why);
}

QByteArray WaveFile::bytes() const
{
    QByteArray out(44, '\0');
    char *h = out.data();
    const int blockAlign = channels * bits / 8;
    std::memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(quint32(36 + pcm.size()), h + 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);
    qToLittleEndian<quint16>(quint16(channels), h + 22);
    qToLittleEndian<quint32>(quint32(rate), h + 24);
    qToLittleEndian<quint32>(quint32(rate * blockAlign), h + 28);
    qToLittleEndian<quint16>(quint16(blockAlign), h + 32);
    qToLittleEndian<quint16>(quint16(bits), h + 34);
    std::memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(quint32(pcm.size()), h + 40);
    return out + pcm;
}

WaveFile WaveFile::scaled(double gain, qint64 fadeFrames) const
{
    WaveFile out = *this;
    const qint64 total = fadeFrames > 0 ? std::min(fadeFrames, frames()) : frames();
    const int bytesPerFrame = channels * bits / 8;
    out.pcm = pcm.left(total * bytesPerFrame);
    char *p = out.pcm.data();
    for (qint64 frame = 0; frame < total; ++frame) {
        const double g = fadeFrames > 0 ? gain * double(total - frame) / double(total) : gain;
        for (int c = 0; c < channels; ++c) {
            char *s = p + frame * bytesPerFrame + c * bits / 8;
            if (bits == 16) {
                const double v = qFromLittleEndian<qint16>(s) * g;
                qToLittleEndian<qint16>(qint16(std::clamp(std::lround(v), -32768L, 32767L)), s);
            } else { // unsigned, 128 the silence
                const double v = (double(quint8(*s)) - 128.0) * g + 128.0;
                *s = char(quint8(std::clamp(std::lround(v), 0L, 255L)));
            }
        }
    }
    return out;
}
