#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace tessel {

// Every file dialog goes through this service. Filters use the program's
// "Text|pattern|Text|pattern" form ("Binary Files|*.bin|All Files|*.*").
class IFileDialogService {
public:
    virtual ~IFileDialogService() = default;
    // Empty result when the user cancels.
    virtual QString getOpenFileName(const QString &title, const QString &dir, const QString &filter) = 0;
    virtual QString getSaveFileName(const QString &title, const QString &dir, const QString &filter,
                                    const QString &defaultExt) = 0;
};

IFileDialogService &FileDialogs();
IFileDialogService *SetFileDialogService(IFileDialogService *service);

// "Binary Files|*.bin|All Files|*.*" -> "Binary Files (*.bin);;All Files (*.*)"; a text that
// already names its patterns ("Experiment Files (*.exp)|*.exp") keeps them once.
QString ToQtFilter(const QString &filter);
// A default extension as the program's dialogs give it ("*.exp", ".exp" or "exp") -> "exp".
QString PlainSuffix(const QString &defaultExt);

class ScopedFileDialogService {
public:
    explicit ScopedFileDialogService(IFileDialogService *s) : m_prev(SetFileDialogService(s)) {}
    ~ScopedFileDialogService() { SetFileDialogService(m_prev); }

private:
    IFileDialogService *m_prev;
};

} // namespace tessel
