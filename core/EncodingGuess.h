#pragma once

#include <QByteArrayView>
#include <QList>

#include <optional>

// Chooses between UTF-8 and GBK for a list file without a byte-order mark.
//
// Both readings of every line are scored by how much they look like a list
// of names: common Chinese characters, CJK punctuation, and whole words of
// Latin, Greek or Cyrillic letters count for a reading; stray symbols,
// combining marks, characters of rarely used ranges and letters of several
// scripts jumbled together count against it. The file as a whole takes the
// reading with the higher sum. A line keeps the file's reading unless that
// reading cannot decode it, or the other reading is clearly better for it.
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

// Plausibility of one line (without its line end) in each reading, or no
// value when the bytes are not valid in that reading.
std::optional<int> utf8Score(QByteArrayView line);
std::optional<int> gbkScore(QByteArrayView line);

} // namespace EncodingGuess
