#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace tessel {

// Runs the monitor's exchanges with the instrument one at a time. An action
// may pause in an event loop (the instrument needs time after each setting);
// a request that arrives meanwhile waits for its turn instead of running
// inside the pause. A control's request that is already waiting is not
// queued again: it reads the control's latest value when it runs.
class TSerialActions {
public:
    TSerialActions();
    ~TSerialActions();
    TSerialActions(const TSerialActions &) = delete;
    TSerialActions &operator=(const TSerialActions &) = delete;

    // Runs the action now, or after those running and waiting; key names the
    // control it belongs to.
    void Run(int key, std::function<void()> action);
    bool Busy() const { return m_running; }
    int Waiting() const { return int(m_waiting.size()); }
    // Forgets what waits (the window closes).
    void Clear() { m_waiting.clear(); }

private:
    std::deque<std::pair<int, std::function<void()>>> m_waiting;
    bool m_running = false;
    // Lets a run notice that its owner was destroyed during an action.
    std::shared_ptr<bool> m_alive;
};

// One mark of a meter's scale: where it sits between the meter's minimum (0)
// and maximum (1), and its number (empty for minor marks).
struct TMeterMark {
    double Position = 0;
    double Value = 0;
    QString Label;
};

// Marks of a meter from min to max: numbered major marks at a round step
// (1, 2 or 5 times a power of ten, about `majors` of them) and four minor
// marks between two major ones. Labels have as many decimals as the step
// needs and use "." whatever the locale.
std::vector<TMeterMark> MeterMarks(double min, double max, int majors = 5);

} // namespace tessel
