#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

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

// The busy cursor over the operator's windows while the program waits. The
// audience's window (the property AudienceWindow set) never shows it: the
// hall sees nothing of the operator's.
class BusyCursor final
{
public:
    static inline const char *const AudienceWindow = "audienceWindow";

    BusyCursor()
    {
        ++s_depth;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && !w->property(AudienceWindow).toBool() &&
                !w->testAttribute(Qt::WA_SetCursor)) {
                w->setCursor(Qt::BusyCursor);
                m_windows.append(w);
            }
    }
    ~BusyCursor()
    {
        for (const QPointer<QWidget> &w : std::as_const(m_windows))
            if (w)
                w->unsetCursor();
        --s_depth;
    }
    Q_DISABLE_COPY_MOVE(BusyCursor)
    // A wait under the busy cursor is under way.
    static bool shown() { return s_depth > 0; }

private:
    QList<QPointer<QWidget>> m_windows;
    static inline int s_depth = 0;
};

// Runs the event loop under a busy cursor, input dropped, until ready() says
// so (asked every 5 ms). False when the loop ended before that because the
// program is ending.
inline bool waitWithInputHeld(const std::function<bool()> &ready)
{
    const InputBlocker blocker;
    const BusyCursor busy;
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
    return ended;
}
