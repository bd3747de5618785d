#include "device/widgets/DeviceDialogs.h"

#include "device/PortList.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

namespace tessel {

TCommBox::TCommBox(const QStringList &ports, QWidget *parent) : QGroupBox(QStringLiteral("Port"), parent) {
    setObjectName(QStringLiteral("CommBox"));
    auto *lay = new QVBoxLayout(this);
    for (const QString &p : ports) {
        auto *b = new QRadioButton(p, this);
        lay->addWidget(b);
        m_buttons.append(b);
    }
    lay->addStretch();
}

QString TCommBox::Selected() const {
    for (auto it = m_buttons.crbegin(); it != m_buttons.crend(); ++it)
        if ((*it)->isChecked())
            return (*it)->text();
    return {};
}

void TCommBox::Select(const QString &port) {
    for (QRadioButton *b : m_buttons)
        if (b->text() == port)
            b->setChecked(true);
}

TfrmCommSetup::TfrmCommSetup(const QStringList &ports, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCommSetup"));
    setWindowTitle(QStringLiteral("Communication"));
    auto *lay = new QVBoxLayout(this);
    m_box = new TCommBox(ports, this);
    lay->addWidget(m_box);
    m_ask = new QCheckBox(QStringLiteral("Ask device on startup"), this);
    lay->addWidget(m_ask);
    auto *buttons = new QHBoxLayout;
    auto *ok = new QPushButton(QStringLiteral("&OK"), this);
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    lay->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // A long port list grows the dialog beyond its usual size.
    setMinimumSize(170, 190);
    setSizeGripEnabled(false);
}

void InstallSetupDialog(TConnectionManager &comm, QWidget *parent) {
    comm.SetupDialog = [&comm, parent] {
        TfrmCommSetup dlg(PortNames(), parent);
        dlg.AskDeviceBox()->setChecked(comm.AskDevice);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        comm.AskDevice = dlg.AskDeviceBox()->isChecked();
        const QString port = dlg.CommBox()->Selected();
        if (!port.isEmpty())
            comm.ApplyPort(port);
        return true;
    };
}

std::vector<std::pair<TDevice, QString>> DeviceListLines(const TKnownDevices &known) {
    std::vector<std::pair<TDevice, QString>> lines;
    for (int d = 0; d < kDeviceCount; ++d) {
        if (!known.contains(TDevice(d)))
            continue;
        const TDeviceInfo &info = DeviceInfo(TDevice(d));
        lines.emplace_back(TDevice(d), QString::fromLatin1(info.identification) + QStringLiteral(", $") +
                                           QStringLiteral("%1").arg(info.version, 4, 16, QChar('0')).toUpper());
    }
    return lines;
}

TfrmSetDevice::TfrmSetDevice(TConnectionManager &comm, std::function<void(TDevice)> storeDefault, QWidget *parent)
    : QDialog(parent), m_comm(comm), m_storeDefault(std::move(storeDefault)) {
    setObjectName(QStringLiteral("frmSetDevice"));
    setWindowTitle(QStringLiteral("Set Device"));
    auto *lay = new QHBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lbDevices"));
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_list->setFont(mono);
    for (const auto &[type, line] : DeviceListLines(comm.KnownDevices())) {
        m_list->addItem(line);
        m_types.push_back(type);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    lay->addWidget(m_list);
    auto *col = new QVBoxLayout;
    auto *set = new QPushButton(QStringLiteral("&Set"), this);
    set->setObjectName(QStringLiteral("btnSetDevice"));
    auto *def = new QPushButton(QStringLiteral("Set As &Default"), this);
    def->setObjectName(QStringLiteral("btnSetAsDefault"));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    col->addWidget(set);
    col->addWidget(def);
    col->addStretch();
    col->addWidget(close);
    lay->addLayout(col);
    connect(set, &QPushButton::clicked, this, &TfrmSetDevice::btnSetDeviceClick);
    connect(def, &QPushButton::clicked, this, &TfrmSetDevice::btnSetAsDefaultClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmSetDevice::btnSetDeviceClick() {
    const int row = m_list->currentRow();
    if (row >= 0 && row < int(m_types.size()))
        m_comm.SetDevice(m_types[size_t(row)]);
}

void TfrmSetDevice::btnSetAsDefaultClick() {
    btnSetDeviceClick();
    if (m_storeDefault)
        m_storeDefault(m_comm.Link().Device());
}

TfrmMessage::TfrmMessage(QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool) {
    setObjectName(QStringLiteral("frmMessage"));
    setFixedSize(298, 40);
    auto *lay = new QVBoxLayout(this);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("stMessage"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lay->addWidget(m_text);
}

void TfrmMessage::ShowText(const QString &text) {
    m_text->setText(text);
    if (QScreen *s = QApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
    show();
    repaint();
}

void InstallProgressWindow(TConnectionManager &comm) {
    auto window = std::make_shared<std::unique_ptr<TfrmMessage>>();
    comm.ShowProgress = [window](const QString &text) {
        if (text.isEmpty()) {
            window->reset();
            return;
        }
        if (!*window)
            *window = std::make_unique<TfrmMessage>();
        (*window)->ShowText(text);
    };
}

TfrmDeviceInfo::TfrmDeviceInfo(std::function<TDeviceInfoRecord()> source, QWidget *parent)
    : QDialog(parent), m_source(std::move(source)) {
    setObjectName(QStringLiteral("frmDeviceInfo"));
    setWindowTitle(QStringLiteral("Device Info"));
    auto *lay = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    const TDeviceInfoRecord blank;
    auto group = [&](const QString &title, const std::vector<TDeviceInfoItem> &items) {
        auto *g = new QGroupBox(title, this);
        auto *form = new QFormLayout(g);
        for (const TDeviceInfoItem &item : items) {
            auto *value = new QLabel(g);
            value->setObjectName(item.key);
            form->addRow(item.label, value);
            m_values.append(value);
        }
        top->addWidget(g);
    };
    group(QStringLiteral("Timer Parameters"), TimerItems(blank));
    group(QStringLiteral("Channels"), ChannelItems(blank));
    lay->addLayout(top);
    m_grid = new QTableWidget(kOutputLines + 1, 5, this);
    m_grid->setObjectName(QStringLiteral("sgBounds"));
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setMinimumHeight(300);
    lay->addWidget(m_grid);
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    lay->addWidget(close, 0, Qt::AlignRight);
    setFixedWidth(560);
}

QLabel *TfrmDeviceInfo::Value(const QString &key) const {
    for (QLabel *l : m_values)
        if (l->objectName() == key)
            return l;
    return nullptr;
}

void TfrmDeviceInfo::Fill() {
    const TDeviceInfoRecord r = m_source ? m_source() : TDeviceInfoRecord{};
    std::vector<TDeviceInfoItem> items = TimerItems(r);
    for (const TDeviceInfoItem &i : ChannelItems(r))
        items.push_back(i);
    for (const TDeviceInfoItem &i : items)
        if (QLabel *l = Value(i.key))
            l->setText(i.text);
    auto put = [this](int row, const QStringList &cells) {
        for (int c = 0; c < cells.size(); ++c)
            m_grid->setItem(row, c, new QTableWidgetItem(cells[c]));
    };
    put(0, BoundsHeader());
    for (int line = 0; line < kOutputLines; ++line)
        put(line + 1, BoundsRow(r, line));
}

void TfrmDeviceInfo::showEvent(QShowEvent *e) {
    Fill();
    QDialog::showEvent(e);
}

} // namespace tessel
