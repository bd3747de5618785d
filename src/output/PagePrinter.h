#pragma once

#include "common/Errors.h"
#include "output/PageSetup.h"
#include "output/PageTemplate.h"

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QMargins>
#include <QRect>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class QPrinter;

namespace tessel {

// Raised by the page printer: settings changed while a job runs, a page
// outside the document, a cancelled or failed job.
class EPrinterError : public ETesselError {
public:
    using ETesselError::ETesselError;
};

// What the progress window shows while pages go to the printer.
class IPrintProgress {
public:
    virtual ~IPrintProgress() = default;
    // Caption, message line and the length of the bar (copies x pages).
    virtual void Start(const QString &caption, const QString &message, int steps, bool cancellable) = 0;
    virtual void Step(const QString &pageText, int done) = 0;
    // Whether the user cancelled; lets the window take its input first.
    virtual bool Cancelled() = 0;
    virtual void Finish() = 0;
};

// "Page 2", followed by " of 3" (the document's pages) when the range printed starts at page 1 and
// then by " x 2 Copies" when more than one copy is printed.
QString ProgressPageText(int page, bool fromFirstPage, int pageCount, int copies);
// The printer's own progress message, or "Sending Pages To Printer".
QString ProgressMessage(const QString &printerMessage);

// Zoom steps of the preview: 20 points up to 200 %, down to 10 %.
int ZoomInPercent(int percent);
int ZoomOutPercent(int percent);

// Tabs to blanks, stops every tabSize characters.
QString ExpandTabs(const QString &line, int tabSize);
// Splits a line into pieces no wider than width: at blanks where it can,
// inside a word that is wider on its own. An empty line stays one piece.
QStringList WrapLine(const QString &line, double width, const std::function<double(const QString &)> &measure);

// Where things go on a sheet, in the device's pixels with the origin at the
// sheet's corner.
struct TPageGeometry {
    int Dpi = 0;
    QRect Paper;
    QMargins Unprintable; // the device's own smallest margins
    QRect Printable;      // inside the page margins
};

// Lays printed material out on pages with margins, a header and a footer,
// and sends the pages to a printer (or any paged device: a PDF file, the
// preview) with a progress window. A document is composed first (BeginDoc,
// Draw, Lines, NewPage, EndDoc) for one device, as drawing steps in that
// device's pixels; printing and the preview replay them.
class TPagePrinter {
public:
    TPagePrinter();
    ~TPagePrinter();
    TPagePrinter(const TPagePrinter &) = delete;
    TPagePrinter &operator=(const TPagePrinter &) = delete;

    // Page settings. Margins, orientation, the file name and printing to a
    // file cannot change while a job runs.
    const TPageSetup &PageSetup() const { return m_setup; }
    // Every stored value at once (loading the stored setup).
    void SetPageSetup(const TPageSetup &s);
    int MeasureUnit() const { return m_setup.MeasureUnit; }
    void SetMeasureUnit(int unit) { m_setup.MeasureUnit = unit == muMillimeters ? muMillimeters : muInches; }
    double MarginTop() const { return m_setup.MarginTop; }
    double MarginBottom() const { return m_setup.MarginBottom; }
    double MarginLeft() const { return m_setup.MarginLeft; }
    double MarginRight() const { return m_setup.MarginRight; }
    void SetMarginTop(double v);
    void SetMarginBottom(double v);
    void SetMarginLeft(double v);
    void SetMarginRight(double v);
    int Orientation() const { return m_setup.Orientation; }
    void SetOrientation(int o);
    QString FriendlyHeader() const { return m_setup.FriendlyHeader; }
    QString FriendlyFooter() const { return m_setup.FriendlyFooter; }
    void SetFriendlyHeader(const QString &t) { m_setup.FriendlyHeader = t; }
    void SetFriendlyFooter(const QString &t) { m_setup.FriendlyFooter = t; }
    // What the experiment printout's table lists; kept with the page setup.
    int DataTable() const { return m_setup.DataTable; }
    void SetDataTable(int t) { m_setup.DataTable = t == ptParameters ? ptParameters : ptProperties; }
    // Where a job printed to a file goes.
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString &name);
    bool PrintToFile() const { return m_printToFile; }
    void SetPrintToFile(bool on);

    // The text font; header and footer follow it until given their own.
    QFont Font;
    QFont HeaderFont() const { return m_headerFont.value_or(Font); }
    QFont FooterFont() const { return m_footerFont.value_or(Font); }
    void SetHeaderFont(const QFont &f) { m_headerFont = f; }
    void SetFooterFont(const QFont &f) { m_footerFont = f; }

    QString Title;
    // Days since 30 Dec 1899; 0 means the moment the document began.
    double DocumentDate = 0, DocumentTime = 0;
    QString DocumentFileName;
    QLocale Locale;

    QStringList Lines;
    int TabSize = 8;
    int LineSpacing = 1;
    bool WordWrap = true;
    int Copies = 1;
    bool Collate = true;
    bool ShowProgress = true, ShowCancel = true;
    int ZoomPercent = 25;
    // Status text of the printer for the progress window; empty: the default.
    QString PrinterMessage;

    bool Printing() const { return m_printing; }

    // Composing. BeginDoc turns the device to the page orientation and the
    // whole sheet, and measures it; the device must stay until EndDoc.
    void BeginDoc(QPagedPaintDevice &device);
    const TPageGeometry &Geometry() const { return m_geometry; }
    // The current print position (top of what comes next), device pixels.
    int PrintY() const { return m_printY; }
    void SetPrintY(int y) { m_printY = y; }
    // A drawing step on the current page, in device pixels.
    void Draw(std::function<void(QPainter &)> step);
    void NewPage();
    // Prints Lines from the print position on, with tabs, line spacing and
    // word wrap, onto new pages as needed.
    void WriteLines();
    void EndDoc();
    int PageCount() const { return int(m_pages.size()); }
    // Raises "PageNumber must be between 1 and %i" outside the document.
    void CheckPage(int page) const;

    // Header and footer of a page, each part with its codes filled in.
    TTemplateParts HeaderText(int page) const;
    TTemplateParts FooterText(int page) const;
    // One page: its steps, then the header and the footer.
    void DrawPage(QPainter &p, int page) const;
    // Every page once, e.g. into the preview.
    void DrawAll(QPagedPaintDevice &device) const;

    // Sends pages fromPage .. toPage (0: from the first, to the last) to the
    // device, Copies times, collated or not, with the progress window
    // (ShowProgress). Cancelling ends the job with "Printing Cancelled".
    void Print(QPagedPaintDevice &device, IPrintProgress *progress = nullptr, int fromPage = 0, int toPage = 0);

    // A printer before its dialog: the page orientation, the whole sheet,
    // and the file when printing to one.
    void ApplyTo(QPrinter &printer) const;
    // After the dialog: copies, collation and orientation are the job's;
    // the printer itself is set to one copy, as the copies are sent here.
    void TakeFrom(QPrinter &printer);

private:
    struct TPage {
        std::vector<std::function<void(QPainter &)>> Steps;
        int FirstLine = 1;
    };
    void guard(const char *what) const;
    TTemplateValues values(int page) const;
    void drawBand(QPainter &p, const TTemplateParts &parts, const QFont &font, int top, int bottom) const;

    TPageSetup m_setup;
    QString m_fileName;
    bool m_printToFile = false;
    std::optional<QFont> m_headerFont, m_footerFont;
    bool m_printing = false;

    QPaintDevice *m_device = nullptr;
    TPageGeometry m_geometry;
    std::vector<TPage> m_pages;
    int m_printY = 0;
    int m_nextLine = 1;
    QDateTime m_began;
};

} // namespace tessel
