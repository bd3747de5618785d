#include "CliTestSupport.h"
#include "compiler/CompilerLibrary.h"
#include "data/ExperimentFile.h"
#include "data/SampleExperiments.h"
#include "output/PageSetup.h"
#include "support/PdfText.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

TEST(CliPrint, WritesTheExperimentPrintoutIntoPdf) {
    TestDir dir;
    const QString exp = SavedSample(dir, 300);
    const QString pdf = dir.path("out.pdf");
    const CliRun r = RunCliCommand({"print", exp, "--pdf", pdf, "--data", "--notes", "--header", "&c &i &r Page &p",
                                    "--footer", "&l &f", "--json"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().object()["Pages"].toInt(), 1);
    EXPECT_EQ(r.json().object()["Title"].toString(), "Quenching analysis");
    EXPECT_EQ(PdfPages(pdf), 1);
    const QString text = Simplified(PdfText(pdf));
    for (const char *s : {"Quenching analysis Page 1", "Show Caption Style Mark", "YShift Multiplication Time",
                          "Data Set B( 1 )", "Leaf 3, dark adapted 20 min", "sample.exp"})
        EXPECT_TRUE(text.contains(QLatin1String(s))) << s << "\n" << text.toStdString();

    // The default printout: the stored page setup, no table, no notes.
    const CliRun plain = RunCliCommand({"print", exp, "--pdf", pdf});
    ASSERT_EQ(plain.rc, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out, "Wrote 1 page to " + pdf + "\n");
    const QString defaults = Simplified(PdfText(pdf));
    // Footer "&l &F &r &p": a long path keeps its end, the page number its room.
    EXPECT_TRUE(defaults.endsWith("sample.exp 1")) << defaults.toStdString();
    EXPECT_FALSE(defaults.contains("Caption"));
    EXPECT_FALSE(defaults.contains("dark adapted"));
}

TEST(CliPrint, FollowsThePrintColumnsAndTheStoredPageSetup) {
    TestDir dir;
    const QString exp = SavedSample(dir, 300);
    const QString pdf = dir.path("out.pdf");
    WriteTextFile(dir.path("Tessel.ini"), "[Main]\nDePrnCol2=0\nDePrnCol12=0\n");
    TPageSetup s{"&l stored header", "&r stored footer", muMillimeters, 20, 20, 15, 15, poLandscape};
    SavePageSetup(s);
    const CliRun r = RunCliCommand({"print", exp, "--pdf", pdf, "--data"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(PdfInfo(pdf, "Page size").startsWith("842 x 595"));
    const QString text = Simplified(PdfText(pdf));
    EXPECT_TRUE(text.contains("stored header"));
    EXPECT_TRUE(text.contains("stored footer"));
    EXPECT_TRUE(text.contains("Show Style Mark")) << text.toStdString();
    EXPECT_TRUE(text.contains("YShift Time"));
    // (The captions stay on the page: the graph's legend names the data sets.)
    for (const char *gone : {"Caption", "Multiplication"})
        EXPECT_FALSE(text.contains(QLatin1String(gone))) << gone;
}

TEST(CliPrint, UsageAndFailures) {
    TestDir dir;
    const QString exp = SavedSample(dir, 300);
    const QString pdf = dir.path("out.pdf");
    for (const QStringList &args :
         {QStringList{"print", exp}, QStringList{"print", "--pdf", pdf}, QStringList{"print", exp, exp, "--pdf", pdf},
          QStringList{"print", exp, "--pdf", pdf, "--table", "values"}})
        EXPECT_EQ(RunCliCommand(args).rc, 2) << args.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(RunCliCommand({"print", dir.path("none.exp"), "--pdf", pdf}).rc, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    const CliRun bad = RunCliCommand({"print", exp, "--pdf", dir.path("no/dir/out.pdf")});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(bad.err.contains("Unable to write to")) << bad.err.toStdString();
}

// The data table lists the measurement's parameters in place of the display
// properties, as asked or as the stored page setup chose; columns without a
// value are left out.
TEST(CliPrint, ParameterTable) {
    SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    TestDir dir;
    const QString pdf = dir.path("out.pdf");
    const QStringList print{"print",
                            SourcePath("resources/examples/FvFm.exp"),
                            "--pdf",
                            pdf,
                            "--data",
                            "--ini",
                            SourcePath("resources/Tessel.ini"),
                            "--include",
                            SourcePath("resources/include/")};
    TPageSetup stored;
    stored.DataTable = ptParameters;
    const struct {
        QStringList options;
        bool storeParameters, parameters;
    } cases[] = {
        {{"--table", "parameters"}, false, true},
        {{}, false, false},
        {{}, true, true},
        {{"--table", "properties"}, true, false},
    };
    for (const auto &c : cases) {
        if (c.storeParameters)
            SavePageSetup(stored);
        const CliRun r = RunCliCommand(print + c.options);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        const QString text = Simplified(PdfText(pdf));
        EXPECT_EQ(text.contains("Data Set Fo Fm Fv/Fm Data Set A( 0 ) 0.79869 3.9865 0.7997"), c.parameters)
            << c.options.join(' ').toStdString() << "\n"
            << text.toStdString();
        EXPECT_EQ(text.contains("Show Caption Style Mark"), !c.parameters) << text.toStdString();
        EXPECT_FALSE(text.contains("NPQ")) << "no value, no column";
    }
    SetCompilerLibrary(nullptr);
}
