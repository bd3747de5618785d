#include "graph/widgets/FigureDialog.h"

#include "common/FileDialogService.h"
#include "graph/GraphFigure.h"
#include "graph/widgets/XYGraph.h"

#include <QClipboard>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>

namespace tessel {
namespace {

// The size chosen last in this run, never stored.
std::optional<QSize> g_lastSize;

TFigureDrawer drawerOf(TXYGraph &graph) {
    return [&graph](QPainter &p, const QRect &r) { graph.DrawTo(p, r); };
}

} // namespace

TfrmPictureSize::TfrmPictureSize(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Picture Size"));
    auto spin = [this] {
        auto *s = new QSpinBox(this);
        s->setRange(kMinFigureSide, kMaxFigureSide);
        s->setSuffix(QStringLiteral(" px"));
        return s;
    };
    sbWidth = spin();
    sbHeight = spin();
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnOk->setDefault(true);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Width:"), sbWidth);
    form->addRow(QStringLiteral("&Height:"), sbHeight);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QSize> TfrmPictureSize::Ask(QWidget *parent, QSize onScreen) {
    TfrmPictureSize dlg(parent);
    const QSize start = g_lastSize.value_or(onScreen);
    dlg.sbWidth->setValue(start.width());
    dlg.sbHeight->setValue(start.height());
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    g_lastSize = QSize(dlg.sbWidth->value(), dlg.sbHeight->value());
    return g_lastSize;
}

bool SaveGraphPicture(TXYGraph &graph, QWidget *parent) {
    const std::optional<QSize> size = TfrmPictureSize::Ask(parent, graph.size());
    if (!size)
        return false;
    const QString path = FileDialogs().getSaveFileName(
        QStringLiteral("Save Picture"), QString(),
        QStringLiteral("PNG Image|*.png|SVG Drawing|*.svg|PDF Document|*.pdf"), QStringLiteral("png"));
    if (path.isEmpty())
        return false;
    return WriteFigure(path, *size, graph.font(), drawerOf(graph), graph.Model().Caption);
}

bool CopyGraphPicture(TXYGraph &graph, QWidget *parent) {
    const std::optional<QSize> size = TfrmPictureSize::Ask(parent, graph.size());
    if (!size)
        return false;
    QGuiApplication::clipboard()->setImage(FigureImage(*size, graph.font(), drawerOf(graph)));
    return true;
}

} // namespace tessel
