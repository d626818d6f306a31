#include "UserFile.h"

#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#endif

namespace UserFile {

#ifdef Q_OS_WIN
namespace {

enum class WindowsName { File, Pipe, Device };

// Names that open a pipe or a device whatever folder they are in: the old
// DOS devices ("CON", "nul.txt", "COM1:"), and the device namespace
// ("\\.\pipe\x", "\\.\COM1"); a drive or a share through the long-path
// prefixes ("\\?\C:\…", "\\?\UNC\…") is a path like any other. They are
// refused before anything is opened: opening a serial port or connecting to a
// pipe is already doing something.
WindowsName windowsNameKind(const QString &nativePath)
{
    const QString all = nativePath.toUpper();
    if (all.startsWith(u"\\\\.\\") || all.startsWith(u"\\\\?\\")) {
        const QString rest = all.mid(4);
        if (rest.startsWith(u"PIPE\\"))
            return WindowsName::Pipe;
        const bool drive =
            rest.size() >= 3 && rest[0] >= u'A' && rest[0] <= u'Z' && rest[1] == u':' && rest[2] == u'\\';
        if (!drive && !rest.startsWith(u"UNC\\"))
            return WindowsName::Device;
    }
    QString name = all.mid(all.lastIndexOf(u'\\') + 1);
    const qsizetype stem = name.indexOf(QRegularExpression(QStringLiteral("[.:]")));
    if (stem >= 0)
        name.truncate(stem);
    while (name.endsWith(u' '))
        name.chop(1);
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|CONIN\\$|CONOUT\\$|(COM|LPT)[0-9¹²³])$"));
    return device.match(name).hasMatch() ? WindowsName::Device : WindowsName::File;
}

} // namespace
#endif

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
    const QString native = QDir::toNativeSeparators(path);
    switch (windowsNameKind(native)) {
    case WindowsName::Pipe:
        return fail(SystemError::describeFileKind(S_IFIFO));
    case WindowsName::Device:
        return fail(SystemError::describeFileKind(S_IFCHR));
    case WindowsName::File:
        break;
    }
    // Shared for deleting too, so that a save replacing the file is not
    // refused while it is being read. Folders open only with backup semantics,
    // which lets them be told apart from a missing read permission.
    const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail(SystemError::describeWindows(GetLastError()));
    unsigned kind = S_IFREG;
    switch (GetFileType(h)) {
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(h, &info)) {
            const DWORD err = GetLastError();
            CloseHandle(h);
            return fail(SystemError::describeWindows(err));
        }
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            kind = S_IFDIR;
        break;
    }
    case FILE_TYPE_PIPE:
        kind = S_IFIFO;
        break;
    case FILE_TYPE_CHAR:
        kind = S_IFCHR;
        break;
    default:
        kind = 0;
        break;
    }
    if (kind != S_IFREG) {
        CloseHandle(h);
        return fail(SystemError::describeFileKind(kind));
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return fail(SystemError::describe(EMFILE));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        return fail(SystemError::describe(EIO));
    }
    return true;
#endif
}

} // namespace UserFile
