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
        EXPECT_FALSE(e.Picture.isNull());
        TWizardFile w(e.FileName);
        w.Load();
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
    TWizardFile fvfm = LoadedWizard("FvFm.wzd");
    EXPECT_EQ(Check(fvfm, {{"F0Time", 50}, {"FlashStart", 10}, {"FmStep", 5000}, {"FlashWidth", 2}}), QStringList());
    EXPECT_EQ(fvfm.FindVariable("FlashStart")->Value, 51); // moved after the F0 window
    TWizardFile induction = LoadedWizard("Induction.wzd");
    EXPECT_FALSE(Check(induction, {{"Points", 5000}}).isEmpty());
    TWizardFile quenching = LoadedWizard("Quenching.wzd");
    EXPECT_EQ(Check(quenching, {{"RelaxTime", 3}, {"FarRedTime", 60}}), QStringList());
    EXPECT_EQ(quenching.FindVariable("FarRedTime")->Value, 3);
    // A step below its predecessor is raised to it, one step per pass.
    TWizardFile curve = LoadedWizard("LightCurve.wzd");
    EXPECT_EQ(Check(curve, {{"Level3", 1}, {"Steps", 3}}), QStringList());
    EXPECT_EQ(curve.FindVariable("Level3")->Value, 10);
}
