#pragma once

#include <QString>
#include <functional>

namespace tessel {

// The one seam where a failure under a user action, a timer or a window event
// becomes a message: a port that fails raises, and nothing may cross the event
// loop (the program would end with the user's unsaved measurements).
//
// RunGuarded logs the failure, shows `message` (or, when empty, the error's own
// text) through the message service, then calls the recovery the main window
// installed, which puts the controls into the state that fits.
bool RunGuarded(const std::function<void()> &action, const QString &message = {});

// The action as a slot; the arguments of the signal (a checked state, a
// timer's private tag) are ignored.
template <typename F> auto Guarded(F action, QString message = {}) {
    return [action = std::move(action), message](auto &&...) { RunGuarded(action, message); };
}

// Installed by the main window; runs after every guarded failure. Returns the
// previous one.
std::function<void()> SetGuardRecovery(std::function<void()> recover);

// The last resort for what escaped every guard (the application's event
// delivery calls it): logged and shown, the program goes on.
void ReportEscaped(const QString &what);

} // namespace tessel
