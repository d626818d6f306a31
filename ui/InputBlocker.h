#pragma once

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QObject>
#include <QTimer>

#include <functional>

// Drops mouse and key input while the program waits for something slow (a
// picture being decoded, the result log held by another program): the
// windows repaint and their timers run, but no second click starts anything.
class InputBlocker final : public QObject
{
public:
    InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }
    Q_DISABLE_COPY_MOVE(InputBlocker)

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
        }
    }
};

// Runs the event loop under a busy cursor, input dropped, until ready() says
// so (asked every 5 ms). False when the loop ended before that because the
// program is ending.
inline bool waitWithInputHeld(const std::function<bool()> &ready)
{
    const InputBlocker blocker;
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(5);
    bool ended = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (ready()) {
            ended = true;
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    QGuiApplication::restoreOverrideCursor();
    return ended;
}
