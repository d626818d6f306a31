#pragma once

#include "PrizePlan.h"
#include "ResultLog.h"
#include "Roster.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <optional>

// What an event keeps across a restart: the settings (config folder) and the
// working list (data folder), each in a file of its own, written whole with
// QSaveFile and read defensively.
namespace EventState {

inline constexpr int Version = 1;
// Files above these sizes are not read at all.
inline constexpr qint64 MaxSettingsBytes = 1 << 20;
inline constexpr qint64 MaxListBytes = 16 << 20;
inline constexpr int MaxEntries = 32767;
inline constexpr qint64 MaxPrizesBytes = 16 << 20;
// The prize plan's file has a version of its own: a state saved before
// there were plans has no such file and loads as an evening without one.
inline constexpr int PrizesVersion = 1;
inline constexpr int MaxAwards = 1 << 18;

struct Settings
{
    QString title;
    QString subtitle;
    QString picturePath;
    std::array<std::optional<QString>, 2> lineFontFace;
    std::array<std::optional<quint32>, 2> lineFontColor; // 0xRRGGBB
    qint16 noRepeatDraw = 0;
    bool winnersLeave = false;
    QString audienceScreen; // the screen the organiser chose for the hall; empty: not chosen
    // Files written before sounds came read as these defaults.
    bool soundOn = true;
    int soundVolume = 80;
    std::array<QString, 3> soundFiles; // the program's copies; empty: its own sound

    bool operator==(const Settings &) const = default;
};

// A result about to be recorded while winners leave the pool: kept with
// the list until the pool that follows it is saved, so that a list saved
// just before the record can tell, at the next start, whether the record
// reached the log (then the winner is taken out).
struct PendingResult
{
    QString logPath;    // absolute path of the result log
    qint64 logSize = 0; // its size just before the record was written
    QString title;
    QString result;

    bool operator==(const PendingResult &) const = default;
};

struct WorkingList
{
    QStringList entries;
    QString fileName;      // caption of the last file read
    QString filePath;      // full path of the last file read
    QString sizeCaption;   // its size as shown in the status row
    bool imported = false; // a file import enabled the edit and repeat buttons
    std::optional<PendingResult> pending;
    // The roster the entries show, when one was imported; lists saved
    // without one read as none.
    std::optional<Roster::Held> roster;

    bool operator==(const WorkingList &) const = default;
};

QByteArray encodeSettings(const Settings &settings);
QByteArray encodeList(const WorkingList &list);
// On failure return false and say why in Chinese.
bool decodeSettings(const QByteArray &bytes, Settings *settings, QString *why);
bool decodeList(const QByteArray &bytes, WorkingList *list, QString *why);
// A change of the evening (a stop's winners, a void) whose records are
// being written: saved with the changed evening until the records are in
// the log, so that a start after a crash keeps the change exactly as far as
// its records reached the log.
struct PendingRecords
{
    QString logPath;    // absolute path of the result log
    qint64 logSize = 0; // its size just before the records were written
    QList<ResultLog::Record> records;
    // The evening as it was before the change. On disk the note holds only
    // what undoes the change (the awards it added or altered, the plan's
    // stamps before it); a file with a whole "before" reads as well.
    Prizes::Evening before;

    bool operator==(const PendingRecords &) const = default;
};
inline constexpr int MaxPendingRecords = Prizes::MaxPerStop;

// The prize plan with the winners and voids so far, and the note of a
// change whose records are being written, if there is one.
QByteArray encodeEvening(const Prizes::Evening &evening, const PendingRecords *pending = nullptr);
bool decodeEvening(const QByteArray &bytes, Prizes::Evening *evening, QString *why,
                   std::optional<PendingRecords> *pending = nullptr);

enum class ReadOutcome { Missing, Read, Failed };
// What the log holds past a noted size, read as far as the noted records
// (and a margin for another program's records before them) can reach.
struct LogTail
{
    int found = 0;          // the records, whole and in order, one after the other
    qint64 end = 0;         // the log's size as it was read
    qint64 keep = -1;       // where a cut-off end starts that is no whole record (-1: none)
    QStringList cutResults; // the result lines in that end, cut as they are
};
LogTail readLogTail(const QString &logPath, qint64 logSize, const QList<ResultLog::Record> &records);
// Whether the log holds the pending result's record past the size it had.
bool wasRecorded(const PendingResult &pending);
// How many of the records, in order and one after the other, the log holds
// past logSize.
int recordedCount(const QString &logPath, qint64 logSize, const QList<ResultLog::Record> &records);
// Settles a list saved with a pending result: when the record reached the
// log, every entry with the result's text leaves. The note is dropped.
// A cut-off record at the log's end is taken back (takenBack, when given,
// says so in Chinese for the operator). True when entries were taken out.
bool settlePending(WorkingList *list, QString *takenBack = nullptr);
// Settles an evening saved with pending records: the change stands when
// all its records reached the log whole; with none of them the evening is
// the one before it; a stop whose first winners only were recorded whole
// keeps just those. Whatever the log holds past the last whole record that
// is not a whole record (a write cut off by a crash) is taken back, so the
// log ends on a whole record again; takenBack says what, in Chinese.
// True when the evening was taken back, in whole or in part.
bool settleEvening(Prizes::Evening *evening, const PendingRecords &pending, QString *takenBack = nullptr);

// Whether the evening after one more stop of perStop winners (entries at
// most maxEntryLength long, record titles at most titleLength) still fits
// what the start reads back, with the note of the stop's records. Checked
// before anything is drawn; why says, in Chinese, what stands in the way.
bool eveningRoomFor(const Prizes::Evening &evening, int perStop, int maxEntryLength, int titleLength,
                    QString *why);

// A change of the evening written with its records: the evening with the
// note of the records first, then the records, then the evening without
// the note. NotSaved: the note could not be written, nothing else was, and
// the change must not stand.
enum class RecordOutcome { Recorded, NotRecorded, NotSaved };
struct ChangeWrite
{
    RecordOutcome outcome = RecordOutcome::NotSaved;
    QString logError;  // why the records are not in the log
    QString saveError; // why the evening could not be written (the note, or afterwards)
    QByteArray saved;  // what the evening's file holds afterwards (empty: not known)
};
ChangeWrite recordChange(const QString &prizesPath, const Prizes::Evening &after,
                         const Prizes::Evening &before, const QList<ResultLog::Record> &records,
                         const ResultLog &log);

// Reads a whole state file of at most maxBytes; never waits on a pipe.
ReadOutcome readFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *why);
// Writes through a temporary file that replaces path only once it is
// complete and on disk; another writer's file is replaced whole or not at all.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error);
// Renames a file to a free name beside it ("<name>.<why>-<time>"); returns
// the new path, or the empty text (error says why) when it could not be moved.
QString moveAside(const QString &path, QString *error, const QString &why = QStringLiteral("damaged"));

// The two files of the saved state, and what came of reading them.
class Store
{
public:
    // The prize plan goes beside the list unless a path is given.
    Store(QString settingsPath, QString listPath, QString prizesPath = QString());

    const QString &settingsPath() const { return m_settingsPath; }
    const QString &listPath() const { return m_listPath; }
    const QString &prizesPath() const { return m_prizesPath; }
    // Where the organiser's sound files are copied: beside the list.
    QString soundFolder() const;

    struct Loaded
    {
        std::optional<Settings> settings; // unset: start with the default values
        std::optional<WorkingList> list;
        std::optional<Prizes::Evening> evening;
        std::optional<PendingRecords> eveningPending; // to be settled against the log
        // One sentence per file that could not be used; empty when all went well.
        QStringList problems;
    };
    // Reads both files; a damaged one is moved aside and named in problems.
    Loaded load() const;

    bool saveSettings(const Settings &settings, QString *error) const;
    bool saveList(const WorkingList &list, QString *error) const;
    bool saveEvening(const Prizes::Evening &evening, QString *error) const;

private:
    QString m_settingsPath;
    QString m_listPath;
    QString m_prizesPath;
};

} // namespace EventState
