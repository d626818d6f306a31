#include "ReSortDups.h"

#include "CandidateList.h"

#include <QStringView>

#include <algorithm>
#include <unordered_set>

namespace {

// Hash and equality that ignore letter case without building folded copies.
struct CaseInsensitiveHash
{
    size_t operator()(QStringView text) const noexcept
    {
        quint64 h = 1469598103934665603ULL; // FNV-1a over folded code points
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = text[i].unicode();
            if (c < 0x80) {
                if (c >= 'A' && c <= 'Z')
                    c += 32;
            } else {
                if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate())
                    c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
                c = QChar::toCaseFolded(c);
            }
            h = (h ^ c) * 1099511628211ULL;
        }
        return size_t(h);
    }
};

struct CaseInsensitiveEqual
{
    bool operator()(QStringView a, QStringView b) const noexcept
    {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
};

} // namespace

int ReSortDups(CandidateList &lst, qint32 &nowc, int comptype, QList<int> *removedPositions)
{
    if (removedPositions)
        removedPositions->clear();
    Q_UNUSED(comptype);
    const int n = lst.ListCount();
    if (n == 0)
        return 0;

    // One pass from the end: the first time a key is seen is the last
    // occurrence in list order.
    std::unordered_set<QStringView, CaseInsensitiveHash, CaseInsensitiveEqual> seen;
    seen.reserve(size_t(n));
    QList<int> removed;    // positions to remove, in falling order
    QStringList survivors; // kept entries, last first
    survivors.reserve(n);
    const QStringList &entries = lst.entries();
    for (int i = n - 1; i >= 0; --i) {
        const QString &text = entries.at(i);
        if (seen.insert(QStringView(text)).second)
            survivors.append(text);
        else
            removed.append(i);
    }

    const int d = int(removed.size());
    nowc -= d;
    if (d > 100) {
        std::reverse(survivors.begin(), survivors.end());
        lst.ReplaceAll(survivors);
    } else {
        for (int pos : std::as_const(removed))
            lst.RemoveItem(pos);
    }
    if (removedPositions)
        *removedPositions = std::move(removed);
    return d;
}
