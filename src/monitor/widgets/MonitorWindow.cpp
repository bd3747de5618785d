#include "monitor/widgets/MonitorWindow.h"

#include "common/ActionGuard.h"
#include "common/Finally.h"
#include "common/Log.h"
#include "device/CommandSet.h"
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
#include <QPointer>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <QtMath>

namespace tessel {

namespace {
QString Percent(int v) { return QStringLiteral("%1 %").arg(v); }

// Keys of the monitor's serialised exchanges: one per control.
enum TActionKey { akGain = 0, akOffset = 2, akApd = 4, akFlash = 6 };

// The dial sweeps 120 degrees, from 150 (minimum) to 30 (maximum).
double DialAngle(double fraction) { return qDegreesToRadians(150.0 - 120.0 * std::clamp(fraction, 0.0, 1.0)); }
QPointF OnDial(QPointF c, double angle, double radius) {
    return c + QPointF(std::cos(angle), -std::sin(angle)) * radius;
}
} // namespace

TMonitorMeter::TMonitorMeter(const QString &name, QWidget *parent) : QWidget(parent), m_name(name) {
    setMinimumSize(200, 130);
}

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
    const QRectF face = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRoundedRect(face, 4, 4);

    const QFontMetrics fm(font());
    const double th = fm.height();
    const QPointF c(face.center().x(), face.bottom() - 10);
    // Room for the numbers beside and above the arc.
    const double radius = std::max(20.0, std::min(face.width() / 2 - fm.horizontalAdvance(QStringLiteral("-00.0")) / 2.0 - 6,
                                                  face.height() - 10 - th - 8));
    const QColor ink = palette().color(QPalette::Text);
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius), 30 * 16, 120 * 16);
    for (const TMeterMark &m : MeterMarks(m_min, m_max)) {
        const double a = DialAngle(m.Position);
        const bool major = !m.Label.isEmpty();
        p.drawLine(OnDial(c, a, radius), OnDial(c, a, radius - (major ? 9 : 5)));
        if (major) {
            const QPointF at = OnDial(c, a, radius + th * 0.7);
            const double w = fm.horizontalAdvance(m.Label);
            p.drawText(QRectF(at.x() - w / 2 - 1, at.y() - th / 2, w + 2, th), Qt::AlignCenter, m.Label);
        }
    }
    p.drawText(QRectF(c.x() - radius, c.y() - radius * 0.55 - th / 2, 2 * radius, th), Qt::AlignCenter,
               m_name + QStringLiteral(" [V]"));
    const double span = m_max - m_min;
    const double f = span != 0.0 ? (m_value - m_min) / span : 0.5;
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(c, OnDial(c, DialAngle(f), radius - 3));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(c, 3.5, 3.5);
}

Tsmon::Tsmon(TCommandSet &link, const TMonitorScale &scale, QWidget *parent)
    : QDialog(parent), m_link(link), m_scale(scale) {
    setWindowTitle(QStringLiteral("System Monitor"));
    auto *top = new QVBoxLayout(this);
    auto *meters = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        auto *col = new QVBoxLayout;
        m_meter[i] = new TMonitorMeter(i == 0 ? QStringLiteral("A") : QStringLiteral("B"), this);
        m_num[i] = new QLabel(this);
        m_num[i]->setObjectName(i == 0 ? QStringLiteral("NumLabA") : QStringLiteral("NumLabB"));
        m_num[i]->setAlignment(Qt::AlignCenter);
        QFont big = m_num[i]->font();
        big.setPointSizeF(big.pointSizeF() * 1.3);
        big.setBold(true);
        m_num[i]->setFont(big);
        col->addWidget(m_meter[i], 1);
        col->addWidget(m_num[i]);
        meters->addLayout(col);
    }
    top->addLayout(meters, 1);

    auto makeBar = [this](Qt::Orientation o, QLabel *&label) {
        auto *bar = new QSlider(o, this);
        bar->setRange(0, 100);
        if (o == Qt::Vertical) {
            // Position 0 is at the top, where the gain is 100.
            bar->setInvertedAppearance(true);
            bar->setInvertedControls(true);
        }
        label = new QLabel(Percent(0), this);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(Percent(100)) + 4);
        return bar;
    };
    m_gainGroup = new QGroupBox(QStringLiteral("Detector Gain"), this);
    auto *gl = new QGridLayout(m_gainGroup);
    for (int i = 0; i < 2; ++i) {
        m_trGain[i] = makeBar(Qt::Vertical, m_lbGain[i]);
        gl->addWidget(new QLabel(i == 0 ? QStringLiteral("A") : QStringLiteral("B"), m_gainGroup), 0, i, Qt::AlignHCenter);
        gl->addWidget(m_trGain[i], 1, i, Qt::AlignHCenter);
        gl->addWidget(m_lbGain[i], 2, i, Qt::AlignHCenter);
        connect(m_trGain[i], &QSlider::valueChanged, this, [this, i] {
            if (!GainsEnabled)
                return;
            m_lbGain[i]->setText(Percent(100 - m_trGain[i]->value()));
            m_actions.Run(akGain + i, Guarded([this, i] { sendGain(i); }));
        });
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
        connect(m_trOfs[i], &QSlider::valueChanged, this, [this, i] {
            if (!GainsEnabled)
                return;
            m_lbOfs[i]->setText(Percent(m_trOfs[i]->value()));
            m_actions.Run(akOffset + i, Guarded([this, i] { sendOffset(i); }));
        });
    }
    for (int i = 0; i < 2; ++i) {
        m_apdGroup[i] = new QGroupBox(apdTitles[i], this);
        auto *l = new QHBoxLayout(m_apdGroup[i]);
        m_trApd[i] = makeBar(Qt::Horizontal, m_lbApd[i]);
        l->addWidget(m_trApd[i]);
        l->addWidget(m_lbApd[i]);
        right->addWidget(m_apdGroup[i]);
        connect(m_trApd[i], &QSlider::valueChanged, this,
                [this, i] { m_actions.Run(akApd + i, Guarded([this, i] { sendApd(i); })); });
    }
    m_chB1 = new QCheckBox(QStringLiteral("Measuring Flash"), this);
    right->addWidget(m_chB1);
    connect(m_chB1, &QCheckBox::clicked, this,
            [this] { m_actions.Run(akFlash, Guarded([this] { restartStream(); })); });
    controls->addLayout(right, 1);
    top->addLayout(controls);

    m_range = new TfrmMonRange(this);
    m_range->setModal(false);
    m_range->RestoreSettings();
    m_range->OnChange = [this] { UpdateRanges(); };
    SetGainsEnabled(false);
    SetApdEnabled(false);
    showSample({});
    m_shown = 0; // the blank read-out is no sample
    UpdateRanges();
    // Everything readable at the first open, before any size is stored.
    resize(sizeHint().expandedTo(QSize(560, 460)));
}

Tsmon::~Tsmon() {
    // No pause here: a destructor must not run the event loop, nor show a
    // message; a failing port is only logged.
    if (m_streaming) {
        try {
            stopStream(false);
        } catch (const std::exception &e) {
            WriteLog(QStringLiteral("Monitor stream not stopped: ") + QString::fromLocal8Bit(e.what()));
        }
    }
    m_range->SaveSettings();
}

bool Tsmon::Pause(int ms) {
    const QPointer<Tsmon> self(this);
    if (PauseFor) {
        PauseFor(ms);
    } else {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return self; // false: the window went away meanwhile
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

void Tsmon::SetScale(const TMonitorScale &scale) {
    m_scale = scale;
    UpdateRanges();
    if (m_decoder)
        m_decoder = std::make_unique<TMonitorDecoder>(MonitorFormFor(m_link.Link().Device()), m_scale);
}

bool Tsmon::StaysOnTop() const { return windowFlags() & Qt::WindowStaysOnTopHint; }

void Tsmon::SetStayOnTop(bool on) {
    Qt::WindowFlags f = windowFlags();
    f.setFlag(Qt::WindowStaysOnTopHint, on);
    // setWindowFlags would hide the window: that ends a modal run and the stream.
    overrideWindowFlags(f);
    if (QWindow *w = windowHandle())
        w->setFlags(f);
}

void Tsmon::ReadGains() {
    if (!GainsEnabled)
        return;
    m_link.Link().PurgeIn();
    m_link.GetGains(GainA, GainB, OffsetA, OffsetB);
}

void Tsmon::ReadApd() {
    if (!m_apdGroup[0]->isEnabled())
        return;
    m_link.Link().PurgeIn();
    m_link.GetApd(Apd1, Apd2);
    // Moving a bar sends its value, so the values read go back to the instrument.
    m_trApd[0]->setValue(Apd1);
    m_lbApd[0]->setText(Percent(Apd1));
    m_trApd[1]->setValue(Apd2);
    m_lbApd[1]->setText(Percent(Apd2));
}

void Tsmon::UpdateRanges() {
    const TMonitorRange &r = m_range->Range();
    const double fs[2] = {MonitorFullScale(m_scale.BitResA, m_scale.MoChA),
                          MonitorFullScale(m_scale.BitResB, m_scale.MoChB)};
    for (int i = 0; i < 2; ++i) {
        const auto ch = TMonitorRange::Channel(i);
        m_meter[i]->SetRange(r.MeterMin(ch, fs[i]), r.MeterMax(ch, fs[i]));
    }
    m_range->ShowMeterRanges(m_meter[0]->Min(), m_meter[0]->Max(), m_meter[1]->Min(), m_meter[1]->Max());
}

void Tsmon::showEvent(QShowEvent *e) {
    QDialog::showEvent(e);
    if (!m_streaming)
        RunGuarded([this] { FormShow(); });
}

void Tsmon::hideEvent(QHideEvent *e) {
    if (m_streaming)
        RunGuarded([this] { FormHide(); });
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
    m_decoder = std::make_unique<TMonitorDecoder>(MonitorFormFor(m_link.Link().Device()), m_scale);
    m_link.Link().OnRxChar = [this](TCustomComm *, int32_t count) { onRx(count); };
    m_streaming = true;
    m_link.Link().PurgeIn();
    m_link.MonitorOn(m_chB1->isChecked() ? 1 : 0);
}

void Tsmon::FormHide() { stopStream(true); }

void Tsmon::stopStream(bool pause) {
    m_streaming = false;
    m_actions.Clear();
    bool sent = false;
    {
        // The window lets go of the link whatever the line does.
        Finally release([this] {
            m_link.Link().OnRxChar = nullptr;
            m_decoder.reset();
            if (SetStatusPolling)
                SetStatusPolling(true);
        });
        // A line that is gone has no stream left to stop.
        if (m_link.Link().IsOpen()) {
            if (GainsEnabled) {
                m_link.MonitorStop();
            } else {
                const char stop = 0;
                m_link.Link().Write(&stop, 1);
            }
            sent = true;
        }
    }
    // Lets the instrument finish the stream before anybody else talks to it.
    if (pause && sent)
        Pause(1000);
}

void Tsmon::onRx(int32_t count) {
    if (!m_decoder)
        return;
    const auto shown = m_decoder->Decode(count, [this](char *buf, int32_t n) { return m_link.Link().Read(buf, n); });
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

// The three senders run one at a time through m_actions; each reads its
// bar's value when its turn comes.

void Tsmon::sendGain(int i) {
    if (!GainsEnabled)
        return;
    m_link.Link().PurgeIn();
    const int v = 100 - m_trGain[i]->value();
    int &stored = i == 0 ? GainA : GainB;
    if (v != stored) {
        if (m_trGain[i]->isEnabled())
            m_link.SetGain(v, i + 1);
        stored = v;
    }
    Pause(50);
}

void Tsmon::sendOffset(int i) {
    if (!GainsEnabled)
        return;
    m_link.Link().PurgeIn();
    const int v = m_trOfs[i]->value();
    int &stored = i == 0 ? OffsetA : OffsetB;
    if (v != stored) {
        if (m_trOfs[i]->isEnabled())
            m_link.SetOffset(v, i + 1);
        stored = v;
    }
    Pause(50);
}

void Tsmon::sendApd(int i) {
    const int v = m_trApd[i]->value();
    (i == 0 ? Apd1 : Apd2) = v;
    m_link.SetApd(v, i + 1);
    if (Pause(50))
        m_lbApd[i]->setText(Percent(v));
}

void Tsmon::restartStream() {
    if (!m_streaming)
        return;
    m_link.Link().PurgeOut();
    m_link.MonitorStop();
    m_link.Link().PurgeIn();
    m_link.MonitorOn(m_chB1->isChecked() ? 1 : 0);
    if (m_decoder)
        m_decoder->Reset();
}

void Tsmon::contextMenuEvent(QContextMenuEvent *e) {
    QMenu menu(this);
    QAction *onTop = menu.addAction(QStringLiteral("&Stay on top"));
    onTop->setCheckable(true);
    onTop->setChecked(StaysOnTop());
    QAction *range = menu.addAction(QStringLiteral("Set &range"));
    QAction *chosen = menu.exec(e->globalPos());
    if (chosen == onTop)
        SetStayOnTop(onTop->isChecked());
    else if (chosen == range)
        m_range->show();
}

} // namespace tessel
