#include "output/Printout.h"

#include "common/MessageService.h"
#include "graph/GraphPainter.h"

#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <memory>

namespace tessel {

int GoldenHeight(int width, int maxHeight) {
    const int h = int(std::nearbyint(width * 2.0 / (std::sqrt(5.0) + 1.0)));
    return std::min(h, maxHeight);
}

double TableScale(int tableWidth, double screenDpi, double printerDpi, int printableWidth) {
    const double scaled = tableWidth * printerDpi / screenDpi;
    double ppi = printerDpi;
    if (scaled > printableWidth)
        ppi = std::max(1.0, std::floor(printerDpi * printableWidth / scaled));
    return ppi / screenDpi;
}

int TPrintTable::Width() const {
    int w = 0;
    for (const int c : Widths)
        w += std::max(0, c);
    return w;
}

void TPrintTable::FitColumns() {
    const QFontMetrics fm(Font);
    const auto need = [&fm](const QString &s) { return s.isEmpty() ? 0 : fm.horizontalAdvance(s) + 8; };
    for (size_t c = 0; c < Widths.size(); ++c) {
        if (Widths[c] <= 0)
            continue;
        int w = std::max(Widths[c], need(Titles.value(qsizetype(c))));
        for (const auto &row : Rows)
            if (c < row.size() && row[c].What == TPrintCell::Kind::Text)
                w = std::max(w, need(row[c].Text));
        Widths[c] = w;
    }
}

void PaintTable(QPainter &p, const TPrintTable &t, QPoint origin, int first, int end) {
    p.save();
    p.setFont(t.Font);
    const QFontMetrics fm = p.fontMetrics();
    const int h = t.RowHeight;
    const QPen grid(QColor(0, 0, 0), 0.5);
    const auto cellText = [&](const QRect &r, const QString &s) {
        p.setPen(Qt::black);
        p.drawText(r.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   fm.elidedText(s, Qt::ElideRight, std::max(0, r.width() - 5)));
    };
    int x = origin.x();
    for (size_t c = 0; c < t.Widths.size(); ++c) {
        const int w = t.Widths[c];
        if (w <= 0)
            continue;
        const QRect head(x, origin.y(), w, h);
        p.fillRect(head, Qt::white);
        p.setPen(grid);
        p.setBrush(Qt::NoBrush);
        p.drawRect(head);
        cellText(head, t.Titles.value(qsizetype(c)));
        for (int r = first; r < end && r < int(t.Rows.size()); ++r) {
            const QRect cell(x, origin.y() + (r - first + 1) * h, w, h);
            p.setPen(grid);
            p.setBrush(Qt::NoBrush);
            p.drawRect(cell);
            if (c >= t.Rows[size_t(r)].size())
                continue;
            const TPrintCell &v = t.Rows[size_t(r)][c];
            p.save();
            switch (v.What) {
            case TPrintCell::Kind::Text:
                cellText(cell, v.Text);
                break;
            case TPrintCell::Kind::Mark:
                DrawMark(p, cell.center().x(), cell.center().y(), v.PointStyle, v.MarkSize, v.Color, v.Brush);
                break;
            case TPrintCell::Kind::LineSample:
                DrawLineSample(p, cell, v.LineStyle, v.Color, v.Thickness);
                break;
            case TPrintCell::Kind::Swatch:
                DrawSwatch(p, cell, v.Color);
                break;
            }
            p.restore();
        }
        x += w;
    }
    p.restore();
}

TPrintoutLayout LayOutPrintout(const TPageGeometry &g, const TPrintout &p) {
    TPrintoutLayout l;
    const QRect &area = g.Printable;
    l.Graph = QRect(area.left(), area.top(), area.width(), GoldenHeight(area.width(), area.height()));
    l.TableTop = l.Graph.bottom() + 1 + g.Dpi / 10;
    if (p.Table)
        l.TableScale = TableScale(p.Table->Width(), p.ScreenDpi, g.Dpi, area.width());
    return l;
}

void ComposePrintout(TPagePrinter &prn, QPagedPaintDevice &device, const TPrintout &printout) {
    BusyCursor busy;
    prn.Title = printout.Title;
    prn.DocumentFileName = printout.FileName;
    prn.DocumentDate = printout.Date;
    prn.BeginDoc(device);
    const TPageGeometry &g = prn.Geometry();
    const QRect area = g.Printable;
    const TPrintoutLayout l = LayOutPrintout(g, printout);
    // Graph and table are drawn in screen pixels, scaled to the device, so
    // that lines and text keep the sizes they have on screen.
    const double s = g.Dpi / printout.ScreenDpi;
    if (printout.DrawGraph)
        prn.Draw([draw = printout.DrawGraph, font = printout.GraphFont, r = l.Graph, s](QPainter &p) {
            p.translate(r.topLeft());
            p.scale(s, s);
            p.setFont(font);
            draw(p, QRect(0, 0, int(r.width() / s), int(r.height() / s)));
        });
    const int gap = g.Dpi / 10;
    prn.SetPrintY(l.Graph.bottom() + 1 + gap);

    if (printout.Table) {
        const auto table = std::make_shared<const TPrintTable>(*printout.Table);
        const double ts = l.TableScale;
        const double rowPx = table->RowHeight * ts;
        const int rows = int(table->Rows.size());
        int next = 0;
        do {
            // Rows that fit below the header; a page that holds none of
            // them (or not even the header) passes the table on.
            const int fit = int(std::floor((area.bottom() + 1 - prn.PrintY()) / rowPx)) - 1;
            if (fit < std::min(rows, 1) && prn.PrintY() > area.top()) {
                prn.NewPage();
                continue;
            }
            const int end = std::min(rows, next + std::max(1, fit));
            const QPoint at(area.left(), prn.PrintY());
            prn.Draw([table, at, ts, next, end](QPainter &p) {
                p.translate(at);
                p.scale(ts, ts);
                PaintTable(p, *table, QPoint(0, 0), next, end);
            });
            prn.SetPrintY(prn.PrintY() + int(std::ceil((end - next + 1) * rowPx)) + gap);
            next = end;
        } while (next < rows);
    }

    prn.Lines = printout.Notes.value_or(QStringList());
    if (printout.Notes)
        prn.WriteLines();
    prn.EndDoc();
}

QFont PixelFont(const QFont &f, double screenDpi) {
    QFont r(f);
    if (f.pixelSize() <= 0)
        r.setPixelSize(std::max(1, int(std::lround(f.pointSizeF() * screenDpi / 72.0))));
    return r;
}

int PrintToPdf(TPagePrinter &prn, const QString &path, const std::function<void(QPagedPaintDevice &)> &compose) {
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly))
            throw EPrinterError(QStringLiteral("Unable to write to %1").arg(path));
    }
    QPdfWriter pdf(path);
    pdf.setCreator(QStringLiteral("Tessel"));
    compose(pdf);
    pdf.setTitle(prn.Title);
    prn.Print(pdf);
    return prn.PageCount();
}

} // namespace tessel
