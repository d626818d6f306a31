#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Text pasted into the entry box. A column (two or more non-empty lines)
// becomes one entry per line by the rules of a list file: line ends LF,
// CR LF or CR, empty lines skipped, blanks kept. Other control characters,
// such as the tabs between spreadsheet cells, become blanks. A line longer
// than the entry box holds is cut where typing would stop, never between
// the two halves of a surrogate pair.
namespace PastedText {

// More text than this is never looked at: it is cut at the last line end
// before it (a saved list holds far less anyway).
inline constexpr qsizetype MaxPasteLength = 8 * 1024 * 1024;
// No more lines are made than the list can keep.
inline constexpr qsizetype MaxLines = 32767;

struct Column
{
    QStringList lines;      // at most MaxLines
    qsizetype leftOut = 0;  // non-empty lines past MaxLines, counted, not made
    qsizetype cutChars = 0; // characters past MaxPasteLength, not looked at
};

// Splits at most MaxLines lines of text; the work is bounded whatever its size.
Column split(QStringView text);
QStringList lines(const QString &text);
bool isColumn(const QString &text);

// The first length units of a line, one fewer when that would end in the
// first half of a surrogate pair.
QStringView cutAt(QStringView line, qsizetype length);

} // namespace PastedText
