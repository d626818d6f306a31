#pragma once

#include <QString>

// Replaces every surrogate that lacks its partner with U+FFFD: such a code
// unit is not a character and no encoder can write it. Returns whether any
// was replaced.
bool replaceLoneSurrogates(QString &text);
