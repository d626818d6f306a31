#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The cells of one sheet of an .xlsx workbook as texts: shared and inline
// strings resolved, numbers as the workbook stores them (123, 4.5). The
// zip is read by Qt's own reader (QZipReader), the XML by QXmlStreamReader.
namespace XlsxSheet {

// Workbooks above this many bytes are refused before anything is read.
inline constexpr qint64 MaxFileBytes = 50 * 1024 * 1024;
// Parts (sheet, shared strings) that unpack to more than this are refused.
inline constexpr qint64 MaxPartBytes = 128 * 1024 * 1024;
// Sheets with more rows or columns are refused.
inline constexpr int MaxRows = 1000000;
inline constexpr int MaxColumns = 16384;

struct Sheet
{
    bool ok = false;
    QString error;          // why the workbook was refused, in Chinese
    QStringList sheetNames; // every sheet, in the workbook's order
    int sheet = 0;          // the sheet read
    // Row i of the list is the sheet's row i + 1; a row's cells start at column A.
    QList<QStringList> rows;
};

// Reads sheet (0: the first) of the workbook at path. The sheet names are
// filled in whenever the workbook could be opened, even when the sheet
// itself is refused.
Sheet read(const QString &path, int sheet = 0);

// The file starts as a zip does (an .xlsx workbook, whatever its name).
bool looksLikeZip(const QString &path);

} // namespace XlsxSheet
