#pragma once

#include <QJsonValue>
#include <QString>
#include <optional>

namespace tessel {

// Number <-> text conversions that never depend on the user's locale:
// "." is the decimal separator in Tessel.ini and in generated protocols.

// Shortest text that reads back to the same double ("1e-07", "0.5", "1000").
QString FormatShortest(double value);
// Numbers written for machines (CSV, JSON, analysis tables): the value at 15
// significant digits, the most a double always carries, in its shortest
// form. Arithmetic noise goes ("30.299999999999997" is written "30.3"), every
// digit that is written is meaningful and reads back as written.
double MachineValue(double value);
QString FormatMachine(double value);
// The same for every number inside a JSON value (objects and arrays too).
QJsonValue MachineJson(const QJsonValue &value);
// printf "%g" form, as in the ini error dialog.
QString FormatG(double value);
// Decimal with optional sign and exponent; blanks around are allowed.
std::optional<double> ParseFloat(const QString &text);
// Decimal with optional sign and leading blanks, or "$" hexadecimal.
std::optional<int32_t> ParseInt(const QString &text);
// Plain hexadecimal digits (no prefix), 32-bit with wrap-around like the
// original ini reader ("FFFFFFFF" is -1).
std::optional<int32_t> ParseHex(const QString &digits);

} // namespace tessel
