#include "authoring/widgets/WizardDialog.h"

#include "common/MessageService.h"
#include "common/NumberText.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>

namespace tessel {

namespace {

// Whether a focus change is the user moving into or out of a field.
bool ByTheUser(const QFocusEvent *e) {
    switch (e->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    default:
        return true;
    }
}

} // namespace

TWizardNumberEdit::TWizardNumberEdit(const TWizardVariable &var, QWidget *parent) : QLineEdit(parent), m_var(var) {
    const bool whole = var.Type == TWizardVarType::Int;
    // Either decimal separator is taken; the value always shows with ".".
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(whole ? QStringLiteral("[-+]?[0-9]*")
                                 : QStringLiteral("[-+]?[0-9]*[.,]?[0-9]*([eE][-+]?[0-9]*)?")),
        this));
    setReadOnly(var.ReadOnly);
    SetValue(FieldFromStored(var));
}

double TWizardNumberEdit::Value() {
    const std::optional<double> typed = ParseFloat(QString(text()).replace(QLatin1Char(','), QLatin1Char('.')));
    const double value = typed ? LimitToField(m_var, *typed) : m_value;
    m_value = value;
    if (!typed || value != *typed)
        setText(WizardValueText(m_var.Type, value));
    return value;
}

void TWizardNumberEdit::SetValue(double value) {
    m_value = LimitToField(m_var, value);
    setText(WizardValueText(m_var.Type, m_value));
}

void TWizardNumberEdit::focusInEvent(QFocusEvent *e) {
    QLineEdit::focusInEvent(e);
    if (ByTheUser(e))
        emit Touched();
}

void TWizardNumberEdit::focusOutEvent(QFocusEvent *e) {
    QLineEdit::focusOutEvent(e);
    if (ByTheUser(e))
        emit Touched();
}

void TWizardNumberEdit::mousePressEvent(QMouseEvent *e) {
    QLineEdit::mousePressEvent(e);
    emit Touched();
}

TWizardDialog::TWizardDialog(TWizardFile &wizard, QWidget *parent) : QDialog(parent), m_wizard(wizard) {
    setWindowTitle(wizard.Title());
    // Captions sit in the frame's top edge, so the rows 24 pixels below the
    // frame's top have the room the layout gives them.
    setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: 7px; }"
                                 "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }"
                                 // Derived figures the user cannot type into look it.
                                 "QLineEdit:read-only { background: palette(window); }"));
    m_layout = LayoutWizardDialog(wizard.Groups(), WizardMetricsFor(font()));
    auto &groups = wizard.Groups();
    for (size_t gi = 0; gi < groups.size(); ++gi) {
        TWizardGroup &g = groups[gi];
        const TWizardFrameLayout &frameLayout = m_layout.Frames[gi];
        auto *frame = new QGroupBox(g.Caption, this);
        frame->setGeometry(frameLayout.Rect);
        g.Frame = frame;
        for (const TWizardRowLayout &row : frameLayout.Rows) {
            TWizardVariable &v = g.Variables[size_t(row.Variable)];
            const bool triggers = !v.Triggers.empty();
            if (row.Type == TWizardVarType::Bool) {
                // A caption is plain text, never a shortcut key.
                auto *box = new QCheckBox(QString(v.Caption).replace(QLatin1Char('&'), QLatin1String("&&")), frame);
                box->setGeometry(row.CheckBox);
                box->setChecked(FieldFromStored(v) == 1);
                box->setEnabled(!v.ReadOnly);
                v.Control = box;
                if (triggers)
                    connect(box, &QCheckBox::clicked, this, [this, box] { TriggerPassFrom(box); });
            } else {
                auto *label = new QLabel(v.Caption, frame);
                label->setGeometry(row.Label);
                auto *field = new TWizardNumberEdit(v, frame);
                field->setGeometry(row.Field);
                v.Control = field;
                if (triggers)
                    connect(field, &TWizardNumberEdit::Touched, this, [this, field] { TriggerPassFrom(field); });
            }
        }
    }
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setGeometry(m_layout.Ok);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setGeometry(m_layout.Cancel);
    btnCancel->setAutoDefault(false);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(m_layout.Client);
}

double TWizardDialog::FieldValue(const TWizardVariable &var) const {
    if (auto *field = qobject_cast<TWizardNumberEdit *>(var.Control))
        return field->Value();
    if (auto *box = qobject_cast<QCheckBox *>(var.Control))
        return box->isChecked() ? 1 : 0;
    return var.Value;
}

void TWizardDialog::SetFieldValue(const TWizardVariable &var, double value) {
    if (auto *field = qobject_cast<TWizardNumberEdit *>(var.Control))
        field->SetValue(value);
    else if (auto *box = qobject_cast<QCheckBox *>(var.Control))
        box->setChecked(value != 0);
}

bool TWizardDialog::ShowModal() {
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    return exec() == QDialog::Accepted;
}

void TWizardDialog::TriggerPassFrom(QObject *sender) {
    // The error box of one pass takes the focus; that must not start another.
    if (m_inPass || !sender)
        return;
    bool known = false;
    for (const TWizardGroup &g : m_wizard.Groups())
        for (const TWizardVariable &v : g.Variables)
            known = known || (!v.NoDisplay && v.Control == sender);
    if (!known)
        return;
    m_inPass = true;
    try {
        m_wizard.TriggerPass(*this);
    } catch (const ETesselError &e) {
        Messages().error(e.message());
    }
    m_inPass = false;
}

void BuildWizardDialog(TWizardFile &wizard) { wizard.SetDialog(std::make_unique<TWizardDialog>(wizard)); }

} // namespace tessel
