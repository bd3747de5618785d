#include "common/FileDialogService.h"

namespace tessel {

namespace {
// Without a window system there is nobody to ask: every dialog is cancelled.
class NoFileDialogs : public IFileDialogService {
public:
    QString getOpenFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString getSaveFileName(const QString &, const QString &, const QString &, const QString &) override { return {}; }
};
IFileDialogService *&current() {
    static IFileDialogService *s = nullptr;
    return s;
}
} // namespace

IFileDialogService &FileDialogs() {
    static NoFileDialogs none;
    IFileDialogService *s = current();
    return s ? *s : none;
}

IFileDialogService *SetFileDialogService(IFileDialogService *service) {
    IFileDialogService *prev = current();
    current() = service;
    return prev;
}

QString ToQtFilter(const QString &filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        const QString named = QStringLiteral(" (") + patterns + ')';
        out.append(parts[i].endsWith(named) ? parts[i] : parts[i] + named);
    }
    return out.join(QStringLiteral(";;"));
}

QString PlainSuffix(const QString &defaultExt) {
    QString s = defaultExt.trimmed();
    while (s.startsWith('*') || s.startsWith('.'))
        s.remove(0, 1);
    return s;
}

} // namespace tessel
