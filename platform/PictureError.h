#pragma once

#include <QImageReader>
#include <QSize>
#include <QString>

// Why a picture could not be read, as a short Chinese sentence, never
// Qt's English text.
namespace PictureError {

// error: what the reader reported; announcedSize: the size the file's
// header announced (invalid when it could not be read); allocationLimitMb:
// the reader's allocation limit (0 for none). A picture whose pixels would
// not fit under the limit is reported as too large.
QString describe(QImageReader::ImageReaderError error, QSize announcedSize,
                 int allocationLimitMb = QImageReader::allocationLimit());

} // namespace PictureError
