#include "Gb18030.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

// The program's GB18030 codec. Where the system has a GB18030 codec of its
// own (Linux, through ICU) the two must agree on every character; the fixed
// rows hold everywhere, Windows and Wine included.
class TestGb18030 : public QObject
{
    Q_OBJECT

    static bool systemCodec() { return QStringDecoder("GB18030").isValid(); }
    static QString systemDecode(QByteArrayView bytes, bool *errors)
    {
        QStringDecoder d("GB18030", QStringConverter::Flag::Stateless);
        const QString text = d.decode(bytes);
        *errors = d.hasError();
        return text;
    }
    static QString hex(const QString &text)
    {
        QStringList out;
        for (char32_t c : text.toUcs4())
            out << QString::number(c, 16).toUpper();
        return out.join(u' ');
    }

private Q_SLOTS:
    void knownCodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("Ab 1\r\n") << QByteArray("Ab 1\r\n");
        QTest::newRow("中 (GB2312)") << QStringLiteral("中") << QByteArray::fromHex("d6d0");
        QTest::newRow("䶮 (rare name)") << QStringLiteral("䶮") << QByteArray::fromHex("fe9f");
        QTest::newRow("euro") << QStringLiteral("€") << QByteArray::fromHex("a2e3");
        QTest::newRow("U+0080, first four-byte")
            << QStringLiteral("\u0080") << QByteArray::fromHex("81308130");
        QTest::newRow("U+1E3F, swapped") << QStringLiteral("\u1E3F") << QByteArray::fromHex("a8bc");
        QTest::newRow("U+E7C7, swapped") << QStringLiteral("\uE7C7") << QByteArray::fromHex("8135f437");
        QTest::newRow("U+FFFF") << QStringLiteral("\uFFFF") << QByteArray::fromHex("8431a439");
        QTest::newRow("U+10000") << QString::fromUcs4(U"\U00010000") << QByteArray::fromHex("90308130");
        QTest::newRow("𠀀 U+20000") << QString::fromUcs4(U"\U00020000") << QByteArray::fromHex("95328236");
        QTest::newRow("U+10FFFF") << QString::fromUcs4(U"\U0010FFFF") << QByteArray::fromHex("e3329a35");
        QTest::newRow("BOM is a character") << QStringLiteral("\uFEFFa") << QByteArray::fromHex("8431953361");
    }
    void knownCodes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        bool ok = false;
        QCOMPARE(Gb18030::encode(text, &ok).toHex(), bytes.toHex());
        QVERIFY(ok);
        bool errors = true;
        QCOMPARE(Gb18030::decode(bytes, &errors), text);
        QVERIFY(!errors);
    }

    // Bytes that are no character: one U+FFFD each, and the byte after a
    // bad lead read afresh, as the system's decoder does; a character cut
    // off at the end is a U+FFFD too (the system's decoder drops it).
    void badBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reading");
        QTest::newRow("lone 80") << QByteArray::fromHex("418042") << QStringLiteral("A\uFFFDB");
        QTest::newRow("lone FF") << QByteArray::fromHex("ff") << QStringLiteral("\uFFFD");
        QTest::newRow("lead, blank") << QByteArray::fromHex("8120") << QStringLiteral("\uFFFD ");
        QTest::newRow("lead, DEL") << QByteArray::fromHex("817f") << QStringLiteral("\uFFFD\x7f");
        QTest::newRow("lead, FF") << QByteArray::fromHex("81ff41") << QStringLiteral("\uFFFDA");
        QTest::newRow("four-byte broken at 3")
            << QByteArray::fromHex("81304142") << QStringLiteral("\uFFFD0AB");
        QTest::newRow("four-byte broken at 4")
            << QByteArray::fromHex("8130812041") << QStringLiteral("\uFFFD0\uFFFD A");
        QTest::newRow("four-byte unassigned")
            << QByteArray::fromHex("8530813041") << QStringLiteral("\uFFFDA");
        QTest::newRow("past U+10FFFF") << QByteArray::fromHex("e3329a3641") << QStringLiteral("\uFFFDA");
        QTest::newRow("cut off lead") << QByteArray::fromHex("41d6") << QStringLiteral("A\uFFFD");
        QTest::newRow("cut off four-byte") << QByteArray::fromHex("41813081") << QStringLiteral("A\uFFFD");
    }
    void badBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reading);
        bool errors = false;
        QCOMPARE(hex(Gb18030::decode(bytes, &errors)), hex(reading));
        QVERIFY(errors);
    }

    void loneSurrogateIsRefused()
    {
        bool ok = true;
        const QString lone = QString(QChar(0xD800)) + u'a';
        QVERIFY(Gb18030::encode(lone, &ok).isEmpty());
        QVERIFY(!ok);
    }

    // Every BMP character and a sample beyond it encode as the system's codec
    // encodes them and decode back; every four-byte code of the BMP decodes
    // as the system decodes it.
    void agreesWithSystemCodec()
    {
        if (!systemCodec())
            QSKIP("no GB18030 codec of the system's here (Windows): the fixed rows cover it");
        int checked = 0;
        auto check = [&checked](char32_t c) {
            const QString text = QString::fromUcs4(&c, 1);
            QStringEncoder enc("GB18030");
            const QByteArray expected = enc.encode(text);
            bool ok = false;
            const QByteArray ours = Gb18030::encode(text, &ok);
            if (!ok || ours != expected || Gb18030::decode(ours) != text) {
                qWarning("U+%04X: ours %s, system %s", unsigned(c), ours.toHex().constData(),
                         expected.toHex().constData());
                return false;
            }
            ++checked;
            return true;
        };
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            if (c < 0xD800 || c > 0xDFFF)
                QVERIFY(check(c));
        }
        for (char32_t c = 0x10000; c <= 0x10FFFF; c += 97)
            QVERIFY(check(c));
        QVERIFY(check(0x10FFFF));
        QCOMPARE(checked, 63488 + (0x100000 + 96) / 97 + 1); // the BMP without surrogates, the sample

        QByteArray code(4, 0);
        for (int b1 = 0x81; b1 <= 0x84; ++b1)
            for (int b2 = 0x30; b2 <= 0x39; ++b2)
                for (int b3 = 0x81; b3 <= 0xFE; ++b3)
                    for (int b4 = 0x30; b4 <= 0x39; ++b4) {
                        code[0] = char(b1), code[1] = char(b2), code[2] = char(b3), code[3] = char(b4);
                        bool sysErrors = false, ourErrors = false;
                        const QString expected = systemDecode(code, &sysErrors);
                        const QString ours = Gb18030::decode(code, &ourErrors);
                        if (ours != expected || ourErrors != sysErrors)
                            QFAIL(qPrintable(
                                QStringLiteral("%1: ours %2, system %3")
                                    .arg(QString::fromLatin1(code.toHex()), hex(ours), hex(expected))));
                    }
    }

    // Random bytes read alike, ending on ASCII so that no character is cut
    // off at the end (where the system's decoder drops it).
    void randomBytesReadAlike()
    {
        if (!systemCodec())
            QSKIP("no GB18030 codec of the system's here (Windows)");
        QRandomGenerator rng(20);
        static const char pool[] =
            "\x30\x35\x39\x40\x7e\x7f\x80\x81\x84\x85\x90\xa1\xd6\xe3\xe4\xfe\xff\x20\x0a";
        for (int round = 0; round < 20000; ++round) {
            QByteArray bytes;
            const int n = int(rng.bounded(1, 12));
            for (int i = 0; i < n; ++i)
                bytes.append(rng.bounded(3) == 0 ? char(rng.bounded(256))
                                                 : pool[rng.bounded(int(sizeof pool - 1))]);
            bytes.append('A');
            bool sysErrors = false, ourErrors = false;
            const QString expected = systemDecode(bytes, &sysErrors);
            const QString ours = Gb18030::decode(bytes, &ourErrors);
            if (ours != expected || ourErrors != sysErrors)
                QFAIL(qPrintable(QStringLiteral("%1: ours %2, system %3")
                                     .arg(QString::fromLatin1(bytes.toHex()), hex(ours), hex(expected))));
        }
    }
};

QTEST_GUILESS_MAIN(TestGb18030)
#include "tst_gb18030.moc"
