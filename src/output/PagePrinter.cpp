#include "output/PagePrinter.h"

#include "common/Finally.h"
#include "data/ExperimentFile.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

namespace tessel {

QString ProgressPageText(int page, bool fromFirstPage, int pageCount, int copies) {
    QString s = QStringLiteral("Page ") + QString::number(page);
    if (fromFirstPage) {
        s += QStringLiteral(" of ") + QString::number(pageCount);
        if (copies > 1)
            s += QStringLiteral(" x ") + QString::number(copies) + QStringLiteral(" Copies");
    }
    return s;
}

QString ProgressMessage(const QString &printerMessage) {
    return printerMessage.isEmpty() ? QStringLiteral("Sending Pages To Printer") : printerMessage;
}

int ZoomInPercent(int percent) { return std::min(200, percent + 20); }
int ZoomOutPercent(int percent) { return std::max(10, percent - 20); }

QString ExpandTabs(const QString &line, int tabSize) {
    const int stop = std::max(1, tabSize);
    QString out;
    out.reserve(line.size());
    for (const QChar c : line) {
        if (c == QLatin1Char('\t'))
            out += QString(stop - out.size() % stop, QLatin1Char(' '));
        else
            out += c;
    }
    return out;
}

QStringList WrapLine(const QString &line, double width, const std::function<double(const QString &)> &measure) {
    QStringList out;
    QString rest = line;
    while (measure(rest) > width && rest.size() > 1) {
        // The longest head that fits, at least one character.
        qsizetype fit = 1;
        while (fit < rest.size() && measure(rest.left(fit + 1)) <= width)
            ++fit;
        // Break behind the last blank of that head, when there is one.
        const qsizetype blank = rest.left(fit + 1).lastIndexOf(QLatin1Char(' '));
        qsizetype cut = blank > 0 ? blank : fit;
        QString piece = rest.left(cut);
        while (piece.endsWith(QLatin1Char(' ')))
            piece.chop(1);
        if (piece.isEmpty()) { // only blanks before the break: cut the word instead
            cut = fit;
            piece = rest.left(cut);
        }
        out << piece;
        while (cut < rest.size() && rest[cut] == QLatin1Char(' '))
            ++cut;
        rest = rest.mid(cut);
        if (rest.isEmpty())
            return out;
    }
    out << rest;
    return out;
}

TPagePrinter::TPagePrinter() : Locale(QLocale()) {}
TPagePrinter::~TPagePrinter() = default;

void TPagePrinter::guard(const char *what) const {
    if (m_printing)
        throw EPrinterError(QStringLiteral("Unable to change %1 while printing").arg(QLatin1String(what)));
}

void TPagePrinter::SetPageSetup(const TPageSetup &s) {
    SetMarginTop(s.MarginTop);
    SetMarginBottom(s.MarginBottom);
    SetMarginLeft(s.MarginLeft);
    SetMarginRight(s.MarginRight);
    SetOrientation(s.Orientation);
    SetMeasureUnit(s.MeasureUnit);
    m_setup.FriendlyHeader = s.FriendlyHeader;
    m_setup.FriendlyFooter = s.FriendlyFooter;
    SetDataTable(s.DataTable);
}

void TPagePrinter::SetMarginTop(double v) {
    guard("top margin");
    m_setup.MarginTop = v;
}
void TPagePrinter::SetMarginBottom(double v) {
    guard("bottom margin");
    m_setup.MarginBottom = v;
}
void TPagePrinter::SetMarginLeft(double v) {
    guard("left margin");
    m_setup.MarginLeft = v;
}
void TPagePrinter::SetMarginRight(double v) {
    guard("right margin");
    m_setup.MarginRight = v;
}
void TPagePrinter::SetOrientation(int o) {
    guard("orientation");
    m_setup.Orientation = o == poLandscape ? poLandscape : poPortrait;
}
void TPagePrinter::SetFileName(const QString &name) {
    guard("FileName");
    m_fileName = name;
}
void TPagePrinter::SetPrintToFile(bool on) {
    guard("PrintToFile");
    m_printToFile = on;
}

void TPagePrinter::BeginDoc(QPagedPaintDevice &device) {
    const auto orientation = m_setup.Orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    // Positions count from the sheet's corner; the device's unprintable
    // edges are kept out of the printable area below.
    if (auto *printer = dynamic_cast<QPrinter *>(&device))
        printer->setFullPage(true);
    else
        device.setPageMargins(QMarginsF(0, 0, 0, 0));
    device.setPageOrientation(orientation);

    const QPageLayout layout = device.pageLayout();
    TPageGeometry g;
    g.Dpi = device.logicalDpiX();
    g.Paper = layout.fullRectPixels(g.Dpi);
    QPageLayout least = layout;
    least.setMode(QPageLayout::FullPageMode);
    least.setMargins(layout.minimumMargins());
    g.Unprintable = least.marginsPixels(g.Dpi);
    const auto px = [&](double margin) { return int(std::lround(MarginInches(margin, m_setup.MeasureUnit) * g.Dpi)); };
    const int left = std::max(px(m_setup.MarginLeft), g.Unprintable.left());
    const int top = std::max(px(m_setup.MarginTop), g.Unprintable.top());
    const int right = std::max(px(m_setup.MarginRight), g.Unprintable.right());
    const int bottom = std::max(px(m_setup.MarginBottom), g.Unprintable.bottom());
    g.Printable =
        QRect(left, top, std::max(1, g.Paper.width() - left - right), std::max(1, g.Paper.height() - top - bottom));
    m_geometry = g;

    m_device = &device;
    m_pages.clear();
    m_pages.push_back(TPage{});
    m_nextLine = 1;
    m_printY = g.Printable.top();
    m_began = QDateTime::currentDateTime();
}

void TPagePrinter::Draw(std::function<void(QPainter &)> step) {
    if (m_pages.empty())
        m_pages.push_back(TPage{});
    m_pages.back().Steps.push_back(std::move(step));
}

void TPagePrinter::NewPage() {
    TPage p;
    p.FirstLine = m_nextLine;
    m_pages.push_back(std::move(p));
    m_printY = m_geometry.Printable.top();
}

void TPagePrinter::WriteLines() {
    const QFontMetricsF fm(Font, m_device);
    const QRect area = m_geometry.Printable;
    const int step = std::max(1, int(std::ceil(fm.lineSpacing() * std::max(1, LineSpacing))));
    const int height = int(std::ceil(fm.height()));
    const auto measure = [&fm](const QString &s) { return fm.horizontalAdvance(s); };
    for (const QString &line : std::as_const(Lines)) {
        const QString text = ExpandTabs(line, TabSize);
        const QStringList pieces = WordWrap ? WrapLine(text, area.width(), measure) : QStringList{text};
        for (const QString &piece : pieces) {
            if (m_printY + height > area.bottom() + 1 && m_printY > area.top())
                NewPage();
            const QPointF at(area.left(), m_printY + fm.ascent());
            Draw([font = Font, at, piece, area](QPainter &p) {
                p.setClipRect(area);
                p.setFont(font);
                p.setPen(Qt::black);
                p.setBrush(Qt::NoBrush);
                p.drawText(at, piece);
            });
            m_printY += step;
        }
        ++m_nextLine;
    }
}

void TPagePrinter::EndDoc() { m_device = nullptr; }

void TPagePrinter::CheckPage(int page) const {
    if (page < 1 || page > PageCount())
        throw EPrinterError(QStringLiteral("PageNumber must be between 1 and %1").arg(PageCount()));
}

TTemplateValues TPagePrinter::values(int page) const {
    TTemplateValues v;
    v.FileName = DocumentFileName;
    const auto at = [this](double days) {
        const std::optional<QDateTime> t = days != 0 ? DateTimeFromDays(days) : std::nullopt;
        return t ? *t : (m_began.isValid() ? m_began : QDateTime::currentDateTime());
    };
    v.Date = at(DocumentDate);
    v.Time = at(DocumentTime);
    v.Title = Title;
    v.Page = page;
    v.Line = page >= 1 && page <= PageCount() ? m_pages[size_t(page - 1)].FirstLine : m_nextLine;
    v.Locale = Locale;
    return v;
}

TTemplateParts TPagePrinter::HeaderText(int page) const {
    const TTemplateParts t = SplitTemplate(m_setup.FriendlyHeader);
    const TTemplateValues v = values(page);
    return {RenderTemplatePart(t.Left, v), RenderTemplatePart(t.Center, v), RenderTemplatePart(t.Right, v)};
}

TTemplateParts TPagePrinter::FooterText(int page) const {
    const TTemplateParts t = SplitTemplate(m_setup.FriendlyFooter);
    const TTemplateValues v = values(page);
    return {RenderTemplatePart(t.Left, v), RenderTemplatePart(t.Center, v), RenderTemplatePart(t.Right, v)};
}

void TPagePrinter::drawBand(QPainter &p, const TTemplateParts &parts, const QFont &font, int top, int bottom) const {
    if (bottom <= top)
        return;
    p.save();
    p.setFont(font);
    p.setPen(Qt::black);
    const QRect band(m_geometry.Printable.left(), top, m_geometry.Printable.width(), bottom - top);
    const QFontMetrics fm = p.fontMetrics();
    const int gap = 2 * fm.averageCharWidth();
    // A long left part (a file path) loses its middle rather than running
    // into the right part (the page number).
    const int rightWidth = parts.Right.isEmpty() ? 0 : fm.horizontalAdvance(parts.Right) + gap;
    const QString left = fm.elidedText(parts.Left, Qt::ElideMiddle, std::max(0, band.width() - rightWidth));
    p.drawText(band, Qt::AlignVCenter | Qt::AlignLeft, left);
    p.drawText(band, Qt::AlignVCenter | Qt::AlignRight, parts.Right);
    // The centre part gives way to a long left or right part rather than
    // running into it.
    const int wc = fm.horizontalAdvance(parts.Center);
    const int leftEnd = left.isEmpty() ? band.left() : band.left() + fm.horizontalAdvance(left) + gap;
    const int rightStart =
        parts.Right.isEmpty() ? band.right() + 1 : band.right() + 1 - fm.horizontalAdvance(parts.Right) - gap;
    int x = band.center().x() - wc / 2;
    x = std::max(std::min(x, rightStart - wc), leftEnd);
    p.drawText(QRect(x, top, wc + 1, bottom - top), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextDontClip, parts.Center);
    p.restore();
}

void TPagePrinter::DrawPage(QPainter &p, int page) const {
    CheckPage(page);
    for (const auto &step : m_pages[size_t(page - 1)].Steps) {
        p.save();
        step(p);
        p.restore();
    }
    // Header and footer sit in the middle of the top and bottom margins.
    const TPageGeometry &g = m_geometry;
    drawBand(p, HeaderText(page), HeaderFont(), g.Unprintable.top(), g.Printable.top());
    drawBand(p, FooterText(page), FooterFont(), g.Printable.bottom() + 1, g.Paper.height() - g.Unprintable.bottom());
}

void TPagePrinter::DrawAll(QPagedPaintDevice &device) const {
    QPainter p(&device);
    for (int i = 1; i <= PageCount(); ++i) {
        if (i > 1)
            device.newPage();
        DrawPage(p, i);
    }
}

void TPagePrinter::Print(QPagedPaintDevice &device, IPrintProgress *progress, int fromPage, int toPage) {
    const int first = fromPage > 0 ? fromPage : 1;
    const int last = toPage > 0 ? std::min(toPage, PageCount()) : PageCount();
    CheckPage(first);
    CheckPage(last);
    const int copies = std::max(1, Copies);
    const int pages = std::max(0, last - first + 1);

    m_printing = true;
    if (!ShowProgress)
        progress = nullptr;
    const Finally done([this, &progress] {
        m_printing = false;
        if (progress)
            progress->Finish();
    });
    QPainter p;
    if (!p.begin(&device))
        throw EPrinterError(QStringLiteral("Unable to start the print job"));
    if (progress)
        progress->Start(Title, ProgressMessage(PrinterMessage), copies * pages, ShowCancel);

    // Collated: the whole document per copy; else each page copies times.
    std::vector<int> order;
    order.reserve(size_t(copies * pages));
    for (int outer = 0; outer < (Collate ? copies : pages); ++outer)
        for (int inner = 0; inner < (Collate ? pages : copies); ++inner)
            order.push_back(first + (Collate ? inner : outer));

    int sent = 0;
    for (const int page : order) {
        if (sent > 0)
            device.newPage();
        if (progress)
            progress->Step(ProgressPageText(page, first == 1, PageCount(), copies), sent);
        DrawPage(p, page);
        ++sent;
        if (progress && progress->Cancelled()) {
            if (auto *printer = dynamic_cast<QPrinter *>(&device))
                printer->abort();
            p.end();
            throw EPrinterError(QStringLiteral("Printing Cancelled"));
        }
    }
    p.end();
}

void TPagePrinter::ApplyTo(QPrinter &printer) const {
    printer.setFullPage(true);
    printer.setPageOrientation(m_setup.Orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (m_printToFile && !m_fileName.isEmpty())
        printer.setOutputFileName(m_fileName);
}

void TPagePrinter::TakeFrom(QPrinter &printer) {
    Copies = std::max(1, printer.copyCount());
    Collate = printer.collateCopies();
    SetOrientation(printer.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait);
    printer.setCopyCount(1);
}

} // namespace tessel
