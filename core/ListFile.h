#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Reading a candidate list file: one entry per line, empty lines skipped.
namespace ListFile {

// Files above this many bytes are refused before anything is read.
inline constexpr qint64 MaxBytes = 25000;

// Title and texts of the two refusals of the import.
inline const QString RefusalTitle = QStringLiteral("安全帽");
inline const QString TooLargeText = QStringLiteral("打开大于25KB的文件可能造成假死\r\n\r\n请返回 ╮(╯▽╰)╭ ");
inline const QString EmptyFileText = QStringLiteral("无效空文件\r\n\r\n请返回 ╮(╯▽╰)╭ ");

enum class SizeCheck { Ok, TooLarge, Empty };
SizeCheck checkSize(qint64 bytes);

// The size shown in the status row: size/1024 with two decimals, two blanks, "KB".
QString sizeCaption(qint64 bytes);

enum class Encoding { Utf8WithBom, Utf16LE, Utf16BE, Utf8, Gbk };

struct DecodedText
{
    QString text;
    Encoding encoding = Encoding::Utf8;
    // True when some bytes did not decode and were replaced by U+FFFD.
    bool hadErrors = false;
    // 1-based numbers of the lines read as UTF-8 in a GBK file or as GBK in
    // a UTF-8 file.
    QList<int> switchedLines;
    // Both UTF-8 and GBK read the whole file as plausible names, with little
    // between them: the operator is told which reading was taken.
    bool closeCall = false;
};

// A byte-order mark decides (UTF-8, UTF-16 LE or BE). Otherwise each line is
// read as UTF-8 or as GBK (decoded as GB18030, its superset): the file takes
// the reading that looks more like a list of names, and a line the other
// reading makes far more plausible (such as one the file's reading cannot
// decode) is read the other way. Line ends are the same as in splitLines().
DecodedText decode(const QByteArray &bytes);

struct SplitLines
{
    QStringList entries;
    // 1-based numbers of the file's lines that hold a replacement character.
    QList<int> badLines;
};

// Splits at LF, CR LF and a lone CR; skips empty lines; keeps blanks.
// When markBadLines is set, lines holding U+FFFD are reported.
SplitLines splitLines(const QString &text, bool markBadLines = false);

struct ReadResult
{
    bool ok = false;
    QString error; // why the file could not be read, for the operator
    qint64 size = 0;
    Encoding encoding = Encoding::Utf8;
    QStringList entries;
    QList<int> badLines;
    QList<int> switchedLines;
    bool closeCall = false;
};

// Reads the whole file first and decodes it; nothing partial is returned.
// progress(bytesRead, totalBytes) is called as the bytes come in.
using Progress = std::function<void(qint64 done, qint64 total)>;
ReadResult read(const QString &path, const Progress &progress = {});

// What the operator should know about how a file that was read was decoded:
// a close call between UTF-8 and GBK, lines read the other way, lines with
// characters that could not be decoded. Empty when there is nothing to say.
QString readingReport(const ReadResult &result, const QString &fileName);

} // namespace ListFile
