#pragma once

#include <QByteArrayView>
#include <QList>

#include <optional>

// Chooses between UTF-8 and GBK for a list file without a byte-order mark.
//
// Both readings of every line get a cost by how unlikely their characters
// are in a list of names: common Chinese characters and whole words of
// Latin, Greek or Cyrillic letters are cheap; rare characters, stray
// symbols, accents and letters of several scripts jumbled together are dear,
// and every character costs something, so a reading that makes more
// characters of the same bytes pays for it. The file as a whole takes the
// cheaper reading. A line keeps the file's reading unless the other reading
// is clearly cheaper for it, as it nearly always is for a line the file's
// reading cannot decode.
namespace EncodingGuess {

enum class Reading { Utf8, Gbk };

struct Line
{
    qsizetype begin = 0; // byte offset of the line
    qsizetype end = 0;   // byte offset past the line and its line end
    Reading reading = Reading::Utf8;
    // Read otherwise than the file as a whole.
    bool switched = false;
};

struct Guess
{
    Reading reading = Reading::Utf8;
    // Both readings decode every line and both look like names, with little
    // between them: the operator should be told which one was taken.
    bool closeCall = false;
    // Every line, line ends as in ListFile::splitLines (CR LF, lone CR, LF).
    QList<Line> lines;
};

Guess guess(QByteArrayView bytes);

// How implausible one line (without its line end) is as names in each
// reading, lower being more plausible; no value when the bytes are not
// valid in that reading.
std::optional<int> utf8Cost(QByteArrayView line);
std::optional<int> gbkCost(QByteArrayView line);

} // namespace EncodingGuess
