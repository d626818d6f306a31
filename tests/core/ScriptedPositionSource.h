#pragma once

#include "PositionSource.h"

#include <QList>

// Hands out the positions it was given, in order, then repeats the last one.
class ScriptedPositionSource final : public PositionSource
{
public:
    explicit ScriptedPositionSource(QList<qint32> positions) : m_positions(std::move(positions)) {}
    qint32 pick(qint32 n) override
    {
        lastRange = n;
        ++calls;
        const qint32 p =
            m_positions.isEmpty() ? 0 : m_positions.at(qMin(m_next, int(m_positions.size()) - 1));
        ++m_next;
        return p;
    }
    int calls = 0;
    qint32 lastRange = -1;

private:
    QList<qint32> m_positions;
    int m_next = 0;
};
