#include "common/widgets/Application.h"

#include "common/ActionGuard.h"
#include "common/Errors.h"

#include <exception>

namespace tessel {

bool TApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const ETesselError &e) {
        ReportEscaped(e.message());
    } catch (const std::exception &e) {
        ReportEscaped(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace tessel
