#pragma once

#include "ResultLog.h"

#include <QList>
#include <QString>

#include <functional>

// Writes a result's record (or checks the log can take one) without freezing the windows. The log's append
// (which waits up to 3 s for another program holding the log's lock, then
// syncs to disk) runs on a worker thread; meanwhile the event loop keeps
// running (windows repaint, timers tick) under a busy cursor, and mouse and
// key input is dropped. The call returns only once the record is settled, so
// records keep their order and what the screen shows is what was written.
namespace RecordWriter {

// How long the call waits on the worker before it starts running the event
// loop: a record that is quickly on disk never lets other events in.
inline constexpr int QuickWaitMs = 25;

// Runs work (which holds copies, never reaching back into the windows) on a
// worker thread and waits for it in the same way, blocking at most
// quickWaitMs before the windows paint again. Its result; error says why.
bool run(std::function<bool(QString *)> work, QString *error, int quickWaitMs = QuickWaitMs);
// True only when the whole record is safely stored; otherwise error says why.
bool append(const ResultLog &log, const QString &title, const QString &result, QString *error);
// A stop's several records, in order, as one append: all stored, or none.
bool appendAll(const ResultLog &log, const QList<ResultLog::Record> &records, QString *error);
// The check the settings' "确 定" makes (ResultLog::checkAppendable), waited for the same way.
bool checkAppendable(const QString &fileName, QString *error);

} // namespace RecordWriter
