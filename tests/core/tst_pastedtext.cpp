#include "PastedText.h"

#include <QTest>

class TestPastedText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("column");
        QTest::newRow("one word") << QStringLiteral("张三") << QStringList{QStringLiteral("张三")} << false;
        QTest::newRow("one cell with its line end")
            << QStringLiteral("张三\r\n") << QStringList{QStringLiteral("张三")} << false;
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\nc") << QStringList{"a", "b", "c"} << true;
        QTest::newRow("LF") << QStringLiteral("a\nb\n") << QStringList{"a", "b"} << true;
        QTest::newRow("lone CR") << QStringLiteral("a\rb") << QStringList{"a", "b"} << true;
        QTest::newRow("empty lines skipped")
            << QStringLiteral("\n\na\n\n\r\nb\n\n") << QStringList{"a", "b"} << true;
        QTest::newRow("blanks kept") << QStringLiteral(" a \n  \nb") << QStringList{" a ", "  ", "b"} << true;
        QTest::newRow("cells become blanks")
            << QStringLiteral("1\t张三\n2\t李四\x0b")
            << QStringList{QStringLiteral("1 张三"), QStringLiteral("2 李四 ")} << true;
        QTest::newRow("only line ends") << QStringLiteral("\r\n\n\r") << QStringList{} << false;
        // A line holds no more than the entry box does when it is typed in.
        QTest::newRow("a line longer than the entry box holds")
            << QString(100000, u'名') + QStringLiteral("\nb")
            << QStringList{QString(32767, u'名'), QStringLiteral("b")} << true;
        QTest::newRow("a line as long as the entry box holds")
            << QString(32767, u'x') + QStringLiteral("\r\nb")
            << QStringList{QString(32767, u'x'), QStringLiteral("b")} << true;
    }
    void lines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QFETCH(bool, column);
        QCOMPARE(PastedText::lines(text), lines);
        QCOMPARE(PastedText::isColumn(text), column);
    }
};

QTEST_GUILESS_MAIN(TestPastedText)
#include "tst_pastedtext.moc"
