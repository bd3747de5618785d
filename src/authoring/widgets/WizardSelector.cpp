#include "authoring/widgets/WizardSelector.h"

#include "common/AppPaths.h"

#include <QFileInfo>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace tessel {

TWzdGrid::TWzdGrid(const TWizards &list, const TWizardGridGeometry &geometry, int fontHeight, QWidget *parent)
    : QWidget(parent), m_list(list), m_geometry(geometry), m_fontHeight(fontHeight) {
    setFocusPolicy(Qt::StrongFocus);
    if (!list.IsEmpty())
        Select(list.Entries().front().Column, list.Entries().front().Row);
}

bool TWzdGrid::Select(int column, int row) {
    if (!m_list.EntryAt(column, row))
        return false;
    m_column = column;
    m_row = row;
    update();
    return true;
}

void TWzdGrid::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QColor window = palette().color(QPalette::Base);
    p.fillRect(rect(), window);
    // Grid lines: what shows between the cells.
    p.setPen(palette().color(QPalette::Mid));
    for (int c = 0; c < m_geometry.Columns; ++c) {
        const int x = m_geometry.Cell(c, 0).right() + 1;
        p.drawLine(x, 0, x, height());
    }
    for (int r = 0; r < m_geometry.Rows; ++r) {
        const int y = m_geometry.Cell(0, r).bottom() + 1;
        p.drawLine(0, y, width(), y);
    }
    for (int c = 0; c < m_geometry.Columns; ++c)
        for (int r = 0; r < m_geometry.Rows; ++r)
            PaintWizardCell(p, m_geometry.Cell(c, r).translated(-m_geometry.Grid.topLeft()), m_list.EntryAt(c, r),
                            c == m_column && r == m_row, m_fontHeight, window, palette().color(QPalette::Text));
}

void TWzdGrid::mousePressEvent(QMouseEvent *e) {
    int column = 0, row = 0;
    if (m_geometry.CellAt(e->position().toPoint() + m_geometry.Grid.topLeft(), column, row))
        Select(column, row);
}

void TWzdGrid::mouseDoubleClickEvent(QMouseEvent *e) {
    int column = 0, row = 0;
    if (m_geometry.CellAt(e->position().toPoint() + m_geometry.Grid.topLeft(), column, row) && Select(column, row))
        emit Chosen();
}

void TWzdGrid::keyPressEvent(QKeyEvent *e) {
    int dc = 0, dr = 0;
    switch (e->key()) {
    case Qt::Key_Left:
        dc = -1;
        break;
    case Qt::Key_Right:
        dc = 1;
        break;
    case Qt::Key_Up:
        dr = -1;
        break;
    case Qt::Key_Down:
        dr = 1;
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    // Empty cells are passed over; at the edge the selection stays.
    for (int c = m_column + dc, r = m_row + dr; c >= 0 && r >= 0 && c < m_geometry.Columns && r < m_geometry.Rows;
         c += dc, r += dr)
        if (Select(c, r))
            break;
}

TfrmWzdSelector::TfrmWzdSelector(const TWizards &list, QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Wizard"));
    const int fontHeight = QFontInfo(font()).pixelSize();
    const QScreen *s = screen();
    m_geometry = SelectorGeometry(list, fontHeight, s ? s->geometry().size() : QSize(1024, 768), QSize(75, 25));
    Grid = new TWzdGrid(list, m_geometry, fontHeight, this);
    Grid->setGeometry(m_geometry.Grid);
    connect(Grid, &TWzdGrid::Chosen, this, &QDialog::accept);
    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setGeometry(m_geometry.Ok);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setGeometry(m_geometry.Cancel);
    btnCancel->setAutoDefault(false);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Present for the familiar layout; there is no help topic behind it.
    btnHelp = new QPushButton(QStringLiteral("&Help"), this);
    btnHelp->setGeometry(m_geometry.Help);
    btnHelp->setAutoDefault(false);
    setFixedSize(m_geometry.Client);
    Grid->setFocus();
}

void TWzdSelector::Load(const QString &iniPath) { m_list.Load(iniPath, AppPaths::resourceBase(iniPath)); }

bool TWzdSelector::Execute(QWidget *parent) {
    if (m_list.IsEmpty())
        return false;
    TfrmWzdSelector window(m_list, parent);
    if (const QScreen *s = window.screen())
        window.move(s->availableGeometry().center() - QPoint(window.width() / 2, window.height() / 2));
    if (window.exec() != QDialog::Accepted || !window.Grid->Selected())
        return false;
    m_selected = window.Grid->Selected()->FileName;
    return true;
}

} // namespace tessel
