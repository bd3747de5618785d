#pragma once

#include "SimConstants.h"
#include "SimDeviceTable.h"
#include "SimModel.h"
#include "SimProgram.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::sim {

// Ways to make the line misbehave. Commands and download blocks are counted
// from 1 since the instrument was switched on.
struct TSimFaults {
    std::set<int> BadChecksumBlocks;  // download blocks sent with a wrong checksum
    double BadChecksumRate = 0.0;     // and any download block with this chance (0 to 1)
    std::set<int> DropReplies;        // commands whose reply is not sent
    std::set<int> TruncateReplies;    // commands whose reply is cut in half
    int SilentAfter = 0;              // 0 = never; else stop answering after that many commands
    int GarbageEvery = 0;             // 0 = never; else stray bytes after every Nth reply
    int64_t HangupAfter = -1;         // a data transfer stops after this many bytes (once)
    std::set<int> RefuseUploadBlocks; // upload blocks (of every load) answered "ER" whatever their checksum
    bool ProgramFails = false;        // "PF" and "PX" report a failed programming
    std::set<int> IgnoreUploadBlocks; // upload blocks (of every load) not answered at all
    bool BadInfoChecksum = false;     // the "DI" record goes out with a wrong checksum
    std::string StatusReply;          // every "WD" is answered with these two characters
    double NoiseRate = 0.0;           // stray bytes per second on the line, all the time
    bool NeedWakeUp = false;          // asleep until a run of wake-up bytes; dozes off after kDozeSeconds
    // The line drops (LineDown) once the instrument has sent (or, for a load,
    // received) HangupBytes bytes after the first HangupCommand.
    std::string HangupCommand;
    int64_t HangupBytes = 0;
};

struct TSimOptions {
    std::string Device = std::string(kDefaultSimDevice);
    int32_t Baud = 115200;
    double Speed = 1.0;  // simulated program time per real second
    std::string IniPath; // Tessel.ini with the type's constants
    uint32_t Seed = 1;
    double TriggerWait = 0.0;  // seconds spent waiting for a trigger after "ST"
    double MonitorRate = 25.0; // monitor samples per second
    TSimModelParams Model;
    TSimFaults Faults;
};

// The instrument's behaviour, driven by bytes in and bytes out. Nothing here
// touches a file descriptor or a clock: the caller hands in received bytes
// with the line speed they arrived at, lets real time pass with Advance and
// takes what the instrument sends.
class TSimInstrument {
public:
    using LogSink = std::function<void(const std::string &)>;

    // Throws std::invalid_argument for an unknown device name.
    explicit TSimInstrument(const TSimOptions &options, LogSink log = {});

    void Receive(const uint8_t *data, size_t size, int32_t lineBaud);
    void Receive(std::string_view bytes) { Receive(bytes, m_opt.Baud); }
    void Receive(std::string_view bytes, int32_t lineBaud) {
        Receive(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), lineBaud);
    }
    void Advance(double realSeconds);
    std::vector<uint8_t> TakeOutput();

    // Inspection, for tests and the log.
    int Type() const { return m_type; }
    const TSimDeviceType &Device() const { return kSimDevices[size_t(m_type)]; }
    const TSimConstants &Constants() const { return m_const; }
    int32_t BlockSize() const { return Device().BlockSize; }
    int32_t Baud() const { return m_opt.Baud; }
    std::string StatusReply() const;
    std::array<uint8_t, 4> VersionBytes() const;
    const std::optional<TSimProgram> &Program() const { return m_program; }
    const TSimPlant &Plant() const { return m_plant; }
    const TSimLights &Lights() const { return m_lights; }
    bool MonitorRunning() const { return m_monitorOn; }
    // The hang-up fault struck: nothing more goes out or comes in.
    bool LineDown() const { return m_lineDown; }
    bool Awake() const { return m_awake; }
    int CommandCount() const { return m_commands; }
    double Now() const { return m_now; }

private:
    enum class Phase { Empty, Ready, Waiting, Measuring, DataReady };
    enum class Parse { NeedMore, NoMatch, Match };
    struct Upload {
        std::string Mnemonic;
        size_t Total = 0;
        std::vector<uint8_t> Data;
        std::vector<uint8_t> Block; // current block with its checksum
    };
    struct Download {
        char Channel = 'A';
        std::vector<uint8_t> Data;
        size_t Full = 0;  // full blocks
        size_t Index = 0; // block being sent (Full = the rest block)
        int Attempts = 0; // sends of the current block
        size_t Sent = 0;  // data bytes sent so far, for the hang-up fault
        bool Clipped = false;
    };
    struct Timed {
        double Due;
        std::vector<uint8_t> Bytes;
        std::string Note;
    };
    struct Run {
        TSimPlant Start;
        TSimLights Lights;
        TSimChannel A, B;
        double Begin = 0.0;    // real time of "ST"
        double SimStart = 0.0; // program time when the program starts running
        uint32_t Number = 0;
        std::vector<TSimMacroRun> Macros{}; // when the timed macros run
        bool FetchedA = false, FetchedB = false;
        bool Finished = false;
    };

    void ParseInput();
    Parse Match(size_t &length) const;
    void Execute(std::string_view mnemonic, const uint8_t *params, size_t paramCount);
    void FeedUpload();
    void FeedDownloadAnswer();
    void SendBlock();
    void FinishDownload(bool complete);
    void StartDownload(char channel, size_t n);
    void Reply(const std::vector<uint8_t> &bytes, const std::string &note);
    void Reply(std::string_view text) { Reply(std::vector<uint8_t>(text.begin(), text.end()), std::string(text)); }
    void Emit(const std::vector<uint8_t> &bytes);
    void ArmHangup(const std::string &cmd);
    // Counts bytes towards the armed hang-up; returns how many of n still cross.
    size_t HangupBudget(size_t n);
    void Schedule(double delay, std::vector<uint8_t> bytes, std::string note);
    void LoadAccepted(const Upload &u);
    void StartRun();
    void UpdateRun();
    // Plays the program's events (and the macros at their edges) up to and
    // including time `until`, from event ev and macro run `macro` on.
    void Replay(TSimPlant &plant, TSimLights &lights, double &t, size_t &ev, size_t &macro, double until,
                bool log) const;
    std::vector<int16_t> RunSamples(char channel, int32_t count, bool &clipped);
    void MonitorTick();
    void FlushIgnored();
    void StartSelfTest();
    void Log(const std::string &text) const;
    TSimLights LiveLights() const;

    TSimOptions m_opt;
    LogSink m_log;
    int m_type = 0;
    TSimConstants m_const;
    std::mt19937 m_rng;

    std::vector<uint8_t> m_in;
    double m_inSince = 0.0; // when the oldest unparsed byte came
    std::vector<uint8_t> m_out;
    std::vector<uint8_t> m_ignored;
    std::deque<Timed> m_timed;
    double m_now = 0.0;
    int m_commands = 0;
    int m_replies = 0;
    int m_downloadBlocks = 0;
    int m_uploadBlocks = 0;
    bool m_silent = false;
    bool m_hungUp = false;
    bool m_lineDown = false;
    bool m_hangupArmed = false;
    int64_t m_hangupLeft = 0;
    bool m_awake = true;
    int m_wakeRun = 0;        // wake-up bytes in a row while asleep
    double m_lastInput = 0.0; // when the last byte came, for dozing off
    double m_noiseCredit = 0.0;

    std::optional<Upload> m_upload;
    double m_uploadActivity = 0.0;
    std::optional<Download> m_download;

    Phase m_phase = Phase::Empty;
    TSimProgramBlocks m_blocks;
    std::optional<TSimProgram> m_program;
    std::optional<Run> m_run;
    uint32_t m_runCount = 0;
    std::optional<char> m_outOfRange; // channel whose transfer clipped

    std::vector<uint8_t> m_image; // last "LDP"
    bool m_imageLoaded = false;
    bool m_testing = false;
    double m_testEnd = 0.0;

    TSimPlant m_plant;
    TSimLights m_lights;      // what the hand tests set
    TSimChannel m_chA, m_chB; // gains, offsets, resolution
    int m_apd1 = 50, m_apd2 = 50;
    double m_pulseEnd[16] = {};
    bool m_monitorOn = false;
    bool m_monitorFlash = false;
    double m_monitorNext = 0.0;
};

} // namespace tessel::sim
