// The wizard dialog and the "Select Wizard" window on the offscreen platform.
#include "authoring/widgets/WizardDialog.h"
#include "ProtocolTestSupport.h"
#include "authoring/widgets/WizardSelector.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

using namespace tessel;
using namespace tessel::test;

namespace {

// a drives the read-only box "locked" through a set trigger; the trigger
// after it reads the box in the same pass; an error action and an
// arithmetic fault wait for their conditions.
const char *kDialog = "%define_group('Numbers')\n"
                      "%define_var('a')\ntype(real)\nminimum(-2)\nmaximum(10)\ninit_value(1)\n"
                      "%define_trigger\ncondition('a > 5')\nset('locked := 1')\n%end_trigger\n"
                      "%define_trigger\ncondition('locked')\nset('seen := 1')\n%end_trigger\n"
                      "%define_trigger\ncondition('a > 8')\nerror('a is too large')\n%end_trigger\n"
                      "%define_trigger\ncondition('a < -1')\nset('a := 1/0')\n%end_trigger\n%end_var\n"
                      "%define_var('n')\ntype(int)\nminimum(-2.5)\nmaximum(3.5)\n%end_var\n"
                      "%define_var('fixed')\ntype(int)\nread_only\n%end_var\n"
                      "%end_group\n"
                      "%define_group('Flags')\n"
                      "%define_var('locked')\ntype(bool)\nread_only\n%end_var\n"
                      "%define_var('seen')\ntype(bool)\ncaption('Seen & kept')\n%end_var\n"
                      "%end_group\n";

struct WizardDialogTest : ::testing::Test {
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    TWizardFile wizard{"test.wzd"};
    void SetUp() override {
        wizard.LoadLines(QString(kDialog).split('\n'));
        BuildWizardDialog(wizard);
    }
    TWizardDialog &dialog() { return *static_cast<TWizardDialog *>(wizard.Dialog()); }
    const TWizardVariable &var(const char *name) { return *wizard.FindVariable(name); }
    TWizardNumberEdit *field(const char *name) { return qobject_cast<TWizardNumberEdit *>(var(name).Control); }
    QCheckBox *box(const char *name) { return qobject_cast<QCheckBox *>(var(name).Control); }
};

TEST_F(WizardDialogTest, NumericFieldsKeepTheirValueWithinTheLimits) {
    struct {
        const char *var, *typed;
        double value;
        const char *shown;
    } cases[] = {
        {"a", "12", 10, "10"}, {"a", "2,5", 2.5, "2,5"}, {"a", "-", 2.5, "2.5"}, // no number: the last value
    };
    for (const auto &c : cases) {
        field(c.var)->setText(c.typed);
        EXPECT_EQ(dialog().FieldValue(var(c.var)), c.value) << c.typed;
        EXPECT_EQ(field(c.var)->text(), c.shown) << c.typed;
    }
    dialog().SetFieldValue(var("n"), 2.5);
    EXPECT_EQ(field("n")->text(), "2");
    EXPECT_TRUE(field("fixed")->isReadOnly());
    EXPECT_FALSE(box("locked")->isEnabled());
    EXPECT_EQ(box("seen")->text(), "Seen && kept");
}

TEST_F(WizardDialogTest, TriggersRunOnEnteringLeavingAndClicking) {
    dialog().show();
    QApplication::setActiveWindow(&dialog());
    field("a")->setFocus(Qt::TabFocusReason);
    field("a")->setText("9");
    // Leaving a: one pass. The set action checks the read-only box, but the
    // trigger reading it in the same pass saw it unchecked; the error action
    // is silent while the dialog is open.
    field("n")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(box("locked")->isChecked());
    EXPECT_FALSE(box("seen")->isChecked());
    field("a")->setFocus(Qt::TabFocusReason); // entering: the next pass
    EXPECT_TRUE(box("seen")->isChecked());
    EXPECT_TRUE(messages.entries.empty());
    // A fault of a pass is shown and the dialog stays; focus that comes back
    // with the window's activation starts no pass.
    field("a")->setText("-1.5");
    QTest::mouseClick(field("a"), Qt::LeftButton);
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(field("a"), &back);
    EXPECT_EQ(messages.texts(), QStringList{"Arithmetic error: division by zero."});
    EXPECT_TRUE(dialog().isVisible());
}

TEST(WizardSelector, OnlyCellsWithAnEntryAreSelectedAndOkTakesTheirFile) {
    TestDir dir;
    WriteTextFile(dir.path("W.ini"), "[Wizard1]\nFileName=a.wzd\n[Wizard2]\nFileName=b.wzd\nXPos=2\n"
                                     "[Wizard3]\nFileName=c.wzd\nXPos=1\nYPos=1\n");
    TWzdSelector s;
    s.Load(dir.path("W.ini"));
    WhenModal([](QWidget *w) {
        auto &sel = *static_cast<TfrmWzdSelector *>(w);
        TWzdGrid &g = *sel.Grid;
        EXPECT_EQ(sel.size(), sel.Geometry().Client);
        EXPECT_TRUE(g.Selected()->FileName.endsWith("/a.wzd")); // the first entry's cell
        EXPECT_FALSE(g.Select(1, 0));
        QTest::keyClick(&g, Qt::Key_Right); // passes over the empty cell
        EXPECT_EQ(g.Column(), 2);
        QTest::mouseClick(&g, Qt::LeftButton, {}, sel.Geometry().Cell(0, 1).center()); // empty: stays
        EXPECT_EQ(g.Column(), 2);
        QTest::mouseClick(&g, Qt::LeftButton, {}, sel.Geometry().Cell(1, 1).center());
        sel.btnOk->click();
    });
    ASSERT_TRUE(s.Execute());
    EXPECT_EQ(s.SelectedFileName(), dir.path("c.wzd"));
    // Nothing listed: no window at all.
    WriteTextFile(dir.path("W.ini"), "[Wizard2]\nFileName=b.wzd\n");
    s.Load(dir.path("W.ini"));
    EXPECT_FALSE(s.Execute());
}

TEST(WizardScreenshots, SelectorAndEveryShippedDialogAtTheirLayoutSize) {
    // scripts/screenshots.sh keeps docs/images current from this test.
    const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
    auto save = [&out](QWidget &w, const QString &name) {
        w.show();
        const QPixmap pm = w.grab();
        // Not blank: the captions, fields and pictures leave dark pixels.
        EXPECT_GT(DarkPixels(pm.toImage(), &w, &w), 300) << name.toStdString();
        if (!out.isEmpty())
            EXPECT_TRUE(pm.save(QDir(out).filePath(name)));
        return pm.size();
    };
    TWizards list;
    list.Load(SourcePath("resources/Tessel.ini"), SourcePath("resources/"));
    TfrmWzdSelector selector(list);
    EXPECT_EQ(save(selector, "wizard-selector.png"), QSize(2 * 157, 2 * 122 + 14 + 25));
    for (const TWizardEntry &e : list.Entries()) {
        TWizardFile w(e.FileName);
        w.Load();
        BuildWizardDialog(w);
        auto &d = *static_cast<TWizardDialog *>(w.Dialog());
        EXPECT_EQ(save(d, "wizard-" + QFileInfo(e.FileName).baseName().toLower() + ".png"), d.Layout().Client);
        // Every frame and control where the layout put it.
        for (size_t gi = 0; gi < w.Groups().size(); ++gi) {
            const TWizardGroup &g = w.Groups()[gi];
            EXPECT_EQ(qobject_cast<QGroupBox *>(g.Frame)->geometry(), d.Layout().Frames[gi].Rect);
            for (const TWizardRowLayout &row : d.Layout().Frames[gi].Rows)
                EXPECT_EQ(qobject_cast<QWidget *>(g.Variables[size_t(row.Variable)].Control)->geometry(),
                          row.Type == TWizardVarType::Bool ? row.CheckBox : row.Field);
        }
        EXPECT_EQ(d.btnOK->geometry(), d.Layout().Ok);
    }
}

} // namespace
