#pragma once

#include "monitor/MonitorActions.h"
#include "monitor/MonitorStream.h"

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QSlider;

namespace tessel {

class TCommandSet;
class TfrmMonRange;

// A needle meter between a minimum and a maximum, with a numbered scale.
class TMonitorMeter : public QWidget {
public:
    explicit TMonitorMeter(const QString &name, QWidget *parent = nullptr);
    void SetRange(double min, double max);
    void SetValue(double value);
    double Min() const { return m_min; }
    double Max() const { return m_max; }
    double Value() const { return m_value; }
    QSize sizeHint() const override { return {240, 150}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString m_name;
    double m_min = -1.0, m_max = 1.0, m_value = 0.0;
};

// "System Monitor": the live signal of both channels, with the detector gain,
// offset and photodiode controls. While shown it owns the link's received-data
// notification and the main window's status polling is off.
class Tsmon : public QDialog {
public:
    Tsmon(TCommandSet &link, const TMonitorScale &scale, QWidget *parent = nullptr);
    ~Tsmon() override;

    int GainA = 0, GainB = 0, OffsetA = 0, OffsetB = 0, Apd1 = 0, Apd2 = 0;
    bool GainsEnabled = false;

    void ReadGains();
    void ReadApd();
    void UpdateRanges();
    void SetGainsEnabled(bool on);
    void SetApdEnabled(bool on);
    // New configuration values: the meters' ranges, the range dialog and,
    // while the stream runs, its decoder follow at once.
    void SetScale(const TMonitorScale &scale);
    const TMonitorScale &Scale() const { return m_scale; }
    // "Stay on top", without hiding the window: a modal run and the stream
    // go on as they were.
    void SetStayOnTop(bool on);
    bool StaysOnTop() const;

    // Turns the main window's status polling on or off.
    std::function<void(bool on)> SetStatusPolling;
    // Waits while events run (the instrument's settle times); tests replace it.
    std::function<void(int ms)> PauseFor;

    TfrmMonRange *RangeDialog() const { return m_range; }
    TMonitorMeter *MeterA() const { return m_meter[0]; }
    TMonitorMeter *MeterB() const { return m_meter[1]; }
    QLabel *NumLabA() const { return m_num[0]; }
    QLabel *NumLabB() const { return m_num[1]; }
    QSlider *trGainA() const { return m_trGain[0]; }
    QSlider *trGainB() const { return m_trGain[1]; }
    QSlider *trOfsA() const { return m_trOfs[0]; }
    QSlider *trOfsB() const { return m_trOfs[1]; }
    QSlider *trAPD1() const { return m_trApd[0]; }
    QSlider *trAPD2() const { return m_trApd[1]; }
    QCheckBox *ChB1() const { return m_chB1; }
    int64_t SamplesShown() const { return m_shown; }
    bool Streaming() const { return m_streaming; }

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    void FormShow();
    void FormHide();
    // Ends the stream and gives the link back; pauses only when asked.
    void stopStream(bool pause);
    void onRx(int32_t count);
    void showSample(const TMonitorSample &s);
    void sendGain(int i);
    void sendOffset(int i);
    void sendApd(int i);
    void restartStream();
    // False when the window was destroyed during the pause.
    bool Pause(int ms);

    TCommandSet &m_link;
    TMonitorScale m_scale;
    std::unique_ptr<TMonitorDecoder> m_decoder;
    TSerialActions m_actions;
    TfrmMonRange *m_range = nullptr;
    TMonitorMeter *m_meter[2] = {};
    QLabel *m_num[2] = {};
    QSlider *m_trGain[2] = {}, *m_trOfs[2] = {}, *m_trApd[2] = {};
    QLabel *m_lbGain[2] = {}, *m_lbOfs[2] = {}, *m_lbApd[2] = {};
    QGroupBox *m_gainGroup = nullptr, *m_ofsGroup[2] = {}, *m_apdGroup[2] = {};
    QCheckBox *m_chB1 = nullptr;
    bool m_streaming = false;
    int64_t m_shown = 0;
};

} // namespace tessel
