#include "RosterFile.h"

#include "XlsxSheet.h"

#include <QDir>
#include <QFileInfo>

namespace RosterFile {

Loaded load(const QString &path, int sheet)
{
    Loaded out;
    if (XlsxSheet::looksLikeZip(path)) {
        XlsxSheet::Sheet read = XlsxSheet::read(path, sheet);
        out.sheetNames = read.sheetNames;
        if (!read.ok) {
            out.error = read.error;
            return out;
        }
        out.how = QStringLiteral("工作表“%1”").arg(read.sheetNames.value(sheet));
        out.rows = std::move(read.rows);
        out.ok = true;
        return out;
    }
    Roster::TextTable read = Roster::readTextFile(path);
    if (!read.ok) {
        out.error = read.error;
        return out;
    }
    const QString delimiter = read.delimiter == u'\t'  ? QStringLiteral("制表符分隔")
                              : read.delimiter == u';' ? QStringLiteral("分号分隔")
                                                       : QStringLiteral("逗号分隔");
    out.how = read.encoding + QStringLiteral("，") + delimiter;
    out.rows = std::move(read.rows);
    out.ok = true;
    return out;
}

Check check(const QString &path, int sheet)
{
    Check out;
    const Loaded loaded = load(path, sheet);
    if (!loaded.ok) {
        out.error = loaded.error;
        return out;
    }
    const Roster::Mapping mapping = Roster::findMapping(loaded.rows);
    const Roster::Report report = Roster::analyse(loaded.rows, mapping);
    out.lines << QStringLiteral("文件: %1（%2）")
                     .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), loaded.how);
    out.lines << Roster::reportLines(report, mapping);
    if (mapping.headerRow < 0)
        out.error =
            QStringLiteral("找不到表头：前 %1 行中没有“姓名”“名字”或“Name”列").arg(Roster::HeaderSearchRows);
    else if (report.tooMany)
        out.error =
            QStringLiteral("名单有 %1 人，最多 %2 人").arg(report.people.size()).arg(Roster::MaxPeople);
    else if (report.people.isEmpty())
        out.error = QStringLiteral("名单中没有人");
    out.ok = out.error.isEmpty();
    return out;
}

} // namespace RosterFile
