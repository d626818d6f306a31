#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

// The result log: a plain-text file that only ever grows, one four-line
// record per result, CR LF line ends, GB18030 (GBK for every GBK character).
class ResultLog
{
public:
    using Clock = std::function<QDateTime()>;

    static inline const QString DefaultFileName = QStringLiteral("Result.txt");

    // fileName is resolved against the current directory at every write.
    explicit ResultLog(QString fileName = DefaultFileName, Clock clock = &QDateTime::currentDateTime);

    const QString &fileName() const { return m_fileName; }

    // "yyyy-MM-dd HH:mm:ss", or the date alone at exactly midnight.
    static QString formatDateTime(const QDateTime &when);
    // The record's text: title, time and result lines and an empty line.
    static QString recordText(const QString &title, const QString &result, const QDateTime &when);
    // The record as it goes into the file; empty if the encoder is missing.
    static QByteArray encodeRecord(const QString &title, const QString &result, const QDateTime &when);

    // Appends one record with one write and syncs it to disk. Returns true
    // only when the whole record is safely stored; otherwise error says why.
    bool AppendResultRecord(const QString &title, const QString &result, QString *error = nullptr) const;

private:
    QString m_fileName;
    Clock m_clock;
};
