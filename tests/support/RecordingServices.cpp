#include "support/RecordingServices.h"

namespace tessel {

namespace {
// The next scripted answer, or fallback once the script is spent.
template <typename T> T Next(std::deque<T> &answers, T fallback) {
    if (answers.empty())
        return fallback;
    T a = answers.front();
    answers.pop_front();
    return a;
}
} // namespace

MsgButton RecordingMessageService::show(MsgType type, const QString &text, int buttons) {
    entries.push_back({type, text, buttons});
    return Next(answers, DefaultButton(buttons));
}

QStringList RecordingMessageService::texts() const {
    QStringList out;
    for (const Entry &e : entries)
        out.append(e.text);
    return out;
}

QString RecordingFileDialogService::getOpenFileName(const QString &title, const QString &dir, const QString &filter) {
    requests.push_back({false, title, dir, filter, {}});
    return Next(answers, QString());
}

QString RecordingFileDialogService::getSaveFileName(const QString &title, const QString &dir, const QString &filter,
                                                    const QString &defaultExt) {
    requests.push_back({true, title, dir, filter, defaultExt});
    return Next(answers, QString());
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
