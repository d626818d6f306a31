#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

// Program-wide values shared by the windows. One instance lives for the whole
// run, owned by the window shell; every window reaches it through the shell.
struct Module1
{
    // The candidate count: the draw's range. Follows the master list through
    // the count rule of the data editing window; never read back from the list.
    qint32 CandidateCount = 0;
    // Position picked by the latest draw tick.
    qint32 DrawIndex = 0;
    // Repeat-draw choice: 0 repeated draws allowed, 1 one draw per confirmation.
    qint16 NoRepeatDraw = 0;
    // Winners leave the pool: each result's position is taken out of the
    // master list at the stop. Off unless the operator turns it on.
    bool WinnersLeave = false;
    // Records written to the result log since the last reset (a stop's
    // result; with a prize plan each winner, void and close), shown on the
    // result badge. Counts on past 32767 instead of overflowing.
    qint32 ResultCount = 0;
    // Font choices of the settings window, element 0 the title line and
    // element 1 the subtitle line; unset until that line's font button is used.
    std::array<std::optional<QString>, 2> LineFontFace;
    // Colours as 0xRRGGBB.
    std::array<std::optional<quint32>, 2> LineFontColor;
    // Sounds for the hall: on unless turned off (or muted on the live
    // window); the volume 0 .. 100; per sound (the roll, the stop, a prize
    // complete) the program's copy of the organiser's file, empty for the
    // program's own.
    bool SoundOn = true;
    int SoundVolume = 80;
    std::array<QString, 3> SoundFile;
};
