#pragma once

#include "output/DataExport.h"

#include <QString>
#include <array>
#include <functional>
#include <vector>

namespace tessel {

// The tidy long table for notebooks and data frames: one row per sample,
//   measurement, measured, <metadata keys>, channel, t, value, mark
// with measurement numbered from the oldest (1), measured its date-time in
// ISO 8601, the sample's metadata as columns, t in seconds, value as the
// graph shows it and the mark its protocol gave the sample. '#' lines before
// the header say what the file is and the units. Rows run by measurement,
// channel A before B, then by time. Comma and decimal point always; numbers
// as FormatMachine writes them.
class TLongCsvExport : public TDataExport {
public:
    // The mark of each sample of channels A and B of a measurement (empty
    // where none); the analysis installs it, without it the column is empty.
    using TMarkHook = std::function<std::array<std::vector<QString>, 2>(const TMeasurementRecord &)>;
    static TMarkHook &DefaultMarks();

    TLongCsvExport(const TExperimentModel &model, QString fileName);

    TMarkHook Marks;

    // The whole file, lines ending in CR LF.
    QString Text() const;
    QByteArray Bytes() const override { return Text().toUtf8(); }
};

} // namespace tessel
