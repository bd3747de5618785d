#pragma once

#include <QPixmap>

namespace tessel {

// The picture shown while the program starts.
QPixmap SplashPicture();

} // namespace tessel
