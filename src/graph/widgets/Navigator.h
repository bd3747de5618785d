#pragma once

#include "settings/SettingsStore.h"

#include <QIcon>
#include <QWidget>
#include <functional>

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessel {

// "Navigator": a tree of the open experiments and their windows, with the
// two service nodes for the live monitor and the key test window.
class TNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TNavigator(QWidget *parent = nullptr);
    ~TNavigator() override;

    // Image list: main window, live monitor, key test window, in this order.
    void SetImages(const QIcon &main, const QIcon &monitor, const QIcon &testKeys);
    // Root "Tessel 3.0" with "System Monitor" and "Test Keys".
    void Fill();

    // Experiments add a node with "Graph" and "Protocol" children.
    QTreeWidgetItem *AddExperiment(QWidget *experiment, QWidget *protocol, const QString &caption);
    void RenameExperiment(QWidget *experiment, const QString &caption);
    void RemoveExperiment(QWidget *experiment);

    // Runs what a node stands for (click or Enter).
    void Activate(QTreeWidgetItem *item);

    std::function<bool()> IsConnected;
    std::function<void()> OpenMonitor;
    std::function<void()> OpenTestKeys;

    QTreeWidget *Tree() const { return m_tree; }
    QTreeWidgetItem *Root() const { return m_root; }
    QAction *mniStayOnTop, *mniFullExpand, *mniAutoMax, *mniAutoMin;
    TPFormSettings &Store() { return m_store; }

    void RestoreSettings();
    void SaveSettings();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    enum NodeKind { kRoot = 1, kMonitor, kTestKeys, kExperiment, kGraph, kProtocol };
    void setStayOnTop(bool on);
    void onCollapsed(QTreeWidgetItem *item);
    void onExpanded(QTreeWidgetItem *item);
    QTreeWidgetItem *findExperiment(QWidget *experiment) const;
    void runModal(const std::function<void()> &open);

    QTreeWidget *m_tree;
    QTreeWidgetItem *m_root = nullptr;
    QMenu *m_popup;
    QIcon m_images[3];
    TPFormSettings m_store;
    bool m_placed = false; // a stored or first position was applied
};

} // namespace tessel
