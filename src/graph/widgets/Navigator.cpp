#include "graph/widgets/Navigator.h"

#include "settings/widgets/WindowGeometry.h"

#include <QAction>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tessel {

namespace {
constexpr int kKindRole = Qt::UserRole;
constexpr int kWindowRole = Qt::UserRole + 1;
const QString kStayOnTop = QStringLiteral("mniStayOnTop.Checked");
const QString kAutoMax = QStringLiteral("mniAutoMax.Checked");
const QString kAutoMin = QStringLiteral("mniAutoMin.Checked");

QWidget *windowOf(const QTreeWidgetItem *item) {
    return item ? item->data(0, kWindowRole).value<QWidget *>() : nullptr;
}
} // namespace

TNavigator::TNavigator(QWidget *parent)
    : QWidget(parent, Qt::Tool), m_store(QStringLiteral("Navigator"), TPFormSettings::Values::All) {
    setObjectName(QStringLiteral("Navigator"));
    setWindowTitle(QStringLiteral("Navigator"));
    resize(220, 320);
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(m_tree);

    m_popup = new QMenu(this);
    mniStayOnTop = m_popup->addAction(QStringLiteral("&Stay on top"));
    mniStayOnTop->setCheckable(true);
    mniFullExpand = m_popup->addAction(QStringLiteral("&Full Expand"));
    mniAutoMax = m_popup->addAction(QStringLiteral("&Auto maximize"));
    mniAutoMax->setCheckable(true);
    mniAutoMin = m_popup->addAction(QStringLiteral("Auto &minimize"));
    mniAutoMin->setCheckable(true);
    connect(mniStayOnTop, &QAction::toggled, this, &TNavigator::setStayOnTop);
    connect(mniFullExpand, &QAction::triggered, m_tree, &QTreeWidget::expandAll);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { m_popup->popup(m_tree->viewport()->mapToGlobal(p)); });
    // A click opens a node's window; Enter reaches keyPressEvent. The tree's
    // own "activated" would come on top of either (on styles where one click
    // activates, and for Enter), opening the target twice.
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *i) { Activate(i); });
    connect(m_tree, &QTreeWidget::itemCollapsed, this, &TNavigator::onCollapsed);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &TNavigator::onExpanded);

    m_store.Register(kStayOnTop, SettingKind::Boolean, false);
    m_store.Register(kAutoMax, SettingKind::Boolean, false);
    m_store.Register(kAutoMin, SettingKind::Boolean, false);
    // The navigator stays on top at start.
    setStayOnTop(true);
}

TNavigator::~TNavigator() = default;

void TNavigator::SetImages(const QIcon &main, const QIcon &monitor, const QIcon &testKeys) {
    m_images[0] = main;
    m_images[1] = monitor;
    m_images[2] = testKeys;
}

void TNavigator::Fill() {
    m_tree->clear();
    m_root = new QTreeWidgetItem(m_tree, {QStringLiteral("Tessel 3.0")});
    m_root->setIcon(0, m_images[0]);
    m_root->setData(0, kKindRole, kRoot);
    auto *mon = new QTreeWidgetItem(m_root, {QStringLiteral("System Monitor")});
    mon->setIcon(0, m_images[1]);
    mon->setData(0, kKindRole, kMonitor);
    auto *keys = new QTreeWidgetItem(m_root, {QStringLiteral("Test Keys")});
    keys->setIcon(0, m_images[2]);
    keys->setData(0, kKindRole, kTestKeys);
    m_root->setExpanded(true);
}

QTreeWidgetItem *TNavigator::AddExperiment(QWidget *experiment, QWidget *protocol, const QString &caption) {
    if (!m_root)
        Fill();
    auto *node = new QTreeWidgetItem(m_root, {caption});
    node->setIcon(0, m_images[0]);
    node->setData(0, kKindRole, kExperiment);
    node->setData(0, kWindowRole, QVariant::fromValue(experiment));
    auto *graph = new QTreeWidgetItem(node, {QStringLiteral("Graph")});
    graph->setData(0, kKindRole, kGraph);
    graph->setData(0, kWindowRole, QVariant::fromValue(experiment));
    auto *proto = new QTreeWidgetItem(node, {QStringLiteral("Protocol")});
    proto->setData(0, kKindRole, kProtocol);
    proto->setData(0, kWindowRole, QVariant::fromValue(protocol));
    return node;
}

QTreeWidgetItem *TNavigator::findExperiment(QWidget *experiment) const {
    if (!m_root)
        return nullptr;
    for (int i = 0; i < m_root->childCount(); ++i) {
        QTreeWidgetItem *c = m_root->child(i);
        if (c->data(0, kKindRole).toInt() == kExperiment && windowOf(c) == experiment)
            return c;
    }
    return nullptr;
}

void TNavigator::RenameExperiment(QWidget *experiment, const QString &caption) {
    if (QTreeWidgetItem *n = findExperiment(experiment))
        n->setText(0, caption);
}

void TNavigator::RemoveExperiment(QWidget *experiment) { delete findExperiment(experiment); }

void TNavigator::runModal(const std::function<void()> &open) {
    if (!open || !(IsConnected && IsConnected()))
        return;
    const bool wasVisible = isVisible();
    hide();
    open();
    if (wasVisible)
        show();
}

void TNavigator::Activate(QTreeWidgetItem *item) {
    if (!item)
        return;
    switch (item->data(0, kKindRole).toInt()) {
    case kMonitor:
        runModal(OpenMonitor);
        return;
    case kTestKeys:
        runModal(OpenTestKeys);
        return;
    default:
        break;
    }
    if (QWidget *w = windowOf(item)) {
        if (w->isMinimized())
            w->showNormal();
        w->show();
        w->raise();
        w->activateWindow();
    }
}

void TNavigator::onCollapsed(QTreeWidgetItem *item) {
    if (!mniAutoMin->isChecked())
        return;
    for (int i = 0; i < item->childCount(); ++i)
        if (QWidget *w = windowOf(item->child(i)))
            w->showMinimized();
}

void TNavigator::onExpanded(QTreeWidgetItem *item) {
    if (!mniAutoMax->isChecked())
        return;
    for (int i = 0; i < item->childCount(); ++i)
        if (QWidget *w = windowOf(item->child(i)))
            w->showNormal();
}

void TNavigator::setStayOnTop(bool on) {
    if (mniStayOnTop->isChecked() != on) {
        mniStayOnTop->setChecked(on); // re-enters through toggled
        return;
    }
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show();
}

void TNavigator::keyPressEvent(QKeyEvent *e) {
    if (e->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && m_tree->currentItem()) {
        Activate(m_tree->currentItem());
        return;
    }
    QWidget::keyPressEvent(e);
}

void TNavigator::showEvent(QShowEvent *e) {
    // Nothing stored: the first showing goes to the right of the owner's work
    // area, below its menu and toolbars, not onto the screen's corner.
    if (!m_placed && parentWidget()) {
        m_placed = true;
        const QWidget *owner = parentWidget();
        const auto *main = qobject_cast<const QMainWindow *>(owner);
        const QWidget *area = main && main->centralWidget() ? main->centralWidget() : owner;
        const QPoint topRight = area->mapToGlobal(QPoint(area->width(), 0));
        move(std::max(area->mapToGlobal(QPoint(0, 0)).x(), topRight.x() - frameGeometry().width() - 8),
             topRight.y() + 8);
    }
    QWidget::showEvent(e);
}

void TNavigator::RestoreSettings() {
    m_store.Restore();
    m_placed = m_placed || m_store.Window().hasGeometry();
    ApplyWindow(this, m_store.Window(), true);
    // Nothing stored yet keeps the start-up default of staying on top.
    if (TPRegistry().ValueExists(m_store.KeyName(), kStayOnTop))
        setStayOnTop(m_store.Boolean(kStayOnTop));
    mniAutoMax->setChecked(m_store.Boolean(kAutoMax));
    mniAutoMin->setChecked(m_store.Boolean(kAutoMin));
}

void TNavigator::SaveSettings() {
    m_store.SetWindow(CaptureWindow(this, false));
    m_store.SetValue(kStayOnTop, mniStayOnTop->isChecked());
    m_store.SetValue(kAutoMax, mniAutoMax->isChecked());
    m_store.SetValue(kAutoMin, mniAutoMin->isChecked());
    m_store.Save();
}

} // namespace tessel
