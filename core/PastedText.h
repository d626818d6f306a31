#pragma once

#include <QString>
#include <QStringList>

// Text pasted into the entry box. A column (two or more non-empty lines)
// becomes one entry per line by the rules of a list file: line ends LF,
// CR LF or CR, empty lines skipped, blanks kept. Other control characters,
// such as the tabs between spreadsheet cells, become blanks. A line longer
// than the entry box holds is cut where typing would stop.
namespace PastedText {

QStringList lines(const QString &text);
bool isColumn(const QString &text);

} // namespace PastedText
