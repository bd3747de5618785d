// Execute's OK-check loop and the wizard command's kept wizard, driven
// through a dialog double that plays the user.
#include "authoring/WizardSession.h"
#include "common/MessageService.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct FakeDialog : IWizardDialog {
    explicit FakeDialog(TWizardFile &w) : wizard(w), fields(w) {}
    TWizardFile &wizard;
    TWizardFieldValues fields;
    // What the user does while the dialog is shown; true for OK.
    std::function<bool(FakeDialog &)> user;
    int shows = 0;

    double FieldValue(const TWizardVariable &v) const override { return fields.FieldValue(v); }
    void SetFieldValue(const TWizardVariable &v, double x) override { fields.SetFieldValue(v, x); }
    bool ShowModal() override {
        ++shows;
        return user(*this);
    }
    double field(const char *name) const { return FieldValue(*wizard.FindVariable(name)); }
    // Typing into a field and leaving it: its trigger pass.
    void type(const char *name, double v) {
        SetFieldValue(*wizard.FindVariable(name), v);
        wizard.TriggerPass(*this);
    }
};

// a: an error while above 5; b: copies a into d; c: hidden, with a trigger
// that never counts for the OK check; d: no triggers.
const char *kWizard = "%define_group('G')\n"
                      "%define_var('a')\n type(real)\n init_value(1)\n"
                      " %define_trigger\n  condition('a > 5')\n  error('a is too large')\n %end_trigger\n"
                      "%end_var\n"
                      "%define_var('b')\n type(int)\n init_value(2)\n"
                      " %define_trigger\n  set('d := a * 2')\n %end_trigger\n"
                      "%end_var\n"
                      "%define_var('c')\n type(bool)\n no_display\n"
                      " %define_trigger\n  condition('0')\n %end_trigger\n"
                      "%end_var\n"
                      "%define_var('d')\n type(real)\n%end_var\n"
                      "%end_group\n"
                      "a = %a%, d = %d%\n";

struct WizardExecute : ::testing::Test {
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TWizardFile wizard{"test.wzd"};
    FakeDialog *dialog = nullptr;
    void SetUp() override {
        wizard.LoadLines(QString(kWizard).split('\n'));
        auto d = std::make_unique<FakeDialog>(wizard);
        dialog = d.get();
        wizard.SetDialog(std::move(d));
    }
    double value(const char *name) { return wizard.FindVariable(name)->Value; }
};

TEST_F(WizardExecute, OkShowsEachFailureOnceAndTheDialogAgain) {
    std::vector<bool> armed;
    dialog->user = [&](FakeDialog &d) {
        armed.push_back(wizard.ErrorActionsArmed);
        if (d.shows == 1) {
            EXPECT_EQ(d.field("d"), 2); // the passes before the first show ran
            d.type("a", 9);             // the error condition holds: nothing yet
            EXPECT_TRUE(messages.entries.empty());
        } else {
            EXPECT_EQ(d.field("a"), 9);
            d.type("a", 3);
        }
        return true;
    };
    EXPECT_TRUE(wizard.Execute());
    EXPECT_EQ(dialog->shows, 2);
    // One pass per displayed variable with triggers (a and b), each failing.
    EXPECT_EQ(messages.texts(), QStringList({"Wizard error: a is too large", "Wizard error: a is too large"}));
    EXPECT_EQ(armed, std::vector<bool>({false, false}));
    EXPECT_FALSE(wizard.ErrorActionsArmed);
    EXPECT_EQ(value("a"), 3);
    EXPECT_EQ(value("d"), 6);
    wizard.Expand();
    EXPECT_EQ(wizard.OutputLines(), QStringList{"a = 3, d = 6"});
}

TEST_F(WizardExecute, CancelKeepsTheStoredValuesForTheNextShow) {
    dialog->user = [](FakeDialog &d) {
        d.type("a", 4);
        d.type("b", 7);
        return false;
    };
    EXPECT_FALSE(wizard.Execute());
    EXPECT_TRUE(messages.entries.empty());
    EXPECT_EQ(value("a"), 1);
    EXPECT_EQ(value("b"), 2);
    double shown = 0;
    dialog->user = [&](FakeDialog &d) {
        shown = d.field("a");
        return false;
    };
    EXPECT_FALSE(wizard.Execute());
    EXPECT_EQ(shown, 1);
}

TEST(WizardExecuteWithoutDialog, Fails) {
    TWizardFile w("test.wzd");
    w.LoadLines(QString(kWizard).split('\n'));
    try {
        w.Execute();
        ADD_FAILURE() << "no error";
    } catch (const EWizardFileError &e) {
        EXPECT_EQ(e.message(), "Wizard error: dialog box not yet created.");
    }
}

TEST(WizardSession, KeepsTheChosenWizardAndLoadsAFailedOneAgain) {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    const QString first = dir.path("first.wzd"), second = dir.path("second.wzd");
    WriteTextFile(first, "%define_title('First')\n%define_group('G')\n");
    WriteTextFile(second, kWizard);
    std::function<bool(FakeDialog &)> user = [](FakeDialog &) { return true; };
    int builds = 0;
    bool failBuild = false;
    TWizardSession s;
    s.BuildDialog = [&](TWizardFile &w) {
        ++builds;
        if (failBuild)
            throw EWizardFileError("Wizard error: cannot build");
        auto d = std::make_unique<FakeDialog>(w);
        d->user = [&](FakeDialog &fd) { return user(fd); };
        w.SetDialog(std::move(d));
    };

    // A file that fails to load is reported and not kept ...
    EXPECT_EQ(s.Run(first), nullptr);
    EXPECT_EQ(messages.texts(), QStringList{"Wizard error: %end_group missing at the end of the file."});
    EXPECT_EQ(s.Current(), nullptr);
    // ... so after the fix the same choice loads it again.
    WriteTextFile(first, QString("%define_title('First')\n") + kWizard);
    messages.clear();
    user = [](FakeDialog &d) {
        d.type("a", 4);
        return true;
    };
    TWizardFile *w = s.Run(first);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(messages.entries.empty());
    EXPECT_EQ(w->Title(), "First");
    EXPECT_EQ(w->OutputLines().first(), "a = 4, d = 8");
    // The same wizard again: kept with its values, not built again.
    double offered = 0;
    user = [&](FakeDialog &d) {
        offered = d.field("a");
        return false;
    };
    EXPECT_EQ(s.Run(first), nullptr);
    EXPECT_EQ(offered, 4);
    EXPECT_EQ(builds, 1);
    EXPECT_TRUE(messages.entries.empty());
    // A dialog that cannot be built is not kept either.
    failBuild = true;
    EXPECT_EQ(s.Run(second), nullptr);
    EXPECT_EQ(messages.texts(), QStringList{"Wizard error: cannot build"});
    EXPECT_EQ(s.Current(), nullptr);
    failBuild = false;
    user = [](FakeDialog &) { return true; };
    ASSERT_NE(s.Run(second), nullptr);
    EXPECT_EQ(s.Current()->FileName(), second);
    EXPECT_EQ(s.Current()->FindVariable("a")->Value, 1); // another wizard: its own values
    EXPECT_EQ(builds, 3);
}

} // namespace
