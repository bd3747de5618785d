// The _tessel extension: experiment files and their analysis for Python,
// through the program's own reader, writer, long table and analysis. The
// pure-Python package (tessel/__init__.py) builds pandas and xarray objects
// on top of what this gives.

// Python's headers first: Qt's "slots" keyword would clash with them.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "app/MeasurementAnalysis.h"
#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "data/Experiment.h"
#include "data/ExperimentFile.h"
#include "device/DeviceTypes.h"
#include "output/LongCsvExport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <optional>

namespace py = pybind11;
using namespace tessel;

namespace {

// Raised with the program's own message; the Python side names it
// tessel.TesselError.
struct EModuleError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct EFileError : EModuleError {
    using EModuleError::EModuleError;
};

QString qs(const std::string &s) {
    return QString::fromStdString(s);
}
std::string ss(const QString &s) {
    return s.toStdString();
}

// Messages the library shows while a call runs, joined for an exception.
class TCollectedMessages {
public:
    TCollectedMessages() : m_scope(&m_said) {}
    QString Errors(const QString &suffix) const {
        QStringList lines;
        for (const auto &e : m_said.entries)
            lines << e.text + suffix;
        return lines.join(QLatin1Char('\n'));
    }

private:
    TKeptMessages m_said;
    ScopedMessageService m_scope;
};

// The protocol language's work file and library, once per interpreter: the
// marks and the analysis compile each measurement's protocol.
void EnsureCompiler() {
    static QTemporaryDir *work = nullptr;
    if (!work) {
        work = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/tessel-py-XXXXXX"));
        if (work->isValid())
            TCompiler::SetWorkFilePath(work->filePath(kWorkFileName));
        // The folder goes when the interpreter ends.
        py::module_::import("atexit").attr("register")(py::cpp_function([] {
            TCompiler::SetWorkFilePath(QString());
            delete work;
            work = nullptr;
        }));
    }
    if (CompilerLibrary())
        return;
    TCollectedMessages said;
    std::unique_ptr<ICompilerLibrary> lib = LoadCompilerLibrary(AppPaths::libraryDir());
    if (!lib)
        throw EModuleError(ss(said.Errors({})));
    SetCompilerLibrary(std::move(lib));
}

// An experiment and what Python holds of it. Removed measurements stay
// alive here, so that arrays handed out over their samples never dangle and
// no new measurement can take a removed one's address.
struct TExperimentHandle {
    TExperimentModel Model;
    QString Path;
    std::vector<std::unique_ptr<TMeasurementRecord>> Removed;
    std::optional<TMeasurementAnalyser> Analyser;

    TMeasurementAnalyser &Analyser_() {
        if (!Analyser)
            Analyser.emplace(AppPaths::iniPath());
        return *Analyser;
    }
};
using THandle = std::shared_ptr<TExperimentHandle>;

// A completed record of an experiment, found anew on each use so that a
// removed measurement raises instead of reading freed memory.
struct TMeasurementRef {
    THandle H;
    const TMeasurementRecord *Rec;

    int Index() const {
        for (int i = 1; i < H->Model.RecordCount(); ++i)
            if (&H->Model.Record(i) == Rec)
                return i;
        throw EModuleError("the measurement is no longer in its experiment");
    }
    TMeasurementRecord &Record() const { return H->Model.Record(Index()); }
};

struct TChannelRef {
    TMeasurementRef M;
    int C;
    const TChannel &Channel() const { return M.Record().Channel(C); }
    int32_t Count() const {
        const TChannel &ch = Channel();
        return std::max(0, std::min({ch.Set->Count(), ch.X->Count(), ch.Y->Count()}));
    }
};

py::capsule KeepAlive(const THandle &h) {
    return py::capsule(new THandle(h), [](void *p) { delete static_cast<THandle *>(p); });
}

// True when the vector's values are its stored elements: every level of its
// chain is linear and off or 1·x + 0 (which differs from x only by the sign
// of a zero).
bool ShowsStored(const TVector &v) {
    for (const TTransformation *t = v.Transformation(); t;) {
        const auto *lin = dynamic_cast<const TLinTransformation *>(t);
        if (!lin || (lin->Enabled && (lin->MulKoef != 1 || lin->AddKoef != 0)))
            return false;
        t = lin->TransformBefore();
    }
    return true;
}

// A read-only array over the vector's storage, keeping the experiment alive.
template <typename T> py::array_t<T> View(const TChannelRef &c, const T *items) {
    py::array_t<T> a({py::ssize_t(c.Count())}, {py::ssize_t(sizeof(T))}, items, KeepAlive(c.M.H));
    a.attr("setflags")(py::arg("write") = false);
    return a;
}

// Displayed values of a vector's first n elements, through its transformation chain.
py::array_t<double> Displayed(const TVector &v, int32_t n) {
    py::array_t<double> out(n);
    v.Values(0, n, out.mutable_data());
    return out;
}

py::object DateTime(double days) {
    const std::optional<QDateTime> t = DateTimeFromDays(days);
    if (!t)
        return py::none();
    const QDate d = t->date();
    const QTime tm = t->time();
    return py::module_::import("datetime")
        .attr("datetime")(d.year(), d.month(), d.day(), tm.hour(), tm.minute(), tm.second(), tm.msec() * 1000);
}

double DaysOf(const py::handle &when) {
    const int us = when.attr("microsecond").cast<int>();
    const QDateTime t(
        QDate(when.attr("year").cast<int>(), when.attr("month").cast<int>(), when.attr("day").cast<int>()),
        QTime(when.attr("hour").cast<int>(), when.attr("minute").cast<int>(), when.attr("second").cast<int>(),
              us / 1000),
        Qt::UTC);
    if (!t.isValid())
        throw py::value_error("not a valid date-time");
    // The file keeps milliseconds.
    return DaysFromDateTime(t);
}

std::map<std::string, std::string> Variables(const TMeasurementRecord &r) {
    std::map<std::string, std::string> out;
    const qsizetype n = std::min(r.VarNames.size(), r.VarValues.size());
    for (qsizetype i = 0; i < n; ++i)
        if (!r.VarNames[i].startsWith(kMetaPrefix))
            out[ss(r.VarNames[i])] = ss(r.VarValues[i]);
    return out;
}

std::vector<std::pair<std::string, std::string>> MetadataList(const TMeasurementRecord &r) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto &[k, v] : Metadata(r))
        out.emplace_back(ss(k), ss(v));
    return out;
}

// Variables first, in the caller's order, then the metadata rows as they were.
void SetVariables(TMeasurementRecord &r, const std::vector<std::pair<std::string, std::string>> &vars) {
    QStringList names, values;
    for (const auto &[k, v] : vars) {
        if (qs(k).startsWith(kMetaPrefix))
            throw py::value_error("variable names starting with 'meta:' are metadata; set them through metadata");
        names << qs(k);
        values << qs(v);
    }
    for (qsizetype i = 0; i < std::min(r.VarNames.size(), r.VarValues.size()); ++i)
        if (r.VarNames[i].startsWith(kMetaPrefix)) {
            names << r.VarNames[i];
            values << r.VarValues[i];
        }
    r.VarNames = names;
    r.VarValues = values;
}

void SetMetadataList(TMeasurementRecord &r, const std::vector<std::pair<std::string, std::string>> &meta) {
    for (const auto &[k, v] : meta)
        if (!IsMetadataKey(qs(k)))
            throw py::value_error("metadata keys are letters, digits, '_', '-' and '.': '" + k + "'");
    for (const auto &kv : Metadata(r))
        SetMetadata(r, kv.first, QString());
    for (const auto &[k, v] : meta)
        SetMetadata(r, qs(k), qs(v));
}

QString Lines(const QStringList &l) {
    return l.join(QLatin1Char('\n'));
}
QStringList SplitLines(const std::string &s) {
    if (s.empty())
        return {};
    QString text = qs(s);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text.split(QLatin1Char('\n'));
}

py::dict ConditionsDict(const TConditions &c) {
    py::dict d;
    d["log_x"] = bool(c.LogX);
    d["sens_a"] = c.SensA;
    d["sens_b"] = c.SensB;
    d["gain_a"] = c.GainA;
    d["offset_a"] = c.OffsetA;
    d["gain_b"] = c.GainB;
    d["offset_b"] = c.OffsetB;
    return d;
}

TConditions ConditionsFrom(const py::dict &d, TConditions c) {
    auto byte = [&](const char *key, uint8_t &out) {
        if (d.contains(key)) {
            const int v = d[key].cast<int>();
            if (v < 0 || v > 255)
                throw py::value_error(std::string(key) + " must lie in 0 .. 255");
            out = uint8_t(v);
        }
    };
    for (const auto &item : d) {
        static const std::vector<std::string> known{"log_x",    "sens_a", "sens_b",  "gain_a",
                                                    "offset_a", "gain_b", "offset_b"};
        const std::string key = item.first.cast<std::string>();
        if (std::find(known.begin(), known.end(), key) == known.end())
            throw py::key_error("unknown condition '" + key + "'");
    }
    if (d.contains("log_x"))
        c.LogX = d["log_x"].cast<bool>() ? 1 : 0;
    byte("sens_a", c.SensA);
    byte("sens_b", c.SensB);
    byte("gain_a", c.GainA);
    byte("offset_a", c.OffsetA);
    byte("gain_b", c.GainB);
    byte("offset_b", c.OffsetB);
    return c;
}

// The long table and the marks do without the protocol language (the marks
// are then empty), as the command line's export does.
void TryCompiler() {
    try {
        EnsureCompiler();
    } catch (const EModuleError &) {
    }
}

THandle Read(const std::string &path) {
    auto h = std::make_shared<TExperimentHandle>();
    h->Path = qs(path);
    TCollectedMessages said;
    bool ok = false;
    try {
        ok = LoadExperimentFile(h->Model, h->Path);
    } catch (const std::exception &e) {
        throw EFileError(std::string(e.what()) + ": " + path);
    }
    if (!ok) {
        const QString why = said.Errors(QStringLiteral(": ") + h->Path);
        throw EFileError(why.isEmpty() ? "cannot read '" + path + "'" : ss(why));
    }
    return h;
}

void Write(const THandle &h, const std::string &path) {
    TCollectedMessages said;
    if (!SaveExperimentFile(h->Model, qs(path))) {
        const QString why = said.Errors(QStringLiteral(": ") + qs(path));
        throw EFileError(why.isEmpty() ? "cannot write '" + path + "'" : ss(why));
    }
}

// Completed measurement n (1 = the oldest).
TMeasurementRef Measurement(const THandle &h, int n) {
    const int r = RecordOfMeasurement(h->Model, n);
    if (r < 0)
        throw py::index_error("no measurement " + std::to_string(n));
    return {h, &h->Model.Record(r)};
}

// A new completed measurement from (t, raw) per channel.
TMeasurementRef AddMeasurement(const THandle &h, py::array_t<double, py::array::c_style | py::array::forcecast> tA,
                               py::array_t<int16_t, py::array::c_style | py::array::forcecast> rawA,
                               py::array_t<double, py::array::c_style | py::array::forcecast> tB,
                               py::array_t<int16_t, py::array::c_style | py::array::forcecast> rawB,
                               const py::object &when, int deviceType, const std::string &protocol) {
    if (tA.ndim() != 1 || rawA.ndim() != 1 || tB.ndim() != 1 || rawB.ndim() != 1)
        throw py::value_error("t and raw are one-dimensional");
    if (tA.size() != rawA.size() || tB.size() != rawB.size())
        throw py::value_error("t and raw of a channel must have the same length");
    if (deviceType < 0 || deviceType > 255)
        throw py::value_error("device_type must lie in 0 .. 255");
    TExperimentModel &m = h->Model;
    const int32_t n[2] = {int32_t(tA.size()), int32_t(tB.size())};
    m.PrepareMeasurementDataSets(n[0], n[1]);
    TMeasurementRecord &r = m.Current();
    const double *t[2] = {tA.data(), tB.data()};
    const int16_t *raw[2] = {rawA.data(), rawB.data()};
    for (int c = 0; c < 2; ++c) {
        TChannel &ch = r.Channel(c);
        ch.Set->SetCount(n[c]);
        for (int32_t i = 0; i < n[c]; ++i) {
            ch.X->SetItem(i, t[c][i]);
            ch.Y->SetItem(i, raw[c][i]);
        }
    }
    TConditions cond;
    cond.LogX = m.LogarithmicX ? 1 : 0;
    const double days = when.is_none() ? NowDays() : DaysOf(when);
    m.RecordMeasurement(days, uint8_t(deviceType), cond, SplitLines(protocol), {}, {});
    return {h, &m.Record(1)};
}

QString AnalysisTable(const std::vector<THandle> &experiments, const std::string &ini, const std::string &include,
                      const std::string &fit) {
    std::optional<TLightCurveModel> model;
    if (!fit.empty()) {
        model = LightCurveModelFromName(qs(fit));
        if (!model)
            throw py::value_error("unknown light-curve model '" + fit + "' (Platt, EilersPeeters, JassbyPlatt)");
    }
    EnsureCompiler();
    const QString iniPath = ini.empty() ? AppPaths::iniPath() : qs(ini);
    if (!ini.empty() && !QFileInfo(iniPath).isFile())
        throw EFileError("no such file '" + ini + "'");
    TCollectedMessages said;
    TMeasurementAnalyser analyser(iniPath, qs(include));
    analyser.SetLightCurveModel(model);
    std::vector<TAnalysedExperiment> files;
    for (const THandle &h : experiments)
        files.push_back({h->Path, &h->Model, analyser.AnalyseAll(h->Model)});
    return AnalysisCsv(files);
}

} // namespace

PYBIND11_MODULE(_tessel, m) {
    m.doc() = "The program's experiment reader, writer and analysis (use the tessel package).";
    static py::exception<EModuleError> error(m, "TesselError", PyExc_Exception);
    static py::exception<EFileError> fileError(m, "FileError", error.ptr());
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const EFileError &e) {
            fileError(e.what());
        } catch (const EModuleError &e) {
            error(e.what());
        } catch (const ETesselError &e) {
            error(e.what());
        }
    });

    // The long table's marks come from the analysis, as in the program.
    InstallExportParameters();

    m.def("set_program_dir", [](const std::string &dir) { AppPaths::setProgramDir(qs(dir)); });
    m.def("program_dir", [] { return ss(AppPaths::programDir()); });
    m.def("data_dir", [] { return ss(AppPaths::dataDir()); });
    m.attr("INSTALLED_PROGRAM_DIR") = TESSEL_PY_INSTALLED_PROGRAM_DIR;

    py::class_<TExperimentHandle, THandle>(m, "ExperimentCore")
        .def(py::init([] {
            auto h = std::make_shared<TExperimentHandle>();
            return h;
        }))
        .def_property(
            "title", [](const THandle &h) { return ss(h->Model.Title); },
            [](const THandle &h, const std::string &s) { h->Model.Title = qs(s); })
        .def_property(
            "notes", [](const THandle &h) { return ss(Lines(h->Model.Description)); },
            [](const THandle &h, const std::string &s) { h->Model.Description = SplitLines(s); })
        .def_property(
            "protocol", [](const THandle &h) { return ss(Lines(h->Model.Protocol)); },
            [](const THandle &h, const std::string &s) { h->Model.Protocol = SplitLines(s); })
        .def_property(
            "path", [](const THandle &h) { return ss(h->Path); },
            [](const THandle &h, const std::string &s) { h->Path = qs(s); })
        .def_property_readonly("measurement_counter", [](const THandle &h) { return h->Model.MeasurementCounter; })
        .def_property_readonly("count", [](const THandle &h) { return h->Model.RecordCount() - 1; })
        .def("measurement", &Measurement)
        .def("remove",
             [](const THandle &h, int n) {
                 const int r = RecordOfMeasurement(h->Model, n);
                 if (r < 0)
                     throw py::index_error("no measurement " + std::to_string(n));
                 h->Removed.push_back(h->Model.TakeRecord(r));
             })
        .def("add", &AddMeasurement)
        .def("long_table", [](const THandle &h) {
            TryCompiler();
            TCollectedMessages said;
            return ss(TLongCsvExport(h->Model, h->Path).Text());
        });

    py::class_<TMeasurementRef>(m, "MeasurementCore")
        .def_property_readonly("number",
                               [](const TMeasurementRef &r) { return MeasurementNumber(r.H->Model, r.Index()); })
        .def_property(
            "time", [](const TMeasurementRef &r) { return DateTime(r.Record().Time); },
            [](const TMeasurementRef &r, const py::object &t) { r.Record().Time = DaysOf(t); })
        .def_property_readonly("days", [](const TMeasurementRef &r) { return r.Record().Time; })
        .def_property(
            "device_type", [](const TMeasurementRef &r) { return int(r.Record().DeviceType); },
            [](const TMeasurementRef &r, int d) {
                if (d < 0 || d > 255)
                    throw py::value_error("device_type must lie in 0 .. 255");
                r.Record().DeviceType = uint8_t(d);
            })
        .def_property_readonly("device",
                               [](const TMeasurementRef &r) -> std::string {
                                   const uint8_t d = r.Record().DeviceType;
                                   return d < kDeviceCount ? DeviceInfo(TDevice(d)).name : "?";
                               })
        .def_property(
            "conditions", [](const TMeasurementRef &r) { return ConditionsDict(r.Record().Conditions); },
            [](const TMeasurementRef &r, const py::dict &d) {
                r.Record().Conditions = ConditionsFrom(d, r.Record().Conditions);
            })
        .def_property(
            "protocol", [](const TMeasurementRef &r) { return ss(Lines(r.Record().Protocol)); },
            [](const TMeasurementRef &r, const std::string &s) { r.Record().Protocol = SplitLines(s); })
        .def_property(
            "variables", [](const TMeasurementRef &r) { return Variables(r.Record()); },
            [](const TMeasurementRef &r, const std::vector<std::pair<std::string, std::string>> &v) {
                SetVariables(r.Record(), v);
            })
        .def_property(
            "metadata", [](const TMeasurementRef &r) { return MetadataList(r.Record()); },
            [](const TMeasurementRef &r, const std::vector<std::pair<std::string, std::string>> &v) {
                SetMetadataList(r.Record(), v);
            })
        .def("marks",
             [](const TMeasurementRef &r) {
                 TryCompiler();
                 TCollectedMessages said;
                 const TMeasurementRecord &rec = r.Record();
                 std::array<std::vector<std::string>, 2> out;
                 const auto marks = SampleMarks(r.H->Analyser_().Marks(rec), rec);
                 for (size_t c = 0; c < 2; ++c)
                     for (const QString &s : marks[c])
                         out[c].push_back(ss(s));
                 return out;
             })
        .def("channel", [](const TMeasurementRef &r, int c) {
            if (c != 0 && c != 1)
                throw py::index_error("channels are 0 (A) and 1 (B)");
            return TChannelRef{r, c};
        });

    py::class_<TChannelRef>(m, "ChannelCore")
        .def_property_readonly("count", &TChannelRef::Count)
        .def_property_readonly("t",
                               [](const TChannelRef &c) {
                                   // Times are mostly stored as shown: no copy then.
                                   const TVector &x = *c.Channel().X;
                                   if (const auto *d = dynamic_cast<const TDoubleVector *>(&x); d && ShowsStored(x))
                                       return View(c, d->Items());
                                   return Displayed(x, c.Count());
                               })
        .def_property_readonly("values", [](const TChannelRef &c) { return Displayed(*c.Channel().Y, c.Count()); })
        .def_property_readonly("raw",
                               [](const TChannelRef &c) {
                                   // The stored samples, no copy.
                                   return View(c, static_cast<const TIntVector *>(c.Channel().Y.get())->Items());
                               })
        .def_property_readonly("caption", [](const TChannelRef &c) { return ss(c.Channel().Set->Caption); })
        .def_property(
            "signal_per_count", [](const TChannelRef &c) { return c.Channel().Base->MulKoef; },
            [](const TChannelRef &c, double v) { c.M.Record().Channel(c.C).Base->MulKoef = v; })
        .def_property(
            "multiplication", [](const TChannelRef &c) { return c.Channel().Mul->MulKoef; },
            [](const TChannelRef &c, double v) { c.M.Record().Channel(c.C).Mul->MulKoef = v; })
        .def_property(
            "shift", [](const TChannelRef &c) { return c.Channel().Shift->AddKoef; },
            [](const TChannelRef &c, double v) { c.M.Record().Channel(c.C).Shift->AddKoef = v; });

    m.def("read", &Read, py::arg("path"));
    m.def("write", &Write, py::arg("experiment"), py::arg("path"));
    m.def("analysis_table", [](const std::vector<THandle> &e, const std::string &ini, const std::string &include,
                               const std::string &fit) { return ss(AnalysisTable(e, ini, include, fit)); });
    m.def("load_only", [](const std::string &path) {
        // The library's load alone, for timing against the arrays.
        TExperimentModel model;
        TCollectedMessages said;
        return LoadExperimentFile(model, qs(path));
    });
}
