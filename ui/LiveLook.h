#pragma once

#include <QString>

#include <array>
#include <optional>

// What the settings' confirmation gives the live-draw window to show: the
// event's lines, their fonts (unset: the design's) and the background.
struct LiveLook
{
    QString title;
    QString subtitle;
    QString picturePath;
    std::array<std::optional<QString>, 2> lineFontFace;
    std::array<std::optional<quint32>, 2> lineFontColor;
};
