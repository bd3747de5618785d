// Execute's OK-check loop and the wizard command's kept wizard, driven
// through a dialog double that plays the user.
#include "authoring/WizardSession.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct FakeDialog : IWizardDialog {
    explicit FakeDialog(TWizardFile &w) : wizard(w), fields(w) {}
    TWizardFile &wizard;
    TWizardFieldValues fields;
    std::function<bool(FakeDialog &)> user; // while shown; true for OK
    int shows = 0;

    double FieldValue(const TWizardVariable &v) const override { return fields.FieldValue(v); }
    void SetFieldValue(const TWizardVariable &v, double x) override { fields.SetFieldValue(v, x); }
    bool ShowModal() override { return ++shows, user(*this); }
    double field(const char *name) const { return FieldValue(*wizard.FindVariable(name)); }
    // Typing into a field and leaving it runs its trigger pass.
    void type(const char *name, double v) {
        SetFieldValue(*wizard.FindVariable(name), v);
        wizard.TriggerPass(*this);
    }
};

// a: an error above 5; b: copies 2a into d; c: hidden, its trigger never
// counts for the OK check.
const char *kWizard = "%define_group('G')\n"
                      "%define_var('a')\ntype(real)\ninit_value(1)\n"
                      "%define_trigger\ncondition('a > 5')\nerror('a is too large')\n%end_trigger\n%end_var\n"
                      "%define_var('b')\ntype(int)\ninit_value(2)\n"
                      "%define_trigger\nset('d := a * 2')\n%end_trigger\n%end_var\n"
                      "%define_var('c')\ntype(bool)\nno_display\n%define_trigger\n%end_trigger\n%end_var\n"
                      "%define_var('d')\ntype(real)\n%end_var\n"
                      "%end_group\n"
                      "a = %a%, d = %d%\n";

TEST(WizardExecute, OkShowsEachFailureOnceAndTheDialogAgain) {
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    TWizardFile wizard("test.wzd");
    wizard.LoadLines(QString(kWizard).split('\n'));
    auto dialog = std::make_unique<FakeDialog>(wizard);
    dialog->user = [&](FakeDialog &d) {
        if (d.shows == 1) {
            EXPECT_EQ(d.field("d"), 2); // the passes before the first show ran
            d.type("a", 9);             // the error condition holds: silent yet
        } else {
            EXPECT_EQ(wizard.FindVariable("a")->Value, 9); // stored although the check failed
            d.type("a", 3);
        }
        return true;
    };
    wizard.SetDialog(std::move(dialog));
    EXPECT_TRUE(wizard.Execute());
    // One failing pass for each displayed variable with triggers: a and b.
    EXPECT_EQ(messages.texts(), QStringList({"Wizard error: a is too large", "Wizard error: a is too large"}));
    wizard.Expand();
    EXPECT_EQ(wizard.OutputLines(), QStringList{"a = 3, d = 6"});
}

TEST(WizardSession, KeepsTheChosenWizardAndLoadsAFailedOneAgain) {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    const QString first = dir.path("first.wzd"), second = dir.path("second.wzd");
    WriteTextFile(first, "%define_group('G')\n");
    WriteTextFile(second, kWizard);
    std::function<bool(FakeDialog &)> user = [](FakeDialog &d) { return d.type("a", 4), true; };
    int builds = 0;
    TWizardSession s;
    s.BuildDialog = [&](TWizardFile &w) {
        ++builds;
        auto d = std::make_unique<FakeDialog>(w);
        d->user = [&](FakeDialog &fd) { return user(fd); };
        w.SetDialog(std::move(d));
    };
    // A wizard whose load fails is reported and dropped, so that the same
    // choice after the fix reads the file again.
    EXPECT_EQ(s.Run(first), nullptr);
    EXPECT_EQ(s.Current(), nullptr);
    WriteTextFile(first, kWizard);
    ASSERT_NE(s.Run(first), nullptr);
    EXPECT_EQ(s.Current()->OutputLines(), QStringList{"a = 4, d = 8"});
    // Chosen again: kept, not built again. Cancel keeps the stored values,
    // which the next show offers.
    user = [](FakeDialog &d) { return d.type("a", 7), false; };
    EXPECT_EQ(s.Run(first), nullptr);
    user = [](FakeDialog &d) { return d.field("a") == 4 ? false : true; };
    EXPECT_EQ(s.Run(first), nullptr);
    EXPECT_EQ(builds, 1);
    // Without a dialog Execute refuses.
    s.BuildDialog = nullptr;
    EXPECT_EQ(s.Run(second), nullptr);
    EXPECT_EQ(messages.texts(), QStringList({"Wizard error: %end_group missing at the end of the file.",
                                             "Wizard error: dialog box not yet created."}));
}

} // namespace
