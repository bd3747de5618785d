#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace tessel {

enum class MsgType { Error, Warning, Information, Confirmation };

// Buttons of a message dialog; a dialog's answer is one of them.
enum MsgButton : int {
    mbNone = 0,
    mbOK = 1,
    mbCancel = 2,
    mbYes = 4,
    mbNo = 8,
    mbAbort = 16,
    mbRetry = 32,
    mbIgnore = 64,
    mbAll = 128,
    mbYesToAll = 256,
    mbNoToAll = 512,
    mbRestore = 1024,
    mbDiscard = 2048,
};

// Every message the user sees goes through this service, so that the windows,
// the command line and the tests share one path and tests can check texts.
class IMessageService {
public:
    virtual ~IMessageService() = default;
    // Shows a modal message; returns the button chosen, mbNone when the
    // dialog ended without one (the program is ending).
    virtual MsgButton show(MsgType type, const QString &text, int buttons) = 0;
    // Hourglass cursor while long work runs; calls nest.
    virtual void beginBusy() {}
    virtual void endBusy() {}

    void error(const QString &text) { show(MsgType::Error, text, mbOK); }
    void warning(const QString &text) { show(MsgType::Warning, text, mbOK); }
    void information(const QString &text) { show(MsgType::Information, text, mbOK); }
    MsgButton confirm(const QString &text, int buttons = mbYes | mbNo) {
        return show(MsgType::Confirmation, text, buttons);
    }
};

// The process-wide service. Defaults to a console service that writes to
// standard error and answers with the dialog's default button.
IMessageService &Messages();
// Installs a service (nullptr restores the console one); returns the previous.
IMessageService *SetMessageService(IMessageService *service);

// The button a dialog takes when the user just presses Enter.
MsgButton DefaultButton(int buttons);
QString MsgTypeName(MsgType type);

class ConsoleMessageService : public IMessageService {
public:
    MsgButton show(MsgType type, const QString &text, int buttons) override;
};

// Shows nothing: keeps each message so that a headless caller (the command
// line, the Python module) can report it with the file it concerns, or drop
// it; answers as a user pressing Enter.
class TKeptMessages : public IMessageService {
public:
    struct Entry {
        MsgType type;
        QString text;
        int buttons;
    };
    MsgButton show(MsgType type, const QString &text, int buttons) override {
        entries.push_back({type, text, buttons});
        return DefaultButton(buttons);
    }
    std::vector<Entry> entries;
};

// Installs a service for the lifetime of a scope.
class ScopedMessageService {
public:
    explicit ScopedMessageService(IMessageService *s) : m_prev(SetMessageService(s)) {}
    ~ScopedMessageService() { SetMessageService(m_prev); }

private:
    IMessageService *m_prev;
};

// Hourglass cursor for the lifetime of a scope.
class BusyCursor {
public:
    BusyCursor() { Messages().beginBusy(); }
    ~BusyCursor() { Messages().endBusy(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace tessel
