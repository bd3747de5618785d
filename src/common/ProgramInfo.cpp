#include "common/ProgramInfo.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0.0"
#endif

namespace tessel {

namespace {
constexpr int kOptionColumn = 24;
}

QString ProgramVersion() { return QStringLiteral(TESSEL_VERSION); }

QString VersionText(const QString &program) {
    return program + QStringLiteral(" (Tessel) ") + ProgramVersion() + QStringLiteral("\nMIT License.\n");
}

QString HelpText(const QString &program, const QString &synopsis, const QString &summary, QList<HelpSection> sections,
                 const QString &footer) {
    if (sections.isEmpty())
        sections.append({QStringLiteral("options"), {}});
    sections.first().options.append({QStringLiteral("-h, --help"), QStringLiteral("show this help and end")});
    sections.first().options.append({QStringLiteral("--version"), QStringLiteral("show the version and end")});
    QString out = QStringLiteral("usage: ") + program + ' ' + synopsis + QStringLiteral("\n\n") + summary + '\n';
    for (const HelpSection &s : sections) {
        out += '\n' + s.title + QStringLiteral(":\n");
        for (const HelpOption &o : s.options) {
            const QString names = QStringLiteral("  ") + o.names;
            // A long name puts its text on the next line, in the same column.
            out += names.size() < kOptionColumn ? names.leftJustified(kOptionColumn)
                                                : names + '\n' + QString(kOptionColumn, ' ');
            out += o.text + '\n';
        }
    }
    if (!footer.isEmpty())
        out += '\n' + footer + '\n';
    return out;
}

} // namespace tessel
