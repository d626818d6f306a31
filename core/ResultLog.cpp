#include "ResultLog.h"

#include "TextRepair.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

ResultLog::ResultLog(QString fileName, Clock clock)
    : m_fileName(std::move(fileName)), m_clock(std::move(clock))
{
}

QString ResultLog::formatDateTime(const QDateTime &when)
{
    if (when.time() == QTime(0, 0))
        return when.date().toString(QStringLiteral("yyyy-MM-dd"));
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString ResultLog::recordText(const QString &title, const QString &result, const QDateTime &when)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("标题: ") + title + crlf + QStringLiteral("时间: ") + formatDateTime(when) + crlf +
           QStringLiteral("结果: ") + result + crlf + crlf;
}

QByteArray ResultLog::encodeRecord(const QString &title, const QString &result, const QDateTime &when)
{
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid())
        return QByteArray();
    QString text = recordText(title, result, when);
    replaceLoneSurrogates(text); // written as U+FFFD rather than losing the record
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return QByteArray();
    return bytes;
}

#ifdef Q_OS_UNIX
namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

// Opens for appending (and reading back the last byte); tells whether this
// call created the file.
int openForAppend(const QByteArray &path, bool *created)
{
    *created = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CLOEXEC);
        if (fd < 0 && errno == EACCES)
            fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            *created = true;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
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

} // namespace
#endif

bool ResultLog::AppendResultRecord(const QString &title, const QString &result, QString *error) const
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    QByteArray record = encodeRecord(title, result, m_clock());
    if (record.isEmpty())
        return fail(QStringLiteral("the record could not be encoded as GB18030"));

#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(m_fileName);
    bool created = false;
    const int fd = openForAppend(path, &created);
    if (fd < 0)
        return fail(systemError("open"));
    if (!endsOnFreshLine(fd))
        record.prepend("\r\n");
    ssize_t written;
    do {
        written = ::write(fd, record.constData(), size_t(record.size()));
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        const QString why = systemError("write");
        ::close(fd);
        return fail(why);
    }
    if (written != record.size()) {
        // A cut-off record (disk full, file-size limit) is taken back when
        // nothing was appended after it; otherwise the next record starts
        // on a fresh line anyway.
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        struct stat st;
        if (end >= written && ::fstat(fd, &st) == 0 && st.st_size == end)
            (void)::ftruncate(fd, end - written);
        ::close(fd);
        return fail(QStringLiteral("write: only %1 of %2 bytes written").arg(written).arg(record.size()));
    }
    if (::fdatasync(fd) != 0) {
        const QString why = systemError("fdatasync");
        ::close(fd);
        return fail(why);
    }
    if (::close(fd) != 0)
        return fail(systemError("close"));
    if (created) {
        // A new file's name must reach the disk too.
        const QByteArray dir = QFile::encodeName(QFileInfo(m_fileName).absolutePath());
        const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
    return true;
#else
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return fail(file.errorString());
    if (file.write(record) != record.size())
        return fail(file.errorString());
    if (!file.flush())
        return fail(file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return true;
#endif
}
