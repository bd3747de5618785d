// The whole program (its real main window, offscreen) against the virtual
// instrument's faults at each instrument action: the program keeps running,
// shows at most one message, ends idle or searching for the instrument, and
// leaves the open experiment as it was.
#include "../device/SimProcess.h"
#include "ProgramTestSupport.h"
#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/Program.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "compiler/CompilerLibrary.h"
#include "support/RecordingServices.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <csignal>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

bool WaitFor(const std::function<bool()> &condition, int ms) {
    QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// Closes the next modal window after `act` ran in it and the line had time
// to fail. The window may talk to the instrument for a while before its loop
// runs, so this looks every 20 ms.
void InModal(std::function<void(QWidget *)> act = {}) {
    auto *look = new QTimer;
    auto tries = std::make_shared<int>(500);
    QObject::connect(look, &QTimer::timeout, [look, tries, act] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w && --*tries > 0)
            return;
        look->stop();
        look->deleteLater();
        if (!w)
            return;
        if (act)
            act(w);
        // A window busy with the instrument refuses to close until it is done.
        auto *closer = new QTimer(w);
        QObject::connect(closer, &QTimer::timeout, w, [w] { w->close(); });
        closer->start(1500);
    });
    look->start(20);
}

enum class Fault {
    Pulled,  // the instrument goes at the action's command (--hangup-in), or before the action
    Silent,  // stopped before the action: nothing answers, nothing is read
    Garbage, // stray bytes after every reply, from the start
};

struct Case {
    const char *name;
    Fault fault;
    QStringList sim; // further options of the virtual instrument
    std::function<void(TProgram &, test::SimProcess &)> act;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

void Stop(test::SimProcess &sim) { ::kill(pid_t(sim.Process.processId()), SIGSTOP); }
void Pull(test::SimProcess &sim) {
    sim.Process.kill();
    sim.Process.waitForFinished(5000);
}
void Trigger(TProgram &p, const char *action) { p.Main().Action(QLatin1String(action))->trigger(); }
void StartAndWait(TProgram &p) {
    Trigger(p, "mniStart");
    // Until the run ends one way or the other.
    WaitFor([&p] { return !p.Main().Experiments().Busy(); }, 30000);
}

class ProgramFaults : public ::testing::TestWithParam<Case> {};

TEST_P(ProgramFaults, TheProgramGoesOnAndTheExperimentStays) {
    const Case &c = GetParam();
    test::TestDir dir;
    test::InstallResources(dir.path());
    const QString file = dir.path("FvFm.exp");
    ASSERT_TRUE(QFile::copy(test::SourcePath("resources/examples/FvFm.exp"), file));
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    RecordingFileDialogService files;
    ScopedFileDialogService fileScope(&files);
    SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    QStringList args = {"--speed", "20"};
    if (!c.sim.contains("--device"))
        args << "--device"
             << "ModelT2";
    if (c.fault == Fault::Garbage)
        args << "--garbage-every"
             << "1";
    test::SimProcess sim(args + c.sim);
    ASSERT_FALSE(sim.Terminal.isEmpty());
    TProgramOptions options;
    options.port = sim.Terminal;
    {
        TProgram program(options);
        program.Env().AutoReconnect = true;
        program.Env().ShowDialogs = false;
        program.Start();
        TCommunication &link = *program.Common().Comm;
        ASSERT_TRUE(link.Connected()) << c.name << ": " << messages.texts().join('\n').toStdString();
        TMDIChild *experiment = program.ExperimentCommands().OpenExperiment(file, true);
        ASSERT_TRUE(experiment);
        const int records = experiment->Model().RecordCount();
        auto record = [experiment](int i) {
            const TMeasurementRecord &r = experiment->Model().Record(i);
            return std::make_tuple(r.Time, r.A.Set->Count(), r.B.Set->Count(), r.Protocol);
        };
        std::vector<decltype(record(0))> before;
        for (int i = 1; i < records; ++i)
            before.push_back(record(i));
        messages.clear();

        if (c.fault == Fault::Silent)
            Stop(sim);
        c.act(program, sim);

        TfrmMain &main = program.Main();
        const auto idle = [&] {
            return link.Connected() && main.Action("btnStart")->isEnabled() && !main.Experiments().Busy();
        };
        const auto searching = [&] {
            return !link.Connected() && main.Panel(1)->text().compare("Not connected", Qt::CaseInsensitive) == 0 &&
                   main.ReconnectTimer().isActive() && main.Action("mniDeviceID")->isEnabled() &&
                   !main.Experiments().Busy();
        };
        EXPECT_TRUE(WaitFor([&] { return idle() || searching(); }, 30000))
            << c.name << ": status \"" << main.Panel(1)->text().toStdString() << "\", connected " << link.Connected()
            << ", Start " << main.Action("btnStart")->isEnabled() << ", searching " << main.ReconnectTimer().isActive()
            << ", Device ID " << main.Action("mniDeviceID")->isEnabled() << ", busy " << main.Experiments().Busy();
        if (!link.Connected())
            EXPECT_TRUE(main.GainPanel()->TextA().isEmpty()) << c.name << ": gains of an instrument that is gone";
        EXPECT_LE(messages.entries.size(), 1u) << c.name << ": " << messages.texts().join('|').toStdString();
        ASSERT_EQ(program.ExperimentCommands().Experiments().size(), 1) << c.name;
        EXPECT_GE(experiment->Model().RecordCount(), records) << c.name;
        // The measurements the file held are as they were (a new one goes first).
        const int added = experiment->Model().RecordCount() - records;
        for (int i = 1; i < records; ++i)
            EXPECT_EQ(record(i + added), before[size_t(i - 1)]) << c.name << ": measurement " << i;

        if (c.fault == Fault::Silent)
            ::kill(pid_t(sim.Process.processId()), SIGCONT);
        experiment->Doc().Modified = experiment->Doc().Protocol.Modified = false; // no save question at the end
        main.close();
    }
    SetCompilerLibrary(nullptr);
}

const Case kCases[] = {
    // The line pulled inside each action.
    {"Start: download", Fault::Pulled, {"--hangup-in", "LDE:100"}, [](TProgram &p, auto &) { StartAndWait(p); }},
    {"Start: run", Fault::Pulled, {"--hangup-in", "ST"}, [](TProgram &p, auto &) { StartAndWait(p); }},
    {"Start: fetch", Fault::Pulled, {"--hangup-in", "GDA:300"}, [](TProgram &p, auto &) { StartAndWait(p); }},
    {"Abort",
     Fault::Pulled,
     {"--hangup-in", "SP", "--trigger-wait", "30"},
     [](TProgram &p, auto &) {
         Trigger(p, "mniStart");
         WaitFor([&p] { return p.Main().Panel(1)->text() == "Waiting"; }, 10000);
         Trigger(p, "mniAbort");
     }},
    {"monitor, then closed",
     Fault::Pulled,
     {"--hangup-in", "MO:100"},
     [](TProgram &p, auto &) {
         InModal();
         Trigger(p, "mniMonitor");
     }},
    {"Test Keys",
     Fault::Pulled,
     {"--hangup-in", "BF1"},
     [](TProgram &p, auto &) {
         InModal([](QWidget *w) {
             for (QPushButton *b : w->findChildren<QPushButton *>())
                 if (b->text().contains("Actinic Flash"))
                     b->click();
         });
         Trigger(p, "mniTestKeys");
     }},
    {"Test Unit",
     Fault::Pulled,
     {"--hangup-in", "TST:10"},
     [](TProgram &p, auto &) {
         InModal();
         Trigger(p, "mniTestUnit");
     }},
    {"upload",
     Fault::Pulled,
     {"--device", "ModelR1", "--hangup-in", "LDP:100"},
     [](TProgram &p, auto &) {
         const QString image = QDir::temp().filePath("image.bin");
         test::WriteTextFile(image, QString(9000, 'x'));
         static_cast<RecordingFileDialogService &>(FileDialogs()).answer(image);
         Trigger(p, "mniUpdateFirmware");
     }},
    {"Device ID",
     Fault::Pulled,
     {},
     [](TProgram &p, test::SimProcess &s) {
         Pull(s);
         Trigger(p, "mniDeviceID");
     }},
    {"Set Device",
     Fault::Pulled,
     {},
     [](TProgram &p, test::SimProcess &s) {
         Pull(s);
         InModal();
         Trigger(p, "mniSetDevice");
     }},
    // Nothing answers, nothing is read: the writes back up.
    {"Start, silent", Fault::Silent, {}, [](TProgram &p, auto &) { StartAndWait(p); }},
    {"monitor, silent",
     Fault::Silent,
     {},
     [](TProgram &p, auto &) {
         InModal();
         Trigger(p, "mniMonitor");
     }},
    {"Test Unit, silent",
     Fault::Silent,
     {},
     [](TProgram &p, auto &) {
         InModal();
         Trigger(p, "mniTestUnit");
     }},
    {"upload, never drains",
     Fault::Silent,
     {"--device", "ModelR1"},
     [](TProgram &p, auto &) {
         const QString image = QDir::temp().filePath("big.bin");
         test::WriteTextFile(image, QString(65536, 'x'));
         static_cast<RecordingFileDialogService &>(FileDialogs()).answer(image);
         Trigger(p, "mniUpdateFirmware");
     }},
    {"Device ID, silent", Fault::Silent, {}, [](TProgram &p, auto &) { Trigger(p, "mniDeviceID"); }},
    // Stray bytes after every reply.
    {"Start, garbage", Fault::Garbage, {}, [](TProgram &p, auto &) { StartAndWait(p); }},
    {"monitor, garbage",
     Fault::Garbage,
     {},
     [](TProgram &p, auto &) {
         InModal();
         Trigger(p, "mniMonitor");
     }},
};

INSTANTIATE_TEST_SUITE_P(Matrix, ProgramFaults, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             std::string n;
                             for (char ch : std::string(info.param.name))
                                 if (std::isalnum(static_cast<unsigned char>(ch)))
                                     n += ch;
                             return n;
                         });

// The navigator opens the live monitor and Test Keys only when their menus
// would: not while a run owns the link.
TEST(ProgramFaultRules, TheNavigatorFollowsTheMenusDuringARun) {
    test::TestDir dir;
    test::InstallResources(dir.path());
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    test::SimProcess sim({"--device", "ModelT2", "--trigger-wait", "30"});
    TProgramOptions options;
    options.port = sim.Terminal;
    {
        TProgram program(options);
        program.Env().ShowDialogs = false;
        program.Start();
        ASSERT_TRUE(program.Common().Comm->Connected());
        Trigger(program, "mniNew");
        int modals = 0;
        test::WhenModal([&modals](QWidget *w) {
            ++modals;
            w->close();
        });
        Trigger(program, "mniStart");
        ASSERT_FALSE(program.Main().Action("mniMonitor")->isEnabled());
        program.Navigator().OpenMonitor();
        program.Navigator().OpenTestKeys();
        QCoreApplication::processEvents();
        EXPECT_EQ(modals, 0);
        EXPECT_FALSE(program.Monitor().isVisible() || program.TestKeys().isVisible());
        Trigger(program, "mniAbort");
        for (TMDIChild *c : program.ExperimentCommands().Experiments())
            c->Doc().Modified = c->Doc().Protocol.Modified = false;
        program.Main().close();
    }
    SetCompilerLibrary(nullptr);
}

} // namespace
