#pragma once

#include <QIcon>
#include <QString>

namespace tessel {

// Icons of the program: the desktop theme's icon of that name where the theme
// has one, else the program's own drawing (resources/icons, compiled in).
QIcon TesselIcon(const QString &name);
// The program ships a drawing of that name.
bool HasShippedIcon(const QString &name);
// The program's own icon (also the navigator's root image).
QIcon AppIcon();

} // namespace tessel
