#pragma once

#include <QString>
#include <QStringList>

namespace tessel {

// The comma form of a text list: items separated by ","; an item holding a
// blank, comma, double quote or control character is quoted with its own
// quotes doubled; a list of one empty item is written as "".
QString ToCommaText(const QStringList &items);
QStringList FromCommaText(const QString &text);

} // namespace tessel
