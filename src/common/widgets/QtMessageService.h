#pragma once

#include "common/MessageService.h"

class QWidget;

namespace tessel {

// Message dialogs as QMessageBox; hourglass through the override cursor.
class QtMessageService : public IMessageService {
public:
    explicit QtMessageService(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    MsgButton show(MsgType type, const QString &text, int buttons) override;
    void beginBusy() override;
    void endBusy() override;

private:
    QWidget *m_parent;
};

} // namespace tessel
