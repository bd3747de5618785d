// tessel-cli eval: the value of one evaluator expression.
#include "Cli.h"

#include "authoring/Evaluator.h"
#include "common/NumberText.h"

#include <QJsonObject>

namespace tessel::cli {
namespace {

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Evaluate an expression as wizard conditions and triggers do. Put \"--\" before an expression "
                       "that begins with \"-\"."));
    p.addPositionalArgument(QStringLiteral("EXPR"), QStringLiteral("The expression."));
    p.addOption({QStringLiteral("var"), QStringLiteral("A variable, repeatable."), QStringLiteral("NAME=VALUE")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("eval"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1) {
        io.err << "tessel-cli eval: give exactly one expression\n";
        return kExitUsage;
    }
    TEvaluator evaluator;
    for (const QString &var : p.values(QStringLiteral("var"))) {
        const qsizetype eq = var.indexOf(QLatin1Char('='));
        const auto value = eq > 0 ? ParseFloat(var.mid(eq + 1)) : std::nullopt;
        if (!value) {
            io.err << "tessel-cli eval: --var needs NAME=NUMBER, got '" << var << "'\n";
            return kExitUsage;
        }
        evaluator.AddVariable(var.left(eq), *value);
    }
    evaluator.SetExpression(pos.first());
    try {
        const double value = evaluator.Evaluate();
        if (p.isSet(QStringLiteral("json")))
            PrintJson(io, QJsonDocument(QJsonObject{{"expression", pos.first()}, {"value", value}}));
        else
            io.out << FormatShortest(value) << '\n';
        return kExitOk;
    } catch (const ETesselError &e) {
        io.err << e.message() << '\n';
        return kExitFailed;
    }
}

const Registrar reg({QStringLiteral("eval"), QStringLiteral("Evaluate an expression of the wizard language"), run});

} // namespace
} // namespace tessel::cli
