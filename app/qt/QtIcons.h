// The program's icon for the window and the tray: the PNG files of resources/icons, built in.
#pragma once

#include <QIcon>

QIcon MzAppIcon();
