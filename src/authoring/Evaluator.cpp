#include "authoring/Evaluator.h"

#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tessel {
namespace {

constexpr QChar kEndMarker = QLatin1Char('@');
constexpr int kNestStep = 100;
constexpr int kMaxArguments = 20;
// Function calls nest by recursion; deeper input is rejected before the
// stack runs out.
constexpr int kMaxCallDepth = 200;

using Kind = EArithmeticError::Kind;

[[noreturn]] void formError(const QString &message) { throw EEvaluatorError(message); }

[[noreturn]] void fault(Kind kind) {
    switch (kind) {
    case Kind::ZeroDivide:
        throw EArithmeticError(kind, QStringLiteral("Arithmetic error: division by zero."));
    case Kind::BadLogarithm:
        throw EArithmeticError(kind, QStringLiteral("Arithmetic error: logarithm of zero or of a negative number."));
    case Kind::BadPower:
        throw EArithmeticError(kind, QStringLiteral("Arithmetic error: power of zero or of a negative number."));
    case Kind::Overflow:
        throw EArithmeticError(kind, QStringLiteral("Arithmetic error: floating-point overflow."));
    case Kind::IntegerRange:
        throw EArithmeticError(kind, QStringLiteral("Arithmetic error: value outside the 32-bit integer range."));
    case Kind::Invalid:
        break;
    }
    throw EArithmeticError(Kind::Invalid, QStringLiteral("Arithmetic error: invalid floating-point operation."));
}

// Every computed value passes here: C++ arithmetic raises nothing itself.
double checked(double v) {
    if (std::isnan(v))
        fault(Kind::Invalid);
    if (std::isinf(v))
        fault(Kind::Overflow);
    return v;
}

bool isOperandChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '.' || u == '_' ||
           u == ' ' || u == '(' || u == ')';
}

bool isIdentChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
}

// Digits with an optional fraction and an optional unsigned exponent; no
// sign, no "inf" or "nan".
bool parseNumber(const QString &text, double &value) {
    const int n = int(text.size());
    int i = 0, mantissaDigits = 0;
    auto digit = [&](int p) { return p < n && text[p] >= QLatin1Char('0') && text[p] <= QLatin1Char('9'); };
    while (digit(i)) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (digit(i)) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        if (i < n && text[i] == QLatin1Char('+'))
            ++i;
        if (!digit(i))
            return false;
        while (digit(i))
            ++i;
    }
    if (i != n)
        return false;
    const std::string s = text.toStdString();
    const auto res = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Out of range either way: decide by the decimal exponent whether the
        // number is too large (an overflow) or too small (it becomes 0).
        const size_t ePos = s.find_first_of("eE");
        const std::string mantissa = s.substr(0, ePos);
        long exponent = 0;
        if (ePos != std::string::npos)
            for (size_t p = ePos + 1; p < s.size(); ++p)
                if (s[p] >= '0' && s[p] <= '9')
                    exponent = std::min(exponent * 10 + (s[p] - '0'), 100000L);
        const size_t point = std::min(mantissa.find('.'), mantissa.size());
        const size_t firstDigit = mantissa.find_first_of("123456789");
        const long magnitude =
            exponent + (firstDigit < point ? long(point - firstDigit) : -long(firstDigit - point - 1));
        if (magnitude > 0)
            fault(Kind::Overflow);
        value = 0.0;
        return true;
    }
    if (res.ec != std::errc() || res.ptr != s.data() + s.size())
        return false;
    checked(value);
    return true;
}

int basePriority(const QString &op) {
    static const struct {
        const char *text;
        int priority;
    } table[] = {{"&", 10}, {"|", 10}, {"!", 15}, {"=", 20}, {"<>", 20}, {">", 20}, {"<", 20}, {">=", 20}, {"<=", 20},
                 {"+", 30}, {"-", 30}, {"*", 40}, {"/", 40}, {"#", 40},  {"%", 40}, {"^", 50}, {"@", 1}};
    for (const auto &e : table)
        if (op == QLatin1String(e.text))
            return e.priority;
    return -1;
}

double apply(const QString &op, double a, double b) {
    const char16_t c0 = op[0].unicode();
    const char16_t c1 = op.size() > 1 ? op[1].unicode() : 0;
    switch (c0) {
    case '&':
        return (a != 0 && b != 0) ? 1 : 0;
    case '|':
        return (a != 0 || b != 0) ? 1 : 0;
    case '!':
        return b == 0 ? 1 : 0;
    case '=':
        return a == b ? 1 : 0;
    case '<':
        if (c1 == '>')
            return a != b ? 1 : 0;
        if (c1 == '=')
            return a <= b ? 1 : 0;
        return a < b ? 1 : 0;
    case '>':
        if (c1 == '=')
            return a >= b ? 1 : 0;
        return a > b ? 1 : 0;
    case '+':
        return checked(a + b);
    case '-':
        return checked(a - b);
    case '*':
        return checked(a * b);
    case '/':
        if (b == 0)
            fault(Kind::ZeroDivide);
        return checked(a / b);
    case '#':
    case '%': {
        // 64-bit arithmetic: the quotient of -2^31 by -1 must not trap.
        const int64_t ia = RoundToInt32(a), ib = RoundToInt32(b);
        if (ib == 0)
            fault(Kind::ZeroDivide);
        return double(c0 == '#' ? ia / ib : ia % ib);
    }
    case '^':
        if (a <= 0)
            fault(Kind::BadPower);
        // pow is e^(b ln a) without the rounding error of the two-step form,
        // so 2^3 is exactly 8.
        return checked(std::pow(a, b));
    }
    formError(QStringLiteral("Evaluator error: unexpected \"%1\".").arg(op));
}

struct PendingOp {
    QString text;
    int64_t priority;
};

} // namespace

double RoundHalfEven(double value) {
    double r = std::round(value); // ties away from zero
    if (std::fabs(value - std::trunc(value)) == 0.5)
        r = 2.0 * std::round(value / 2.0);
    return r;
}

int32_t RoundToInt32(double value) {
    checked(value);
    const double r = RoundHalfEven(value);
    if (r < double(std::numeric_limits<int32_t>::min()) || r > double(std::numeric_limits<int32_t>::max()))
        fault(Kind::IntegerRange);
    return int32_t(r);
}

int32_t TruncToInt32(double value) {
    checked(value);
    const double r = std::trunc(value);
    if (r < double(std::numeric_limits<int32_t>::min()) || r > double(std::numeric_limits<int32_t>::max()))
        fault(Kind::IntegerRange);
    return int32_t(r);
}

const TEvaluator::Variable *TEvaluator::findVariable(const QString &name) const {
    for (const Variable &v : m_variables)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    return nullptr;
}

double TEvaluator::Evaluate() const {
    if (m_expression.isEmpty())
        formError(QStringLiteral("Evaluator error: empty expression."));
    return evaluateText(m_expression, 0);
}

double TEvaluator::evaluateText(const QString &s, int depth) const {
    const int n = int(s.size());
    std::vector<double> values;
    std::vector<PendingOp> ops;
    int64_t nest = 0, last = 0;
    int i = 0;

    auto applyTop = [&]() {
        const PendingOp op = ops.back();
        ops.pop_back();
        if (op.text == QString(kEndMarker))
            formError(QStringLiteral("Evaluator error: \"@\" inside parentheses."));
        if (values.size() < 2)
            formError(QStringLiteral("Evaluator error: missing operand of \"%1\".").arg(op.text));
        const double b = values.back();
        values.pop_back();
        const double a = values.back();
        values.pop_back();
        values.push_back(apply(op.text, a, b));
        last = ops.empty() ? 0 : ops.back().priority;
    };

    for (;;) {
        while (i < n && (s[i] == QLatin1Char('(') || s[i] == QLatin1Char(' '))) {
            if (s[i] == QLatin1Char('('))
                nest += kNestStep;
            ++i;
        }
        int e = i, c = 0;
        for (; e < n; ++e) {
            const QChar ch = s[e];
            if (ch == QLatin1Char('(')) {
                ++c;
            } else if (ch == QLatin1Char(')')) {
                if (c == 0)
                    break;
                --c;
            } else if (c == 0 && !isOperandChar(ch)) {
                break;
            }
        }
        int k = e;
        while (k < n && (s[k] == QLatin1Char(')') || s[k] == QLatin1Char(' '))) {
            if (s[k] == QLatin1Char(')'))
                nest -= kNestStep;
            ++k;
        }
        // The end marker was swallowed inside an open parenthesis.
        if (k >= n)
            formError(QStringLiteral("Evaluator error: missing right parenthesis."));
        int opEnd = k;
        while (opEnd < n && !isOperandChar(s[opEnd]))
            ++opEnd;
        const QString opText = s.mid(k, opEnd - k).toLower();
        const int base = basePriority(opText);
        if (base < 0)
            formError(QStringLiteral("Evaluator error: unknown operator \"%1\".").arg(opText));
        const int64_t priority = base + nest;
        if (k == i) {
            if (opText == QLatin1String("+") || opText == QLatin1String("-") || opText == QLatin1String("!"))
                values.push_back(0);
        } else {
            values.push_back(evaluateOperand(s.mid(i, e - i), depth));
        }
        i = opEnd;
        if (nest < 0)
            formError(QStringLiteral("Evaluator error: too many right slashes."));
        while (priority <= last)
            applyTop();
        ops.push_back({opText, priority});
        last = priority;
        if (priority <= 1)
            break;
    }
    if (values.empty())
        formError(QStringLiteral("Evaluator error: empty expression."));
    return values.front();
}

double TEvaluator::evaluateOperand(const QString &operand, int depth) const {
    QString text = operand;
    while (!text.isEmpty() && text.back() == QLatin1Char(' '))
        text.chop(1);
    if (text.isEmpty())
        formError(QStringLiteral("Evaluator error: missing operand."));
    double value = 0;
    if (parseNumber(text, value))
        return value;
    if (const Variable *v = findVariable(text))
        return v->value;
    const qsizetype open = text.indexOf(QLatin1Char('('));
    if (open >= 0 && text.back() == QLatin1Char(')'))
        return callFunction(text.left(open).toLower(), text.mid(open + 1, text.size() - open - 2), depth);
    formError(QStringLiteral("Evaluator error: invalid expression \"%1\".").arg(text));
}

double TEvaluator::callFunction(const QString &name, const QString &arguments, int depth) const {
    static const char *const known[] = {"sin", "cos", "tg", "cotg", "ln", "exp", "log", "trunc", "round", "round2up"};
    bool isKnown = false;
    for (const char *k : known)
        isKnown = isKnown || name == QLatin1String(k);
    if (!isKnown)
        formError(QStringLiteral("Evaluator error: unknown function \"%1\".").arg(name));
    if (depth >= kMaxCallDepth)
        formError(QStringLiteral("Evaluator error: expression nested too deeply."));

    // Split at the commas outside parentheses.
    QStringList pieces;
    int count = 0, start = 0;
    for (int p = 0; p < arguments.size(); ++p) {
        const QChar ch = arguments[p];
        if (ch == QLatin1Char('('))
            ++count;
        else if (ch == QLatin1Char(')'))
            --count;
        else if (ch == QLatin1Char(',') && count == 0) {
            pieces.append(arguments.mid(start, p - start));
            start = p + 1;
        }
    }
    pieces.append(arguments.mid(start));
    if (pieces.size() > kMaxArguments)
        formError(QStringLiteral("Evaluator error: too many arguments for \"%1\" (at most %2).")
                      .arg(name)
                      .arg(kMaxArguments));
    std::vector<double> args;
    for (const QString &piece : pieces) {
        if (piece.trimmed().isEmpty())
            formError(QStringLiteral("Evaluator error: missing argument of \"%1\".").arg(name));
        args.push_back(evaluateText(piece + kEndMarker, depth + 1));
    }
    const double x = args[0];
    if (name == QLatin1String("sin"))
        return checked(std::sin(x));
    if (name == QLatin1String("cos"))
        return checked(std::cos(x));
    if (name == QLatin1String("tg") || name == QLatin1String("cotg")) {
        const double s = std::sin(x), c = std::cos(x);
        const double divisor = name == QLatin1String("tg") ? c : s;
        if (divisor == 0)
            fault(Kind::ZeroDivide);
        return checked((name == QLatin1String("tg") ? s : c) / divisor);
    }
    if (name == QLatin1String("ln") || name == QLatin1String("log")) {
        if (x <= 0)
            fault(Kind::BadLogarithm);
        // log10 is ln x / ln 10 without the rounding error: log(1000) is 3.
        return checked(name == QLatin1String("ln") ? std::log(x) : std::log10(x));
    }
    if (name == QLatin1String("exp"))
        return checked(std::exp(x));
    if (name == QLatin1String("trunc"))
        return TruncToInt32(x);
    if (name == QLatin1String("round"))
        return RoundToInt32(x);
    // round2up
    if (args.size() < 2)
        formError(QStringLiteral("Evaluator error: function \"round2up\" needs two arguments."));
    const double step = args[1];
    if (step == 0)
        return x;
    const double q = checked(x / step);
    const double whole = std::trunc(q);
    return checked((q - whole > 0 ? whole + 1 : whole) * step);
}

int FirstNonBlank(const QString &line) {
    for (int i = 0; i < line.size(); ++i)
        if (line[i] != QLatin1Char(' '))
            return i + 1;
    return 0;
}

QString IdentifierAt(const QString &line, int pos) {
    if (pos < 1)
        return {};
    int end = pos - 1;
    while (end < line.size() && isIdentChar(line[end]))
        ++end;
    return line.mid(pos - 1, end - (pos - 1));
}

QString QuotedText(const QString &line, int pos) {
    const qsizetype open = line.indexOf(QLatin1Char('\''), qMax(0, pos - 1));
    if (open < 0)
        return {};
    const qsizetype close = line.indexOf(QLatin1Char('\''), open + 1);
    return close < 0 ? line.mid(open + 1) : line.mid(open + 1, close - open - 1);
}

QString TextUpToPercent(const QString &line, int pos) {
    const int from = qMax(0, pos - 1);
    if (from >= line.size())
        return {};
    const qsizetype percent = line.indexOf(QLatin1Char('%'), from);
    return percent < 0 ? line.mid(from) : line.mid(from, percent - from);
}

} // namespace tessel
