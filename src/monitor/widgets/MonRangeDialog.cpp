#include "monitor/widgets/MonRangeDialog.h"

#include "settings/widgets/WindowGeometry.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

namespace tessel {

TfrmMonRange::TfrmMonRange(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Set monitor range"));
    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(12);
    for (int i = 0; i < 2; ++i) {
        const auto ch = TMonitorRange::Channel(i);
        const QString name = i == 0 ? QStringLiteral("A") : QStringLiteral("B");
        auto *title = new QLabel(QStringLiteral("Channel ") + name, this);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        grid->addWidget(title, 0, i * 2, 1, 2, Qt::AlignHCenter);
        for (int j = 0; j < 2; ++j) {
            auto *bar = new QSlider(Qt::Vertical, this);
            bar->setRange(TMonitorRange::kMin, TMonitorRange::kMax);
            // Smaller positions are higher on the screen.
            bar->setInvertedAppearance(true);
            bar->setInvertedControls(true);
            bar->setTickPosition(QSlider::TicksBothSides);
            bar->setTickInterval(3);
            bar->setMinimumHeight(180);
            bar->setObjectName(name + (j == 0 ? QStringLiteral("Low") : QStringLiteral("High")));
            grid->addWidget(new QLabel(j == 0 ? QStringLiteral("Low") : QStringLiteral("High"), this), 1, i * 2 + j,
                            Qt::AlignHCenter);
            grid->addWidget(bar, 2, i * 2 + j, Qt::AlignHCenter);
            (j == 0 ? m_low : m_high)[i] = bar;
        }
        m_sym[i] = new QCheckBox(QStringLiteral("Symetrize"), this);
        m_sym[i]->setObjectName(name + QStringLiteral("Symetrize"));
        grid->addWidget(m_sym[i], 3, i * 2, 1, 2, Qt::AlignHCenter);
        auto *range = new QLabel(this);
        range->setAlignment(Qt::AlignCenter);
        range->setMinimumWidth(range->fontMetrics().horizontalAdvance(QStringLiteral("-10.24 ... 10.24 V")) + 8);
        grid->addWidget(range, 4, i * 2, 1, 2);
        (i == 0 ? lbRangeA : lbRangeB) = range;
        connect(m_low[i], &QSlider::valueChanged, this, [this, ch](int v) {
            if (!m_syncing)
                m_range.SetLow(ch, v);
        });
        connect(m_high[i], &QSlider::valueChanged, this, [this, ch](int v) {
            if (!m_syncing)
                m_range.SetHigh(ch, v);
        });
        connect(m_sym[i], &QCheckBox::toggled, this, [this, ch](bool on) {
            if (!m_syncing)
                m_range.SetSymetrize(ch, on);
        });
    }
    m_range.OnChange = [this] {
        sync();
        if (!m_restoring)
            SaveSettings();
        if (OnChange)
            OnChange();
    };
    sync();
}

void TfrmMonRange::ShowMeterRanges(double minA, double maxA, double minB, double maxB) {
    auto text = [](double lo, double hi) {
        return QStringLiteral("%1 ... %2 V").arg(QString::number(lo, 'g', 4), QString::number(hi, 'g', 4));
    };
    lbRangeA->setText(text(minA, maxA));
    lbRangeB->setText(text(minB, maxB));
}

void TfrmMonRange::hideEvent(QHideEvent *e) {
    SaveSettings(); // with the dialog's place
    QDialog::hideEvent(e);
}

void TfrmMonRange::sync() {
    m_syncing = true;
    for (int i = 0; i < 2; ++i) {
        const auto ch = TMonitorRange::Channel(i);
        m_low[i]->setValue(m_range.Low(ch));
        m_high[i]->setValue(m_range.High(ch));
        m_sym[i]->setChecked(m_range.Symetrize(ch));
    }
    m_syncing = false;
}

void TfrmMonRange::RestoreSettings() {
    TPFormSettings s = TMonitorRange::MakeStore();
    s.Restore();
    const WindowValues w = s.Window();
    if (w.hasGeometry())
        ApplyWindow(this, w, false);
    m_restoring = true;
    m_range.RestoreFrom(s);
    m_restoring = false;
}

void TfrmMonRange::SaveSettings() const {
    TPFormSettings s = TMonitorRange::MakeStore();
    s.Restore();
    // A dialog never shown has no place of its own yet: the stored one stays.
    if (testAttribute(Qt::WA_WState_ExplicitShowHide))
        s.SetWindow(CaptureWindow(this, false));
    m_range.SaveTo(s);
    s.Save();
}

} // namespace tessel
