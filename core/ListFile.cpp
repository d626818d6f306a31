#include "ListFile.h"

#include "EncodingGuess.h"
#include "Gb18030.h"
#include "SystemError.h"
#include "TextRepair.h"
#include "TextRules.h"
#include "UserFile.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
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
    // Runs of lines are decoded one after another: a byte-order mark at the
    // start of a later run is a character of the text, not a mark.
    const auto runs = stateless | QStringConverter::Flag::ConvertInitialBom;
    bool gbkErrors = false;
    QStringDecoder utf8(QStringConverter::Utf8, runs);
    const EncodingGuess::Guess guess = EncodingGuess::guess(view);
    DecodedText out;
    out.encoding = guess.reading == EncodingGuess::Reading::Utf8 ? Encoding::Utf8 : Encoding::Gbk;
    out.closeCall = guess.closeCall;
    out.text.reserve(bytes.size());
    // Neighbouring lines of one reading are decoded together. Every run but
    // the last ends with a line end, so no character is cut off between runs.
    const auto &lines = guess.lines;
    for (qsizetype first = 0; first < lines.size();) {
        const EncodingGuess::Reading reading = lines.at(first).reading;
        qsizetype last = first;
        while (last + 1 < lines.size() && lines.at(last + 1).reading == reading)
            ++last;
        const QByteArrayView run =
            view.sliced(lines.at(first).begin, lines.at(last).end - lines.at(first).begin);
        if (reading == EncodingGuess::Reading::Utf8) {
            out.text += utf8.decode(run);
        } else {
            // A character cut off at the end of the file shows as a
            // replacement character.
            bool errors = false;
            out.text += Gb18030::decode(run, &errors);
            gbkErrors = gbkErrors || errors;
        }
        first = last + 1;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).switched)
            out.switchedLines.append(int(i + 1));
    }
    out.hadErrors = utf8.hasError() || gbkErrors;
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
    // A tab or a line separator inside a line stays on that line as a blank,
    // as in a typed or pasted entry, so the entry shows as the log writes it.
    for (QString &entry : result.entries) {
        if (std::any_of(entry.cbegin(), entry.cend(), isControlCharacter))
            entry = blankControlCharacters(entry);
    }
    result.badLines = std::move(lines.badLines);
    result.switchedLines = decoded.switchedLines;
    result.closeCall = decoded.closeCall;
    return result;
}

namespace {

QString encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8WithBom:
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        return QStringLiteral("UTF-16");
    case Encoding::Gbk:
        break;
    }
    return QStringLiteral("GBK");
}

// "3、7、12": the first ten numbers, then an ellipsis.
QString lineNumbers(const QList<int> &lines)
{
    QStringList out;
    for (int line : lines.mid(0, 10))
        out << QString::number(line);
    if (lines.size() > 10)
        out << QStringLiteral("…");
    return out.join(QStringLiteral("、"));
}

} // namespace

QString readingReport(const ReadResult &result, const QString &fileName)
{
    QStringList sentences;
    const QString taken = encodingName(result.encoding);
    const QString other = result.encoding == Encoding::Gbk ? QStringLiteral("UTF-8") : QStringLiteral("GBK");
    if (result.closeCall)
        sentences << QStringLiteral(
                         "文件 %1 的编码难以判断，已按 %2 读入（按 %3 读也像名字）。如果名字显示不对，"
                         "请把文件另存为带 BOM 的 UTF-8 后重新读入。")
                         .arg(fileName, taken, other);
    if (!result.switchedLines.isEmpty())
        sentences << QStringLiteral("文件 %1 按 %2 读入，其中第 %3 行按 %4 读入，请检查。")
                         .arg(fileName, taken, lineNumbers(result.switchedLines), other);
    if (!result.badLines.isEmpty())
        sentences << QStringLiteral("文件 %1 中有无法识别的字符，已用 � 代替（第 %2 行），请检查。")
                         .arg(fileName, lineNumbers(result.badLines));
    return sentences.join(u'\n');
}

} // namespace ListFile
