// Feeds arbitrary bytes to the list-file decoder and line splitter, fills a
// candidate list with the result and removes repeats, checking the rules
// the program relies on: no empty entry, never more than the list's limit,
// and duplicate removal that keeps order and changes nothing a second time.
#include "CandidateList.h"
#include "ListFile.h"
#include "ReSortDups.h"

#include <QSet>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(ListFile::MaxBytes))
        return 0; // larger files are refused before they are read
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const ListFile::DecodedText decoded = ListFile::decode(bytes);
    const ListFile::SplitLines lines = ListFile::splitLines(decoded.text, decoded.hadErrors);
    for (const QString &entry : lines.entries) {
        check(!entry.isEmpty());
        check(!entry.contains(u'\r') && !entry.contains(u'\n'));
        check(entry.isValidUtf16()); // no surrogate without its partner
    }
    for (int line : lines.badLines)
        check(line >= 1);
    // Lines read the other way are numbered like the split lines, once each,
    // in order; with a byte-order mark nothing is read another way.
    for (qsizetype i = 0; i < decoded.switchedLines.size(); ++i) {
        check(decoded.switchedLines.at(i) >= 1);
        check(i == 0 || decoded.switchedLines.at(i) > decoded.switchedLines.at(i - 1));
    }
    const bool hasBom =
        bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    if (hasBom)
        check(decoded.switchedLines.isEmpty() && !decoded.closeCall);
    if (!hasBom) {
        // Line ends are single bytes no multi-byte character holds, so the
        // decoded text keeps every non-empty line of the bytes.
        qsizetype nonEmpty = 0, length = 0;
        for (char b : bytes) {
            if (b == '\r' || b == '\n') {
                nonEmpty += length > 0 ? 1 : 0;
                length = 0;
            } else {
                ++length;
            }
        }
        nonEmpty += length > 0 ? 1 : 0;
        check(lines.entries.size() == nonEmpty);
    }
    if (!decoded.switchedLines.isEmpty()) {
        const qsizetype lineEnds = bytes.count('\n') + bytes.count('\r') - bytes.count("\r\n");
        check(decoded.switchedLines.last() <= lineEnds + 1);
    }
    if (!decoded.hadErrors)
        check(lines.badLines.isEmpty());

    CandidateList list;
    list.AddItems(lines.entries);
    list.AddItems(lines.entries); // every entry twice: repeats guaranteed
    if (size % 31 == 0)           // now and then, push against the limit
        list.AddItems(QStringList(CandidateList::MaxEntries, QStringLiteral("filler")));
    check(list.ListCount() <= CandidateList::MaxEntries);

    const QStringList before = list.entries();
    qint32 count = list.ListCount();
    const int removed = ReSortDups(list, count, -1);
    check(count == list.ListCount());
    check(removed == before.size() - list.ListCount());
    // Survivors keep their order: they are a subsequence of the list before.
    qsizetype pos = 0;
    for (const QString &kept : list.entries()) {
        while (pos < before.size() && before.at(pos) != kept)
            ++pos;
        check(pos < before.size());
        ++pos;
    }
    // No two survivors are equal once letter case is ignored.
    QSet<QString> folded;
    for (const QString &kept : list.entries()) {
        const QString key = kept.toCaseFolded();
        check(!folded.contains(key));
        folded.insert(key);
    }
    // A second run removes nothing.
    qint32 again = count;
    check(ReSortDups(list, again, -1) == 0);
    check(again == count);
    return 0;
}
