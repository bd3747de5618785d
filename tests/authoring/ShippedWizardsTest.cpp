// The wizards shipped in resources/wizards, as Tessel.ini lists them.
#include "authoring/WizardFile.h"
#include "authoring/WizardList.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

TWizardFile LoadedWizard(const QString &name) {
    TWizardFile w(SourcePath("resources/wizards/" + name));
    w.Load();
    return w;
}

// Enters values as the user would, then runs the OK check.
QStringList Check(TWizardFile &w, std::initializer_list<std::pair<const char *, double>> entries) {
    TWizardFieldValues fields(w);
    for (const auto &[name, value] : entries) {
        const TWizardVariable *v = w.FindVariable(name);
        if (!v)
            throw std::runtime_error(std::string("no variable ") + name);
        fields.SetFieldValue(*v, value);
    }
    return w.CheckAndStore(fields);
}

} // namespace

TEST(ShippedWizards, ListedWithPictureAndDefaultsPassTheirChecks) {
    TWizards list;
    list.Load(SourcePath("resources/Tessel.ini"), SourcePath("resources/"));
    ASSERT_EQ(list.Entries().size(), 4u);
    for (const TWizardEntry &e : list.Entries()) {
        SCOPED_TRACE(e.FileName.toStdString());
        EXPECT_FALSE(e.Title.isEmpty());
        EXPECT_FALSE(e.Picture.isNull());
        TWizardFile w(e.FileName);
        w.Load();
        EXPECT_FALSE(w.Title().isEmpty());
        TWizardFieldValues fields(w);
        EXPECT_EQ(w.CheckAndStore(fields), QStringList());
        w.Expand();
        EXPECT_TRUE(w.OutputLines().join(QLatin1Char('\n')).contains(" mark Fm")) << "the flash's samples are marked";
        // Every displayed value starts within its limits.
        for (const TWizardGroup &g : w.Groups())
            for (const TWizardVariable &v : g.Variables)
                EXPECT_EQ(LimitToField(v, v.Value), v.Value) << v.Name.toStdString();
    }
}

TEST(ShippedWizards, TriggersKeepTheValuesConsistent) {
    {
        TWizardFile w = LoadedWizard("FvFm.wzd");
        EXPECT_EQ(Check(w, {{"F0Time", 50}, {"FlashStart", 10}, {"FmStep", 5000}, {"FlashWidth", 2}}), QStringList());
        EXPECT_EQ(w.FindVariable("FlashStart")->Value, 51);                   // moved after the F0 window
        EXPECT_EQ(w.FindVariable("FmStep")->Value, 2000);                     // no longer than the flash
        EXPECT_FALSE(Check(w, {{"F0Step", 20}, {"F0Time", 1000}}).isEmpty()); // 50000 samples
    }
    {
        TWizardFile w = LoadedWizard("Induction.wzd");
        EXPECT_FALSE(Check(w, {{"Points", 5000}}).isEmpty());
        EXPECT_EQ(Check(w, {{"Points", 20}, {"Duration", 0.1}, {"FirstSample", 1e6}}), QStringList());
        EXPECT_EQ(w.FindVariable("FirstSample")->Value, 100);
    }
    {
        TWizardFile w = LoadedWizard("Quenching.wzd");
        EXPECT_EQ(Check(w, {{"RelaxTime", 3}, {"FarRedTime", 60}}), QStringList());
        EXPECT_EQ(w.FindVariable("RelaxPeriod")->Value, 3);
        EXPECT_EQ(w.FindVariable("FarRedTime")->Value, 3);
        EXPECT_EQ(w.FindVariable("TotalTime")->Value, 20 + 120 + 3 + 1);
        EXPECT_FALSE(Check(w, {{"FlashPeriod", 1}}).isEmpty()); // 0.8 s flashes every second
        // Marked samples halfway between the trace's need the flashes on its grid.
        EXPECT_FALSE(Check(w, {{"FlashPeriod", 20}, {"SampleStep", 300}}).isEmpty());
    }
    {
        TWizardFile w = LoadedWizard("LightCurve.wzd");
        // A step below its predecessor is raised to it, one step per pass.
        EXPECT_EQ(Check(w, {{"Level3", 1}, {"Steps", 3}}), QStringList());
        EXPECT_EQ(w.FindVariable("Level3")->Value, 10);
        w.Expand();
        EXPECT_TRUE(w.OutputLines().contains("var Step3 = 10"));
        EXPECT_FALSE(w.OutputLines().contains("var Step4 = 35"));
        EXPECT_EQ(w.FindVariable("TotalTime")->Value, 3 * 25 + 5);
        EXPECT_FALSE(Check(w, {{"Steps", 8}, {"StepTime", 600}, {"SampleStep", 10}}).isEmpty());
        EXPECT_FALSE(Check(w, {{"Steps", 3}, {"StepTime", 25}, {"SampleStep", 300}}).isEmpty());
    }
}
