#pragma once

#include <QString>

namespace tessel {

// The per-user copy of the shipped Tessel.ini.
//
// What the user changed stays. A newer shipped copy brings its new sections
// (new instrument types, new wizards) and new keys of existing sections. A
// copy of the shipped file as last merged ("Tessel.ini.shipped" beside the
// user's) tells new entries from ones the user deleted: only entries absent
// from that copy are added. Without it every missing entry counts as new.
QString MergeShippedIni(const QString &userText, const QString &shippedText, const QString &previousShippedText);

// Seeds `userPath` from `shippedPath` when it does not exist, else merges a
// changed shipped copy into it. Returns false when the user's file could not
// be written (it then stays as it was).
bool PrepareUserIni(const QString &shippedPath, const QString &userPath);

} // namespace tessel
