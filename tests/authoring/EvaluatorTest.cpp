#include "authoring/Evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>

using namespace tessel;

namespace {

double Eval(const QString &expr, const TEvaluator &base = {}) {
    TEvaluator e = base;
    e.SetExpression(expr);
    return e.Evaluate();
}

// Each expression raises an error with exactly the given text: a fault of
// the arithmetic as EArithmeticError, a malformed expression as
// EEvaluatorError.
void ExpectErrors(std::initializer_list<std::pair<const char *, const char *>> cases) {
    for (const auto &[expr, message] : cases) {
        try {
            Eval(QString::fromUtf8(expr));
            ADD_FAILURE() << expr << " gave no error";
        } catch (const ETesselError &e) {
            EXPECT_EQ(e.message().toStdString(), message) << expr;
            const bool arithmetic = std::string_view(message).starts_with("Arithmetic");
            EXPECT_EQ(dynamic_cast<const EArithmeticError *>(&e) != nullptr, arithmetic) << expr;
            EXPECT_EQ(dynamic_cast<const EEvaluatorError *>(&e) != nullptr, !arithmetic) << expr;
        }
    }
}

} // namespace

TEST(Evaluator, Values) {
    TEvaluator vars;
    vars.AddVariable("Gain", 4);
    vars.AddVariable("gain", 99); // later duplicates are never found
    vars.AddVariable("t_1", 0.5);
    const std::pair<const char *, double> cases[] = {
        // Precedence and associativity; the end marker ends the expression at level 0.
        {" 1 +  2*3 ", 7},
        {"(1+2)*3", 9},
        {"2^3^2", 64},
        {"1 | 0 & 0", 0},
        {"2*3>5", 1},
        {"1<2=1", 1},
        {"3 <> 3", 0},
        {"3 >= 3", 1},
        {"2 <= 1", 0},
        {"1@2+", 1},
        // Signs and negation.
        {"-2^2", -4},
        {"!1 = 1", 0},
        // Number forms and names.
        {"1.5E1", 15},
        {".5", 0.5},
        {"GAIN + t_1", 4.5},
        // Integer division and rounding: halves go to the even neighbour.
        {"-7 # 2", -3},
        {"-7 % 2", -1},
        {"round(-2.5)", -2},
        {"trunc(-2.7)", -2},
        {"round2up(7,5)", 10},
        {"round2up(10,5)", 10},
        {"round2up(7,0)", 7},
        {"(0-2147483648) # (-1)", 2147483648.0},
        // Functions; up to 20 arguments, the extra ones evaluated and ignored.
        {"SIN(0)+Cos(0)", 1},
        {"ln(exp(2))", 2},
        {"log(1000)", 3},
        {"round(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20)", 1},
    };
    for (const auto &[expr, value] : cases)
        EXPECT_DOUBLE_EQ(Eval(QString::fromUtf8(expr), vars), value) << expr;
    EXPECT_NEAR(Eval("cotg(1)"), std::cos(1.0) / std::sin(1.0), 1e-15);
}

TEST(Evaluator, ErrorsUseTheFixedMessagesAndTheirOwnClass) {
    ExpectErrors({
        {"", "Evaluator error: empty expression."},
        {"2*-3", "Evaluator error: unknown operator \"*-\"."},
        {"1)", "Evaluator error: too many right slashes."},
        {"(1+2", "Evaluator error: missing right parenthesis."},
        {"1+()", "Evaluator error: missing operand."},
        {"*3", "Evaluator error: missing operand of \"*\"."},
        {"(1@2)", "Evaluator error: \"@\" inside parentheses."},
        {"FOO(1)", "Evaluator error: unknown function \"foo\"."},
        {"sin(1,)", "Evaluator error: missing argument of \"sin\"."},
        {"round2up(5)", "Evaluator error: function \"round2up\" needs two arguments."},
        {"round(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21)",
         "Evaluator error: too many arguments for \"round\" (at most 20)."},
        {"1.2.3", "Evaluator error: invalid expression \"1.2.3\"."},
        {"1e-5", "Evaluator error: invalid expression \"1e\"."},
        {"inf", "Evaluator error: invalid expression \"inf\"."},
        {"1/0", "Arithmetic error: division by zero."},
        {"1#0.4", "Arithmetic error: division by zero."},
        {"cotg(0)", "Arithmetic error: division by zero."},
        {"ln(0)", "Arithmetic error: logarithm of zero or of a negative number."},
        {"0^2", "Arithmetic error: power of zero or of a negative number."},
        {"exp(1000)", "Arithmetic error: floating-point overflow."},
        {"1e999", "Arithmetic error: floating-point overflow."},
        {"round(3e9)", "Arithmetic error: value outside the 32-bit integer range."},
        {"trunc(0-3e9)", "Arithmetic error: value outside the 32-bit integer range."},
    });
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
