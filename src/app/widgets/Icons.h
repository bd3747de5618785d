#pragma once

#include <QIcon>
#include <QString>

namespace tessel {

// Icons of the program in one drawn style; the desktop theme's icon is used
// where the theme has one of that name.
QIcon TesselIcon(const QString &name);
// The program's own icon (also the navigator's root image).
QIcon AppIcon();

} // namespace tessel
