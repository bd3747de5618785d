// upload and keys against the virtual instrument.
#include "../device/SimProcess.h"
#include "CliTestSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::RunCliCommand;

namespace {
// The instrument answers at 115200 baud: searching only there keeps each run short.
QString Ini() {
    const QString path = QDir::temp().filePath("fast-search.ini");
    if (!QFileInfo::exists(path))
        test::WriteTextFile(path, "[Communication]\nBaudRates=115200\n");
    return path;
}

QString WriteImage(const QString &path, int size) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char(i * 13);
    f.write(b);
    return path;
}

// The instrument with its log in the test folder.
struct LoggedSim {
    test::TestDir &dir;
    QString log;
    test::SimProcess sim;
    LoggedSim(test::TestDir &d, QStringList args)
        : dir(d), log(d.path("sim-%1.log").arg(args.join('_').remove('-'))),
          sim(args << QStringLiteral("--log") << log) {}
    QStringList Port() const { return {"--port", sim.Terminal, "--ini", Ini()}; }
    // The log once it holds `last` (the instrument reads the line a moment
    // after the command returned), or as it is after two seconds.
    QString Log(const QString &last = {}) const {
        QString text = test::ReadTextFile(log);
        for (int i = 0; i < 100 && !last.isEmpty() && !text.contains(last); ++i) {
            QThread::msleep(20);
            text = test::ReadTextFile(log);
        }
        return text;
    }
};
} // namespace

TEST(ServiceCommands, UsageErrorsComeBeforeTheInstrument) {
    test::TestDir dir;
    const QString image = WriteImage(dir.path("a.bin"), 10);
    const QStringList cases[] = {
        {"upload", "--port", "/dev/null"},
        {"upload", "--bios", image, "--firmware", image, "--port", "/dev/null"},
        {"upload", "--bios", image},
        {"keys", "--port", "/dev/null"},
        {"keys", "--level", "4=10", "--port", "/dev/null"},
        {"keys", "--level", "1=1024", "--port", "/dev/null"},
        {"keys", "--level", "1:5", "--port", "/dev/null"},
        {"keys", "--fire", "AX7", "--port", "/dev/null"},
    };
    for (const QStringList &args : cases) {
        const auto r = RunCliCommand(args);
        EXPECT_EQ(r.rc, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << args.join(' ').toStdString();
    }
}

TEST(ServiceCommands, UploadOutcomes) {
    test::TestDir dir;
    struct Case {
        QStringList sim;
        QStringList upload;
        int rc;
        const char *result;
        QStringList err; // lines standard error must hold, in order
        bool imageSent;
    };
    const QString image = WriteImage(dir.path("image.bin"), 10000);
    const QString empty = WriteImage(dir.path("empty.bin"), 0);
    const Case cases[] = {
        {{"--device", "ModelU"}, {"--bios", image}, 0, "programmed",
         {"Uploading program...", "Sent 4096 of 10000 bytes (40 %)", "Sent 10000 of 10000 bytes (100 %)",
          "Programming flash...", "Programming completed successfully."},
         true},
        {{"--device", "ModelS2"}, {"--firmware", image}, 0, "programmed",
         {"Uploading program...", "Programming device...", "Programming completed successfully."}, true},
        {{"--device", "ModelR1", "--refuse-block", "2"}, {"--firmware", image}, 1, "upload failed",
         {"Uploading program...", "Sent 4096 of 10000 bytes (40 %)", "Upload failed."}, true},
        {{"--device", "ModelU", "--program-fails"}, {"--bios", image}, 1, "programming failed",
         {"Programming flash...", "Programming failed."}, true},
        {{"--device", "ModelR2"}, {"--firmware", empty}, 1, "programming failed",
         {"Uploading program...", "Programming device...", "Programming failed."}, true},
        {{"--device", "ModelT2"}, {"--firmware", image}, 1, "refused",
         {"ModelT2 takes no firmware image; firmware updates are for ModelR1, ModelR2, ModelS1 and ModelS2"}, false},
        {{"--device", "ModelR1"}, {"--bios", image}, 1, "refused",
         {"ModelR1 takes no boot image; BIOS updates are for ModelU"}, false},
        {{"--device", "ModelU"}, {"--bios", dir.path("missing.bin")}, 1, "unreadable",
         {"Cannot open file \"" + dir.path("missing.bin") + "\". "}, false},
    };
    for (const Case &c : cases) {
        LoggedSim s(dir, c.sim);
        ASSERT_FALSE(s.sim.Terminal.isEmpty());
        const QString what = (c.sim + c.upload).join(' ');
        const auto r = RunCliCommand(QStringList{"upload"} + c.upload + s.Port());
        EXPECT_EQ(r.rc, c.rc) << what.toStdString() << '\n' << r.err.toStdString();
        EXPECT_EQ(r.out, QString::fromLatin1(c.result) + '\n') << what.toStdString();
        qsizetype at = 0;
        for (const QString &line : c.err) {
            at = r.err.indexOf(line, at);
            EXPECT_GE(at, 0) << what.toStdString() << ": " << line.toStdString() << " in\n" << r.err.toStdString();
            at = std::max<qsizetype>(at, 0);
        }
        const QString log = s.Log(c.imageSent ? "> LDP" : "");
        EXPECT_EQ(log.contains("> LDP"), c.imageSent) << what.toStdString() << '\n' << log.toStdString();
    }
}

TEST(ServiceCommands, UploadJson) {
    test::TestDir dir;
    LoggedSim s(dir, {"--device", "ModelU"});
    const QString image = WriteImage(dir.path("boot.bin"), 5000);
    const auto r = RunCliCommand(QStringList{"upload", "--bios", image, "--json"} + s.Port());
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QJsonObject j = r.json().object();
    EXPECT_EQ(j["device"].toString(), "ModelU");
    EXPECT_EQ(j["image"].toString(), "bios");
    EXPECT_EQ(j["size"].toInt(), 5000);
    EXPECT_EQ(j["sent"].toInt(), 5000);
    EXPECT_EQ(j["result"].toString(), "programmed");
    EXPECT_TRUE(s.Log("image of 5000").contains("image of 5000 bytes loaded, checksum "));
}

TEST(ServiceCommands, KeysSetLevelsAndFire) {
    test::TestDir dir;
    {
        LoggedSim s(dir, {"--device", "ModelT2"});
        const auto r = RunCliCommand(
            QStringList{"keys", "--level", "1=512", "--level", "6=1023", "--fire", "BF1", "--fire", "ax3", "--json"} +
            s.Port());
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        const QJsonObject j = r.json().object();
        EXPECT_EQ(j["device"].toString(), "ModelT2");
        EXPECT_TRUE(j["resetMacros"].toBool()) << "firmware 1.10 gets the reset macros first";
        const QJsonArray levels = j["levels"].toArray();
        ASSERT_EQ(levels.size(), 5);
        EXPECT_EQ(levels[0].toObject()["level"].toInt(), 512);
        EXPECT_EQ(levels[0].toObject()["percent"].toString(), "50 %");
        EXPECT_EQ(levels[4].toObject()["output"].toInt(), 6);
        EXPECT_EQ(levels[4].toObject()["percent"].toString(), "100 %");
        EXPECT_EQ(j["fired"].toArray(), QJsonArray({"BF1", "AX3"}));
        const QString log = s.Log("> AX3");
        for (const char *line : {"> EC 05 A4 01 0B 0F FF", "> SA1 512", "> SA2 0", "> SA6 1023", "> BF1",
                                 "> AX3 (line 6 on)"})
            EXPECT_TRUE(log.contains(line)) << line << '\n' << log.toStdString();
        EXPECT_LT(log.indexOf("> SA6 1023"), log.indexOf("> BF1")) << "levels first, then the signals";
    }
    {
        // Firing alone leaves the levels as they are.
        LoggedSim s(dir, {"--device", "ModelT1"});
        const auto r = RunCliCommand(QStringList{"keys", "--fire", "SF1"} + s.Port());
        EXPECT_EQ(r.rc, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, "SF1\n");
        EXPECT_FALSE(s.Log("> SF1").contains("> SA"));
    }
    {
        LoggedSim s(dir, {"--device", "ModelW"});
        const auto refused = RunCliCommand(QStringList{"keys", "--level", "5=100"} + s.Port());
        EXPECT_EQ(refused.rc, 1);
        EXPECT_EQ(refused.err, "ModelW has no level 5\n");
        const auto three = RunCliCommand(QStringList{"keys", "--level", "3=1023"} + s.Port());
        EXPECT_EQ(three.rc, 0) << three.err.toStdString();
        EXPECT_EQ(three.out, "SA1 0 (0 %)\nSA2 0 (0 %)\nSA3 1023 (100 %)\n");
        EXPECT_FALSE(s.Log("> SA3 1023").contains("> SA5"));
    }
}
