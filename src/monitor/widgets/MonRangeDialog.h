#pragma once

#include "monitor/MonitorRange.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QSlider;

namespace tessel {

// "Set monitor range": the low and high bar of each channel's meter scale.
class TfrmMonRange : public QDialog {
public:
    explicit TfrmMonRange(QWidget *parent = nullptr);

    const TMonitorRange &Range() const { return m_range; }
    QSlider *ALow() const { return m_low[0]; }
    QSlider *AHigh() const { return m_high[0]; }
    QSlider *BLow() const { return m_low[1]; }
    QSlider *BHigh() const { return m_high[1]; }
    QCheckBox *ASymetrize() const { return m_sym[0]; }
    QCheckBox *BSymetrize() const { return m_sym[1]; }

    // Settings are restored once and saved at every change and on hiding.
    void RestoreSettings();
    void SaveSettings() const;
    // The meters' ranges the bars give, in volts.
    void ShowMeterRanges(double minA, double maxA, double minB, double maxB);
    QLabel *lbRangeA = nullptr, *lbRangeB = nullptr;

    std::function<void()> OnChange;

protected:
    void hideEvent(QHideEvent *e) override;

private:
    void sync();
    bool m_restoring = false;
    TMonitorRange m_range;
    QSlider *m_low[2] = {};
    QSlider *m_high[2] = {};
    QCheckBox *m_sym[2] = {};
    bool m_syncing = false;
};

} // namespace tessel
