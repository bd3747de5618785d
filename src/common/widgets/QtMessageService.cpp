#include "common/widgets/QtMessageService.h"

#include <QApplication>
#include <QCursor>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>

namespace tessel {

namespace {
struct ButtonMap {
    MsgButton ours;
    QMessageBox::StandardButton qt;
};
constexpr ButtonMap kButtons[] = {
    {mbOK, QMessageBox::Ok},         {mbCancel, QMessageBox::Cancel},     {mbYes, QMessageBox::Yes},
    {mbNo, QMessageBox::No},         {mbAbort, QMessageBox::Abort},       {mbRetry, QMessageBox::Retry},
    {mbIgnore, QMessageBox::Ignore}, {mbYesToAll, QMessageBox::YesToAll}, {mbNoToAll, QMessageBox::NoToAll},
    {mbAll, QMessageBox::YesAll},
};
// Buttons without a standard counterpart of the same caption.
struct CustomButton {
    MsgButton ours;
    const char *caption;
    QMessageBox::ButtonRole role;
};
constexpr CustomButton kCustomButtons[] = {
    {mbRestore, "Restore", QMessageBox::AcceptRole},
    {mbDiscard, "Discard", QMessageBox::DestructiveRole},
};
} // namespace

MsgButton QtMessageService::show(MsgType type, const QString &text, int buttons) {
    QMessageBox box(m_parent);
    switch (type) {
    case MsgType::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgType::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgType::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgType::Confirmation:
        box.setIcon(QMessageBox::Question);
        break;
    }
    box.setWindowTitle(MsgTypeName(type));
    box.setText(text);
    QMessageBox::StandardButtons qtButtons;
    for (const ButtonMap &m : kButtons)
        if (buttons & m.ours)
            qtButtons |= m.qt;
    QHash<QAbstractButton *, MsgButton> custom;
    for (const CustomButton &c : kCustomButtons)
        if (buttons & c.ours)
            custom.insert(box.addButton(QString::fromLatin1(c.caption), c.role), c.ours);
    if (!qtButtons && custom.isEmpty())
        qtButtons = QMessageBox::Ok;
    box.setStandardButtons(qtButtons);
    const MsgButton def = DefaultButton(buttons);
    for (const ButtonMap &m : kButtons)
        if (m.ours == def)
            box.setDefaultButton(m.qt);
    for (auto it = custom.cbegin(); it != custom.cend(); ++it)
        if (it.value() == def)
            box.setDefaultButton(qobject_cast<QPushButton *>(it.key()));
    // The busy cursor must not hide a question from the user.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    if (custom.contains(box.clickedButton()))
        return custom.value(box.clickedButton());
    // Ended without a click (the program quits): no choice was made.
    if (!custom.isEmpty() && !box.clickedButton())
        return mbNone;
    for (const ButtonMap &m : kButtons)
        if (m.qt == result)
            return m.ours;
    return buttons & mbCancel ? mbCancel : def;
}

void QtMessageService::beginBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void QtMessageService::endBusy() { QApplication::restoreOverrideCursor(); }

} // namespace tessel
