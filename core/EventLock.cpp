#include "EventLock.h"

#include "SystemError.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cerrno>

EventLock::EventLock(QString folder, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_lock(QDir(m_folder).filePath(LockName))
{
    // The lock is held for hours: only a holder that is gone makes it stale.
    m_lock.setStaleLockTime(0);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &EventLock::lookForRequest);
}

EventLock::~EventLock() = default;

EventLock::Outcome EventLock::lock(QString *error, qint64 *holderPid)
{
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error = QStringLiteral("无法创建文件夹 %1").arg(QDir::toNativeSeparators(m_folder));
        return Outcome::Failed;
    }
    errno = 0;
    if (m_lock.tryLock(0)) {
        QFile::remove(QDir(m_folder).filePath(RequestName)); // left over from an earlier run
        if (!m_watcher.addPath(m_folder))
            qWarning("cannot watch the state folder for requests to come forward");
        return Outcome::Locked;
    }
    switch (m_lock.error()) {
    case QLockFile::LockFailedError: {
        qint64 pid = 0;
        QString host, app;
        if (m_lock.getLockInfo(&pid, &host, &app) && holderPid)
            *holderPid = pid;
        return Outcome::HeldByAnother;
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
