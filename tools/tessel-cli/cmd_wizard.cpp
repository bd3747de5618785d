// tessel-cli wizard: loads a wizard file, takes values as its dialog would,
// runs the OK check and prints the generated protocol; or prints the
// dialog's layout.
#include "Cli.h"

#include "authoring/WizardFile.h"
#include "authoring/WizardLayout.h"
#include "common/MessageService.h"
#include "common/NumberText.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>

namespace tessel::cli {
namespace {

const char *typeName(TWizardVarType t) {
    switch (t) {
    case TWizardVarType::Real:
        return "real";
    case TWizardVarType::Int:
        return "int";
    case TWizardVarType::Bool:
        return "bool";
    case TWizardVarType::None:
        break;
    }
    return "none";
}

QJsonArray groupsJson(const TWizardFile &w) {
    QJsonArray groups;
    for (const TWizardGroup &g : w.Groups()) {
        QJsonArray vars;
        for (const TWizardVariable &v : g.Variables)
            vars.append(QJsonObject{{"name", v.Name},
                                    {"type", typeName(v.Type)},
                                    {"caption", v.Caption},
                                    {"value", v.Value},
                                    {"minimum", v.Minimum},
                                    {"maximum", v.Maximum},
                                    {"readOnly", v.ReadOnly},
                                    {"noDisplay", v.NoDisplay},
                                    {"triggers", int(v.Triggers.size())}});
        groups.append(QJsonObject{{"caption", g.Caption}, {"column", g.Column}, {"variables", vars}});
    }
    return groups;
}

void printVars(CliIO &io, const TWizardFile &w) {
    io.out << "Title: " << w.Title() << '\n';
    for (const TWizardGroup &g : w.Groups()) {
        io.out << "Group \"" << g.Caption << "\" (column " << g.Column << ")\n";
        for (const TWizardVariable &v : g.Variables) {
            io.out << "  " << v.Name << " " << typeName(v.Type) << " \"" << v.Caption
                   << "\" = " << WizardValueText(v.Type, v.Value) << " [" << FormatShortest(v.Minimum) << ", "
                   << FormatShortest(v.Maximum) << "]";
            if (v.ReadOnly)
                io.out << " read-only";
            if (v.NoDisplay)
                io.out << " no-display";
            if (!v.Triggers.empty())
                io.out << " triggers=" << v.Triggers.size();
            io.out << '\n';
        }
    }
}

QJsonObject rectJson(const QRect &r) {
    return QJsonObject{{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
}

QString rectText(const QRect &r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The dialog as LayoutWizardDialog places it with the application font.
void printLayout(CliIO &io, const TWizardFile &w, bool json) {
    const TWizardLayout l = LayoutWizardDialog(w.Groups(), WizardMetricsFor(QGuiApplication::font()));
    const auto kind = [](TWizardVarType t) { return t == TWizardVarType::Bool ? "checkbox" : "field"; };
    if (json) {
        QJsonArray frames;
        for (size_t gi = 0; gi < l.Frames.size(); ++gi) {
            const TWizardFrameLayout &f = l.Frames[gi];
            const TWizardGroup &g = w.Groups()[gi];
            QJsonArray controls;
            for (const TWizardRowLayout &row : f.Rows) {
                const QString name = g.Variables[size_t(row.Variable)].Name;
                if (row.Type != TWizardVarType::Bool)
                    controls.append(QJsonObject{{"variable", name}, {"kind", "label"}, {"rect", rectJson(row.Label)}});
                controls.append(
                    QJsonObject{{"variable", name},
                                {"kind", kind(row.Type)},
                                {"rect", rectJson(row.Type == TWizardVarType::Bool ? row.CheckBox : row.Field)}});
            }
            frames.append(QJsonObject{
                {"caption", g.Caption}, {"column", f.Column}, {"rect", rectJson(f.Rect)}, {"controls", controls}});
        }
        PrintJson(io, QJsonDocument(QJsonObject{
                          {"title", w.Title()},
                          {"window", QJsonObject{{"width", l.Window.width()}, {"height", l.Window.height()}}},
                          {"client", QJsonObject{{"width", l.Client.width()}, {"height", l.Client.height()}}},
                          {"columns", l.Columns},
                          {"frames", frames},
                          {"ok", rectJson(l.Ok)},
                          {"cancel", rectJson(l.Cancel)}}));
        return;
    }
    io.out << "Dialog \"" << w.Title() << "\": window " << l.Window.width() << "x" << l.Window.height() << ", client "
           << l.Client.width() << "x" << l.Client.height() << ", " << l.Columns << " column(s)\n";
    io.out << "(rectangles: x,y widthxheight; frames in the client area, controls in their frame)\n";
    for (size_t gi = 0; gi < l.Frames.size(); ++gi) {
        const TWizardFrameLayout &f = l.Frames[gi];
        const TWizardGroup &g = w.Groups()[gi];
        io.out << "Frame \"" << g.Caption << "\" column " << f.Column << ": " << rectText(f.Rect) << '\n';
        for (const TWizardRowLayout &row : f.Rows) {
            const TWizardVariable &v = g.Variables[size_t(row.Variable)];
            if (row.Type == TWizardVarType::Bool) {
                io.out << "  checkbox " << v.Name << ": " << rectText(row.CheckBox) << '\n';
            } else {
                io.out << "  label    " << v.Name << ": " << rectText(row.Label) << '\n';
                io.out << "  field    " << v.Name << ": " << rectText(row.Field) << '\n';
            }
        }
    }
    io.out << "OK: " << rectText(l.Ok) << "\nCancel: " << rectText(l.Cancel) << '\n';
}

// A value as the user would enter it: a number, or true/false for bool.
std::optional<double> parseValue(const TWizardVariable &v, const QString &text) {
    if (v.Type == TWizardVarType::Bool) {
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return 1.0;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return 0.0;
    }
    return ParseFloat(text);
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Load a wizard file, enter values as its dialog would (kept within limits), run the OK check "
                       "and print the generated protocol."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The wizard file."));
    p.addOption(
        {QStringLiteral("set"), QStringLiteral("Enter a value in a field, repeatable."), QStringLiteral("NAME=VALUE")});
    p.addOption({QStringLiteral("vars"), QStringLiteral("List groups and variables instead of the protocol.")});
    p.addOption(
        {QStringLiteral("layout"),
         QStringLiteral("Print the dialog's frames and controls with their rectangles instead of the protocol.")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("wizard"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1) {
        io.err << "tessel-cli wizard: give exactly one wizard file\n";
        return kExitUsage;
    }
    const bool json = p.isSet(QStringLiteral("json"));
    const bool listVars = p.isSet(QStringLiteral("vars"));
    const bool layout = p.isSet(QStringLiteral("layout"));
    if (layout && (listVars || p.isSet(QStringLiteral("set")))) {
        io.err << "tessel-cli wizard: --layout takes neither --vars nor --set\n";
        return kExitUsage;
    }

    TWizardFile wizard(pos.first());
    QStringList errors;
    try {
        wizard.Load();
        if (layout) {
            printLayout(io, wizard, json);
            return kExitOk;
        }
        TWizardFieldValues fields(wizard);
        // The dialog runs the triggers once before it is shown.
        for (const TWizardGroup &g : wizard.Groups())
            for (const TWizardVariable &v : g.Variables)
                if (!v.NoDisplay && !v.Triggers.empty())
                    wizard.TriggerPass(fields);
        for (const QString &set : p.values(QStringLiteral("set"))) {
            const qsizetype eq = set.indexOf(QLatin1Char('='));
            const TWizardVariable *v = eq > 0 ? wizard.FindVariable(set.left(eq)) : nullptr;
            if (eq <= 0) {
                io.err << "tessel-cli wizard: --set needs NAME=VALUE, got '" << set << "'\n";
                return kExitUsage;
            }
            if (!v) {
                io.err << "Wizard error: unknown variable \"" << set.left(eq) << "\".\n";
                return kExitUsage;
            }
            if (v->NoDisplay || v->ReadOnly) {
                io.err << "tessel-cli wizard: variable '" << v->Name << "' has no editable field\n";
                return kExitUsage;
            }
            const auto value = parseValue(*v, set.mid(eq + 1));
            if (!value) {
                io.err << "tessel-cli wizard: '" << set.mid(eq + 1) << "' is no value for '" << v->Name << "'\n";
                return kExitUsage;
            }
            fields.SetFieldValue(*v, *value);
        }
        errors = wizard.CheckAndStore(fields);
        for (const QString &e : std::as_const(errors))
            Messages().error(e);
        if (errors.isEmpty() && !listVars)
            wizard.Expand();
    } catch (const ETesselError &e) {
        Messages().error(e.message());
        return kExitFailed;
    }

    if (json) {
        QJsonObject j{{"title", wizard.Title()}, {"errors", QJsonArray::fromStringList(errors)}};
        if (listVars)
            j["groups"] = groupsJson(wizard);
        else if (errors.isEmpty())
            j["lines"] = QJsonArray::fromStringList(wizard.OutputLines());
        PrintJson(io, QJsonDocument(j));
    } else if (listVars) {
        printVars(io, wizard);
    } else if (errors.isEmpty()) {
        for (const QString &line : wizard.OutputLines())
            io.out << line << '\n';
    }
    return errors.isEmpty() ? kExitOk : kExitFailed;
}

const Registrar reg({QStringLiteral("wizard"), QStringLiteral("Generate a protocol from a wizard file"), run, true});

} // namespace
} // namespace tessel::cli
