// Broken input of every kind must end in an orderly error, never a crash:
// the shipped wizards mutated at random (fixed seed) and random expressions.
#include "authoring/Evaluator.h"
#include "authoring/WizardFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

#include <random>

using namespace tessel;
using namespace tessel::test;

namespace {

// Loads, runs the triggers as the dialog does, and expands; returns whether
// the file went through without an error.
bool Exercise(const QStringList &lines) {
    TWizardFile w("fuzz.wzd");
    try {
        w.LoadLines(lines);
        TWizardFieldValues fields(w);
        w.TriggerPass(fields);
        w.CheckAndStore(fields);
        w.Expand();
        return true;
    } catch (const ETesselError &) {
        return false;
    }
}

QString Mutate(QString text, std::mt19937 &rng) {
    static const QString pieces[] = {"%",
                                     "'",
                                     "(",
                                     ")",
                                     ":=",
                                     "%if('",
                                     "%endif",
                                     "%else",
                                     "%end_var",
                                     "%end_group",
                                     "%define_trigger",
                                     "\n",
                                     " ",
                                     "0",
                                     "1e999",
                                     "-",
                                     "#",
                                     "type(int)",
                                     "init_value(",
                                     "/0",
                                     "^",
                                     "sin(",
                                     "round(3e9)"};
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits && !text.isEmpty(); ++e) {
        const int pos = int(rng() % uint32_t(text.size()));
        switch (rng() % 4) {
        case 0:
            text.remove(pos, 1 + int(rng() % 20));
            break;
        case 1:
            text.insert(pos, pieces[rng() % std::size(pieces)]);
            break;
        case 2:
            text[pos] = QChar(char16_t(rng() % 128));
            break;
        default: { // duplicate a run of lines
            const QString run = text.mid(pos, 1 + int(rng() % 200));
            text.insert(int(rng() % uint32_t(text.size())), run);
        }
        }
    }
    return text;
}

} // namespace

TEST(Robustness, MutatedWizardFilesFailInAnOrderlyWay) {
    std::mt19937 rng(20261206);
    const QDir dir(SourcePath("resources/wizards"));
    int passed = 0, failed = 0;
    for (const QString &name : dir.entryList({"*.wzd"})) {
        const QString original = ReadTextFile(dir.filePath(name));
        ASSERT_TRUE(Exercise(original.split('\n'))) << name.toStdString();
        for (int i = 0; i < 400; ++i)
            (Exercise(Mutate(original, rng).split('\n')) ? passed : failed)++;
    }
    // Both outcomes must occur, or the mutations test nothing.
    EXPECT_GT(passed, 0);
    EXPECT_GT(failed, 0);
}

TEST(Robustness, RandomExpressionsFailInAnOrderlyWay) {
    static const char *tokens[] = {
        "1",   "0",      "2.5",       "1e3",    "x",   "X",     "(",    ")",    "+",    "-",     "*", "/", "#",
        "%",   "^",      "&",         "|",      "!",   "=",     "<>",   "<",    ">=",   " ",     ",", "@", "sin(",
        "ln(", "round(", "round2up(", "trunc(", "tg(", "cotg(", "exp(", "log(", "foo(", "1e400", ".", "_"};
    std::mt19937 rng(42);
    TEvaluator base;
    base.AddVariable("x", 3);
    int values = 0, errors = 0;
    for (int i = 0; i < 20000; ++i) {
        QString expr;
        const int n = 1 + int(rng() % 12);
        for (int t = 0; t < n; ++t)
            expr += QLatin1String(tokens[rng() % std::size(tokens)]);
        TEvaluator e = base;
        e.SetExpression(expr);
        try {
            const double v = e.Evaluate();
            EXPECT_TRUE(std::isfinite(v)) << expr.toStdString();
            ++values;
        } catch (const EEvaluatorError &) {
            ++errors;
        } catch (const EArithmeticError &) {
            ++errors;
        }
    }
    EXPECT_GT(values, 100);
    EXPECT_GT(errors, 100);
}
