#include "Gb18030.h"
#include "ListFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using ListFile::Encoding;

class TestListFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write test file");
        return path;
    }

    static QByteArray gbk(const QString &text) { return Gb18030::encode(text); }

private Q_SLOTS:
    void sizeLimits_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<ListFile::SizeCheck>("expected");
        QTest::newRow("0") << qint64(0) << ListFile::SizeCheck::Empty;
        QTest::newRow("1") << qint64(1) << ListFile::SizeCheck::Ok;
        QTest::newRow("25000") << qint64(25000) << ListFile::SizeCheck::Ok;
        QTest::newRow("25001") << qint64(25001) << ListFile::SizeCheck::TooLarge;
        QTest::newRow("25600 is not 25KB") << qint64(25600) << ListFile::SizeCheck::TooLarge;
    }
    void sizeLimits()
    {
        QFETCH(qint64, bytes);
        QFETCH(ListFile::SizeCheck, expected);
        QCOMPARE(ListFile::checkSize(bytes), expected);
    }

    void sizeCaption_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1000") << qint64(1000) << QStringLiteral("0.98  KB");
        QTest::newRow("2560") << qint64(2560) << QStringLiteral("2.50  KB");
        QTest::newRow("1") << qint64(1) << QStringLiteral("0.00  KB");
        QTest::newRow("25000") << qint64(25000) << QStringLiteral("24.41  KB");
    }
    void sizeCaption()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, caption);
        QCOMPARE(ListFile::sizeCaption(bytes), caption);
    }

    void refusalTexts()
    {
        QCOMPARE(ListFile::RefusalTitle, QStringLiteral("安全帽"));
        QVERIFY(ListFile::TooLargeText.endsWith(QStringLiteral("\r\n\r\n请返回 ╮(╯▽╰)╭ ")));
        QVERIFY(ListFile::EmptyFileText.startsWith(QStringLiteral("无效空文件\r\n\r\n")));
    }

    void lineEnds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("LF") << "a\nb\nc" << QStringList{"a", "b", "c"};
        QTest::newRow("CR LF") << "a\r\nb\r\nc\r\n" << QStringList{"a", "b", "c"};
        QTest::newRow("lone CR") << "a\rb\rc" << QStringList{"a", "b", "c"};
        QTest::newRow("mixed") << "a\r\n\nb\r\rc\n" << QStringList{"a", "b", "c"};
        QTest::newRow("empty lines and final end") << "\n\na\n\n\nb\n\n" << QStringList{"a", "b"};
        QTest::newRow("blanks kept") << "  \n a \r\n\t" << QStringList{"  ", " a ", "\t"};
        QTest::newRow("only line ends") << "\r\n\r\n\n" << QStringList{};
        QTest::newRow("no line end") << "one" << QStringList{"one"};
    }
    void lineEnds()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, entries);
        QCOMPARE(ListFile::splitLines(text).entries, entries);
    }

    // A line of a list file is one entry on one line wherever it shows:
    // control characters inside it (a tab, a NUL, NEL, the line and
    // paragraph separators) become blanks, as in a pasted column, so the
    // rolling display and the record show the same text.
    void readBlanksControlCharacters_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("line separator") << QStringLiteral("张三\u2028李四\r\n王五").toUtf8()
                                        << QStringList{QStringLiteral("张三 李四"), QStringLiteral("王五")};
        QTest::newRow("paragraph separator")
            << QStringLiteral("a\u2029b").toUtf8() << QStringList{QStringLiteral("a b")};
        QTest::newRow("NEL") << QByteArray("a\xC2\x85"
                                           "b\n")
                             << QStringList{QStringLiteral("a b")};
        QTest::newRow("vertical tab and form feed") << QByteArray("a\x0B"
                                                                  "b\x0C"
                                                                  "c")
                                                    << QStringList{QStringLiteral("a b c")};
        QTest::newRow("tab between columns")
            << gbk(QStringLiteral("张三\t销售部\r\n")) << QStringList{QStringLiteral("张三 销售部")};
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << QStringList{QStringLiteral("a b")};
        QTest::newRow("only a control character")
            << QByteArray("\x01\nx") << QStringList{QStringLiteral(" "), QStringLiteral("x")};
    }
    void readBlanksControlCharacters()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        const ListFile::ReadResult r = ListFile::read(write(QStringLiteral("controls.txt"), bytes));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.entries, entries);
        QVERIFY(r.badLines.isEmpty());
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<bool>("hadErrors");
        const QString chinese = QStringLiteral("张三\r\n李四");
        QTest::newRow("ascii") << QByteArray("abc") << QStringLiteral("abc") << Encoding::Utf8 << false;
        QTest::newRow("utf8") << chinese.toUtf8() << chinese << Encoding::Utf8 << false;
        QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF") + chinese.toUtf8() << chinese
                                  << Encoding::Utf8WithBom << false;
        QByteArray le("\xFF\xFE"), be("\xFE\xFF");
        for (QChar c : chinese) {
            le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
            be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        }
        QTest::newRow("utf16le") << le << chinese << Encoding::Utf16LE << false;
        QTest::newRow("utf16be") << be << chinese << Encoding::Utf16BE << false;
        QTest::newRow("gbk") << gbk(chinese) << chinese << Encoding::Gbk << false;
        const QByteArray lone = QByteArray::fromHex("FEFF"
                                                    "0061"
                                                    "DADA"
                                                    "0062"
                                                    "DC00"
                                                    "D83DDE00");
        QTest::newRow("utf16 lone surrogates")
            << lone << QStringLiteral("a\uFFFDb\uFFFD😀") << Encoding::Utf16BE << true;
        QTest::newRow("nul kept") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3) << Encoding::Utf8
                                  << false;
    }
    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(Encoding, encoding);
        QFETCH(bool, hadErrors);
        const ListFile::DecodedText d = ListFile::decode(bytes);
        QCOMPARE(d.text, text);
        QCOMPARE(d.encoding, encoding);
        QCOMPARE(d.hadErrors, hadErrors);
    }

    void brokenBytesAreReportedByLine()
    {
        // Line 2 is valid GBK; line 4 holds a lead byte with no trail; the
        // last line is cut off in the middle of a character.
        QByteArray bytes =
            "ok\n" + gbk(QStringLiteral("张三")) + "\n\nbad\x81\x20x\n" + gbk(QStringLiteral("李"));
        bytes.append('\xB0');
        const QString path = write(QStringLiteral("broken.txt"), bytes);
        const ListFile::ReadResult r = ListFile::read(path);
        QVERIFY(r.ok);
        QCOMPARE(r.encoding, Encoding::Gbk);
        QCOMPARE(r.entries.size(), 4);
        QCOMPARE(r.entries.at(1), QStringLiteral("张三"));
        QCOMPARE(r.badLines, (QList<int>{4, 5}));
        QVERIFY(r.entries.at(3).startsWith(QStringLiteral("李")));
    }

    // The reader's choices as the operator sees them, through a real file.
    void readsWhatTheOrganiserMeant_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<QList<int>>("badLines");
        QTest::addColumn<QList<int>>("switchedLines");
        const QStringList names{QStringLiteral("郑伟"), QStringLiteral("谢强"), QStringLiteral("钱英"),
                                QStringLiteral("叶平")};
        QTest::newRow("GBK names that are also valid UTF-8")
            << gbk(names.join(QStringLiteral("\r\n"))) << names << Encoding::Gbk << QList<int>{}
            << QList<int>{};
        QTest::newRow("one such name alone")
            << gbk(QStringLiteral("郑伟")) << QStringList{QStringLiteral("郑伟")} << Encoding::Gbk
            << QList<int>{} << QList<int>{};
        QTest::newRow("GBK, CR LF, as the program has always read")
            << gbk(QStringLiteral("Alice\r\n王五\r\n赵六\r\n")) << QStringList{"Alice", "王五", "赵六"}
            << Encoding::Gbk << QList<int>{} << QList<int>{};
        QTest::newRow("GBK with repeats")
            << gbk(QStringLiteral("赵一\r\n钱二\r\n赵一\r\n")) << QStringList{"赵一", "钱二", "赵一"}
            << Encoding::Gbk << QList<int>{} << QList<int>{};
        QTest::newRow("one stray Latin-1 byte in UTF-8")
            << QStringLiteral("张三\n李四\n王五\n").toUtf8() + "caf\xE9"
            << QStringList{"张三", "李四", "王五", "caf\uFFFD"} << Encoding::Utf8 << QList<int>{4}
            << QList<int>{};
        QTest::newRow("a GBK line pasted into UTF-8")
            << QStringLiteral("张三\r\n李四\r\n王五\r\n").toUtf8() + gbk(QStringLiteral("赵六\r\n"))
            << QStringList{"张三", "李四", "王五", "赵六"} << Encoding::Utf8 << QList<int>{} << QList<int>{4};
        QTest::newRow("Cyrillic stays UTF-8")
            << QStringLiteral("Иван Петров\nАнна").toUtf8() << QStringList{"Иван Петров", "Анна"}
            << Encoding::Utf8 << QList<int>{} << QList<int>{};
        // Tabs, form feeds and the other control characters that do not end
        // a line become blanks, as in typed and pasted entries: an entry
        // always shows on one line, as the log writes it.
        QTest::newRow("control characters in UTF-8")
            << QStringLiteral(
                   "张三\t李四\r\n王五\u2028赵六\r\n钱七\u0085孙八\r\n周九\u2029吴十\x0b郑一\x01\x7f")
                   .toUtf8()
            << QStringList{QStringLiteral("张三 李四"), QStringLiteral("王五 赵六"),
                           QStringLiteral("钱七 孙八"), QStringLiteral("周九 吴十 郑一  ")}
            << Encoding::Utf8 << QList<int>{} << QList<int>{};
        QTest::newRow("control characters in GBK")
            << gbk(QStringLiteral("张三\t李四\r\n王五\x0c赵六\r\n\t"))
            << QStringList{QStringLiteral("张三 李四"), QStringLiteral("王五 赵六"), QStringLiteral(" ")}
            << Encoding::Gbk << QList<int>{} << QList<int>{};
        // A line read the other way starts a run of its own; its leading
        // U+FEFF is still a character of the line.
        QTest::newRow("a BOM character inside the file")
            << gbk(QStringLiteral("李四\r\n王五\r\n")) + QStringLiteral("\uFEFF张三").toUtf8()
            << QStringList{"李四", "王五", QStringLiteral("\uFEFF张三")} << Encoding::Gbk << QList<int>{}
            << QList<int>{3};
        // Even when what follows is GBK that UTF-8 reads as other letters.
        QTest::newRow("a BOM still decides")
            << QByteArray("\xEF\xBB\xBF") + gbk(QStringLiteral("郑伟")) << QStringList{"\u05A3\u03B0"}
            << Encoding::Utf8WithBom << QList<int>{} << QList<int>{};
    }
    void readsWhatTheOrganiserMeant()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QFETCH(Encoding, encoding);
        QFETCH(QList<int>, badLines);
        QFETCH(QList<int>, switchedLines);
        const ListFile::ReadResult r = ListFile::read(write(QStringLiteral("names.txt"), bytes));
        QVERIFY(r.ok);
        QCOMPARE(r.entries, entries);
        QCOMPARE(r.encoding, encoding);
        QCOMPARE(r.badLines, badLines);
        QCOMPARE(r.switchedLines, switchedLines);
    }

    void readingReport_data()
    {
        QTest::addColumn<bool>("closeCall");
        QTest::addColumn<QList<int>>("switchedLines");
        QTest::addColumn<QList<int>>("badLines");
        QTest::addColumn<QStringList>("says");
        QTest::newRow("nothing to say") << false << QList<int>{} << QList<int>{} << QStringList{};
        QTest::newRow("close call") << true << QList<int>{} << QList<int>{}
                                    << QStringList{QStringLiteral("已按 GBK 读入"), QStringLiteral("UTF-8")};
        QTest::newRow("lines read the other way") << false << QList<int>{2, 9} << QList<int>{}
                                                  << QStringList{QStringLiteral("第 2、9 行按 UTF-8 读入")};
        QTest::newRow("bad lines") << false << QList<int>{} << QList<int>{3}
                                   << QStringList{QStringLiteral("已用 � 代替（第 3 行）")};
        QTest::newRow("all three in one report")
            << true << QList<int>{1} << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}
            << QStringList{QStringLiteral("难以判断"), QStringLiteral("第 1 行按"),
                           QStringLiteral("第 1、2、3、4、5、6、7、8、9、10、… 行")};
    }
    void readingReport()
    {
        QFETCH(bool, closeCall);
        QFETCH(QList<int>, switchedLines);
        QFETCH(QList<int>, badLines);
        QFETCH(QStringList, says);
        ListFile::ReadResult r;
        r.ok = true;
        r.encoding = Encoding::Gbk;
        r.closeCall = closeCall;
        r.switchedLines = switchedLines;
        r.badLines = badLines;
        const QString report = ListFile::readingReport(r, QStringLiteral("名单.txt"));
        QCOMPARE(report.isEmpty(), says.isEmpty());
        for (const QString &part : says)
            QVERIFY2(report.contains(part), qPrintable(report));
        if (!report.isEmpty())
            QVERIFY(report.contains(QStringLiteral("名单.txt")));
    }

    void garbageNeverCrashes()
    {
        QByteArray bytes;
        for (int i = 0; i < 25000; ++i)
            bytes.append(char((i * 7919) % 256));
        const ListFile::ReadResult r = ListFile::read(write(QStringLiteral("garbage.txt"), bytes));
        QVERIFY(r.ok);
        for (const QString &e : r.entries)
            QVERIFY(!e.isEmpty());
    }

    void readsWholeFileWithProgress()
    {
        QByteArray bytes;
        while (bytes.size() < 25000 - 6)
            bytes.append("entry\n");
        bytes.append(QByteArray(25000 - bytes.size(), 'x'));
        QCOMPARE(bytes.size(), 25000);
        QList<qint64> seen;
        const ListFile::ReadResult r =
            ListFile::read(write(QStringLiteral("full.txt"), bytes), [&](qint64 done, qint64 total) {
                QCOMPARE(total, qint64(25000));
                seen.append(done);
            });
        QVERIFY(r.ok);
        QCOMPARE(r.size, qint64(25000));
        QVERIFY(seen.size() > 1);
        QCOMPARE(seen.last(), qint64(25000));
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    }

    void unreadableFilesYieldAnError_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("missing") << QStringLiteral("missing");
        QTest::newRow("directory") << QStringLiteral("directory");
        QTest::newRow("empty") << QStringLiteral("empty");
        QTest::newRow("grew past the limit") << QStringLiteral("large");
        QTest::newRow("unreadable") << QStringLiteral("unreadable");
    }
    void unreadableFilesYieldAnError()
    {
        QFETCH(QString, which);
        QString path;
        if (which == QLatin1String("missing"))
            path = m_dir.filePath(QStringLiteral("nope.txt"));
        else if (which == QLatin1String("directory"))
            path = m_dir.path();
        else if (which == QLatin1String("empty"))
            path = write(QStringLiteral("empty.txt"), QByteArray());
        else if (which == QLatin1String("unreadable")) {
            path = write(QStringLiteral("secret.txt"), QByteArray("a\n"));
            QFile::setPermissions(path, QFileDevice::WriteOwner);
            QFile probe(path);
            if (probe.open(QIODevice::ReadOnly))
                QSKIP("permissions do not stop this user (root)");
        } else
            path = write(QStringLiteral("large.txt"), QByteArray(25001, 'a'));
        const ListFile::ReadResult r = ListFile::read(path);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        QVERIFY(r.entries.isEmpty());
    }

    // The sample list files read the same on every system: the readings
    // were taken on Linux, and the Windows build checks against them under
    // Wine. On a difference the readings of this run are kept in the
    // temporary folder, to compare or to take as the new readings.
    void sampleFilesReadAsRecorded()
    {
        QFile recordedFile(QStringLiteral(":/list-readings.json"));
        QVERIFY(recordedFile.open(QIODevice::ReadOnly));
        // Compared as text, as written: some readings hold characters
        // (U+FFFF, lone surrogates) that do not parse back.
        const QByteArray recorded = recordedFile.readAll();
        const QStringList samples = QDir(QStringLiteral(":/samples")).entryList(QDir::Files, QDir::Name);
        QVERIFY(samples.size() >= 10);
        QJsonObject now;
        for (const QString &name : samples) {
            const QString copy = m_dir.filePath(name);
            QFile::remove(copy);
            QVERIFY(QFile::copy(QStringLiteral(":/samples/") + name, copy));
            const ListFile::ReadResult r = ListFile::read(copy);
            auto numbers = [](const QList<int> &list) {
                QJsonArray a;
                for (int n : list)
                    a.append(n);
                return a;
            };
            now.insert(name, QJsonObject{{QStringLiteral("ok"), r.ok},
                                         {QStringLiteral("error"), r.error},
                                         {QStringLiteral("size"), r.size},
                                         {QStringLiteral("encoding"), int(r.encoding)},
                                         {QStringLiteral("entries"), QJsonArray::fromStringList(r.entries)},
                                         {QStringLiteral("badLines"), numbers(r.badLines)},
                                         {QStringLiteral("switchedLines"), numbers(r.switchedLines)},
                                         {QStringLiteral("closeCall"), r.closeCall}});
        }
        if (QJsonDocument(now).toJson() != recorded) {
            QFile out(QDir::temp().filePath(QStringLiteral("list-readings.json")));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(QJsonDocument(now).toJson());
            QFAIL(qPrintable(QStringLiteral("the samples read differently; this run's readings: ") +
                             out.fileName()));
        }
    }
};

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_listfile.moc"
