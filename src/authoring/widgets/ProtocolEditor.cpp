#include "authoring/widgets/ProtocolEditor.h"

#include "authoring/widgets/FontDialog.h"
#include "common/PrintDialogService.h"
#include "compiler/Compiler.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

namespace tessel {

namespace {

// The variable table as wide as its names and values need (at least its
// two header columns), so that the protocol text keeps the rest of the page.
void fitVarGrid(QTableWidget *g) {
    g->resizeColumnsToContents();
    int width = 2 * g->frameWidth() + g->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < g->columnCount(); ++c) {
        g->setColumnWidth(c, std::clamp(g->columnWidth(c), 72, 220));
        width += g->columnWidth(c);
    }
    g->setFixedWidth(width);
}

QTableWidget *makeVarGrid(QWidget *parent) {
    auto *g = new QTableWidget(1, 2, parent);
    g->setHorizontalHeaderLabels({QStringLiteral("Variable"), QStringLiteral("Value")});
    g->verticalHeader()->hide();
    g->horizontalHeader()->setDefaultSectionSize(72);
    g->verticalHeader()->setDefaultSectionSize(18);
    g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fitVarGrid(g);
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
    auto *description = new QWidget;
    auto *form = new QVBoxLayout(description);
    edTitle = new QLineEdit;
    memDescription = new QTextEdit;
    memDescription->setAcceptRichText(false);
    auto *titleRow = new QFormLayout;
    titleRow->addRow(QStringLiteral("&Title:"), edTitle);
    form->addLayout(titleRow);
    form->addWidget(memDescription, 1);
    Faces = new QStackedWidget;
    Faces->addWidget(split);
    Faces->addWidget(description);
    setCentralWidget(Faces);
    connect(edTitle, &QLineEdit::textEdited, this, [this](const QString &t) {
        m_doc.Title = t;
        if (OnTitleChanged)
            OnTitleChanged(t);
    });
    connect(memDescription, &QTextEdit::textChanged, this, [this] {
        if (m_loading)
            return;
        m_doc.Description = memDescription->toPlainText();
        if (OnDescriptionChanged)
            OnDescriptionChanged();
    });

    const std::pair<QLabel **, int> panels[] = {{&pnlCaret, 120}, {&pnlModified, 50}, {&pnlCheck, 50}};
    for (const auto &[panel, width] : panels) {
        *panel = new QLabel;
        (*panel)->setMinimumWidth(width);
        statusBar()->addWidget(*panel);
    }

    // Alt+E belongs to the main window's Experiment menu.
    QMenu *edit = menuBar()->addMenu(QStringLiteral("E&dit"));
    mniUndo = edit->addAction(QStringLiteral("&Undo"), this, [this] { editShown(&QPlainTextEdit::undo); });
    edit->addSeparator();
    mniCut = edit->addAction(QStringLiteral("Cu&t"), this, [this] { editShown(&QPlainTextEdit::cut); });
    mniCopy = edit->addAction(QStringLiteral("&Copy"), this, [this] { shownText()->copy(); });
    mniPaste = edit->addAction(QStringLiteral("&Paste"), this, [this] { editShown(&QPlainTextEdit::paste); });
    mniDelete = edit->addAction(QStringLiteral("&Delete"), this,
                                [this] { editShown([](QPlainTextEdit *t) { t->textCursor().removeSelectedText(); }); });
    mniSelectAll = edit->addAction(QStringLiteral("Se&lect All"), this, [this] { shownText()->selectAll(); });
    edit->addSeparator();
    mniFind = edit->addAction(QStringLiteral("&Find..."), this, [this] { showDialog(false); });
    mniReplace = edit->addAction(QStringLiteral("&Replace..."), this, [this] { showDialog(true); });
    edit->addSeparator();
    mniCopyToCurrent = edit->addAction(QStringLiteral("Copy to C&urrent"), this, &TfrmProtocol::mniCopyToCurrentClick);
    mniClear = edit->addAction(QStringLiteral("Cl&ear"), this, &TfrmProtocol::mniClearClick);
    mniFont = edit->addAction(QStringLiteral("&Font..."), this, &TfrmProtocol::mniFontClick);
    QMenu *prot = menuBar()->addMenu(QStringLiteral("&Protocol"));
    mniOpen = prot->addAction(QStringLiteral("&Open..."), this, &TfrmProtocol::mniOpenClick);
    mniSaveAs = prot->addAction(QStringLiteral("Save &As..."), this, &TfrmProtocol::mniSaveAsClick);
    prot->addSeparator();
    mniCheck = prot->addAction(QStringLiteral("Syntax &Check"), this, &TfrmProtocol::mniCheckClick);
    prot->addSeparator();
    mniPrint = prot->addAction(QStringLiteral("&Print..."), this, &TfrmProtocol::mniPrintClick);

    connect(memCurrent, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading) {
            m_doc.SetText(memCurrent->toPlainText());
            // The editor knows when undo has brought back the text last read,
            // saved or checked.
            m_doc.Modified = memCurrent->document()->isModified();
        }
        updateStatus();
    });
    connect(memCurrent, &QPlainTextEdit::cursorPositionChanged, this, &TfrmProtocol::updateStatus);
    connect(pgProtocol, &QTabWidget::currentChanged, this, &TfrmProtocol::updateStatus);
    // Checks run from the menu, the main window's toolbar and a Start alike;
    // the document may outlive the window.
    m_doc.OnChecked = [self = QPointer<TfrmProtocol>(this)] {
        if (self)
            self->showCheck();
    };
    ReloadText();
    resize(640, 420);
}

void TfrmProtocol::SetExperimentName(const QString &name) {
    m_name = name;
    updateCaption();
}

void TfrmProtocol::updateCaption() {
    setWindowTitle(m_name + (DescriptionShown() ? QStringLiteral(" - Description") : QStringLiteral(" - Protocol")));
}

bool TfrmProtocol::DescriptionShown() const { return Faces->currentIndex() == 1; }

void TfrmProtocol::ShowProtocolFace() {
    Faces->setCurrentIndex(0);
    // The description face has an empty menu.
    for (QAction *a : menuBar()->actions())
        a->setVisible(true);
    statusBar()->show();
    updateCaption();
    updateStatus();
}

void TfrmProtocol::ShowDescriptionFace() {
    Faces->setCurrentIndex(1);
    for (QAction *a : menuBar()->actions())
        a->setVisible(false);
    // The status bar's panels speak of the protocol text.
    statusBar()->hide();
    updateCaption();
}

void TfrmProtocol::ReloadDescription() {
    m_loading = true;
    edTitle->setText(m_doc.Title);
    memDescription->setPlainText(m_doc.Description);
    m_loading = false;
}

void TfrmProtocol::ReloadText() {
    // The document already holds this text: showing it is no edit.
    m_loading = true;
    memCurrent->setPlainText(m_doc.Text);
    m_loading = false;
    RefreshState();
}

void TfrmProtocol::RefreshState() {
    // Undo can return to an unmodified text only when the document is so now.
    memCurrent->document()->setModified(m_doc.Modified);
    updateStatus();
}

void TfrmProtocol::editShown(const std::function<void(QPlainTextEdit *)> &edit) {
    QPlainTextEdit *t = shownText();
    if (!t->isReadOnly())
        edit(t);
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
    pnlCheck->setText(m_doc.CheckText());
    mniCopyToCurrent->setEnabled(pgProtocol->currentIndex() > 0);
    // Measurement sheets keep the protocol a measurement ran with.
    const bool editable = !t->isReadOnly();
    for (QAction *a : {mniUndo, mniCut, mniPaste, mniDelete})
        a->setEnabled(editable);
    for (QWidget *w : {m_btnReplace, m_btnReplaceAll})
        if (w)
            w->setEnabled(editable);
}

void TfrmProtocol::fillVars(QTableWidget *grid, const std::vector<std::pair<QString, QString>> &rows) {
    grid->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        grid->setItem(i, 0, new QTableWidgetItem(rows[size_t(i)].first));
        grid->setItem(i, 1, new QTableWidgetItem(rows[size_t(i)].second));
    }
    fitVarGrid(grid);
}

void TfrmProtocol::mniCheckClick() { m_doc.SyntaxCheck(); }

void TfrmProtocol::showCheck() {
    lbResults->clear();
    lbResults->addItems(m_doc.Log);
    fillVars(grdVars, m_doc.Variables);
    if (m_doc.CheckResult == kBuildSourceError) {
        pgProtocol->setCurrentIndex(0);
        QTextCursor c = memCurrent->textCursor();
        c.setPosition(m_doc.ErrorRange.start);
        c.setPosition(m_doc.ErrorRange.start + m_doc.ErrorRange.length, QTextCursor::KeepAnchor);
        memCurrent->setTextCursor(c);
    }
    RefreshState();
    if (OnChecked)
        OnChecked();
}

void TfrmProtocol::mniFontClick() {
    TfrmFont dlg(memCurrent->font(), this);
    dlg.OnApply = [this](const QFont &f) { memCurrent->setFont(f); };
    dlg.exec();
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
    if (t == memCurrent) {
        m_doc.SetText(text);
        ReloadText();
    } else {
        t->setPlainText(text);
        updateStatus();
    }
}

void TfrmProtocol::mniSaveAsClick() { m_doc.SaveAsDialog(shownText()->toPlainText()); }

void TfrmProtocol::mniPrintClick() {
    QPrinter printer;
    printer.setDocName(QStringLiteral("Protocol:"));
    if (!PrintDialogs().print(printer))
        return;
    QTextDocument doc;
    doc.setDefaultFont(memCurrent->font());
    doc.setPlainText(memCurrent->toPlainText());
    doc.print(&printer);
}

void TfrmProtocol::mniCopyToCurrentClick() {
    if (pgProtocol->currentIndex() <= 0)
        return;
    m_doc.CopyToCurrent(shownText()->toPlainText());
    ReloadText();
    pgProtocol->setCurrentIndex(0);
}

void TfrmProtocol::AddMeasurementSheet(const QString &caption) {
    insertSheet(1, caption, m_doc.CompiledText.join(QLatin1Char('\n')), m_doc.Variables);
}

void TfrmProtocol::insertSheet(int pos, const QString &caption, const QString &textLines,
                               const std::vector<std::pair<QString, QString>> &vars) {
    QPlainTextEdit *text = makeText(nullptr, true);
    text->setFont(memCurrent->font());
    text->setPlainText(textLines);
    QTableWidget *grid = makeVarGrid(nullptr);
    fillVars(grid, vars.empty() ? std::vector<std::pair<QString, QString>>{{QString(), QString()}} : vars);
    connect(text, &QPlainTextEdit::cursorPositionChanged, this, &TfrmProtocol::updateStatus);
    pgProtocol->insertTab(pos, page(text, grid), caption);
}

void TfrmProtocol::SetMeasurementSheets(const std::vector<TSheetContent> &sheets) {
    static const char *const kKey = "sheetKey";
    const int shownIndex = pgProtocol->currentIndex();
    const QVariant shown = shownIndex > 0 ? pgProtocol->widget(shownIndex)->property(kKey) : QVariant();
    pgProtocol->setCurrentIndex(0);
    while (pgProtocol->count() > 1) {
        QWidget *w = pgProtocol->widget(1);
        pgProtocol->removeTab(1);
        delete w;
    }
    for (size_t i = 0; i < sheets.size(); ++i) {
        insertSheet(int(i) + 1, sheets[i].caption, sheets[i].text, sheets[i].variables);
        if (sheets[i].key)
            pgProtocol->widget(int(i) + 1)->setProperty(kKey, QVariant::fromValue(quintptr(sheets[i].key)));
    }
    // A new measurement moves the sheets along; the one shown stays in view,
    // and when it is gone "Current" is shown.
    for (int i = 1; shown.isValid() && i < pgProtocol->count(); ++i)
        if (pgProtocol->widget(i)->property(kKey) == shown) {
            pgProtocol->setCurrentIndex(i);
            break;
        }
    updateStatus();
}

int TfrmProtocol::SheetCount() const { return pgProtocol->count() - 1; }

QString TfrmProtocol::SheetCaption(int index) const {
    return index >= 1 && index < pgProtocol->count() ? pgProtocol->tabText(index) : QString();
}

void TfrmProtocol::SetSheetCaption(int index, const QString &caption) {
    if (index >= 1 && index < pgProtocol->count())
        pgProtocol->setTabText(index, caption);
}

QString TfrmProtocol::SheetText(int index) const {
    QWidget *w = index >= 1 && index < pgProtocol->count() ? pgProtocol->widget(index) : nullptr;
    auto *t = w ? w->findChild<QPlainTextEdit *>() : nullptr;
    return t ? t->toPlainText() : QString();
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
    updateStatus();
    m_findDialog->show();
}

void TfrmProtocol::FindReplace(TFindMode mode) {
    if (!edFind)
        showDialog(mode != TFindMode::Find);
    QPlainTextEdit *target = shownText();
    if (mode != TFindMode::Find && target->isReadOnly())
        return;
    // Another page shown: its search starts at its top.
    if (target != m_findTarget) {
        m_findTarget = target;
        m_findState = {};
    }
    TFindRequest req{edFind->text(), edReplace->text(), cbWholeWord->isChecked(), cbMatchCase->isChecked(), mode};
    const QString before = target->toPlainText();
    QString text = before;
    TTextRange sel;
    if (!FindInText(text, req, m_findState, sel))
        return;
    QTextCursor c = target->textCursor();
    if (text != before) {
        // One edit of the text, so that Undo takes the replacement back.
        c.select(QTextCursor::Document);
        c.insertText(text);
    }
    c.setPosition(sel.start);
    c.setPosition(sel.start + sel.length, QTextCursor::KeepAnchor);
    target->setTextCursor(c);
}

} // namespace tessel
