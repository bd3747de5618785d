// The wizard dialog and the "Select Wizard" window on the offscreen platform.
#include "authoring/widgets/WizardDialog.h"
#include "authoring/widgets/WizardSelector.h"
#include "common/MessageService.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct Built {
    std::unique_ptr<TWizardFile> wizard;
    TWizardDialog *dialog() const { return static_cast<TWizardDialog *>(wizard->Dialog()); }
    TWizardVariable &var(const char *name) const { return *wizard->FindVariable(QLatin1String(name)); }
    TWizardNumberEdit *field(const char *name) const { return qobject_cast<TWizardNumberEdit *>(var(name).Control); }
    QCheckBox *box(const char *name) const { return qobject_cast<QCheckBox *>(var(name).Control); }
};

Built Build(const QString &text) {
    Built b{std::make_unique<TWizardFile>("test.wzd")};
    b.wizard->LoadLines(text.split('\n'));
    BuildWizardDialog(*b.wizard);
    return b;
}

// a drives a read-only check box through a set trigger; the trigger after
// it reads the box in the same pass; an error action and an evaluator
// error wait for their conditions.
const char *kDialog = "%define_title('Test')\n"
                      "%define_group('Numbers')\n"
                      " %define_var('a')\n  type(real)\n  minimum(-2)\n  maximum(10)\n  init_value(1)\n"
                      "  %define_trigger\n   condition('a > 5')\n   set('locked := 1')\n  %end_trigger\n"
                      "  %define_trigger\n   condition('locked')\n   set('seen := 1')\n  %end_trigger\n"
                      "  %define_trigger\n   condition('a > 8')\n   error('a is too large')\n  %end_trigger\n"
                      "  %define_trigger\n   condition('a < -1')\n   set('a := 1/0')\n  %end_trigger\n"
                      " %end_var\n"
                      " %define_var('n')\n  type(int)\n  minimum(-2.5)\n  maximum(3.5)\n %end_var\n"
                      "%end_group\n"
                      "%define_group('Flags')\n"
                      " %define_var('locked')\n  type(bool)\n  read_only\n %end_var\n"
                      " %define_var('seen')\n  type(bool)\n  caption('Seen & kept')\n %end_var\n"
                      "%end_group\n";

TEST(WizardDialog, ControlsStandWhereTheLayoutPutsThem) {
    Built b = Build(kDialog);
    TWizardDialog &d = *b.dialog();
    const TWizardLayout &l = d.Layout();
    EXPECT_EQ(d.size(), l.Client);
    EXPECT_EQ(d.windowTitle(), "Test");
    ASSERT_EQ(l.Frames.size(), 2u);
    for (size_t gi = 0; gi < 2; ++gi) {
        const TWizardGroup &g = b.wizard->Groups()[gi];
        auto *frame = qobject_cast<QGroupBox *>(g.Frame);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->geometry(), l.Frames[gi].Rect);
        EXPECT_EQ(frame->title(), g.Caption);
        for (const TWizardRowLayout &row : l.Frames[gi].Rows) {
            auto *control = qobject_cast<QWidget *>(g.Variables[size_t(row.Variable)].Control);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->geometry(), row.Type == TWizardVarType::Bool ? row.CheckBox : row.Field);
        }
    }
    EXPECT_EQ(d.btnOK->geometry(), l.Ok);
    EXPECT_TRUE(d.btnOK->isDefault());
    EXPECT_EQ(b.box("seen")->text(), "Seen && kept");
    EXPECT_FALSE(b.box("locked")->isEnabled());
    EXPECT_TRUE(b.box("seen")->isEnabled());
}

TEST(WizardDialog, NumericFieldsKeepTheirValueWithinTheLimits) {
    Built b = Build(kDialog);
    struct {
        const char *var, *typed;
        double value;
        const char *shown;
    } cases[] = {
        {"a", "12", 10, "10"},   {"a", "-7.5", -2, "-2"},  {"a", "2,5", 2.5, "2,5"}, {"a", "1E-7", 1e-7, "1E-7"},
        {"a", "-", 1e-7, "1E-7"}, // no number: the last value
        {"n", "9", 4, "4"},      {"n", "-9", -2, "-2"},    {"n", "3", 3, "3"},
    };
    for (const auto &c : cases) {
        TWizardNumberEdit *f = b.field(c.var);
        f->setText(c.typed);
        EXPECT_EQ(b.dialog()->FieldValue(b.var(c.var)), c.value) << c.typed;
        EXPECT_EQ(f->text(), c.shown) << c.typed;
    }
    b.dialog()->SetFieldValue(b.var("n"), 2.5);
    EXPECT_EQ(b.field("n")->text(), "2");
}

TEST(WizardDialog, TriggersRunOnEnteringLeavingAndClicking) {
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    Built b = Build(kDialog);
    TWizardDialog &d = *b.dialog();
    d.show();
    QApplication::setActiveWindow(&d);
    b.field("a")->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(b.box("locked")->isChecked());
    b.field("a")->setText("9");
    // Leaving a: one pass. The read-only box is checked by the set action,
    // but the trigger reading it in the same pass still saw it unchecked;
    // the error action is disarmed while the dialog is open.
    b.field("n")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(b.box("locked")->isChecked());
    EXPECT_FALSE(b.box("seen")->isChecked());
    // Entering it again runs the next pass, which sees the box checked.
    b.field("a")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(b.box("seen")->isChecked());
    EXPECT_TRUE(messages.entries.empty());
    // An arithmetic fault of a pass is shown; the dialog stays.
    b.field("a")->setText("-1.5");
    QTest::mouseClick(b.field("a"), Qt::LeftButton);
    EXPECT_EQ(messages.texts(), QStringList{"Arithmetic error: division by zero."});
    EXPECT_TRUE(d.isVisible());
    // Focus that returns with the window's activation starts no pass.
    messages.clear();
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(b.field("a"), &back);
    EXPECT_TRUE(messages.entries.empty());
}

TEST(WizardDialog, ExecuteChecksOnOkAndCancelKeepsTheStoredValues) {
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    Built b = Build(kDialog);
    TWizardDialog &d = *b.dialog();
    // Cancel after typing: the stored value stays and is shown again.
    WhenModal([&](QWidget *) {
        b.field("a")->setText("7");
        d.btnCancel->click();
    });
    EXPECT_FALSE(b.wizard->Execute());
    EXPECT_EQ(b.var("a").Value, 1);
    // OK with an error condition: the message, then the dialog again,
    // which opens with the entered values; a valid value is accepted.
    QString shownAgain;
    WhenModal([&](QWidget *) {
        EXPECT_EQ(b.field("a")->text(), "1");
        b.field("a")->setText("9");
        d.btnOK->click();
        WhenModal([&](QWidget *) {
            shownAgain = b.field("a")->text();
            b.field("a")->setText("3");
            d.btnOK->click();
        });
    });
    EXPECT_TRUE(b.wizard->Execute());
    EXPECT_EQ(messages.texts(), QStringList{"Wizard error: a is too large"});
    EXPECT_EQ(shownAgain, "9");
    EXPECT_EQ(b.var("a").Value, 3);
    EXPECT_EQ(b.var("locked").Value, 1); // set during the first check
}

// "Select Wizard" on a list with an empty cell between its entries.
struct SelectorFixture : ::testing::Test {
    TestDir dir;
    TWizards list;
    void SetUp() override {
        WriteTextFile(dir.path("W.ini"), "[Wizard1]\nFileName=a.wzd\nXPos=0\nYPos=0\n"
                                         "[Wizard2]\nFileName=b.wzd\nXPos=2\nYPos=0\n"
                                         "[Wizard3]\nFileName=c.wzd\nXPos=1\nYPos=1\n");
        list.Load(dir.path("W.ini"), dir.path() + '/');
    }
};

TEST_F(SelectorFixture, OnlyCellsWithAnEntryCanBeSelected) {
    TfrmWzdSelector w(list);
    TWzdGrid &g = *w.Grid;
    EXPECT_EQ(w.windowTitle(), "Select Wizard");
    EXPECT_EQ(w.size(), w.Geometry().Client);
    EXPECT_EQ(g.Selected()->FileName, dir.path("a.wzd"));
    EXPECT_FALSE(g.Select(1, 0));
    EXPECT_EQ(g.Column(), 0);
    // The arrow keys pass over the empty cell; at the edge nothing moves.
    QTest::keyClick(&g, Qt::Key_Right);
    EXPECT_EQ(g.Selected()->FileName, dir.path("b.wzd"));
    QTest::keyClick(&g, Qt::Key_Down);
    EXPECT_EQ(g.Row(), 0);
    // A click on an empty cell keeps the selection; on an entry it moves.
    QTest::mouseClick(&g, Qt::LeftButton, {}, w.Geometry().Cell(0, 1).center());
    EXPECT_EQ(g.Selected()->FileName, dir.path("b.wzd"));
    QTest::mouseClick(&g, Qt::LeftButton, {}, w.Geometry().Cell(1, 1).center());
    EXPECT_EQ(g.Selected()->FileName, dir.path("c.wzd"));
}

TEST_F(SelectorFixture, ExecuteReturnsTheFileOfTheChosenCell) {
    TWzdSelector s;
    s.Load(dir.path("W.ini"));
    WhenModal([](QWidget *w) { static_cast<TfrmWzdSelector *>(w)->btnCancel->click(); });
    EXPECT_FALSE(s.Execute());
    WhenModal([](QWidget *w) {
        auto *sel = static_cast<TfrmWzdSelector *>(w);
        sel->Grid->Select(1, 1);
        sel->btnOk->click();
    });
    ASSERT_TRUE(s.Execute());
    EXPECT_EQ(s.SelectedFileName(), dir.path("c.wzd"));
    // Nothing listed: no window at all.
    WriteTextFile(dir.path("W.ini"), "[Wizard2]\nFileName=b.wzd\n");
    s.Load(dir.path("W.ini"));
    EXPECT_FALSE(s.Execute());
}

TEST(WizardScreenshots, SelectorAndEveryShippedDialog) {
    // Kept current by scripts/screenshots.sh; a plain run checks the sizes.
    const QString out = qEnvironmentVariable("TESSEL_SCREENSHOT_DIR");
    TWizards list;
    list.Load(SourcePath("resources/Tessel.ini"), SourcePath("resources/"));
    ASSERT_EQ(list.Entries().size(), 4u);
    {
        TfrmWzdSelector w(list);
        w.show();
        const QPixmap pm = w.grab();
        EXPECT_EQ(pm.size(), QSize(2 * 157, w.Geometry().Grid.height() + 14 + 25));
        if (!out.isEmpty())
            EXPECT_TRUE(pm.save(QDir(out).filePath("wizard-selector.png")));
    }
    for (const TWizardEntry &e : list.Entries()) {
        TWizardFile w(e.FileName);
        w.Load();
        BuildWizardDialog(w);
        auto *d = static_cast<TWizardDialog *>(w.Dialog());
        d->show();
        const QPixmap pm = d->grab();
        EXPECT_EQ(pm.size(), d->Layout().Client);
        if (!out.isEmpty())
            EXPECT_TRUE(pm.save(QDir(out).filePath("wizard-" + QFileInfo(e.FileName).baseName().toLower() + ".png")));
    }
}

} // namespace
