#pragma once

#include <QFileSystemWatcher>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <optional>

// One running copy of the program per saved event: a lock file in the
// state folder, held for the whole run. A copy that was killed leaves a
// stale lock that the next start takes over (the holder's process is gone).
// A lock file whose holder cannot be shown to be a running copy of this
// program on this machine (written on another machine, unreadable, or its
// process number now another program's) is not obeyed blindly: the start
// reports it, and takes it over only when asked to.
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
        HeldByAnother, // a running copy on this machine holds it; holder.pid says which
        Doubtful, // a lock file is there, its holder not shown to be a running copy; holder.doubt says why
        Failed    // the lock could not be made; error says why
    };
    // Why a lock file's holder is not shown to be a running copy of this program on this machine.
    enum class Doubt {
        None,         // it is one (or there is no lock file)
        Unreadable,   // the file is empty or not a lock file's contents
        OtherMachine, // written on another machine (a copied folder, a shared disk)
        OtherProgram, // its process number belongs to another program now, or cannot be told
        Gone          // its process has ended, and the file is still there
    };
    struct Holder
    {
        qint64 pid = 0;
        QString host;    // the machine the lock file names
        QString program; // the program now running as pid here, when known
        Doubt doubt = Doubt::None;
    };
    Outcome lock(QString *error = nullptr, Holder *holder = nullptr);
    // After Doubtful, when the operator said so: removes the lock file and
    // takes the lock. A file that cannot be removed (a program on this
    // machine holds it open and locked) is reported as Failed.
    Outcome takeOver(QString *error = nullptr, Holder *holder = nullptr);
    QString lockPath() const;
    // The question put to the operator for a doubtful lock, naming its file.
    static QString takeOverQuestion(const QString &path, const Holder &holder);

    // The file name of the program running as pid on this machine; empty
    // when there is such a process but its program cannot be told, nullopt
    // when there is none.
    static std::optional<QString> programRunningAs(qint64 pid);

    // The second copy: asks the running one to come forward and waits up to
    // waitMs for it to take the request. False when it did not answer (the
    // request is taken back).
    bool askToComeForward(int waitMs);

Q_SIGNALS:
    // Another start asked this copy (which holds the lock) to come forward.
    void comeForwardAsked();

private:
    Holder judgeHolder() const;
    Outcome take(QString *error, Holder *holder);
    void lookForRequest();

    QString m_folder;
    QLockFile m_lock;
    QFileSystemWatcher m_watcher;
};
