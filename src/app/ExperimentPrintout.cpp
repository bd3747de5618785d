#include "app/ExperimentPrintout.h"

#include "graph/DataEditModel.h"
#include "graph/GraphModel.h"

#include <QFontMetrics>

namespace tessel {

void SetupExperimentPrinter(TPagePrinter &prn) {
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    // 13 pixels on the screen the layout was made for (96 per inch).
    f.setPointSizeF(13 * 72.0 / 96.0);
    prn.Font = f;
    prn.SetFriendlyHeader(QStringLiteral("&c &i &r &t  &D"));
    prn.SetFriendlyFooter(QStringLiteral("&l &F &r &p"));
    prn.SetMarginLeft(1.0);
    prn.SetMarginRight(1.0);
    prn.SetMarginTop(1.5369458128078817);
    prn.SetMarginBottom(1.5369458128078817);
}

TPrintTable ExperimentPrintTable(const TExperimentDoc &doc, const TDataEditModel &rows,
                                 const std::array<bool, kPrintColumns> &columns, const QFont &pixelFont) {
    TPrintTable t;
    t.Titles = ExperimentTableTitles();
    t.Font = pixelFont;
    t.RowHeight = QFontMetrics(pixelFont).height() + 6;
    for (int c = 0; c < xcColumnCount; ++c)
        t.Widths.push_back(c < kPrintColumns && !columns[size_t(c)] ? 0 : kExperimentColumnWidths[size_t(c)]);
    for (int r = 1; r <= rows.DataRowCount(); ++r) {
        const TDependency *d = rows.Row(r);
        std::vector<TPrintCell> row(static_cast<size_t>(xcColumnCount));
        for (int c = 0; c < xcColumnCount; ++c) {
            TPrintCell &cell = row[size_t(c)];
            cell.Color = d->Color;
            switch (c) {
            case ecMark:
                cell.What = TPrintCell::Kind::Mark;
                cell.PointStyle = d->PointStyle;
                cell.MarkSize = rows.MarkSize;
                cell.Brush = d->Brush;
                break;
            case ecLineStyle:
                cell.What = TPrintCell::Kind::LineSample;
                cell.LineStyle = d->LineStyle;
                cell.Thickness = d->Thickness;
                break;
            case ecColor:
                cell.What = TPrintCell::Kind::Swatch;
                break;
            case ecBrush:
                cell.What = TPrintCell::Kind::Swatch;
                cell.Color = d->Brush.Color;
                break;
            default:
                cell.Text = c < ecColumnCount ? rows.CellText(r, c) : doc.CellText(d, c);
                break;
            }
        }
        t.Rows.push_back(std::move(row));
    }
    t.FitColumns();
    return t;
}

TPrintTable ParameterPrintTable(const TExperimentModel &m, const std::vector<TRecordAnalysis> &all,
                                const QFont &pixelFont) {
    TPrintTable t;
    t.Titles = ParameterTableTitles();
    t.Font = pixelFont;
    t.RowHeight = QFontMetrics(pixelFont).height() + 6;
    const std::vector<TParameterRow> rows = ParameterTableRows(m, all);
    for (int c = 0; c < int(t.Titles.size()); ++c) {
        bool any = c == 0;
        for (const TParameterRow &r : rows)
            if (c < int(r.Cells.size()) && !r.Cells[size_t(c)].Text.isEmpty() &&
                r.Cells[size_t(c)].Text != QLatin1String("-"))
                any = true;
        t.Widths.push_back(any ? 40 : 0);
    }
    for (const TParameterRow &r : rows) {
        std::vector<TPrintCell> row;
        for (const TParameterCell &c : r.Cells)
            row.push_back(TPrintCell::OfText(c.Text));
        t.Rows.push_back(std::move(row));
    }
    t.FitColumns();
    // A long reason (a protocol that does not compile) is cut, not a column
    // as wide as the page.
    for (int &w : t.Widths)
        w = std::min(w, 260);
    return t;
}

std::function<void(QPainter &, const QRect &)> PrintGraphDrawer(TGraphModel &graph,
                                                                std::function<void(QPainter &, const QRect &)> draw) {
    return [&graph, draw](QPainter &p, const QRect &r) {
        const bool monochrome = graph.Colors.Monochrome;
        const uint8_t options = graph.Options;
        graph.Colors.Monochrome = true;
        graph.Options = uint8_t(options & ~grShowCursors);
        draw(p, r);
        graph.Colors.Monochrome = monochrome;
        graph.Options = options;
    };
}

TPrintout ExperimentPrintout(const TExperimentDoc &doc, const TDataEditModel &rows,
                             std::function<void(QPainter &, const QRect &)> drawGraph, const TPrintChoices &choices) {
    TPrintout p;
    p.Title = doc.Protocol.Title;
    p.FileName = doc.FileOp.FileName;
    p.Date = doc.Model.Record(doc.Model.RecordCount() - 1).Time;
    p.DrawGraph = std::move(drawGraph);
    p.ScreenDpi = choices.ScreenDpi;
    p.GraphFont = PixelFont(choices.GraphFont, choices.ScreenDpi);
    const QFont tableFont = PixelFont(choices.TableFont, choices.ScreenDpi);
    if (choices.Data && choices.Parameters) {
        TMeasurementAnalyser analyser(choices.AnalysisIni, choices.IncludeBase);
        analyser.SetLightCurveModel(choices.LightCurveModel);
        p.Table = ParameterPrintTable(doc.Model, analyser.AnalyseAll(doc.Model), tableFont);
    } else if (choices.Data) {
        p.Table = ExperimentPrintTable(doc, rows, choices.Columns, tableFont);
    }
    if (choices.Notes)
        p.Notes = doc.Protocol.Description.split(QLatin1Char('\n'));
    return p;
}

} // namespace tessel
