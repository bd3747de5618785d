#include "authoring/WizardFile.h"

#include "authoring/Evaluator.h"
#include "common/MessageService.h"
#include "common/NumberText.h"

#include <QFile>
#include <QStringDecoder>
#include <charconv>
#include <cmath>

namespace tessel {
namespace {

[[noreturn]] void wizardError(const QString &text) { throw EWizardFileError(QStringLiteral("Wizard error: ") + text); }

QString quoted(const QString &text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

[[noreturn]] void parseError(const QString &line) {
    wizardError(QStringLiteral("error parsing %1.").arg(quoted(line)));
}

// One classified line: blank, a directive ("%keyword") or a property or
// template line (keyword at the first non-blank character).
struct Line {
    bool blank = true;
    bool directive = false;
    QString keyword; // lower case
};

Line classify(const QString &text) {
    Line l;
    const int p = FirstNonBlank(text);
    if (p == 0)
        return l;
    l.blank = false;
    l.directive = text[p - 1] == QLatin1Char('%');
    l.keyword = IdentifierAt(text, l.directive ? p + 1 : p).toLower();
    return l;
}

// The text after the first "'" following the "(" up to the next "'".
QString quotedArgument(const QString &line) {
    const qsizetype open = line.indexOf(QLatin1Char('('));
    if (open < 0)
        parseError(line);
    return QuotedText(line, int(open) + 1);
}

// The text between the first "(" and the first ")".
QString bracketedArgument(const QString &line) {
    const qsizetype open = line.indexOf(QLatin1Char('('));
    const qsizetype close = line.indexOf(QLatin1Char(')'));
    if (open < 0 || close < 0 || close < open)
        parseError(line);
    return line.mid(open + 1, close - open - 1);
}

int integerArgument(const QString &line) {
    const QString text = bracketedArgument(line);
    const auto v = ParseInt(text.trimmed());
    if (!v)
        wizardError(QStringLiteral("%1 is not an integer value.").arg(quoted(text)));
    return *v;
}

double realArgument(const QString &line) {
    const QString text = bracketedArgument(line);
    const auto v = ParseFloat(text);
    if (!v)
        wizardError(QStringLiteral("%1 is not a real value.").arg(quoted(text)));
    return *v;
}

[[noreturn]] void invalidDirective(const QString &keyword) {
    wizardError(QStringLiteral("invalid %symbol %1.").arg(quoted(keyword)));
}

[[noreturn]] void invalidProperty(const QString &keyword) {
    wizardError(QStringLiteral("invalid symbol %1.").arg(quoted(keyword)));
}

// Reads the blocks of one file; the index walks the file lines.
class Loader {
public:
    explicit Loader(const QStringList &lines) : m_lines(lines) {}

    bool next(QString &text, Line &line, const char *closing) {
        if (m_index + 1 >= m_lines.size()) {
            if (closing)
                wizardError(QStringLiteral("%%1 missing at the end of the file.").arg(QLatin1String(closing)));
            return false;
        }
        text = m_lines[++m_index];
        line = classify(text);
        return true;
    }

    TWizardGroup group(const QString &opening, int column) {
        TWizardGroup g;
        g.Column = column;
        if (opening.contains(QLatin1Char('(')))
            g.Caption = quotedArgument(opening);
        QString text;
        Line line;
        while (next(text, line, "end_group")) {
            if (line.blank)
                continue;
            if (line.directive) {
                if (line.keyword == QLatin1String("define_var"))
                    g.Variables.push_back(variable(text));
                else if (line.keyword == QLatin1String("end_group"))
                    return g;
                else
                    invalidDirective(line.keyword);
            } else if (line.keyword == QLatin1String("x_position")) {
                g.Column = integerArgument(text);
            } else if (line.keyword == QLatin1String("y_position")) {
                g.YPosition = integerArgument(text);
            } else {
                invalidProperty(line.keyword);
            }
        }
        return g; // not reached: next() raises at the end of the file
    }

    TWizardVariable variable(const QString &opening) {
        if (!opening.contains(QLatin1Char('(')))
            wizardError(QStringLiteral("variable must have a name."));
        TWizardVariable v;
        v.Name = quotedArgument(opening);
        v.Caption = v.Name;
        QString text;
        Line line;
        while (next(text, line, "end_var")) {
            if (line.blank)
                continue;
            const QString &k = line.keyword;
            if (line.directive) {
                if (k == QLatin1String("define_trigger")) {
                    v.Triggers.push_back(trigger());
                } else if (k == QLatin1String("end_var")) {
                    if (v.Type == TWizardVarType::None)
                        wizardError(QStringLiteral("variable must have type specified."));
                    return v;
                } else {
                    invalidDirective(k);
                }
            } else if (k == QLatin1String("type")) {
                const QString t = bracketedArgument(text);
                const QString lower = t.trimmed().toLower();
                if (lower == QLatin1String("real"))
                    v.Type = TWizardVarType::Real;
                else if (lower == QLatin1String("int"))
                    v.Type = TWizardVarType::Int;
                else if (lower == QLatin1String("bool"))
                    v.Type = TWizardVarType::Bool;
                else
                    wizardError(QStringLiteral("%1 is not possible variable type.").arg(quoted(t)));
            } else if (k == QLatin1String("caption")) {
                v.Caption = quotedArgument(text);
            } else if (k == QLatin1String("x_position")) {
                v.XPosition = integerArgument(text);
            } else if (k == QLatin1String("y_position")) {
                v.YPosition = integerArgument(text);
            } else if (k == QLatin1String("init_value")) {
                v.Value = initValue(v.Type, text);
            } else if (k == QLatin1String("minimum")) {
                v.Minimum = realArgument(text);
            } else if (k == QLatin1String("maximum")) {
                v.Maximum = realArgument(text);
            } else if (k == QLatin1String("read_only")) {
                v.ReadOnly = true;
            } else if (k == QLatin1String("no_display")) {
                v.NoDisplay = true;
            } else {
                invalidProperty(k);
            }
        }
        return v;
    }

    static double initValue(TWizardVarType type, const QString &line) {
        switch (type) {
        case TWizardVarType::None:
            wizardError(QStringLiteral("variable must have type specified before assigning value."));
        case TWizardVarType::Real:
            return realArgument(line);
        case TWizardVarType::Int:
            return integerArgument(line);
        case TWizardVarType::Bool: {
            const QString text = bracketedArgument(line);
            const QString lower = text.trimmed().toLower();
            if (lower == QLatin1String("true"))
                return 1;
            if (lower == QLatin1String("false"))
                return 0;
            wizardError(QStringLiteral("%1 is not a boolean value.").arg(quoted(text)));
        }
        }
        return 0;
    }

    TWizardTrigger trigger() {
        TWizardTrigger t;
        QString text;
        Line line;
        while (next(text, line, "end_trigger")) {
            if (line.blank)
                continue;
            const QString &k = line.keyword;
            if (line.directive) {
                if (k == QLatin1String("end_trigger"))
                    return t;
                invalidDirective(k);
            } else if (k == QLatin1String("condition")) {
                t.Condition = quotedArgument(text);
            } else if (k == QLatin1String("set") || k == QLatin1String("error")) {
                if (t.Action != TTriggerAction::None)
                    wizardError(QStringLiteral("trigger can have only one action."));
                const QString arg = quotedArgument(text);
                if (k == QLatin1String("error")) {
                    t.Action = TTriggerAction::Error;
                    t.Message = arg;
                    continue;
                }
                const qsizetype assign = arg.indexOf(QLatin1String(":="));
                QString target = assign < 0 ? QString() : arg.left(assign);
                while (target.startsWith(QLatin1Char(' ')))
                    target.remove(0, 1);
                while (target.endsWith(QLatin1Char(' ')))
                    target.chop(1);
                // An empty left side could never name a variable.
                if (target.isEmpty())
                    wizardError(QStringLiteral("set command must have its left side."));
                t.Action = TTriggerAction::Set;
                t.Target = target;
                t.Expression = arg.mid(assign + 2);
            } else {
                invalidProperty(k);
            }
        }
        return t;
    }

    int m_index = -1;

private:
    const QStringList &m_lines;
};

QStringList splitLines(const QByteArray &bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

double clampToInt32(double v) { return std::fmax(-2147483648.0, std::fmin(2147483647.0, v)); }

} // namespace

double LimitToField(const TWizardVariable &var, double value) {
    double lo = var.Minimum, hi = var.Maximum, v = value;
    switch (var.Type) {
    case TWizardVarType::Bool:
        return value != 0 ? 1 : 0;
    case TWizardVarType::Int:
        lo = RoundHalfEven(clampToInt32(lo));
        hi = RoundHalfEven(clampToInt32(hi));
        v = RoundHalfEven(clampToInt32(v));
        break;
    case TWizardVarType::Real:
    case TWizardVarType::None:
        break;
    }
    // A maximum below the minimum leaves the field at its minimum.
    if (v > hi)
        v = hi;
    if (v < lo)
        v = lo;
    return v;
}

double FieldFromStored(const TWizardVariable &var) {
    if (var.Type == TWizardVarType::Bool)
        return var.Value == 1 ? 1 : 0;
    return LimitToField(var, var.Value);
}

QString WizardValueText(TWizardVarType type, double value) {
    char buf[400];
    std::to_chars_result res;
    if (type == TWizardVarType::Int || type == TWizardVarType::Bool)
        res = std::to_chars(buf, buf + sizeof buf, RoundHalfEven(value), std::chars_format::fixed, 0);
    else
        res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    QString text = QString::fromLatin1(buf, int(res.ptr - buf));
    if (text == QLatin1String("-0"))
        return QStringLiteral("0");
    // "1e-07" is written "1E-7", "1e+20" as "1E20".
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        QString exponent = text.mid(e + 1);
        const bool negative = exponent.startsWith(QLatin1Char('-'));
        if (negative || exponent.startsWith(QLatin1Char('+')))
            exponent.remove(0, 1);
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        text = text.left(e) + QLatin1Char('E') + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    return text;
}

TWizardFile::TWizardFile(const QString &fileName) : m_fileName(fileName) {}

void TWizardFile::Load() {
    m_dialog.reset();
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ETesselError(QStringLiteral("Cannot open file \"%1\": %2").arg(m_fileName, file.errorString()));
    LoadLines(splitLines(file.readAll()));
}

void TWizardFile::LoadLines(const QStringList &lines) {
    // Controls of a dialog built for the old groups would dangle.
    m_dialog.reset();
    m_templateLines.clear();
    m_groups.clear();
    m_fileLines = lines;
    int column = 0;
    Loader loader(m_fileLines);
    QString text;
    Line line;
    while (loader.next(text, line, nullptr)) {
        if (line.blank)
            continue;
        if (!line.directive) {
            m_templateLines.append(text);
            continue;
        }
        const QString &k = line.keyword;
        if (k == QLatin1String("define_group"))
            m_groups.push_back(loader.group(text, column));
        else if (k == QLatin1String("define_title"))
            m_title = quotedArgument(text);
        else if (k == QLatin1String("define_template"))
            quotedArgument(text);
        else if (k == QLatin1String("new_column"))
            ++column;
        else if (k == QLatin1String("if") || k == QLatin1String("else") || k == QLatin1String("endif"))
            m_templateLines.append(text);
        else
            invalidDirective(k);
    }
    if (m_groups.empty())
        wizardError(QStringLiteral("file contains no variables."));
}

const TWizardVariable *TWizardFile::FindVariable(const QString &name) const {
    for (const TWizardGroup &g : m_groups)
        for (const TWizardVariable &v : g.Variables)
            if (v.Name.compare(name, Qt::CaseInsensitive) == 0)
                return &v;
    return nullptr;
}

TWizardVariable *TWizardFile::FindVariable(const QString &name) {
    return const_cast<TWizardVariable *>(std::as_const(*this).FindVariable(name));
}

void TWizardFile::Expand() {
    m_outputLines.clear();
    TEvaluator evaluator;
    for (const TWizardGroup &g : m_groups)
        for (const TWizardVariable &v : g.Variables)
            evaluator.AddVariable(v.Name, v.Value);
    bool skipping = false;
    int nesting = 0;
    for (const QString &text : std::as_const(m_templateLines)) {
        const Line line = classify(text);
        if (line.directive && line.keyword == QLatin1String("if")) {
            if (skipping) {
                ++nesting;
            } else {
                evaluator.SetExpression(quotedArgument(text));
                skipping = evaluator.Evaluate() == 0;
            }
        } else if (line.directive && line.keyword == QLatin1String("else")) {
            if (!skipping)
                skipping = true;
            else if (nesting == 0)
                skipping = false;
        } else if (line.directive && line.keyword == QLatin1String("endif")) {
            if (skipping) {
                if (nesting > 0)
                    --nesting;
                else
                    skipping = false;
            }
        } else if (!skipping) {
            // Each replacement removes at least one "%", so this ends.
            QString out = text;
            for (qsizetype percent = out.indexOf(QLatin1Char('%')); percent >= 0;
                 percent = out.indexOf(QLatin1Char('%'))) {
                const QString name = TextUpToPercent(out, int(percent) + 2);
                const TWizardVariable *v = FindVariable(name);
                if (!v)
                    wizardError(QStringLiteral("unknown variable %1.").arg(quoted(name)));
                const qsizetype end = percent + 1 + name.size();
                const qsizetype removed = (end < out.size() ? end + 1 : end) - percent;
                out.replace(percent, removed, WizardValueText(v->Type, v->Value));
            }
            m_outputLines.append(out);
        }
    }
}

void TWizardFile::TriggerPass(IWizardFields &fields) {
    TEvaluator evaluator;
    for (const TWizardGroup &g : m_groups)
        for (const TWizardVariable &v : g.Variables)
            evaluator.AddVariable(v.Name, v.NoDisplay ? v.Value : fields.FieldValue(v));
    for (const TWizardGroup &g : m_groups) {
        for (const TWizardVariable &v : g.Variables) {
            for (const TWizardTrigger &t : v.Triggers) {
                evaluator.SetExpression(t.Condition);
                if (evaluator.Evaluate() == 0)
                    continue;
                if (t.Action == TTriggerAction::Set) {
                    TWizardVariable *target = FindVariable(t.Target);
                    if (!target)
                        wizardError(QStringLiteral("unknown variable %1.").arg(quoted(t.Target)));
                    evaluator.SetExpression(t.Expression);
                    const double value = evaluator.Evaluate();
                    if (target->NoDisplay)
                        target->Value = value;
                    else
                        fields.SetFieldValue(*target, value);
                } else if (t.Action == TTriggerAction::Error && ErrorActionsArmed) {
                    throw EWizardFileError(QStringLiteral("Wizard error: ") + t.Message);
                }
            }
        }
    }
}

QStringList TWizardFile::CheckAndStore(IWizardFields &fields) {
    QStringList messages;
    ErrorActionsArmed = true;
    for (const TWizardGroup &g : m_groups) {
        for (const TWizardVariable &v : g.Variables) {
            if (v.NoDisplay || v.Triggers.empty())
                continue;
            try {
                TriggerPass(fields);
            } catch (const ETesselError &e) {
                messages.append(e.message());
            }
        }
    }
    ErrorActionsArmed = false;
    for (TWizardGroup &g : m_groups)
        for (TWizardVariable &v : g.Variables)
            if (!v.NoDisplay)
                v.Value = fields.FieldValue(v);
    return messages;
}

bool TWizardFile::Execute() {
    if (!m_dialog)
        wizardError(QStringLiteral("dialog box not yet created."));
    IWizardDialog &dialog = *m_dialog;
    ErrorActionsArmed = false;
    for (const TWizardGroup &g : m_groups)
        for (const TWizardVariable &v : g.Variables)
            if (!v.NoDisplay)
                dialog.SetFieldValue(v, FieldFromStored(v));
    for (const TWizardGroup &g : m_groups)
        for (const TWizardVariable &v : g.Variables)
            if (!v.NoDisplay && !v.Triggers.empty())
                TriggerPass(dialog);
    bool accepted = false;
    for (;;) {
        // The user's typing never raises an error action; only OK checks them.
        ErrorActionsArmed = false;
        accepted = dialog.ShowModal();
        if (!accepted)
            break;
        const QStringList failures = CheckAndStore(dialog);
        for (const QString &message : failures)
            Messages().error(message);
        if (failures.isEmpty())
            break;
    }
    ErrorActionsArmed = false;
    return accepted;
}

TWizardFieldValues::TWizardFieldValues(const TWizardFile &wizard) {
    for (const TWizardGroup &g : wizard.Groups())
        for (const TWizardVariable &v : g.Variables)
            if (!v.NoDisplay)
                m_values.emplace_back(&v, FieldFromStored(v));
}

double TWizardFieldValues::FieldValue(const TWizardVariable &var) const {
    for (const auto &[v, value] : m_values)
        if (v == &var)
            return value;
    return var.Value;
}

void TWizardFieldValues::SetFieldValue(const TWizardVariable &var, double value) {
    for (auto &[v, stored] : m_values)
        if (v == &var)
            stored = LimitToField(var, value);
}

} // namespace tessel
