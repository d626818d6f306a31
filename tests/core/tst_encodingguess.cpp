#include "EncodingGuess.h"
#include "ListCorpus.h"
#include "ListFile.h"

#include <QTest>

using EncodingGuess::Reading;
using ListCorpus::Kind;
using ListFile::Encoding;

class TestEncodingGuess : public QObject
{
    Q_OBJECT

    QList<ListCorpus::File> m_corpus;

    // What is wrong with one file's reading, or an empty text.
    static QString fault(const ListCorpus::File &file)
    {
        const ListFile::DecodedText d = ListFile::decode(file.bytes);
        const ListFile::SplitLines lines = ListFile::splitLines(d.text, d.hadErrors);
        const Encoding expected =
            file.kind == Kind::GbkNames || file.kind == Kind::OneCharacter ? Encoding::Gbk : Encoding::Utf8;
        if (d.encoding != expected)
            return QStringLiteral("read as the wrong encoding");
        if (lines.entries.size() != file.entries.size())
            return QStringLiteral("%1 entries").arg(lines.entries.size());
        if (file.kind != Kind::StrayByte) {
            if (lines.entries != file.entries)
                return QStringLiteral("misread: ") + lines.entries.join(u'/');
            if (d.hadErrors || !d.switchedLines.isEmpty())
                return QStringLiteral("lines reported");
            return {};
        }
        for (qsizetype i = 0; i < file.entries.size(); ++i) {
            if (i + 1 != file.strayLine && lines.entries.at(i) != file.entries.at(i))
                return QStringLiteral("line %1 misread: %2").arg(i + 1).arg(lines.entries.at(i));
        }
        const QList<int> reported = lines.badLines + d.switchedLines;
        if (reported != QList<int>{file.strayLine})
            return QStringLiteral("reported lines %1, stray byte on %2")
                .arg(QString::fromLatin1(QTest::toString(reported)))
                .arg(file.strayLine);
        return {};
    }

private Q_SLOTS:
    void initTestCase() { m_corpus = ListCorpus::generate(); }

    void corpusIsAsAsked()
    {
        QCOMPARE(ListCorpus::level1Characters().size(), 3755);
        QCOMPARE(ListCorpus::commonNameCharacters().size(), 142);
        const qsizetype nameLists = std::count_if(m_corpus.cbegin(), m_corpus.cend(), [](const auto &f) {
            return f.kind == Kind::GbkNames || f.kind == Kind::Utf8Names;
        });
        QVERIFY(nameLists >= 2000);
        // The corpus holds the hard case: GBK lists that are valid UTF-8.
        const qsizetype validUtf8 = std::count_if(m_corpus.cbegin(), m_corpus.cend(), [](const auto &f) {
            return f.kind == Kind::GbkNames && EncodingGuess::utf8Cost(f.bytes).has_value();
        });
        QVERIFY(validUtf8 >= 5);
    }

    void corpusReadsBack_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("GBK name lists, CR LF") << Kind::GbkNames;
        QTest::newRow("UTF-8 name lists, LF") << Kind::Utf8Names;
        QTest::newRow("Cyrillic, Greek and accented Latin in UTF-8") << Kind::Foreign;
        QTest::newRow("UTF-8 with one stray Latin-1 byte") << Kind::StrayByte;
        QTest::newRow("common name characters alone in GBK") << Kind::OneCharacter;
    }
    void corpusReadsBack()
    {
        QFETCH(Kind, kind);
        QStringList faults;
        int files = 0;
        for (const ListCorpus::File &file : std::as_const(m_corpus)) {
            if (file.kind != kind)
                continue;
            ++files;
            const QString why = fault(file);
            if (!why.isEmpty())
                faults << file.name + QStringLiteral(": ") + why;
        }
        QVERIFY(files > 0);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(u'\n')));
    }

    void fileReading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Reading>("reading");
        QTest::addColumn<bool>("closeCall");
        QTest::addColumn<QList<int>>("switched");
        const QString shortGbk = QStringLiteral("郑伟\r\n谢强\r\n钱英\r\n叶平\r\n");
        QTest::newRow("short GBK list that is valid UTF-8")
            << ListCorpus::toGbk(shortGbk) << Reading::Gbk << false << QList<int>{};
        QTest::newRow("UTF-8 Chinese")
            << QStringLiteral("郑伟\n谢强\n").toUtf8() << Reading::Utf8 << false << QList<int>{};
        QTest::newRow("ASCII only") << QByteArray("Alice\r\nBob") << Reading::Utf8 << false << QList<int>{};
        QTest::newRow("accented Latin")
            << QStringLiteral("Zoë\nJosé\n").toUtf8() << Reading::Utf8 << false << QList<int>{};
        // Three lowercase Cyrillic letters whose bytes are also three common
        // Chinese characters in GBK: both readings are plausible.
        QTest::newRow("close call") << QStringLiteral("ива").toUtf8() << Reading::Utf8 << true
                                    << QList<int>{};
        QTest::newRow("GBK file with a pasted UTF-8 line")
            << ListCorpus::toGbk(QStringLiteral("赵六\r\n王五\r\n孙七\r\n周八\r\n")) +
                   QStringLiteral("张三丰\r\n张三\r\n").toUtf8()
            << Reading::Gbk << false << QList<int>{5, 6};
        // Valid UTF-8 from start to end: no line is read as GBK on its own,
        // though "αβ" alone would make two common characters there.
        QTest::newRow("Greek and Cyrillic UTF-8 with a two-letter line")
            << QStringLiteral("Александр\nΔημήτρης\nαβ\nМария\n").toUtf8() << Reading::Utf8 << false
            << QList<int>{};
        QTest::newRow("UTF-8 file with a pasted GBK line")
            << QStringLiteral("张三\n李四\n孙七\n周八\n").toUtf8() +
                   ListCorpus::toGbk(QStringLiteral("赵六\n王五"))
            << Reading::Utf8 << false << QList<int>{5, 6};
    }
    void fileReading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Reading, reading);
        QFETCH(bool, closeCall);
        QFETCH(QList<int>, switched);
        const EncodingGuess::Guess g = EncodingGuess::guess(bytes);
        QCOMPARE(g.reading, reading);
        QCOMPARE(g.closeCall, closeCall);
        QList<int> seen;
        for (qsizetype i = 0; i < g.lines.size(); ++i) {
            if (g.lines.at(i).switched)
                seen << int(i + 1);
        }
        QCOMPARE(seen, switched);
    }

    void lineSpansCoverTheFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<qsizetype>>("ends");
        QTest::newRow("empty") << QByteArray() << QList<qsizetype>{};
        QTest::newRow("no line end") << QByteArray("ab") << QList<qsizetype>{2};
        QTest::newRow("CR LF, lone CR, LF") << QByteArray("a\r\nb\rc\nd") << QList<qsizetype>{3, 5, 7, 8};
        QTest::newRow("empty lines") << QByteArray("\r\n\n\r") << QList<qsizetype>{2, 3, 4};
    }
    void lineSpansCoverTheFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<qsizetype>, ends);
        const EncodingGuess::Guess g = EncodingGuess::guess(bytes);
        QList<qsizetype> seen;
        qsizetype begin = 0;
        for (const EncodingGuess::Line &line : g.lines) {
            QCOMPARE(line.begin, begin);
            seen << line.end;
            begin = line.end;
        }
        QCOMPARE(seen, ends);
    }

    void strictUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ASCII") << QByteArray("abc") << true;
        QTest::newRow("two, three, four bytes") << QByteArray("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80") << true;
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("overlong three bytes") << QByteArray("\xE0\x80\xAF") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("cut off") << QByteArray("\xE4\xB8") << false;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false;
    }
    void strictUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(EncodingGuess::utf8Cost(bytes).has_value(), valid);
    }

    void gbkBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("two bytes") << QByteArray("\xD5\xC5\xC8\xFD") << true;
        QTest::newRow("four bytes") << QByteArray("\x81\x30\x81\x30") << true;
        QTest::newRow("0x80") << QByteArray("\x80") << false;
        QTest::newRow("0xFF") << QByteArray("\xFF\xA1") << false;
        QTest::newRow("cut off") << QByteArray("a\xB0") << false;
        QTest::newRow("bad trail") << QByteArray("\xB0\x20") << false;
        QTest::newRow("bad four bytes") << QByteArray("\x81\x30\x20\x30") << false;
    }
    void gbkBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(EncodingGuess::gbkCost(bytes).has_value(), valid);
    }
};

QTEST_GUILESS_MAIN(TestEncodingGuess)
#include "tst_encodingguess.moc"
