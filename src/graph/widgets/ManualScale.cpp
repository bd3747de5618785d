#include "graph/widgets/ManualScale.h"

#include "common/MessageService.h"
#include "common/NumberText.h"
#include "graph/GraphRules.h"
#include "graph/widgets/GraphWindow.h"
#include "graph/widgets/XYGraph.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

namespace tessel {

TGraphMscl::TGraphMscl(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Graph Manual Scale"));
    auto *form = new QFormLayout;
    QLineEdit **fields[] = {&edXMin, &edXMax, &edYMin, &edYMax};
    const char *labels[] = {"X min", "X max", "Y min", "Y max"};
    for (int i = 0; i < 4; ++i) {
        *fields[i] = new QLineEdit(this);
        (*fields[i])->setObjectName(QString::fromLatin1(labels[i]).remove(' '));
        form->addRow(QString::fromLatin1(labels[i]), *fields[i]);
    }
    cbStayOnTop = new QCheckBox(QStringLiteral("Stay on top"), this);
    btnSet = new QPushButton(QStringLiteral("&Set"), this);
    btnSet->setDefault(true);
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    connect(btnSet, &QPushButton::clicked, this, &TGraphMscl::Set);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::hide);
    connect(cbStayOnTop, &QCheckBox::toggled, this, &TGraphMscl::SetStayOnTop);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cbStayOnTop);
    buttons->addStretch();
    buttons->addWidget(btnSet);
    buttons->addWidget(btnClose);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(form);
    lay->addLayout(buttons);
}

void TGraphMscl::Detach() {
    disconnect(m_ranges);
    disconnect(m_destroyed);
    m_graph = nullptr;
}

void TGraphMscl::SetGraph(TfrmGraph *g) {
    Detach();
    if (!g) {
        hide();
        return;
    }
    m_graph = g;
    m_ranges = connect(g, &TfrmGraph::RangesChanged, this, &TGraphMscl::Refresh);
    // Runs after the window's own destructor: only forget it.
    m_destroyed = connect(g, &QObject::destroyed, this, [this] { SetGraph(nullptr); });
    Refresh();
}

void TGraphMscl::Refresh() {
    if (m_busy || !m_graph)
        return;
    const TAxisTr &x = *m_graph->Graph->XAxis(), &y = *m_graph->Graph->YAxis();
    const double values[4] = {x.RangeMin(), x.RangeMax(), y.RangeMin(), y.RangeMax()};
    QLineEdit *fields[] = {edXMin, edXMax, edYMin, edYMax};
    for (int i = 0; i < 4; ++i) {
        m_shown[i] = values[i];
        fields[i]->setText(FormatShortest(values[i]));
    }
}

void TGraphMscl::Set() {
    if (!m_graph)
        return;
    QLineEdit *fields[] = {edXMin, edXMax, edYMin, edYMax};
    double v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = ScaleFieldValue(fields[i]->text(), m_shown[i]);
    if (v[0] > v[1])
        std::swap(v[0], v[1]);
    if (v[2] > v[3])
        std::swap(v[2], v[3]);
    TXYGraph &g = *m_graph->Graph;
    m_busy = true;
    try {
        g.YAxis()->SetRange(v[2], v[3]);
        g.XAxis()->SetRange(v[0], v[1]);
    } catch (const ETesselError &e) {
        Messages().error(e.message());
    }
    g.Changed();
    m_busy = false;
    // Show what the bounds made of the entry.
    Refresh();
}

void TGraphMscl::SetStayOnTop(bool on) {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing the flags hides a window.
    if (shown)
        show();
}

} // namespace tessel
