#include "support/RecordingServices.h"

namespace tessel {

MsgButton RecordingMessageService::show(MsgType type, const QString &text, int buttons) {
    entries.push_back({type, text, buttons});
    if (!answers.empty()) {
        const MsgButton b = answers.front();
        answers.pop_front();
        return b;
    }
    return DefaultButton(buttons);
}

QStringList RecordingMessageService::texts() const {
    QStringList out;
    for (const Entry &e : entries)
        out.append(e.text);
    return out;
}

QString RecordingFileDialogService::next() {
    if (answers.empty())
        return {};
    QString a = answers.front();
    answers.pop_front();
    return a;
}

QString RecordingFileDialogService::getOpenFileName(const QString &title, const QString &dir, const QString &filter) {
    requests.push_back({false, title, dir, filter, {}});
    return next();
}

QString RecordingFileDialogService::getSaveFileName(const QString &title, const QString &dir, const QString &filter,
                                                    const QString &defaultExt) {
    requests.push_back({true, title, dir, filter, defaultExt});
    return next();
}

bool RecordingPrintDialogService::print(QPrinter &printer) {
    requests.emplace_back(QStringLiteral("print"));
    return Answer && Answer(printer);
}

bool RecordingPrintDialogService::printerSetup(QPrinter &printer) {
    requests.emplace_back(QStringLiteral("setup"));
    return Answer && Answer(printer);
}

} // namespace tessel
