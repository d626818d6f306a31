#include "ListFile.h"

#include "SystemError.h"
#include "TextRepair.h"
#include "UserFile.h"

#include <QFile>
#include <QStringDecoder>

#include <cerrno>

namespace ListFile {

SizeCheck checkSize(qint64 bytes)
{
    if (bytes > MaxBytes)
        return SizeCheck::TooLarge;
    if (bytes <= 0)
        return SizeCheck::Empty;
    return SizeCheck::Ok;
}

QString sizeCaption(qint64 bytes)
{
    return QString::number(double(bytes) / 1024.0, 'f', 2) + QStringLiteral("  KB");
}

namespace {

DecodedText decodeWith(QStringDecoder &decoder, QByteArrayView bytes, Encoding encoding)
{
    DecodedText out;
    out.encoding = encoding;
    out.text = decoder.decode(bytes);
    out.hadErrors = decoder.hasError();
    if (replaceLoneSurrogates(out.text))
        out.hadErrors = true;
    return out;
}

} // namespace

DecodedText decode(const QByteArray &bytes)
{
    const QByteArrayView view(bytes);
    const auto stateless = QStringConverter::Flag::Stateless;
    if (view.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder d(QStringConverter::Utf8, stateless);
        return decodeWith(d, view.sliced(3), Encoding::Utf8WithBom);
    }
    if (view.startsWith("\xFF\xFE")) {
        QStringDecoder d(QStringConverter::Utf16LE, stateless);
        return decodeWith(d, view.sliced(2), Encoding::Utf16LE);
    }
    if (view.startsWith("\xFE\xFF")) {
        QStringDecoder d(QStringConverter::Utf16BE, stateless);
        return decodeWith(d, view.sliced(2), Encoding::Utf16BE);
    }
    {
        QStringDecoder d(QStringConverter::Utf8, stateless);
        DecodedText utf8 = decodeWith(d, view, Encoding::Utf8);
        if (!utf8.hadErrors)
            return utf8;
    }
    QStringDecoder gbk("GB18030", stateless);
    if (!gbk.isValid()) {
        // No GB18030 codec on this system: keep what UTF-8 could make of it.
        QStringDecoder d(QStringConverter::Utf8, stateless);
        return decodeWith(d, view, Encoding::Utf8);
    }
    // A line feed after the last byte makes a character cut off at the end
    // of the file show as a replacement character instead of vanishing.
    QByteArray terminated = bytes;
    terminated.append('\n');
    DecodedText out = decodeWith(gbk, terminated, Encoding::Gbk);
    if (out.text.endsWith(u'\n'))
        out.text.chop(1);
    return out;
}

SplitLines splitLines(const QString &text, bool markBadLines)
{
    SplitLines out;
    const qsizetype n = text.size();
    qsizetype start = 0;
    int lineNo = 1;
    auto takeLine = [&](qsizetype end) {
        if (end > start) {
            const QString line = text.sliced(start, end - start);
            if (markBadLines && line.contains(QChar::ReplacementCharacter))
                out.badLines.append(lineNo);
            out.entries.append(line);
        }
        ++lineNo;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            takeLine(i);
            if (i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        } else if (c == u'\n') {
            takeLine(i);
            start = i + 1;
        }
    }
    if (start < n)
        takeLine(n);
    return out;
}

ReadResult read(const QString &path, const Progress &progress)
{
    ReadResult result;
    QFile file;
    if (!UserFile::openForReading(file, path, &result.error))
        return result;
    const qint64 expected = file.size();
    QByteArray bytes;
    bytes.reserve(qMin(expected, MaxBytes) + 1);
    constexpr qint64 chunk = 4096;
    for (;;) {
        char buffer[chunk];
        errno = 0;
        const qint64 got = file.read(buffer, chunk);
        if (got < 0) {
            result.error = SystemError::describe(file.error(), errno);
            return result;
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
        if (bytes.size() > MaxBytes) {
            result.error = QStringLiteral("文件在读入时超过了 25000 字节");
            return result;
        }
        if (progress)
            progress(bytes.size(), qMax(expected, qint64(bytes.size())));
    }
    if (bytes.isEmpty()) {
        result.error = QStringLiteral("文件是空的");
        return result;
    }
    const DecodedText decoded = decode(bytes);
    SplitLines lines = splitLines(decoded.text, decoded.hadErrors);
    result.ok = true;
    result.size = bytes.size();
    result.encoding = decoded.encoding;
    result.entries = std::move(lines.entries);
    result.badLines = std::move(lines.badLines);
    return result;
}

} // namespace ListFile
