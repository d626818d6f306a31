#include "EventState.h"

#include "Gb18030.h"

#include "ResultLog.h"
#include "SystemError.h"
#include "TextRepair.h"
#include "TextRules.h"
#include "UserFile.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QThread>

#include <cerrno>
#include <cmath>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace EventState {

namespace {

const QString SettingsFormat = QStringLiteral("xingsuo-draw settings");
const QString ListFormat = QStringLiteral("xingsuo-draw list");
const QString PrizesFormat = QStringLiteral("xingsuo-draw prizes");

QJsonValue optionalText(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue optionalColor(const std::optional<quint32> &color)
{
    if (!color)
        return QJsonValue(QJsonValue::Null);
    return QStringLiteral("#%1").arg(*color & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

// The document's object after the format and version checks.
bool openDocument(const QByteArray &bytes, const QString &format, QJsonObject *object, QString *why,
                  int newestVersion = Version)
{
    if (bytes.trimmed().isEmpty())
        return fail(why, QStringLiteral("文件是空的"));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return fail(why, QStringLiteral("文件已损坏"));
    *object = doc.object();
    if (object->value(QStringLiteral("format")).toString() != format)
        return fail(why, QStringLiteral("文件已损坏"));
    const QJsonValue version = object->value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() < 1 || version.toDouble() != double(version.toInt()))
        return fail(why, QStringLiteral("文件已损坏"));
    if (version.toInt() > newestVersion)
        return fail(why, QStringLiteral("文件来自更新版本的程序"));
    return true;
}

bool readText(const QJsonObject &o, const QString &key, QString *out)
{
    const QJsonValue v = o.value(key);
    if (!v.isString())
        return false;
    *out = v.toString();
    return true;
}

bool readOptionalText(const QJsonValue &v, std::optional<QString> *out)
{
    if (v.isNull()) {
        out->reset();
        return true;
    }
    if (!v.isString())
        return false;
    *out = v.toString();
    return true;
}

bool readOptionalColor(const QJsonValue &v, std::optional<quint32> *out)
{
    if (v.isNull()) {
        out->reset();
        return true;
    }
    const QString text = v.toString();
    if (text.size() != 7 || !text.startsWith(u'#'))
        return false;
    bool ok = false;
    const uint value = QStringView(text).mid(1).toUInt(&ok, 16);
    if (!ok)
        return false;
    *out = value;
    return true;
}

} // namespace

QByteArray encodeSettings(const Settings &s)
{
    QJsonArray lines;
    for (size_t i = 0; i < 2; ++i)
        lines.append(QJsonObject{{QStringLiteral("face"), optionalText(s.lineFontFace[i])},
                                 {QStringLiteral("color"), optionalColor(s.lineFontColor[i])}});
    const QJsonObject o{{QStringLiteral("format"), SettingsFormat},
                        {QStringLiteral("version"), Version},
                        {QStringLiteral("title"), s.title},
                        {QStringLiteral("subtitle"), s.subtitle},
                        {QStringLiteral("picture"), s.picturePath},
                        {QStringLiteral("lines"), lines},
                        {QStringLiteral("noRepeatDraw"), int(s.noRepeatDraw)},
                        {QStringLiteral("winnersLeave"), s.winnersLeave}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

QByteArray encodeList(const WorkingList &list)
{
    QJsonValue pending(QJsonValue::Null);
    if (list.pending)
        pending = QJsonObject{{QStringLiteral("log"), list.pending->logPath},
                              {QStringLiteral("logSize"), double(list.pending->logSize)},
                              {QStringLiteral("title"), list.pending->title},
                              {QStringLiteral("result"), list.pending->result}};
    const QJsonObject o{{QStringLiteral("format"), ListFormat},
                        {QStringLiteral("version"), Version},
                        {QStringLiteral("entries"), QJsonArray::fromStringList(list.entries)},
                        {QStringLiteral("fileName"), list.fileName},
                        {QStringLiteral("filePath"), list.filePath},
                        {QStringLiteral("fileSize"), list.sizeCaption},
                        {QStringLiteral("imported"), list.imported},
                        {QStringLiteral("pending"), pending}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool decodeSettings(const QByteArray &bytes, Settings *settings, QString *why)
{
    QJsonObject o;
    if (!openDocument(bytes, SettingsFormat, &o, why))
        return false;
    Settings s;
    const QJsonValue lines = o.value(QStringLiteral("lines"));
    const QJsonValue repeat = o.value(QStringLiteral("noRepeatDraw"));
    const QJsonValue leave = o.value(QStringLiteral("winnersLeave"));
    bool ok = readText(o, QStringLiteral("title"), &s.title) &&
              readText(o, QStringLiteral("subtitle"), &s.subtitle) &&
              readText(o, QStringLiteral("picture"), &s.picturePath) && lines.isArray() &&
              lines.toArray().size() == 2 && (repeat == QJsonValue(0) || repeat == QJsonValue(1)) &&
              leave.isBool();
    for (qsizetype i = 0; ok && i < 2; ++i) {
        const QJsonObject line = lines.toArray().at(i).toObject();
        ok = readOptionalText(line.value(QStringLiteral("face")), &s.lineFontFace[size_t(i)]) &&
             readOptionalColor(line.value(QStringLiteral("color")), &s.lineFontColor[size_t(i)]);
    }
    if (!ok)
        return fail(why, QStringLiteral("文件已损坏"));
    s.noRepeatDraw = qint16(repeat.toInt());
    s.winnersLeave = leave.toBool();
    *settings = s;
    return true;
}

bool decodeList(const QByteArray &bytes, WorkingList *list, QString *why)
{
    QJsonObject o;
    if (!openDocument(bytes, ListFormat, &o, why))
        return false;
    WorkingList l;
    const QJsonValue entries = o.value(QStringLiteral("entries"));
    const QJsonValue imported = o.value(QStringLiteral("imported"));
    bool ok = entries.isArray() && imported.isBool() &&
              readText(o, QStringLiteral("fileName"), &l.fileName) &&
              readText(o, QStringLiteral("filePath"), &l.filePath) &&
              readText(o, QStringLiteral("fileSize"), &l.sizeCaption);
    // Longer texts than the program makes would stall the windows showing them.
    for (const QString *text : {&l.fileName, &l.filePath, &l.sizeCaption})
        ok = ok && text->size() <= MaxEntryLength;
    if (!ok)
        return fail(why, QStringLiteral("文件已损坏"));
    const QJsonArray array = entries.toArray();
    if (array.size() > MaxEntries)
        return fail(why, QStringLiteral("列表超过 %1 个数据").arg(MaxEntries));
    l.entries.reserve(array.size());
    for (const QJsonValue &v : array) {
        // The program never adds an empty entry, nor one longer than the entry box holds.
        if (!v.isString() || v.toString().isEmpty() || v.toString().size() > MaxEntryLength)
            return fail(why, QStringLiteral("文件已损坏"));
        // An entry edited in by hand stays on one line, as the program's own do.
        l.entries.append(blankControlCharacters(v.toString()));
    }
    l.imported = imported.toBool();
    // Lists saved before this note existed have no such field.
    const QJsonValue pending = o.value(QStringLiteral("pending"));
    if (pending.isObject()) {
        const QJsonObject p = pending.toObject();
        PendingResult r;
        const QJsonValue size = p.value(QStringLiteral("logSize"));
        if (!readText(p, QStringLiteral("log"), &r.logPath) ||
            !readText(p, QStringLiteral("title"), &r.title) ||
            !readText(p, QStringLiteral("result"), &r.result) || !size.isDouble() || size.toDouble() < 0 ||
            size.toDouble() > 9e15 || r.result.size() > MaxEntryLength)
            return fail(why, QStringLiteral("文件已损坏"));
        r.logSize = qint64(size.toDouble());
        l.pending = r;
    } else if (!pending.isUndefined() && !pending.isNull()) {
        return fail(why, QStringLiteral("文件已损坏"));
    }
    *list = l;
    return true;
}

bool wasRecorded(const PendingResult &pending)
{
    return recordedCount(pending.logPath, pending.logSize, {{pending.title, pending.result}}) == 1;
}

int recordedCount(const QString &logPath, qint64 logSize, const QList<ResultLog::Record> &records)
{
    // Records are small; a log grown by more than this since is searched no further.
    constexpr qint64 SearchBytes = 4 << 20;
    QFile file;
    if (records.isEmpty() || logPath.isEmpty() || !UserFile::openForReading(file, logPath, nullptr))
        return 0;
    if (file.size() <= logSize || !file.seek(logSize))
        return 0;
    const QByteArray bytes = file.read(SearchBytes);
    if (file.error() != QFileDevice::NoError)
        return 0;
    // The lines as the log writes them: control characters blanked, lone
    // surrogates as U+FFFD.
    const auto line = [](const QString &head, const QString &text) {
        QString l = head + blankControlCharacters(text);
        replaceLoneSurrogates(l);
        return l;
    };
    QStringList titleLines, resultLines;
    for (const ResultLog::Record &r : records) {
        titleLines << line(QStringLiteral("标题: "), r.title);
        resultLines << line(QStringLiteral("结果: "), r.result);
    }
    const QStringList lines = Gb18030::decode(bytes).split(QStringLiteral("\r\n"));
    const auto isRecord = [&](qsizetype at, int n) {
        return at + 2 < lines.size() && lines.at(at) == titleLines.at(n) &&
               lines.at(at + 1).startsWith(QStringLiteral("时间: ")) && lines.at(at + 2) == resultLines.at(n);
    };
    // A change's records are written in one piece: they follow each other,
    // four lines apiece, from the first.
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isRecord(i, 0))
            continue;
        int found = 1;
        while (found < records.size() && isRecord(i + 4 * found, found))
            ++found;
        return found;
    }
    return 0;
}

bool settlePending(WorkingList *list)
{
    if (!list->pending)
        return false;
    const PendingResult pending = *list->pending;
    list->pending.reset();
    if (!wasRecorded(pending))
        return false;
    return list->entries.removeAll(pending.result) > 0;
}

bool settleEvening(Prizes::Evening *evening, const PendingRecords &pending)
{
    const int found = recordedCount(pending.logPath, pending.logSize, pending.records);
    if (found == pending.records.size())
        return false;
    if (found == 0) {
        *evening = pending.before;
        return true;
    }
    // A stop adds its winners, in the order of its records, after the
    // awards there were; the ones whose records are missing are drawn again.
    const qsizetype kept = pending.before.awards.size();
    if (evening->awards.size() != kept + pending.records.size() ||
        evening->awards.mid(0, kept) != pending.before.awards)
        return false; // not a stop's shape: what the log holds stands
    evening->awards.resize(kept + found);
    return true;
}

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toString(TimeFormat) : QString();
}

bool readInt(const QJsonObject &o, const QString &key, int low, int high, int *out)
{
    const QJsonValue v = o.value(key);
    if (!v.isDouble() || v.toDouble() != double(v.toInt()) || v.toInt() < low || v.toInt() > high)
        return false;
    *out = v.toInt();
    return true;
}

bool readTime(const QJsonObject &o, const QString &key, bool required, QDateTime *out)
{
    const QJsonValue v = o.value(key);
    if (!v.isString())
        return false;
    if (v.toString().isEmpty())
        return !required;
    *out = QDateTime::fromString(v.toString(), TimeFormat);
    return out->isValid();
}

} // namespace

namespace {

// The evening's own fields, shared by the file and a pending note's "before".
QJsonObject eveningObject(const Prizes::Evening &e)
{
    QJsonArray prizes, awards, pools, closed;
    for (const Prizes::Prize &p : e.prizes)
        prizes.append(QJsonObject{{QStringLiteral("name"), p.name},
                                  {QStringLiteral("count"), p.count},
                                  {QStringLiteral("perStop"), p.perStop}});
    for (const Prizes::Award &a : e.awards)
        awards.append(QJsonObject{{QStringLiteral("prize"), a.prize},
                                  {QStringLiteral("place"), a.place},
                                  {QStringLiteral("stop"), a.stop},
                                  {QStringLiteral("winner"), a.winner},
                                  {QStringLiteral("time"), timeText(a.time)},
                                  {QStringLiteral("voided"), a.voided},
                                  {QStringLiteral("voidTime"), timeText(a.voidTime)},
                                  {QStringLiteral("mayWinLater"), a.mayWinLater}});
    for (qsizetype i = 0; i < e.prizes.size(); ++i) {
        const Prizes::PoolStamp stamp = e.pools.value(i);
        pools.append(QJsonObject{{QStringLiteral("size"), stamp.size},
                                 {QStringLiteral("fingerprint"), stamp.fingerprint}});
        closed.append(e.isClosed(int(i)));
    }
    return QJsonObject{{QStringLiteral("onceEach"), e.onceEach},   {QStringLiteral("prizes"), prizes},
                       {QStringLiteral("announced"), e.announced}, {QStringLiteral("stops"), e.stops},
                       {QStringLiteral("awards"), awards},         {QStringLiteral("pools"), pools},
                       {QStringLiteral("closed"), closed}};
}

bool readEvening(const QJsonObject &o, Prizes::Evening *evening)
{
    Prizes::Evening e;
    const QJsonValue once = o.value(QStringLiteral("onceEach"));
    const QJsonValue prizes = o.value(QStringLiteral("prizes"));
    const QJsonValue awards = o.value(QStringLiteral("awards"));
    const QJsonValue pools = o.value(QStringLiteral("pools"));
    if (!once.isBool() || !prizes.isArray() || !awards.isArray() || !pools.isArray() ||
        prizes.toArray().size() > Prizes::MaxPrizes || awards.toArray().size() > MaxAwards ||
        pools.toArray().size() != prizes.toArray().size())
        return false;
    e.onceEach = once.toBool();
    for (const QJsonValue &v : prizes.toArray()) {
        const QJsonObject p = v.toObject();
        Prizes::Prize prize;
        if (!readText(p, QStringLiteral("name"), &prize.name) ||
            !readInt(p, QStringLiteral("count"), 1, Prizes::MaxCount, &prize.count) ||
            !readInt(p, QStringLiteral("perStop"), 1, Prizes::MaxPerStop, &prize.perStop))
            return false;
        prize.name = blankControlCharacters(prize.name);
        e.prizes.append(prize);
    }
    if (!Prizes::Evening::checkPlan(e.prizes).isEmpty() ||
        !readInt(o, QStringLiteral("announced"), 0, qMax(0, int(e.prizes.size()) - 1), &e.announced) ||
        !readInt(o, QStringLiteral("stops"), 0, MaxAwards, &e.stops))
        return false;
    QSet<QPair<int, int>> filled;
    for (const QJsonValue &v : awards.toArray()) {
        const QJsonObject a = v.toObject();
        Prizes::Award award;
        const QJsonValue voided = a.value(QStringLiteral("voided"));
        const QJsonValue later = a.value(QStringLiteral("mayWinLater"));
        bool ok = readInt(a, QStringLiteral("prize"), 0, int(e.prizes.size()) - 1, &award.prize) &&
                  readInt(a, QStringLiteral("stop"), 1, e.stops, &award.stop) &&
                  readText(a, QStringLiteral("winner"), &award.winner) && !award.winner.isEmpty() &&
                  award.winner.size() <= MaxEntryLength && voided.isBool() && later.isBool() &&
                  readTime(a, QStringLiteral("time"), true, &award.time);
        ok = ok && readInt(a, QStringLiteral("place"), 1, e.prizes.at(award.prize).count, &award.place);
        award.voided = voided.toBool();
        award.mayWinLater = later.toBool();
        ok = ok && readTime(a, QStringLiteral("voidTime"), award.voided, &award.voidTime);
        // One valid winner per place.
        if (ok && !award.voided) {
            const QPair<int, int> slot(award.prize, award.place);
            ok = !filled.contains(slot);
            filled.insert(slot);
        }
        if (!ok)
            return false;
        award.winner = blankControlCharacters(award.winner);
        e.awards.append(award);
    }
    for (const QJsonValue &v : pools.toArray()) {
        const QJsonObject p = v.toObject();
        Prizes::PoolStamp stamp;
        if (!readInt(p, QStringLiteral("size"), -1, MaxEntries, &stamp.size) ||
            !readText(p, QStringLiteral("fingerprint"), &stamp.fingerprint) || stamp.fingerprint.size() > 64)
            return false;
        e.pools.append(stamp);
    }
    // Files written before prizes could be closed short have no "closed".
    const QJsonValue closed = o.value(QStringLiteral("closed"));
    const QJsonArray flags = closed.isUndefined() ? QJsonArray() : closed.toArray();
    if (!closed.isUndefined() && (!closed.isArray() || flags.size() != e.prizes.size()))
        return false;
    for (qsizetype i = 0; i < e.prizes.size(); ++i) {
        if (!flags.isEmpty() && !flags.at(i).isBool())
            return false;
        e.closed.append(flags.at(i).toBool());
    }
    *evening = e;
    return true;
}

bool readPending(const QJsonObject &o, PendingRecords *pending)
{
    const QJsonValue size = o.value(QStringLiteral("logSize"));
    const QJsonValue records = o.value(QStringLiteral("records"));
    if (!readText(o, QStringLiteral("logPath"), &pending->logPath) || !size.isDouble() ||
        size.toDouble() < 0 || size.toDouble() > 9.0e15 || size.toDouble() != std::floor(size.toDouble()) ||
        !records.isArray() || records.toArray().isEmpty() || records.toArray().size() > MaxPendingRecords ||
        !readEvening(o.value(QStringLiteral("before")).toObject(), &pending->before))
        return false;
    pending->logSize = qint64(size.toDouble());
    for (const QJsonValue &v : records.toArray()) {
        ResultLog::Record r;
        if (!readText(v.toObject(), QStringLiteral("title"), &r.title) ||
            !readText(v.toObject(), QStringLiteral("result"), &r.result))
            return false;
        pending->records.append(r);
    }
    return true;
}

} // namespace

QByteArray encodeEvening(const Prizes::Evening &e, const PendingRecords *pending)
{
    QJsonObject o = eveningObject(e);
    o.insert(QStringLiteral("format"), PrizesFormat);
    o.insert(QStringLiteral("version"), PrizesVersion);
    if (pending) {
        QJsonArray records;
        for (const ResultLog::Record &r : pending->records)
            records.append(
                QJsonObject{{QStringLiteral("title"), r.title}, {QStringLiteral("result"), r.result}});
        o.insert(QStringLiteral("pending"),
                 QJsonObject{{QStringLiteral("logPath"), pending->logPath},
                             {QStringLiteral("logSize"), double(pending->logSize)},
                             {QStringLiteral("records"), records},
                             {QStringLiteral("before"), eveningObject(pending->before)}});
    }
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool decodeEvening(const QByteArray &bytes, Prizes::Evening *evening, QString *why,
                   std::optional<PendingRecords> *pending)
{
    QJsonObject o;
    if (!openDocument(bytes, PrizesFormat, &o, why, PrizesVersion))
        return false;
    Prizes::Evening e;
    std::optional<PendingRecords> note;
    if (o.contains(QStringLiteral("pending"))) {
        note.emplace();
        if (!readPending(o.value(QStringLiteral("pending")).toObject(), &*note))
            return fail(why, QStringLiteral("文件已损坏"));
    }
    if (!readEvening(o, &e))
        return fail(why, QStringLiteral("文件已损坏"));
    *evening = e;
    if (pending)
        *pending = note;
    return true;
}

ReadOutcome readFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *why)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return ReadOutcome::Missing;
    QFile file;
    QString error;
    if (!UserFile::openForReading(file, path, &error)) {
        fail(why, error);
        return ReadOutcome::Failed;
    }
    if (file.size() > maxBytes) {
        fail(why, QStringLiteral("文件大于 %1 字节").arg(maxBytes));
        return ReadOutcome::Failed;
    }
    // One byte more than allowed tells a file that grew while being read.
    QByteArray data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        fail(why, SystemError::describe(EIO));
        return ReadOutcome::Failed;
    }
    if (data.size() > maxBytes) {
        fail(why, QStringLiteral("文件大于 %1 字节").arg(maxBytes));
        return ReadOutcome::Failed;
    }
    *bytes = std::move(data);
    return ReadOutcome::Read;
}

namespace {

// The data reaches the disk before the file takes the old one's place:
// fsync, or FlushFileBuffers on Windows.
bool flushToDisk(QSaveFile &file, QString *why)
{
#ifdef Q_OS_WIN
    if (FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))))
        return true;
    return fail(why, SystemError::describeWindows(GetLastError(), SystemError::Access::Write));
#else
    if (::fsync(file.handle()) == 0)
        return true;
    return fail(why, SystemError::describe(errno, SystemError::Access::Write));
#endif
}

// Windows replaces neither a read-only file nor one that is open without
// sharing, where a rename replaces any file. The read-only attribute of the
// old file is taken off first: the state file is the program's own, and a
// copy restored from a CD or marked read-only by hand is still replaced.
bool allowReplacing(const QString &path, QString *why)
{
#ifdef Q_OS_WIN
    const auto native = reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16());
    const DWORD attributes = GetFileAttributesW(native);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    if (SetFileAttributesW(native, attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)))
        return true;
    return fail(why, QStringLiteral("无法去掉旧文件的只读属性：") +
                         SystemError::describeWindows(GetLastError(), SystemError::Access::Write));
#else
    Q_UNUSED(path);
    Q_UNUSED(why);
    return true;
#endif
}

// How long a save waits for the old file to be free: on Windows it cannot
// be replaced while another copy of the program is reading or replacing
// it. A rename on other systems never has to wait.
#ifdef Q_OS_WIN
constexpr int ReplaceWaitMs = 5000;
#else
constexpr int ReplaceWaitMs = 0;
#endif

// Why the old file could not be replaced, as far as can be told after the
// fact: Qt keeps no system error of a failed replace.
QString replaceFailure(const QString &path, QSaveFile &file)
{
#ifdef Q_OS_WIN
    const auto native = reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16());
    const HANDLE h = CreateFileW(native, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return SystemError::describeWindows(GetLastError(), SystemError::Access::Write);
    CloseHandle(h);
#else
    Q_UNUSED(path);
#endif
    return SystemError::describe(file.error(), errno, SystemError::Access::Write);
}

// One write through a temporary file. replaceFailed tells a failure of the
// last step, replacing the old file, which may pass when tried again.
bool writeOnce(const QString &path, const QByteArray &bytes, QString *error, bool *replaceFailed)
{
    *replaceFailed = false;
    QSaveFile file(path);
    auto reason = [&file] { return SystemError::describe(file.error(), errno, SystemError::Access::Write); };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, reason());
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = reason();
        file.cancelWriting();
        return fail(error, why);
    }
    if (!flushToDisk(file, error)) {
        file.cancelWriting();
        return false;
    }
    errno = 0;
    if (!file.commit()) {
        *replaceFailed = file.error() == QFileDevice::RenameError;
        return fail(error, *replaceFailed ? replaceFailure(path, file) : reason());
    }
    return true;
}

} // namespace

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(error, QStringLiteral("无法创建文件夹 %1").arg(info.absolutePath()));
    if (!allowReplacing(path, error))
        return false;
    QElapsedTimer waited;
    waited.start();
    bool replaceFailed = false;
    while (!writeOnce(path, bytes, error, &replaceFailed)) {
        if (!replaceFailed || waited.elapsed() >= ReplaceWaitMs)
            return false;
        QThread::msleep(10);
    }
#ifdef Q_OS_UNIX
    // The rename itself reaches the disk with the folder.
    const int dir =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
#endif
    return true;
}

QString moveAside(const QString &path, QString *error, const QString &why)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString aside = n == 0 ? QStringLiteral("%1.%2-%3").arg(path, why, stamp)
                                     : QStringLiteral("%1.%2-%3-%4").arg(path, why, stamp).arg(n);
        if (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink())
            continue;
        QFile file(path);
        errno = 0;
        if (file.rename(aside))
            return aside;
        const int err = errno;
        const QFileDevice::FileError qtError = file.error();
        if (QDir().rename(path, aside)) // a folder in the file's place
            return aside;
        fail(error, SystemError::describe(qtError, err, SystemError::Access::Write));
        return QString();
    }
    fail(error, QStringLiteral("旁边已有太多同名的旧文件"));
    return QString();
}

Store::Store(QString settingsPath, QString listPath, QString prizesPath)
    : m_settingsPath(std::move(settingsPath)), m_listPath(std::move(listPath)),
      m_prizesPath(prizesPath.isEmpty()
                       ? QFileInfo(m_listPath).absolutePath() + QStringLiteral("/prizes.json")
                       : std::move(prizesPath))
{
}

namespace {

template <typename T, typename Decode>
std::optional<T> loadOne(const QString &path, qint64 maxBytes, const QString &what, Decode decode,
                         QStringList *problems)
{
    QByteArray bytes;
    QString why;
    switch (readFile(path, maxBytes, &bytes, &why)) {
    case ReadOutcome::Missing:
        return std::nullopt;
    case ReadOutcome::Read: {
        T value;
        if (decode(bytes, &value, &why))
            return value;
        break;
    }
    case ReadOutcome::Failed:
        break;
    }
    QString moveError;
    const QString aside = moveAside(path, &moveError);
    problems->append(aside.isEmpty() ? QStringLiteral("保存的%1 %2 无法使用（%3），且无法改名保留：%4。")
                                           .arg(what, QDir::toNativeSeparators(path), why, moveError)
                                     : QStringLiteral("保存的%1 %2 无法使用（%3），已改名保留为 %4。")
                                           .arg(what, QDir::toNativeSeparators(path), why,
                                                QDir::toNativeSeparators(aside)));
    return std::nullopt;
}

} // namespace

Store::Loaded Store::load() const
{
    Loaded loaded;
    loaded.settings = loadOne<Settings>(m_settingsPath, MaxSettingsBytes, QStringLiteral("设置"),
                                        decodeSettings, &loaded.problems);
    loaded.list = loadOne<WorkingList>(m_listPath, MaxListBytes, QStringLiteral("待选列表"), decodeList,
                                       &loaded.problems);
    const auto decode = [&loaded](const QByteArray &bytes, Prizes::Evening *evening, QString *why) {
        return decodeEvening(bytes, evening, why, &loaded.eveningPending);
    };
    loaded.evening = loadOne<Prizes::Evening>(m_prizesPath, MaxPrizesBytes, QStringLiteral("奖项和中奖记录"),
                                              decode, &loaded.problems);
    return loaded;
}

bool Store::saveSettings(const Settings &settings, QString *error) const
{
    return writeFile(m_settingsPath, encodeSettings(settings), error);
}

bool Store::saveList(const WorkingList &list, QString *error) const
{
    const QByteArray bytes = encodeList(list);
    if (bytes.size() > MaxListBytes)
        return fail(error, QStringLiteral("列表太大，超过 %1 字节").arg(MaxListBytes));
    return writeFile(m_listPath, bytes, error);
}

bool Store::saveEvening(const Prizes::Evening &evening, QString *error) const
{
    return writeFile(m_prizesPath, encodeEvening(evening), error);
}

} // namespace EventState
