#pragma once

#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

#include <QImage>
#include <QMimeData>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace tessel {

// Carries data sets dragged out of a data set editor to another graph.
class TDragDependency : public QMimeData {
    Q_OBJECT
public:
    static QString MimeType() { return QStringLiteral("application/x-tessel-dependencies"); }
    TDragDependency();
    void Add(TDependency *d) { m_list.push_back(d); }
    int Count() const { return int(m_list.size()); }
    TDependency *operator[](int i) const { return m_list.at(size_t(i)); }
    const std::vector<TDependency *> &List() const { return m_list; }

private:
    std::vector<TDependency *> m_list;
};

// The plotting control. Its state and arithmetic live in TGraphModel; this
// window paints through TGraphLayout and TCurveDrawer into an off-screen
// image and turns mouse and keys into model commands.
class TXYGraph : public QWidget {
    Q_OBJECT
public:
    explicit TXYGraph(QWidget *parent = nullptr);
    ~TXYGraph() override;

    TGraphModel &Model() { return m_model; }
    const TGraphModel &Model() const { return m_model; }

    bool DrawOnIdle = false;
    bool ProcessMessages = false;
    // Drops of TDragDependency add the carried data sets (signals view).
    void SetAcceptDependencyDrops(bool on);
    bool AcceptDependencyDrops() const { return m_acceptDrops; }
    // What a drop does; returns how many data sets were added.
    int DropDependencies(const QMimeData *data);
    // Data sets were added by a drop (how many).
    std::function<void(int)> OnDependenciesDropped;

    void SetCaption(const QString &c);
    void AddDependency(TDependency *d) { m_model.AddDependency(d); }
    void RemoveDependency(TDependency *d) { m_model.RemoveDependency(d); }
    int DependencyCount() const { return m_model.DependencyCount(); }
    TDependency *Dependency(int i) const { return m_model.Dependency(i); }
    TDependency *Selected() const { return m_model.Selected(); }
    TAxisTr *XAxis() const { return m_model.XAxis(); }
    TAxisTr *YAxis() const { return m_model.YAxis(); }
    void SetXAxis(TAxisTr *a) { m_model.SetXAxis(a); }
    void SetYAxis(TAxisTr *a) { m_model.SetYAxis(a); }
    // Axis errors ("Invalid Range") are shown, never thrown.
    void AutoScaleX() {
        Guard([this] { m_model.AutoScaleX(); });
    }
    void AutoScaleY() {
        Guard([this] { m_model.AutoScaleY(); });
    }
    void AutoScaleXY() {
        Guard([this] { m_model.AutoScaleXY(); });
    }
    void Undo() {
        Guard([this] { m_model.Undo(); });
    }
    void Changed();
    int32_t LeftCursorIndex() const { return m_model.LeftCursorIndex(); }
    int32_t RightCursorIndex() const { return m_model.RightCursorIndex(); }

    // Renders axes and curves (no cursors) onto another device's painter.
    void DrawTo(QPainter &p, const QRect &r);
    // Whole picture as it is now, curves finished.
    QImage Render();

    // A full paint has completed: the frame and every curve are drawn. The
    // mouse, the keys and the cursors work only then.
    bool Painted() const { return m_state == TState::Painted; }
    bool Drawing() const { return m_idle.isActive(); }
    const TGraphLayout &Layout() const { return m_layout; }

    std::function<void()> OnDone;
    std::function<void(QPainter &)> OnDrawTo;

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    void FullPaint();
    void IdleStep();
    void Finished();
    void ShowHint();
    bool MouseActive() const { return Painted() && m_model.DependencyCount() > 0; }
    void Guard(const std::function<void()> &f);

    TGraphModel m_model;
    TCurveDrawer m_drawer;
    TGraphLayout m_layout;
    QImage m_bitmap;
    QSize m_paintedSize;
    // Stale: the next paint starts over; Drawing: the frame is done and the
    // curves are being drawn; Painted: everything is in the image.
    enum class TState { Stale, Drawing, Painted };
    TState m_state = TState::Stale;
    // Counts the changes, so a paint that let events run sees one happen.
    uint64_t m_changes = 0;
    bool m_inPaint = false;
    QTimer m_idle, m_hint;
    QPoint m_mouse, m_press;
    bool m_hasMouse = false;
    bool m_acceptDrops = false;
    Qt::MouseButton m_button = Qt::NoButton;
};

} // namespace tessel
