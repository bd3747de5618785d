#include "common/PrintDialogService.h"

namespace tessel {

namespace {
// Without a window system nobody can choose a printer: every dialog is cancelled.
class NoPrintDialogs : public IPrintDialogService {
public:
    bool print(QPrinter &) override { return false; }
    bool printerSetup(QPrinter &) override { return false; }
};
IPrintDialogService *&current() {
    static IPrintDialogService *s = nullptr;
    return s;
}
} // namespace

IPrintDialogService &PrintDialogs() {
    static NoPrintDialogs none;
    IPrintDialogService *s = current();
    return s ? *s : none;
}

IPrintDialogService *SetPrintDialogService(IPrintDialogService *service) {
    IPrintDialogService *prev = current();
    current() = service;
    return prev;
}

} // namespace tessel
