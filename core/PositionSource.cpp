#include "PositionSource.h"

qint32 SystemPositionSource::pick(qint32 n)
{
    return uniformPosition(*QRandomGenerator::system(), n);
}
