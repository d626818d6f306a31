#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class PositionSource;
namespace Roster {
class Held;
}

// An evening drawn prize by prize: the organiser's plan (prizes in order,
// each with its number of places and how many one stop draws), the winners
// and voids so far, and the rules that decide who may still win what.
// A person is an entry's text: equal texts in the list are one person.
namespace Prizes {

inline constexpr int MaxPrizes = 100;
inline constexpr int MaxCount = 32767;
inline constexpr int MaxPerStop = 100;
inline constexpr int MaxNameLength = 60;
// How long, at most, the hall must see a roll before a stop takes effect.
inline constexpr int MaxMinRollSeconds = 60;
inline constexpr int DefaultMinRollSeconds = 2;
inline constexpr int MaxDepts = 100;
// Between the event title and the prize name in a record's title line.
inline const QString TitleSeparator = QStringLiteral(" · ");

struct Prize
{
    Prize() = default;
    Prize(QString prizeName, int places = 1, int winnersPerStop = 1)
        : name(std::move(prizeName)), count(places), perStop(winnersPerStop)
    {
    }

    QString name;
    int count = 1;   // places of this prize
    int perStop = 1; // winners one stop draws, 1 .. count
    // Only people of these 部门 may win it (all but them with exceptDepts);
    // empty: everyone. Needs a roster: entries that are no roster person
    // belong to no 部门.
    QStringList depts;
    bool exceptDepts = false;

    bool limited() const { return !depts.isEmpty(); }
    bool admits(const QString &dept) const { return depts.isEmpty() || depts.contains(dept) != exceptDepts; }
    // "研发部、市场部" or "除销售部外的所有部门".
    QString eligibilityText() const;
    // The plan window's cell: "研发部、市场部", "除 销售部", empty for all;
    // read back from what the organiser typed (、 , ， ; ； or blanks between).
    QString deptsCell() const;
    void setDeptsCell(const QString &cell);

    bool operator==(const Prize &) const = default;
};

// One winner drawn for a place, and what became of it.
struct Award
{
    int prize = 0; // index in the plan
    int place = 1; // 1 .. the prize's count
    int stop = 0;  // serial number of the stop that drew it, from 1
    QString winner;
    QDateTime time;
    bool voided = false; // not in the hall: the place was given back
    QDateTime voidTime;
    bool mayWinLater = false; // a voided winner may still win a later prize

    bool operator==(const Award &) const = default;
};

// The pool a prize was drawn from at its first stop.
struct PoolStamp
{
    int size = -1; // -1: not drawn yet
    QString fingerprint;

    bool operator==(const PoolStamp &) const = default;
};

// k distinct positions of 0 .. n-1, every ordered choice equally likely
// (a partial shuffle that touches only k places). k is capped at n.
QList<int> pickDistinct(int n, int k, PositionSource &source);
// The first 12 hex digits of SHA-256 over the entries in order, each as
// UTF-8 followed by a line feed.
QString fingerprint(const QStringList &entries);
// "第 5 名", "第 4–6 名", "第 2、5–6 名" for places in ascending order.
QString placesText(const QList<int> &places);
// One CSV field: quoted when it holds a comma, quote, line end or blank at
// either end; a leading = + - @ is kept from being read as a formula.
QString csvField(const QString &text);

class Evening
{
public:
    QList<Prize> prizes;
    bool onceEach = true;   // each person wins at most once this evening
    QList<Award> awards;    // in the order drawn
    QList<PoolStamp> pools; // one per prize
    QList<bool> closed;     // one per prize: closed short, its open places left empty
    int announced = 0;      // the prize the hall sees
    int stops = 0;          // stops made so far
    // A stop pressed sooner after the start waits until the roll has shown this long.
    int minRollSeconds = DefaultMinRollSeconds;

    bool operator==(const Evening &) const = default;

    // With no prize the program draws as it always did.
    bool active() const { return !prizes.isEmpty(); }
    // Why a plan cannot be used (empty when it can).
    static QString checkPlan(const QList<Prize> &plan);
    // Replaces the plan; refused while winners are recorded.
    bool setPlan(const QList<Prize> &plan, bool onceEachEvening, QString *why);
    // Starts the evening again with the same plan (the result log keeps everything).
    void clearAwards();

    // Places of a prize that have no valid winner, ascending; at most limit of them.
    QList<int> unfilledPlaces(int prize, int limit = MaxCount) const;
    // The unfilled places still to be drawn: none once the prize is closed short.
    QList<int> openPlaces(int prize, int limit = MaxCount) const;
    // The places the next stop of the announced prize draws: while a place
    // is given back, that place alone (a redraw, 补抽), the lowest first;
    // otherwise a full stop of the next open places.
    QList<int> nextPlaces() const;
    // Whether the next stop is a redraw of a place given back.
    bool redrawNext() const;
    // Whether a winner of this place of the prize was voided.
    bool givenBack(int prize, int place) const;
    bool isClosed(int prize) const { return closed.value(prize); }
    // The first prize with an open place; prizes.size() when all are filled.
    int currentPrize() const;

    enum class Start { Roll, Announced, Finished };
    // The roll button in the idle state: rolls for the announced prize while
    // it has open places; otherwise moves to the next prize (the hall sees
    // its name before anything rolls), or reports that every prize is drawn.
    Start start();

    // The entries that may win the announced prize, in list order, each text once.
    QStringList pool(const QStringList &entries) const;
    // Who may not win a prize: its own winners and voids, earlier winners
    // when each wins once, and voided winners not allowed a later prize.
    bool excluded(int prize, const QString &text) const;

    // What a stop drew.
    struct Stop
    {
        QList<int> awards; // indexes into awards, in grid order
        int wanted = 0;    // how many the stop should have drawn
        int poolSize = 0;  // entries in the pool at the stop
    };
    // Draws the announced prize's next stop from the entries as they are
    // now: min(wanted, pool) distinct winners, uniformly. The first stop of
    // a prize stamps its pool.
    Stop stop(const QStringList &entries, PositionSource &source, const QDateTime &now);
    // The same from the pool already worked out for this moment (and its
    // fingerprint, when it is known).
    Stop stopFromPool(const QStringList &pool, PositionSource &source, const QDateTime &now,
                      const QString &poolFingerprint = QString());
    // The cells shown while rolling: as many distinct pool entries as the stop will draw.
    QStringList rollingCells(const QStringList &pool, PositionSource &source) const;

    // Whether an award may be voided now: a valid winner of any prize not
    // closed short (an absent winner may come to light after the next prize).
    bool canVoid(int award) const;
    // Gives the place back and announces its prize again, so the next stop
    // redraws that place alone; after the redraw the prize's next stop draws
    // its full count, and once the prize is full the next start returns to
    // the first prize with open places.
    void voidAward(int award, bool mayWinLater, const QDateTime &now);

    // Whether the announced prize may be closed short: it has open places
    // and a pool of poolSize cannot fill them.
    bool canCloseShort(int poolSize) const;
    // Closes the announced prize short: its open places stay empty and the
    // next start moves on. Returns the places left empty.
    QList<int> closeShort();
    // The result line of a close's record.
    static QString closeResultText(const QList<int> &emptyPlaces);
    // The records this evening wrote to the result log: one per winner
    // drawn, one per void, one per prize closed short.
    int recordCount() const;
    // "4 条记录（抽出 3 名、作废 1 次）".
    QString recordSummary() const;
    // The awards of the announced prize's latest stop, by place.
    QList<int> lastStop() const;

    // "三等奖　第 4–6 名 / 共 20 名" for the announced prize; "三等奖　补抽 第 2 名
    // / 共 20 名" for a place given back.
    QString progressText(const QList<int> &places) const;
    // The record title: the event title, " · " and the prize name.
    QString recordTitle(const QString &title, int prize) const;
    // The result line of a void's record.
    static QString voidResultText(const Award &award);
    static QString statusText(const Award &award);

    // The board: every prize in order with its awards by place (voids
    // before the winner who took the place back), and its pool.
    struct BoardRow
    {
        int prize = 0;
        int award = -1; // -1: the prize's own heading row
    };
    QList<BoardRow> boardRows() const;
    QString prizeHeading(int prize) const;
    // The winners list as CSV: UTF-8 with a byte-order mark, CR LF line ends.
    // With a roster, each winner's 工号, 姓名 and 部门 follow the winner.
    QByteArray exportCsv(const Roster::Held *roster = nullptr) const;
};

} // namespace Prizes
