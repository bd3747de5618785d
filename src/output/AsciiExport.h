#pragma once

#include "output/DataExport.h"

namespace tessel {

// Writes the data sets of one experiment as tab-separated text: fixed lines,
// optional header, the protocol variables of each measurement, then one row
// per time point and one column per data set.
class TAsciiExport : public TDataExport {
public:
    using TDataExport::TDataExport;

    // The whole file, lines ending in CR LF.
    QString Text() const;
    QByteArray Bytes() const override { return Text().toUtf8(); }

private:
    QString number(double v, int digits) const;
    QString dateTime(double days) const;
};

} // namespace tessel
