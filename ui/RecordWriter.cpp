#include "RecordWriter.h"

#include "InputBlocker.h"
#include "ResultLog.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// One piece of work on the log, run on a worker thread.
struct LogJob
{
    explicit LogJob(std::function<bool(QString *)> w) : work(std::move(w)) {}

    std::function<bool(QString *)> work; // holds copies: it never reaches back into the windows
    bool ok = false;
    QString error;
    QSemaphore done;
};

} // namespace

namespace RecordWriter {

bool run(std::function<bool(QString *)> work, QString *error, int quickWaitMs)
{
    auto job = std::make_shared<LogJob>(std::move(work));
    QThreadPool::globalInstance()->start([job] {
        job->ok = job->work(&job->error);
        job->done.release();
    });
    if (!job->done.tryAcquire(1, quickWaitMs)) {
        const bool settled = waitWithInputHeld([&job] { return job->done.tryAcquire(); });
        // The program is ending: the work still settles before anything
        // else happens (at most the log's lock wait).
        if (!settled)
            job->done.acquire();
    }
    if (error)
        *error = job->error;
    return job->ok;
}

bool append(const ResultLog &log, const QString &title, const QString &result, QString *error)
{
    return run([log, title, result](QString *why) { return log.AppendResultRecord(title, result, why); },
               error);
}

bool appendAll(const ResultLog &log, const QList<ResultLog::Record> &records, QString *error)
{
    return run([log, records](QString *why) { return log.AppendResultRecords(records, why); }, error);
}

bool checkAppendable(const QString &fileName, QString *error)
{
    return run([fileName](QString *why) { return ResultLog::checkAppendable(fileName, why); }, error);
}

} // namespace RecordWriter
