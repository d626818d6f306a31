#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The master candidate list: entries kept exactly as given, in the order they
// were added, repeats allowed. Member names follow the list box whose role
// the list plays (ListCount, List, AddItem, RemoveItem, Clear).
class CandidateList : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CandidateList)

public:
    // Positions and the count are signed 16-bit: the list holds at most this many.
    static constexpr int MaxEntries = 32767;

    explicit CandidateList(QObject *parent = nullptr);

    int ListCount() const { return int(m_entries.size()); }
    // The text at a position; the empty text outside 0 .. ListCount()-1.
    QString List(int index) const;
    // Appends at the end. Refused (returns false) when the list is full.
    bool AddItem(const QString &text);
    // Appends as many of the texts as fit under MaxEntries; returns how many were added.
    int AddItems(const QStringList &texts);
    // Removes the entry at a position; nothing happens outside the list.
    void RemoveItem(int index);
    // Replaces the whole contents in one reset.
    void ReplaceAll(const QStringList &texts);
    void Clear();
    bool IsFull() const { return m_entries.size() >= MaxEntries; }
    const QStringList &entries() const { return m_entries; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_entries;
};
