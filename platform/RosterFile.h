#pragma once

#include "Roster.h"

#include <QString>
#include <QStringList>

// A roster file read into a table of cells, whatever its kind: an .xlsx
// workbook (any file that starts as a zip) through XlsxSheet, anything else
// as CSV or text through Roster::readTextFile.
namespace RosterFile {

struct Loaded
{
    bool ok = false;
    QString error;          // why the file was refused, in Chinese
    QString how;            // how it was read: "GBK，逗号分隔", "工作表“名单”"
    QStringList sheetNames; // a workbook's sheets; empty for a text file
    Roster::Table rows;
};

Loaded load(const QString &path, int sheet = 0);

// The report of an import check: the file and how it was read, then the
// report's lines; or, for a file that cannot be imported, the reason (ok false).
struct Check
{
    bool ok = false;
    QStringList lines;
    QString error;
};
Check check(const QString &path, int sheet = 0);

} // namespace RosterFile
