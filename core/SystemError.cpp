#include "SystemError.h"

#include <cerrno>
#include <sys/stat.h>

namespace SystemError {

QString describe(int errnoValue, Access access)
{
    switch (errnoValue) {
    case 0:
        return QStringLiteral("原因不明");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("磁盘已满");
    case EACCES:
    case EPERM:
        return access == Access::Write ? QStringLiteral("没有写入权限") : QStringLiteral("没有读取权限");
    case EROFS:
        return QStringLiteral("磁盘是只读的，不能写入");
    case EISDIR:
        return QStringLiteral("是一个文件夹，不是文件");
    case ENOENT:
        return QStringLiteral("文件不存在");
    case ENOTDIR:
        return QStringLiteral("路径中的文件夹不存在");
    case ELOOP:
        return QStringLiteral("链接层层相套，找不到真正的文件");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EFBIG:
        return QStringLiteral("文件超过了系统允许的大小");
    case EIO:
        return QStringLiteral("读写磁盘时出错，磁盘可能已损坏或已拔出");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("同时打开的文件太多");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("不是普通文件");
    case EAGAIN:
#if defined(EWOULDBLOCK) && EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("文件正被占用，请稍后再试");
    case ENOMEM:
        return QStringLiteral("内存不足");
    case EINVAL:
        return QStringLiteral("这种文件不支持这样的操作");
    default:
        return QStringLiteral("系统错误（代码 %1）").arg(errnoValue);
    }
}

QString describeWindows(unsigned long code, Access access)
{
    switch (code) {
    case 0: // ERROR_SUCCESS
        return describe(0, access);
    case 2: // ERROR_FILE_NOT_FOUND
        return describe(ENOENT, access);
    case 3:   // ERROR_PATH_NOT_FOUND
    case 267: // ERROR_DIRECTORY
    case 53:  // ERROR_BAD_NETPATH
    case 67:  // ERROR_BAD_NET_NAME
        return describe(ENOTDIR, access);
    case 4: // ERROR_TOO_MANY_OPEN_FILES
        return describe(EMFILE, access);
    case 5:    // ERROR_ACCESS_DENIED
    case 1314: // ERROR_PRIVILEGE_NOT_HELD
        return describe(EACCES, access);
    case 8:  // ERROR_NOT_ENOUGH_MEMORY
    case 14: // ERROR_OUTOFMEMORY
        return describe(ENOMEM, access);
    case 19: // ERROR_WRITE_PROTECT
        return describe(EROFS, access);
    case 21:   // ERROR_NOT_READY
    case 23:   // ERROR_CRC
    case 29:   // ERROR_WRITE_FAULT
    case 30:   // ERROR_READ_FAULT
    case 31:   // ERROR_GEN_FAILURE
    case 1117: // ERROR_IO_DEVICE
    case 1167: // ERROR_DEVICE_NOT_CONNECTED
        return describe(EIO, access);
    case 32:   // ERROR_SHARING_VIOLATION
    case 33:   // ERROR_LOCK_VIOLATION
    case 1224: // ERROR_USER_MAPPED_FILE
        return describe(EBUSY, access);
    case 39:   // ERROR_HANDLE_DISK_FULL
    case 112:  // ERROR_DISK_FULL
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED
        return describe(ENOSPC, access);
    case 123: // ERROR_INVALID_NAME
        return QStringLiteral("文件名不合规定");
    case 206: // ERROR_FILENAME_EXCED_RANGE
        return describe(ENAMETOOLONG, access);
    case 223: // ERROR_FILE_TOO_LARGE
        return describe(EFBIG, access);
    case 1921: // ERROR_CANT_RESOLVE_FILENAME
        return describe(ELOOP, access);
    case 50: // ERROR_NOT_SUPPORTED
    case 87: // ERROR_INVALID_PARAMETER
        return describe(EINVAL, access);
    default:
        return QStringLiteral("系统错误（代码 %1）").arg(code);
    }
}

QString describeFileKind(unsigned mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG:
        return QString();
    case S_IFDIR:
        return QStringLiteral("是一个文件夹，不是文件");
    case S_IFIFO:
        return QStringLiteral("是一个管道，不是普通文件");
    case S_IFCHR:
    case S_IFBLK:
        return QStringLiteral("是一个设备，不是普通文件");
#ifdef S_IFSOCK
    case S_IFSOCK:
        return QStringLiteral("是一个套接字，不是普通文件");
#endif
    default:
        return QStringLiteral("不是普通文件");
    }
}

QString describe(QFileDevice::FileError error, int errnoValue, Access access)
{
    if (errnoValue != 0 && error != QFileDevice::NoError)
        return describe(errnoValue, access);
    switch (error) {
    case QFileDevice::NoError:
        return QString();
    case QFileDevice::ReadError:
        return QStringLiteral("读取文件时出错");
    case QFileDevice::WriteError:
        return QStringLiteral("写入文件时出错");
    case QFileDevice::OpenError:
        return access == Access::Write ? QStringLiteral("无法打开文件写入") : QStringLiteral("无法打开文件");
    case QFileDevice::ResourceError:
        return QStringLiteral("系统资源不足（磁盘已满或打开的文件太多）");
    case QFileDevice::AbortError:
        return QStringLiteral("操作被中止");
    case QFileDevice::TimeOutError:
        return QStringLiteral("操作超时");
    case QFileDevice::RemoveError:
        return QStringLiteral("无法删除文件");
    case QFileDevice::RenameError:
        return QStringLiteral("无法重命名文件");
    case QFileDevice::PositionError:
        return QStringLiteral("无法移到文件中的指定位置");
    case QFileDevice::ResizeError:
        return QStringLiteral("无法改变文件大小");
    case QFileDevice::PermissionsError:
        return QStringLiteral("无法更改文件权限");
    case QFileDevice::CopyError:
        return QStringLiteral("无法复制文件");
    case QFileDevice::FatalError:
    case QFileDevice::UnspecifiedError:
        break;
    }
    return QStringLiteral("原因不明");
}

} // namespace SystemError
