#include "authoring/widgets/ProtocolEditor.h"

#include "compiler/Compiler.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

namespace tessel {

namespace {

QTableWidget *makeVarGrid(QWidget *parent) {
    auto *g = new QTableWidget(1, 2, parent);
    g->setHorizontalHeaderLabels({QStringLiteral("Variable"), QStringLiteral("Value")});
    g->verticalHeader()->hide();
    g->horizontalHeader()->setDefaultSectionSize(72);
    g->verticalHeader()->setDefaultSectionSize(18);
    g->setFixedWidth(152);
    return g;
}

QPlainTextEdit *makeText(QWidget *parent, bool readOnly) {
    auto *t = new QPlainTextEdit(parent);
    t->setLineWrapMode(QPlainTextEdit::NoWrap);
    t->setReadOnly(readOnly);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(13);
    t->setFont(f);
    return t;
}

QWidget *page(QPlainTextEdit *text, QTableWidget *grid) {
    auto *w = new QWidget;
    auto *l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(2);
    l->addWidget(text, 1);
    l->addWidget(grid);
    text->setParent(w);
    grid->setParent(w);
    return w;
}

} // namespace

TfrmProtocol::TfrmProtocol(TProtocolDoc &doc, QWidget *parent) : QMainWindow(parent), m_doc(doc) {
    setWindowTitle(QStringLiteral("Protocol Editor"));
    pgProtocol = new QTabWidget;
    // Measurement captions have two lines.
    pgProtocol->setStyleSheet(QStringLiteral("QTabBar::tab { min-height: 30px; }"));
    memCurrent = makeText(nullptr, false);
    grdVars = makeVarGrid(nullptr);
    pgProtocol->addTab(page(memCurrent, grdVars), QStringLiteral("Current"));
    lbResults = new QListWidget;
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(pgProtocol);
    split->addWidget(lbResults);
    split->setStretchFactor(0, 1);
    split->setSizes({300, 65});
    setCentralWidget(split);

    pnlCaret = new QLabel;
    pnlCaret->setMinimumWidth(120);
    pnlModified = new QLabel;
    pnlModified->setMinimumWidth(50);
    statusBar()->addWidget(pnlCaret);
    statusBar()->addWidget(pnlModified);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mniUndo = edit->addAction(QStringLiteral("&Undo"), this, [this] { shownText()->undo(); });
    edit->addSeparator();
    mniCut = edit->addAction(QStringLiteral("Cu&t"), this, [this] { shownText()->cut(); });
    mniCopy = edit->addAction(QStringLiteral("&Copy"), this, [this] { shownText()->copy(); });
    mniPaste = edit->addAction(QStringLiteral("&Paste"), this, [this] { shownText()->paste(); });
    mniDelete = edit->addAction(QStringLiteral("&Delete"), this, [this] { shownText()->textCursor().removeSelectedText(); });
    mniSelectAll = edit->addAction(QStringLiteral("Se&lect All"), this, [this] { shownText()->selectAll(); });
    edit->addSeparator();
    mniFind = edit->addAction(QStringLiteral("&Find..."), this, [this] { showDialog(false); });
    mniReplace = edit->addAction(QStringLiteral("&Replace..."), this, [this] { showDialog(true); });
    edit->addSeparator();
    mniCopyToCurrent = edit->addAction(QStringLiteral("Copy to C&urrent"), this, &TfrmProtocol::mniCopyToCurrentClick);
    mniClear = edit->addAction(QStringLiteral("Cl&ear"), this, &TfrmProtocol::mniClearClick);
    mniFont = edit->addAction(QStringLiteral("&Font..."), this, [this] {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, memCurrent->font(), this);
        if (ok)
            memCurrent->setFont(f);
    });
    QMenu *prot = menuBar()->addMenu(QStringLiteral("&Protocol"));
    mniOpen = prot->addAction(QStringLiteral("&Open..."), this, &TfrmProtocol::mniOpenClick);
    mniSaveAs = prot->addAction(QStringLiteral("Save &As..."), this, &TfrmProtocol::mniSaveAsClick);
    prot->addSeparator();
    mniCheck = prot->addAction(QStringLiteral("Syntax &Check"), this, &TfrmProtocol::mniCheckClick);

    connect(memCurrent, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading)
            m_doc.SetText(memCurrent->toPlainText());
        updateStatus();
    });
    connect(memCurrent, &QPlainTextEdit::cursorPositionChanged, this, &TfrmProtocol::updateStatus);
    connect(pgProtocol, &QTabWidget::currentChanged, this, &TfrmProtocol::updateStatus);
    ReloadText();
    resize(640, 420);
}

void TfrmProtocol::SetExperimentName(const QString &name) {
    m_name = name;
    setWindowTitle(name + QStringLiteral(" - Protocol"));
}

void TfrmProtocol::ReloadText() {
    // The document already holds this text: showing it is no edit.
    m_loading = true;
    memCurrent->setPlainText(m_doc.Text);
    m_loading = false;
    updateStatus();
}

QPlainTextEdit *TfrmProtocol::shownText() const {
    QWidget *w = pgProtocol->currentWidget();
    auto *t = w ? w->findChild<QPlainTextEdit *>() : nullptr;
    return t ? t : memCurrent;
}

void TfrmProtocol::updateStatus() {
    QPlainTextEdit *t = shownText();
    pnlCaret->setText(CaretText(t->toPlainText(), t->textCursor().position()));
    pnlModified->setText(m_doc.Modified ? QStringLiteral("Modified") : QString());
    mniCopyToCurrent->setEnabled(pgProtocol->currentIndex() > 0);
}

void TfrmProtocol::fillVars(QTableWidget *grid, const std::vector<std::pair<QString, QString>> &rows) {
    grid->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        grid->setItem(i, 0, new QTableWidgetItem(rows[size_t(i)].first));
        grid->setItem(i, 1, new QTableWidgetItem(rows[size_t(i)].second));
    }
}

void TfrmProtocol::mniCheckClick() {
    const int32_t r = m_doc.SyntaxCheck();
    lbResults->clear();
    lbResults->addItems(m_doc.Log);
    fillVars(grdVars, m_doc.Variables);
    if (r == kBuildSourceError) {
        pgProtocol->setCurrentIndex(0);
        QTextCursor c = memCurrent->textCursor();
        c.setPosition(m_doc.ErrorRange.start);
        c.setPosition(m_doc.ErrorRange.start + m_doc.ErrorRange.length, QTextCursor::KeepAnchor);
        memCurrent->setTextCursor(c);
    }
    updateStatus();
}

void TfrmProtocol::mniClearClick() {
    if (m_doc.ClearCurrent()) {
        ReloadText();
        pgProtocol->setCurrentIndex(0);
    }
}

void TfrmProtocol::mniOpenClick() {
    QPlainTextEdit *t = shownText();
    QString text;
    if (!m_doc.OpenDialog(text))
        return;
    if (t == memCurrent)
        m_doc.SetText(text);
    m_loading = t == memCurrent;
    t->setPlainText(text);
    m_loading = false;
    updateStatus();
}

void TfrmProtocol::mniSaveAsClick() {
    m_doc.SaveAsDialog(shownText()->toPlainText());
}

void TfrmProtocol::mniCopyToCurrentClick() {
    if (pgProtocol->currentIndex() <= 0)
        return;
    m_doc.CopyToCurrent(shownText()->toPlainText());
    ReloadText();
    pgProtocol->setCurrentIndex(0);
}

void TfrmProtocol::AddMeasurementSheet(const QString &caption) {
    QPlainTextEdit *text = makeText(nullptr, true);
    text->setFont(memCurrent->font());
    text->setPlainText(m_doc.CompiledText.join(QLatin1Char('\n')));
    QTableWidget *grid = makeVarGrid(nullptr);
    fillVars(grid, m_doc.Variables);
    pgProtocol->insertTab(1, page(text, grid), caption);
}

void TfrmProtocol::showDialog(bool replace) {
    if (!m_findDialog) {
        m_findDialog = new QDialog(this);
        auto *l = new QGridLayout(m_findDialog);
        edFind = new QLineEdit;
        edReplace = new QLineEdit;
        cbWholeWord = new QCheckBox(QStringLiteral("Match &whole word only"));
        cbMatchCase = new QCheckBox(QStringLiteral("Match &case"));
        l->addWidget(new QLabel(QStringLiteral("Fi&nd what:")), 0, 0);
        l->addWidget(edFind, 0, 1);
        m_replaceRow = new QLabel(QStringLiteral("Re&place with:"));
        l->addWidget(m_replaceRow, 1, 0);
        l->addWidget(edReplace, 1, 1);
        l->addWidget(cbWholeWord, 2, 0, 1, 2);
        l->addWidget(cbMatchCase, 3, 0, 1, 2);
        auto *next = new QPushButton(QStringLiteral("&Find Next"));
        auto *rep = new QPushButton(QStringLiteral("&Replace"));
        auto *all = new QPushButton(QStringLiteral("Replace &All"));
        l->addWidget(next, 0, 2);
        l->addWidget(rep, 1, 2);
        l->addWidget(all, 2, 2);
        connect(next, &QPushButton::clicked, this, [this] { FindReplace(TFindMode::Find); });
        connect(rep, &QPushButton::clicked, this, [this] { FindReplace(TFindMode::Replace); });
        connect(all, &QPushButton::clicked, this, [this] { FindReplace(TFindMode::ReplaceAll); });
        m_btnReplace = rep;
        m_btnReplaceAll = all;
    }
    m_findDialog->setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    for (QWidget *w : {m_replaceRow, static_cast<QWidget *>(edReplace), m_btnReplace, m_btnReplaceAll})
        w->setVisible(replace);
    m_findDialog->show();
}

void TfrmProtocol::FindReplace(TFindMode mode) {
    if (!edFind)
        showDialog(mode != TFindMode::Find);
    TFindRequest req{edFind->text(), edReplace->text(), cbWholeWord->isChecked(), cbMatchCase->isChecked(), mode};
    QString text = memCurrent->toPlainText();
    TTextRange sel;
    if (!FindInText(text, req, m_findState, sel))
        return;
    if (mode != TFindMode::Find) {
        m_doc.SetText(text);
        ReloadText();
    }
    QTextCursor c = memCurrent->textCursor();
    c.setPosition(sel.start);
    c.setPosition(sel.start + sel.length, QTextCursor::KeepAnchor);
    memCurrent->setTextCursor(c);
}

} // namespace tessel
