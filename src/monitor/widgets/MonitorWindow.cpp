#include "monitor/widgets/MonitorWindow.h"

#include "common/ActionGuard.h"
#include "monitor/MonitorRange.h"
#include "monitor/widgets/MonRangeDialog.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>
#include <QWindow>
#include <QtMath>

namespace tessel {

namespace {
QString Percent(int v) { return QStringLiteral("%1 %").arg(v); }

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
    const double radius =
        std::max(20.0, std::min(face.width() / 2 - fm.horizontalAdvance(QStringLiteral("-00.0")) / 2.0 - 6,
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

Tsmon::Tsmon(TCommandSet &link, const TMonitorScale &scale, QWidget *parent) : QDialog(parent), m_session(link, scale) {
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
        gl->addWidget(new QLabel(i == 0 ? QStringLiteral("A") : QStringLiteral("B"), m_gainGroup), 0, i,
                      Qt::AlignHCenter);
        gl->addWidget(m_trGain[i], 1, i, Qt::AlignHCenter);
        gl->addWidget(m_lbGain[i], 2, i, Qt::AlignHCenter);
        connect(m_trGain[i], &QSlider::valueChanged, this, [this, i](int position) {
            if (!m_session.GainsEnabled())
                return;
            m_lbGain[i]->setText(Percent(TMonitorSession::GainFromPosition(position)));
            m_session.GainMoved(i, position);
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
        connect(m_trOfs[i], &QSlider::valueChanged, this, [this, i](int value) {
            if (!m_session.GainsEnabled())
                return;
            m_lbOfs[i]->setText(Percent(value));
            m_session.OffsetMoved(i, value);
        });
    }
    for (int i = 0; i < 2; ++i) {
        m_apdGroup[i] = new QGroupBox(apdTitles[i], this);
        auto *l = new QHBoxLayout(m_apdGroup[i]);
        m_trApd[i] = makeBar(Qt::Horizontal, m_lbApd[i]);
        l->addWidget(m_trApd[i]);
        l->addWidget(m_lbApd[i]);
        right->addWidget(m_apdGroup[i]);
        connect(m_trApd[i], &QSlider::valueChanged, this, [this, i](int value) { m_session.ApdMoved(i, value); });
    }
    m_chB1 = new QCheckBox(QStringLiteral("Measuring Flash"), this);
    right->addWidget(m_chB1);
    connect(m_chB1, &QCheckBox::clicked, this, [this](bool on) { m_session.Restart(on); });
    controls->addLayout(right, 1);
    top->addLayout(controls);

    m_range = new TfrmMonRange(this);
    m_range->setModal(false);
    m_range->RestoreSettings();
    m_range->OnChange = [this] { UpdateRanges(); };
    m_session.OnSample = [this](const TMonitorSample &s) { showSample(s); };
    m_session.ValuesRead = [this] { showValues(); };
    m_session.ApdSent = [this](int channel, int value) { m_lbApd[channel]->setText(Percent(value)); };
    SetGainsEnabled(false);
    SetApdEnabled(false);
    showSample({});
    m_shown = 0; // the blank read-out is no sample
    UpdateRanges();
    // Everything readable at the first open, before any size is stored.
    resize(sizeHint().expandedTo(QSize(560, 460)));
}

Tsmon::~Tsmon() { m_range->SaveSettings(); }

void Tsmon::SetGainsEnabled(bool on) {
    m_session.SetGainsEnabled(on);
    // Disabled group boxes draw their captions greyed.
    m_gainGroup->setEnabled(on);
    m_ofsGroup[0]->setEnabled(on);
    m_ofsGroup[1]->setEnabled(on);
}

void Tsmon::SetApdEnabled(bool on) {
    m_session.SetApdEnabled(on);
    m_apdGroup[0]->setEnabled(on);
    m_apdGroup[1]->setEnabled(on);
}

void Tsmon::SetScale(const TMonitorScale &scale) {
    m_session.SetScale(scale);
    UpdateRanges();
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

void Tsmon::ReadApd() {
    if (!m_session.ApdEnabled())
        return;
    m_session.ReadApd();
    showApd();
}

void Tsmon::UpdateRanges() {
    const TMonitorRange &r = m_range->Range();
    const TMonitorScale &sc = Scale();
    const double fs[2] = {MonitorFullScale(sc.BitResA, sc.MoChA), MonitorFullScale(sc.BitResB, sc.MoChB)};
    for (int i = 0; i < 2; ++i) {
        const auto ch = TMonitorRange::Channel(i);
        m_meter[i]->SetRange(r.MeterMin(ch, fs[i]), r.MeterMax(ch, fs[i]));
    }
    m_range->ShowMeterRanges(m_meter[0]->Min(), m_meter[0]->Max(), m_meter[1]->Min(), m_meter[1]->Max());
}

void Tsmon::showEvent(QShowEvent *e) {
    QDialog::showEvent(e);
    if (m_session.Streaming())
        return;
    RunGuarded([this] {
        UpdateRanges();
        m_range->OnChange = [this] { UpdateRanges(); };
        m_session.Start(m_chB1->isChecked());
    });
}

void Tsmon::hideEvent(QHideEvent *e) {
    if (m_session.Streaming())
        RunGuarded([this] { m_session.Stop(true); });
    QDialog::hideEvent(e);
}

// What the session read at the start; the photodiode bars send theirs back.
void Tsmon::showValues() {
    showApd();
    m_trGain[0]->setValue(TMonitorSession::PositionOfGain(m_session.GainA));
    m_trGain[1]->setValue(TMonitorSession::PositionOfGain(m_session.GainB));
    m_trOfs[0]->setValue(m_session.OffsetA);
    m_trOfs[1]->setValue(m_session.OffsetB);
    for (int i = 0; i < 2; ++i) {
        m_lbGain[i]->setText(Percent(m_session.Gain(i)));
        m_lbOfs[i]->setText(Percent(m_session.Offset(i)));
    }
}

void Tsmon::showApd() {
    if (!m_session.ApdEnabled())
        return;
    for (int i = 0; i < 2; ++i) {
        m_trApd[i]->setValue(m_session.Apd(i));
        m_lbApd[i]->setText(Percent(m_session.Apd(i)));
    }
}

void Tsmon::showSample(const TMonitorSample &s) {
    m_meter[0]->SetValue(s.A);
    m_meter[1]->SetValue(s.B);
    m_num[0]->setText(QStringLiteral("A: %1 V").arg(s.A, 0, 'f', 4));
    m_num[1]->setText(QStringLiteral("B: %1 V").arg(s.B, 0, 'f', 4));
    ++m_shown;
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
