#include "SimInstrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace tessel::sim {

namespace {

// Parameter bytes after each mnemonic; -1 marks the macro command, whose
// first parameter byte is the number of bytes that follow.
struct TCommandForm {
    std::string_view Name;
    int Params;
};
constexpr TCommandForm kCommands[] = {
    {"WH", 0},  {"VER", 0}, {"WD", 0},  {"ST", 0},  {"SP", 0},  {"MS", 0},  {"DI", 0},  {"TST", 0},
    {"PX", 0},  {"PF", 0},  {"BF1", 0}, {"BF2", 0}, {"SF1", 0}, {"AX1", 0}, {"AX2", 0}, {"AX3", 0},
    {"AX4", 0}, {"AX5", 0}, {"AX6", 0}, {"SA1", 2}, {"SA2", 2}, {"SA3", 2}, {"SA4", 2}, {"SA5", 2},
    {"SA6", 2}, {"MO", 2},  {"SG", 2},  {"SO", 2},  {"SW", 2},  {"SX", 0},  {"SD", 0},  {"LDE", 3},
    {"LDT", 3}, {"LDX", 3}, {"LDC", 3}, {"LDP", 3}, {"GDA", 3}, {"GDB", 3}, {"EC", -1},
};

std::string Hex(const uint8_t *p, size_t n, size_t limit = 16) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < n && i < limit; ++i) {
        std::snprintf(buf, sizeof buf, "%s%02X", i ? " " : "", p[i]);
        s += buf;
    }
    if (n > limit)
        s += " ...";
    return s;
}

uint8_t Sum(const uint8_t *p, size_t n) {
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i)
        s += p[i];
    return uint8_t(s);
}

constexpr double kUploadTimeout = 1.0;  // s without a byte inside a block load
constexpr double kDozeSeconds = 10.0;   // an instrument that needs waking dozes off after this quiet time
constexpr int kWakeRun = 100;           // wake-up bytes in a row that wake it
constexpr double kPartialTimeout = 1.0; // s an incomplete command may wait
constexpr int kResendLimit = 3;         // sends of one download block

} // namespace

TSimInstrument::TSimInstrument(const TSimOptions &options, LogSink log)
    : m_opt(options), m_log(std::move(log)), m_rng(options.Seed), m_awake(!options.Faults.NeedWakeUp),
      m_plant(options.Model) {
    const auto type = FindSimDevice(m_opt.Device);
    if (!type)
        throw std::invalid_argument("unknown device " + m_opt.Device);
    m_type = *type;
    m_const = ReadSimConstants(m_opt.IniPath, SectionPrefix(m_type));
    m_chA.Bits = m_const.BitResA;
    m_chB.Bits = m_const.BitResB;
    m_chA.Unsigned = m_const.UnsignedA;
    m_chB.Unsigned = m_const.UnsignedB;
    m_lights.Lines = kLineDetector;
    if (m_opt.Speed <= 0)
        m_opt.Speed = 1.0;
    char buf[160];
    std::snprintf(buf, sizeof buf, "instrument %s (\"%.*s\", block %d), listening at %d baud, speed x%g",
                  std::string(Device().Name).c_str(), int(Device().Ident.size()), Device().Ident.data(),
                  int(BlockSize()), int(m_opt.Baud), m_opt.Speed);
    Log(buf);
}

void TSimInstrument::Log(const std::string &text) const {
    if (!m_log)
        return;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%10.3f] ", m_now);
    m_log(stamp + text);
}

std::array<uint8_t, 4> TSimInstrument::VersionBytes() const {
    const uint16_t w = Device().VersionWord;
    // Types that describe themselves run a firmware recent enough for the
    // reset macros (third and fourth byte 0x010A).
    const bool recent = HasDeviceInfo(m_type);
    return {uint8_t(w >> 8), uint8_t(w), uint8_t(recent ? 1 : 0), uint8_t(recent ? 10 : 0)};
}

std::string TSimInstrument::StatusReply() const {
    if (m_outOfRange)
        return "SA";
    if (m_testing)
        return "TT";
    switch (m_phase) {
    case Phase::Empty:
        return "FR";
    case Phase::Ready:
        return "ND";
    case Phase::Waiting:
        return "WT";
    case Phase::Measuring:
        return "BB";
    case Phase::DataReady:
        return "EM";
    }
    return "ER";
}

std::vector<uint8_t> TSimInstrument::TakeOutput() {
    std::vector<uint8_t> out;
    out.swap(m_out);
    return out;
}

void TSimInstrument::Emit(const std::vector<uint8_t> &bytes) {
    const size_t n = HangupBudget(bytes.size());
    m_out.insert(m_out.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
}

void TSimInstrument::ArmHangup(const std::string &cmd) {
    if (m_hangupArmed || m_lineDown || m_opt.Faults.HangupCommand.empty() || cmd != m_opt.Faults.HangupCommand)
        return;
    m_hangupArmed = true;
    m_hangupLeft = m_opt.Faults.HangupBytes;
    Log("  (fault: line drops after " + std::to_string(m_hangupLeft) + " more bytes)");
    HangupBudget(0);
}

size_t TSimInstrument::HangupBudget(size_t n) {
    if (m_lineDown)
        return 0;
    if (!m_hangupArmed)
        return n;
    const size_t pass = size_t(std::min<int64_t>(int64_t(n), m_hangupLeft));
    m_hangupLeft -= int64_t(pass);
    if (m_hangupLeft <= 0) {
        m_lineDown = true;
        m_hangupArmed = false;
        Log("  (fault: line dropped)");
    }
    return pass;
}

void TSimInstrument::Schedule(double delay, std::vector<uint8_t> bytes, std::string note) {
    Timed t{m_now + delay, std::move(bytes), std::move(note)};
    auto at =
        std::upper_bound(m_timed.begin(), m_timed.end(), t.Due, [](double due, const Timed &x) { return due < x.Due; });
    m_timed.insert(at, std::move(t));
}

void TSimInstrument::Reply(const std::vector<uint8_t> &bytes, const std::string &note) {
    const int cmd = m_commands;
    if (m_opt.Faults.DropReplies.count(cmd)) {
        Log("< (fault: reply to command " + std::to_string(cmd) + " dropped) " + note);
        return;
    }
    if (m_opt.Faults.TruncateReplies.count(cmd)) {
        const std::vector<uint8_t> half(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2));
        Emit(half);
        Log("< (fault: reply to command " + std::to_string(cmd) + " cut to " + std::to_string(half.size()) + " of " +
            std::to_string(bytes.size()) + " bytes) " + note);
        return;
    }
    Emit(bytes);
    Log("< " + note);
    ++m_replies;
    if (m_opt.Faults.GarbageEvery > 0 && m_replies % m_opt.Faults.GarbageEvery == 0) {
        std::vector<uint8_t> junk(4);
        for (uint8_t &b : junk)
            b = uint8_t(m_rng());
        Emit(junk);
        Log("< (fault: garbage) " + Hex(junk.data(), junk.size()));
    }
}

void TSimInstrument::Receive(const uint8_t *data, size_t size, int32_t lineBaud) {
    if (size == 0)
        return;
    if (lineBaud != m_opt.Baud) {
        // At another speed the receiver only sees framing errors.
        Log("> " + std::to_string(size) + " bytes at " + std::to_string(lineBaud) + " baud ignored (listening at " +
            std::to_string(m_opt.Baud) + ")");
        return;
    }
    if (m_lineDown)
        return;
    if (m_silent) {
        Log("> (silent) " + std::to_string(size) + " bytes not answered: " + Hex(data, size));
        return;
    }
    if (m_opt.Faults.NeedWakeUp) {
        if (m_awake && m_now - m_lastInput > kDozeSeconds) {
            m_awake = false;
            m_wakeRun = 0;
            Log("  (asleep: no input for " + std::to_string(int(kDozeSeconds)) + " s)");
        }
        m_lastInput = m_now;
        size_t i = 0;
        while (!m_awake && i < size) {
            m_wakeRun = data[i] == 0xAA ? m_wakeRun + 1 : 0;
            if (m_wakeRun >= kWakeRun) {
                m_awake = true;
                Log("> wake-up bytes (awake)");
            }
            ++i;
        }
        if (i > 0 && !m_awake)
            Log("> (asleep) " + std::to_string(i) + " bytes not heard");
        // The rest of the wake-up run is line noise to the parser, as ever.
        data += i;
        size -= i;
        if (size == 0)
            return;
    }
    if (m_in.empty())
        m_inSince = m_now;
    m_in.insert(m_in.end(), data, data + size);
    m_uploadActivity = m_now;
    ParseInput();
}

TSimInstrument::Parse TSimInstrument::Match(size_t &length) const {
    bool prefix = false;
    for (const TCommandForm &c : kCommands) {
        const size_t n = std::min(c.Name.size(), m_in.size());
        if (!std::equal(c.Name.begin(), c.Name.begin() + std::ptrdiff_t(n), m_in.begin()))
            continue;
        if (n < c.Name.size()) {
            prefix = true;
            continue;
        }
        size_t need = c.Name.size() + size_t(std::max(c.Params, 0));
        if (c.Params < 0) {
            if (m_in.size() < c.Name.size() + 1)
                return Parse::NeedMore;
            need = c.Name.size() + 1 + m_in[c.Name.size()];
        }
        if (m_in.size() < need)
            return Parse::NeedMore;
        length = c.Name.size();
        return Parse::Match;
    }
    return prefix ? Parse::NeedMore : Parse::NoMatch;
}

void TSimInstrument::FlushIgnored() {
    if (m_ignored.empty())
        return;
    const bool wake = std::all_of(m_ignored.begin(), m_ignored.end(), [](uint8_t b) { return b == 0xAA; });
    Log("> " + std::to_string(m_ignored.size()) + (wake ? " wake-up bytes" : " stray bytes ignored: ") +
        (wake ? std::string() : Hex(m_ignored.data(), m_ignored.size())));
    m_ignored.clear();
}

void TSimInstrument::ParseInput() {
    while (!m_in.empty()) {
        if (m_upload) {
            FeedUpload();
            if (m_upload)
                return;
            continue;
        }
        if (m_download) {
            FeedDownloadAnswer();
            if (m_download)
                return;
            continue;
        }
        if (m_monitorOn && m_in[0] == 0) {
            // Instruments without gain control end the stream on a zero byte.
            FlushIgnored();
            m_in.erase(m_in.begin());
            m_monitorOn = false;
            Log("> 00 (monitor stream stopped)");
            continue;
        }
        size_t nameLength = 0;
        const Parse p = Match(nameLength);
        if (p == Parse::NeedMore)
            return;
        if (p == Parse::NoMatch) {
            m_ignored.push_back(m_in.front());
            m_in.erase(m_in.begin());
            m_inSince = m_now;
            continue;
        }
        FlushIgnored();
        const std::string name(m_in.begin(), m_in.begin() + std::ptrdiff_t(nameLength));
        const TCommandForm *form = std::find_if(std::begin(kCommands), std::end(kCommands),
                                                [&](const TCommandForm &c) { return c.Name == name; });
        const size_t paramCount = form->Params >= 0 ? size_t(form->Params) : size_t(1 + m_in[nameLength]);
        const std::vector<uint8_t> params(m_in.begin() + std::ptrdiff_t(nameLength),
                                          m_in.begin() + std::ptrdiff_t(nameLength + paramCount));
        m_in.erase(m_in.begin(), m_in.begin() + std::ptrdiff_t(nameLength + paramCount));
        m_inSince = m_now;
        ++m_commands;
        if (m_opt.Faults.SilentAfter > 0 && m_commands > m_opt.Faults.SilentAfter) {
            m_silent = true;
            Log("> " + name + " (fault: silent after " + std::to_string(m_opt.Faults.SilentAfter) +
                " commands; nothing is answered any more)");
            m_in.clear();
            return;
        }
        ArmHangup(name);
        if (m_lineDown)
            return;
        Execute(name, params.data(), params.size());
    }
}

void TSimInstrument::Execute(std::string_view name, const uint8_t *p, size_t n) {
    const std::string cmd(name);
    const auto u16 = [&] { return unsigned(p[0]) | unsigned(p[1]) << 8; };
    const auto unsupported = [&] { Log("> " + cmd + " " + Hex(p, n) + " (not supported by this type; ignored)"); };

    if (cmd == "WH") {
        Log("> WH");
        Reply(Device().Ident);
    } else if (cmd == "VER") {
        Log("> VER");
        const auto v = VersionBytes();
        Reply(std::vector<uint8_t>(v.begin(), v.end()), Hex(v.data(), v.size()));
    } else if (cmd == "WD") {
        UpdateRun();
        const std::string s = m_opt.Faults.StatusReply.empty() ? StatusReply() : m_opt.Faults.StatusReply;
        Log("> WD");
        Reply(s);
        m_outOfRange.reset();
    } else if (cmd == "ST") {
        Log("> ST");
        StartRun();
    } else if (cmd == "SP") {
        Log("> SP");
        if (m_phase == Phase::Waiting || m_phase == Phase::Measuring) {
            m_run.reset();
            m_phase = Phase::Ready;
            Log("  measurement stopped");
        }
    } else if (cmd == "MO") {
        m_monitorOn = true;
        m_monitorFlash = u16() != 0;
        m_monitorNext = m_now + 1.0 / std::max(m_opt.MonitorRate, 0.1);
        Log("> MO " + std::to_string(u16()) + " (monitor stream " +
            (UsesPacketMonitor(m_type) ? "in packets" : "simple") +
            (m_monitorFlash ? ", with measuring flashes)" : ", without measuring flashes)"));
    } else if (cmd == "MS") {
        Log("> MS");
        m_monitorOn = false;
    } else if (cmd.rfind("SA", 0) == 0) {
        const int k = cmd[2] - '0';
        const unsigned v = u16();
        m_lights.Level[size_t(k)] = std::min(1.0, double(v) / m_const.MaxDAValue);
        Log("> " + cmd + " " + std::to_string(v));
    } else if (cmd == "SG" || cmd == "SO" || cmd == "SW") {
        const bool apd = cmd == "SW";
        if (apd ? !HasApd(m_type) : !HasGains(m_type))
            return unsupported();
        const int value = std::min<int>(p[0], 100);
        const int channel = p[1];
        Log("> " + cmd + " " + std::to_string(p[0]) + " " + std::to_string(channel));
        if (channel != 1 && channel != 2)
            return;
        TSimChannel &ch = channel == 1 ? m_chA : m_chB;
        if (cmd == "SG")
            ch.Gain = value;
        else if (cmd == "SO")
            ch.Offset = value;
        else
            (channel == 1 ? m_apd1 : m_apd2) = value;
    } else if (cmd == "SD") {
        if (!HasGains(m_type))
            return unsupported();
        Log("> SD");
        const std::vector<uint8_t> r = {uint8_t(m_chA.Gain), uint8_t(m_chB.Gain), uint8_t(m_chA.Offset),
                                        uint8_t(m_chB.Offset)};
        Reply(r, Hex(r.data(), r.size()));
    } else if (cmd == "SX") {
        if (!HasApd(m_type))
            return unsupported();
        Log("> SX");
        const std::vector<uint8_t> r = {uint8_t(m_apd1), uint8_t(m_apd2)};
        Reply(r, Hex(r.data(), r.size()));
    } else if (cmd == "DI") {
        if (!HasDeviceInfo(m_type))
            return unsupported();
        Log("> DI");
        auto r = BuildDeviceInfoRecord(m_const);
        if (m_opt.Faults.BadInfoChecksum)
            r.back() = uint8_t(r.back() + 1);
        Reply(r, "device information, " + std::to_string(r.size()) + " bytes, checksum " + Hex(&r.back(), 1));
    } else if (cmd == "BF1" || cmd == "BF2" || cmd == "SF1") {
        // Actinic flash: the saturating flash line; the others are measuring flashes.
        const int line = cmd == "BF1" ? 2 : cmd == "BF2" ? 1 : 0;
        const double length = line == 2 ? 0.8 : 50e-6;
        m_pulseEnd[line] = m_now + length;
        Log("> " + cmd + " (flash on line " + std::to_string(line) + ")");
    } else if (cmd.rfind("AX", 0) == 0) {
        const int k = cmd[2] - '0';
        // Output 3 drives the infrared (far-red) light; the others are auxiliary lines.
        const int line = k == 3 ? 6 : 7 + k;
        m_lights.Lines ^= uint16_t(1u << line);
        Log("> " + cmd + " (line " + std::to_string(line) + ((m_lights.Lines >> line) & 1 ? " on)" : " off)"));
    } else if (cmd == "EC") {
        // The length byte first, then the macro (an initial macro, say).
        const std::string set = n > 0 ? m_lights.RunMacro(p + 1, n - 1, m_const.MaxDAValue) : std::string();
        Log("> EC " + Hex(p, n, 100) + " (macro run" + (set.empty() ? "" : ": " + set) + ")");
    } else if (cmd == "TST") {
        Log("> TST");
        StartSelfTest();
    } else if (cmd == "PX") {
        Log("> PX");
        char info[19];
        std::snprintf(info, sizeof info, "IMG%8zu SUM%02X ", m_image.size(), Sum(m_image.data(), m_image.size()));
        Reply(std::string_view(info, 18));
        const bool image = m_imageLoaded && !m_image.empty();
        const bool ok = image && !m_opt.Faults.ProgramFails;
        Schedule(1.5, {uint8_t(ok ? 'O' : 'E'), uint8_t(ok ? 'K' : 'R')},
                 ok      ? "\"OK\" (device programmed)"
                 : image ? "\"ER\" (fault: programming failed)"
                         : "\"ER\" (no image to program)");
    } else if (cmd == "PF") {
        Log("> PF");
        const bool image = m_imageLoaded && !m_image.empty();
        // The program reads at most 41 bytes of this reply.
        std::string text = !image ? std::string("ER no image to write")
                           : m_opt.Faults.ProgramFails
                               ? std::string("ER flash write failed")
                               : "OK flash written, " + std::to_string(m_image.size()) + " bytes";
        text.resize(std::min<size_t>(text.size(), 41));
        Reply(text);
        if (image && m_opt.Faults.ProgramFails)
            Log("  (fault: programming failed)");
    } else if (cmd.rfind("LD", 0) == 0) {
        const size_t total = size_t(p[0]) + 256 * size_t(p[1]) + size_t(BlockSize()) * p[2];
        Log("> " + cmd + " " + Hex(p, 3) + " (" + std::to_string(total) + " bytes)");
        Upload u;
        u.Mnemonic = cmd;
        u.Total = total;
        m_uploadActivity = m_now;
        if (total == 0)
            LoadAccepted(u);
        else
            m_upload = std::move(u);
    } else if (cmd == "GDA" || cmd == "GDB") {
        const size_t total = size_t(p[0]) + 256 * size_t(p[1]) + size_t(BlockSize()) * p[2];
        Log("> " + cmd + " " + Hex(p, 3) + " (" + std::to_string(total) + " bytes)");
        StartDownload(cmd[2], total);
    }
}

void TSimInstrument::FeedUpload() {
    Upload &u = *m_upload;
    const size_t len = std::min(size_t(BlockSize()), u.Total - u.Data.size());
    size_t take = std::min(len + 1 - u.Block.size(), m_in.size());
    const size_t heard = HangupBudget(take);
    if (heard < take) {
        m_in.clear();
        m_upload.reset();
        return;
    }
    take = heard;
    u.Block.insert(u.Block.end(), m_in.begin(), m_in.begin() + std::ptrdiff_t(take));
    m_in.erase(m_in.begin(), m_in.begin() + std::ptrdiff_t(take));
    if (u.Block.size() < len + 1)
        return;
    const uint8_t sum = Sum(u.Block.data(), len);
    const size_t index = u.Data.size() / size_t(BlockSize());
    ++m_uploadBlocks;
    char note[96];
    std::snprintf(note, sizeof note, "> %s block %zu, %zu bytes, checksum %02X (%s %02X)", u.Mnemonic.c_str(), index,
                  len, u.Block[len], sum == u.Block[len] ? "matches" : "expected", sum);
    Log(note);
    if (m_opt.Faults.IgnoreUploadBlocks.count(m_uploadBlocks) > 0) {
        Log("  (fault: block not answered; " + u.Mnemonic + " abandoned)");
        m_upload.reset();
        return;
    }
    const bool refused = m_opt.Faults.RefuseUploadBlocks.count(m_uploadBlocks) > 0;
    if (sum != u.Block[len] || refused) {
        Emit({'E', 'R'});
        Log("< \"ER\" (" + std::string(refused ? "fault: block refused; " : "") + u.Mnemonic + " abandoned)");
        m_upload.reset();
        return;
    }
    u.Data.insert(u.Data.end(), u.Block.begin(), u.Block.begin() + std::ptrdiff_t(len));
    u.Block.clear();
    Emit({'O', 'K'});
    Log("< \"OK\"");
    if (u.Data.size() == u.Total) {
        const Upload done = std::move(u);
        m_upload.reset();
        LoadAccepted(done);
    }
}

void TSimInstrument::LoadAccepted(const Upload &u) {
    const std::string &m = u.Mnemonic;
    if (m == "LDP") {
        m_image = u.Data;
        m_imageLoaded = true;
        char note[96];
        std::snprintf(note, sizeof note, "  image of %zu bytes loaded, checksum %02X", u.Data.size(),
                      Sum(u.Data.data(), u.Data.size()));
        Log(note);
        return;
    }
    if (m == "LDE") {
        // A new program starts with its events; the rest follows.
        m_blocks = {};
        m_blocks.Events = u.Data;
        m_program.reset();
        m_run.reset();
        m_phase = Phase::Empty;
        Log("  " + std::to_string(u.Data.size() / 2) + " event states loaded");
        return;
    }
    if (m == "LDT")
        m_blocks.Timers = u.Data;
    else if (m == "LDX")
        m_blocks.Macros = u.Data;
    else if (m == "LDC")
        m_blocks.Counts = u.Data;
    std::string why;
    m_program = DecodeProgram(m_blocks, m_const, &why);
    if (!m_program) {
        m_phase = Phase::Empty;
        Log("  program not usable: " + why);
        return;
    }
    m_phase = Phase::Ready;
    const TSimProgram &pr = *m_program;
    char buf[200];
    std::snprintf(
        buf, sizeof buf, "  program: %zu events over %.6g s, %zu macros, flashes A %d, B %d%s", pr.Events.size(),
        pr.EndTime(), pr.Macros.size(), int(RisingEdges(pr, kLineMeasuringA)), int(RisingEdges(pr, kLineMeasuringB)),
        pr.SlotsA ? (", slots A " + std::to_string(*pr.SlotsA) + ", B " + std::to_string(*pr.SlotsB)).c_str() : "");
    Log(buf);
}

void TSimInstrument::StartRun() {
    if (m_phase == Phase::Empty || !m_program) {
        Log("  no program loaded; not started");
        return;
    }
    Run r{m_plant, m_lights, m_chA, m_chB};
    r.Lights.Lines = kLineDetector;
    const double measuring = 0.5 + 0.5 * m_lights.Level[1];
    r.A.Measuring = r.B.Measuring = measuring;
    r.A.Gain = m_chA.Gain + (HasApd(m_type) ? (m_apd1 - 50) / 2 : 0);
    r.B.Gain = m_chB.Gain + (HasApd(m_type) ? (m_apd2 - 50) / 2 : 0);
    r.Begin = m_now;
    r.SimStart = -(m_const.MinTimer + 2 * m_const.TimePropagation);
    r.Number = ++m_runCount;
    r.Macros = MacroSchedule(*m_program);
    m_run = r;
    m_outOfRange.reset();
    m_phase = m_opt.TriggerWait > 0 ? Phase::Waiting : Phase::Measuring;
    char buf[120];
    std::snprintf(buf, sizeof buf, "  run %u started: %.6g s of program at speed x%g%s", r.Number,
                  m_program->EndTime() - r.SimStart, m_opt.Speed,
                  m_phase == Phase::Waiting ? ", waiting for the trigger first" : "");
    Log(buf);
    for (size_t i = 0; i < m_program->Macros.size(); ++i)
        Log("  macro " + std::to_string(i) + ": " + Hex(m_program->Macros[i].data(), m_program->Macros[i].size(), 32));
}

void TSimInstrument::UpdateRun() {
    if (!m_run || (m_phase != Phase::Waiting && m_phase != Phase::Measuring))
        return;
    const double since = m_now - m_run->Begin;
    if (since < m_opt.TriggerWait) {
        m_phase = Phase::Waiting;
        return;
    }
    m_phase = Phase::Measuring;
    const double programTime = m_run->SimStart + (since - m_opt.TriggerWait) * m_opt.Speed;
    if (programTime < m_program->EndTime())
        return;
    // The leaf keeps what the program did to it, the analog outputs the levels
    // its macros left.
    TSimPlant plant = m_run->Start;
    TSimLights lights = m_run->Lights;
    double t = m_run->SimStart;
    size_t ev = 0, macro = 0;
    Replay(plant, lights, t, ev, macro, m_program->EndTime(), true);
    m_plant = plant;
    m_lights.Level = lights.Level;
    m_run->Finished = true;
    m_phase = Phase::DataReady;
    Log("  run " + std::to_string(m_run->Number) + " finished; data ready");
}

void TSimInstrument::Replay(TSimPlant &plant, TSimLights &lights, double &t, size_t &ev, size_t &macro, double until,
                            bool log) const {
    const auto &events = m_program->Events;
    const auto &runs = m_run->Macros;
    while (ev < events.size() && events[ev].Time <= until) {
        plant.Advance(events[ev].Time - t, lights);
        t = events[ev].Time;
        lights.Lines = events[ev].State;
        ++ev;
        for (; macro < runs.size() && runs[macro].Time <= t; ++macro)
            for (size_t k : runs[macro].Entries) {
                const std::vector<uint8_t> &m = m_program->Macros[k];
                const std::string set = lights.RunMacro(m.data(), m.size(), m_const.MaxDAValue);
                if (log && !set.empty()) {
                    char at[40];
                    std::snprintf(at, sizeof at, "  macro at %.6g s: ", t);
                    Log(at + set);
                }
            }
    }
}

std::vector<int16_t> TSimInstrument::RunSamples(char channel, int32_t count, bool &clipped) {
    std::vector<int16_t> out;
    clipped = false;
    if (!m_run || !m_run->Finished || !m_program) {
        Log("  no measured data; sending zeros");
        out.assign(size_t(std::max(count, 0)), 0);
        return out;
    }
    const uint16_t line = channel == 'A' ? kLineMeasuringA : kLineMeasuringB;
    const std::optional<int32_t> &planned = channel == 'A' ? m_program->SlotsA : m_program->SlotsB;
    const int32_t slots = planned ? *planned : count;
    std::vector<double> at = SampleInstants(*m_program, line, m_const.SampleDistance, slots);
    std::vector<size_t> order(at.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return at[a] < at[b]; });

    TSimChannel ch = channel == 'A' ? m_run->A : m_run->B;
    std::mt19937 rng(m_opt.Seed * 7919u + m_run->Number * 131u + uint32_t(channel));
    TSimPlant plant = m_run->Start;
    TSimLights lights = m_run->Lights;
    double t = m_run->SimStart;
    size_t ev = 0, macro = 0;
    std::vector<int16_t> values(at.size());
    for (size_t i : order) {
        Replay(plant, lights, t, ev, macro, at[i], false);
        plant.Advance(at[i] - t, lights);
        t = at[i];
        const double signal = channel == 'A' ? plant.Fluorescence() : plant.SignalB();
        values[i] = ch.Sample(signal, lights.Lines & kLineDetector, plant.Params().Noise, rng);
    }
    out.assign(values.begin(), values.begin() + std::min<std::ptrdiff_t>(std::ptrdiff_t(values.size()), count));
    clipped = ch.Clipped; // any slot out of range, sent or not
    if (int32_t(out.size()) < count) {
        Log("  " + std::to_string(count - int32_t(out.size())) + " samples asked beyond the " +
            std::to_string(values.size()) + " measured; sending zeros");
        out.resize(size_t(count), 0);
    }
    return out;
}

void TSimInstrument::StartDownload(char channel, size_t n) {
    m_outOfRange.reset();
    bool clipped = false;
    const std::vector<int16_t> samples = RunSamples(channel, int32_t((n + 1) / 2), clipped);
    Download d;
    d.Channel = channel;
    d.Data.resize(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        d.Data[2 * i] = uint8_t(uint16_t(samples[i]));
        d.Data[2 * i + 1] = uint8_t(uint16_t(samples[i]) >> 8);
    }
    d.Data.resize(n);
    d.Full = n / size_t(BlockSize());
    d.Clipped = clipped;
    const size_t rest = n % size_t(BlockSize());
    const std::vector<uint8_t> header = {'S', 'D', 'A', uint8_t(rest), uint8_t(rest >> 8), uint8_t(d.Full)};
    const int repliesBefore = m_replies;
    Reply(header, "SDA " + Hex(header.data() + 3, 3) + " (" + std::to_string(n) + " bytes of channel " + channel + ")");
    if (m_replies == repliesBefore)
        return; // header lost: the program gives up on this transfer
    m_download = std::move(d);
    SendBlock();
}

void TSimInstrument::SendBlock() {
    Download &d = *m_download;
    const size_t B = size_t(BlockSize());
    const size_t from = d.Index * B;
    const size_t len = d.Index < d.Full ? B : d.Data.size() - from;
    uint8_t sum = Sum(d.Data.data() + from, len);
    ++m_downloadBlocks;
    ++d.Attempts;
    std::string fault;
    const bool chance = m_opt.Faults.BadChecksumRate > 0 &&
                        std::uniform_real_distribution<double>(0.0, 1.0)(m_rng) < m_opt.Faults.BadChecksumRate;
    if (m_opt.Faults.BadChecksumBlocks.count(m_downloadBlocks) || chance) {
        sum = uint8_t(sum + 1);
        fault = " (fault: wrong checksum)";
    }
    const int64_t hang = m_opt.Faults.HangupAfter;
    if (hang >= 0 && !m_hungUp && int64_t(d.Sent + len) > hang) {
        const size_t part = size_t(std::max<int64_t>(0, hang - int64_t(d.Sent)));
        Emit(std::vector<uint8_t>(d.Data.begin() + std::ptrdiff_t(from), d.Data.begin() + std::ptrdiff_t(from + part)));
        Log("< (fault: hang-up after " + std::to_string(d.Sent + part) + " bytes of the transfer)");
        m_hungUp = true;
        m_download.reset();
        return;
    }
    std::vector<uint8_t> block(d.Data.begin() + std::ptrdiff_t(from), d.Data.begin() + std::ptrdiff_t(from + len));
    block.push_back(sum);
    Emit(block);
    d.Sent += len;
    char note[120];
    std::snprintf(note, sizeof note, "< %s block %zu of %zu, %zu bytes, checksum %02X%s",
                  d.Index < d.Full ? "data" : "rest", d.Index + 1, d.Full + 1, len, sum,
                  d.Attempts > 1 ? " (resent)" : "");
    Log(note + fault);
}

void TSimInstrument::FeedDownloadAnswer() {
    Download &d = *m_download;
    const uint8_t first = m_in[0];
    if (first != 'O' && first != 'E') {
        Log("  transfer of channel " + std::string(1, d.Channel) + " abandoned by the program");
        FinishDownload(false);
        return;
    }
    if (m_in.size() < 2)
        return;
    const std::string answer(m_in.begin(), m_in.begin() + 2);
    if (answer != "OK" && answer != "ER") {
        Log("  transfer of channel " + std::string(1, d.Channel) + " abandoned by the program");
        FinishDownload(false);
        return;
    }
    m_in.erase(m_in.begin(), m_in.begin() + 2);
    m_inSince = m_now;
    Log("> \"" + answer + "\"");
    if (answer == "ER") {
        if (d.Attempts >= kResendLimit) {
            Log("  block refused " + std::to_string(kResendLimit) + " times; transfer ends");
            FinishDownload(false);
            return;
        }
        SendBlock();
        return;
    }
    if (d.Index == d.Full) {
        FinishDownload(true);
        return;
    }
    ++d.Index;
    d.Attempts = 0;
    SendBlock();
}

void TSimInstrument::FinishDownload(bool complete) {
    const Download d = std::move(*m_download);
    m_download.reset();
    if (!complete || !m_run)
        return;
    (d.Channel == 'A' ? m_run->FetchedA : m_run->FetchedB) = true;
    if (d.Clipped) {
        m_outOfRange = d.Channel;
        Log("  channel " + std::string(1, d.Channel) + " had samples out of range");
    }
    if (m_phase == Phase::DataReady && m_run->FetchedA && m_run->FetchedB) {
        m_phase = Phase::Ready;
        Log("  both channels read; ready");
    }
}

TSimLights TSimInstrument::LiveLights() const {
    TSimLights l = m_lights;
    for (int line = 0; line < 16; ++line)
        if (m_pulseEnd[line] > m_now)
            l.Lines |= uint16_t(1u << line);
    return l;
}

void TSimInstrument::MonitorTick() {
    TSimChannel a = m_chA, b = m_chB;
    a.Measuring = b.Measuring = 0.5 + 0.5 * m_lights.Level[1];
    const bool detector = LiveLights().Lines & kLineDetector;
    const double noise = m_plant.Params().Noise;
    const int16_t va = a.Sample(m_monitorFlash ? m_plant.Fluorescence() : 0.0, detector, noise, m_rng);
    const int16_t vb = b.Sample(m_monitorFlash ? m_plant.SignalB() : 0.0, detector, noise, m_rng);
    const uint16_t ua = uint16_t(va), ub = uint16_t(vb);
    if (UsesPacketMonitor(m_type)) {
        std::vector<uint8_t> pkt = {
            'S', 'D', 'M', 2, 1, uint8_t(ua), uint8_t(ua >> 8), 2, uint8_t(ub), uint8_t(ub >> 8)};
        pkt.push_back(Sum(pkt.data() + 4, 6));
        Emit(pkt);
    } else {
        Emit({uint8_t(ua), uint8_t(ua >> 8), uint8_t(ub), uint8_t(ub >> 8)});
    }
}

void TSimInstrument::StartSelfTest() {
    // The report comes in pieces, as the instrument checks one part after the other.
    std::vector<std::vector<uint8_t>> parts;
    auto text = [&](const std::string &s) {
        std::vector<uint8_t> b = {'#'};
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
        parts.push_back(std::move(b));
    };
    auto num16 = [&](int v) { parts.push_back({'!', uint8_t(uint16_t(v)), uint8_t(uint16_t(v) >> 8)}); };
    auto num32 = [&](int32_t v) {
        const uint32_t u = uint32_t(v);
        parts.push_back({'"', uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)});
    };
    const auto v = VersionBytes();
    char head[80];
    std::snprintf(head, sizeof head, "Self test of %.*s version %d.%d.%d.%d\r\n", int(Device().Ident.size()),
                  Device().Ident.data(), v[0], v[1], v[2], v[3]);
    text(head);
    std::normal_distribution<double> jitter(0.0, 3.0);
    text("Supply voltage [mV]: ");
    num16(5000 + int(std::lrint(jitter(m_rng))));
    text("\r\nDetector A dark level: ");
    num16(int(std::lrint(jitter(m_rng))));
    text("\r\nDetector B dark level: ");
    num16(int(std::lrint(jitter(m_rng))));
    text("\r\nEvent memory [events]: ");
    num32(m_const.MaxEvents);
    text("\r\nSample memory A [samples]: ");
    num32(m_const.MaxASamples);
    text("\r\nSample memory B [samples]: ");
    num32(m_const.MaxBSamples);
    text("\r\nMeasuring flash A: OK\r\nMeasuring flash B: OK\r\nSaturating flash: OK\r\n");
    text("Actinic light 1: OK\r\nActinic light 2: OK\r\nFar-red light: OK\r\n");
    text("Self test passed\r\n");
    parts.push_back({'~'}); // end of the stream
    const double step = 0.1;
    for (size_t i = 0; i < parts.size(); ++i)
        Schedule(step * double(i), std::move(parts[i]), {});
    m_testing = true;
    m_testEnd = m_now + step * double(parts.size() - 1);
    Log("< self test report follows");
}

void TSimInstrument::Advance(double seconds) {
    const double target = m_now + std::max(seconds, 0.0);
    const double period = 1.0 / std::max(m_opt.MonitorRate, 0.1);
    for (;;) {
        double next = target;
        if (m_monitorOn)
            next = std::min(next, m_monitorNext);
        for (double end : m_pulseEnd)
            if (end > m_now)
                next = std::min(next, end);
        if (!m_timed.empty())
            next = std::min(next, std::max(m_timed.front().Due, m_now));
        if (m_phase != Phase::Waiting && m_phase != Phase::Measuring)
            m_plant.Advance(next - m_now, LiveLights());
        m_now = next;
        while (!m_timed.empty() && m_timed.front().Due <= m_now) {
            Timed t = std::move(m_timed.front());
            m_timed.pop_front();
            Emit(t.Bytes);
            if (!t.Note.empty())
                Log("< " + t.Note);
        }
        if (m_testing && m_now >= m_testEnd) {
            m_testing = false;
            Log("< self test report sent");
        }
        if (m_monitorOn && m_monitorNext <= m_now) {
            MonitorTick();
            m_monitorNext += period;
            if (m_monitorNext <= m_now) // after a long pause, skip what was missed
                m_monitorNext = m_now + period;
        }
        UpdateRun();
        if (m_now >= target)
            break;
    }
    if (m_opt.Faults.NoiseRate > 0 && !m_lineDown) {
        m_noiseCredit += std::max(seconds, 0.0) * m_opt.Faults.NoiseRate;
        std::vector<uint8_t> noise;
        for (; m_noiseCredit >= 1.0; m_noiseCredit -= 1.0)
            noise.push_back(uint8_t(m_rng()));
        if (!noise.empty()) {
            Emit(noise);
            Log("< (fault: noise) " + Hex(noise.data(), noise.size()));
        }
    }
    if (m_upload && m_now - m_uploadActivity > kUploadTimeout) {
        Log("  " + m_upload->Mnemonic + " abandoned: no data for " + std::to_string(kUploadTimeout) + " s after " +
            std::to_string(m_upload->Data.size() + m_upload->Block.size()) + " bytes");
        m_upload.reset();
        ParseInput();
    }
    // An incomplete command that never completes is line noise.
    while (!m_upload && !m_download && !m_in.empty() && m_now - m_inSince > kPartialTimeout) {
        m_ignored.push_back(m_in.front());
        m_in.erase(m_in.begin());
        m_inSince = m_now;
        ParseInput();
    }
    FlushIgnored();
}

} // namespace tessel::sim
