#pragma once

#include "common/MessageService.h"

#include <QString>
#include <vector>

namespace tessel::cli {

// Shows nothing: keeps each message so that the command can tell it on stderr
// with the file it concerns (or drop it), and answers as a user pressing Enter.
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

} // namespace tessel::cli
