#include "Roster.h"

#include "ListFile.h"
#include "SystemError.h"
#include "TextRules.h"
#include "UserFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <cerrno>

namespace Roster {

namespace {

// A cell as the roster keeps it: on one line, without blanks at either end.
QString cleanCell(const QString &cell)
{
    QString text = cell;
    if (std::any_of(text.cbegin(), text.cend(), isControlCharacter))
        text = blankControlCharacters(text);
    return text.trimmed();
}

QString cellAt(const QStringList &row, int column)
{
    return column >= 0 && column < row.size() ? cleanCell(row.at(column)) : QString();
}

// "3、7、12": at most limit numbers, then an ellipsis.
QString rowNumbers(const QList<int> &rows, qsizetype limit = 20)
{
    QStringList out;
    for (int row : rows.mid(0, limit))
        out << QString::number(row);
    if (rows.size() > limit)
        out << QStringLiteral("…");
    return out.join(QStringLiteral("、"));
}

bool allDigits(const QString &text)
{
    return !text.isEmpty() &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

Table parseDelimited(const QString &text, QChar delimiter)
{
    Table table;
    QStringList row;
    QString field;
    bool quoted = false;     // inside a quoted field
    bool rowStarted = false; // something of the current record was read
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"' && field.isEmpty()) {
            quoted = true;
            rowStarted = true;
        } else if (c == delimiter) {
            row << field;
            field.clear();
            rowStarted = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            row << field;
            table << row;
            row.clear();
            field.clear();
            rowStarted = false;
        } else {
            field += c;
            rowStarted = true;
        }
    }
    if (rowStarted || !field.isEmpty()) {
        row << field;
        table << row;
    }
    return table;
}

QChar guessDelimiter(const QString &text)
{
    // The first rows are enough to tell, and the whole file may be large.
    const QString head = text.left(64 * 1024);
    QChar best = u',';
    int bestRows = -1;
    qsizetype bestFields = -1;
    for (QChar candidate : {QChar(u','), QChar(u'\t'), QChar(u';')}) {
        const Table rows = parseDelimited(head, candidate).mid(0, 50);
        int split = 0;
        qsizetype fields = 0;
        for (const QStringList &row : rows) {
            if (row.size() > 1)
                ++split;
            fields += row.size();
        }
        if (split > bestRows || (split == bestRows && fields > bestFields)) {
            best = candidate;
            bestRows = split;
            bestFields = fields;
        }
    }
    return best;
}

TextTable readText(const QByteArray &bytes)
{
    TextTable out;
    if (bytes.isEmpty()) {
        out.error = QStringLiteral("文件是空的");
        return out;
    }
    const ListFile::DecodedText decoded = ListFile::decode(bytes);
    switch (decoded.encoding) {
    case ListFile::Encoding::Utf8WithBom:
    case ListFile::Encoding::Utf8:
        out.encoding = QStringLiteral("UTF-8");
        break;
    case ListFile::Encoding::Utf16LE:
    case ListFile::Encoding::Utf16BE:
        out.encoding = QStringLiteral("UTF-16");
        break;
    case ListFile::Encoding::Gbk:
        out.encoding = QStringLiteral("GBK");
        break;
    }
    out.delimiter = guessDelimiter(decoded.text);
    out.rows = parseDelimited(decoded.text, out.delimiter);
    if (out.rows.size() > MaxRows) {
        out.rows.clear();
        out.error = QStringLiteral("文件超过 %1 行，不是一份名单").arg(MaxRows);
        return out;
    }
    out.ok = true;
    return out;
}

TextTable readTextFile(const QString &path)
{
    TextTable out;
    QFile file;
    if (!UserFile::openForReading(file, path, &out.error))
        return out;
    if (file.size() > MaxFileBytes) {
        out.error = QStringLiteral("文件大于 %1 MB，不是一份名单").arg(MaxFileBytes / (1024 * 1024));
        return out;
    }
    QByteArray bytes;
    constexpr qint64 chunk = 64 * 1024;
    for (;;) {
        QByteArray buffer(chunk, Qt::Uninitialized);
        errno = 0;
        const qint64 got = file.read(buffer.data(), chunk);
        if (got < 0) {
            out.error = SystemError::describe(file.error(), errno);
            return out;
        }
        if (got == 0)
            break;
        bytes.append(buffer.constData(), got);
        if (bytes.size() > MaxFileBytes) {
            out.error = QStringLiteral("文件在读入时超过了 %1 MB").arg(MaxFileBytes / (1024 * 1024));
            return out;
        }
    }
    return readText(bytes);
}

Column columnNamed(const QString &headerCell)
{
    QString key = cleanCell(headerCell).toCaseFolded();
    key.remove(u' ');
    key.remove(u'\u3000');
    static const QHash<QString, Column> names{
        {QStringLiteral("工号"), Column::Id},       {QStringLiteral("员工编号"), Column::Id},
        {QStringLiteral("员工工号"), Column::Id},   {QStringLiteral("编号"), Column::Id},
        {QStringLiteral("id"), Column::Id},         {QStringLiteral("姓名"), Column::Name},
        {QStringLiteral("名字"), Column::Name},     {QStringLiteral("员工姓名"), Column::Name},
        {QStringLiteral("name"), Column::Name},     {QStringLiteral("部门"), Column::Dept},
        {QStringLiteral("部门名称"), Column::Dept}, {QStringLiteral("所属部门"), Column::Dept},
        {QStringLiteral("dept"), Column::Dept},     {QStringLiteral("department"), Column::Dept},
    };
    return names.value(key, Column::None);
}

Mapping findMapping(const Table &table)
{
    const int rows = int(qMin<qsizetype>(table.size(), HeaderSearchRows));
    for (int r = 0; r < rows; ++r) {
        Mapping m;
        const QStringList &row = table.at(r);
        for (int c = 0; c < row.size(); ++c) {
            int *slot = nullptr;
            switch (columnNamed(row.at(c))) {
            case Column::Id:
                slot = &m.id;
                break;
            case Column::Name:
                slot = &m.name;
                break;
            case Column::Dept:
                slot = &m.dept;
                break;
            case Column::None:
                break;
            }
            if (slot && *slot < 0)
                *slot = c;
        }
        if (m.name >= 0) {
            m.headerRow = r;
            return m;
        }
    }
    return {};
}

QString columnLetter(int column)
{
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters;
}

Report analyse(const Table &table, const Mapping &mapping)
{
    Report report;
    if (mapping.headerRow < 0 || mapping.name < 0)
        return report;
    QHash<QString, int> firstRowOfId;      // 工号 → the row it was first seen on
    QHash<QString, qsizetype> duplicateOf; // 工号 → its entry in the duplicates
    for (qsizetype r = mapping.headerRow + 1; r < table.size(); ++r) {
        const QStringList &cells = table.at(r);
        const int rowNumber = int(r + 1);
        ++report.rowsRead;
        if (std::all_of(cells.cbegin(), cells.cend(),
                        [](const QString &c) { return cleanCell(c).isEmpty(); })) {
            report.blankRows << rowNumber;
            continue;
        }
        Person p{cellAt(cells, mapping.id), cellAt(cells, mapping.name), cellAt(cells, mapping.dept),
                 rowNumber};
        if (p.name.isEmpty()) {
            report.noNameRows << rowNumber;
            continue;
        }
        if (!p.id.isEmpty()) {
            const auto first = firstRowOfId.constFind(p.id);
            if (first != firstRowOfId.cend()) {
                auto dup = duplicateOf.constFind(p.id);
                if (dup == duplicateOf.cend()) {
                    dup = duplicateOf.insert(p.id, report.duplicates.size());
                    report.duplicates.append(Duplicate{p.id, {first.value()}});
                }
                report.duplicates[dup.value()].rows << rowNumber;
                continue;
            }
            firstRowOfId.insert(p.id, rowNumber);
        }
        report.people << p;
    }

    // The same 姓名 more than once: kept, each a person of their own.
    QHash<QString, QList<qsizetype>> byName;
    QStringList namesInOrder;
    for (qsizetype i = 0; i < report.people.size(); ++i) {
        auto &list = byName[report.people.at(i).name];
        if (list.isEmpty())
            namesInOrder << report.people.at(i).name;
        list << i;
    }
    for (const QString &name : namesInOrder) {
        const QList<qsizetype> &found = byName.value(name);
        if (found.size() < 2)
            continue;
        SameName same{name, {}};
        for (qsizetype i : found)
            same.people << report.people.at(i);
        report.sameNames << same;
    }

    // 工号 of digits only, of different lengths.
    QMap<int, int> lengths;
    for (const Person &p : std::as_const(report.people)) {
        if (allDigits(p.id))
            ++lengths[int(p.id.size())];
    }
    if (lengths.size() > 1) {
        for (auto it = lengths.cbegin(); it != lengths.cend(); ++it)
            report.digitIdLengths.append({it.key(), it.value()});
        const int longest = lengths.lastKey();
        for (const Person &p : std::as_const(report.people)) {
            if (allDigits(p.id) && p.id.size() < longest)
                report.shortDigitIdRows << p.row;
        }
    }

    report.tooMany = report.people.size() > MaxPeople;
    report.fingerprint = fingerprint(report.people);
    return report;
}

QString identityLine(const Person &person)
{
    return person.id + u'\t' + person.name + u'\t' + person.dept;
}

QString fingerprint(const QList<Person> &people)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const Person &p : people) {
        hash.addData(identityLine(p).toUtf8());
        hash.addData(QByteArrayView("\n"));
    }
    return QString::fromLatin1(hash.result().toHex().left(12));
}

QStringList reportLines(const Report &report, const Mapping &mapping)
{
    QStringList lines;
    if (mapping.headerRow < 0 || mapping.name < 0) {
        lines << QStringLiteral("表头: 未找到（前 %1 行中没有“姓名”“名字”或“Name”列）").arg(HeaderSearchRows);
        return lines;
    }
    QStringList columns;
    if (mapping.id >= 0)
        columns << QStringLiteral("工号 %1 列").arg(columnLetter(mapping.id));
    columns << QStringLiteral("姓名 %1 列").arg(columnLetter(mapping.name));
    if (mapping.dept >= 0)
        columns << QStringLiteral("部门 %1 列").arg(columnLetter(mapping.dept));
    lines << QStringLiteral("表头: 第 %1 行（%2）")
                 .arg(mapping.headerRow + 1)
                 .arg(columns.join(QStringLiteral("，")));
    lines << QStringLiteral("读入行数: %1").arg(report.rowsRead);
    lines << (report.blankRows.isEmpty() ? QStringLiteral("跳过空行: 0")
                                         : QStringLiteral("跳过空行: %1（第 %2 行）")
                                               .arg(report.blankRows.size())
                                               .arg(rowNumbers(report.blankRows)));
    if (!report.noNameRows.isEmpty())
        lines << QStringLiteral("跳过无姓名的行: %1（第 %2 行）")
                     .arg(report.noNameRows.size())
                     .arg(rowNumbers(report.noNameRows));
    if (report.duplicates.isEmpty())
        lines << QStringLiteral("重复工号: 0");
    for (const Duplicate &d : report.duplicates)
        lines << QStringLiteral("重复工号: %1 第 %2 行（保留第 %3 行）")
                     .arg(d.id, rowNumbers(d.rows, d.rows.size()))
                     .arg(d.rows.constFirst());
    if (report.sameNames.isEmpty())
        lines << QStringLiteral("同名: 0");
    for (const SameName &s : report.sameNames) {
        QStringList who;
        for (const Person &p : s.people) {
            const QString where = QStringLiteral("第 %1 行").arg(p.row);
            who << (p.id.isEmpty() ? where : QStringLiteral("%1（%2）").arg(p.id, where));
        }
        lines << QStringLiteral("同名: %1 — %2（都保留，各算一人）")
                     .arg(s.name, who.join(QStringLiteral("、")));
    }
    if (report.suspectLeadingZeros()) {
        QStringList counts;
        for (const auto &[length, count] : report.digitIdLengths)
            counts << QStringLiteral("%1 位 %2 人").arg(length).arg(count);
        lines << QStringLiteral(
                     "工号位数不一: 纯数字工号有 %1，可能被表格软件去掉了开头的 0（较短的在第 %2 行）")
                     .arg(counts.join(QStringLiteral("、")), rowNumbers(report.shortDigitIdRows));
    }
    if (report.tooMany)
        lines << QStringLiteral("人数超过上限: %1 人，最多 %2 人").arg(report.people.size()).arg(MaxPeople);
    lines << QStringLiteral("最终人数: %1").arg(report.people.size());
    lines << QStringLiteral("指纹: %1").arg(report.fingerprint);
    return lines;
}

QString maskedName(const QString &name)
{
    const QList<uint> chars = name.toUcs4();
    if (chars.size() < 2)
        return name;
    QString out = QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData()), 1);
    if (chars.size() == 2)
        return out + u'*';
    out += QString(chars.size() - 2, u'*');
    return out + QString::fromUcs4(reinterpret_cast<const char32_t *>(&chars.constLast()), 1);
}

QString maskedId(const QString &id)
{
    const qsizetype hidden = qMin<qsizetype>(3, id.size() / 2);
    return id.left(id.size() - hidden) + QString(hidden, u'*');
}

QStringList displayTexts(const QList<Person> &people, const Look &look)
{
    QStringList texts;
    texts.reserve(people.size());
    for (const Person &p : people) {
        const QString name = look.maskName ? maskedName(p.name) : p.name;
        const QString id = look.maskId ? maskedId(p.id) : p.id;
        switch (look.shown) {
        case Look::Shown::Name:
            texts << name;
            break;
        case Look::Shown::NameDept:
            texts << (p.dept.isEmpty() ? name : QStringLiteral("%1（%2）").arg(name, p.dept));
            break;
        case Look::Shown::IdName:
            texts << (id.isEmpty() ? name : id + u' ' + name);
            break;
        }
    }
    // Each pass sets apart the texts still alike with one more thing, where
    // that thing tells some of them apart.
    const auto extraFor = [&](int pass, qsizetype i) {
        const Person &p = people.at(i);
        if (pass == 0)
            return look.shown == Look::Shown::NameDept ? QString() : p.dept;
        if (pass == 1)
            return look.shown == Look::Shown::IdName ? QString() : (look.maskId ? maskedId(p.id) : p.id);
        return QStringLiteral("第 %1 行").arg(p.row);
    };
    for (int pass = 0; pass < 3; ++pass) {
        QHash<QString, QSet<QString>> extras; // text → the extras of the people showing it
        QHash<QString, int> seen;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            ++seen[texts.at(i)];
            extras[texts.at(i)].insert(extraFor(pass, i));
        }
        bool alike = false;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            if (seen.value(texts.at(i)) < 2)
                continue;
            alike = true;
            const QString extra = extraFor(pass, i);
            if (!extra.isEmpty() && extras.value(texts.at(i)).size() > 1)
                texts[i] += QStringLiteral("（%1）").arg(extra);
        }
        if (!alike)
            break;
    }
    return texts;
}

QString recordText(const QString &shown, const Person &person)
{
    QStringList identity;
    for (const QString &part : {person.id, person.name, person.dept}) {
        if (!part.isEmpty())
            identity << part;
    }
    return shown + QStringLiteral(" · ") + identity.join(u' ');
}

QString importRecordText(const QString &fileName, qsizetype count, const QString &fingerprint)
{
    return QStringLiteral("导入名单 %1 · %2 人 · 指纹 %3").arg(fileName).arg(count).arg(fingerprint);
}

Held::Held(QList<Person> people, const Look &look, QString fileName)
    : m_people(std::move(people)), m_look(look), m_fileName(std::move(fileName)),
      m_texts(displayTexts(m_people, m_look))
{
    m_byText.reserve(m_texts.size());
    for (qsizetype i = 0; i < m_texts.size(); ++i)
        m_byText.insert(m_texts.at(i), i);
}

const Person *Held::shownAs(const QString &text) const
{
    const auto found = m_byText.constFind(text);
    return found == m_byText.cend() ? nullptr : &m_people.at(found.value());
}

Held Held::appended(const QList<Person> &other, int *skipped) const
{
    QList<Person> people = m_people;
    QSet<QString> ids;
    for (const Person &p : m_people) {
        if (!p.id.isEmpty())
            ids.insert(p.id);
    }
    int left = 0;
    for (const Person &p : other) {
        if (!p.id.isEmpty() && ids.contains(p.id)) {
            ++left;
            continue;
        }
        people << p;
    }
    if (skipped)
        *skipped = left;
    return Held(people, m_look, m_fileName);
}

QJsonObject Held::toJson() const
{
    QJsonArray people;
    for (const Person &p : m_people)
        people.append(QJsonArray{p.id, p.name, p.dept, p.row});
    return QJsonObject{{QStringLiteral("file"), m_fileName},
                       {QStringLiteral("shown"), int(m_look.shown)},
                       {QStringLiteral("maskName"), m_look.maskName},
                       {QStringLiteral("maskId"), m_look.maskId},
                       {QStringLiteral("people"), people}};
}

bool Held::fromJson(const QJsonObject &o, Held *held)
{
    const QJsonValue file = o.value(QStringLiteral("file"));
    const QJsonValue shown = o.value(QStringLiteral("shown"));
    const QJsonValue maskName = o.value(QStringLiteral("maskName"));
    const QJsonValue maskId = o.value(QStringLiteral("maskId"));
    const QJsonValue people = o.value(QStringLiteral("people"));
    if (!file.isString() || !shown.isDouble() || !maskName.isBool() || !maskId.isBool() || !people.isArray())
        return false;
    const int shownValue = shown.toInt(-1);
    if (shownValue < int(Look::Shown::Name) || shownValue > int(Look::Shown::IdName) ||
        people.toArray().size() > MaxPeople)
        return false;
    QList<Person> list;
    for (const QJsonValue &v : people.toArray()) {
        const QJsonArray a = v.toArray();
        if (a.size() != 4 || !a.at(0).isString() || !a.at(1).isString() || !a.at(2).isString() ||
            !a.at(3).isDouble())
            return false;
        Person p{cleanCell(a.at(0).toString()), cleanCell(a.at(1).toString()), cleanCell(a.at(2).toString()),
                 a.at(3).toInt()};
        if (p.name.isEmpty() || p.id.size() > MaxEntryLength || p.name.size() > MaxEntryLength ||
            p.dept.size() > MaxEntryLength)
            return false;
        list << p;
    }
    *held = Held(list, Look{Look::Shown(shownValue), maskName.toBool(), maskId.toBool()}, file.toString());
    return true;
}

} // namespace Roster
