#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's own pictures, drawn at run time so the program carries no image files.

// The window and tray icon: a telephone handset on a blue disc.
QIcon AppIcon();
// The same picture at any size, without a running application (the installed icons).
QImage AppIconImage(int size);
// The 14 × 14 floppy disk that confirms a save of the settings.
QPixmap FloppyPicture();
