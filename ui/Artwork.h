#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn rather than loaded from files.
namespace Artwork {

// 308 x 215: the about window's background.
QPixmap aboutBackground();
// 60 x 60: the about window's link picture.
QPixmap linkPicture();
// The windows' icon, in several sizes.
QIcon windowIcon();
// One size of the icon, for writing the icon files of an installation.
QImage iconImage(int size);

} // namespace Artwork
