#include "XlsxSheet.h"

#include "UserFile.h"

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

#include <private/qzipreader_p.h>

#include <cmath>

namespace XlsxSheet {

namespace {

const QString Broken = QStringLiteral("工作簿已损坏或不是 .xlsx 格式：%1");

// A part's path inside the zip for a relationship target of the workbook.
QString partPath(const QString &target)
{
    if (target.startsWith(u'/'))
        return target.mid(1);
    return QStringLiteral("xl/") + target;
}

// The part's bytes, or an error when it is missing, too large or unreadable.
bool readPart(const QZipReader &zip, const QHash<QString, qint64> &sizes, const QString &name,
              QByteArray *out, QString *error, bool optional = false)
{
    const auto size = sizes.constFind(name);
    if (size == sizes.cend()) {
        if (!optional)
            *error = Broken.arg(QStringLiteral("缺少 %1").arg(name));
        return optional;
    }
    if (size.value() > MaxPartBytes) {
        *error = QStringLiteral("工作簿中的 %1 解压后超过 %2 MB，不读")
                     .arg(name)
                     .arg(MaxPartBytes / (1024 * 1024));
        return false;
    }
    *out = zip.fileData(name);
    if (out->isEmpty() && size.value() > 0) {
        *error = Broken.arg(QStringLiteral("无法解压 %1（可能已加密）").arg(name));
        return false;
    }
    if (out->size() > MaxPartBytes) {
        *error = QStringLiteral("工作簿中的 %1 解压后超过 %2 MB，不读")
                     .arg(name)
                     .arg(MaxPartBytes / (1024 * 1024));
        return false;
    }
    return true;
}

// The text of an <si> or <is> element: its <t> texts, without the
// phonetic runs (<rPh>).
QString richText(QXmlStreamReader &xml)
{
    const QString end = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"rPh")
                ++phonetic;
            else if (xml.name() == u"t" && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            if (xml.name() == u"rPh")
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return text;
}

// "B12" → column 1; -1 when the reference has no letters.
int columnOf(QStringView reference)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size() && reference.at(i).isLetter(); ++i) {
        const char16_t c = reference.at(i).toUpper().unicode();
        if (c < u'A' || c > u'Z')
            return -1;
        column = column * 26 + (c - u'A' + 1);
        if (column > MaxColumns)
            return MaxColumns;
    }
    return i == 0 ? -1 : column - 1;
}

// A number as a spreadsheet shows it in a plain cell: whole numbers
// without a decimal point or exponent.
QString numberText(const QString &stored)
{
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (ok && std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return stored;
}

} // namespace

bool looksLikeZip(const QString &path)
{
    QFile file;
    QString error;
    if (!UserFile::openForReading(file, path, &error))
        return false;
    return file.read(4) == QByteArrayLiteral("PK\x03\x04");
}

Sheet read(const QString &path, int sheet)
{
    Sheet out;
    out.sheet = sheet;
    QFile file;
    if (!UserFile::openForReading(file, path, &out.error))
        return out;
    if (file.size() > MaxFileBytes) {
        out.error = QStringLiteral("工作簿大于 %1 MB，不读").arg(MaxFileBytes / (1024 * 1024));
        return out;
    }
    const QByteArray magic = file.peek(8);
    if (magic.startsWith(QByteArrayLiteral("\xD0\xCF\x11\xE0"))) {
        out.error =
            QStringLiteral("工作簿已加密，或是旧的 .xls 格式：请另存为不加密的 .xlsx 或 CSV 后再导入");
        return out;
    }
    if (!magic.startsWith(QByteArrayLiteral("PK\x03\x04"))) {
        out.error = Broken.arg(QStringLiteral("文件开头不是 zip"));
        return out;
    }

    QZipReader zip(&file);
    if (zip.status() != QZipReader::NoError || !zip.isReadable()) {
        out.error = Broken.arg(QStringLiteral("无法读取 zip 目录"));
        return out;
    }
    QHash<QString, qint64> sizes;
    for (const QZipReader::FileInfo &info : zip.fileInfoList()) {
        if (info.isFile)
            sizes.insert(info.filePath, info.size);
    }
    if (sizes.isEmpty()) {
        out.error = Broken.arg(QStringLiteral("zip 中没有文件"));
        return out;
    }

    // The sheets in order, and where each one is.
    QByteArray bytes;
    if (!readPart(zip, sizes, QStringLiteral("xl/_rels/workbook.xml.rels"), &bytes, &out.error))
        return out;
    QHash<QString, QString> targets;
    {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"Relationship")
                targets.insert(xml.attributes().value(QLatin1StringView("Id")).toString(),
                               xml.attributes().value(QLatin1StringView("Target")).toString());
        }
        if (xml.hasError()) {
            out.error = Broken.arg(xml.errorString());
            return out;
        }
    }
    if (!readPart(zip, sizes, QStringLiteral("xl/workbook.xml"), &bytes, &out.error))
        return out;
    QStringList sheetParts;
    {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"sheet") {
                out.sheetNames << xml.attributes().value(QLatin1StringView("name")).toString();
                QString id;
                for (const QXmlStreamAttribute &a : xml.attributes()) {
                    if (a.name() == u"id")
                        id = a.value().toString();
                }
                sheetParts << partPath(targets.value(id));
            }
        }
        if (xml.hasError()) {
            out.error = Broken.arg(xml.errorString());
            return out;
        }
    }
    if (out.sheetNames.isEmpty()) {
        out.error = Broken.arg(QStringLiteral("没有工作表"));
        return out;
    }
    if (sheet < 0 || sheet >= sheetParts.size()) {
        out.error = QStringLiteral("工作簿只有 %1 个工作表").arg(sheetParts.size());
        return out;
    }

    QStringList shared;
    if (!readPart(zip, sizes, QStringLiteral("xl/sharedStrings.xml"), &bytes, &out.error, true))
        return out;
    if (sizes.contains(QStringLiteral("xl/sharedStrings.xml"))) {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"si")
                shared << richText(xml);
        }
        if (xml.hasError()) {
            out.error = Broken.arg(xml.errorString());
            return out;
        }
    }

    if (!readPart(zip, sizes, sheetParts.at(sheet), &bytes, &out.error))
        return out;
    QXmlStreamReader xml(bytes);
    int row = -1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"row") {
            bool ok = false;
            const int r = xml.attributes().value(QLatin1StringView("r")).toInt(&ok);
            row = ok && r > row + 1 ? r - 1 : row + 1;
            if (row >= MaxRows) {
                out.error = QStringLiteral("工作表超过 %1 行，不是一份名单").arg(MaxRows);
                out.rows.clear();
                return out;
            }
            continue;
        }
        if (xml.name() != u"c" || row < 0)
            continue;
        while (out.rows.size() <= row)
            out.rows.append(QStringList());
        QStringList &cells = out.rows[row];
        int column = columnOf(xml.attributes().value(QLatin1StringView("r")));
        if (column < 0)
            column = int(cells.size());
        if (column >= MaxColumns) {
            out.error = QStringLiteral("工作表超过 %1 列").arg(MaxColumns);
            out.rows.clear();
            return out;
        }
        const QString type = xml.attributes().value(QLatin1StringView("t")).toString();
        QString value;
        QString inlineText;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == u"c")
                break;
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"v")
                value = xml.readElementText();
            else if (xml.name() == u"is")
                inlineText = richText(xml);
        }
        QString text;
        if (type == u"s") {
            bool ok = false;
            const int index = value.toInt(&ok);
            if (!ok || index < 0 || index >= shared.size()) {
                out.error = Broken.arg(QStringLiteral("单元格 %1 引用了不存在的字符串").arg(value));
                out.rows.clear();
                return out;
            }
            text = shared.at(index);
        } else if (type == u"inlineStr") {
            text = inlineText;
        } else if (type == u"str" || type == u"e") {
            text = value;
        } else if (type == u"b") {
            text = value == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        } else {
            text = numberText(value);
        }
        while (cells.size() <= column)
            cells.append(QString());
        cells[column] = text;
    }
    if (xml.hasError()) {
        out.error = Broken.arg(xml.errorString());
        out.rows.clear();
        return out;
    }
    out.ok = true;
    return out;
}

} // namespace XlsxSheet
