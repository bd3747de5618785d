#include "monitor/widgets/MonitorWindow.h"

#include "common/Log.h"
#include "device/Communication.h"
#include "monitor/MonitorRange.h"
#include "monitor/widgets/MonRangeDialog.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QtMath>

namespace tessel {

namespace {
QString Percent(int v) { return QStringLiteral("%1 %").arg(v); }
} // namespace

TMonitorMeter::TMonitorMeter(QWidget *parent) : QWidget(parent) { setMinimumSize(160, 100); }

void TMonitorMeter::SetRange(double min, double max) {
    m_min = min;
    m_max = max;
    update();
}

void TMonitorMeter::SetValue(double value) {
    m_value = value;
    update();
}

void TMonitorMeter::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect().adjusted(8, 8, -8, -8);
    const QPointF c(r.center().x(), r.bottom());
    const double radius = std::min(r.width() / 2, r.height());
    p.drawArc(QRectF(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius), 30 * 16, 120 * 16);
    const double span = m_max - m_min;
    const double f = span != 0.0 ? std::clamp((m_value - m_min) / span, 0.0, 1.0) : 0.5;
    const double angle = qDegreesToRadians(150.0 - 120.0 * f);
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(c, c + QPointF(std::cos(angle), -std::sin(angle)) * radius);
}

Tsmon::Tsmon(TCommunication &link, const TMonitorScale &scale, QWidget *parent)
    : QDialog(parent), m_link(link), m_scale(scale) {
    setWindowTitle(QStringLiteral("System Monitor"));
    auto *top = new QVBoxLayout(this);
    auto *meters = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        auto *col = new QVBoxLayout;
        m_meter[i] = new TMonitorMeter(this);
        m_num[i] = new QLabel(this);
        m_num[i]->setObjectName(i == 0 ? QStringLiteral("NumLabA") : QStringLiteral("NumLabB"));
        col->addWidget(m_meter[i]);
        col->addWidget(m_num[i]);
        meters->addLayout(col);
    }
    top->addLayout(meters);

    auto makeBar = [this](Qt::Orientation o, QLabel *&label) {
        auto *bar = new QSlider(o, this);
        bar->setRange(0, 100);
        if (o == Qt::Vertical) {
            // Position 0 is at the top, where the gain is 100.
            bar->setInvertedAppearance(true);
            bar->setInvertedControls(true);
        }
        label = new QLabel(Percent(0), this);
        return bar;
    };
    m_gainGroup = new QGroupBox(QStringLiteral("Detector Gain"), this);
    auto *gl = new QGridLayout(m_gainGroup);
    for (int i = 0; i < 2; ++i) {
        m_trGain[i] = makeBar(Qt::Vertical, m_lbGain[i]);
        gl->addWidget(new QLabel(i == 0 ? QStringLiteral("A") : QStringLiteral("B"), m_gainGroup), 0, i);
        gl->addWidget(m_trGain[i], 1, i);
        gl->addWidget(m_lbGain[i], 2, i);
        connect(m_trGain[i], &QSlider::valueChanged, this, [this, i] { gainBarChanged(i); });
    }
    auto *controls = new QHBoxLayout;
    controls->addWidget(m_gainGroup);
    auto *right = new QVBoxLayout;
    const QString ofsTitles[2] = {QStringLiteral("Detector Offset A"), QStringLiteral("Detector Offset B")};
    const QString apdTitles[2] = {QStringLiteral("APD1 sensitivity"), QStringLiteral("APD2 sensitivity")};
    for (int i = 0; i < 2; ++i) {
        m_ofsGroup[i] = new QGroupBox(ofsTitles[i], this);
        auto *l = new QHBoxLayout(m_ofsGroup[i]);
        m_trOfs[i] = makeBar(Qt::Horizontal, m_lbOfs[i]);
        l->addWidget(m_trOfs[i]);
        l->addWidget(m_lbOfs[i]);
        right->addWidget(m_ofsGroup[i]);
        connect(m_trOfs[i], &QSlider::valueChanged, this, [this, i] { offsetBarChanged(i); });
    }
    for (int i = 0; i < 2; ++i) {
        m_apdGroup[i] = new QGroupBox(apdTitles[i], this);
        auto *l = new QHBoxLayout(m_apdGroup[i]);
        m_trApd[i] = makeBar(Qt::Horizontal, m_lbApd[i]);
        l->addWidget(m_trApd[i]);
        l->addWidget(m_lbApd[i]);
        right->addWidget(m_apdGroup[i]);
        connect(m_trApd[i], &QSlider::valueChanged, this, [this, i] { apdBarChanged(i); });
    }
    m_chB1 = new QCheckBox(QStringLiteral("Measuring Flash"), this);
    right->addWidget(m_chB1);
    connect(m_chB1, &QCheckBox::clicked, this, [this] { chB1Click(); });
    controls->addLayout(right);
    top->addLayout(controls);

    m_range = new TfrmMonRange(this);
    m_range->setModal(false);
    m_range->RestoreSettings();
    SetGainsEnabled(false);
    SetApdEnabled(false);
    showSample({});
}

Tsmon::~Tsmon() {
    if (m_streaming)
        FormHide();
    m_range->SaveSettings();
}

void Tsmon::Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Tsmon::SetGainsEnabled(bool on) {
    GainsEnabled = on;
    // Disabled group boxes draw their captions greyed.
    m_gainGroup->setEnabled(on);
    m_ofsGroup[0]->setEnabled(on);
    m_ofsGroup[1]->setEnabled(on);
}

void Tsmon::SetApdEnabled(bool on) {
    m_apdGroup[0]->setEnabled(on);
    m_apdGroup[1]->setEnabled(on);
}

void Tsmon::ReadGains() {
    if (!GainsEnabled)
        return;
    m_link.PurgeIn();
    m_link.GetGains(GainA, GainB, OffsetA, OffsetB);
}

void Tsmon::ReadApd() {
    if (!m_apdGroup[0]->isEnabled())
        return;
    m_link.PurgeIn();
    m_link.GetApd(Apd1, Apd2);
    // Moving a bar sends its value, so the values read go back to the instrument.
    m_trApd[0]->setValue(Apd1);
    m_lbApd[0]->setText(Percent(Apd1));
    m_trApd[1]->setValue(Apd2);
    m_lbApd[1]->setText(Percent(Apd2));
}

void Tsmon::UpdateRanges() {
    const TMonitorRange &r = m_range->Range();
    const double fsA = MonitorFullScale(m_scale.BitResA, m_scale.MoChA);
    const double fsB = MonitorFullScale(m_scale.BitResB, m_scale.MoChB);
    m_meter[0]->SetRange(r.MeterMin(TMonitorRange::A, fsA), r.MeterMax(TMonitorRange::A, fsA));
    m_meter[1]->SetRange(r.MeterMin(TMonitorRange::B, fsB), r.MeterMax(TMonitorRange::B, fsB));
}

void Tsmon::showEvent(QShowEvent *e) {
    QDialog::showEvent(e);
    if (!m_streaming)
        FormShow();
}

void Tsmon::hideEvent(QHideEvent *e) {
    if (m_streaming)
        FormHide();
    QDialog::hideEvent(e);
}

void Tsmon::FormShow() {
    UpdateRanges();
    m_range->OnChange = [this] { UpdateRanges(); };
    if (SetStatusPolling)
        SetStatusPolling(false);
    ReadGains();
    ReadApd();
    WriteLog(QStringLiteral("gainA: %1 ofsA: %2 gainB: %3 ofsB: %4").arg(GainA).arg(OffsetA).arg(GainB).arg(OffsetB));
    m_trGain[0]->setValue(100 - GainA);
    m_trGain[1]->setValue(100 - GainB);
    m_trOfs[0]->setValue(OffsetA);
    m_trOfs[1]->setValue(OffsetB);
    m_lbGain[0]->setText(Percent(GainA));
    m_lbGain[1]->setText(Percent(GainB));
    m_lbOfs[0]->setText(Percent(OffsetA));
    m_lbOfs[1]->setText(Percent(OffsetB));
    m_decoder = std::make_unique<TMonitorDecoder>(MonitorFormFor(m_link.Device()), m_scale);
    m_link.OnRxChar = [this](TCustomComm *, int32_t count) { onRx(count); };
    m_streaming = true;
    m_link.PurgeIn();
    m_link.MonitorOn(m_chB1->isChecked() ? 1 : 0);
}

void Tsmon::FormHide() {
    m_streaming = false;
    if (GainsEnabled) {
        m_link.MonitorStop();
    } else {
        const char stop = 0;
        m_link.Write(&stop, 1);
    }
    m_link.OnRxChar = nullptr;
    if (SetStatusPolling)
        SetStatusPolling(true);
    // Lets the instrument finish the stream before anybody else talks to it.
    Pause(1000);
}

void Tsmon::onRx(int32_t count) {
    if (!m_decoder)
        return;
    const auto shown = m_decoder->Decode(count, [this](char *buf, int32_t n) { return m_link.Read(buf, n); });
    for (const auto &s : shown)
        showSample(s);
}

void Tsmon::showSample(const TMonitorSample &s) {
    m_meter[0]->SetValue(s.A);
    m_meter[1]->SetValue(s.B);
    m_num[0]->setText(QStringLiteral("A: %1 V").arg(s.A, 0, 'f', 4));
    m_num[1]->setText(QStringLiteral("B: %1 V").arg(s.B, 0, 'f', 4));
    ++m_shown;
}

void Tsmon::gainBarChanged(int i) {
    if (!GainsEnabled)
        return;
    m_link.PurgeIn();
    const int v = 100 - m_trGain[i]->value();
    m_lbGain[i]->setText(Percent(v));
    int &stored = i == 0 ? GainA : GainB;
    if (v != stored) {
        if (m_trGain[i]->isEnabled())
            m_link.SetGain(v, i + 1);
        stored = v;
    }
    Pause(50);
}

void Tsmon::offsetBarChanged(int i) {
    if (!GainsEnabled)
        return;
    m_link.PurgeIn();
    const int v = m_trOfs[i]->value();
    m_lbOfs[i]->setText(Percent(v));
    int &stored = i == 0 ? OffsetA : OffsetB;
    if (v != stored) {
        if (m_trOfs[i]->isEnabled())
            m_link.SetOffset(v, i + 1);
        stored = v;
    }
    Pause(50);
}

void Tsmon::apdBarChanged(int i) {
    const int v = m_trApd[i]->value();
    (i == 0 ? Apd1 : Apd2) = v;
    m_link.SetApd(v, i + 1);
    Pause(50);
    m_lbApd[i]->setText(Percent(v));
}

void Tsmon::chB1Click() {
    m_link.PurgeOut();
    m_link.MonitorStop();
    m_link.PurgeIn();
    m_link.MonitorOn(m_chB1->isChecked() ? 1 : 0);
    if (m_decoder)
        m_decoder->Reset();
}

void Tsmon::contextMenuEvent(QContextMenuEvent *e) {
    QMenu menu(this);
    QAction *onTop = menu.addAction(QStringLiteral("&Stay on top"));
    onTop->setCheckable(true);
    onTop->setChecked(windowFlags() & Qt::WindowStaysOnTopHint);
    QAction *range = menu.addAction(QStringLiteral("Set &range"));
    QAction *chosen = menu.exec(e->globalPos());
    if (chosen == onTop) {
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop->isChecked());
        show();
    } else if (chosen == range) {
        m_range->show();
    }
}

} // namespace tessel
