#pragma once

#include "authoring/WizardList.h"

#include <QDialog>
#include <QString>
#include <QWidget>

class QPushButton;

namespace tessel {

// The selector's picture grid: every cell of the list's columns and rows,
// of which only those holding an entry can be selected.
class TWzdGrid : public QWidget {
    Q_OBJECT
public:
    TWzdGrid(const TWizards &list, const TWizardGridGeometry &geometry, int fontHeight, QWidget *parent = nullptr);

    // Selects a cell; false (selection unchanged) when no entry lies on it.
    bool Select(int column, int row);
    int Column() const { return m_column; }
    int Row() const { return m_row; }
    const TWizardEntry *Selected() const { return m_list.EntryAt(m_column, m_row); }

signals:
    // A double click on an entry chooses it.
    void Chosen();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    const TWizards &m_list;
    TWizardGridGeometry m_geometry;
    int m_fontHeight;
    int m_column = 0, m_row = 0;
};

// "Select Wizard": the grid over "&Ok", "&Cancel" and "&Help".
class TfrmWzdSelector : public QDialog {
    Q_OBJECT
public:
    explicit TfrmWzdSelector(const TWizards &list, QWidget *parent = nullptr);

    const TWizardGridGeometry &Geometry() const { return m_geometry; }
    TWzdGrid *Grid = nullptr;
    QPushButton *btnOk = nullptr, *btnCancel = nullptr, *btnHelp = nullptr;

private:
    TWizardGridGeometry m_geometry;
};

// Lets the user pick one of the wizards listed in an ini file.
class TWzdSelector {
public:
    // Reads the list; file and picture names are relative to the ini
    // file's folder (the program's folder for Tessel.ini).
    void Load(const QString &iniPath);
    // False at once for an empty list; otherwise shows the window modally
    // and is true when the user chose "&Ok" (SelectedFileName is then set).
    bool Execute(QWidget *parent = nullptr);

    const QString &SelectedFileName() const { return m_selected; }
    const TWizards &Wizards() const { return m_list; }

private:
    TWizards m_list;
    QString m_selected;
};

} // namespace tessel
