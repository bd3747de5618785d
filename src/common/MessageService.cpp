#include "common/MessageService.h"

#include <cstdio>

namespace tessel {

namespace {
ConsoleMessageService &consoleService() {
    static ConsoleMessageService s;
    return s;
}
IMessageService *&current() {
    static IMessageService *s = nullptr;
    return s;
}
} // namespace

IMessageService &Messages() {
    IMessageService *s = current();
    return s ? *s : consoleService();
}

IMessageService *SetMessageService(IMessageService *service) {
    IMessageService *prev = current();
    current() = service;
    return prev;
}

MsgButton DefaultButton(int buttons) {
    for (MsgButton b :
         {mbOK, mbYes, mbRetry, mbAbort, mbIgnore, mbNo, mbCancel, mbAll, mbYesToAll, mbNoToAll, mbRestore, mbDiscard})
        if (buttons & b)
            return b;
    return mbOK;
}

QString MsgTypeName(MsgType type) {
    switch (type) {
    case MsgType::Error:
        return QStringLiteral("Error");
    case MsgType::Warning:
        return QStringLiteral("Warning");
    case MsgType::Information:
        return QStringLiteral("Information");
    case MsgType::Confirmation:
        return QStringLiteral("Confirm");
    }
    return {};
}

MsgButton ConsoleMessageService::show(MsgType type, const QString &text, int buttons) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    return DefaultButton(buttons);
}

} // namespace tessel
