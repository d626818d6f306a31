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
