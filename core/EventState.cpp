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
    const QJsonObject o{
        {QStringLiteral("format"), SettingsFormat},
        {QStringLiteral("version"), Version},
        {QStringLiteral("title"), s.title},
        {QStringLiteral("subtitle"), s.subtitle},
        {QStringLiteral("picture"), s.picturePath},
        {QStringLiteral("lines"), lines},
        {QStringLiteral("noRepeatDraw"), int(s.noRepeatDraw)},
        {QStringLiteral("winnersLeave"), s.winnersLeave},
        {QStringLiteral("audienceScreen"), s.audienceScreen},
        {QStringLiteral("sound"),
         QJsonObject{{QStringLiteral("on"), s.soundOn},
                     {QStringLiteral("volume"), s.soundVolume},
                     {QStringLiteral("files"),
                      QJsonArray::fromStringList(QStringList(s.soundFiles.begin(), s.soundFiles.end()))}}}};
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
    QJsonObject o{{QStringLiteral("format"), ListFormat},
                  {QStringLiteral("version"), Version},
                  {QStringLiteral("entries"), QJsonArray::fromStringList(list.entries)},
                  {QStringLiteral("fileName"), list.fileName},
                  {QStringLiteral("filePath"), list.filePath},
                  {QStringLiteral("fileSize"), list.sizeCaption},
                  {QStringLiteral("imported"), list.imported},
                  {QStringLiteral("pending"), pending}};
    if (list.roster)
        o.insert(QStringLiteral("roster"), list.roster->toJson());
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
    // Written by later versions only: an older file has not chosen a screen.
    const QJsonValue screen = o.value(QStringLiteral("audienceScreen"));
    bool ok = readText(o, QStringLiteral("title"), &s.title) &&
              readText(o, QStringLiteral("subtitle"), &s.subtitle) &&
              readText(o, QStringLiteral("picture"), &s.picturePath) && lines.isArray() &&
              lines.toArray().size() == 2 && (repeat == QJsonValue(0) || repeat == QJsonValue(1)) &&
              leave.isBool() && (screen.isUndefined() || screen.isString());
    for (qsizetype i = 0; ok && i < 2; ++i) {
        const QJsonObject line = lines.toArray().at(i).toObject();
        ok = readOptionalText(line.value(QStringLiteral("face")), &s.lineFontFace[size_t(i)]) &&
             readOptionalColor(line.value(QStringLiteral("color")), &s.lineFontColor[size_t(i)]);
    }
    // Sounds came later: a file without them reads as the defaults.
    const QJsonValue sound = o.value(QStringLiteral("sound"));
    if (ok && !sound.isUndefined()) {
        const QJsonObject so = sound.toObject();
        const QJsonValue on = so.value(QStringLiteral("on"));
        const QJsonValue volume = so.value(QStringLiteral("volume"));
        const QJsonArray files = so.value(QStringLiteral("files")).toArray();
        ok = sound.isObject() && on.isBool() && volume.isDouble() && volume.toDouble() >= 0 &&
             volume.toDouble() <= 100 && volume.toDouble() == double(volume.toInt()) &&
             files.size() == qsizetype(s.soundFiles.size());
        for (qsizetype i = 0; ok && i < files.size(); ++i)
            ok = files.at(i).isString() && files.at(i).toString().size() <= MaxEntryLength;
        if (ok) {
            s.soundOn = on.toBool();
            s.soundVolume = volume.toInt();
            for (qsizetype i = 0; i < files.size(); ++i)
                s.soundFiles[size_t(i)] = files.at(i).toString();
        }
    }
    if (!ok)
        return fail(why, QStringLiteral("文件已损坏"));
    s.noRepeatDraw = qint16(repeat.toInt());
    s.winnersLeave = leave.toBool();
    s.audienceScreen = screen.toString();
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
    // Lists saved before rosters existed have none.
    const QJsonValue roster = o.value(QStringLiteral("roster"));
    if (roster.isObject()) {
        Roster::Held held;
        if (!Roster::Held::fromJson(roster.toObject(), &held))
            return fail(why, QStringLiteral("文件已损坏"));
        l.roster = held;
    } else if (!roster.isUndefined()) {
        return fail(why, QStringLiteral("文件已损坏"));
    }
    *list = l;
    return true;
}

namespace {

// How far past a noted size another program's records are looked through
// before the noted ones.
constexpr qint64 SearchMarginBytes = 1 << 20;

QByteArray lineBytes(const QString &head, const QString &text)
{
    // The line as the log writes it: control characters blanked, lone
    // surrogates as U+FFFD, in GB18030.
    QString l = head + blankControlCharacters(text);
    replaceLoneSurrogates(l);
    return Gb18030::encode(l);
}

} // namespace

LogTail readLogTail(const QString &logPath, qint64 logSize, const QList<ResultLog::Record> &records)
{
    LogTail tail;
    QFile file;
    if (records.isEmpty() || logPath.isEmpty() || !UserFile::openForReading(file, logPath, nullptr))
        return tail;
    tail.end = file.size();
    if (tail.end <= logSize || !file.seek(logSize))
        return tail;
    QList<QByteArray> titleLines, timeLines, resultLines;
    qint64 reach = 2 + SearchMarginBytes; // the line end put before records that follow a cut line
    for (const ResultLog::Record &r : records) {
        titleLines << lineBytes(QStringLiteral("标题: "), r.title);
        timeLines << (r.when.isValid()
                          ? lineBytes(QStringLiteral("时间: "), ResultLog::formatDateTime(r.when))
                          : QByteArray());
        resultLines << lineBytes(QStringLiteral("结果: "), r.result);
        reach += titleLines.last().size() + resultLines.last().size() + 40;
    }
    const QByteArray bytes = file.read(reach);
    if (file.error() != QFileDevice::NoError)
        return tail;
    const bool toTheEnd = logSize + bytes.size() == tail.end;
    // The lines with where each starts; a last piece without its line end
    // is a line too.
    QList<QByteArray> lines;
    QList<qint64> starts;
    for (qint64 at = 0; at < bytes.size();) {
        const qint64 next = bytes.indexOf("\r\n", at);
        starts << at;
        lines << bytes.mid(at, (next < 0 ? bytes.size() : next) - at);
        at = next < 0 ? bytes.size() : next + 2;
    }
    starts << bytes.size();
    const QByteArray titleHead = Gb18030::encode(QStringLiteral("标题: "));
    const QByteArray timeHead = Gb18030::encode(QStringLiteral("时间: "));
    const QByteArray resultHead = Gb18030::encode(QStringLiteral("结果: "));
    // A whole record: four lines, each with its line end.
    const auto isWhole = [&](qsizetype i) {
        return i + 3 < lines.size() && starts.at(i + 4) - starts.at(i + 3) == 2 &&
               bytes.mid(starts.at(i + 4) - 2, 2) == "\r\n" && lines.at(i).startsWith(titleHead) &&
               lines.at(i + 1).startsWith(timeHead) && lines.at(i + 2).startsWith(resultHead) &&
               lines.at(i + 3).isEmpty();
    };
    const auto isNoted = [&](qsizetype i, int n) {
        return isWhole(i) && lines.at(i) == titleLines.at(n) && lines.at(i + 2) == resultLines.at(n) &&
               (timeLines.at(n).isEmpty() || lines.at(i + 1) == timeLines.at(n));
    };
    qint64 wholeEnd = 0; // the end of the last whole record, or of the line end before the first
    if (!lines.isEmpty() && lines.first().isEmpty() && starts.size() > 1 && starts.at(1) == 2)
        wholeEnd = 2;
    bool searching = true;
    for (qsizetype i = 0; i < lines.size();) {
        if (!isWhole(i)) {
            ++i;
            continue;
        }
        if (searching && isNoted(i, 0)) {
            // A change's records are written in one piece: they follow
            // each other, four lines apiece, from the first.
            searching = false;
            tail.found = 1;
            while (tail.found < records.size() && isNoted(i + 4 * tail.found, tail.found))
                ++tail.found;
            i += 4 * tail.found;
        } else {
            i += 4;
        }
        wholeEnd = starts.at(i);
    }
    if (toTheEnd && wholeEnd < bytes.size()) {
        tail.keep = logSize + wholeEnd;
        for (const QByteArray &l : Gb18030::decode(bytes.mid(wholeEnd)).toUtf8().split('\n')) {
            const QString line = QString::fromUtf8(l).trimmed();
            if (line.startsWith(QStringLiteral("结果:")))
                tail.cutResults << line.mid(3).trimmed();
        }
    }
    return tail;
}

bool wasRecorded(const PendingResult &pending)
{
    return recordedCount(pending.logPath, pending.logSize, {{pending.title, pending.result, {}}}) == 1;
}

int recordedCount(const QString &logPath, qint64 logSize, const QList<ResultLog::Record> &records)
{
    return readLogTail(logPath, logSize, records).found;
}

namespace {

// Takes back a cut-off end of the log and says what was taken, for the
// operator at the start.
void takeBackCut(const QString &logPath, const LogTail &tail, QString *takenBack)
{
    if (tail.keep < 0)
        return;
    QString error;
    const qint64 bytes = tail.end - tail.keep;
    const QString results =
        tail.cutResults.isEmpty() ? QStringLiteral("没有结果行") : tail.cutResults.join(QStringLiteral("、"));
    QString text;
    if (ResultLog::takeBack(logPath, tail.keep, tail.end, &error))
        text =
            QStringLiteral("上次程序在写入结果文件 %1 时中断，文件末尾留下了一条不完整的记录（%2 字节，%3）。"
                           "这部分已截去，其中的结果不算抽出。")
                .arg(QDir::toNativeSeparators(logPath))
                .arg(bytes)
                .arg(results);
    else
        text =
            QStringLiteral("上次程序在写入结果文件 %1 时中断，文件末尾留下了一条不完整的记录（%2 字节，%3），"
                           "但无法截去：%4。其中的结果不算抽出。")
                .arg(QDir::toNativeSeparators(logPath))
                .arg(bytes)
                .arg(results, error);
    if (takenBack)
        *takenBack = text;
}

} // namespace

bool settlePending(WorkingList *list, QString *takenBack)
{
    if (!list->pending)
        return false;
    const PendingResult pending = *list->pending;
    list->pending.reset();
    const LogTail tail = readLogTail(pending.logPath, pending.logSize, {{pending.title, pending.result, {}}});
    takeBackCut(pending.logPath, tail, takenBack);
    if (tail.found != 1)
        return false;
    // A roster person's record carries their identity after the text shown.
    QString shown = pending.result;
    if (list->roster) {
        for (const QString &text : list->roster->texts()) {
            if (Roster::recordText(text, *list->roster->shownAs(text)) == pending.result) {
                shown = text;
                break;
            }
        }
    }
    return list->entries.removeAll(shown) > 0;
}

bool settleEvening(Prizes::Evening *evening, const PendingRecords &pending, QString *takenBack)
{
    const LogTail tail = readLogTail(pending.logPath, pending.logSize, pending.records);
    takeBackCut(pending.logPath, tail, takenBack);
    const int found = tail.found;
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

// Times are stored as UTC with their milliseconds ("...Z"), which every
// time zone reads as the same moment.
QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

// A stored time, in the local time of this computer. Files written before
// times were stored as UTC hold local times without an offset; one that
// does not exist here (skipped when the clocks went forward) is read as
// the same span after that day's midnight rather than as damage.
QDateTime timeFromText(const QString &text)
{
    if (text.endsWith(u'Z') || text.lastIndexOf(u'+') > 10 || text.lastIndexOf(u'-') > 10) {
        const QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
        return t.isValid() ? t.toLocalTime() : QDateTime();
    }
    if (text.size() != 23 || text.at(10) != u'T')
        return QDateTime();
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss.zzz"));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    const QDateTime local(date, time);
    if (local.isValid() && local.time() == time)
        return local;
    return QDateTime(date, QTime(0, 0)).addMSecs(time.msecsSinceStartOfDay());
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
    *out = timeFromText(v.toString());
    return out->isValid();
}

} // namespace

namespace {

// The evening's own fields, shared by the file and a pending note's "before".
QJsonObject eveningObject(const Prizes::Evening &e)
{
    QJsonArray prizes, awards, pools, closed;
    for (const Prizes::Prize &p : e.prizes) {
        QJsonObject prize{{QStringLiteral("name"), p.name},
                          {QStringLiteral("count"), p.count},
                          {QStringLiteral("perStop"), p.perStop}};
        // Only a limited prize says so: plans saved without limits read the same.
        if (p.limited()) {
            prize.insert(QStringLiteral("depts"), QJsonArray::fromStringList(p.depts));
            prize.insert(QStringLiteral("exceptDepts"), p.exceptDepts);
        }
        prizes.append(prize);
    }
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
    return QJsonObject{
        {QStringLiteral("onceEach"), e.onceEach},   {QStringLiteral("prizes"), prizes},
        {QStringLiteral("announced"), e.announced}, {QStringLiteral("stops"), e.stops},
        {QStringLiteral("awards"), awards},         {QStringLiteral("pools"), pools},
        {QStringLiteral("closed"), closed},         {QStringLiteral("minRollSeconds"), e.minRollSeconds}};
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
        const QJsonValue depts = p.value(QStringLiteral("depts"));
        const QJsonValue except = p.value(QStringLiteral("exceptDepts"));
        if (depts.isArray()) {
            if (depts.toArray().size() > Prizes::MaxDepts || !except.isBool())
                return false;
            for (const QJsonValue &d : depts.toArray()) {
                if (!d.isString())
                    return false;
                prize.depts << blankControlCharacters(d.toString());
            }
            prize.exceptDepts = except.toBool();
        } else if (!depts.isUndefined() || !except.isUndefined()) {
            return false;
        }
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
    // Files written before a stop could wait for the roll have no "minRollSeconds".
    if (o.contains(QStringLiteral("minRollSeconds")) &&
        !readInt(o, QStringLiteral("minRollSeconds"), 0, Prizes::MaxMinRollSeconds, &e.minRollSeconds))
        return false;
    *evening = e;
    return true;
}

// The note's "before": the evening before the change without its awards,
// the number of awards it had, and those of them the change altered (a
// void) as they were. Older files hold the whole evening before.
QJsonObject undoObject(const Prizes::Evening &before, const Prizes::Evening &after)
{
    if (after.awards.size() < before.awards.size())
        return eveningObject(before); // not a stop's nor a void's shape: kept whole
    Prizes::Evening plan = before;
    plan.awards.clear();
    Prizes::Evening altered;
    QJsonArray at;
    for (qsizetype i = 0; i < before.awards.size(); ++i) {
        if (before.awards.at(i) == after.awards.at(i))
            continue;
        at.append(int(i));
        altered.awards.append(before.awards.at(i));
    }
    QJsonObject o = eveningObject(plan);
    o.insert(QStringLiteral("awardsKept"), int(before.awards.size()));
    o.insert(QStringLiteral("alteredAt"), at);
    o.insert(QStringLiteral("altered"), eveningObject(altered).value(QStringLiteral("awards")));
    return o;
}

// The whole evening before, from the note and the evening's own awards.
bool readUndo(QJsonObject before, const QJsonArray &awardsAfter, Prizes::Evening *evening)
{
    if (before.contains(QStringLiteral("awardsKept"))) {
        int kept = 0;
        const QJsonArray at = before.value(QStringLiteral("alteredAt")).toArray();
        const QJsonArray altered = before.value(QStringLiteral("altered")).toArray();
        if (!readInt(before, QStringLiteral("awardsKept"), 0, int(awardsAfter.size()), &kept) ||
            at.size() != altered.size())
            return false;
        QJsonArray awards;
        for (qsizetype i = 0; i < kept; ++i)
            awards.append(awardsAfter.at(i));
        for (qsizetype i = 0; i < at.size(); ++i) {
            const QJsonValue index = at.at(i);
            if (!index.isDouble() || index.toInt(-1) < 0 || index.toInt(-1) >= kept ||
                index.toDouble() != double(index.toInt()))
                return false;
            awards.replace(index.toInt(), altered.at(i));
        }
        before.insert(QStringLiteral("awards"), awards);
    }
    return readEvening(before, evening);
}

bool readPending(const QJsonObject &o, const QJsonArray &awardsAfter, PendingRecords *pending)
{
    const QJsonValue size = o.value(QStringLiteral("logSize"));
    const QJsonValue records = o.value(QStringLiteral("records"));
    if (!readText(o, QStringLiteral("logPath"), &pending->logPath) || !size.isDouble() ||
        size.toDouble() < 0 || size.toDouble() > 9.0e15 || size.toDouble() != std::floor(size.toDouble()) ||
        !records.isArray() || records.toArray().isEmpty() || records.toArray().size() > MaxPendingRecords ||
        !readUndo(o.value(QStringLiteral("before")).toObject(), awardsAfter, &pending->before))
        return false;
    pending->logSize = qint64(size.toDouble());
    for (const QJsonValue &v : records.toArray()) {
        ResultLog::Record r;
        const QJsonObject record = v.toObject();
        // Notes written before records carried their time have none.
        if (!readText(record, QStringLiteral("title"), &r.title) ||
            !readText(record, QStringLiteral("result"), &r.result) ||
            (record.contains(QStringLiteral("time")) &&
             !readTime(record, QStringLiteral("time"), false, &r.when)))
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
            records.append(QJsonObject{{QStringLiteral("title"), r.title},
                                       {QStringLiteral("result"), r.result},
                                       {QStringLiteral("time"), timeText(r.when)}});
        o.insert(QStringLiteral("pending"),
                 QJsonObject{{QStringLiteral("logPath"), pending->logPath},
                             {QStringLiteral("logSize"), double(pending->logSize)},
                             {QStringLiteral("records"), records},
                             {QStringLiteral("before"), undoObject(pending->before, e)}});
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
        if (!readPending(o.value(QStringLiteral("pending")).toObject(),
                         o.value(QStringLiteral("awards")).toArray(), &*note))
            return fail(why, QStringLiteral("文件已损坏"));
    }
    if (!readEvening(o, &e))
        return fail(why, QStringLiteral("文件已损坏"));
    *evening = e;
    if (pending)
        *pending = note;
    return true;
}

namespace {

// Bytes an award takes in the evening's file, beyond its winner's text
// (three bytes at most for each UTF-16 unit of it), with its void filled in.
qint64 awardOverheadBytes()
{
    static const qint64 bytes = [] {
        Prizes::Evening e;
        e.prizes = {{QStringLiteral("x"), Prizes::MaxCount, 1}};
        const QDateTime t = QDateTime::currentDateTime();
        const Prizes::Award a{0, Prizes::MaxCount, MaxAwards, QString(), t, true, t, true};
        const qint64 one = encodeEvening(e).size();
        e.awards = {a};
        return encodeEvening(e).size() - one + 16;
    }();
    return bytes;
}

} // namespace

bool eveningRoomFor(const Prizes::Evening &evening, int perStop, int maxEntryLength, int titleLength,
                    QString *why)
{
    if (evening.awards.size() + perStop > MaxAwards || evening.stops >= MaxAwards)
        return fail(why, QStringLiteral("本场已有 %1 条中奖记录，再抽 %2 名就超过程序能保存的 %3 条。")
                             .arg(evening.awards.size())
                             .arg(perStop)
                             .arg(MaxAwards));
    // The file after the stop, with the note of its records: at most the
    // plan (written twice: the evening and the note's "before"), every
    // award as it may become, the new ones with the longest entry, one
    // altered award and the records.
    Prizes::Evening plan = evening;
    plan.awards.clear();
    const qint64 planBytes = encodeEvening(plan).size();
    const qint64 overhead = awardOverheadBytes();
    qint64 bytes = 2 * planBytes + 4096;
    for (const Prizes::Award &a : evening.awards)
        bytes += overhead + 3 * a.winner.size();
    const qint64 newAward = overhead + 3 * qint64(maxEntryLength);
    const qint64 titleBytes =
        3 * (qint64(titleLength) + Prizes::TitleSeparator.size() + Prizes::MaxNameLength);
    bytes += perStop * newAward + newAward + perStop * (titleBytes + 3 * qint64(maxEntryLength) + 200);
    if (bytes <= MaxPrizesBytes)
        return true;
    return fail(why, QStringLiteral("本场的奖项和中奖记录再抽 %1 名后可能超过 %2 MB，重新启动时将无法读回，"
                                    "所以这次没有抽取。请把本场的中奖名单导出保存，再在奖项设置中重新开始，"
                                    "或减少每次抽取的人数、缩短名单中过长的条目。")
                         .arg(perStop)
                         .arg(MaxPrizesBytes >> 20));
}

ChangeWrite recordChange(const QString &prizesPath, const Prizes::Evening &after,
                         const Prizes::Evening &before, const QList<ResultLog::Record> &records,
                         const ResultLog &log)
{
    ChangeWrite out;
    // Only a note the start can read back is written: a change without
    // records is saved as it is, one with more than a note holds is refused.
    if (records.isEmpty()) {
        const QByteArray plain = encodeEvening(after);
        if (writeFile(prizesPath, plain, &out.saveError)) {
            out.outcome = RecordOutcome::Recorded;
            out.saved = plain;
        }
        return out;
    }
    if (records.size() > MaxPendingRecords) {
        out.saveError = QStringLiteral("一次最多记录 %1 条结果").arg(MaxPendingRecords);
        return out;
    }
    const QFileInfo info(log.fileName());
    const PendingRecords note{info.absoluteFilePath(), info.exists() ? info.size() : 0, records, before};
    // The note first: without it on disk a crash could keep records the
    // evening does not know, or winners the log does not hold.
    const QByteArray noted = encodeEvening(after, &note);
    if (noted.size() > MaxPrizesBytes) {
        out.saveError = QStringLiteral("奖项和中奖记录超过 %1 MB").arg(MaxPrizesBytes >> 20);
        return out;
    }
    if (!writeFile(prizesPath, noted, &out.saveError))
        return out;
    out.outcome = log.AppendResultRecords(records, &out.logError) ? RecordOutcome::Recorded
                                                                  : RecordOutcome::NotRecorded;
    // Without the note even when the records failed: the hall sees the
    // winners and is told to note them. Should this write fail, the note
    // stays and the next start settles it against the log.
    const QByteArray settled = encodeEvening(after);
    if (writeFile(prizesPath, settled, &out.saveError))
        out.saved = settled;
    return out;
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

QString Store::soundFolder() const
{
    return QFileInfo(m_listPath).absolutePath() + QStringLiteral("/sounds");
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
