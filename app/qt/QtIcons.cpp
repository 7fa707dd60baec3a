#include "QtIcons.h"

#include <QString>

QIcon MzAppIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/mascot-%1.png").arg(size), QSize(size, size));
    return icon;
}
