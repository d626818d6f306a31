#include "PastedText.h"

#include "ListFile.h"
#include "TextRules.h"

namespace PastedText {

QStringList lines(const QString &text)
{
    QStringList out = ListFile::splitLines(text).entries;
    for (QString &line : out)
        line = blankControlCharacters(line.left(MaxEntryLength));
    return out;
}

bool isColumn(const QString &text)
{
    return lines(text).size() >= 2;
}

} // namespace PastedText
