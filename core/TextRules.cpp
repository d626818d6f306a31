#include "TextRules.h"

bool isControlCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029;
}

QString blankControlCharacters(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (isControlCharacter(c))
            c = u' ';
    }
    return out;
}
