#include "CandidateList.h"

#include <QSignalSpy>
#include <QTest>

class TestCandidateList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsEntriesAsGivenInOrder()
    {
        CandidateList list;
        QCOMPARE(list.ListCount(), 0);
        QVERIFY(list.AddItem(QStringLiteral("张三")));
        QVERIFY(list.AddItem(QStringLiteral("张三")));
        QVERIFY(list.AddItem(QStringLiteral(" 张三")));
        QVERIFY(list.AddItem(QStringLiteral("abc")));
        QVERIFY(list.AddItem(QStringLiteral("ABC")));
        QCOMPARE(list.entries(),
                 (QStringList{QStringLiteral("张三"), QStringLiteral("张三"), QStringLiteral(" 张三"),
                              QStringLiteral("abc"), QStringLiteral("ABC")}));
        QCOMPARE(list.rowCount(), 5);
        QCOMPARE(list.data(list.index(2)).toString(), QStringLiteral(" 张三"));
    }

    void textOutsideTheListIsEmpty()
    {
        CandidateList list;
        QCOMPARE(list.List(0), QString());
        list.AddItem(QStringLiteral("a"));
        QCOMPARE(list.List(0), QStringLiteral("a"));
        QCOMPARE(list.List(1), QString());
        QCOMPARE(list.List(-1), QString());
    }

    void removeAndClear()
    {
        CandidateList list;
        list.AddItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
        list.RemoveItem(1);
        QCOMPARE(list.entries(), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
        QCOMPARE(removed.count(), 1);
        list.RemoveItem(5); // outside: nothing happens
        list.RemoveItem(-1);
        QCOMPARE(list.ListCount(), 2);
        list.Clear();
        QCOMPARE(list.ListCount(), 0);
    }

    void limitIsNeverPassed()
    {
        CandidateList list;
        QStringList many;
        for (int i = 0; i < CandidateList::MaxEntries - 2; ++i)
            many.append(QString::number(i));
        QCOMPARE(list.AddItems(many), CandidateList::MaxEntries - 2);
        // Only two of five fit; the caller learns how many went in.
        QCOMPARE(list.AddItems({QStringLiteral("x1"), QStringLiteral("x2"), QStringLiteral("x3"),
                                QStringLiteral("x4"), QStringLiteral("x5")}),
                 2);
        QCOMPARE(list.ListCount(), CandidateList::MaxEntries);
        QVERIFY(list.IsFull());
        QVERIFY(!list.AddItem(QStringLiteral("one more")));
        QCOMPARE(list.List(CandidateList::MaxEntries - 1), QStringLiteral("x2"));
    }
};

QTEST_GUILESS_MAIN(TestCandidateList)
#include "tst_candidatelist.moc"
