#include "ReSortDups.h"

#include "CandidateList.h"

#include <QSet>

#include <algorithm>

int ReSortDups(CandidateList &lst, qint32 &nowc, int comptype)
{
    Q_UNUSED(comptype);
    const int n = lst.ListCount();
    if (n == 0)
        return 0;

    // One pass from the end: the first time a key is seen is the last
    // occurrence in list order.
    QSet<QString> seen;
    seen.reserve(n);
    QList<int> removed;   // positions to remove, in falling order
    QStringList survivors; // kept entries, last first
    survivors.reserve(n);
    const QStringList &entries = lst.entries();
    for (int i = n - 1; i >= 0; --i) {
        const QString &text = entries.at(i);
        const QString key = text.toCaseFolded();
        if (seen.contains(key)) {
            removed.append(i);
        } else {
            seen.insert(key);
            survivors.append(text);
        }
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
    return d;
}
