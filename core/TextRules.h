#pragma once

#include <QString>

// The longest entry: as much as the entry box holds when it is typed in.
inline constexpr int MaxEntryLength = 32767;

// Line breaks and other control characters (C0, DEL, C1 with NEL, the line
// and paragraph separators) each become one blank. A title or an entry then
// always stays on one line wherever it is written or shown.
QString blankControlCharacters(const QString &text);
bool isControlCharacter(QChar c);
