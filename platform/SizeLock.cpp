#include "SizeLock.h"

#include <QScreen>

#include <cmath>

int pixelsFromTwips(double twips, double twipsPerPixel)
{
    // The default floating-point rounding mode rounds halves to even.
    return int(std::nearbyint(twips / twipsPerPixel));
}

double SizeLock::twipsPerPixel(const QWidget *window)
{
    const QScreen *screen = window ? window->screen() : nullptr;
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

void SizeLock::LockWindowSize(QWidget *window)
{
    if (isLocked() || !window)
        return;
    LockedHwnd = window;
    const double tpp = twipsPerPixel(window);
    const QRect outer = window->frameGeometry();
    LockedHeight = pixelsFromTwips(outer.height() * tpp, tpp);
    LockedWidth = pixelsFromTwips(outer.width() * tpp, tpp);
    PrevWndProc = PreviousLimits{window->minimumSize(), window->maximumSize()};
    // The limits apply to the client area: take the frame off the outer size.
    const QSize frame = outer.size() - window->size();
    const QSize client(LockedWidth - frame.width(), LockedHeight - frame.height());
    window->setMinimumSize(client);
    window->setMaximumSize(client);
}

void SizeLock::UnlockWindowSize()
{
    if (!isLocked())
        return;
    if (LockedHwnd) {
        LockedHwnd->setMinimumSize(PrevWndProc->minimum);
        LockedHwnd->setMaximumSize(PrevWndProc->maximum);
    }
    PrevWndProc.reset();
}
