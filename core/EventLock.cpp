#include "EventLock.h"

#include "SystemError.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <iterator>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

bool sameProgram(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}

} // namespace

EventLock::EventLock(QString folder, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_lock(QDir(m_folder).filePath(LockName))
{
    // The lock is held for hours: only a holder that is gone makes it stale.
    m_lock.setStaleLockTime(0);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &EventLock::lookForRequest);
}

EventLock::~EventLock() = default;

QString EventLock::lockPath() const
{
    return QDir(m_folder).filePath(LockName);
}

std::optional<QString> EventLock::programRunningAs(qint64 pid)
{
    if (pid <= 0)
        return std::nullopt;
#ifdef Q_OS_WIN
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_INVALID_PARAMETER ? std::nullopt : std::optional<QString>(QString());
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE) {
        CloseHandle(process);
        return std::nullopt;
    }
    wchar_t image[4096];
    DWORD length = DWORD(std::size(image));
    const bool named = QueryFullProcessImageNameW(process, 0, image, &length);
    CloseHandle(process);
    if (!named)
        return QString();
    return QFileInfo(QString::fromWCharArray(image, int(length))).fileName();
#else
    if (::kill(pid_t(pid), 0) == -1 && errno == ESRCH)
        return std::nullopt;
    const QByteArray proc = "/proc/" + QByteArray::number(pid);
    char target[4096];
    const QByteArray exe = proc + "/exe";
    const ssize_t length = ::readlink(exe.constData(), target, sizeof target);
    if (length > 0 && size_t(length) < sizeof target) {
        QByteArray path(target, length);
        if (path.endsWith(" (deleted)")) // replaced while it ran, by an update
            path.chop(10);
        return QFileInfo(QFile::decodeName(path)).fileName();
    }
    // Another user's process: its command line is still readable.
    QFile cmdline(QFile::decodeName(QByteArray(proc + "/cmdline")));
    if (!cmdline.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray arguments = cmdline.read(4096);
    if (arguments.isEmpty())
        return QString();
    return QFileInfo(QFile::decodeName(arguments.left(arguments.indexOf('\0')))).fileName();
#endif
}

EventLock::Holder EventLock::judgeHolder() const
{
    Holder holder;
    if (!QFileInfo::exists(lockPath()))
        return holder;
    QString app;
    if (!m_lock.getLockInfo(&holder.pid, &holder.host, &app)) {
        // A copy starting at this moment writes its details just after making the file.
        QThread::msleep(100);
        if (QFileInfo::exists(lockPath()) && !m_lock.getLockInfo(&holder.pid, &holder.host, &app)) {
            holder.doubt = Doubt::Unreadable;
            return holder;
        }
    }
    if (holder.host != QSysInfo::machineHostName()) {
        holder.doubt = Doubt::OtherMachine;
        return holder;
    }
    const std::optional<QString> program = programRunningAs(holder.pid);
    if (!program) {
        holder.doubt = Doubt::Gone;
        return holder;
    }
    holder.program = *program;
    const QString own = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (program->isEmpty() || !sameProgram(*program, own))
        holder.doubt = Doubt::OtherProgram;
    return holder;
}

EventLock::Outcome EventLock::lock(QString *error, Holder *holder)
{
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error = QStringLiteral("无法创建文件夹 %1").arg(QDir::toNativeSeparators(m_folder));
        return Outcome::Failed;
    }
    // Judged before the lock is tried: trying removes a lock file whose
    // process number belongs to another program, without a word.
    const Holder found = judgeHolder();
    if (found.doubt != Doubt::None && found.doubt != Doubt::Gone) {
        if (holder)
            *holder = found;
        return Outcome::Doubtful;
    }
    return take(error, holder);
}

EventLock::Outcome EventLock::takeOver(QString *error, Holder *holder)
{
    if (!m_lock.removeStaleLockFile() && QFileInfo::exists(lockPath())) {
        if (error)
            *error = QStringLiteral("无法接管锁文件 %1：本机上有程序正在使用它。")
                         .arg(QDir::toNativeSeparators(lockPath()));
        return Outcome::Failed;
    }
    return take(error, holder);
}

EventLock::Outcome EventLock::take(QString *error, Holder *holder)
{
    errno = 0;
    if (m_lock.tryLock(0)) {
        QFile::remove(QDir(m_folder).filePath(RequestName)); // left over from an earlier run
        if (!m_watcher.addPath(m_folder))
            qWarning("cannot watch the state folder for requests to come forward");
        return Outcome::Locked;
    }
    switch (m_lock.error()) {
    case QLockFile::LockFailedError: {
        const Holder found = judgeHolder();
        if (holder)
            *holder = found;
        return found.doubt == Doubt::None ? Outcome::HeldByAnother : Outcome::Doubtful;
    }
    case QLockFile::PermissionError:
        if (error)
            *error = SystemError::describe(EACCES, SystemError::Access::Write);
        return Outcome::Failed;
    case QLockFile::NoError:
    case QLockFile::UnknownError:
        break;
    }
    if (error)
        *error = SystemError::describe(errno != 0 ? errno : EIO, SystemError::Access::Write);
    return Outcome::Failed;
}

QString EventLock::takeOverQuestion(const QString &path, const Holder &holder)
{
    QString why;
    switch (holder.doubt) {
    case Doubt::Unreadable:
        why = QStringLiteral("锁文件是空的，或者内容无法识别。");
        break;
    case Doubt::OtherMachine:
        why =
            QStringLiteral("锁文件是另一台电脑（%1）上的进程 %2 留下的，可能是从那台电脑复制来的配置文件夹。")
                .arg(holder.host.isEmpty() ? QStringLiteral("未写名称") : holder.host)
                .arg(holder.pid);
        break;
    case Doubt::OtherProgram:
        why = holder.program.isEmpty()
                  ? QStringLiteral("锁文件记录的进程 %1 仍在运行，但无法确认它是星梭抽奖。").arg(holder.pid)
                  : QStringLiteral("锁文件记录的进程 %1 现在是另一个程序（%2），不是星梭抽奖。")
                        .arg(holder.pid)
                        .arg(holder.program);
        break;
    case Doubt::Gone:
        why = QStringLiteral("锁文件记录的进程 %1 已经结束，锁文件却没有删除。").arg(holder.pid);
        break;
    case Doubt::None:
        break;
    }
    return QStringLiteral("无法确认是否有星梭抽奖正在使用这个活动。锁文件：\r\n%1\r\n\r\n%2\r\n\r\n"
                          "确定没有别的星梭抽奖（包括其他电脑上的）在使用这个活动时，可以接管锁文件并启动；"
                          "否则请退出。")
        .arg(QDir::toNativeSeparators(path), why);
}

bool EventLock::askToComeForward(int waitMs)
{
    const QString path = QDir(m_folder).filePath(RequestName);
    QFile request(path);
    if (!request.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        request.write(QByteArray::number(QCoreApplication::applicationPid())) < 0 || !request.flush())
        return false;
    request.close();
    const QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        if (!QFile::exists(path))
            return true; // the running copy took it
        QThread::msleep(20);
    }
    QFile::remove(path);
    return false;
}

void EventLock::lookForRequest()
{
    const QString path = QDir(m_folder).filePath(RequestName);
    if (!QFile::exists(path))
        return;
    QFile::remove(path);
    Q_EMIT comeForwardAsked();
}
