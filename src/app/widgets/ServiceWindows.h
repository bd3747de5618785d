#pragma once

#include "app/KeyTest.h"
#include "settings/SettingsStore.h"

#include <QDialog>
#include <array>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace tessel {

// "Test Keys": the levels of the light sources on five sliders and the single
// flashes and outputs on buttons. Created once at start-up and reused, so the
// sliders keep their positions between showings; its position is stored.
class TfrmTestKeys : public QDialog {
public:
    explicit TfrmTestKeys(TCommandSet &link, QWidget *parent = nullptr, TKeyTest::Wait wait = {});
    ~TfrmTestKeys() override;

    TKeyTest &Keys() { return m_keys; }
    // Slider i in the order ScrB1, ScrB2, ScrB3, ScrB5, ScrB6, and its label.
    QScrollBar *ScrB(int i) const { return m_bars[size_t(i)]; }
    QLabel *ScrBL(int i) const { return m_labels[size_t(i)]; }
    // A button by its control name ("Button1", "BtnAx3", "btnOK", ...).
    QPushButton *Button(const QString &name) const;

    // Sends the levels and shows which sliders apply to the instrument type.
    void SendVoltages();
    // After a run on a ModelW: the first three sliders to 0, the levels sent.
    void ResetFlashLevels();

    std::function<void()> ShowHelp;

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    void sliderChanged(int i);
    void fire(const char *command);
    void refresh();

    TCommandSet &m_link;
    TKeyTest m_keys;
    std::array<QScrollBar *, kKeyLevelCount> m_bars{};
    std::array<QLabel *, kKeyLevelCount> m_labels{};
    TPFormSettings m_store;
};

// "Test unit result": runs the instrument's self test once, when it first
// appears, and shows the report as it grows. "&Close" waits for the end;
// "&Break Test" ends the report early. A report that stalls or never ends is
// cut off by the link's time limits, and the window says which.
class TfrmTestUnit : public QDialog {
public:
    explicit TfrmTestUnit(TCommandSet &link, QWidget *parent = nullptr);

    QPlainTextEdit *Memo() const { return m_memo; }
    QPushButton *BtnClose() const { return m_close; }
    QPushButton *BtnBreak() const { return m_break; }
    QLabel *Note() const { return m_note; }
    bool Running() const { return m_running; }
    bool Ran() const { return m_ran; }
    TTestEnd End() const { return m_end; }

    // The self test; runs once per window.
    void RunTest();
    // Escape and the window's close button wait for the end, like "&Close".
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    TCommandSet &m_link;
    QPlainTextEdit *m_memo;
    QPushButton *m_close;
    QPushButton *m_break;
    QLabel *m_note;
    bool m_running = false;
    bool m_ran = false;
    TTestEnd m_end = TTestEnd::NotSent;
};

} // namespace tessel
