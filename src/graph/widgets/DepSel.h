#pragma once

#include "graph/DataEditModel.h"

#include <QDialog>
#include <QObject>
#include <functional>

class QListWidget;

namespace tessel {

// "Select Curve": one checkable line per data set, drawn with its mark.
class TfrmSelectCurve : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelectCurve(QWidget *parent = nullptr);
    void Fill(TGraphModel &g);
    // Check marks to visibility, current line to the selected data set.
    void accept() override;
    QListWidget *ListBox() const { return m_list; }
    // The data sets whose visibility the accepted dialog changed.
    const std::vector<TDependency *> &ChangedSets() const { return m_changed; }

private:
    QListWidget *m_list;
    TGraphModel *m_graph = nullptr;
    std::vector<TSelectorLine> m_lines;
    std::vector<TDependency *> m_changed;
};

// Component that runs the "Select Curve" dialog for a graph.
class TDependencySelector : public QObject {
    Q_OBJECT
public:
    explicit TDependencySelector(QObject *parent = nullptr) : QObject(parent) {}
    TGraphModel *Graph = nullptr;
    // Shows the dialog modally; true when accepted.
    bool Execute(QWidget *parent = nullptr);
    // Each data set whose visibility changed, as the data table reports its edits.
    std::function<void(TDependency *)> OnChange;
};

} // namespace tessel
