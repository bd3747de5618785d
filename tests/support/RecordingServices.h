#pragma once

// The recording doubles of the message, file dialog and print dialog
// services: each keeps what the program asked and answers from a script.

#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "common/PrintDialogService.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace tessel {

// Records every message; answers from a script, else with the default button.
class RecordingMessageService : public IMessageService {
public:
    struct Entry {
        MsgType type;
        QString text;
        int buttons;
    };
    MsgButton show(MsgType type, const QString &text, int buttons) override;
    void beginBusy() override {}
    void endBusy() override {}

    void answer(MsgButton b) { answers.push_back(b); }
    QStringList texts() const;
    void clear() { entries.clear(); }

    std::vector<Entry> entries;
    std::deque<MsgButton> answers;
};

// Records each request and answers from a script (empty = cancelled).
class RecordingFileDialogService : public IFileDialogService {
public:
    struct Request {
        bool save;
        QString title, dir, filter, defaultExt;
    };
    QString getOpenFileName(const QString &title, const QString &dir, const QString &filter) override;
    QString getSaveFileName(const QString &title, const QString &dir, const QString &filter,
                            const QString &defaultExt) override;
    void answer(const QString &path) { answers.push_back(path); }

    std::vector<Request> requests;
    std::deque<QString> answers;
};

// Records each request; Answer decides it (none: cancelled) and may set the
// printer up as a user would, e.g. to print into a PDF file.
class RecordingPrintDialogService : public IPrintDialogService {
public:
    bool print(QPrinter &printer) override;
    bool printerSetup(QPrinter &printer) override;

    std::function<bool(QPrinter &)> Answer;
    std::vector<QString> requests; // "print" or "setup"
};

} // namespace tessel
