#pragma once

#include <QList>

class CandidateList;

// Removes repeated entries from the list. Two entries are repeats when their
// texts are equal once letter case is ignored; of each group the entry that
// stands last survives, with its own text, and the survivors keep their
// order. nowc is reduced by the number removed, which is also returned.
// comptype is accepted for the caller's sake and not consulted. When
// removedPositions is given, it receives the positions removed, in falling
// order.
int ReSortDups(CandidateList &lst, qint32 &nowc, int comptype, QList<int> *removedPositions = nullptr);
