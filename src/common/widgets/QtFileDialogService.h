#pragma once

#include "common/FileDialogService.h"

class QWidget;

namespace tessel {

class QtFileDialogService : public IFileDialogService {
public:
    explicit QtFileDialogService(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    QString getOpenFileName(const QString &title, const QString &dir, const QString &filter) override;
    QString getSaveFileName(const QString &title, const QString &dir, const QString &filter,
                            const QString &defaultExt) override;

private:
    QWidget *m_parent;
};

} // namespace tessel
