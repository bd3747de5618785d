#include "authoring/WizardFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// A group around the given variable blocks.
QString Group(const QString &body) { return "%define_group('G')\n" + body + "\n%end_group\n"; }

// The first error of loading, a trigger pass and the expansion.
QString WizardError(const QString &text) {
    TWizardFile w("test.wzd");
    try {
        w.LoadLines(text.split('\n'));
        TWizardFieldValues fields(w);
        w.TriggerPass(fields);
        w.Expand();
    } catch (const EWizardFileError &e) {
        return e.message();
    }
    return "no error";
}

TWizardFile Loaded(const QString &text) {
    TWizardFile w("test.wzd");
    w.LoadLines(text.split('\n'));
    return w;
}

QStringList Expanded(const QString &text) {
    TWizardFile w = Loaded(text);
    w.Expand();
    return w.OutputLines();
}

const char *kVars = "%define_group('Levels')\n"
                    "  %define_var('level')\n    type(real)\n    init_value(2.5)\n  %end_var\n"
                    "  %define_var('count')\n    type(int)\n    init_value(3)\n  %end_var\n"
                    "  %define_var('dark')\n    type(bool)\n    init_value(TRUE)\n  %end_var\n"
                    "%end_group\n";

} // namespace

TEST(WizardLoad, DirectivesAndProperties) {
    TWizardFile w = Loaded("%define_title('Fv/Fm')\n%define_template('x')\n"
                           "%define_group('First')\n y_position(4)\n"
                           " %define_var('Level')\n  TYPE(Real)\n  caption('Level (percent)')\n"
                           "  x_position(2)\n  y_position(3)\n  init_value(-1.5e-3)\n"
                           "  minimum(-2)\n  maximum(10)\n  read_only\n  no_display\n"
                           "  %define_trigger\n   condition('level > 1')\n   set(' level := level-1')\n"
                           "  %end_trigger\n  %DEFINE_TRIGGER\n   error('too high')\n  %end_trigger\n"
                           "  %define_trigger\n  %end_trigger\n"
                           " %end_var\n%end_group\n"
                           "%new_column\n%new_column\n%define_group\n%end_group\n");
    EXPECT_EQ(w.Title(), "Fv/Fm");
    ASSERT_EQ(w.Groups().size(), 2u);
    const TWizardGroup &g = w.Groups()[0];
    EXPECT_EQ(std::tie(g.Caption, g.Column, g.YPosition), std::make_tuple(QString("First"), 0, 4));
    const TWizardVariable &v = g.Variables.at(0);
    EXPECT_EQ(std::tie(v.Type, v.Name, v.Caption, v.XPosition, v.YPosition, v.ReadOnly, v.NoDisplay),
              std::make_tuple(TWizardVarType::Real, QString("Level"), QString("Level (percent)"), 2, 3, true, true));
    EXPECT_EQ(std::tie(v.Value, v.Minimum, v.Maximum), std::make_tuple(-1.5e-3, -2.0, 10.0));
    ASSERT_EQ(v.Triggers.size(), 3u);
    const TWizardTrigger &set = v.Triggers[0], &error = v.Triggers[1];
    EXPECT_EQ(std::tie(set.Condition, set.Action, set.Target, set.Expression),
              std::make_tuple(QString("level > 1"), TTriggerAction::Set, QString("level"), QString(" level-1")));
    EXPECT_EQ(std::tie(error.Condition, error.Action, error.Message),
              std::make_tuple(QString("1"), TTriggerAction::Error, QString("too high")));
    EXPECT_EQ(v.Triggers[2].Action, TTriggerAction::None);
    // A group without "(" has no caption; each %new_column starts the next column.
    EXPECT_EQ(std::tie(w.Groups()[1].Caption, w.Groups()[1].Column), std::make_tuple(QString(), 2));
}

TEST(WizardFile, ErrorsUseTheFixedMessages) {
    const QString var = "%define_var('x')\n type(int)\n", ok = Group(var + "%end_var");
    auto trigger = [&var](const char *body) {
        return Group(var + "%define_trigger\n" + body + "%end_trigger\n%end_var");
    };
    const std::pair<QString, QString> cases[] = {
        {"just text\n", "file contains no variables."},
        {"%bogus\n" + Group(""), "invalid %symbol \"bogus\"."},
        {"%define_title\n" + Group(""), "error parsing \"%define_title\"."},
        {Group("x_position(a)"), "\"a\" is not an integer value."},
        {Group("x_position)1("), "error parsing \"x_position)1(\"."},
        {Group("%define_var\n%end_var"), "variable must have a name."},
        {Group("%define_var('x')\n%end_var"), "variable must have type specified."},
        {Group("%define_var('x')\n init_value(1)\n type(int)\n%end_var"),
         "variable must have type specified before assigning value."},
        {Group("%define_var('x')\n type(float)\n%end_var"), "\"float\" is not possible variable type."},
        {Group("%define_var('x')\n type(real)\n init_value(1,5)\n%end_var"), "\"1,5\" is not a real value."},
        {Group("%define_var('x')\n type(bool)\n init_value(yes)\n%end_var"), "\"yes\" is not a boolean value."},
        {Group(var + " visible\n%end_var"), "invalid symbol \"visible\"."},
        {Group(var + " %end_group\n%end_var"), "invalid %symbol \"end_group\"."},
        {trigger(" set('a := 1')\n error('e')\n"), "trigger can have only one action."},
        {trigger(" set('a = 1')\n"), "set command must have its left side."},
        // A file that ends inside a block.
        {"%define_group('G')\n" + var + "%define_trigger\n", "%end_trigger missing at the end of the file."},
        // Loaded, but a trigger or the template names what is not there.
        {trigger(" set('y := 1')\n"), "unknown variable \"y\"."},
        {ok + "a %nosuch% b\n", "unknown variable \"nosuch\"."},
    };
    for (const auto &[text, message] : cases)
        EXPECT_EQ(WizardError(text), "Wizard error: " + message) << text.toStdString();
}

TEST(WizardLoad, ReadsFilesWithAnyLineEnding) {
    TestDir dir;
    WriteTextFile(dir.path("w.wzd"), "%define_title('T')\r\n%define_group('G')\r%end_group\nA line\r\n");
    TWizardFile w(dir.path("w.wzd"));
    w.Load();
    EXPECT_EQ(w.TemplateLines(), QStringList{"A line"});

    TWizardFile missing(dir.path("none.wzd"));
    EXPECT_THROW(missing.Load(), ETesselError);
}

TEST(WizardExpand, ValuesAndReferences) {
    const QString text = QString(kVars) + "a %level% b %LEVEL%\n"
                                          "c=%count%,d=%Dark%\n"
                                          "\n"
                                          "unterminated %level\n";
    EXPECT_EQ(Expanded(text), (QStringList{"a 2.5 b 2.5", "c=3,d=1", "unterminated 2.5"}));

    const std::tuple<TWizardVarType, double, const char *> numbers[] = {
        {TWizardVarType::Real, 1e-7, "1E-7"},
        {TWizardVarType::Real, -2.5e20, "-2.5E20"},
        {TWizardVarType::Real, 1.0 / 3, "0.333333333333333"},
        {TWizardVarType::Real, -0.0, "0"},
        {TWizardVarType::Int, 2.5, "2"},
    };
    for (const auto &[type, value, text] : numbers)
        EXPECT_EQ(WizardValueText(type, value), text) << value;
}

TEST(WizardExpand, NumbersIgnoreTheLocale) {
    test::TestDir dir;
    test::CommaLocale comma(dir.path());
    ASSERT_TRUE(comma.active) << "localedef could not build a decimal-comma locale (package locales)";
    EXPECT_EQ(Expanded(QString(kVars) + "v=%level%\n"), QStringList{"v=2.5"});
}

TEST(WizardExpand, IfElseEndifWithNesting) {
    const std::pair<const char *, QStringList> cases[] = {
        {"%if('count=3')\nyes\n%else\nno\n%endif\n", {"yes"}},
        {"%if('count>3')\nyes\n%else\nno\n%endif\n", {"no"}},
        {"%if('0')\na\n  %if('1')\nb\n  %else\nc\n  %endif\nd\n%else\ne\n%endif\nf\n", {"e", "f"}},
        {"%if('0')\n%if('x_unknown_is_not_evaluated')\n%endif\n%endif\nz\n", {"z"}},
        // Unmatched directives follow the rules as written.
        {"%endif\na\n%else\nb\n%endif\nc\n", {"a", "c"}},
    };
    for (const auto &[tmpl, out] : cases)
        EXPECT_EQ(Expanded(QString(kVars) + tmpl), out) << tmpl;
}

namespace {

// a's trigger sets b; hidden (not displayed) reads a and b, and sets a
// from its own value.
const char *kTriggers = "%define_group('G')\n"
                        " %define_var('a')\n  type(int)\n  init_value(5)\n  minimum(0)\n  maximum(10)\n"
                        "  %define_trigger\n   condition('a > 8')\n   set('b := a * 2')\n  %end_trigger\n"
                        " %end_var\n"
                        " %define_var('b')\n  type(real)\n  init_value(1)\n  %end_var\n"
                        " %define_var('hidden')\n  type(real)\n  no_display\n"
                        "  %define_trigger\n   set('hidden := a + b')\n  %end_trigger\n"
                        "  %define_trigger\n   set('a := hidden')\n  %end_trigger\n"
                        " %end_var\n"
                        "%end_group\n";

} // namespace

TEST(WizardTriggers, PassSeesTheValuesFromItsStart) {
    TWizardFile w = Loaded(kTriggers);
    TWizardFieldValues fields(w);
    const TWizardVariable &a = *w.FindVariable("a");
    const TWizardVariable &b = *w.FindVariable("b");
    fields.SetFieldValue(a, 9);
    w.TriggerPass(fields);
    // b := 2 * 9 goes into b's field; hidden saw b's old value (9 + 1), and
    // a := hidden took hidden's value from the pass start (0).
    EXPECT_EQ(fields.FieldValue(b), 18);
    EXPECT_EQ(w.FindVariable("hidden")->Value, 10);
    EXPECT_EQ(fields.FieldValue(a), 0);
}

TEST(WizardTriggers, FieldsKeepTheirTypeAndLimits) {
    TWizardVariable x;
    x.Type = TWizardVarType::Int;
    x.Minimum = -2.5;
    x.Maximum = 3.5;
    // Whole, ties to even, within the limits rounded the same way.
    const std::pair<double, double> ints[] = {{2.5, 2}, {9, 4}, {-9, -2}};
    for (const auto &[in, out] : ints)
        EXPECT_EQ(LimitToField(x, in), out) << in;
    x.Type = TWizardVarType::Bool;
    x.Value = 2;
    EXPECT_EQ(FieldFromStored(x), 0); // filled: checked only for exactly 1
    EXPECT_EQ(LimitToField(x, 2), 1); // set: any non-zero checks it
}
