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

class ScopedPrintDialogService {
public:
    explicit ScopedPrintDialogService(IPrintDialogService *s) : m_prev(SetPrintDialogService(s)) {}
    ~ScopedPrintDialogService() { SetPrintDialogService(m_prev); }

private:
    IPrintDialogService *m_prev;
};

} // namespace tessel
