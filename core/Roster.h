#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// A roster: the organiser's spreadsheet of people (工号, 姓名, 部门), read
// from a table of cell texts (a CSV or text file here, a workbook's sheet
// through platform/XlsxSheet), with a report of what was found in it before
// anything changes. A person is a row: keyed by 工号 when the roster has
// one, so two people of the same name are two people.
namespace Roster {

// At most as many people as the candidate list holds.
inline constexpr int MaxPeople = 32767;
// Tables with more rows than this are refused without looking further.
inline constexpr int MaxRows = 1000000;
// CSV and text files above this many bytes are refused before reading.
inline constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
// Rows searched for the header.
inline constexpr int HeaderSearchRows = 20;

struct Person
{
    QString id; // 工号, empty when the roster has no such column
    QString name;
    QString dept;
    int row = 0; // 1-based row in the file or sheet

    bool operator==(const Person &) const = default;
};

// Rows of cell texts; row i of the list is the file's or sheet's row i + 1.
using Table = QList<QStringList>;

// Which row holds the header and which columns (0-based, -1: none) hold what.
struct Mapping
{
    int headerRow = -1; // 0-based index into the table
    int id = -1;
    int name = -1;
    int dept = -1;

    bool operator==(const Mapping &) const = default;
};

struct Duplicate
{
    QString id;
    QList<int> rows; // the first is kept
};

struct SameName
{
    QString name;
    QList<Person> people; // two or more, each with a 工号 of its own
};

struct Report
{
    int rowsRead = 0;      // rows below the header
    QList<int> blankRows;  // skipped: every cell empty
    QList<int> noNameRows; // skipped: something in the row, but no 姓名
    QList<Duplicate> duplicates;
    QList<SameName> sameNames;
    // 工号 all of digits but of different lengths: a spreadsheet may have
    // turned 00123 into 123. The lengths found, shortest first, with counts.
    QList<std::pair<int, int>> digitIdLengths;
    QList<int> shortDigitIdRows; // rows of the 工号 shorter than the longest
    QList<Person> people;        // the roster as it would be imported
    QString fingerprint;
    bool tooMany = false; // more than MaxPeople: refused

    bool suspectLeadingZeros() const { return digitIdLengths.size() > 1; }
};

// Decoded CSV or text file: the table and how it was read.
struct TextTable
{
    bool ok = false;
    QString error;    // why the file was refused, in Chinese
    QString encoding; // "UTF-8", "GBK", "UTF-16"
    QChar delimiter;  // ',', '\t' or ';'
    Table rows;
};

// Splits decoded text into records: fields separated by delimiter, quoted
// fields ("a,b", "say ""hi""", line ends inside) as a spreadsheet writes them.
Table parseDelimited(const QString &text, QChar delimiter);
// The delimiter (comma, tab or semicolon) that splits the first rows best.
QChar guessDelimiter(const QString &text);
// Decodes the bytes (byte-order mark, else UTF-8 or GBK as for list files)
// and splits them into a table.
TextTable readText(const QByteArray &bytes);
// Reads a .csv or .txt file whole; refuses files above MaxFileBytes.
TextTable readTextFile(const QString &path);

// The column a header cell names: the synonyms of 工号, 姓名 and 部门.
enum class Column { None, Id, Name, Dept };
Column columnNamed(const QString &headerCell);
// The first of the top rows that names a 姓名 column, and the columns it
// names; headerRow -1 when none does.
Mapping findMapping(const Table &table);
// Column letters as a spreadsheet shows them: 0 → A, 26 → AA.
QString columnLetter(int column);

// The people below the mapping's header row and what was found on the way.
Report analyse(const Table &table, const Mapping &mapping);
// The line a person is fingerprinted by: 工号, 姓名, 部门 joined by tabs.
QString identityLine(const Person &person);
// The first 12 hex digits of SHA-256 over the people's identity lines in
// order, each as UTF-8 followed by a line feed (Prizes::fingerprint of them).
QString fingerprint(const QList<Person> &people);

// The report, one fact a line, for the terminal and the import window.
QStringList reportLines(const Report &report, const Mapping &mapping);

// What the hall sees of a person, the organiser's choice; records always
// keep the full identity.
struct Look
{
    enum class Shown { Name, NameDept, IdName };
    Shown shown = Shown::Name;
    bool maskName = false; // 张伟 → 张*, 张小伟 → 张*伟, 欧阳小伟 → 欧**伟
    bool maskId = false;   // the last digits of 工号: XS1122 → XS1***

    bool operator==(const Look &) const = default;
};
QString maskedName(const QString &name);
QString maskedId(const QString &id);
// The texts the hall sees, one a person, no two alike: where the chosen
// texts collide the 部门 is added (张伟（销售部）), then the 工号 as shown,
// then the row.
QStringList displayTexts(const QList<Person> &people, const Look &look);
// The result line of a person in a record: the text the hall saw, then the
// full identity: "张伟（销售部） · XS1001 张伟 销售部".
QString recordText(const QString &shown, const Person &person);
// The result line of the import's record in the log.
QString importRecordText(const QString &fileName, qsizetype count, const QString &fingerprint);

// The roster an evening holds: its people, how the hall sees them and the
// file they came from. Its texts are the entries of the candidate list.
class Held
{
public:
    Held() = default;
    Held(QList<Person> people, const Look &look, QString fileName);

    const QList<Person> &people() const { return m_people; }
    const Look &look() const { return m_look; }
    const QString &fileName() const { return m_fileName; }
    const QStringList &texts() const { return m_texts; }
    QString fingerprint() const { return Roster::fingerprint(m_people); }
    // The person the hall sees as text, or none.
    const Person *shownAs(const QString &text) const;
    // The people of other joined after these, skipping 工号 already here;
    // skipped counts those left out.
    Held appended(const QList<Person> &other, int *skipped = nullptr) const;
    Held withLook(const Look &look) const { return Held(m_people, look, m_fileName); }

    QJsonObject toJson() const;
    // False for anything the program would not have written.
    static bool fromJson(const QJsonObject &o, Held *held);

    bool operator==(const Held &other) const
    {
        return m_people == other.m_people && m_look == other.m_look && m_fileName == other.m_fileName;
    }

private:
    QList<Person> m_people;
    Look m_look;
    QString m_fileName;
    QStringList m_texts;
    QHash<QString, qsizetype> m_byText;
};

} // namespace Roster
