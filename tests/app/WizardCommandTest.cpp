// The Protocol Wizard command of the main window, from the chosen file to
// the new experiment.
#include "app/widgets/WizardCommand.h"
#include "ProgramWindowFixture.h"
#include "authoring/WizardList.h"
#include "authoring/widgets/WizardDialog.h"

#include <QFileInfo>
#include <QPushButton>

using namespace tessel;

namespace {

struct WizardCommandTest : test::ProgramWindowFixture {
    TWizardCommand *command = nullptr;
    QString chosen;

    void SetUp() override {
        // A new experiment starts from the template; the wizard's text replaces it.
        QDir().mkpath(dir.path("include"));
        test::WriteTextFile(dir.path("include/Default.1st"), "; template\n");
        ProgramWindowFixture::SetUp();
        command = program->Main().findChild<TWizardCommand *>();
        ASSERT_NE(command, nullptr);
        command->ChooseWizard = [this] { return chosen; };
    }
    // The user's part in the wizard's dialog: act, then OK or Cancel.
    static void inDialog(std::function<void(TWizardDialog &)> act, bool ok) {
        test::WhenModal([act, ok](QWidget *w) {
            auto &d = *static_cast<TWizardDialog *>(w);
            act(d);
            (ok ? d.btnOK : d.btnCancel)->click();
        });
    }
};

TEST_F(WizardCommandTest, MakesAnExperimentHoldingTheExpandedProtocol) {
    TfrmMain &main = program->Main();
    main.Action("mniWizard")->trigger(); // selector cancelled: nothing
    EXPECT_TRUE(experiments().isEmpty());

    chosen = test::SourcePath("resources/wizards/FvFm.wzd");
    auto flashWidth = [this] {
        return qobject_cast<TWizardNumberEdit *>(command->Session().Current()->FindVariable("FlashWidth")->Control);
    };
    inDialog([&](TWizardDialog &) { flashWidth()->setText("500"); }, true);
    main.Action("mniWizard")->trigger();
    ASSERT_EQ(experiments().size(), 1);
    TMDIChild *c = experiments().at(0);
    // The expanded template with the value typed, shown on the protocol view.
    const QString &text = c->Doc().Protocol.Text;
    EXPECT_TRUE(text.startsWith("#") && text.contains("\nconst FlashWidth = 500 ms\n") && !text.contains('%'));
    EXPECT_EQ(main.MdiArea()->activeSubWindow(), c->EditorFrame.data());

    // The start-up hook offers the values entered last; Cancel makes nothing.
    QString offered;
    inDialog([&](TWizardDialog &) { offered = flashWidth()->text(); }, false);
    main.RunWizard();
    EXPECT_EQ(QStringList({offered, QString::number(experiments().size())}), QStringList({"500", "1"}));
}

TEST_F(WizardCommandTest, EveryShippedWizardsDefaultsBuildForEveryShippedType) {
    auto previous = SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    ASSERT_NE(CompilerLibrary(), nullptr);
    TWizards list;
    list.Load(test::SourcePath("resources/Tessel.ini"), test::SourcePath("resources/"));
    ASSERT_EQ(list.Entries().size(), 4u);
    TCompiler compiler;
    for (const TWizardEntry &e : list.Entries()) {
        chosen = e.FileName;
        inDialog([](TWizardDialog &) {}, true);
        TMDIChild *c = command->Run();
        ASSERT_NE(c, nullptr) << chosen.toStdString();
        int types = 0;
        for (int d = 0; d < kDeviceCount; ++d) {
            const TDeviceInfo &info = DeviceInfo(TDevice(d));
            const QString folder = test::SourcePath(
                QString::asprintf("resources/include/%s_%4.4x/", QByteArray(info.identification).trimmed().constData(),
                                  unsigned(info.version)));
            if (!QFileInfo(folder).isDir())
                continue;
            ++types;
            compiler.Constants =
                ReadInstrumentConfig(test::SourcePath("resources/Tessel.ini"), DeviceTextOf(TDevice(d))).Compiler;
            compiler.IncludeDir = folder;
            QStringList log;
            EXPECT_EQ(compiler.CompileProtocol(c->Doc().Protocol.Text.split('\n'), log, nullptr), kBuildOk)
                << QFileInfo(chosen).fileName().toStdString() << " " << info.name << "\n"
                << log.join('\n').toStdString();
        }
        EXPECT_EQ(types, 17);
    }
    EXPECT_TRUE(messages.entries.empty()) << messages.texts().join('\n').toStdString();
    SetCompilerLibrary(std::move(previous));
}

} // namespace
