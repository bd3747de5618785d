// upload and keys against the virtual instrument.
#include "../device/SimProcess.h"
#include "CliTestSupport.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::RunCliCommand;

namespace {
// The instrument answers at 115200 baud; searching only there keeps each run short.
struct Instrument {
    test::TestDir &dir;
    QString log;
    test::SimProcess sim;
    Instrument(test::TestDir &d, const char *device)
        : dir(d), log(d.path(QStringLiteral("%1.log").arg(device))), sim({"--device", device, "--log", log}) {
        test::WriteTextFile(d.path("fast.ini"), "[Communication]\nBaudRates=115200\n");
    }
    QStringList Port() const { return {"--port", sim.Terminal, "--ini", dir.path("fast.ini")}; }
    // The log once it holds `last`: the instrument reads the line a moment after the command returned.
    QString Log(const QString &last) const {
        for (int i = 0; i < 100 && !test::ReadTextFile(log).contains(last); ++i)
            QThread::msleep(20);
        return test::ReadTextFile(log);
    }
};
} // namespace

TEST(ServiceCommands, UploadProgramsOnlyTypesThatTakeTheImage) {
    test::TestDir dir;
    QFile f(dir.path("boot.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(10000, '\x5A'));
    f.close();
    // Usage errors come before the instrument is asked.
    for (const QStringList &args : {QStringList{"upload", "--bios", "a", "--firmware", "b", "--port", "/dev/null"},
                                    QStringList{"keys", "--level", "4=10", "--port", "/dev/null"},
                                    QStringList{"keys", "--fire", "AX7", "--port", "/dev/null"}})
        EXPECT_EQ(RunCliCommand(args).rc, 2) << args.join(' ').toStdString();
    Instrument u(dir, "ModelU");
    const auto r = RunCliCommand(QStringList{"upload", "--bios", f.fileName(), "--json"} + u.Port());
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().object()["result"].toString(), "programmed");
    EXPECT_EQ(r.json().object()["sent"].toInt(), 10000);
    EXPECT_TRUE(r.err.contains("Uploading program...\nSent 4096 of 10000 bytes (40 %)\n"
                               "Sent 8192 of 10000 bytes (80 %)\nSent 10000 of 10000 bytes (100 %)\n"
                               "Programming flash...\nProgramming completed successfully.\n"))
        << r.err.toStdString();

    Instrument t(dir, "ModelT2");
    const auto refused = RunCliCommand(QStringList{"upload", "--firmware", f.fileName()} + t.Port());
    EXPECT_EQ(refused.rc, 1);
    EXPECT_EQ(refused.out, "refused\n");
    EXPECT_EQ(refused.err, "ModelT2 takes no firmware image; firmware updates are for ModelR1, ModelR2, ModelS1 "
                           "and ModelS2\n");
    EXPECT_FALSE(t.Log("> VER").contains("> LDP"));
}

TEST(ServiceCommands, KeysSetLevelsThenFire) {
    test::TestDir dir;
    Instrument t(dir, "ModelT2");
    const auto r = RunCliCommand(
        QStringList{"keys", "--level", "1=512", "--level", "6=1023", "--fire", "BF1", "--fire", "ax3"} + t.Port());
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              "reset macros\nSA1 512 (50 %)\nSA2 0 (0 %)\nSA3 0 (0 %)\nSA5 0 (0 %)\nSA6 1023 (100 %)\nBF1\nAX3\n");
    const QString log = t.Log("> AX3");
    qsizetype at = 0;
    for (const char *line :
         {"> EC 05 A4 01 0B 0F FF", "> SA1 512", "> SA2 0", "> SA5 0", "> SA6 1023", "> BF1", "> AX3 (line 6 on)"}) {
        at = log.indexOf(line, at);
        ASSERT_GE(at, 0) << line << " in order in\n" << log.toStdString();
    }

    Instrument w(dir, "ModelW");
    const auto five = RunCliCommand(QStringList{"keys", "--level", "5=100"} + w.Port());
    EXPECT_EQ(five.rc, 1);
    EXPECT_EQ(five.err, "ModelW has no level 5\n");
    EXPECT_FALSE(w.Log("> WH").contains("> SA"));
}
