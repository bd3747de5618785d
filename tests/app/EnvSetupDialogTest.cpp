#include "settings/widgets/EnvSetupDialog.h"
#include "common/Errors.h"
#include "common/MessageService.h"
#include "support/RecordingServices.h"
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

TEST_F(EnvDialogTest, ControlsShowTheSettingsAndOnlyOkAppliesThem) {
    env.ExcludeCh = false;
    env.AutoReconnect = true;
    env.ReorderOnNew = 2;
    cols[1] = false;
    dlg.LoadControls();
    EXPECT_TRUE(dlg.cbShowDialogs->isChecked() && dlg.cbAutoReconnect->isChecked() && dlg.rbReorder[2]->isChecked());
    EXPECT_FALSE(dlg.cbExcludeCh->isChecked() || dlg.cbAutoScale->isChecked() || dlg.cbColumns[1]->isChecked());

    for (bool ok : {false, true}) {
        dlg.LoadControls();
        dlg.cbAutoScale->setChecked(true);
        dlg.cbPrintData->setChecked(true);
        dlg.cbShowDialogs->setChecked(false);
        dlg.rbReorder[3]->setChecked(true);
        dlg.cbColumns[2]->setChecked(false);
        dlg.edThickness->setValue(3);
        dlg.edBootFile->setText("/boot/image.bin");
        ok ? dlg.Apply() : dlg.reject();
        EXPECT_EQ(env.AutoScaleAfterStop && env.PrintData && !env.ShowDialogs && !cols[2], ok);
        EXPECT_EQ(env.ReorderOnNew, ok ? 3 : 2);
        EXPECT_EQ(thickness, ok ? 3 : 1);
        EXPECT_EQ(env.BootFile, ok ? "/boot/image.bin" : "");
        EXPECT_EQ(saves, ok ? 1 : 0);
    }
    EXPECT_TRUE(cols[15] && cols[16]); // no check boxes: untouched
    // A line width takes a short field, not the dialog's width.
    dlg.show();
    EXPECT_LT(dlg.edThickness->width(), dlg.width() / 4);
    dlg.hide();
}

TEST_F(EnvDialogTest, RefusedIniWriteIsReportedAndValuesStayApplied) {
    TEnvSetupDialog failing(env, {&cols, &thickness, [] { throw ETesselError("Unable to write to /ro/Tessel.ini"); }});
    failing.LoadControls();
    failing.edThickness->setValue(4);
    failing.Apply();
    EXPECT_EQ(thickness, 4);
    EXPECT_EQ(messages.texts(), QStringList({"Unable to write to /ro/Tessel.ini"}));
}
