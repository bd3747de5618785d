// tessel-cli measure end to end: the virtual instrument on its pseudo-terminal,
// the real compiler library, experiment files written, appended to, and left
// alone when a run fails or is aborted.
#include "../device/SimProcess.h"
#include "CliTestSupport.h"

#include "data/ExperimentFile.h"

#include <QTimer>
#include <csignal>

using namespace tessel;
using namespace tessel::test;

namespace {

class MeasureCommand : public CompilingTest {
protected:
    static CliRun Measure(const SimProcess &sim, const QString &protocol, const QString &out, QStringList extra = {}) {
        return RunCliCommand(QStringList{"measure", SourcePath(protocol), "--out", out, "--port", sim.Terminal} +
                             ShippedConfig() + extra);
    }
};

// A new file, a repeat appended and plotted as its group's mean and spread,
// then the file replaced.
TEST_F(MeasureCommand, MeasuresAppendsAndReplaces) {
    SimProcess sim({"--device", "ModelT2", "--speed", "20"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    const QString out = dir.path("fvfm.exp"), svg = dir.path("fvfm.svg");

    const CliRun first =
        Measure(sim, "resources/protocols/FvFm.p", out, {"--json", "--device", "ModelT2", "--set", "leaf=1"});
    ASSERT_EQ(first.rc, 0) << first.err.toStdString();
    const QJsonObject j = first.json().object();
    EXPECT_EQ(j["states"].toArray(), (QJsonArray{"Empty", "Data"})); // nothing loaded before the run
    // Plain progress lines on standard error, as the status bar shows them.
    EXPECT_TRUE(first.err.contains("Compiling...\nLoading program...\n")) << first.err.toStdString();
    TExperimentModel m;
    ASSERT_TRUE(LoadExperimentFile(m, out));
    EXPECT_EQ(m.Record(1).A.Set->Count(), j["plannedA"].toInt()); // every planned sample fetched and kept
    // The exchange went to the per-user log.
    EXPECT_TRUE(QFile::exists(qEnvironmentVariable("XDG_STATE_HOME") + "/KRT/Tessel/tessel-cli.log"));

    const CliRun second = Measure(sim, "resources/protocols/FvFm.p", out, {"--append", "--set", "leaf=1"});
    EXPECT_TRUE(second.out.endsWith(" holds 2 measurements\n")) << second.err.toStdString();
    const CliRun plot =
        RunCliCommand(QStringList{"plot", out, "--out", svg, "--parameters", "Fv/Fm", "--group-by", "leaf", "--json"} +
                      ShippedConfig());
    EXPECT_EQ(plot.json()["DataSets"].toInt(), 1) << plot.err.toStdString();
    EXPECT_TRUE(ReadTextFile(svg).contains(" (n = 2)</text>"));

    // --force replaces the file and keeps the old one as FILE~.
    const QByteArray two = ReadBytes(out);
    const CliRun third = Measure(sim, "resources/protocols/FvFm.p", out, {"--force"});
    ASSERT_EQ(third.rc, 0) << third.err.toStdString();
    EXPECT_TRUE(third.out.endsWith(" holds 1 measurement\n")) << third.out.toStdString();
    EXPECT_EQ(ReadBytes(out + "~"), two);
}

// Whatever can be refused is refused before the port is opened (the port
// here does not exist, so reaching it would say so), and the file stays.
TEST_F(MeasureCommand, EverythingIsCheckedBeforeTheInstrument) {
    const QString existing = SavedSample(dir, 2);
    const QString csv = dir.path("notes.csv");
    WriteTextFile(csv, "leaf,Fv/Fm\n1,0.8\n");
    const QString full = dir.path("full.exp");
    {
        TExperimentModel m;
        FillSampleExperiment(m, 6, 4); // 12 data sets, MaxSignals is 10
        ASSERT_TRUE(SaveExperimentFile(m, full));
    }
    WriteTextFile(dir.path("broken.p"), "include \"device.inc\"\nat 1 s pluse 3\n");
    const QString port = dir.path("ttyNone"), fvfm = SourcePath("resources/protocols/FvFm.p"), x = dir.path("x.exp");
    const QString tooMany =
        "Too many Data Sets in experiment\n" + full + " holds 12 data sets; \"MaxSignals\" in section [Main]";
    const QString buildError = dir.path("broken.p") + ":2:8: Expected an action, found 'pluse'";
    const struct {
        QString protocol, out;
        QStringList extra;
        int rc;
        QString result, message;
    } cases[] = {
        {fvfm, x, {"--device", "ModelZ"}, 2, "", "unknown device 'ModelZ'"},
        {fvfm, existing, {}, 2, "", existing + " exists; use --append to add to it or --force to replace it"},
        {fvfm, existing, {"--append", "--force"}, 2, "", "--append and --force exclude each other"},
        {fvfm, x, {"--set", "leaf 3=1"}, 2, "", "--set needs KEY=VALUE"},
        {fvfm, dir.path("nodir/x.exp"), {}, 1, "refused", "no folder '" + dir.path("nodir") + "'"},
        {fvfm, csv, {"--append"}, 1, "refused", "Bad file format: " + csv},
        {fvfm, full, {"--append"}, 1, "too many data sets", tooMany},
        {dir.path("broken.p"), x, {"--device", "ModelT2"}, 1, "build error", buildError},
        {fvfm, x, {}, 1, "not connected", "Error accessing specified device (Error: 2): " + port},
    };
    ExpectCliCases("measure", {{{fvfm, "--port", port}, 2, "", "tessel-cli measure: --out is required\n"},
                               {{fvfm, "--out", x}, 2, "", "tessel-cli measure: --port is required\n"}});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        const QByteArray before = ReadBytes(c.out);
        const CliRun r = RunCliCommand(QStringList{"measure", c.protocol, "--out", c.out, "--port", port, "--json"} +
                                       ShippedConfig() + c.extra);
        EXPECT_EQ(r.rc, c.rc);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(r.err.contains("Error accessing"), c.result == "not connected") << r.err.toStdString();
        EXPECT_EQ(r.json()["result"].toString(), c.result);
        EXPECT_EQ(ReadBytes(c.out), before);
    }
}

// A line pulled in the middle of the fetch: the run fails, says which
// channels it lost, and the file stays as it was.
TEST_F(MeasureCommand, LostLineFailsAndLeavesTheFileAlone) {
    SimProcess sim({"--device", "ModelT2", "--speed", "20", "--hangup-in", "GDA:100"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    const QString out = SavedSample(dir, 2);
    const QByteArray before = ReadBytes(out);
    const CliRun r = Measure(sim, "resources/protocols/FvFm.p", out, {"--append", "--json"});
    EXPECT_EQ(r.rc, 1);
    for (const char *part : {"Data transfer failed on channel 1 and 2\n", "Connection lost on ", "was not written"})
        EXPECT_TRUE(r.err.contains(QLatin1String(part))) << r.err.toStdString();
    EXPECT_EQ(r.json()["failedChannels"].toArray(), (QJsonArray{1, 2}));
    EXPECT_EQ(ReadBytes(out), before);
}

TEST_F(MeasureCommand, SigtermAbortsTheRunAndStopsTheInstrument) {
    const QString simLog = dir.path("sim.log");
    SimProcess sim({"--device", "ModelT2", "--log", simLog});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    const QString out = SavedSample(dir, 2);
    const QByteArray before = ReadBytes(out);
    // Once the instrument runs, the signal comes (and keeps coming: outside
    // the command it is ignored).
    auto *previous = std::signal(SIGTERM, SIG_IGN);
    QTimer nag;
    QObject::connect(&nag, &QTimer::timeout, [&] {
        if (ReadBytes(simLog).contains("> ST"))
            std::raise(SIGTERM);
    });
    nag.start(200);
    const CliRun r = Measure(sim, "resources/protocols/Quenching.p", out, {"--append"});
    nag.stop();
    std::signal(SIGTERM, previous);
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.contains("Measurement aborted; " + out + " was not written")) << r.err.toStdString();
    EXPECT_EQ(ReadBytes(out), before);
    // "SP" reached the instrument: it is ready, not measuring.
    const CliRun status =
        RunCliCommand({"status", "--port", sim.Terminal, "--ini", SourcePath("resources/Tessel.ini")});
    EXPECT_EQ(status.out, "1 Ready\n") << status.err.toStdString();
}

} // namespace
