#pragma once

#include "data/Experiment.h"
#include "data/FileOp.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace tessel {

inline constexpr char kExperimentVersionTag[] = "Version 1.1.20.188";
inline const QString kUnsupportedFormatMessage = QStringLiteral("Unsuported File Format");

// Writes the experiment after the container's Save or SaveAs succeeded, then
// closes it. Sets every record's logarithmic-x byte to the model's state.
// True when the file was completely written and has replaced the old one.
bool WriteExperiment(TFileOp &file, TExperimentModel &model);

// Reads the experiment after the container's Open succeeded, then closes it.
// The model is emptied first; on a damaged file the measurements read
// completely so far stay. True when the whole file was read.
bool ReadExperiment(TFileOp &file, TExperimentModel &model);

// Open/Save plus the above for a named file, without dialogs.
bool LoadExperimentFile(TExperimentModel &model, const QString &fileName, TFileOp *file = nullptr);
bool SaveExperimentFile(TExperimentModel &model, const QString &fileName, TFileOp *file = nullptr);

// Date-times are days since 30 Dec 1899; the fraction is the time of day
// (also for dates before 1899, whose fraction counts forwards).
double DaysFromDateTime(const QDateTime &t);
// Empty for values outside the years 1 .. 9999 or not finite.
std::optional<QDateTime> DateTimeFromDays(double days);
double NowDays();

} // namespace tessel
