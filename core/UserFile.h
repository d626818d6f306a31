#pragma once

#include <QString>

class QFile;

// Files the organiser picks (list files, pictures) are opened only when they
// are regular files, or links that lead to one. Opening never waits on a
// pipe or a device: the descriptor is opened non-blocking and checked before
// anything is read.
namespace UserFile {

// Opens path read-only into file. On failure returns false and error holds a
// Chinese sentence saying why ("是一个管道，不是普通文件", "文件不存在", …).
bool openForReading(QFile &file, const QString &path, QString *error);

} // namespace UserFile
