#pragma once

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

} // namespace SystemError
