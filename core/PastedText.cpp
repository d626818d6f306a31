#include "PastedText.h"

#include "TextRules.h"

namespace PastedText {

QStringView cutAt(QStringView line, qsizetype length)
{
    if (line.size() <= length)
        return line;
    if (length > 0 && line.at(length - 1).isHighSurrogate() && line.at(length).isLowSurrogate())
        --length;
    return line.first(length);
}

Column split(QStringView text)
{
    Column out;
    if (text.size() > MaxPasteLength) {
        // Cut at the last line end before the limit, so no line is cut short by it.
        qsizetype end = MaxPasteLength;
        while (end > 0 && text.at(end - 1) != u'\n' && text.at(end - 1) != u'\r')
            --end;
        if (end == 0)
            end = MaxPasteLength;
        out.cutChars = text.size() - end;
        text = text.first(end);
    }
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        const bool end = i == n || text.at(i) == u'\r' || text.at(i) == u'\n';
        if (!end)
            continue;
        if (i > start) {
            if (out.lines.size() < MaxLines)
                out.lines.append(
                    blankControlCharacters(cutAt(text.sliced(start, i - start), MaxEntryLength).toString()));
            else
                ++out.leftOut;
        }
        if (i < n && text.at(i) == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    return out;
}

QStringList lines(const QString &text)
{
    return split(text).lines;
}

bool isColumn(const QString &text)
{
    return lines(text).size() >= 2;
}

} // namespace PastedText
