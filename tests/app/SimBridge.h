#pragma once

// The virtual instrument in-process behind the in-memory port: what the link
// writes reaches the instrument at once, and what the instrument sends comes
// back as the link's waits (or the test) let simulated time pass.

#include "SimInstrument.h"
#include "device/ConnectionManager.h"
#include "support/MemoryCommPort.h"

#include <QCoreApplication>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

namespace tessel::test {

class SimBridge {
public:
    explicit SimBridge(const sim::TSimOptions &options)
        : Sim(options, [this](const std::string &line) { SimLog.push_back(line); }) {
        auto port = std::make_unique<TMemoryCommPort>();
        Port = port.get();
        Link = std::make_unique<TCommunication>(std::move(port), QStringLiteral("sim"));
        Port->SetOnWrite([this](const QByteArray &w) {
            Sim.Receive(reinterpret_cast<const uint8_t *>(w.constData()), size_t(w.size()),
                        BaudRateValue(Link->BaudRate()));
        });
        // Each pass of a wait is a millisecond on the line.
        Link->SetProcessEvents([this] { Pass(0.001); });
        Commands = std::make_unique<TCommandSet>(*Link);
        Connection = std::make_unique<TConnectionManager>(*Link, *Commands);
        Connection->SetBaudRates({br115200});
        Link->Open();
    }
    ~SimBridge() { Port->SetOnWrite(nullptr); }

    // Lets seconds of simulated time pass and hands on what was sent.
    void Pass(double seconds) {
        Sim.Advance(seconds);
        const std::vector<uint8_t> out = Sim.TakeOutput();
        if (!out.empty())
            Port->FeedReceived(QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(out.size())));
        QCoreApplication::processEvents();
        QThread::usleep(50); // the link's time-outs run on the real clock
    }
    bool Logged(const std::string &part) const {
        for (const std::string &l : SimLog)
            if (l.find(part) != std::string::npos)
                return true;
        return false;
    }

    std::vector<std::string> SimLog;
    sim::TSimInstrument Sim;
    TMemoryCommPort *Port = nullptr;
    std::unique_ptr<TCommunication> Link;
    std::unique_ptr<TCommandSet> Commands;
    std::unique_ptr<TConnectionManager> Connection;
};

} // namespace tessel::test
