#pragma once

#include <QList>
#include <QString>

namespace tessel {

// The release these executables belong to.
QString ProgramVersion();

// --version and --help look the same for every executable of the program.
// --version: "NAME (Tessel) VERSION" and the licence line.
QString VersionText(const QString &program);

struct HelpOption {
    QString names; // "--port PATH"
    QString text;
};
struct HelpSection {
    QString title; // "options", "fault injection"
    QList<HelpOption> options;
};
// "usage: NAME SYNOPSIS", the summary, then each section with its options in
// two columns; "-h, --help" and "--version" close the first section.
QString HelpText(const QString &program, const QString &synopsis, const QString &summary, QList<HelpSection> sections,
                 const QString &footer = {});

} // namespace tessel
