#include "Roster.h"
#include "XlsxSheet.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The sample workbooks are written by tests/core/rosters/make_rosters.py.
class TestXlsxSheet : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush())
            qFatal("cannot write test file");
        return path;
    }

    QString sample(const QString &name)
    {
        QFile f(QStringLiteral(":/rosters/") + name);
        if (!f.open(QIODevice::ReadOnly))
            qFatal("no sample workbook");
        return write(name, f.readAll());
    }

private Q_SLOTS:
    void sheets_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("sheet");
        QTest::addColumn<QStringList>("sheetNames");
        QTest::addColumn<int>("headerRow"); // 1-based
        QTest::addColumn<int>("rowsRead");
        QTest::addColumn<QStringList>("people"); // identity lines
        QTest::addColumn<QStringList>("reportHas");

        const QStringList both{"名单", "备用"};
        QTest::newRow("shared strings, merged title row, numbers as 工号, dates")
            << "shared.xlsx" << 0 << both << 2 << 7
            << QStringList{"10001\t张伟\t销售部", "10002\t李娜\t研发部", "123\t王芳\t市场部",
                           "10004\t张伟\t研发部", "10006\tZoë Müller\t海外部"}
            << QStringList{"跳过空行: 1（第 6 行）", "重复工号: 10002 第 4、8 行（保留第 4 行）",
                           "同名: 张伟 — 10001（第 3 行）、10004（第 7 行）（都保留，各算一人）",
                           "工号位数不一: 纯数字工号有 3 位 1 人、5 位 4 人，可能被表格软件去掉了开头的 "
                           "0（较短的在第 5 "
                           "行）",
                           "最终人数: 5"};
        QTest::newRow("the second sheet")
            << "shared.xlsx" << 1 << both << 1 << 3
            << QStringList{"A-1\t赵一\t财务部", "A-2\t钱二\t财务部", "A-3\t孙三\t行政部"}
            << QStringList{"表头: 第 1 行（工号 A 列，姓名 B 列，部门 C 列）"};
        QTest::newRow("inline strings")
            << "inline.xlsx" << 0 << QStringList{"Sheet1"} << 1 << 2
            << QStringList{"XS1122\t方平\t研发部", "XS1123\t周晓\t销售部"} << QStringList{"最终人数: 2"};
    }
    void sheets()
    {
        QFETCH(QString, file);
        QFETCH(int, sheet);
        QFETCH(QStringList, sheetNames);
        QFETCH(int, headerRow);
        QFETCH(int, rowsRead);
        QFETCH(QStringList, people);
        QFETCH(QStringList, reportHas);

        const XlsxSheet::Sheet read = XlsxSheet::read(sample(file), sheet);
        QVERIFY2(read.ok, qPrintable(read.error));
        QCOMPARE(read.sheetNames, sheetNames);
        const Roster::Mapping mapping = Roster::findMapping(read.rows);
        QCOMPARE(mapping.headerRow + 1, headerRow);
        const Roster::Report report = Roster::analyse(read.rows, mapping);
        QCOMPARE(report.rowsRead, rowsRead);
        QStringList identities;
        for (const Roster::Person &p : report.people)
            identities << Roster::identityLine(p);
        QCOMPARE(identities, people);
        const QStringList lines = Roster::reportLines(report, mapping);
        for (const QString &line : reportHas)
            QVERIFY2(lines.contains(line), qPrintable(lines.join(u'\n')));
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: the shared sample
        QTest::addColumn<int>("sheet");
        QTest::addColumn<QString>("reason");
        QTest::newRow("encrypted") << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + QByteArray(512, '\0')
                                   << 0 << "工作簿已加密";
        QTest::newRow("not a zip") << QByteArray("工号,姓名\n1,张三\n") << 0 << "文件开头不是 zip";
        QTest::newRow("a broken zip")
            << QByteArray("PK\x03\x04") + QByteArray(300, 'x') << 0 << "工作簿已损坏";
        QTest::newRow("no such sheet") << QByteArray() << 2 << "工作簿只有 2 个工作表";
    }
    void refusals()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, sheet);
        QFETCH(QString, reason);
        const QString path = bytes.isEmpty() ? sample(QStringLiteral("shared.xlsx"))
                                             : write(QStringLiteral("refused.xlsx"), bytes);
        const XlsxSheet::Sheet read = XlsxSheet::read(path, sheet);
        QVERIFY(!read.ok);
        QVERIFY2(read.error.contains(reason), qPrintable(read.error));
        QVERIFY(read.rows.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestXlsxSheet)
#include "tst_xlsxsheet.moc"
