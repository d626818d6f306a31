#pragma once

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

// The results recorded in a result log, in order.
inline QStringList resultsInLog(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringDecoder decoder("GB18030");
    QStringList out;
    const QString text = decoder(f.readAll());
    for (const QString &line : text.split(QStringLiteral("\r\n")))
        if (line.startsWith(QStringLiteral("结果: ")))
            out << line.mid(4);
    return out;
}
