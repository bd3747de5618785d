// The wizard dialog and the "Select Wizard" window on the offscreen platform.
#include "authoring/widgets/WizardDialog.h"
#include "authoring/widgets/WizardSelector.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QTest>
#include <QtWidgets>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// Every pass of a's triggers counts itself in the hidden "passes"; a value
// below -1 makes the pass fail.
const char *kDialog = "%define_group('Numbers')\n"
                      "%define_var('a')\ntype(real)\nminimum(-2)\nmaximum(10)\ninit_value(1)\n"
                      "%define_trigger\nset('passes := passes + 1')\n%end_trigger\n"
                      "%define_trigger\ncondition('a < -1')\nset('a := 1/0')\n%end_trigger\n%end_var\n"
                      "%define_var('n')\ntype(int)\n%end_var\n"
                      "%define_var('passes')\ntype(int)\nno_display\n%end_var\n"
                      "%define_var('box')\ntype(bool)\nread_only\ncaption('Seen & kept')\n%end_var\n"
                      "%end_group\n";

TEST(WizardDialog, TriggersRunOnEnteringLeavingAndClicking) {
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    TWizardFile wizard("test.wzd");
    wizard.LoadLines(QString(kDialog).split('\n'));
    BuildWizardDialog(wizard);
    auto &dialog = *static_cast<TWizardDialog *>(wizard.Dialog());
    auto *a = qobject_cast<TWizardNumberEdit *>(wizard.FindVariable("a")->Control);
    auto *n = qobject_cast<QWidget *>(wizard.FindVariable("n")->Control);
    auto *box = qobject_cast<QCheckBox *>(wizard.FindVariable("box")->Control);
    // Captions are plain text; a read-only box cannot be clicked.
    EXPECT_EQ(box->text(), "Seen && kept");
    EXPECT_FALSE(box->isEnabled());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    // The first field has the focus as the window opens, without a pass;
    // leaving it and entering it again are one pass each.
    n->setFocus(Qt::TabFocusReason);
    a->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(wizard.FindVariable("passes")->Value, 2);
    // A click is one pass and its fault is shown; focus that comes back with
    // the window's activation starts no pass. Either decimal separator is
    // read.
    a->setText("-1,5");
    QTest::mouseClick(a, Qt::LeftButton);
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(a, &back);
    EXPECT_EQ(messages.texts(), QStringList{"Arithmetic error: division by zero."});
    EXPECT_EQ(wizard.FindVariable("passes")->Value, 3);
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
        EXPECT_TRUE(g.Selected()->FileName.endsWith("/a.wzd")); // the first entry's cell
        QTest::keyClick(&g, Qt::Key_Right);                     // passes over the empty cell
        EXPECT_EQ(g.Column(), 2);
        QTest::mouseClick(&g, Qt::LeftButton, {}, sel.Geometry().Cell(0, 1).center()); // empty: stays
        EXPECT_EQ(g.Column(), 2);
        QTest::mouseClick(&g, Qt::LeftButton, {}, sel.Geometry().Cell(1, 1).center());
        sel.btnOk->click();
    });
    ASSERT_TRUE(s.Execute());
    EXPECT_EQ(s.SelectedFileName(), dir.path("c.wzd"));
}

TEST(WizardScreenshots, SelectorAndEveryShippedDialogAtTheirLayoutSize) {
    // scripts/screenshots.sh keeps docs/images current from this test.
    const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
    auto save = [&out](QWidget &w, const QString &name) {
        w.show();
        const QPixmap pm = w.grab();
        if (!out.isEmpty())
            EXPECT_TRUE(pm.save(QDir(out).filePath(name)));
        return pm.size();
    };
    TWizards list;
    list.Load(SourcePath("resources/Tessel.ini"), SourcePath("resources/"));
    TfrmWzdSelector selector(list);
    save(selector, "wizard-selector.png");
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
