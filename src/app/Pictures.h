#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn at run time so the program carries no image files.

// The window and tray icon: a telephone handset on a blue disc.
QIcon AppIcon();
// The 14 × 14 floppy disk that confirms a save of the settings.
QPixmap FloppyPicture();
