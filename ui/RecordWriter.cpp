#include "RecordWriter.h"

#include "InputBlocker.h"
#include "ResultLog.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>

#include <memory>

namespace {

struct RecordJob
{
    RecordJob(const ResultLog &l, const QString &t, const QString &r) : log(l), title(t), result(r) {}

    ResultLog log; // a copy: the worker never reaches back into the windows
    QString title;
    QString result;
    bool saved = false;
    QString error;
    QSemaphore done;
};

} // namespace

namespace RecordWriter {

bool append(const ResultLog &log, const QString &title, const QString &result, QString *error)
{
    auto job = std::make_shared<RecordJob>(log, title, result);
    QThreadPool::globalInstance()->start([job] {
        job->saved = job->log.AppendResultRecord(job->title, job->result, &job->error);
        job->done.release();
    });
    if (!job->done.tryAcquire(1, QuickWaitMs)) {
        const InputBlocker blocker;
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        QEventLoop loop;
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        poll.setInterval(5);
        bool settled = false;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (job->done.tryAcquire()) {
                settled = true;
                loop.quit();
            }
        });
        poll.start();
        loop.exec();
        QGuiApplication::restoreOverrideCursor();
        // The program is ending: the record still settles before anything
        // else happens to the pool (at most the log's lock wait).
        if (!settled)
            job->done.acquire();
    }
    if (error)
        *error = job->error;
    return job->saved;
}

} // namespace RecordWriter
