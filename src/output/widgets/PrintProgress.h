#pragma once

#include "output/PagePrinter.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tessel {

// The window shown while pages go to the printer: the title as caption, the
// printer's message, the page being sent, a bar over copies x pages and a
// Cancel button that ends the job.
class TfrmPrintProgress : public QDialog, public IPrintProgress {
    Q_OBJECT
public:
    explicit TfrmPrintProgress(QWidget *parent = nullptr);

    void Start(const QString &caption, const QString &message, int steps, bool cancellable) override;
    void Step(const QString &pageText, int done) override;
    bool Cancelled() override;
    void Finish() override;

    QLabel *lblMessage, *lblPage;
    QProgressBar *pbPages;
    QPushButton *btnCancel;

private:
    bool m_cancelled = false;
};

} // namespace tessel
