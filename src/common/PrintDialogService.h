#pragma once

#include <QString>
#include <functional>
#include <vector>

class QPrinter;

namespace tessel {

// The print and printer-setup dialogs, like the file dialogs, go through one
// service, so that the command line and the tests never open a window.
class IPrintDialogService {
public:
    virtual ~IPrintDialogService() = default;
    // Printer, copies and page range for a print job; false when cancelled.
    virtual bool print(QPrinter &printer) = 0;
    // Only the printer and its paper; false when cancelled.
    virtual bool printerSetup(QPrinter &printer) = 0;
};

IPrintDialogService &PrintDialogs();
IPrintDialogService *SetPrintDialogService(IPrintDialogService *service);

// Records each request; Answer decides it (none: cancelled) and may set the
// printer up as a user would, e.g. to print into a PDF file.
class RecordingPrintDialogService : public IPrintDialogService {
public:
    bool print(QPrinter &printer) override;
    bool printerSetup(QPrinter &printer) override;

    std::function<bool(QPrinter &)> Answer;
    std::vector<QString> requests; // "print" or "setup"
};

class ScopedPrintDialogService {
public:
    explicit ScopedPrintDialogService(IPrintDialogService *s) : m_prev(SetPrintDialogService(s)) {}
    ~ScopedPrintDialogService() { SetPrintDialogService(m_prev); }

private:
    IPrintDialogService *m_prev;
};

} // namespace tessel
