#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
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

    // "yyyy-MM-dd HH:mm:ss", or the date alone in the midnight second.
    static QString formatDateTime(const QDateTime &when);
    // The record's text: title, time and result lines and an empty line.
    // Control characters in the title and the result become blanks.
    static QString recordText(const QString &title, const QString &result, const QDateTime &when);
    // The record as it goes into the file, in GB18030.
    static QByteArray encodeRecord(const QString &title, const QString &result, const QDateTime &when);

    // The absolute folder the log is written to, for messages.
    QString folder() const;

    // Appends one record under the log's lock and syncs it to disk. Returns
    // true only when the whole record is safely stored; otherwise error says
    // why, in Chinese. A log that is not a regular file is never written.
    bool AppendResultRecord(const QString &title, const QString &result, QString *error = nullptr) const;
    // Several records in this order, under one lock and one write: all of
    // them are stored, or none (a cut-off write is taken back). Each record
    // carries the time it was taken (the award's, the void's), so the log,
    // the board and the export show one time; a record without one gets
    // the log's clock, read once for the whole write.
    struct Record
    {
        QString title;
        QString result;
        QDateTime when = QDateTime();

        bool operator==(const Record &) const = default;
    };
    bool AppendResultRecords(const QList<Record> &records, QString *error = nullptr) const;

    // Whether a record could be appended to fileName now: it opens for
    // appending without writing (a log it had to create is removed again),
    // refuses pipes, devices and folders, and looks for free space.
    static bool checkAppendable(const QString &fileName, QString *error = nullptr);

    // Takes back the end of the log past keptSize, under the log's lock:
    // only when the log still ends at end (nothing was appended since it
    // was read). A file that is not a regular file is never touched.
    static bool takeBack(const QString &fileName, qint64 keptSize, qint64 end, QString *error = nullptr);

private:
    QString m_fileName;
    Clock m_clock;
};
