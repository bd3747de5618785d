#include "output/widgets/PrintProgress.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel {

TfrmPrintProgress::TfrmPrintProgress(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPrintProgress"));
    // Nothing else may be used while the job runs; Cancel stays reachable.
    setWindowModality(Qt::ApplicationModal);
    auto *l = new QVBoxLayout(this);
    lblMessage = new QLabel;
    lblPage = new QLabel;
    pbPages = new QProgressBar;
    pbPages->setMinimumWidth(280);
    btnCancel = new QPushButton(QStringLiteral("Cancel"));
    l->addWidget(lblMessage);
    l->addWidget(lblPage);
    l->addWidget(pbPages);
    l->addWidget(btnCancel, 0, Qt::AlignHCenter);
    connect(btnCancel, &QPushButton::clicked, this, [this] { m_cancelled = true; });
}

void TfrmPrintProgress::Start(const QString &caption, const QString &message, int steps, bool cancellable) {
    m_cancelled = false;
    setWindowTitle(caption);
    lblMessage->setText(message);
    lblPage->clear();
    pbPages->setRange(0, std::max(1, steps));
    pbPages->setValue(0);
    btnCancel->setVisible(cancellable);
    show();
    QCoreApplication::processEvents();
}

void TfrmPrintProgress::Step(const QString &pageText, int done) {
    lblPage->setText(pageText);
    pbPages->setValue(done);
    QCoreApplication::processEvents();
}

bool TfrmPrintProgress::Cancelled() {
    QCoreApplication::processEvents();
    return m_cancelled;
}

void TfrmPrintProgress::Finish() {
    pbPages->setValue(pbPages->maximum());
    hide();
}

} // namespace tessel
