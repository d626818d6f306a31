#include "CandidateList.h"

CandidateList::CandidateList(QObject *parent) : QAbstractListModel(parent) {}

QString CandidateList::List(int index) const
{
    if (index < 0 || index >= m_entries.size())
        return QString();
    return m_entries.at(index);
}

bool CandidateList::AddItem(const QString &text)
{
    return AddItems(QStringList{text}) == 1;
}

int CandidateList::AddItems(const QStringList &texts)
{
    const int room = MaxEntries - ListCount();
    const int n = int(qMin<qsizetype>(room, texts.size()));
    if (n <= 0)
        return 0;
    const int first = ListCount();
    beginInsertRows(QModelIndex(), first, first + n - 1);
    m_entries.append(texts.mid(0, n));
    endInsertRows();
    return n;
}

void CandidateList::RemoveItem(int index)
{
    if (index < 0 || index >= m_entries.size())
        return;
    beginRemoveRows(QModelIndex(), index, index);
    m_entries.removeAt(index);
    endRemoveRows();
}

void CandidateList::ReplaceAll(const QStringList &texts)
{
    beginResetModel();
    m_entries = texts.mid(0, MaxEntries);
    endResetModel();
}

void CandidateList::Clear()
{
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

int CandidateList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ListCount();
}

QVariant CandidateList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_entries.at(index.row());
    return QVariant();
}
