#include "PrizePlan.h"

#include "PositionSource.h"
#include "ResultLog.h"
#include "Roster.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace Prizes {

QList<int> pickDistinct(int n, int k, PositionSource &source)
{
    k = qBound(0, k, n);
    QList<int> out;
    out.reserve(k);
    // A Fisher–Yates shuffle of 0 .. n-1 stopped after k steps; only the
    // places it swapped are remembered.
    QHash<int, int> moved;
    for (int i = 0; i < k; ++i) {
        const int j = i + source.pick(n - i);
        const int atJ = moved.value(j, j);
        const int atI = moved.value(i, i);
        moved.insert(j, atI);
        out.append(atJ);
    }
    return out;
}

QString fingerprint(const QStringList &entries)
{
    QByteArray text;
    for (const QString &entry : entries) {
        text += entry.toUtf8();
        text += '\n';
    }
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(12));
}

QString placesText(const QList<int> &places)
{
    QStringList runs;
    for (qsizetype i = 0; i < places.size();) {
        qsizetype j = i;
        while (j + 1 < places.size() && places.at(j + 1) == places.at(j) + 1)
            ++j;
        runs << (i == j ? QString::number(places.at(i))
                        : QStringLiteral("%1–%2").arg(places.at(i)).arg(places.at(j)));
        i = j + 1;
    }
    return QStringLiteral("第 %1 名").arg(runs.join(QStringLiteral("、")));
}

QString csvField(const QString &text)
{
    QString field = text;
    static const QString formulaStarts = QStringLiteral("=+-@");
    if (!field.isEmpty() && formulaStarts.contains(field.front()))
        field.prepend(u'\'');
    const bool quote = field.contains(u',') || field.contains(u'"') || field.contains(u'\r') ||
                       field.contains(u'\n') ||
                       (!field.isEmpty() && (field.front().isSpace() || field.back().isSpace()));
    if (!quote)
        return field;
    field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QString Evening::checkPlan(const QList<Prize> &plan)
{
    if (plan.size() > MaxPrizes)
        return QStringLiteral("奖项最多 %1 个").arg(MaxPrizes);
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const Prize &p = plan.at(i);
        const QString row = QStringLiteral("第 %1 个奖项").arg(i + 1);
        if (p.name.trimmed().isEmpty())
            return row + QStringLiteral("没有名称");
        if (p.name.size() > MaxNameLength)
            return row + QStringLiteral("的名称超过 %1 个字").arg(MaxNameLength);
        if (p.count < 1 || p.count > MaxCount)
            return row + QStringLiteral("的名额应在 1 到 %1 之间").arg(MaxCount);
        if (p.perStop < 1 || p.perStop > qMin(p.count, MaxPerStop))
            return row + QStringLiteral("每次抽出的人数应在 1 到 %1 之间").arg(qMin(p.count, MaxPerStop));
        if (p.depts.size() > MaxDepts)
            return row + QStringLiteral("限定的部门最多 %1 个").arg(MaxDepts);
        for (const QString &dept : p.depts) {
            if (dept.trimmed().isEmpty() || dept.size() > MaxNameLength)
                return row + QStringLiteral("的部门名称应在 1 到 %1 个字之间").arg(MaxNameLength);
        }
        if (p.exceptDepts && p.depts.isEmpty())
            return row + QStringLiteral("要排除的部门没有填写");
    }
    return QString();
}

QString Prize::deptsCell() const
{
    const QString list = depts.join(QStringLiteral("、"));
    return exceptDepts ? QStringLiteral("除 ") + list : list;
}

void Prize::setDeptsCell(const QString &cell)
{
    QString text = cell.trimmed();
    exceptDepts = text.startsWith(u'除');
    if (exceptDepts)
        text.remove(0, 1);
    static const QRegularExpression between(QStringLiteral("[、,，;；\\s]+"));
    depts = text.split(between, Qt::SkipEmptyParts);
    depts.removeDuplicates();
    if (depts.isEmpty())
        exceptDepts = false;
}

QString Prize::eligibilityText() const
{
    const QString list = depts.join(QStringLiteral("、"));
    return exceptDepts ? QStringLiteral("除%1外的所有部门").arg(list) : list;
}

bool Evening::setPlan(const QList<Prize> &plan, bool onceEachEvening, QString *why)
{
    QString problem = checkPlan(plan);
    if (problem.isEmpty() && recordCount() > 0 && (plan != prizes || onceEachEvening != onceEach))
        problem = QStringLiteral("已有中奖记录，奖项不能再改；请先清空中奖记录");
    if (!problem.isEmpty()) {
        if (why)
            *why = problem;
        return false;
    }
    if (plan != prizes)
        announced = 0;
    prizes = plan;
    onceEach = onceEachEvening;
    pools = QList<PoolStamp>(prizes.size());
    closed = QList<bool>(prizes.size(), false);
    return true;
}

void Evening::clearAwards()
{
    awards.clear();
    pools = QList<PoolStamp>(prizes.size());
    closed = QList<bool>(prizes.size(), false);
    announced = 0;
}

QList<int> Evening::unfilledPlaces(int prize, int limit) const
{
    QList<int> open;
    if (prize < 0 || prize >= prizes.size())
        return open;
    QList<bool> taken(prizes.at(prize).count + 1, false);
    for (const Award &a : awards)
        if (a.prize == prize && !a.voided && a.place >= 1 && a.place < taken.size())
            taken[a.place] = true;
    for (int place = 1; place < taken.size() && open.size() < limit; ++place)
        if (!taken.at(place))
            open.append(place);
    return open;
}

QList<int> Evening::openPlaces(int prize, int limit) const
{
    return isClosed(prize) ? QList<int>() : unfilledPlaces(prize, limit);
}

bool Evening::givenBack(int prize, int place) const
{
    for (const Award &a : awards)
        if (a.prize == prize && a.place == place && a.voided)
            return true;
    return false;
}

QList<int> Evening::nextPlaces() const
{
    if (announced < 0 || announced >= prizes.size())
        return {};
    const QList<int> open = openPlaces(announced);
    for (int place : open)
        if (givenBack(announced, place))
            return {place}; // a redraw: that place alone
    return open.mid(0, prizes.at(announced).perStop);
}

bool Evening::redrawNext() const
{
    const QList<int> places = nextPlaces();
    return places.size() == 1 && givenBack(announced, places.first());
}

int Evening::currentPrize() const
{
    for (int p = 0; p < prizes.size(); ++p)
        if (!openPlaces(p, 1).isEmpty())
            return p;
    return int(prizes.size());
}

Evening::Start Evening::start()
{
    if (!openPlaces(announced, 1).isEmpty())
        return Start::Roll;
    const int next = currentPrize();
    if (next >= prizes.size())
        return Start::Finished;
    announced = next;
    return Start::Announced;
}

bool Evening::excluded(int prize, const QString &text) const
{
    for (const Award &a : awards) {
        if (a.winner != text)
            continue;
        if (a.prize == prize)
            return true; // a prize never takes the same person twice, voided or not
        if (a.voided ? !a.mayWinLater : onceEach)
            return true;
    }
    return false;
}

QStringList Evening::pool(const QStringList &entries) const
{
    QSet<QString> out;
    for (const Award &a : awards)
        if (a.prize == announced || (a.voided ? !a.mayWinLater : onceEach))
            out.insert(a.winner);
    QStringList pool;
    pool.reserve(entries.size());
    QSet<QString> seen;
    seen.reserve(entries.size());
    for (const QString &e : entries) {
        if (out.contains(e) || seen.contains(e))
            continue;
        seen.insert(e);
        pool.append(e);
    }
    return pool;
}

Evening::Stop Evening::stop(const QStringList &entries, PositionSource &source, const QDateTime &now)
{
    return stopFromPool(pool(entries), source, now);
}

Evening::Stop Evening::stopFromPool(const QStringList &candidates, PositionSource &source,
                                    const QDateTime &now, const QString &poolFingerprint)
{
    Stop result;
    const QList<int> places = nextPlaces();
    result.wanted = int(places.size());
    if (places.isEmpty())
        return result;
    result.poolSize = int(candidates.size());
    const QList<int> picked = pickDistinct(result.poolSize, result.wanted, source);
    if (picked.isEmpty())
        return result;
    if (pools.size() != prizes.size())
        pools.resize(prizes.size());
    if (pools.at(announced).size < 0)
        pools[announced] = {result.poolSize,
                            poolFingerprint.isEmpty() ? fingerprint(candidates) : poolFingerprint};
    ++stops;
    for (qsizetype i = 0; i < picked.size(); ++i) {
        Award a;
        a.prize = announced;
        a.place = places.at(i);
        a.stop = stops;
        a.winner = candidates.at(picked.at(i));
        a.time = now;
        result.awards.append(int(awards.size()));
        awards.append(a);
    }
    return result;
}

QStringList Evening::rollingCells(const QStringList &pool, PositionSource &source) const
{
    QStringList cells;
    for (int i : pickDistinct(int(pool.size()), int(nextPlaces().size()), source))
        cells.append(pool.at(i));
    return cells;
}

bool Evening::canVoid(int award) const
{
    return award >= 0 && award < awards.size() && !awards.at(award).voided &&
           !isClosed(awards.at(award).prize);
}

void Evening::voidAward(int award, bool mayWinLater, const QDateTime &now)
{
    if (!canVoid(award))
        return;
    Award &a = awards[award];
    a.voided = true;
    a.voidTime = now;
    a.mayWinLater = mayWinLater;
    announced = a.prize; // the redraw belongs to the voided winner's prize
}

bool Evening::canCloseShort(int poolSize) const
{
    const QList<int> open = openPlaces(announced);
    return !open.isEmpty() && poolSize < open.size();
}

QList<int> Evening::closeShort()
{
    const QList<int> empty = openPlaces(announced);
    if (empty.isEmpty())
        return empty;
    closed.resize(prizes.size(), false);
    closed[announced] = true;
    return empty;
}

QString Evening::closeResultText(const QList<int> &emptyPlaces)
{
    return QStringLiteral("提前结束：%1空缺（可以抽取的人不够）").arg(placesText(emptyPlaces));
}

int Evening::recordCount() const
{
    int count = int(awards.size());
    for (const Award &a : awards)
        count += a.voided ? 1 : 0;
    return count + int(closed.count(true));
}

QString Evening::recordSummary() const
{
    int voids = 0;
    for (const Award &a : awards)
        voids += a.voided ? 1 : 0;
    QString text = QStringLiteral("%1 条记录（抽出 %2 名").arg(recordCount()).arg(awards.size());
    if (voids > 0)
        text += QStringLiteral("、作废 %1 次").arg(voids);
    if (const qsizetype closes = closed.count(true))
        text += QStringLiteral("、提前结束 %1 个奖项").arg(closes);
    return text + QStringLiteral("）");
}

QList<int> Evening::lastStop() const
{
    int latest = 0;
    for (const Award &a : awards)
        if (a.prize == announced)
            latest = qMax(latest, a.stop);
    QList<int> out;
    for (int i = 0; i < awards.size(); ++i)
        if (latest > 0 && awards.at(i).stop == latest)
            out.append(i);
    std::stable_sort(out.begin(), out.end(),
                     [this](int a, int b) { return awards.at(a).place < awards.at(b).place; });
    return out;
}

QString Evening::progressText(const QList<int> &places) const
{
    if (announced < 0 || announced >= prizes.size())
        return QString();
    const Prize &p = prizes.at(announced);
    if (places.isEmpty() && isClosed(announced))
        return QStringLiteral("%1　共 %2 名　提前结束，空缺 %3 名")
            .arg(p.name, QString::number(p.count), QString::number(unfilledPlaces(announced).size()));
    if (places.isEmpty())
        return QStringLiteral("%1　共 %2 名　已抽完").arg(p.name, QString::number(p.count));
    const bool redraw = std::all_of(places.cbegin(), places.cend(),
                                    [this](int place) { return givenBack(announced, place); });
    return QStringLiteral("%1　%2%3 / 共 %4 名")
        .arg(p.name, redraw ? QStringLiteral("补抽 ") : QString(), placesText(places))
        .arg(p.count);
}

QString Evening::recordTitle(const QString &title, int prize) const
{
    return title + TitleSeparator + prizes.value(prize).name;
}

QString Evening::voidResultText(const Award &a)
{
    return QStringLiteral("作废 %1（第 %2 名，未到场，%3）")
        .arg(a.winner)
        .arg(a.place)
        .arg(a.mayWinLater ? QStringLiteral("可参加后面的奖项") : QStringLiteral("不再参加后面的奖项"));
}

QString Evening::statusText(const Award &a)
{
    if (!a.voided)
        return QStringLiteral("有效");
    return a.mayWinLater ? QStringLiteral("作废（未到场，可参加后面的奖项）")
                         : QStringLiteral("作废（未到场，不再参加后面的奖项）");
}

QList<Evening::BoardRow> Evening::boardRows() const
{
    QList<BoardRow> rows;
    for (int p = 0; p < prizes.size(); ++p) {
        rows.append({p, -1});
        QList<int> mine;
        for (int i = 0; i < awards.size(); ++i)
            if (awards.at(i).prize == p)
                mine.append(i);
        std::stable_sort(mine.begin(), mine.end(),
                         [this](int a, int b) { return awards.at(a).place < awards.at(b).place; });
        for (int i : mine)
            rows.append({p, i});
    }
    return rows;
}

QString Evening::prizeHeading(int prize) const
{
    const Prize &p = prizes.at(prize);
    const PoolStamp stamp = pools.value(prize);
    const int empty = int(unfilledPlaces(prize).size());
    // The name goes in with the numbers at once: a "%2" in it stays as it is.
    QString heading = QStringLiteral("%1　已抽 %2 / 共 %3 名")
                          .arg(p.name, QString::number(p.count - empty), QString::number(p.count));
    if (isClosed(prize))
        heading += QStringLiteral("　提前结束，空缺 %1 名").arg(empty);
    if (stamp.size >= 0)
        heading += QStringLiteral("　奖池 %1 人　指纹 %2").arg(stamp.size).arg(stamp.fingerprint);
    return heading;
}

QByteArray Evening::exportCsv(const Roster::Held *roster) const
{
    QStringList lines{
        roster ? QStringLiteral("奖项,名次,中奖者,工号,姓名,部门,时间,状态,首次抽取时奖池人数,奖池指纹")
               : QStringLiteral("奖项,名次,中奖者,时间,状态,首次抽取时奖池人数,奖池指纹")};
    for (const BoardRow &row : boardRows()) {
        if (row.award < 0)
            continue;
        const Award &a = awards.at(row.award);
        const PoolStamp stamp = pools.value(a.prize);
        QStringList fields{csvField(prizes.at(a.prize).name), QString::number(a.place), csvField(a.winner)};
        if (roster) {
            const Roster::Person *p = roster->shownAs(a.winner);
            fields << csvField(p ? p->id : QString()) << csvField(p ? p->name : QString())
                   << csvField(p ? p->dept : QString());
        }
        fields << QStringList{ResultLog::formatDateTime(a.time), statusText(a), QString::number(stamp.size),
                              stamp.fingerprint};
        lines << fields.join(u',');
    }
    return QByteArray("\xEF\xBB\xBF") +
           (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace Prizes
