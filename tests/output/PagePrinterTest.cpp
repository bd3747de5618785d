#include "output/PagePrinter.h"
#include "output/PageSetup.h"
#include "output/Printout.h"
#include "settings/Registry.h"
#include "support/PdfText.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <QPdfWriter>
#include <functional>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

const QLocale kUS(QLocale::English, QLocale::UnitedStates);

// Progress window double: records what it is shown; runs a hook per page.
struct RecordingProgress : IPrintProgress {
    int steps = 0;
    bool finished = false;
    QStringList pages;
    std::function<void()> onStep;
    void Start(const QString &, const QString &, int s, bool) override { steps = s; }
    void Step(const QString &text, int) override {
        pages << text;
        if (onStep)
            onStep();
    }
    bool Cancelled() override { return false; }
    void Finish() override { finished = true; }
};

// A document of n pages, each saying which one it is, on a PDF writer.
void ComposePages(TPagePrinter &prn, QPdfWriter &pdf, int n) {
    prn.BeginDoc(pdf);
    for (int i = 1; i <= n; ++i) {
        if (i > 1)
            prn.NewPage();
        const QPoint at = prn.Geometry().Printable.topLeft() + QPoint(0, 200);
        prn.Draw([i, at](QPainter &p) { p.drawText(at, QStringLiteral("Body of sheet %1").arg(i)); });
    }
    prn.EndDoc();
}

} // namespace

TEST(PageTemplate, FillsCodesAndPlaceholdersOnce) {
    const QDateTime date(QDate(2024, 3, 5), QTime(14, 7, 9)), time(QDate(2024, 3, 6), QTime(9, 8, 7));
    const TTemplateValues v{"/data/leaf 3.exp", date, time, "Leaf {$PAGE} &p", 2, 40, kUS};
    const struct {
        QString part, text;
    } cases[] = {
        {"&f &F", "leaf 3.exp /data/leaf 3.exp"},
        {"&d / &D / &t", "3/5/24 / Tuesday, March 5, 2024 / 9:08 AM"},
        // The title is printed as it is, codes and placeholders included.
        {"[&i] Page &p, line {$LINE}", "[Leaf {$PAGE} &p] Page 2, line 40"},
        {"{$PAGE}/{$DATE}/{$TITLE}", "2/3/5/24/Leaf {$PAGE} &p"},
        {"R&&D &x {$NONE} {$PAGE", "R&D &x {$NONE} {$PAGE"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RenderTemplatePart(c.part, v), c.text) << c.part.toStdString();
    const QString times = RenderTemplatePart("&T|{$TIME}", v);
    EXPECT_TRUE(times.startsWith("9:08:07 AM") && times.section('|', 1).startsWith("9:08:07 AM"))
        << times.toStdString();
}

TEST(PageSetup, UnitSwitchingRoundsToTheUnitsSteps) {
    const struct {
        double value;
        int from, to;
        double expected;
    } cases[] = {
        {25, muMillimeters, muInches, 1.0}, // 0.98 rounds to 1.00
        {1.0, muInches, muMillimeters, 25}, // 25.4 rounds to 25
        {0.075, muInches, muInches, 0.1},   // halves go to the even step
        {2.5, muMillimeters, muMillimeters, 2}, {1234, muMillimeters, muMillimeters, 1000}, {-3, muInches, muInches, 0},
    };
    for (const auto &c : cases)
        EXPECT_NEAR(ConvertMargin(c.value, c.from, c.to), c.expected, 1e-12) << c.value << " " << c.from;
}

TEST(PageSetup, StoredUnderItsKeyAndLoadedValueByValue) {
    TestDir dir;
    EXPECT_EQ(PageSetupKey(), "Software\\KRT\\Tessel\\2.90\\AppSettings\\PageSetup");
    const TPageSetup defaults{"&c &i", "&r &p", muInches, 1.5, 1.5, 1, 1, poPortrait};
    TPageSetup s = defaults;
    EXPECT_FALSE(LoadPageSetup(s)); // no key

    const TPageSetup stored{"&l x", "", muMillimeters, 20, 21.5, 22, 23, poLandscape, ptParameters};
    SavePageSetup(stored);
    TPageSetup back = defaults;
    EXPECT_TRUE(LoadPageSetup(back));
    EXPECT_EQ(back, stored);

    // Values missing or of the wrong size leave the current ones.
    const QString key = PageSetupKey() + "2";
    {
        TPRegistry reg;
        reg.WriteBinary(key, "MarginTop", QByteArray(4, '\0'));
        reg.WriteInteger(key, "Orientation", 1);
        reg.Flush();
    }
    TPageSetup partial = defaults;
    EXPECT_TRUE(LoadPageSetup(partial, key));
    TPageSetup expected = defaults;
    expected.Orientation = poLandscape;
    EXPECT_EQ(partial, expected);
}

// The page texts are checked with the jobs below.
TEST(PagePrinter, ProgressMessageAndZoomSteps) {
    EXPECT_EQ(ProgressMessage("Out of paper"), "Out of paper");
    EXPECT_EQ(QList({ZoomInPercent(25), ZoomInPercent(190), ZoomOutPercent(25)}), QList({45, 200, 10}));
}

// Collated copies, caption and message, and cancelling are checked with the
// progress window itself.
TEST(PagePrinter, SendsCopiesInOrderWithProgress) {
    TestDir dir;
    const struct {
        bool collate;
        int from, to;
        std::vector<int> sheets;
        QString of; // " of N" counts the document's pages, not the range's
    } cases[] = {
        {false, 0, 0, {1, 1, 2, 2, 3, 3}, " of 3 x 2 Copies"},
        {true, 2, 3, {2, 3, 2, 3}, ""},
    };
    for (const auto &c : cases) {
        const QString path = dir.path("copies.pdf");
        QPdfWriter pdf(path);
        TPagePrinter prn;
        prn.Title = "Leaf 3";
        prn.Copies = 2;
        prn.Collate = c.collate;
        ComposePages(prn, pdf, 3);
        RecordingProgress progress;
        prn.Print(pdf, &progress, c.from, c.to);
        QStringList pages;
        for (int sheet : c.sheets)
            pages << QStringLiteral("Page %1").arg(sheet) + c.of;
        EXPECT_EQ(progress.pages, pages);
        EXPECT_EQ(progress.steps, int(c.sheets.size()));
        EXPECT_TRUE(progress.finished);
        ASSERT_EQ(PdfPages(path), int(c.sheets.size()));
        // The sheets in the file follow the same order.
        for (int i = 0; i < int(c.sheets.size()); ++i)
            EXPECT_TRUE(PdfText(path, i + 1).contains(QStringLiteral("Body of sheet %1").arg(c.sheets[size_t(i)])));
    }
}

TEST(PagePrinter, PageNumbersAndSettingsAreGuardedWhilePrinting) {
    TestDir dir;
    QPdfWriter pdf(dir.path("guard.pdf"));
    TPagePrinter prn;
    ComposePages(prn, pdf, 3);
    QImage img(10, 10, QImage::Format_RGB32);
    QPainter p(&img);
    EXPECT_THROW(prn.DrawPage(p, 0), EPrinterError);
    try {
        prn.DrawPage(p, 4);
        ADD_FAILURE();
    } catch (const EPrinterError &e) {
        EXPECT_EQ(e.message(), "PageNumber must be between 1 and 3");
    }
    EXPECT_THROW(prn.Print(pdf, nullptr, 4, 5), EPrinterError);
    EXPECT_FALSE(prn.Printing());

    const struct {
        std::function<void()> change;
        QString message;
    } cases[] = {
        {[&] { prn.SetFileName("x.pdf"); }, "Unable to change FileName while printing"},
        {[&] { prn.SetOrientation(poLandscape); }, "Unable to change orientation while printing"},
        {[&] { prn.SetMarginTop(2); }, "Unable to change top margin while printing"},
        {[&] { prn.SetMarginBottom(2); }, "Unable to change bottom margin while printing"},
        {[&] { prn.SetMarginLeft(2); }, "Unable to change left margin while printing"},
        {[&] { prn.SetMarginRight(2); }, "Unable to change right margin while printing"},
        {[&] { prn.SetPrintToFile(true); }, "Unable to change PrintToFile while printing"},
    };
    QStringList raised;
    RecordingProgress progress;
    progress.onStep = [&] {
        for (const auto &c : cases) {
            try {
                c.change();
            } catch (const EPrinterError &e) {
                raised << e.message();
            }
        }
    };
    prn.Print(pdf, &progress, 2, 2);
    ASSERT_EQ(raised.size(), int(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(raised[qsizetype(i)], cases[i].message);
    EXPECT_EQ(prn.MarginTop(), 0);
    // Once the job is done, every setting changes again.
    for (const auto &c : cases)
        EXPECT_NO_THROW(c.change());
}

TEST(PagePrinter, LinesWrapAtBlanksExpandTabsAndFlowOntoNewPages) {
    const auto chars = [](const QString &s) { return double(s.size()); };
    const struct {
        QString line;
        double width;
        QStringList pieces;
    } wraps[] = {
        {"abc def ghi", 7, {"abc def", "ghi"}},
        {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
        {"ab   cd", 3, {"ab", "cd"}},
        {"   abcdef", 2, {"  ", "ab", "cd", "ef"}},
    };
    for (const auto &w : wraps)
        EXPECT_EQ(WrapLine(w.line, w.width, chars), w.pieces) << w.line.toStdString();
    EXPECT_EQ(ExpandTabs("abcd\te\t", 4), "abcd    e   ");

    TestDir dir;
    const QString path = dir.path("lines.pdf");
    // The pages, and the line that page 2 starts with as its header says.
    const auto print = [&](int spacing, bool wrap, const QStringList &lines) {
        QPdfWriter pdf(path);
        TPagePrinter prn;
        prn.Font = QFont("DejaVu Sans Mono", 10);
        prn.SetMarginTop(1);
        prn.SetMarginBottom(1);
        prn.SetFriendlyHeader("&l first line {$LINE}");
        prn.LineSpacing = spacing;
        prn.WordWrap = wrap;
        prn.Lines = lines;
        prn.BeginDoc(pdf);
        prn.WriteLines();
        prn.EndDoc();
        prn.Print(pdf);
        return std::pair(prn.PageCount(), prn.PageCount() > 1 ? prn.HeaderText(2).Left.section(' ', -1).toInt() : 0);
    };
    QStringList numbered;
    for (int i = 1; i <= 120; ++i)
        numbered << QStringLiteral("Line\t%1").arg(i);
    const auto [pages, second] = print(1, true, numbered);
    ASSERT_GE(pages, 2);
    // The header's line is the first line printed on the page.
    const QStringList text = PdfText(path, 2).split('\n', Qt::SkipEmptyParts);
    EXPECT_GT(second, 20);
    EXPECT_EQ(Simplified(text.value(0)), QStringLiteral("first line %1").arg(second));
    EXPECT_EQ(Simplified(text.value(1)), QStringLiteral("Line %1").arg(second));
    // Double spacing holds half as many lines on a page.
    EXPECT_NEAR(2 * (print(2, true, numbered).second - 1), second - 1, 2);

    // A line wider than the page continues below.
    print(1, true, {QString("word ").repeated(400)});
    EXPECT_EQ(PdfText(path).count("word"), 400);
}

TEST(Printout, GraphAtTheGoldenRatioAndTheTableScaledToFit) {
    EXPECT_EQ(GoldenHeight(7521, 9000), 4648);
    EXPECT_EQ(GoldenHeight(7521, 3000), 3000);
    // Printer 600 ppi, screen 96: 500 table pixels make 3125; fits in 4500.
    EXPECT_DOUBLE_EQ(TableScale(500, 96, 600, 4500), 600.0 / 96);
    // 1000 would make 6250: the printer's figure drops to 432.
    EXPECT_DOUBLE_EQ(TableScale(1000, 96, 600, 4500), 432.0 / 96);
    // The integer part, so the table never ends up wider than the page.
    EXPECT_DOUBLE_EQ(TableScale(1006, 96, 1200, 7521), 717.0 / 96);
    EXPECT_DOUBLE_EQ(TableScale(100000, 96, 300, 10), 1.0 / 96);
}

TEST(Printout, PdfHoldsHeaderFooterGraphTableAndNotes) {
    TestDir dir;
    TPagePrinter prn;
    prn.Font = QFont("DejaVu Sans Mono", 10);
    prn.Locale = kUS;
    prn.SetMeasureUnit(muMillimeters);
    prn.SetMarginLeft(25.4);
    prn.SetMarginRight(25.4);
    prn.SetMarginTop(40);
    prn.SetMarginBottom(40);
    prn.SetFriendlyHeader("&c &i &r &d");
    prn.SetFriendlyFooter("&l &f &r Page &p");

    TPrintout p;
    p.Title = "Leaf 3 quenching";
    p.FileName = dir.path("leaf3.exp");
    p.Date = 45356.5; // 5 March 2024, noon
    QRect graphRect;
    p.DrawGraph = [&graphRect](QPainter &pa, const QRect &r) {
        graphRect = r;
        pa.drawRect(r.adjusted(0, 0, -1, -1));
        pa.drawText(r, Qt::AlignCenter, "GRAPH AREA");
    };
    p.GraphFont = PixelFont(QFont("DejaVu Sans", 9), 96);
    TPrintTable t;
    t.Titles = {"", "Caption", "Hidden", "Points"};
    t.Widths = {30, 100, 0, 50};
    t.Font = PixelFont(QFont("DejaVu Sans", 9), 96);
    for (int i = 1; i <= 60; ++i)
        t.Rows.push_back({TPrintCell::OfText(QString::number(i)),
                          TPrintCell::OfText(QStringLiteral("Data Set A( %1 )").arg(i)), TPrintCell::OfText("secret"),
                          TPrintCell::OfText("32768")});
    t.FitColumns();
    p.Table = t;
    p.Notes = QStringList{"Dark adapted 20 min", "Temperature 22 C"};

    const QString path = dir.path("printout.pdf");
    const int pages = PrintToPdf(prn, path, [&](QPagedPaintDevice &d) { ComposePrintout(prn, d, p); });
    ASSERT_GE(pages, 2); // 60 rows run onto a second page
    EXPECT_EQ(PdfInfo(path, "Title"), "Leaf 3 quenching");

    // A4 at the writer's 1200 ppi, one inch left and right.
    const TPageGeometry &g = prn.Geometry();
    EXPECT_EQ(g.Printable.left(), 1200);
    EXPECT_EQ(g.Printable.width(), g.Paper.width() - 2400);
    // The graph gets the printable width at the golden ratio, in screen pixels.
    EXPECT_EQ(graphRect.width(), g.Printable.width() * 96 / 1200);
    EXPECT_NEAR(graphRect.height(), GoldenHeight(g.Printable.width(), 10000) * 96 / 1200, 1);

    const QString first = Simplified(PdfText(path, 1));
    for (const char *text :
         {"Leaf 3 quenching 3/5/24", "GRAPH AREA", "Caption Points", "Data Set A( 1 )", "leaf3.exp Page 1"})
        EXPECT_TRUE(first.contains(QLatin1String(text))) << text << "\n" << first.toStdString();
    EXPECT_FALSE(first.contains("secret"));
    const QString last = Simplified(PdfText(path, pages));
    EXPECT_TRUE(last.contains("Caption Points")) << "the header row repeats";
    EXPECT_TRUE(last.contains("Data Set A( 60 )"));
    EXPECT_TRUE(last.contains("Dark adapted 20 min Temperature 22 C"));
    EXPECT_TRUE(last.contains(QStringLiteral("Page %1").arg(pages)));

    // The page setup turns the sheet; the printout follows it.
    prn.SetOrientation(poLandscape);
    PrintToPdf(prn, path, [&](QPagedPaintDevice &d) { ComposePrintout(prn, d, p); });
    EXPECT_TRUE(PdfInfo(path, "Page size").startsWith("842 x 595")) << PdfInfo(path, "Page size").toStdString();
    EXPECT_THROW(
        PrintToPdf(prn, dir.path("no/such/dir/x.pdf"), [&](QPagedPaintDevice &d) { ComposePrintout(prn, d, p); }),
        EPrinterError);
}
