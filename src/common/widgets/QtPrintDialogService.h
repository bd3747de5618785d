#pragma once

#include "common/PrintDialogService.h"

class QWidget;

namespace tessel {

// The desktop's print dialog; Print Setup is the same dialog without the
// page range, titled "Print Setup".
class QtPrintDialogService : public IPrintDialogService {
public:
    explicit QtPrintDialogService(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    bool print(QPrinter &printer) override;
    bool printerSetup(QPrinter &printer) override;

private:
    QWidget *m_parent;
};

} // namespace tessel
