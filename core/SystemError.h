#pragma once

#include <QFileDevice>
#include <QString>

// System failures told to the operator as short Chinese sentences, never as
// the system's English text.
namespace SystemError {

enum class Access { Read, Write };

// The sentence for an errno value; access tells a missing read permission
// from a missing write permission.
QString describe(int errnoValue, Access access = Access::Read);

// Why a path that exists is not a regular file ("是一个文件夹", "是一个管道，不是普通文件", …);
// mode is the st_mode of stat().
QString describeFileKind(unsigned mode);

// The sentence for a Windows error code (GetLastError()), the same
// sentences as for the matching errno values. Pure mapping, so it is tested
// on every system.
QString describeWindows(unsigned long code, Access access = Access::Read);

// A failed QFile operation: the errno it left says why when there is one;
// otherwise the kind of failure Qt reports ("读取文件时出错", …).
QString describe(QFileDevice::FileError error, int errnoValue, Access access = Access::Read);

} // namespace SystemError
