#pragma once

#include "output/DataExport.h"

#include <QJsonObject>
#include <functional>

namespace tessel {

// Writes the exported data sets as one JSON document (schema in
// docs/export-schema.json): the experiment's title and description, then one
// object per measurement with its time, instrument type, channel conditions,
// protocol and variables, parameters, and each exported channel's scaling
// and x (s) and y values within the chosen rows.
class TJsonExport : public TDataExport {
public:
    TJsonExport(const TExperimentModel &model, QString fileName);

    // Fills each measurement's "parameters" member; empty object when unset.
    using TParameterHook = std::function<QJsonObject(const TMeasurementRecord &)>;
    TParameterHook Parameters;
    // What every new writer starts with, so that one place can install the
    // program's parameter computation for the dialog and tessel-cli alike.
    static TParameterHook &DefaultParameters();

    QJsonObject Document() const;
    QByteArray Bytes() const override;

    static constexpr int kFormatVersion = 1;
};

} // namespace tessel
