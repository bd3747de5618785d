// tessel-cli print: the experiment's printout into a PDF, as asked on the
// command line or as the stored page setup and the ini's print columns say.
#include "CliTestSupport.h"
#include "output/PageSetup.h"
#include "support/PdfText.h"

using namespace tessel;
using namespace tessel::test;

namespace {

using PrintCommand = CompilingTest;

TEST_F(PrintCommand, OptionsOrTheStoredPageSetup) {
    // A folder name long enough that the footer's path is always shortened,
    // wherever the test folder lies.
    const QString folder = dir.path(QString(150, 'd'));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString exp = folder + "/sample.exp", pdf = dir.path("out.pdf");
    ASSERT_TRUE(QFile::rename(SavedSample(dir, 300), exp));
    const CliRun r = RunCliCommand({"print", exp, "--pdf", pdf, "--data", "--notes", "--header", "&c &i &r Page &p",
                                    "--footer", "&l &f", "--json"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.json()["Pages"].toInt(), 1);
    EXPECT_EQ(r.json()["Title"].toString(), "Quenching analysis");
    const QString text = Simplified(PdfText(pdf));
    for (const char *s : {"Quenching analysis Page 1", "Show Caption Style Mark", "Leaf 3, dark adapted", "sample.exp"})
        EXPECT_TRUE(text.contains(QLatin1String(s))) << s << "\n" << text.toStdString();

    // The default: the stored page setup, no table, no notes. Its footer
    // "&l &F &r &p": the long path keeps its end, the page number its room.
    const CliRun plain = RunCliCommand({"print", exp, "--pdf", pdf});
    EXPECT_EQ(plain.out, "Wrote 1 page to " + pdf + "\n");
    const QString defaults = Simplified(PdfText(pdf));
    EXPECT_TRUE(defaults.endsWith("sample.exp 1")) << defaults.toStdString();
    EXPECT_FALSE(defaults.contains(folder)) << defaults.toStdString();
    EXPECT_FALSE(defaults.contains("Caption") || defaults.contains("dark adapted"));

    // A stored landscape page setup and the ini's print columns (the ini
    // beside the program, which is the test folder).
    WriteTextFile(dir.path("Tessel.ini"), "[Main]\nDePrnCol2=0\nDePrnCol12=0\n");
    SavePageSetup({"&l stored header", "&r stored footer", muMillimeters, 20, 20, 15, 15, poLandscape});
    ASSERT_EQ(RunCliCommand({"print", exp, "--pdf", pdf, "--data"}).rc, 0);
    EXPECT_TRUE(PdfInfo(pdf, "Page size").startsWith("842 x 595"));
    const QString stored = Simplified(PdfText(pdf));
    for (const char *s : {"stored header", "stored footer", "Show Style Mark", "YShift Time"})
        EXPECT_TRUE(stored.contains(QLatin1String(s))) << s << "\n" << stored.toStdString();

    QFile::remove(pdf);
    ExpectExitCodes({
        {{"print", exp}, 2},
        {{"print", dir.path("none.exp"), "--pdf", pdf}, 1},
    });
    EXPECT_FALSE(QFile::exists(pdf));
    const CliRun unwritable = RunCliCommand({"print", exp, "--pdf", dir.path("no/dir/out.pdf")});
    EXPECT_EQ(unwritable.rc, 1);
    EXPECT_TRUE(unwritable.err.contains("Unable to write to")) << unwritable.err.toStdString();
}

// The data table lists the measurement's parameters in place of the display
// properties when the stored page setup chose them, unless --table says
// otherwise; columns without a value are left out.
TEST_F(PrintCommand, ParameterTable) {
    const QString pdf = dir.path("out.pdf");
    const QStringList print =
        QStringList{"print", SourcePath("resources/examples/FvFm.exp"), "--pdf", pdf, "--data"} + ShippedConfig();
    TPageSetup stored;
    stored.DataTable = ptParameters;
    SavePageSetup(stored);
    ASSERT_EQ(RunCliCommand(print).rc, 0);
    const QString text = Simplified(PdfText(pdf));
    EXPECT_TRUE(text.contains("Data Set Fo Fm Fv/Fm Data Set A( 0 ) 0.79869 3.9865 0.7997")) << text.toStdString();
    EXPECT_FALSE(text.contains("NPQ")) << "no value, no column";
    ASSERT_EQ(RunCliCommand(print + QStringList{"--table", "properties"}).rc, 0);
    EXPECT_TRUE(Simplified(PdfText(pdf)).contains("Show Caption Style Mark"));
}

} // namespace
