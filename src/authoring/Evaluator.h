#pragma once

#include "common/Errors.h"

#include <QString>
#include <vector>

namespace tessel {

// Errors of an expression's form; messages begin "Evaluator error: ".
class EEvaluatorError : public ETesselError {
public:
    using ETesselError::ETesselError;
};

// Arithmetic faults of a well-formed expression. Kept apart from
// EEvaluatorError so that callers can tell a bad expression from bad values.
class EArithmeticError : public ETesselError {
public:
    enum class Kind { ZeroDivide, BadLogarithm, BadPower, Overflow, IntegerRange, Invalid };
    EArithmeticError(Kind kind, const QString &message) : ETesselError(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// Infix expression over named numeric variables. Comparisons and logical
// operators yield 1 or 0; any non-zero value counts as true. Parentheses
// raise the priority of the operators inside them by 100 per level instead
// of being parsed recursively; function arguments are evaluated by
// recursive calls of the same scanner.
class TEvaluator {
public:
    TEvaluator() = default;

    // The text to evaluate; kept with the end marker "@" appended.
    void SetExpression(const QString &text) { m_expression = text + QLatin1Char('@'); }
    const QString &Expression() const { return m_expression; }

    // Appends a variable; names may repeat and lookups take the first match
    // without regard to letter case.
    void AddVariable(const QString &name, double value) { m_variables.push_back({name, value}); }

    // Raises EEvaluatorError or EArithmeticError; keeps no state from a
    // failed call.
    double Evaluate() const;

    struct Variable {
        QString name;
        double value;
    };
    const std::vector<Variable> &Variables() const { return m_variables; }

private:
    double evaluateText(const QString &text, int depth) const;
    double evaluateOperand(const QString &text, int depth) const;
    double callFunction(const QString &name, const QString &arguments, int depth) const;
    const Variable *findVariable(const QString &name) const;

    QString m_expression;
    std::vector<Variable> m_variables;
};

// Integer conversions of the evaluator and the wizard language: nearest with
// ties to even, and toward zero; EArithmeticError outside the 32-bit range.
int32_t RoundToInt32(double value);
int32_t TruncToInt32(double value);
// Nearest integer with ties to even, as a double (no range limit).
double RoundHalfEven(double value);

// Scanning helpers of the wizard language. Positions count from 1.
// Position of the first character that is not a space, 0 for a blank line.
int FirstNonBlank(const QString &line);
// The run of ASCII letters, digits and "_" starting at pos (may be empty).
QString IdentifierAt(const QString &line, int pos);
// Text after the first "'" at or after pos up to the next "'" or the end
// of the line; empty without a "'".
QString QuotedText(const QString &line, int pos);
// Text from pos up to, not including, the next "%" or the end of the line.
QString TextUpToPercent(const QString &line, int pos);

} // namespace tessel
