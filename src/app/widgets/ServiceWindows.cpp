#include "app/widgets/ServiceWindows.h"

#include "app/widgets/Icons.h"
#include "common/ActionGuard.h"
#include "common/Errors.h"
#include "common/MessageService.h"
#include "settings/widgets/WindowGeometry.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace tessel {

TfrmTestKeys::TfrmTestKeys(TCommandSet &link, QWidget *parent, TKeyTest::Wait wait)
    : QDialog(parent), m_link(link), m_keys(link, std::move(wait)),
      m_store(QStringLiteral("frmTestKeys"), TPFormSettings::Values::Position) {
    setObjectName(QStringLiteral("frmTestKeys"));
    setWindowTitle(QStringLiteral("Test Keys"));
    setWindowIcon(TesselIcon(QStringLiteral("test-keys")));

    auto *voltages = new QGroupBox(QStringLiteral("Voltages"), this);
    auto *grid = new QGridLayout(voltages);
    grid->setColumnMinimumWidth(2, 260);
    const QFontMetrics fm(font());
    for (int i = 0; i < kKeyLevelCount; ++i) {
        const TKeyLevel &l = KeyLevels()[size_t(i)];
        auto *legend = new QLabel(QLatin1String(l.legend), voltages);
        auto *letter = new QLabel(QLatin1String(l.letter), voltages);
        letter->setAlignment(Qt::AlignCenter);
        auto *bar = new QScrollBar(Qt::Horizontal, voltages);
        bar->setObjectName(QLatin1String(l.name));
        bar->setRange(0, kKeyLevelMax);
        bar->setPageStep(kKeyLevelStep);
        auto *label = new QLabel(KeyLevelText(0), voltages);
        label->setObjectName(QLatin1String(l.name) + QLatin1Char('L'));
        // Wide enough for "100 %" so the slider does not move as the text grows.
        label->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("100.0 %")));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        legend->setBuddy(bar);
        grid->addWidget(legend, i, 0);
        grid->addWidget(letter, i, 1);
        grid->addWidget(bar, i, 2);
        grid->addWidget(label, i, 3);
        m_bars[size_t(i)] = bar;
        m_labels[size_t(i)] = label;
        connect(bar, &QScrollBar::valueChanged, this, [this, i] { sliderChanged(i); });
    }

    auto *signalsBox = new QGroupBox(QStringLiteral("Signals"), this);
    auto *buttons = new QGridLayout(signalsBox);
    for (int i = 0; i < kKeySignalCount; ++i) {
        const TKeySignal &s = KeySignals()[size_t(i)];
        auto *b = new QPushButton(QLatin1String(s.caption), signalsBox);
        b->setObjectName(QLatin1String(s.name));
        b->setAutoDefault(false);
        // Flashes in the first row, the six outputs in two rows below.
        const int row = i < 3 ? 0 : 1 + (i - 3) / 3;
        const int col = i < 3 ? i : (i - 3) % 3;
        buttons->addWidget(b, row, col);
        const char *command = s.command;
        connect(b, &QPushButton::clicked, this, [this, command] { fire(command); });
    }

    auto *ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    auto *help = new QPushButton(QStringLiteral("&Help"), this);
    help->setObjectName(QStringLiteral("btnHelp"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        if (ShowHelp)
            ShowHelp();
    });
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    row->addWidget(help);

    auto *top = new QVBoxLayout(this);
    top->addWidget(voltages);
    top->addWidget(signalsBox);
    top->addLayout(row);
    // A fixed dialog frame: the window takes the size its contents need.
    top->setSizeConstraint(QLayout::SetFixedSize);
    // Sized now: placing it at the stored position below would otherwise fix
    // a widget's default size for its first showing.
    adjustSize();

    m_store.Restore();
    const WindowValues w = m_store.Window();
    if (w.hasGeometry())
        ApplyWindow(this, w, false);
}

TfrmTestKeys::~TfrmTestKeys() = default;

QPushButton *TfrmTestKeys::Button(const QString &name) const { return findChild<QPushButton *>(name); }

void TfrmTestKeys::refresh() {
    for (int i = 0; i < kKeyLevelCount; ++i)
        m_bars[size_t(i)]->setEnabled(m_keys.LevelAvailable(i));
}

void TfrmTestKeys::SendVoltages() {
    RunGuarded([this] { m_keys.SendVoltages(); });
    refresh();
}

void TfrmTestKeys::ResetFlashLevels() {
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker quiet(m_bars[size_t(i)]);
        m_bars[size_t(i)]->setValue(0);
        m_labels[size_t(i)]->setText(KeyLevelText(0));
    }
    RunGuarded([this] { m_keys.ResetFlashLevels(); });
    refresh();
}

void TfrmTestKeys::sliderChanged(int i) {
    const int v = m_bars[size_t(i)]->value();
    m_labels[size_t(i)]->setText(KeyLevelText(v));
    m_keys.SetLevel(i, v);
    SendVoltages();
}

void TfrmTestKeys::fire(const char *command) {
    RunGuarded([this, command] { SendKeySignal(m_link, QLatin1String(command)); });
}

void TfrmTestKeys::showEvent(QShowEvent *e) {
    QDialog::showEvent(e);
    RunGuarded([this] { m_keys.Show(); });
    refresh();
}

void TfrmTestKeys::hideEvent(QHideEvent *e) {
    m_store.SetWindow(CaptureWindow(this, false));
    m_store.Save();
    QDialog::hideEvent(e);
}

TfrmTestUnit::TfrmTestUnit(TCommandSet &link, QWidget *parent) : QDialog(parent), m_link(link) {
    setObjectName(QStringLiteral("frmTestUnit"));
    setWindowTitle(QStringLiteral("Test unit result"));
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo"));
    m_memo->setReadOnly(true);
    // The report lines up its values in columns.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(mono).fixedPitch()) {
        mono.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
        mono.setStyleHint(QFont::TypeWriter);
    }
    m_memo->setFont(mono);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFontMetrics fm(m_memo->font());
    // About 64 columns and 20 lines: a whole report without scrolling.
    m_memo->setMinimumSize(fm.horizontalAdvance(QLatin1Char('0')) * 64, fm.lineSpacing() * 20);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lbNote"));
    m_note->setWordWrap(true);
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_break = new QPushButton(QStringLiteral("&Break Test"), this);
    m_break->setObjectName(QStringLiteral("btnBreak"));
    m_break->setEnabled(false);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_break, &QPushButton::clicked, this, [this] {
        m_link.Link().Abort();
        m_break->setEnabled(false);
    });
    auto *row = new QHBoxLayout;
    row->addWidget(m_note, 1);
    row->addWidget(m_close);
    row->addWidget(m_break);
    auto *top = new QVBoxLayout(this);
    top->addWidget(m_memo, 1);
    top->addLayout(row);
}

void TfrmTestUnit::showEvent(QShowEvent *e) {
    QDialog::showEvent(e);
    // Runs once the window is on screen, from its own event loop.
    if (!m_ran && !m_running)
        QTimer::singleShot(0, this, [this] { RunTest(); });
}

void TfrmTestUnit::RunTest() {
    if (m_ran || m_running)
        return;
    m_running = true;
    m_close->setEnabled(false);
    m_break->setEnabled(true);
    m_note->setText(QStringLiteral("Testing..."));
    QStringList lines;
    RunGuarded([this, &lines] {
        m_link.TestUnit(lines, [this](const QStringList &now) {
            m_memo->setPlainText(now.join(QLatin1Char('\n')));
            m_memo->moveCursor(QTextCursor::End);
        });
    });
    m_memo->setPlainText(lines.join(QLatin1Char('\n')));
    m_end = m_link.LastTestEnd();
    m_running = false;
    m_ran = true;
    m_break->setEnabled(false);
    m_close->setEnabled(true);
    const TSelfTestNote note = SelfTestNote(m_end, m_link.Link().WaitBounds());
    m_note->setText(note.text);
    if (note.dialog)
        Messages().warning(note.text);
    m_close->setFocus();
}

void TfrmTestUnit::reject() {
    if (!m_running)
        QDialog::reject();
}

void TfrmTestUnit::closeEvent(QCloseEvent *e) {
    if (m_running)
        e->ignore();
    else
        QDialog::closeEvent(e);
}

} // namespace tessel
