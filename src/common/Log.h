#pragma once

#include <QString>

namespace tessel {

// The diagnostic log "logfile.txt". Created anew at each start; each line is
// flushed at once; when the file cannot be created logging stays off.
void OpenLog(const QString &path);
void CloseLog();
bool LogEnabled();
void WriteLog(const QString &text);

} // namespace tessel
