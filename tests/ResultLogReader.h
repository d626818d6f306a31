#pragma once

#include "Gb18030.h"

#include <QFile>
#include <QStringList>

// The results recorded in a result log, in order.
inline QStringList resultsInLog(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    const QString text = Gb18030::decode(f.readAll());
    for (const QString &line : text.split(QStringLiteral("\r\n")))
        if (line.startsWith(QStringLiteral("结果: ")))
            out << line.mid(4);
    return out;
}
