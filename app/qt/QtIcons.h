// The program's icons, drawn at start: a round face for the window and the tray.
#pragma once

#include <QIcon>

QIcon MzAppIcon();
