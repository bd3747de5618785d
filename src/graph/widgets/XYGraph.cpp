#include "graph/widgets/XYGraph.h"

#include "common/MessageService.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace tessel {

TDragDependency::TDragDependency() { setData(MimeType(), QByteArray()); }

TXYGraph::TXYGraph(QWidget *parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 90);
    const QPalette pal = palette();
    TGraphColors &c = m_model.Colors;
    c.Axis = FromQColor(pal.color(QPalette::ButtonText));
    c.BackGround = FromQColor(pal.color(QPalette::Base));
    c.Highlight = FromQColor(pal.color(QPalette::Light));
    c.Shadow = FromQColor(pal.color(QPalette::Dark));
    c.Frame = FromQColor(pal.color(QPalette::Button));
    m_model.OnChanged = [this] { Changed(); };
    // A zero timer runs whenever the event loop has nothing else to do.
    m_idle.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, &TXYGraph::IdleStep);
    m_hint.setSingleShot(true);
    m_hint.setInterval(600);
    connect(&m_hint, &QTimer::timeout, this, &TXYGraph::ShowHint);
}

TXYGraph::~TXYGraph() {
    m_model.OnChanged = nullptr;
    m_idle.stop();
}

void TXYGraph::SetCaption(const QString &c) {
    m_model.Caption = c;
    Changed();
}

void TXYGraph::Changed() {
    m_state = TState::Stale;
    ++m_changes;
    m_idle.stop();
    m_drawer.Clear();
    update();
}

void TXYGraph::Guard(const std::function<void()> &f) {
    try {
        f();
    } catch (const ETesselError &e) {
        Messages().error(e.message());
        Changed();
    }
}

void TXYGraph::FullPaint() {
    m_bitmap = QImage(size(), QImage::Format_RGB32);
    m_paintedSize = size();
    QPainter bp(&m_bitmap);
    bp.setFont(font());
    m_layout = TGraphLayout::Compute(m_model, rect(), bp.fontMetrics());
    PaintFrame(bp, m_model, m_layout);
    m_drawer.Start(m_model);
    m_state = TState::Drawing;
    if (DrawOnIdle) {
        if (!m_drawer.Done())
            m_idle.start();
        else
            Finished();
        return;
    }
    const uint64_t changes = m_changes;
    while (!m_drawer.Done()) {
        m_drawer.Step(bp, m_model);
        if (ProcessMessages) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            if (m_changes != changes)
                return; // changed meanwhile; the next paint starts over
        }
    }
    Finished();
}

void TXYGraph::Finished() {
    m_state = TState::Painted;
    if (OnDone)
        OnDone();
}

void TXYGraph::IdleStep() {
    if (m_state != TState::Drawing || m_bitmap.isNull()) {
        m_idle.stop();
        return;
    }
    bool done;
    {
        QPainter bp(&m_bitmap);
        done = m_drawer.Step(bp, m_model);
    }
    if (done) {
        m_idle.stop();
        Finished();
    }
    update();
}

void TXYGraph::paintEvent(QPaintEvent *) {
    if (m_inPaint)
        return;
    m_inPaint = true;
    if (m_state == TState::Stale || m_paintedSize != size())
        FullPaint();
    QPainter p(this);
    p.drawImage(0, 0, m_bitmap);
    p.setFont(font());
    PaintLegend(p, m_model, m_layout);
    PaintCursors(p, m_model, m_layout);
    PaintReadout(p, m_model, m_layout, m_hasMouse ? &m_mouse : nullptr);
    const QRect &pl = m_layout.Plot;
    if (m_hasMouse && MouseActive()) {
        p.setCompositionMode(QPainter::CompositionMode_Difference);
        if (m_button == Qt::LeftButton || m_button == Qt::RightButton) {
            p.setPen(QPen(Qt::white, 1, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(m_press, m_mouse).normalized());
        }
        if (m_model.CursorStyle == csLines) {
            p.setPen(QPen(Qt::white, 1));
            p.drawLine(pl.left(), m_mouse.y(), pl.right(), m_mouse.y());
            p.drawLine(m_mouse.x(), pl.top(), m_mouse.x(), pl.bottom());
        }
    }
    m_inPaint = false;
}

void TXYGraph::resizeEvent(QResizeEvent *) { Changed(); }

void TXYGraph::mousePressEvent(QMouseEvent *e) {
    if (!MouseActive())
        return;
    setFocus();
    m_press = m_mouse = m_model.ClampToPlot(e->position().toPoint());
    m_hasMouse = true;
    m_button = e->button();
    m_hint.start();
}

void TXYGraph::mouseMoveEvent(QMouseEvent *e) {
    if (!MouseActive())
        return;
    m_mouse = m_model.ClampToPlot(e->position().toPoint());
    m_hasMouse = true;
    QToolTip::hideText();
    m_hint.start();
    update();
}

void TXYGraph::mouseReleaseEvent(QMouseEvent *e) {
    if (!MouseActive() || e->button() != m_button) {
        m_button = Qt::NoButton;
        return;
    }
    const QPoint at = m_model.ClampToPlot(e->position().toPoint());
    const TMouseButton b = m_button == Qt::LeftButton    ? TMouseButton::Left
                           : m_button == Qt::RightButton ? TMouseButton::Right
                                                         : TMouseButton::Middle;
    m_button = Qt::NoButton;
    const QRect r = QRect(m_press, at).normalized();
    switch (ClassifyGesture(m_press, at, b)) {
    case TGesture::PlaceCursor:
        if (b != TMouseButton::Middle)
            m_model.PlaceCursor(b == TMouseButton::Left, at.x());
        break;
    case TGesture::ZoomIn:
        Guard([&] { m_model.ZoomInRect(r); });
        break;
    case TGesture::ZoomOut:
        Guard([&] { m_model.ZoomOutRect(r); });
        break;
    case TGesture::Undo:
        Undo();
        break;
    case TGesture::None:
        break;
    }
    update();
}

void TXYGraph::keyPressEvent(QKeyEvent *e) {
    bool used = false;
    if (Painted())
        Guard([&] { used = m_model.KeyCommand(e->key(), e->modifiers() & Qt::KeypadModifier); });
    if (!used)
        QWidget::keyPressEvent(e);
}

void TXYGraph::leaveEvent(QEvent *e) {
    m_hint.stop();
    m_hasMouse = false;
    update();
    QWidget::leaveEvent(e);
}

void TXYGraph::ShowHint() {
    if (TDependency *d = m_model.HitTest(m_mouse))
        QToolTip::showText(mapToGlobal(m_mouse + QPoint(12, 12)), d->Caption, this);
}

void TXYGraph::SetAcceptDependencyDrops(bool on) {
    m_acceptDrops = on;
    setAcceptDrops(on);
}

void TXYGraph::dragEnterEvent(QDragEnterEvent *e) {
    if (m_acceptDrops && qobject_cast<const TDragDependency *>(e->mimeData()))
        e->acceptProposedAction();
}

int TXYGraph::DropDependencies(const QMimeData *data) {
    const auto *drag = qobject_cast<const TDragDependency *>(data);
    const int added = drag && m_acceptDrops ? m_model.AddDependencies(drag->List()) : 0;
    if (added > 0 && OnDependenciesDropped)
        OnDependenciesDropped(added);
    return added;
}

void TXYGraph::dropEvent(QDropEvent *e) {
    if (qobject_cast<const TDragDependency *>(e->mimeData())) {
        DropDependencies(e->mimeData());
        e->acceptProposedAction();
    }
}

void TXYGraph::DrawTo(QPainter &p, const QRect &r) {
    if (OnDrawTo)
        OnDrawTo(p);
    RenderGraph(p, m_model, r);
}

QImage TXYGraph::Render() {
    QImage img(size(), QImage::Format_RGB32);
    QPainter p(&img);
    p.setFont(font());
    m_layout = TGraphLayout::Compute(m_model, rect(), p.fontMetrics());
    PaintFrame(p, m_model, m_layout);
    TCurveDrawer d;
    d.Start(m_model);
    d.DrawAll(p, m_model);
    PaintLegend(p, m_model, m_layout);
    PaintCursors(p, m_model, m_layout);
    PaintReadout(p, m_model, m_layout, nullptr);
    return img;
}

} // namespace tessel
