#include "common/Errors.h"
#include "common/MessageService.h"
#include "settings/widgets/EnvSetupDialog.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>

using namespace tessel;

namespace {
class EnvDialogTest : public ::testing::Test {
protected:
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TEnvSetup env;
    std::array<bool, 17> cols = [] {
        std::array<bool, 17> a{};
        a.fill(true);
        return a;
    }();
    int32_t thickness = 1;
    int saves = 0;
    TEnvSetupDialog dlg{env, {&cols, &thickness, [this] { ++saves; }}};
};
} // namespace

TEST_F(EnvDialogTest, FirstStartShowsTheDefaults) {
    env.Restore();
    dlg.LoadControls();
    EXPECT_TRUE(dlg.cbShowDialogs->isChecked());
    EXPECT_TRUE(dlg.cbExcludeCh->isChecked());
    for (QCheckBox *c : {dlg.cbAutoScale, dlg.cbCreateExp, dlg.cbShowWizard, dlg.cbPrintNotes, dlg.cbPrintData,
                         dlg.cbAutoReconnect})
        EXPECT_FALSE(c->isChecked()) << c->text().toStdString();
    EXPECT_TRUE(dlg.rbReorder[0]->isChecked());
    EXPECT_EQ(dlg.windowTitle(), "Environment Options");
    EXPECT_EQ(dlg.cbColumns[0]->text(), "Index Number");
    EXPECT_EQ(dlg.cbColumns[14]->text(), "Device");
}

TEST_F(EnvDialogTest, OkAppliesEveryControlAndWritesTheIni) {
    dlg.LoadControls();
    dlg.cbAutoScale->setChecked(true);
    dlg.cbPrintData->setChecked(true);
    dlg.cbShowDialogs->setChecked(false);
    dlg.rbReorder[3]->setChecked(true);
    dlg.cbColumns[2]->setChecked(false);
    dlg.edThickness->setValue(3);
    dlg.edBootFile->setText("/boot/image.bin");
    dlg.Apply();
    EXPECT_TRUE(env.AutoScaleAfterStop);
    EXPECT_TRUE(env.PrintData);
    EXPECT_FALSE(env.ShowDialogs);
    EXPECT_EQ(env.ReorderOnNew, 3);
    EXPECT_FALSE(cols[2]);
    EXPECT_TRUE(cols[15] && cols[16]); // no check boxes: untouched
    EXPECT_EQ(thickness, 3);
    EXPECT_EQ(env.BootFile, "/boot/image.bin");
    EXPECT_EQ(saves, 1);
}

TEST_F(EnvDialogTest, CancelKeepsEverything) {
    dlg.LoadControls();
    dlg.cbAutoScale->setChecked(true);
    dlg.cbColumns[0]->setChecked(false);
    dlg.edThickness->setValue(5);
    dlg.reject();
    EXPECT_FALSE(env.AutoScaleAfterStop);
    EXPECT_TRUE(cols[0]);
    EXPECT_EQ(thickness, 1);
    EXPECT_EQ(saves, 0);
}

TEST_F(EnvDialogTest, RefusedIniWriteIsReportedAndValuesStayApplied) {
    TEnvSetupDialog failing(env, {&cols, &thickness, [] { throw ETesselError("Unable to write to /ro/Tessel.ini"); }});
    failing.LoadControls();
    failing.edThickness->setValue(4);
    failing.Apply();
    EXPECT_EQ(thickness, 4);
    EXPECT_EQ(messages.texts(), QStringList({"Unable to write to /ro/Tessel.ini"}));
}
