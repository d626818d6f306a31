#include "ScreenChoice.h"

namespace ScreenChoice {

Choice choose(const QList<Screen> &screens, const QString &remembered)
{
    Choice c;
    if (screens.isEmpty())
        return c;
    for (int i = 0; i < screens.size() && !remembered.isEmpty(); ++i)
        if (screens.at(i).name == remembered) {
            c.audience = i;
            break;
        }
    const auto area = [](const QRect &r) { return qint64(r.width()) * r.height(); };
    if (c.audience < 0) {
        for (int i = 0; i < screens.size(); ++i)
            if (!screens.at(i).primary &&
                (c.audience < 0 || area(screens.at(i).geometry) > area(screens.at(c.audience).geometry)))
                c.audience = i;
        if (c.audience < 0)
            c.audience = 0;
    }
    const QRect hall = screens.at(c.audience).geometry;
    const auto ownScreen = [&](int i) { return i != c.audience && !screens.at(i).geometry.intersects(hall); };
    for (int i = 0; i < screens.size() && c.console < 0; ++i)
        if (screens.at(i).primary && ownScreen(i))
            c.console = i;
    for (int i = 0; i < screens.size() && c.console < 0; ++i)
        if (ownScreen(i))
            c.console = i;
    return c;
}

} // namespace ScreenChoice
