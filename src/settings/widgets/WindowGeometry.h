#pragma once

#include "settings/SettingsStore.h"

class QWidget;

namespace tessel {

// Reads a window's normal bounds, state and the screen size for its store.
WindowValues CaptureWindow(const QWidget *w, bool isMainForm);
// Moves (and, when stored, sizes) a window from its store. A position saved
// under another screen size, or one that lies off every screen now, is pulled
// back onto the screen the window would appear on. Returns the stored state.
int ApplyWindow(QWidget *w, const WindowValues &v, bool withSize);
QString CurrentScreenRes(const QWidget *w);
// Nothing stored yet: the window takes `share` of the available screen,
// centred, but never less than its current (designed) size where that fits.
void PlaceOnFirstStart(QWidget *w, double share);

} // namespace tessel
