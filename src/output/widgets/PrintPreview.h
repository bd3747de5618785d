#pragma once

#include <QWidget>

class QAction;
class QPrinter;
class QPrintPreviewWidget;
class QToolBar;

namespace tessel {

// The preview: its bar (zoom in and out, print, close, and the page buttons)
// above the pages as they will print. The owner draws the pages when
// PaintRequested asks and decides what Print and Close do.
class TfrmPreview : public QWidget {
    Q_OBJECT
public:
    TfrmPreview(QPrinter *printer, int zoomPercent, QWidget *parent = nullptr);

    int ZoomPercent() const { return m_zoom; }
    void SetZoomPercent(int percent);
    // Draws the pages anew.
    void UpdatePreview();

    QToolBar *Bar;
    QAction *btnZoomIn, *btnZoomOut, *btnPrint, *btnClose, *btnNextPage, *btnPrevPage;
    QPrintPreviewWidget *Pages;

signals:
    void PaintRequested(QPrinter *printer);
    void PrintRequested();
    void CloseRequested();

private:
    int m_zoom;
};

} // namespace tessel
