#include "common/widgets/QtPrintDialogService.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace tessel {

bool QtPrintDialogService::print(QPrinter &printer) {
    QPrintDialog dlg(&printer, m_parent);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange);
    dlg.setOption(QAbstractPrintDialog::PrintCollateCopies);
    return dlg.exec() == QDialog::Accepted;
}

bool QtPrintDialogService::printerSetup(QPrinter &printer) {
    QPrintDialog dlg(&printer, m_parent);
    dlg.setWindowTitle(QStringLiteral("Print Setup"));
    dlg.setOptions(QAbstractPrintDialog::PrintToFile);
    // Choosing a printer prints nothing yet.
    if (auto *box = dlg.findChild<QDialogButtonBox *>())
        if (QPushButton *ok = box->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    return dlg.exec() == QDialog::Accepted;
}

} // namespace tessel
