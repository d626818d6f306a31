#include "ResultLog.h"

#include "Gb18030.h"
#include "SystemError.h"
#include "TextRepair.h"
#include "TextRules.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

ResultLog::ResultLog(QString fileName, Clock clock)
    : m_fileName(std::move(fileName)), m_clock(std::move(clock))
{
}

QString ResultLog::formatDateTime(const QDateTime &when)
{
    const QTime t = when.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) // the whole midnight second
        return when.date().toString(QStringLiteral("yyyy-MM-dd"));
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString ResultLog::recordText(const QString &title, const QString &result, const QDateTime &when)
{
    const QString crlf = QStringLiteral("\r\n");
    // A record is always four lines: a line break in the title or the result
    // would add lines that look like records of their own.
    return QStringLiteral("标题: ") + blankControlCharacters(title) + crlf + QStringLiteral("时间: ") +
           formatDateTime(when) + crlf + QStringLiteral("结果: ") + blankControlCharacters(result) + crlf +
           crlf;
}

QByteArray ResultLog::encodeRecord(const QString &title, const QString &result, const QDateTime &when)
{
    QString text = recordText(title, result, when);
    replaceLoneSurrogates(text); // written as U+FFFD rather than losing the record
    bool ok = false;
    QByteArray bytes = Gb18030::encode(text, &ok);
    return ok ? bytes : QByteArray();
}

#ifdef Q_OS_UNIX
namespace {

using SystemError::Access;

// How long a record waits for another copy of the program that is writing
// to the same log at that moment.
constexpr int LockWaitMs = 3000;
// Less free space than this counts as a full disk when the log is checked.
constexpr quint64 MinimumFreeBytes = 64 * 1024;

// Closes a descriptor on every way out, keeping errno for the caller.
struct Descriptor
{
    int fd = -1;
    Descriptor() = default;
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (fd >= 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
        }
    }
    int release()
    {
        const int out = fd;
        fd = -1;
        return out;
    }
};

// Why an existing name cannot be opened: a link that leads nowhere is not
// "file exists".
QString openFailure(const QByteArray &path, int err)
{
    struct stat st;
    if (err == EEXIST && ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        return QStringLiteral("它是一个链接，指向的文件不存在");
    return SystemError::describe(err, Access::Write);
}

// Opens the log for appending (and reading back its last byte), creating it
// when it is missing; tells whether this call created it. A name that is
// not a regular file (a pipe, a device, a folder) is refused before
// anything is written: the open is non-blocking so a pipe cannot hang it.
int openForAppend(const QByteArray &path, bool *created, QString *error)
{
    *created = false;
    int err = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        Descriptor d;
        d.fd = ::open(path.constData(), O_RDWR | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (d.fd < 0 && errno == EACCES)
            d.fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (d.fd < 0 && errno == ENOENT) {
            d.fd =
                ::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0644);
            if (d.fd < 0 && errno == EEXIST) {
                err = EEXIST; // appeared meanwhile, or a link that leads nowhere: look again
                continue;
            }
            *created = d.fd >= 0;
        }
        if (d.fd < 0) {
            *error = errno == EISDIR ? SystemError::describeFileKind(S_IFDIR) : openFailure(path, errno);
            return -1;
        }
        struct stat st;
        if (::fstat(d.fd, &st) != 0) {
            *error = SystemError::describe(errno, Access::Write);
            return -1;
        }
        if (!S_ISREG(st.st_mode)) {
            *error = SystemError::describeFileKind(st.st_mode);
            return -1;
        }
        const int flags = ::fcntl(d.fd, F_GETFL);
        if (flags < 0 || ::fcntl(d.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            *error = SystemError::describe(errno, Access::Write);
            return -1;
        }
        return d.release();
    }
    *error = openFailure(path, err);
    return -1;
}

// Holds the log's advisory lock so that checking its end, writing, taking a
// cut record back and syncing are one step for every copy of the program.
bool lockExclusive(int fd, QString *error)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            *error = QStringLiteral("无法锁定结果文件：") + SystemError::describe(errno, Access::Write);
            return false;
        }
        if (waited.elapsed() >= LockWaitMs) {
            *error = QStringLiteral("结果文件正被另一个程序占用，%1 秒内没有等到").arg(LockWaitMs / 1000);
            return false;
        }
        ::usleep(5000);
    }
}

// Opens the log and takes its lock. A log that another copy removed while
// this one waited for the lock (an empty file it had created) is opened anew.
bool openLocked(const QByteArray &path, Descriptor *log, bool *created, QString *error)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        Descriptor d;
        d.fd = openForAppend(path, created, error);
        if (d.fd < 0)
            return false;
        if (!lockExclusive(d.fd, error))
            return false;
        struct stat st;
        if (::fstat(d.fd, &st) != 0) {
            *error = SystemError::describe(errno, Access::Write);
            return false;
        }
        if (st.st_nlink > 0) {
            log->fd = d.release();
            return true;
        }
    }
    *error = SystemError::describe(EBUSY, Access::Write);
    return false;
}

// True when the file is empty or its last byte ends a line, so a record
// cut short by an earlier failure never runs into the next one.
bool endsOnFreshLine(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size == 0)
        return true;
    char last = 0;
    const ssize_t got = ::pread(fd, &last, 1, st.st_size - 1);
    if (got < 0 && errno == EBADF)
        return true; // opened write-only: cannot tell, assume the file is sound
    return got == 1 && last == '\n';
}

// Writes all of data, going on after a short write so that a failure
// reports its real cause. Returns the bytes written; errno is set when
// fewer than all were written.
qint64 writeAll(int fd, const QByteArray &data)
{
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return done;
        if (n == 0) {
            errno = ENOSPC;
            return done;
        }
        done += n;
    }
    return done;
}

// Best effort: the record itself is already on disk; a folder that cannot be
// synced (some file systems refuse) does not make the record unsaved.
void syncFolderOf(const QString &fileName)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(fileName).absolutePath());
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// A log this call created and could not write into is taken away again,
// so a failed first draw leaves no empty file behind. Best effort: an empty
// file that stays is harmless, and the failure is reported all the same.
void removeIfCreatedEmpty(int fd, const QByteArray &path, bool created)
{
    struct stat st;
    if (created && ::fstat(fd, &st) == 0 && st.st_size == 0)
        ::unlink(path.constData());
}

} // namespace
#endif

#ifdef Q_OS_WIN
namespace {

using SystemError::Access;

constexpr DWORD LockWaitMs = 3000;
constexpr quint64 MinimumFreeBytes = 64 * 1024;

QString lastError()
{
    return SystemError::describeWindows(GetLastError(), Access::Write);
}

// Closes the handle on every way out; a log this call created and left
// empty is deleted with it (delete-on-close, set while the lock is held).
struct Log
{
    HANDLE h = INVALID_HANDLE_VALUE;
    bool created = false;
    Log() = default;
    Log(const Log &) = delete;
    Log &operator=(const Log &) = delete;
    ~Log()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    void removeIfCreatedEmpty()
    {
        LARGE_INTEGER size;
        if (created && GetFileSizeEx(h, &size) && size.QuadPart == 0) {
            FILE_DISPOSITION_INFO gone{};
            gone.DeleteFile = TRUE;
            SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone);
        }
    }
};

// Opens the log for reading and appending, creating it when it is missing,
// and holds LockFileEx's exclusive lock on it (waiting up to 3 s for another
// copy of the program). A folder, a device or a pipe is refused.
bool openLocked(const QString &fileName, Log *log, QString *error)
{
    const std::wstring path = QDir::toNativeSeparators(fileName).toStdWString();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = SystemError::describeFileKind(0040000); // a folder
        return false;
    }
    log->h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log->h == INVALID_HANDLE_VALUE) {
        *error = lastError();
        return false;
    }
    log->created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (GetFileType(log->h) != FILE_TYPE_DISK) {
        *error = SystemError::describeFileKind(0010000); // a pipe or a device
        return false;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        OVERLAPPED whole{};
        if (LockFileEx(log->h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                       &whole))
            return true;
        if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
            *error = QStringLiteral("无法锁定结果文件：") + lastError();
            return false;
        }
        if (GetTickCount() - start >= LockWaitMs) {
            *error = QStringLiteral("结果文件正被另一个程序占用，%1 秒内没有等到").arg(LockWaitMs / 1000);
            return false;
        }
        Sleep(5);
    }
}

bool endsOnFreshLine(HANDLE h, qint64 size)
{
    if (size == 0)
        return true;
    char last = 0;
    DWORD got = 0;
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(size - 1) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(quint64(size - 1) >> 32);
    return ReadFile(h, &last, 1, &got, &at) && got == 1 && last == '\n';
}

} // namespace
#endif

QString ResultLog::folder() const
{
    return QDir::toNativeSeparators(QFileInfo(m_fileName).absolutePath());
}

bool ResultLog::AppendResultRecord(const QString &title, const QString &result, QString *error) const
{
    return AppendResultRecords({{title, result}}, error);
}

bool ResultLog::AppendResultRecords(const QList<Record> &records, QString *error) const
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    // The records go in with one write; the clock is read once, for the
    // records that bring no time of their own.
    QDateTime clock;
    QByteArray record;
    for (const Record &r : records) {
        if (!r.when.isValid() && !clock.isValid())
            clock = m_clock();
        const QByteArray one = encodeRecord(r.title, r.result, r.when.isValid() ? r.when : clock);
        if (one.isEmpty())
            return fail(QStringLiteral("结果无法转换成 GBK 文字"));
        record += one;
    }
    if (record.isEmpty())
        return true;

#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(m_fileName);
    bool created = false;
    QString why;
    Descriptor log;
    if (!openLocked(path, &log, &created, &why))
        return fail(why);
    // The lock is held from here until the descriptor closes.
    if (!endsOnFreshLine(log.fd))
        record.prepend("\r\n");
    const qint64 written = writeAll(log.fd, record);
    if (written != record.size()) {
        const int err = errno;
        // A cut-off record (disk full, file-size limit) is taken back; under
        // the lock nothing can have been appended after it.
        // Should that fail too, the next record still starts on a fresh line.
        QString why = SystemError::describe(err, Access::Write);
        if (written > 0) {
            const off_t end = ::lseek(log.fd, 0, SEEK_END);
            if (end < written || ::ftruncate(log.fd, end - written) != 0)
                why += QStringLiteral("；文件末尾留下了一条不完整的记录");
        }
        removeIfCreatedEmpty(log.fd, path, created);
        return fail(why);
    }
    if (::fdatasync(log.fd) != 0)
        return fail(SystemError::describe(errno, Access::Write));
    if (::close(log.release()) != 0)
        return fail(SystemError::describe(errno, Access::Write));
    if (created)
        syncFolderOf(m_fileName); // a new file's name must reach the disk too
    return true;
#else
    // The same steps under LockFileEx: the lock is held from the end check
    // through the write, the taking back of a cut record and the flush.
    Log log;
    QString why;
    if (!openLocked(m_fileName, &log, &why))
        return fail(why);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(log.h, &size))
        return fail(lastError());
    if (!endsOnFreshLine(log.h, size.QuadPart))
        record.prepend("\r\n");
    LARGE_INTEGER end;
    end.QuadPart = size.QuadPart;
    qint64 done = 0;
    DWORD lastCode = 0;
    while (done < record.size()) {
        DWORD wrote = 0;
        OVERLAPPED at{};
        const quint64 offset = quint64(size.QuadPart + done);
        at.Offset = DWORD(offset & 0xFFFFFFFFu);
        at.OffsetHigh = DWORD(offset >> 32);
        if (!WriteFile(log.h, record.constData() + done, DWORD(record.size() - done), &wrote, &at)) {
            lastCode = GetLastError();
            break;
        }
        if (wrote == 0) {
            lastCode = ERROR_DISK_FULL;
            break;
        }
        done += wrote;
    }
    if (done != record.size()) {
        QString why = SystemError::describeWindows(lastCode, Access::Write);
        // Under the lock nothing can follow the cut record: the file goes
        // back to the length it had.
        if (done > 0 && (!SetFilePointerEx(log.h, end, nullptr, FILE_BEGIN) || !SetEndOfFile(log.h)))
            why += QStringLiteral("；文件末尾留下了一条不完整的记录");
        log.removeIfCreatedEmpty();
        return fail(why);
    }
    if (!FlushFileBuffers(log.h))
        return fail(lastError());
    const HANDLE h = log.h;
    log.h = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h))
        return fail(lastError());
    return true;
#endif
}

bool ResultLog::checkAppendable(const QString &fileName, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(fileName);
    bool created = false;
    QString why;
    Descriptor log;
    if (!openLocked(path, &log, &created, &why))
        return fail(why);
    struct statvfs fs;
    const bool full = ::fstatvfs(log.fd, &fs) == 0 && quint64(fs.f_bavail) * fs.f_frsize < MinimumFreeBytes;
    removeIfCreatedEmpty(log.fd, path, created); // the check leaves nothing behind
    if (full)
        return fail(SystemError::describe(ENOSPC, Access::Write));
    return true;
#else
    Log log;
    QString why;
    if (!openLocked(fileName, &log, &why))
        return fail(why);
    ULARGE_INTEGER available;
    const std::wstring folder = QDir::toNativeSeparators(QFileInfo(fileName).absolutePath()).toStdWString();
    const bool full = GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) &&
                      available.QuadPart < MinimumFreeBytes;
    log.removeIfCreatedEmpty(); // the check leaves nothing behind
    if (full)
        return fail(SystemError::describeWindows(ERROR_DISK_FULL, Access::Write));
    return true;
#endif
}

bool ResultLog::takeBack(const QString &fileName, qint64 keptSize, qint64 end, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (keptSize < 0 || keptSize > end)
        return fail(QStringLiteral("要截去的位置不在文件中"));
    const QString changed = QStringLiteral("结果文件在读取之后又有了新的内容");
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(fileName);
    bool created = false;
    QString why;
    Descriptor log;
    if (!openLocked(path, &log, &created, &why))
        return fail(why);
    struct stat st;
    if (::fstat(log.fd, &st) != 0)
        return fail(SystemError::describe(errno, Access::Write));
    if (created || st.st_size != end) {
        removeIfCreatedEmpty(log.fd, path, created);
        return fail(changed);
    }
    if (::ftruncate(log.fd, off_t(keptSize)) != 0 || ::fdatasync(log.fd) != 0)
        return fail(SystemError::describe(errno, Access::Write));
    if (::close(log.release()) != 0)
        return fail(SystemError::describe(errno, Access::Write));
    return true;
#else
    Log log;
    QString why;
    if (!openLocked(fileName, &log, &why))
        return fail(why);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(log.h, &size))
        return fail(lastError());
    if (log.created || size.QuadPart != end) {
        log.removeIfCreatedEmpty();
        return fail(changed);
    }
    LARGE_INTEGER kept;
    kept.QuadPart = keptSize;
    if (!SetFilePointerEx(log.h, kept, nullptr, FILE_BEGIN) || !SetEndOfFile(log.h) ||
        !FlushFileBuffers(log.h))
        return fail(lastError());
    const HANDLE h = log.h;
    log.h = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h))
        return fail(lastError());
    return true;
#endif
}
