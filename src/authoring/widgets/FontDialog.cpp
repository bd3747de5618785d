#include "authoring/widgets/FontDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace tessel {

int FontPointSize(const QFont &font, int dpi) {
    if (font.pointSizeF() > 0)
        return int(std::lround(font.pointSizeF()));
    return int(std::lround(font.pixelSize() * 72.0 / std::max(1, dpi)));
}

TfrmFont::TfrmFont(const QFont &font, QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Font"));
    cbFamily = new QFontComboBox(this);
    cbFamily->setCurrentFont(font);
    edSize = new QSpinBox(this);
    edSize->setRange(kMinSize, kMaxSize);
    edSize->setValue(std::clamp(FontPointSize(font, logicalDpiY()), kMinSize, kMaxSize));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Font:"), cbFamily);
    form->addRow(QStringLiteral("&Size:"), edSize);

    auto *effects = new QGroupBox(QStringLiteral("Effects"), this);
    auto *el = new QHBoxLayout(effects);
    cbBold = new QCheckBox(QStringLiteral("&Bold"), effects);
    cbItalic = new QCheckBox(QStringLiteral("&Italic"), effects);
    cbUnderline = new QCheckBox(QStringLiteral("&Underline"), effects);
    cbStrikeOut = new QCheckBox(QStringLiteral("S&trikeout"), effects);
    cbBold->setChecked(font.bold());
    cbItalic->setChecked(font.italic());
    cbUnderline->setChecked(font.underline());
    cbStrikeOut->setChecked(font.strikeOut());
    for (QCheckBox *c : {cbBold, cbItalic, cbUnderline, cbStrikeOut})
        el->addWidget(c);

    lbSample = new QLabel(QStringLiteral("every 1 ms sample AB"), this);
    lbSample->setMinimumHeight(48);
    lbSample->setAlignment(Qt::AlignCenter);
    lbSample->setFrameShape(QFrame::StyledPanel);

    auto *buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QDialogButtonBox::Ok);
    btnCancel = buttons->addButton(QDialogButtonBox::Cancel);
    btnApply = buttons->addButton(QDialogButtonBox::Apply);
    connect(btnOk, &QPushButton::clicked, this, [this] {
        if (OnApply)
            OnApply(SelectedFont());
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnApply, &QPushButton::clicked, this, [this] {
        if (OnApply)
            OnApply(SelectedFont());
    });

    auto *l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addWidget(effects);
    l->addWidget(lbSample);
    l->addWidget(buttons);

    connect(cbFamily, &QFontComboBox::currentFontChanged, this, &TfrmFont::updateSample);
    connect(edSize, &QSpinBox::valueChanged, this, &TfrmFont::updateSample);
    for (QCheckBox *c : {cbBold, cbItalic, cbUnderline, cbStrikeOut})
        connect(c, &QCheckBox::toggled, this, &TfrmFont::updateSample);
    updateSample();
}

QFont TfrmFont::SelectedFont() const {
    QFont f = cbFamily->currentFont();
    f.setPointSize(edSize->value());
    f.setBold(cbBold->isChecked());
    f.setItalic(cbItalic->isChecked());
    f.setUnderline(cbUnderline->isChecked());
    f.setStrikeOut(cbStrikeOut->isChecked());
    return f;
}

void TfrmFont::updateSample() { lbSample->setFont(SelectedFont()); }

} // namespace tessel
