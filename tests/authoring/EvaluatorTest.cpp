#include "authoring/Evaluator.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tessel;

namespace {

struct ValueCase {
    const char *expr;
    double value;
};

double Eval(const QString &expr, const TEvaluator &base = {}) {
    TEvaluator e = base;
    e.SetExpression(expr);
    return e.Evaluate();
}

QString FormError(const QString &expr) {
    try {
        Eval(expr);
    } catch (const EEvaluatorError &e) {
        return e.message();
    } catch (const EArithmeticError &e) {
        return QStringLiteral("arithmetic: ") + e.message();
    }
    return QStringLiteral("no error");
}

void ExpectValues(std::initializer_list<ValueCase> cases, const TEvaluator &base = {}) {
    for (const ValueCase &c : cases) {
        try {
            EXPECT_DOUBLE_EQ(Eval(QString::fromUtf8(c.expr), base), c.value) << c.expr;
        } catch (const ETesselError &e) {
            ADD_FAILURE() << c.expr << ": " << e.message().toStdString();
        }
    }
}

} // namespace

TEST(Evaluator, Values) {
    ExpectValues({
        // Precedence and associativity; the end marker ends the expression at level 0.
        {"1+2*3", 7},
        {"(1+2)*3", 9},
        {"2^3^2", 64},
        {"1 | 0 & 0", 0},
        {"2*3>5", 1},
        {"1<2=1", 1},
        {"3 <> 3", 0},
        {"3 >= 3", 1},
        {"2 <= 1", 0},
        {"  1  +  2  ", 3},
        {"1@2+", 1},
        // Signs and negation.
        {"-2^2", -4},
        {"1-(-2)", 3},
        {"!1 = 1", 0},
        {"!(1 = 2)", 1},
        // Number forms.
        {"1.5E1", 15},
        {"2.", 2},
        {".5", 0.5},
        // Integer division and rounding: halves go to the even neighbour.
        {"-7 # 2", -3},
        {"-7 % 2", -1},
        {"2.5 # 1", 2},
        {"round(3.5)", 4},
        {"round(-2.5)", -2},
        {"trunc(-2.7)", -2},
        {"round2up(7,5)", 10},
        {"round2up(10,5)", 10},
        {"round2up(-7,5)", -5},
        {"round2up(7,0)", 7},
        {"(0-2147483648) # (-1)", 2147483648.0},
        // Functions; extra arguments are evaluated and ignored.
        {"SIN(0)+Cos(0)", 1},
        {"ln(exp(2))", 2},
        {"log(1000)", 3},
        {"tg(0)", 0},
        {"round(1.4, 7, 1/2)", 1},
        {"round2up(round(7.4), 2+3)", 10},
        {"round(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20)", 1},
    });
    EXPECT_NEAR(Eval("round2up(0.31, 0.1)"), 0.4, 1e-12);
    EXPECT_NEAR(Eval("cotg(1)"), std::cos(1.0) / std::sin(1.0), 1e-15);

    TEvaluator vars;
    vars.AddVariable("Gain", 4);
    vars.AddVariable("gain", 99); // later duplicates are never found
    vars.AddVariable("t_1", 0.5);
    ExpectValues({{"gain*2", 8}, {"GAIN", 4}, {"Gain + t_1", 4.5}}, vars);
}

TEST(Evaluator, FormErrorsUseTheFixedMessages) {
    const char *cases[][2] = {
        {"", "empty expression"},
        {"2*-3", "unknown operator \"*-\""},
        {"(2)(3)", "unknown operator \"\""},
        {"1)", "too many right slashes"},
        {"(1+2", "missing right parenthesis"},
        {"1+()", "missing operand"},
        {"*3", "missing operand of \"*\""},
        {"(1@2)", "\"@\" inside parentheses"},
        {"FOO(1)", "unknown function \"foo\""},
        {"sin (1)", "unknown function \"sin \""},
        {"sin(1,)", "missing argument of \"sin\""},
        {"round2up(5)", "function \"round2up\" needs two arguments"},
        {"round(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21)",
         "too many arguments for \"round\" (at most 20)"},
        {"1 + a b", "invalid expression \"a b\""},
        {"sin(x)", "invalid expression \"x\""},
        {"1.2.3", "invalid expression \"1.2.3\""},
        {"1e-5", "invalid expression \"1e\""},
        {"inf", "invalid expression \"inf\""},
    };
    for (const auto &[expr, message] : cases)
        EXPECT_EQ(FormError(QString::fromUtf8(expr)).toStdString(), "Evaluator error: " + std::string(message) + ".");
}

TEST(Evaluator, ArithmeticFaultsRaiseTheirOwnClass) {
    using K = EArithmeticError::Kind;
    struct {
        const char *expr;
        K kind;
    } cases[] = {
        {"1/0", K::ZeroDivide},
        {"1#0.4", K::ZeroDivide},
        {"cotg(0)", K::ZeroDivide},
        {"ln(0)", K::BadLogarithm},
        {"0^2", K::BadPower},
        {"exp(1000)", K::Overflow},
        {"1e999", K::Overflow},
        {"1e308*10", K::Overflow},
        {"round(3e9)", K::IntegerRange},
        {"trunc(0-3e9)", K::IntegerRange},
    };
    for (const auto &c : cases) {
        try {
            Eval(QString::fromUtf8(c.expr));
            ADD_FAILURE() << c.expr << " gave no error";
        } catch (const EArithmeticError &e) {
            EXPECT_EQ(e.kind(), c.kind) << c.expr;
            EXPECT_TRUE(e.message().startsWith("Arithmetic error: ")) << c.expr;
        } catch (const ETesselError &e) {
            ADD_FAILURE() << c.expr << ": wrong class: " << e.message().toStdString();
        }
    }
}

TEST(Evaluator, StateSurvivesFailures) {
    TEvaluator e;
    e.AddVariable("a", 2);
    e.SetExpression("a*");
    EXPECT_THROW(e.Evaluate(), EEvaluatorError);
    EXPECT_EQ(e.Expression(), "a*@");
    e.SetExpression("a*3");
    EXPECT_EQ(e.Evaluate(), 6);
    EXPECT_EQ(e.Evaluate(), 6);
}

TEST(Evaluator, DeepNestingIsRejectedNotCrashing) {
    QString calls;
    for (int i = 0; i < 5000; ++i)
        calls += "sin(";
    calls += "0" + QString(5000, ')');
    EXPECT_THROW(Eval(calls), EEvaluatorError);
    // Plain parentheses do not recurse and work at any depth.
    EXPECT_EQ(Eval(QString(5000, '(') + "1+2" + QString(5000, ')') + "*2"), 6);
}

TEST(ScanningHelpers, PositionsCountFromOne) {
    EXPECT_EQ(FirstNonBlank("  %if"), 3);
    EXPECT_EQ(FirstNonBlank("   "), 0);
    EXPECT_EQ(FirstNonBlank("\tx"), 1); // only the space is blank
    EXPECT_EQ(IdentifierAt("%define_var('x')", 2), "define_var");
    EXPECT_EQ(IdentifierAt("%(x)", 2), "");
    EXPECT_EQ(IdentifierAt("ab", 5), "");
    EXPECT_EQ(QuotedText("caption('Level (mV)')", 8), "Level (mV)");
    EXPECT_EQ(QuotedText("caption('open", 8), "open");
    EXPECT_EQ(QuotedText("caption(x')", 8), ")");
    EXPECT_EQ(QuotedText("caption()", 8), "");
    EXPECT_EQ(TextUpToPercent("a %x% b", 4), "x");
    EXPECT_EQ(TextUpToPercent("a %xyz", 4), "xyz");
    EXPECT_EQ(TextUpToPercent("a", 4), "");
}
