#include "common/ActionGuard.h"

#include "common/Errors.h"
#include "common/Log.h"
#include "common/MessageService.h"

#include <exception>

namespace tessel {

namespace {
std::function<void()> &Recovery() {
    static std::function<void()> recover;
    return recover;
}

// The recovery itself talks to the link (a search for the instrument) and may
// fail again; that failure is logged only, or a dead line would loop.
bool g_recovering = false;

void Recover() {
    if (g_recovering || !Recovery())
        return;
    g_recovering = true;
    try {
        Recovery()();
    } catch (const std::exception &e) {
        WriteLog(QStringLiteral("Recovery after a failure failed: ") + QString::fromLocal8Bit(e.what()));
    }
    g_recovering = false;
}

void Report(const QString &logged, const QString &shown) {
    WriteLog(logged);
    try {
        Messages().error(shown);
    } catch (...) {
        // A message box that cannot be shown must not end the program either.
    }
}
} // namespace

bool RunGuarded(const std::function<void()> &action, const QString &message) {
    try {
        action();
        return true;
    } catch (const ETesselError &e) {
        Report(QStringLiteral("Failed: ") + e.message(), message.isEmpty() ? e.message() : message);
    } catch (const std::exception &e) {
        const QString what = QString::fromLocal8Bit(e.what());
        Report(QStringLiteral("Failed: ") + what, message.isEmpty() ? what : message);
    }
    Recover();
    return false;
}

std::function<void()> SetGuardRecovery(std::function<void()> recover) {
    return std::exchange(Recovery(), std::move(recover));
}

void ReportEscaped(const QString &what) {
    Report(QStringLiteral("Unhandled error: ") + what, what);
    Recover();
}

} // namespace tessel
