#include "EventState.h"
#include "PositionSource.h"
#include "PrizePlan.h"
#include "ResultLog.h"
#include "ScriptedPositionSource.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Prizes;

namespace {

QStringList names(int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QStringLiteral("人%1").arg(i);
    return out;
}

const QDateTime When(QDate(2026, 1, 20), QTime(19, 30, 5));

// 三等奖 6 places, 3 a stop; 二等奖 2, 2 a stop; 一等奖 1.
Evening threePrizes(bool onceEach = true)
{
    Evening e;
    QString why;
    [[maybe_unused]] const bool ok = e.setPlan({{QStringLiteral("三等奖"), 6, 3},
                                                {QStringLiteral("二等奖"), 2, 2},
                                                {QStringLiteral("一等奖"), 1, 1}},
                                               onceEach, &why);
    return e;
}

} // namespace

class TestPrizePlan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The plan window's 参与部门 cell, read and shown again, and who it admits.
    void deptsCell_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("admitted"); // of 研发部, 市场部, 销售部, the empty 部门
        QTest::newRow("everyone") << "  "
                                  << ""
                                  << "研发部,市场部,销售部,";
        QTest::newRow("two, any separators") << "研发部，市场部 ; 研发部"
                                             << "研发部、市场部"
                                             << "研发部,市场部";
        QTest::newRow("all but one") << "除 销售部"
                                     << "除 销售部"
                                     << "研发部,市场部,";
        QTest::newRow("除 alone is everyone") << "除"
                                              << ""
                                              << "研发部,市场部,销售部,";
    }
    void deptsCell()
    {
        QFETCH(QString, typed);
        QFETCH(QString, cell);
        QFETCH(QString, admitted);
        Prizes::Prize prize(QStringLiteral("一等奖"));
        prize.setDeptsCell(typed);
        QCOMPARE(prize.deptsCell(), cell);
        QStringList in;
        for (const QString &dept :
             {QStringLiteral("研发部"), QStringLiteral("市场部"), QStringLiteral("销售部"), QString()})
            if (prize.admits(dept))
                in << dept;
        QCOMPARE(in.join(u','), admitted);
        QVERIFY(Prizes::Evening::checkPlan({prize}).isEmpty());
    }

    void pickDistinctGivesDistinctPositions_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << 10 << 0 << 0;
        QTest::newRow("one of one") << 1 << 1 << 1;
        QTest::newRow("all of 7") << 7 << 7 << 7;
        QTest::newRow("more than there are") << 3 << 5 << 3;
        QTest::newRow("50 of 32767") << 32767 << 50 << 50;
        QTest::newRow("empty pool") << 0 << 3 << 0;
    }
    void pickDistinctGivesDistinctPositions()
    {
        QFETCH(int, n);
        QFETCH(int, k);
        QFETCH(int, expected);
        SeededPositionSource source(quint32(n * 31 + k));
        for (int round = 0; round < 200; ++round) {
            const QList<int> picked = pickDistinct(n, k, source);
            QCOMPARE(picked.size(), expected);
            QSet<int> seen;
            for (int p : picked) {
                QVERIFY(p >= 0 && p < n);
                seen.insert(p);
            }
            QCOMPARE(seen.size(), expected);
        }
    }

    // Every ordered pair of 2 out of 5 comes up equally often.
    void pickDistinctIsUniformOverOrderedChoices()
    {
        SeededPositionSource source(4242u);
        QHash<QPair<int, int>, int> counts;
        const int draws = 40000;
        for (int i = 0; i < draws; ++i) {
            const QList<int> p = pickDistinct(5, 2, source);
            ++counts[{p.at(0), p.at(1)}];
        }
        QCOMPARE(counts.size(), 20);
        double chi = 0;
        for (int c : std::as_const(counts))
            chi += (c - draws / 20.0) * (c - draws / 20.0) / (draws / 20.0);
        qInfo("ordered pairs of 2 from 5, %d draws: chi2=%.2f, limit(99%%)=36.19 (19 df)", draws, chi);
        QVERIFY2(chi < 36.19, qPrintable(QString::number(chi)));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one place") << placesText({5}) << QStringLiteral("第 5 名");
        QTest::newRow("a run") << placesText({4, 5, 6}) << QStringLiteral("第 4–6 名");
        QTest::newRow("gaps") << placesText({2, 5, 6, 9}) << QStringLiteral("第 2、5–6、9 名");
        QTest::newRow("plain csv") << csvField(QStringLiteral("张三")) << QStringLiteral("张三");
        QTest::newRow("comma and quote")
            << csvField(QStringLiteral("a,\"b\"")) << QStringLiteral("\"a,\"\"b\"\"\"");
        QTest::newRow("formula") << csvField(QStringLiteral("=1+1")) << QStringLiteral("'=1+1");
        QTest::newRow("blank kept") << csvField(QStringLiteral(" 李四")) << QStringLiteral("\" 李四\"");
        QTest::newRow("markup as is") << csvField(QStringLiteral("<b>x</b>")) << QStringLiteral("<b>x</b>");
        QTest::newRow("fingerprint") << fingerprint({QStringLiteral("a"), QStringLiteral("b")})
                                     << QStringLiteral("911169ddaaf1");
        QTest::newRow("fingerprint Chinese")
            << fingerprint({QStringLiteral("张三")}) << QStringLiteral("bde606ca0314");
        QTest::newRow("fingerprint order")
            << QString::number(fingerprint({QStringLiteral("b"), QStringLiteral("a")}) ==
                               fingerprint({QStringLiteral("a"), QStringLiteral("b")}))
            << QStringLiteral("0");
    }
    void texts()
    {
        QFETCH(QString, got);
        QFETCH(QString, expected);
        QCOMPARE(got, expected);
    }

    void checkPlanRefuses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("perStop");
        QTest::addColumn<bool>("ok");
        QTest::newRow("fine") << QStringLiteral("三等奖") << 20 << 3 << true;
        QTest::newRow("fifty at once") << QStringLiteral("纪念奖") << 450 << 50 << true;
        QTest::newRow("no name") << QStringLiteral("  ") << 3 << 1 << false;
        QTest::newRow("no places") << QStringLiteral("x") << 0 << 1 << false;
        QTest::newRow("more per stop than places") << QStringLiteral("x") << 3 << 4 << false;
        QTest::newRow("over the stop limit") << QStringLiteral("x") << 500 << MaxPerStop + 1 << false;
    }
    void checkPlanRefuses()
    {
        QFETCH(QString, name);
        QFETCH(int, count);
        QFETCH(int, perStop);
        QFETCH(bool, ok);
        QCOMPARE(Evening::checkPlan({{name, count, perStop}}).isEmpty(), ok);
    }

    // The whole evening: stops fill places in order, the next start shows
    // the next prize first, after the last one every start is refused.
    void eveningGoesPrizeByPrize()
    {
        Evening e = threePrizes();
        const QStringList list = names(20);
        SeededPositionSource source(1u);
        QCOMPARE(e.progressText(e.nextPlaces()), QStringLiteral("三等奖　第 1–3 名 / 共 6 名"));
        QCOMPARE(e.start(), Evening::Start::Roll);
        Evening::Stop s = e.stop(list, source, When);
        QCOMPARE(s.awards.size(), 3);
        QCOMPARE(e.pools.at(0).size, 20);
        QCOMPARE(e.pools.at(0).fingerprint, fingerprint(list));
        QCOMPARE(e.progressText(e.nextPlaces()), QStringLiteral("三等奖　第 4–6 名 / 共 6 名"));
        s = e.stop(list, source, When);
        QCOMPARE(e.openPlaces(0).size(), 0);
        // The prize is complete: the next start only announces the next one.
        QCOMPARE(e.start(), Evening::Start::Announced);
        QCOMPARE(e.announced, 1);
        QCOMPARE(e.pools.at(1).size, -1);
        QCOMPARE(e.start(), Evening::Start::Roll);
        s = e.stop(list, source, When);
        QCOMPARE(e.pools.at(1).size, 14); // six winners left the pool
        QCOMPARE(e.start(), Evening::Start::Announced);
        s = e.stop(list, source, When);
        QCOMPARE(s.awards.size(), 1);
        QCOMPARE(e.start(), Evening::Start::Finished);
        QCOMPARE(e.start(), Evening::Start::Finished);
        QSet<QString> all;
        for (const Award &a : e.awards)
            all.insert(a.winner);
        QCOMPARE(all.size(), 9);
        QCOMPARE(e.recordTitle(QStringLiteral("年会抽奖"), 0), QStringLiteral("年会抽奖 · 三等奖"));
    }

    // Who may win: a prize never takes a person twice; earlier winners only
    // when each may win several times; a voided winner as the operator chose.
    void poolFollowsTheRules_data()
    {
        QTest::addColumn<bool>("onceEach");
        QTest::addColumn<bool>("voidIt");
        QTest::addColumn<bool>("mayWinLater");
        QTest::addColumn<bool>("inSamePrize");
        QTest::addColumn<bool>("inNextPrize");
        QTest::newRow("once each, winner") << true << false << false << false << false;
        QTest::newRow("several, winner") << false << false << false << false << true;
        QTest::newRow("voided, may win later") << true << true << true << false << true;
        QTest::newRow("voided, not later") << true << true << false << false << false;
        QTest::newRow("several, voided, not later") << false << true << false << false << false;
    }
    void poolFollowsTheRules()
    {
        QFETCH(bool, onceEach);
        QFETCH(bool, voidIt);
        QFETCH(bool, mayWinLater);
        QFETCH(bool, inSamePrize);
        QFETCH(bool, inNextPrize);
        Evening e = threePrizes(onceEach);
        const QStringList list = names(10);
        ScriptedPositionSource first({4, 0, 0});
        e.stop(list, first, When);
        const QString winner = e.awards.at(0).winner;
        QCOMPARE(winner, QStringLiteral("人4"));
        if (voidIt) {
            QVERIFY(e.canVoid(0));
            e.voidAward(0, mayWinLater, When);
            QVERIFY(!e.canVoid(0));
            QCOMPARE(e.nextPlaces(), QList<int>({1})); // the redraw, not places 4–5 too
            QCOMPARE(Evening::voidResultText(e.awards.at(0)),
                     mayWinLater ? QStringLiteral("作废 人4（第 1 名，未到场，可参加后面的奖项）")
                                 : QStringLiteral("作废 人4（第 1 名，未到场，不再参加后面的奖项）"));
        }
        QCOMPARE(e.pool(list).contains(winner), inSamePrize);
        e.announced = 1;
        QCOMPARE(e.pool(list).contains(winner), inNextPrize);
        QCOMPARE(e.canVoid(0), !voidIt); // an earlier prize's winner too
    }

    // After voids each place given back is redrawn alone (补抽), for the
    // voided winners' prize even when the next prize was announced; the
    // prize's next stop then draws its full count, and the evening goes on
    // with the first prize not full.
    void voidRedrawsOnlyItsPlaces_data()
    {
        QTest::addColumn<int>("stops"); // of 三等奖 before the voids
        QTest::addColumn<bool>("nextDrawn");
        QTest::addColumn<QList<int>>("voided"); // places of 三等奖
        QTest::addColumn<QList<QList<int>>>("redraws");
        QTest::addColumn<int>("then"); // the prize the next start announces
        QTest::newRow("after one stop")
            << 1 << false << QList<int>{2} << QList<QList<int>>{{2}, {4, 5, 6}} << 1;
        QTest::newRow("more voids than a stop draws")
            << 2 << false << QList<int>{1, 2, 4, 6} << QList<QList<int>>{{1}, {2}, {4}, {6}} << 1;
        QTest::newRow("a full stop after the redraw")
            << 1 << false << QList<int>{1, 3} << QList<QList<int>>{{1}, {3}, {4, 5, 6}} << 1;
        QTest::newRow("after the next prize was drawn")
            << 2 << true << QList<int>{5} << QList<QList<int>>{{5}} << 2;
    }
    void voidRedrawsOnlyItsPlaces()
    {
        QFETCH(int, stops);
        QFETCH(bool, nextDrawn);
        QFETCH(QList<int>, voided);
        QFETCH(QList<QList<int>>, redraws);
        QFETCH(int, then);
        Evening e = threePrizes();
        const QStringList list = names(20);
        SeededPositionSource source(7u);
        for (int i = 0; i < stops; ++i)
            e.stop(list, source, When);
        if (nextDrawn) {
            QCOMPARE(e.start(), Evening::Start::Announced);
            e.stop(list, source, When);
        }
        for (int place : voided) {
            int award = 0;
            while (e.awards.at(award).prize != 0 || e.awards.at(award).place != place)
                ++award;
            QVERIFY(e.canVoid(award));
            e.voidAward(award, false, When);
        }
        for (const QList<int> &places : redraws) {
            QCOMPARE(e.start(), Evening::Start::Roll);
            const bool redraw = voided.contains(places.first());
            QCOMPARE(e.redrawNext(), redraw);
            QCOMPARE(e.progressText(e.nextPlaces()),
                     QStringLiteral("三等奖　%1%2 / 共 6 名")
                         .arg(redraw ? QStringLiteral("补抽 ") : QString(), placesText(places)));
            const Evening::Stop s = e.stop(list, source, When);
            QCOMPARE(s.awards.size(), places.size());
        }
        QCOMPARE(e.openPlaces(0), QList<int>());
        QCOMPARE(e.start(), Evening::Start::Announced);
        QCOMPARE(e.announced, then);
        QCOMPARE(e.recordCount(), int(e.awards.size() + voided.size()));
    }

    // A redraw after a void draws only the missing place, never the voided
    // person; equal texts are one person; a small pool gives what it has;
    // a prize its pool cannot fill is closed short and the evening goes on.
    void redrawSmallPoolAndCloseShort()
    {
        Evening e = threePrizes();
        QStringList list = names(4);
        list << QStringLiteral("人0"); // a repeat is the same person
        SeededPositionSource source(9u);
        Evening::Stop s = e.stop(list, source, When);
        QCOMPARE(s.poolSize, 4);
        e.voidAward(s.awards.at(1), false, When);
        const QString voided = e.awards.at(s.awards.at(1)).winner;
        QCOMPARE(e.nextPlaces(), QList<int>({2}));
        s = e.stop(list, source, When);
        // Pool: 4 people, minus 3 drawn (the voided one included) = 1.
        QCOMPARE(s.wanted, 1);
        QCOMPARE(s.poolSize, 1);
        QCOMPARE(s.awards.size(), 1);
        QCOMPARE(e.awards.at(s.awards.at(0)).place, 2);
        QVERIFY(e.awards.at(s.awards.at(0)).winner != voided);
        QCOMPARE(e.lastStop(), s.awards);
        s = e.stop(list, source, When);
        QCOMPARE(s.awards.size(), 0); // nobody left: nothing drawn, nothing stamped again
        QCOMPARE(e.openPlaces(0), QList<int>({4, 5, 6}));
        QVERIFY(e.canCloseShort(0));
        QCOMPARE(e.closeShort(), QList<int>({4, 5, 6}));
        QCOMPARE(Evening::closeResultText({4, 5, 6}),
                 QStringLiteral("提前结束：第 4–6 名空缺（可以抽取的人不够）"));
        QCOMPARE(e.progressText(e.nextPlaces()), QStringLiteral("三等奖　共 6 名　提前结束，空缺 3 名"));
        QVERIFY(
            e.prizeHeading(0).startsWith(QStringLiteral("三等奖　已抽 3 / 共 6 名　提前结束，空缺 3 名")));
        QVERIFY(!e.canVoid(0)); // a closed prize's places stay as they are
        QCOMPARE(e.recordSummary(), QStringLiteral("6 条记录（抽出 4 名、作废 1 次、提前结束 1 个奖项）"));
        QCOMPARE(e.start(), Evening::Start::Announced);
        QCOMPARE(e.announced, 1);
    }

    void boardAndExport()
    {
        Evening e = threePrizes();
        const QStringList list{QStringLiteral("=cmd"), QStringLiteral("a,b"), QStringLiteral("<i>c</i>"),
                               QStringLiteral("d")};
        ScriptedPositionSource source({0, 0, 0, 0});
        e.stop(list, source, When); // =cmd, a,b, <i>c</i> at places 1..3
        e.voidAward(1, true, When.addSecs(60));
        e.stop(list, source, When.addSecs(120)); // d at place 2, then nobody for 4..5
        const QList<Evening::BoardRow> rows = e.boardRows();
        QCOMPARE(rows.size(), 3 + 4); // three headings, four awards
        QCOMPARE(rows.at(0).award, -1);
        QCOMPARE(e.awards.at(rows.at(2).award).winner, QStringLiteral("a,b")); // the void first
        QCOMPARE(e.awards.at(rows.at(3).award).winner, QStringLiteral("d"));   // then its place's winner
        QCOMPARE(e.prizeHeading(0),
                 QStringLiteral("三等奖　已抽 3 / 共 6 名　奖池 4 人　指纹 %1").arg(fingerprint(list)));
        const QByteArray csv = e.exportCsv();
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(csv.mid(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 1 + 4 + 1);
        QCOMPARE(lines.at(0), QStringLiteral("奖项,名次,中奖者,时间,状态,首次抽取时奖池人数,奖池指纹"));
        QCOMPARE(lines.at(1),
                 QStringLiteral("三等奖,1,'=cmd,2026-01-20 19:30:05,有效,4,%1").arg(fingerprint(list)));
        QCOMPARE(lines.at(2),
                 QStringLiteral("三等奖,2,\"a,b\",2026-01-20 19:30:05,作废（未到场，可参加后面的奖项）,4,%1")
                     .arg(fingerprint(list)));
        QCOMPARE(lines.last(), QString());
    }

    // Saved and read back whole; damaged files are refused; an old state
    // without a plan file loads as an evening without a plan.
    void savedStateRoundTrip()
    {
        Evening e = threePrizes(false);
        SeededPositionSource source(3u);
        e.stop(names(12), source, When);
        e.voidAward(0, true, When.addSecs(5));
        e.stop(names(12), source, When.addSecs(9));
        e.closeShort();
        Evening back;
        QString why;
        QVERIFY(EventState::decodeEvening(EventState::encodeEvening(e), &back, &why));
        QCOMPARE(back, e);
        QVERIFY(back.isClosed(0));
        // Written before prizes could be closed short: none is.
        QJsonObject old = QJsonDocument::fromJson(EventState::encodeEvening(e)).object();
        old.remove(QStringLiteral("closed"));
        QVERIFY(EventState::decodeEvening(QJsonDocument(old).toJson(), &back, &why));
        QCOMPARE(back.closed, QList<bool>(3, false));

        QTemporaryDir dir;
        const EventState::Store store(dir.filePath(QStringLiteral("settings.json")),
                                      dir.filePath(QStringLiteral("list.json")));
        QVERIFY(!store.load().evening.has_value());
        QVERIFY(store.saveEvening(e, &why));
        QCOMPARE(*store.load().evening, e);
    }

    // A crash while a change's records were being written: the evening read
    // back keeps the change exactly as far as its records are in the log
    // (another record before them, written by someone else, changes nothing).
    void pendingRecordsSettleFromTheLog_data()
    {
        QTest::addColumn<bool>("isVoid");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("awardsAfter"); // -1: the evening before the change
        for (int written = 0; written <= 3; ++written)
            QTest::addRow("stop of 3, %d in the log", written)
                << false << written << (written ? 3 + written : -1);
        QTest::newRow("void, not in the log") << true << 0 << -1;
        QTest::newRow("void, in the log") << true << 1 << 3;
    }
    void pendingRecordsSettleFromTheLog()
    {
        QFETCH(bool, isVoid);
        QFETCH(int, written);
        QFETCH(int, awardsAfter);
        Evening e = threePrizes();
        SeededPositionSource source(5u);
        e.stop(names(12), source, When);
        const Evening before = e;
        QList<ResultLog::Record> records;
        if (isVoid) {
            e.voidAward(1, false, When.addSecs(3));
            records << ResultLog::Record{e.recordTitle(QStringLiteral("年会"), 0),
                                         Evening::voidResultText(e.awards.at(1))};
        } else {
            for (int i : e.stop(names(12), source, When.addSecs(9)).awards)
                records << ResultLog::Record{e.recordTitle(QStringLiteral("年会"), 0), e.awards.at(i).winner};
        }
        const Evening after = e;
        QTemporaryDir dir;
        const ResultLog log(dir.filePath(QStringLiteral("Result.txt")));
        QVERIFY(log.AppendResultRecord(QStringLiteral("年会"), QStringLiteral("更早的")));
        const EventState::PendingRecords note{dir.filePath(QStringLiteral("Result.txt")),
                                              QFileInfo(log.fileName()).size(), records, before};
        QVERIFY(log.AppendResultRecord(QStringLiteral("别处"), QStringLiteral("别人")));
        QVERIFY(log.AppendResultRecords(records.mid(0, written)));

        const EventState::Store store(dir.filePath(QStringLiteral("settings.json")),
                                      dir.filePath(QStringLiteral("list.json")));
        QString why;
        QVERIFY(EventState::writeFile(store.prizesPath(), EventState::encodeEvening(after, &note), &why));
        const EventState::Store::Loaded loaded = store.load();
        QVERIFY(loaded.problems.isEmpty());
        QCOMPARE(*loaded.eveningPending, note);
        Evening settled = *loaded.evening;
        QCOMPARE(EventState::settleEvening(&settled, *loaded.eveningPending), written < records.size());
        if (awardsAfter < 0) {
            QCOMPARE(settled, before);
        } else {
            QCOMPARE(settled.awards.size(), awardsAfter);
            QCOMPARE(settled.awards, after.awards.mid(0, awardsAfter));
        }
    }

    void damagedStateRefused_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::newRow("future version") << QByteArray("\"version\": 1") << QByteArray("\"version\": 2");
        QTest::newRow("place past the count") << QByteArray("\"place\": 1,") << QByteArray("\"place\": 7,");
        QTest::newRow("unknown prize") << QByteArray("\"prize\": 0,") << QByteArray("\"prize\": 5,");
        QTest::newRow("bad time") << QByteArray("\"time\": \"2026") << QByteArray("\"time\": \"x026");
        QTest::newRow("per stop over count") << QByteArray("\"perStop\": 2") << QByteArray("\"perStop\": 3");
        QTest::newRow("two winners, one place") << QByteArray("\"place\": 2,") << QByteArray("\"place\": 1,");
        QTest::newRow("not an object") << QByteArray("{") << QByteArray("[");
        QTest::newRow("closed not a list")
            << QByteArray("\"closed\": [") << QByteArray("\"closed\": 1, \"x\": [");
    }
    void damagedStateRefused()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        Evening e = threePrizes();
        ScriptedPositionSource source({0});
        e.stop(names(5), source, When);
        QByteArray bytes = EventState::encodeEvening(e);
        QVERIFY2(bytes.contains(from), bytes.constData());
        bytes.replace(bytes.indexOf(from), from.size(), to);
        Evening back;
        QString why;
        QVERIFY(!EventState::decodeEvening(bytes, &back, &why));
        QVERIFY(!why.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPrizePlan)
#include "tst_prizeplan.moc"
