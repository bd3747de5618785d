#pragma once

#include "output/DataExport.h"

namespace tessel {

// Writes the exported rows as comma-separated values (RFC 4180): one line of
// captions (each followed by its sample's title, note and metadata in
// brackets where it has any), "Time" first, then one line per time with one field per data
// set, empty where a data set has no point. No preamble, so a spreadsheet or
// a script reads the table as it is.
class TCsvExport : public TDataExport {
public:
    using TDataExport::TDataExport;

    TCsvStyle Style;

    // The whole file, lines ending in CR LF.
    QString Text() const;
    QByteArray Bytes() const override { return Text().toUtf8(); }

    // One field: quoted when it holds the delimiter, a quote or a line break.
    static QString Field(const QString &text, QChar delimiter);
    // A text cell a spreadsheet would run as a formula (it begins with =, +,
    // -, U+2212, @, tab or CR) gets a leading apostrophe.
    static QString Neutralised(const QString &text);
    // The number as written for machines (FormatMachine), with the decimal
    // separator given.
    static QString Number(double v, QChar decimal);
};

} // namespace tessel
