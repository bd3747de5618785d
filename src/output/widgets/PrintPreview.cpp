#include "output/widgets/PrintPreview.h"

#include "output/PagePrinter.h"

#include <QAction>
#include <QPrintPreviewWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace tessel {

TfrmPreview::TfrmPreview(QPrinter *printer, int zoomPercent, QWidget *parent) : QWidget(parent), m_zoom(zoomPercent) {
    setObjectName(QStringLiteral("frmPreview"));
    setAutoFillBackground(true);
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    Bar = new QToolBar(QStringLiteral("Preview"));
    Bar->setObjectName(QStringLiteral("tbPreview"));
    Bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnZoomIn = Bar->addAction(QStringLiteral("Zoom &In"));
    btnZoomOut = Bar->addAction(QStringLiteral("Zoom &Out"));
    Bar->addSeparator();
    btnPrint = Bar->addAction(QStringLiteral("&Print"));
    btnClose = Bar->addAction(QStringLiteral("&Close"));
    Bar->addSeparator();
    // Every page shows one below the other; the page buttons have nothing to do.
    btnNextPage = Bar->addAction(QStringLiteral("&Next Page"));
    btnPrevPage = Bar->addAction(QStringLiteral("Pre&v Page"));
    l->addWidget(Bar);

    Pages = new QPrintPreviewWidget(printer, this);
    Pages->setZoomMode(QPrintPreviewWidget::CustomZoom);
    Pages->setZoomFactor(m_zoom / 100.0);
    l->addWidget(Pages, 1);

    connect(Pages, &QPrintPreviewWidget::paintRequested, this, &TfrmPreview::PaintRequested);
    connect(btnZoomIn, &QAction::triggered, this, [this] { SetZoomPercent(ZoomInPercent(m_zoom)); });
    connect(btnZoomOut, &QAction::triggered, this, [this] { SetZoomPercent(ZoomOutPercent(m_zoom)); });
    connect(btnPrint, &QAction::triggered, this, &TfrmPreview::PrintRequested);
    connect(btnClose, &QAction::triggered, this, &TfrmPreview::CloseRequested);
}

void TfrmPreview::SetZoomPercent(int percent) {
    m_zoom = percent;
    Pages->setZoomMode(QPrintPreviewWidget::CustomZoom);
    Pages->setZoomFactor(m_zoom / 100.0);
}

void TfrmPreview::UpdatePreview() { Pages->updatePreview(); }

} // namespace tessel
