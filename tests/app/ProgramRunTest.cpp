// The whole program against the virtual instrument on its pseudo-terminal,
// each workflow once: identify, measure, a pulled cable, a killed program.
#include "../device/SimProcess.h"
#include "app/StartServer.h"
#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/MessageService.h"
#include "compiler/CompilerLibrary.h"
#include "graph/widgets/XYGraph.h"
#include "support/RecordingServices.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMdiSubWindow>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

// The program folder as it ships: Tessel.ini and the include files.
void InstallResources(const QString &to) {
    const QString from = test::SourcePath(QStringLiteral("resources"));
    QFile::copy(from + QStringLiteral("/Tessel.ini"), to + QStringLiteral("/Tessel.ini"));
    QDirIterator it(from + QStringLiteral("/include"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
}

bool WaitFor(const std::function<bool()> &condition, int ms) {
    QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

int DarkPixels(const QImage &img) {
    int n = 0;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2)
            n += qGray(img.pixel(x, y)) < 80;
    return n;
}

void Trigger(TProgram &p, const char *action) { p.Main().Action(QLatin1String(action))->trigger(); }

const char *kProtocol = "include \"device.inc\"\nvar MeasuringLevel = 30\nvar FlashLevel = 100\n"
                        "every 1 ms from 0 to 99 ms  sample AB\n"
                        "at 40 ms  pulse SaturatingFlash for 30 ms\n";

// One program on one instrument, through its workflows in turn: identifying
// again reads gains changed behind its back, F9 measures both channels into a
// new experiment, and a pulled cable leaves it searching with the experiment
// as it was.
TEST(ProgramRun, IdentifiesMeasuresAndOutlivesAPulledCable) {
    test::TestDir dir;
    InstallResources(dir.path());
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    test::SimProcess sim({"--device", "ModelT2"});
    ASSERT_FALSE(sim.Terminal.isEmpty());
    TProgramOptions options;
    options.port = sim.Terminal;
    {
        TProgram program(options);
        program.Env().AutoReconnect = true;
        program.Start();
        TCommunication &link = *program.Common().Comm;
        ASSERT_TRUE(link.Connected()) << messages.texts().join('\n').toStdString();
        TfrmMain &main = program.Main();

        // Identified at start: the panel shows the instrument's gains.
        EXPECT_EQ(main.GainPanel()->TextA().section(' ', 0, 0),
                  QStringLiteral("G1=%1").arg(program.Monitor().Session().GainA));

        Trigger(program, "mniNew");
        TMDIChild *c = program.ExperimentCommands().Experiments().at(0);
        c->Protocol().SetText(QString::fromLatin1(kProtocol));
        c->Editor()->ReloadText();
        messages.clear();
        const int emptyDark = DarkPixels(c->Graph->Render());
        Trigger(program, "mniStart");
        ASSERT_TRUE(messages.entries.empty()) << messages.texts().join('\n').toStdString() << "\n"
                                              << c->Protocol().Log.join('\n').toStdString();
        EXPECT_FALSE(main.Action("btnStart")->isEnabled());
        EXPECT_TRUE(main.Action("mniAbort")->isEnabled());
        WaitFor([&] { return c->Model().RecordCount() >= 2; }, 60000);
        ASSERT_EQ(c->Model().RecordCount(), 2) << main.Panel(1)->text().toStdString();
        const TMeasurementRecord &r = c->Model().Record(1);
        EXPECT_EQ(std::pair(r.A.Set->Count(), r.B.Set->Count()), std::pair(100, 100));
        EXPECT_FALSE(program.Recovery().CopyOf(c).isEmpty()) << "a recovery copy after each measurement";
        EXPECT_TRUE(messages.entries.empty()) << messages.texts().join('\n').toStdString();
        // The curves are painted: far more dark pixels than the empty graph had.
        QCoreApplication::processEvents();
        EXPECT_GT(DarkPixels(c->Graph->Render()), emptyDark + 200);
        if (const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR"); !out.isEmpty()) {
            main.resize(1000, 640);
            c->Frame->showMaximized();
            QCoreApplication::processEvents();
            main.grab().save(QDir(out).filePath(QStringLiteral("experiment-after-run.png")));
        }
        // The next poll finds the instrument idle: Start is back.
        EXPECT_TRUE(WaitFor([&main] { return main.Action("btnStart")->isEnabled(); }, 30000));

        // The cable pulled: the next Start finds no instrument. At most one
        // message, the program searches, the gains go, the measurement stays.
        sim.Process.kill();
        sim.Process.waitForFinished(10000);
        messages.clear();
        Trigger(program, "mniStart");
        EXPECT_TRUE(WaitFor(
            [&] {
                return !link.Connected() && main.Panel(1)->text().compare("Not connected", Qt::CaseInsensitive) == 0 &&
                       main.ReconnectTimer().isActive() && main.Action("mniDeviceID")->isEnabled() &&
                       !main.Experiments().Busy();
            },
            30000))
            << main.Panel(1)->text().toStdString() << link.Connected() << main.ReconnectTimer().isActive();
        EXPECT_TRUE(main.GainPanel()->TextA().isEmpty()) << "gains of an instrument that is gone";
        EXPECT_LE(messages.entries.size(), 1u) << messages.texts().join('|').toStdString();
        ASSERT_EQ(c->Model().RecordCount(), 2);
        EXPECT_EQ(c->Model().Record(1).A.Set->Count(), 100);
        program.Env().ShowDialogs = false;
        main.close();
    }
    SetCompilerLibrary(nullptr);
}

// The real program, killed or ended by the session with an unsaved
// experiment, loses nothing: the next start restores it from the recovery
// copy, the measurement included. SIGTERM ends it without the save question
// (that it writes the copies itself, RecoveryTest shows in the process).
TEST(ProgramRun, AnUnsavedExperimentSurvivesKillAndSessionEnd) {
    const struct {
        int signal;
        bool measure;
    } cases[] = {{SIGKILL, true}, {SIGTERM, false}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.signal);
        test::TestDir dir;
        InstallResources(dir.path());
        const QByteArray stateBefore = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", dir.path("state").toUtf8());
        const QString recovery = TRecoveryStore::DefaultFolder();
        const QString protocol = dir.path("run.p");
        test::WriteTextFile(protocol, QString::fromLatin1(kProtocol));
        const QString socket = QStringLiteral("TesselStart-recovery-test-%1").arg(QCoreApplication::applicationPid());
        std::unique_ptr<test::SimProcess> sim;
        QStringList args{"--protocol", protocol};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("USER", socket.mid(12));                        // its own "TesselStart" socket
        env.insert("TESSEL_CONFIG_DIR", dir.path("child-config")); // its port stays its own
        env.insert("XDG_STATE_HOME", dir.path("state"));
        env.insert("TESSEL_RECOVERY_INTERVAL", "1");
        if (k.measure) {
            sim = std::make_unique<test::SimProcess>(QStringList{});
            ASSERT_FALSE(sim->Terminal.isEmpty());
            args << "--port" << sim->Terminal;
        }
        QProcess tessel;
        tessel.setProcessEnvironment(env);
        tessel.setProcessChannelMode(QProcess::ForwardedChannels);
        tessel.start(qEnvironmentVariable("TESSEL_BIN_DIR") + "/Tessel", args);
        ASSERT_TRUE(tessel.waitForStarted(10000));
        QDeadlineTimer deadline(120000);
        auto waitFor = [&deadline](const std::function<bool()> &done) {
            while (!done() && !deadline.hasExpired())
                QThread::msleep(100);
            return done();
        };
        auto copies = [&recovery] { return QDir(recovery).entryInfoList({"*.exp"}, QDir::Files); };
        // The first copy marks the end of the start-up (its last step is the experiment).
        ASSERT_TRUE(waitFor([&] { return !copies().isEmpty(); }));
        if (k.measure) {
            // F9 through "TesselStart" (again when the data does not come: a
            // request served inside another exchange's wait may be lost).
            const qint64 before = copies().at(0).size();
            QString reply;
            QDeadlineTimer retry;
            ASSERT_TRUE(waitFor([&] {
                if (retry.hasExpired() && TStartServer::Send(&reply, socket, 1000) && reply == "started")
                    retry.setRemainingTime(20000);
                return !copies().isEmpty() && copies().at(0).size() > before + 1000;
            }));
        }
        ::kill(pid_t(tessel.processId()), k.signal);
        EXPECT_TRUE(tessel.waitForFinished(30000)) << "the program waits for an answer";
        ASSERT_EQ(copies().size(), 1);

        RecordingMessageService messages;
        ScopedMessageService scope(&messages);
        messages.answer(mbRestore);
        {
            TProgram again(TProgramOptions{});
            again.Start();
            ASSERT_EQ(again.ExperimentCommands().Experiments().size(), 1) << messages.texts().join('\n').toStdString();
            TMDIChild *c = again.ExperimentCommands().Experiments().at(0);
            EXPECT_EQ(c->Protocol().Text, QString::fromLatin1(kProtocol));
            ASSERT_EQ(c->Model().RecordCount(), k.measure ? 2 : 1);
            if (k.measure)
                EXPECT_EQ(c->Model().Record(1).A.Set->Count(), 100);
            again.Env().ShowDialogs = false;
            again.Main().close();
        }
        qputenv("XDG_STATE_HOME", stateBefore);
    }
}

} // namespace
