#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tessel {

class TfrmGraph;

// "Graph Manual Scale": the ranges of one graph window's axes as four
// numbers the user can type. One dialog serves whichever graph window is
// active; it follows that window's range changes while attached.
class TGraphMscl : public QDialog {
    Q_OBJECT
public:
    explicit TGraphMscl(QWidget *parent = nullptr);

    QLineEdit *edXMin, *edXMax, *edYMin, *edYMax;
    QPushButton *btnSet, *btnClose;
    QCheckBox *cbStayOnTop;

    // Attaches to g and fills the fields from its axes; none hides the
    // dialog. A window being destroyed detaches itself.
    void SetGraph(TfrmGraph *g);
    TfrmGraph *Graph() const { return m_graph; }
    // Refills the fields, unless the dialog is setting the ranges itself.
    void Refresh();
    // "&Set": the typed ranges (a minimum above its maximum swapped) go
    // through the axes' SetRange, so their bounds apply.
    void Set();

private:
    void SetStayOnTop(bool on);
    void Detach();

    QPointer<TfrmGraph> m_graph;
    QMetaObject::Connection m_ranges, m_destroyed;
    bool m_busy = false;
    // What each field showed last; an unreadable entry falls back to it.
    double m_shown[4] = {0, 0, 0, 0};
};

} // namespace tessel
