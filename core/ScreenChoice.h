#pragma once

#include <QList>
#include <QRect>
#include <QString>

// Which screen the hall watches and which the operator keeps, from the
// screens connected now and the organiser's remembered choice.
namespace ScreenChoice {

struct Screen
{
    QString name;
    QRect geometry;
    bool primary = false;
};

struct Choice
{
    int audience = -1; // the live-draw window's screen; -1 without screens
    int console = -1;  // the console's own screen; -1 when it shares the audience's
};

// The remembered screen when it is connected; otherwise the largest screen
// that is not the primary one (the operator's), the first of equals. The
// console takes the primary screen, or else the first one apart from the
// audience's; a screen that mirrors the audience's (overlapping it) is not
// one of its own.
Choice choose(const QList<Screen> &screens, const QString &remembered);

} // namespace ScreenChoice
