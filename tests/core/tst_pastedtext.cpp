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
        // A cut never leaves the first half of a surrogate pair behind.
        QTest::newRow("cut inside a surrogate pair")
            << QString(32766, u'x') + QStringLiteral("😀\nb")
            << QStringList{QString(32766, u'x'), QStringLiteral("b")} << true;
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

    // However large the paste, no more lines are made than the list keeps:
    // the rest is counted; past the paste's limit it is cut at a line end.
    void largePastes()
    {
        const QString column = QStringLiteral("名\n").repeated(40000);
        PastedText::Column c = PastedText::split(column);
        QCOMPARE(c.lines.size(), PastedText::MaxLines);
        QCOMPARE(c.leftOut, 40000 - PastedText::MaxLines);
        QCOMPARE(c.cutChars, 0);

        const QString huge = QStringLiteral("ab\n") + QString(PastedText::MaxPasteLength, u'x');
        c = PastedText::split(huge);
        QCOMPARE(c.lines, QStringList{QStringLiteral("ab")});
        QCOMPARE(c.cutChars, PastedText::MaxPasteLength);
    }
};

QTEST_GUILESS_MAIN(TestPastedText)
#include "tst_pastedtext.moc"
