#pragma once

#include "device/CommandSet.h"

#include <QString>
#include <array>
#include <functional>

namespace tessel {

// One level slider of the "Test Keys" window.
struct TKeyLevel {
    const char *name;   // control name, "ScrB1"
    const char *legend; // "Measuring Flash"
    const char *letter; // short mark beside the slider, "" for none
    int output;         // n of the "SAn" command
};
inline constexpr int kKeyLevelCount = 5;
inline constexpr int kKeyLevelMax = 1023;
inline constexpr int kKeyLevelStep = 50;
// In slider order: "SA1", "SA2", "SA3", "SA5", "SA6".
const std::array<TKeyLevel, kKeyLevelCount> &KeyLevels();

// One signal button of the window; the main window's "Test Keys" submenu
// sends the same commands.
struct TKeySignal {
    const char *name;    // control name, "Button1", "BtnAx3"
    const char *caption; // "&IR Light"
    const char *command; // "AX3"
};
inline constexpr int kKeySignalCount = 9;
const std::array<TKeySignal, kKeySignalCount> &KeySignals();
// Sends "BF1", "BF2", "SF1" or "AX1".."AX6" (any case); false when the
// command is unknown or the link refused it.
bool SendKeySignal(TCommandSet &link, const QString &command);
bool IsKeySignal(const QString &command);

// Per-cent label of a slider position, to a tenth: 50 -> "4.9 %", 1023 -> "100 %".
QString KeyLevelText(int position);

// The hand test of the light sources: five levels, sent by the rule of the
// instrument type. ModelW has only the first three, each followed by a
// 100 ms pause; every other type gets all five, then one pause.
class TKeyTest {
public:
    // wait: a pause during which events keep running; the default runs a
    // nested event loop.
    using Wait = std::function<void(int ms)>;
    explicit TKeyTest(TCommandSet &link, Wait wait = {});

    int Level(int index) const { return m_levels[size_t(index)]; }
    // Clamped to 0..1023; nothing is sent.
    void SetLevel(int index, int position);
    // Whether the slider applies to the current instrument type.
    bool LevelAvailable(int index) const;

    // Sends every level (not only a changed one). A call made while a send
    // is pausing sends again once that one ends, with the levels as they are
    // then. False when the link refused a command.
    bool SendVoltages();
    // The window appears: the reset macros for firmware that needs them,
    // then the levels.
    bool Show();
    // After a run on a ModelW: the flash and actinic levels back to 0, sent.
    bool ResetFlashLevels();

private:
    bool sendOnce();

    TCommandSet &m_link;
    Wait m_wait;
    std::array<int, kKeyLevelCount> m_levels{};
    bool m_sending = false;
    bool m_again = false;
};

// What the self-test window says about how a run ended: the text (empty
// when nothing needs saying) and whether it deserves a dialog of its own.
struct TSelfTestNote {
    QString text;
    bool dialog = false;
};
TSelfTestNote SelfTestNote(TTestEnd end, const TWaitBounds &bounds);

} // namespace tessel
