#pragma once

#include <QApplication>

namespace tessel {

// The program's application object: an error that escaped every guard while an
// event was delivered is reported (ReportEscaped) instead of ending the program.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace tessel
