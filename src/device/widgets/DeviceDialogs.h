#pragma once

#include "device/ConnectionManager.h"
#include "device/DeviceInfoRecord.h"

#include <QDialog>
#include <QGroupBox>
#include <QList>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace tessel {

// Group box with one radio button per port name, none selected at first.
class TCommBox : public QGroupBox {
    Q_OBJECT
public:
    TCommBox(const QStringList &ports, QWidget *parent = nullptr);
    // The selected port, searched from the last button to the first; empty
    // when none is selected.
    QString Selected() const;
    void Select(const QString &port);
    const QList<QRadioButton *> &Buttons() const { return m_buttons; }

private:
    QList<QRadioButton *> m_buttons;
};

// The "Communication" settings dialog of the link.
class TfrmCommSetup : public QDialog {
    Q_OBJECT
public:
    TfrmCommSetup(const QStringList &ports, QWidget *parent = nullptr);
    TCommBox *CommBox() const { return m_box; }
    QCheckBox *AskDeviceBox() const { return m_ask; }

private:
    TCommBox *m_box;
    QCheckBox *m_ask;
};

// Makes comm.ShowSetup() run the dialog over PortNames(): on OK the selected
// port is opened and the ask flag taken over.
void InstallSetupDialog(TConnectionManager &comm, QWidget *parent);

// Lines of the "Set Device" list: identification, ", $", version word.
std::vector<std::pair<TDevice, QString>> DeviceListLines(const TKnownDevices &known);

class TfrmSetDevice : public QDialog {
    Q_OBJECT
public:
    // storeDefault keeps the type number as the "DefaultDevice" setting.
    TfrmSetDevice(TConnectionManager &comm, std::function<void(TDevice)> storeDefault, QWidget *parent = nullptr);
    QListWidget *Devices() const { return m_list; }
    void btnSetDeviceClick();
    void btnSetAsDefaultClick();

private:
    TConnectionManager &m_comm;
    std::function<void(TDevice)> m_storeDefault;
    QListWidget *m_list;
    std::vector<TDevice> m_types;
};

// Small borderless message window on top of everything.
class TfrmMessage : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMessage(QWidget *parent = nullptr);
    void ShowText(const QString &text);
    QLabel *Message() const { return m_text; }

private:
    QLabel *m_text;
};

// Lets comm.ReadDeviceInfo() show its progress in a TfrmMessage.
void InstallProgressWindow(TConnectionManager &comm);

// "Device Info": the timing and channel values of the current configuration.
class TfrmDeviceInfo : public QDialog {
    Q_OBJECT
public:
    TfrmDeviceInfo(std::function<TDeviceInfoRecord()> source, QWidget *parent = nullptr);
    void Fill();
    QTableWidget *Bounds() const { return m_grid; }
    QLabel *Value(const QString &key) const;

protected:
    void showEvent(QShowEvent *e) override;

private:
    std::function<TDeviceInfoRecord()> m_source;
    QList<QLabel *> m_values;
    QTableWidget *m_grid;
};

} // namespace tessel
