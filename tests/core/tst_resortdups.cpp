#include "CandidateList.h"
#include "ReSortDups.h"

#include <QTest>

class TestReSortDups : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsLastOccurrence_data()
    {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty") << QStringList() << QStringList();
        QTest::newRow("no repeats") << QStringList{"a", "b", "c"} << QStringList{"a", "b", "c"};
        QTest::newRow("case folded, last kept")
            << QStringList{"Ab", "aB", "x", "AB"} << QStringList{"x", "AB"};
        QTest::newRow("trailing blank differs") << QStringList{"a", "a ", "a"} << QStringList{"a ", "a"};
        QTest::newRow("non-latin letter case") << QStringList{"Ärger", "ΣΟΦΙΑ", "ärger", "σοφια", "𐐀x", "𐐨X"}
                                               << QStringList{"ärger", "σοφια", "𐐨X"};
        QTest::newRow("chinese") << QStringList{"张三", "李四", "张三", "王五"}
                                 << QStringList{"李四", "张三", "王五"};
    }
    void keepsLastOccurrence()
    {
        QFETCH(QStringList, input);
        QFETCH(QStringList, expected);
        CandidateList list;
        list.AddItems(input);
        qint32 count = qint32(input.size());
        const int removed = ReSortDups(list, count, -1);
        QCOMPARE(list.entries(), expected);
        QCOMPARE(removed, int(input.size() - expected.size()));
        QCOMPARE(count, qint32(expected.size()));
    }

    void countReducedFromItsOwnValue()
    {
        CandidateList list;
        list.AddItems({"a", "A", "b", "B", "c", "C", "d"});
        qint32 count = 10; // the count is reduced, not recomputed
        ReSortDups(list, count, -1);
        QCOMPARE(count, 7);
        QCOMPARE(list.ListCount(), 4);
    }

    void emptyListLeavesCountAlone()
    {
        CandidateList list;
        qint32 count = 5;
        QCOMPARE(ReSortDups(list, count, -1), 0);
        QCOMPARE(count, 5);
    }

    // 100 repeats are removed one by one, 101 by refilling: the same result.
    void bothBranchesAgree_data()
    {
        QTest::addColumn<int>("repeats");
        QTest::newRow("100 removed one by one") << 100;
        QTest::newRow("101 by refill") << 101;
        QTest::newRow("many") << 5000;
    }
    void bothBranchesAgree()
    {
        QFETCH(int, repeats);
        QStringList input;
        QStringList expected;
        for (int i = 0; i < repeats; ++i)
            input << QStringLiteral("dup%1").arg(i);
        input << QStringLiteral("solo");
        for (int i = 0; i < repeats; ++i) {
            input << QStringLiteral("DUP%1").arg(i);
            expected << QStringLiteral("DUP%1").arg(i);
        }
        expected.prepend(QStringLiteral("solo"));
        CandidateList list;
        list.AddItems(input);
        qint32 count = qint32(input.size());
        QCOMPARE(ReSortDups(list, count, -1), repeats);
        QCOMPARE(list.entries(), expected);
        QCOMPARE(count, qint32(expected.size()));
        // A second run changes nothing.
        QCOMPARE(ReSortDups(list, count, -1), 0);
        QCOMPARE(list.entries(), expected);
    }
};

QTEST_GUILESS_MAIN(TestReSortDups)
#include "tst_resortdups.moc"
