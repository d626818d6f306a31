#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

#include <optional>

// Rounds a length in twips to whole pixels, an exact half going to the even
// neighbour (100.5 -> 100, 101.5 -> 102).
int pixelsFromTwips(double twips, double twipsPerPixel);

// Holds one window at the outer size it had when it was locked: it can then
// be made neither larger nor smaller. One lock at a time; a second lock is
// ignored, and unlocking gives the window back its earlier size limits.
class SizeLock
{
public:
    struct PreviousLimits
    {
        QSize minimum;
        QSize maximum;
    };

    // The locked window.
    QPointer<QWidget> LockedHwnd;
    // The size limits the window had before the lock; unset means no lock.
    std::optional<PreviousLimits> PrevWndProc;
    // Outer size in pixels at the moment of locking.
    int LockedWidth = 0;
    int LockedHeight = 0;

    void LockWindowSize(QWidget *window);
    void UnlockWindowSize();
    bool isLocked() const { return PrevWndProc.has_value(); }

    // Twips per pixel of the screen (15 at 96 dots per inch).
    static double twipsPerPixel(const QWidget *window);
};
