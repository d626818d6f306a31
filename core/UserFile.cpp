#include "UserFile.h"

#include "SystemError.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace UserFile {

bool openForReading(QFile &file, const QString &path, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(SystemError::describe(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(SystemError::describe(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(SystemError::describeFileKind(st.st_mode));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(SystemError::describe(err));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(SystemError::describe(EIO));
    }
    return true;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return fail(SystemError::describe(ENOENT));
    if (info.isDir())
        return fail(SystemError::describe(EISDIR));
    if (!info.isFile())
        return fail(SystemError::describeFileKind(0));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(SystemError::describe(EACCES));
    return true;
#endif
}

} // namespace UserFile
