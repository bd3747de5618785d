#pragma once

#include "monitor/MonitorSession.h"

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
// offset and photodiode controls. The session does the talking; the window
// shows its values and hands it the controls' moves. While shown it owns the
// link's received-data notification and the main window's status polling is off.
class Tsmon : public QDialog {
public:
    Tsmon(TCommandSet &link, const TMonitorScale &scale, QWidget *parent = nullptr);
    ~Tsmon() override;

    TMonitorSession &Session() { return m_session; }
    const TMonitorSession &Session() const { return m_session; }

    void ReadGains() { m_session.ReadGains(); }
    // Shows the values read; moving a bar sends its value, so they go back
    // to the instrument.
    void ReadApd();
    void UpdateRanges();
    void SetGainsEnabled(bool on);
    void SetApdEnabled(bool on);
    // New configuration values: the meters' ranges, the range dialog and,
    // while the stream runs, its decoder follow at once.
    void SetScale(const TMonitorScale &scale);
    const TMonitorScale &Scale() const { return m_session.Scale(); }
    // "Stay on top", without hiding the window: a modal run and the stream
    // go on as they were.
    void SetStayOnTop(bool on);
    bool StaysOnTop() const;

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
    bool Streaming() const { return m_session.Streaming(); }

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    void showValues();
    void showApd();
    void showSample(const TMonitorSample &s);

    TMonitorSession m_session;
    TfrmMonRange *m_range = nullptr;
    TMonitorMeter *m_meter[2] = {};
    QLabel *m_num[2] = {};
    QSlider *m_trGain[2] = {}, *m_trOfs[2] = {}, *m_trApd[2] = {};
    QLabel *m_lbGain[2] = {}, *m_lbOfs[2] = {}, *m_lbApd[2] = {};
    QGroupBox *m_gainGroup = nullptr, *m_ofsGroup[2] = {}, *m_apdGroup[2] = {};
    QCheckBox *m_chB1 = nullptr;
    int64_t m_shown = 0;
};

} // namespace tessel
