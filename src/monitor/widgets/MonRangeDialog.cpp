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
    for (int i = 0; i < 2; ++i) {
        const auto ch = TMonitorRange::Channel(i);
        const QString name = i == 0 ? QStringLiteral("A") : QStringLiteral("B");
        grid->addWidget(new QLabel(name, this), 0, i * 2, 1, 2, Qt::AlignHCenter);
        for (int j = 0; j < 2; ++j) {
            auto *bar = new QSlider(Qt::Vertical, this);
            bar->setRange(TMonitorRange::kMin, TMonitorRange::kMax);
            // Smaller positions are higher on the screen.
            bar->setInvertedAppearance(true);
            bar->setInvertedControls(true);
            bar->setObjectName(name + (j == 0 ? QStringLiteral("Low") : QStringLiteral("High")));
            grid->addWidget(bar, 1, i * 2 + j);
            (j == 0 ? m_low : m_high)[i] = bar;
        }
        m_sym[i] = new QCheckBox(QStringLiteral("Symetrize"), this);
        m_sym[i]->setObjectName(name + QStringLiteral("Symetrize"));
        grid->addWidget(m_sym[i], 2, i * 2, 1, 2);
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
        if (OnChange)
            OnChange();
    };
    sync();
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
    m_range.RestoreFrom(s);
}

void TfrmMonRange::SaveSettings() const {
    TPFormSettings s = TMonitorRange::MakeStore();
    s.SetWindow(CaptureWindow(this, false));
    m_range.SaveTo(s);
    s.Save();
}

} // namespace tessel
