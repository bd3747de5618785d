#include "common/widgets/QtFileDialogService.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tessel {

QString QtFileDialogService::getOpenFileName(const QString &title, const QString &dir, const QString &filter) {
    QFileDialog dlg(m_parent, title, dir, ToQtFilter(filter));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

QString QtFileDialogService::getSaveFileName(const QString &title, const QString &dir, const QString &filter,
                                             const QString &defaultExt) {
    QFileDialog dlg(m_parent, title, dir, ToQtFilter(filter));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(PlainSuffix(defaultExt));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

} // namespace tessel
