#pragma once

#include <QFileSystemWatcher>
#include <QLockFile>
#include <QObject>
#include <QString>

// One running copy of the program per saved event: a lock file in the
// state folder, held for the whole run. A copy that was killed leaves a
// stale lock that the next start takes over (the holder's process is gone).
// A second start asks the running copy to bring its window forward by
// dropping a request file into the same folder, which the running copy
// watches and removes when it has seen it.
class EventLock : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventLock)

public:
    static inline const QString LockName = QStringLiteral("running.lock");
    static inline const QString RequestName = QStringLiteral("come-forward.request");

    explicit EventLock(QString folder, QObject *parent = nullptr);
    ~EventLock() override;

    enum class Outcome {
        Locked,        // this copy holds the event
        HeldByAnother, // another running copy holds it; holderPid says which
        Failed         // the lock could not be made; error says why
    };
    Outcome lock(QString *error = nullptr, qint64 *holderPid = nullptr);

    // The second copy: asks the running one to come forward and waits up to
    // waitMs for it to take the request. False when it did not answer (the
    // request is taken back).
    bool askToComeForward(int waitMs);

Q_SIGNALS:
    // Another start asked this copy (which holds the lock) to come forward.
    void comeForwardAsked();

private:
    void lookForRequest();

    QString m_folder;
    QLockFile m_lock;
    QFileSystemWatcher m_watcher;
};
