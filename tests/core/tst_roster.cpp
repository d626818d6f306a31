#include "EventState.h"
#include "Gb18030.h"
#include "ResultLog.h"
#include "Roster.h"

#include <QCryptographicHash>
#include <QSet>
#include <QTest>

using Roster::Person;

namespace {

// "张伟:XS1001,XS1002;…" for the same names, "7:2,4;…" for the duplicates.
QString sameNamesText(const QList<Roster::SameName> &found)
{
    QStringList out;
    for (const Roster::SameName &s : found) {
        QStringList ids;
        for (const Person &p : s.people)
            ids << (p.id.isEmpty() ? QString::number(p.row) : p.id);
        out << s.name + u':' + ids.join(u',');
    }
    return out.join(u';');
}

QString duplicatesText(const QList<Roster::Duplicate> &found)
{
    QStringList out;
    for (const Roster::Duplicate &d : found) {
        QStringList rows;
        for (int r : d.rows)
            rows << QString::number(r);
        out << d.id + u':' + rows.join(u',');
    }
    return out.join(u';');
}

QString numbers(const QList<int> &rows)
{
    QStringList out;
    for (int r : rows)
        out << QString::number(r);
    return out.join(u',');
}

} // namespace

class TestRoster : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void report_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<int>("headerRow"); // 1-based
        QTest::addColumn<int>("rowsRead");
        QTest::addColumn<QString>("blankRows");
        QTest::addColumn<QString>("duplicates");
        QTest::addColumn<QString>("sameNames");
        QTest::addColumn<QString>("shortDigitRows");
        QTest::addColumn<QStringList>("people"); // identity lines
        QTest::addColumn<QStringList>("reportHas");

        QTest::newRow("GBK, title row above the header, two 张伟")
            << Gb18030::encode(QStringLiteral("2026年会抽奖名单,,\r\n工号,姓名,部门\r\nXS1001,张伟,销售部\r\n"
                                              "XS1002,张伟,研发部\r\n,,\r\nXS1003,李娜,研发部\r\n"))
            << "GBK"
            << "," << 2 << 4 << "5"
            << ""
            << "张伟:XS1001,XS1002"
            << "" << QStringList{"XS1001\t张伟\t销售部", "XS1002\t张伟\t研发部", "XS1003\t李娜\t研发部"}
            << QStringList{"表头: 第 2 行（工号 A 列，姓名 B 列，部门 C 列）", "跳过空行: 1（第 5 行）",
                           "同名: 张伟 — XS1001（第 3 行）、XS1002（第 4 行）（都保留，各算一人）",
                           "重复工号: 0", "最终人数: 3"};
        QTest::newRow("UTF-8 with BOM, tabs, leading zeros lost")
            << QByteArray("\xEF\xBB\xBF") +
                   QStringLiteral("员工编号\t名字\t部门名称\n00123\t王芳\t市场部\n123\t王芳 \t市场部\n"
                                  "00124\t赵六\t财务部\n")
                       .toUtf8()
            << "UTF-8"
            << "\t" << 1 << 3 << ""
            << ""
            << "王芳:00123,123"
            << "3" << QStringList{"00123\t王芳\t市场部", "123\t王芳\t市场部", "00124\t赵六\t财务部"}
            << QStringList{"工号位数不一: 纯数字工号有 3 位 1 人、5 位 2 人，可能被表格软件去掉了开头的 "
                           "0（较短的在第 "
                           "3 行）"};
        QTest::newRow("semicolons, quoted fields, a duplicate 工号")
            << QByteArray("Name;ID;Dept\r\n\"Li, Na\";7;\"R&D \"\"Lab\"\"\"\r\nBob;8;QA\r\nBob2;7;QA\r\n\r\n")
            << "UTF-8"
            << ";" << 1 << 4 << "5"
            << "7:2,4"
            << ""
            << "" << QStringList{"7\tLi, Na\tR&D \"Lab\"", "8\tBob\tQA"}
            << QStringList{"重复工号: 7 第 2、4 行（保留第 2 行）", "跳过空行: 1（第 5 行）", "最终人数: 2"};
        QTest::newRow("no 工号: the same name twice is two rows")
            << QByteArray("姓名\n张三\n张三\n李四\n") << "UTF-8"
            << "," << 1 << 3 << ""
            << ""
            << "张三:2,3"
            << "" << QStringList{"\t张三\t", "\t张三\t", "\t李四\t"} << QStringList{"最终人数: 3"};
        QTest::newRow("a line break in a quoted name, a row without a name")
            << QByteArray("工号,姓名\n1,\"A\nB\"\n2,\n3,C\n") << "UTF-8"
            << "," << 1 << 3 << ""
            << ""
            << ""
            << "" << QStringList{"1\tA B\t", "3\tC\t"} << QStringList{"跳过无姓名的行: 1（第 3 行）"};
        QTest::newRow("no header") << QByteArray("a,b\nc,d\n") << "UTF-8"
                                   << "," << 0 << 0 << ""
                                   << ""
                                   << ""
                                   << "" << QStringList{}
                                   << QStringList{"表头: 未找到（前 20 行中没有“姓名”“名字”或“Name”列）"};
    }
    void report()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(QString, delimiter);
        QFETCH(int, headerRow);
        QFETCH(int, rowsRead);
        QFETCH(QString, blankRows);
        QFETCH(QString, duplicates);
        QFETCH(QString, sameNames);
        QFETCH(QString, shortDigitRows);
        QFETCH(QStringList, people);
        QFETCH(QStringList, reportHas);

        const Roster::TextTable table = Roster::readText(bytes);
        QVERIFY2(table.ok, qPrintable(table.error));
        QCOMPARE(table.encoding, encoding);
        QCOMPARE(QString(table.delimiter), delimiter);
        const Roster::Mapping mapping = Roster::findMapping(table.rows);
        QCOMPARE(mapping.headerRow + 1, headerRow);
        const Roster::Report report = Roster::analyse(table.rows, mapping);
        QCOMPARE(report.rowsRead, rowsRead);
        QCOMPARE(numbers(report.blankRows), blankRows);
        QCOMPARE(duplicatesText(report.duplicates), duplicates);
        QCOMPARE(sameNamesText(report.sameNames), sameNames);
        QCOMPARE(numbers(report.shortDigitIdRows), shortDigitRows);
        QStringList identities;
        for (const Person &p : report.people)
            identities << Roster::identityLine(p);
        QCOMPARE(identities, people);

        // The fingerprint as documented: SHA-256 over the identity lines,
        // each as UTF-8 with a line feed, its first 12 hex digits.
        QByteArray hashed;
        for (const QString &line : people)
            hashed += line.toUtf8() + '\n';
        const QString expected = QString::fromLatin1(
            QCryptographicHash::hash(hashed, QCryptographicHash::Sha256).toHex().left(12));
        if (headerRow > 0)
            QCOMPARE(report.fingerprint, expected);

        const QStringList lines = Roster::reportLines(report, mapping);
        for (const QString &line : reportHas)
            QVERIFY2(lines.contains(line), qPrintable(lines.join(u'\n')));
        if (headerRow > 0)
            QCOMPARE(lines.constLast(), QStringLiteral("指纹: ") + expected);
    }

    void refusals()
    {
        QVERIFY(!Roster::readText(QByteArray()).ok);

        QByteArray many("工号,姓名\n");
        for (int i = 0; i <= Roster::MaxPeople; ++i)
            many += QByteArray::number(i) + ",N" + QByteArray::number(i) + '\n';
        const Roster::TextTable table = Roster::readText(many);
        QVERIFY(table.ok);
        const Roster::Report report = Roster::analyse(table.rows, Roster::findMapping(table.rows));
        QCOMPARE(report.people.size(), Roster::MaxPeople + 1);
        QVERIFY(report.tooMany);
    }

    void displayTexts_data()
    {
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("maskName");
        QTest::addColumn<bool>("maskId");
        QTest::addColumn<QStringList>("texts");
        using Shown = Roster::Look::Shown;
        QTest::newRow("names: 张伟 told apart by 部门, then 工号, 李娜 by row")
            << int(Shown::Name) << false << false
            << QStringList{"张伟（销售部）", "张伟（研发部）（XS1002）", "张伟（研发部）（XS1003）",
                           "欧阳小伟",       "李娜（第 6 行）",          "李娜（第 7 行）"};
        QTest::newRow("names and 部门")
            << int(Shown::NameDept) << false << false
            << QStringList{"张伟（销售部）",     "张伟（研发部）（XS1002）", "张伟（研发部）（XS1003）",
                           "欧阳小伟（市场部）", "李娜（第 6 行）",          "李娜（第 7 行）"};
        QTest::newRow("工号 and names, masked: no full 工号 shown")
            << int(Shown::IdName) << true << true
            << QStringList{"XS1*** 张*（销售部）",
                           "XS1*** 张*（研发部）（第 3 行）",
                           "XS1*** 张*（研发部）（第 4 行）",
                           "XS1*** 欧**伟",
                           "李*（第 6 行）",
                           "李*（第 7 行）"};
    }
    void displayTexts()
    {
        QFETCH(int, shown);
        QFETCH(bool, maskName);
        QFETCH(bool, maskId);
        QFETCH(QStringList, texts);
        const QList<Person> people{{"XS1001", "张伟", "销售部", 2},
                                   {"XS1002", "张伟", "研发部", 3},
                                   {"XS1003", "张伟", "研发部", 4},
                                   {"XS1004", "欧阳小伟", "市场部", 5},
                                   {"", "李娜", "", 6},
                                   {"", "李娜", "", 7}};
        const QStringList got =
            Roster::displayTexts(people, Roster::Look{Roster::Look::Shown(shown), maskName, maskId});
        QCOMPARE(got, texts);
        QCOMPARE(QSet<QString>(got.cbegin(), got.cend()).size(), got.size());
    }

    // Kept with the list: read back whole; a list saved without a roster reads as none.
    void keptWithTheList()
    {
        EventState::WorkingList list;
        list.entries = QStringList{"甲"};
        EventState::WorkingList read;
        QString why;
        QVERIFY(EventState::decodeList(EventState::encodeList(list), &read, &why));
        QVERIFY(!read.roster);

        const Roster::Held held({{"XS1", "张伟", "销售部", 2}, {"XS2", "张伟", "研发部", 3}},
                                Roster::Look{Roster::Look::Shown::Name, true, false}, "名单.xlsx");
        list.entries = held.texts();
        list.roster = held;
        QVERIFY2(EventState::decodeList(EventState::encodeList(list), &read, &why), qPrintable(why));
        QCOMPARE(read, list);
        QCOMPARE(read.roster->texts(), (QStringList{"张*（销售部）", "张*（研发部）"}));
        QCOMPARE(read.roster->shownAs("张*（研发部）")->id, QStringLiteral("XS2"));

        // A prize limited to some 部门 is kept with the plan.
        Prizes::Evening evening;
        Prizes::Prize limited(QStringLiteral("特等奖"), 2, 1);
        limited.setDeptsCell(QStringLiteral("除 销售部、行政部"));
        QVERIFY(evening.setPlan({Prizes::Prize(QStringLiteral("三等奖"), 3, 3), limited}, true, &why));
        Prizes::Evening back;
        QVERIFY2(EventState::decodeEvening(EventState::encodeEvening(evening), &back, &why), qPrintable(why));
        QCOMPARE(back.prizes, evening.prizes);
        Prizes::Evening open;
        QVERIFY(open.setPlan({Prizes::Prize(QStringLiteral("三等奖"), 3, 3)}, true, &why));
        QVERIFY(!EventState::encodeEvening(open).contains("depts")); // plans without limits read as before

        QByteArray broken = EventState::encodeList(list);
        broken.replace("\"shown\": 0", "\"shown\": 7");
        QVERIFY(!EventState::decodeList(broken, &read, &why));
    }

    // A single draw cut off by a crash after its record: the person leaves
    // the list by the text shown, though the record carries the identity.
    void winnerLeavesAfterACrash()
    {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("Result.txt"));
        const Roster::Held held({{"XS1", "张伟", "销售部", 2}, {"XS2", "张伟", "研发部", 3}}, Roster::Look{},
                                "hr.csv");
        EventState::WorkingList list;
        list.entries = held.texts();
        list.roster = held;
        const QString recorded = Roster::recordText(held.texts().at(1), held.people().at(1));
        list.pending = EventState::PendingResult{logPath, 0, QStringLiteral("年会"), recorded};
        const ResultLog log(logPath);
        QVERIFY(log.AppendResultRecord(QStringLiteral("年会"), recorded));
        QString takenBack;
        QVERIFY(EventState::settlePending(&list, &takenBack));
        QCOMPARE(list.entries, QStringList{QStringLiteral("张伟（销售部）")});
    }

    void columnLetters()
    {
        QCOMPARE(Roster::columnLetter(0), QStringLiteral("A"));
        QCOMPARE(Roster::columnLetter(25), QStringLiteral("Z"));
        QCOMPARE(Roster::columnLetter(26), QStringLiteral("AA"));
        QCOMPARE(Roster::columnLetter(16383), QStringLiteral("XFD"));
    }
};

QTEST_GUILESS_MAIN(TestRoster)
#include "tst_roster.moc"
