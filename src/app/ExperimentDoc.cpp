#include "app/ExperimentDoc.h"

#include "common/Errors.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "common/NumberText.h"
#include "data/ExperimentFile.h"
#include "graph/AxisTr.h"
#include "graph/GraphModel.h"
#include "settings/EnvSetup.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace tessel {

const std::array<int, xcColumnCount> kExperimentColumnWidths = {35, 36, 109, 48, 33, 56, 85, 65, 35,
                                                                36, 37, 40,  70, 64, 64, 39, 37, 35};

QStringList ExperimentTableTitles() {
    return {QString(),
            QStringLiteral("Show"),
            QStringLiteral("Caption"),
            QStringLiteral("Style"),
            QStringLiteral("Mark"),
            QStringLiteral("Mark size"),
            QStringLiteral("Line style"),
            QStringLiteral("Thickness"),
            QStringLiteral("Color"),
            QStringLiteral("Brush"),
            QStringLiteral("Points"),
            QStringLiteral("YShift"),
            QStringLiteral("Multiplication"),
            QStringLiteral("Time"),
            QStringLiteral("Device"),
            QStringLiteral("Gain"),
            QStringLiteral("Offset"),
            QStringLiteral("Sens")};
}

std::optional<double> ParseScaleText(const QString &text) {
    const std::optional<double> parsed = ParseFloat(text);
    if (!parsed || !std::isfinite(*parsed))
        return std::nullopt;
    const double v = std::clamp(*parsed, -1e6, 1e6);
    return std::nearbyint(v * 1e9) / 1e9;
}

TABPairing ABPairing(const TDependency &a, const TDependency &b) {
    const int32_t na = a.Count(), nb = b.Count();
    if (na < 1 || nb < 1 || na > nb || !a.Y || !b.Y)
        return {};
    return {na, nb - na};
}

QString SheetCaption(const TMeasurementRecord &r) {
    auto part = [](const char *channel, const TDependency &d) {
        return QLatin1String(channel) + (d.Count() > 0 ? d.Caption : QStringLiteral("Empty"));
    };
    return part("A: ", *r.A.Set) + QLatin1Char('\n') + part("B: ", *r.B.Set);
}

// The record's curve on the A/B page, shown in A's colour. Its points are
// read from the channels when drawn: opening an experiment would otherwise
// copy every sample of every record before the first paint.
struct TExperimentDoc::TABSeries {
    explicit TABSeries(const TMeasurementRecord &r) {
        X.OnCalcItem = [&r](const TVirtualVector &, int32_t i, double &v) { v = r.A.Set->Y->Value(i); };
        Y.OnCalcItem = [&r, this](const TVirtualVector &, int32_t i, double &v) {
            v = r.B.Set->Y->Value(Pairing.Offset + i);
        };
    }
    TVirtualVector X, Y;
    TDependency Set{&X, &Y};
    TABPairing Pairing;
};

TExperimentDoc::TExperimentDoc(TCompiler &compiler, TEnvSetup &env, const QString &includeBase, TDevice device,
                               const TChannelScaling &scaling)
    : Model(scaling), Protocol(compiler, env, includeBase, device), m_env(env) {
    FileOp.FileName = QStringLiteral("NoName.exp");
    FileOp.ForceSaveAs = true;
    const TFileDialogSetup dialog{QStringLiteral("Save"), QStringLiteral("Experiment Files|*.exp"),
                                  QStringLiteral("*.exp"), QString()};
    FileOp.SaveDialog = dialog;
}

TExperimentDoc::~TExperimentDoc() {
    // The graphs outlive the document only in tests; either way nothing is
    // left in them that points here.
    m_quiet = true;
    detachAll();
    if (m_graph)
        m_graph->OnRemoveDependency = nullptr;
    for (TGraphModel *g : {m_graph, m_ab})
        if (g)
            g->LegendText = nullptr;
}

void TExperimentDoc::detachAll() {
    for (auto &[record, series] : m_abSeries)
        if (m_ab)
            m_ab->RemoveDependency(&series->Set);
    m_abSeries.clear();
    if (m_graph)
        for (int i = 0; i < Model.RecordCount(); ++i)
            for (int c = 0; c < 2; ++c)
                m_graph->RemoveDependency(Model.Record(i).Channel(c).Set.get());
}

void TitleExperimentGraphs(TGraphModel &graph, TGraphModel &ab, const QString &unit) {
    graph.XTitle = {QStringLiteral("Time"), QStringLiteral("s")};
    graph.YTitle = {QStringLiteral("Fluorescence"), unit};
    ab.XTitle = {QStringLiteral("Channel A"), unit};
    ab.YTitle = {QStringLiteral("Channel B"), unit};
    graph.ShowLegend = ab.ShowLegend = true;
}

void TExperimentDoc::SetGraphs(TGraphModel *graph, TGraphModel *ab) {
    if (m_graph)
        m_graph->OnRemoveDependency = nullptr;
    for (TGraphModel *g : {m_graph, m_ab})
        if (g)
            g->LegendText = nullptr;
    m_graph = graph;
    m_ab = ab;
    // Data sets removed from the graph (its own command or the data table)
    // leave the document too.
    if (m_graph)
        m_graph->OnRemoveDependency = [this](TDependency *d) { DataSetRemoved(d); };
    // The legend names the sample as well: the measurement's title and metadata.
    const auto legend = [this](const TDependency &d) {
        QString meta;
        for (int i = 1; i < Model.RecordCount() && meta.isEmpty(); ++i) {
            const TMeasurementRecord &r = Model.Record(i);
            if (r.A.Set.get() == &d || r.B.Set.get() == &d || (m_abSeries.count(&r) && &m_abSeries.at(&r)->Set == &d))
                meta = MetadataText(r);
        }
        return meta.isEmpty() ? d.Caption : d.Caption + QStringLiteral(": ") + meta;
    };
    for (TGraphModel *g : {m_graph, m_ab})
        if (g)
            g->LegendText = legend;
}

bool TExperimentDoc::LogX() const { return m_graph && dynamic_cast<TLogAxisTr *>(m_graph->XAxis()); }

void TExperimentDoc::changed() {
    if (OnChanged)
        OnChanged();
}

void TExperimentDoc::notifySheets() {
    if (OnSheetsChanged)
        OnSheetsChanged();
}

void TExperimentDoc::PrepareMeasurementDataSets(int32_t plannedA, int32_t plannedB, double firstTimeA,
                                                double firstTimeB) {
    Model.LogarithmicX = LogX();
    Model.PrepareMeasurementDataSets(plannedA, plannedB, firstTimeA, firstTimeB);
    if (m_graph) {
        TMeasurementRecord &r = Model.Current();
        const bool addA = !m_env.ExcludeCh || plannedA > 0 || plannedB <= 0;
        const bool addB = !m_env.ExcludeCh || plannedB > 0;
        if (addA)
            m_graph->AddDependency(r.A.Set.get());
        if (addB)
            m_graph->AddDependency(r.B.Set.get());
        m_graph->Changed();
    }
    changed();
}

void TExperimentDoc::RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions) {
    RecordMeasurement(time, deviceType, conditions, Protocol.Snapshot());
}

void TExperimentDoc::RecordMeasurement(double time, uint8_t deviceType, const TConditions &conditions,
                                       const TProtocolSnapshot &protocol) {
    QStringList names, values;
    for (const auto &[name, value] : protocol.Variables) {
        names << name;
        values << value;
    }
    TConditions c = conditions;
    c.LogX = LogX() ? 1 : 0;
    Model.RecordMeasurement(time, deviceType, c, protocol.Text, names, values);
    RebuildAB(Model.Record(1));
    ScaleAB();
    notifySheets();
}

void TExperimentDoc::StartNextMeasurement() {
    if (ShMeasuring) {
        ShMeasuring = false;
        if (OnMeasuringChanged)
            OnMeasuringChanged(false);
    }
    Modified = true;
    changed();
}

int TExperimentDoc::DataSetCount() const {
    if (m_graph)
        return m_graph->DependencyCount();
    int n = 0;
    for (int i = 1; i < Model.RecordCount(); ++i)
        n += (Model.Record(i).A.Set->Count() > 0) + (Model.Record(i).B.Set->Count() > 0);
    return n;
}

QString TExperimentDoc::CellText(const TDependency *d, int column) const {
    const int i = Model.IndexOf(d);
    if (i < 0)
        return QStringLiteral("---");
    const TMeasurementRecord &r = Model.Record(i);
    const bool a = r.A.Set.get() == d;
    const TChannel &ch = r.Channel(a ? 0 : 1);
    const int type = r.DeviceType;
    const bool completed = i > 0;
    const bool known = completed && type < kDeviceCount;
    const bool gains = known && HasMonitorGains(TDevice(type));
    const bool sens = known && HasMonitorApd(TDevice(type));
    switch (column) {
    case xcYShift:
        return FormatShortest(ch.Shift->AddKoef);
    case xcMultiplication:
        return FormatShortest(ch.Mul->MulKoef);
    case xcTime: {
        const auto t = completed ? DateTimeFromDays(r.Time) : std::nullopt;
        return t ? t->toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) : QStringLiteral("---");
    }
    case xcDevice:
        return completed && type < kDeviceCount ? QString::fromLatin1(DeviceInfo(TDevice(type)).name)
                                                : QStringLiteral("---");
    case xcGain:
        return gains ? QString::number(a ? r.Conditions.GainA : r.Conditions.GainB) : QStringLiteral("---");
    case xcOffset:
        return gains ? QString::number(a ? r.Conditions.OffsetA : r.Conditions.OffsetB) : QStringLiteral("---");
    case xcSens:
        return sens ? QString::number(a ? r.Conditions.SensA : r.Conditions.SensB) : QStringLiteral("---");
    default:
        return QStringLiteral("---");
    }
}

bool TExperimentDoc::SetScaleText(TDependency *d, int column, const QString &text) {
    const int i = Model.IndexOf(d);
    const std::optional<double> v = ParseScaleText(text);
    if (i < 0 || !v || !IsScaleColumn(column))
        return false;
    TMeasurementRecord &r = Model.Record(i);
    TChannel &ch = r.Channel(r.A.Set.get() == d ? 0 : 1);
    if (column == xcYShift)
        ch.Shift->AddKoef = *v;
    else
        ch.Mul->MulKoef = *v;
    Modified = true;
    if (m_graph)
        m_graph->Changed();
    RebuildAB(r);
    changed();
    return true;
}

void TExperimentDoc::DataSetChanged(TDependency *d) {
    const int i = Model.IndexOf(d);
    if (i >= 0)
        RebuildAB(Model.Record(i));
    if (LogX() && d->Visible && d->Count() > 0 && d->X && d->X->Value(0) <= 0) {
        Messages().error(QStringLiteral("Can't make signal visible while in logarithmic scale"));
        d->Visible = false;
        if (i >= 0)
            RebuildAB(Model.Record(i));
    }
    // The data table updates its own row; rebuilding it here would pull the
    // rows from under "Show All" while it walks them.
    if (m_graph)
        m_graph->Changed();
    Modified = true;
}

void TExperimentDoc::DataSetRemoved(TDependency *d) {
    // Removing a record destroys its data sets, which leave the graph again.
    if (m_quiet)
        return;
    const int i = Model.IndexOf(d);
    if (i < 0)
        return;
    removeAB(&Model.Record(i));
    m_quiet = true;
    Model.RemoveDataSet(d);
    m_quiet = false;
    Modified = true;
    notifySheets();
    changed();
}

void TExperimentDoc::removeAB(const TMeasurementRecord *r) {
    auto it = m_abSeries.find(r);
    if (it == m_abSeries.end())
        return;
    if (m_ab)
        m_ab->RemoveDependency(&it->second->Set);
    m_abSeries.erase(it);
}

void TExperimentDoc::RebuildAB(TMeasurementRecord &r) {
    auto &slot = m_abSeries[&r];
    if (!slot) {
        slot = std::make_unique<TABSeries>(r);
        slot->Set.DrawStyle = dsPoint;
        slot->Set.PointStyle = ptCircle;
        if (m_ab)
            m_ab->AddDependency(&slot->Set);
    }
    TABSeries &s = *slot;
    s.Set.Caption = r.A.Set->Caption;
    s.Set.Color = r.A.Set->Color;
    s.Set.Brush = r.A.Set->Brush;
    s.Set.Visible = r.A.Set->Visible;
    s.Pairing = s.Set.Visible ? ABPairing(*r.A.Set, *r.B.Set) : TABPairing{};
    s.X.SetCount(s.Pairing.Count);
    s.Y.SetCount(s.Pairing.Count);
    if (m_ab)
        m_ab->Changed();
}

void TExperimentDoc::ScaleAB() {
    if (!m_ab)
        return;
    // The A/B curves are not ordered by x, so the graph's own auto-scale,
    // which reads the first and last x, cannot be used.
    double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
    // The channels' own extremes, not a walk through every pair.
    for (const auto &[record, s] : m_abSeries) {
        const TABPairing &p = s->Pairing;
        if (!s->Set.Visible || p.Count < 1)
            continue;
        const TVector &a = *record->A.Set->Y, &b = *record->B.Set->Y;
        x0 = std::min(x0, a.TrMin(0, p.Count));
        x1 = std::max(x1, a.TrMax(0, p.Count));
        y0 = std::min(y0, b.TrMin(p.Offset, p.Count));
        y1 = std::max(y1, b.TrMax(p.Offset, p.Count));
    }
    if (x0 > x1)
        return;
    auto widen = [](double &lo, double &hi) {
        const double m = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::fabs(lo) * 0.05);
        lo -= m;
        hi += m;
    };
    widen(x0, x1);
    widen(y0, y1);
    try {
        m_ab->XAxis()->SetRange(x0, x1);
        m_ab->YAxis()->SetRange(y0, y1);
    } catch (const ETesselError &) {
        // Ranges outside the axis bounds keep the old view.
    }
    m_ab->Changed();
}

TDependency *TExperimentDoc::ABSeries(const TMeasurementRecord &r) const {
    auto it = m_abSeries.find(&r);
    return it == m_abSeries.end() ? nullptr : &it->second->Set;
}

void TExperimentDoc::SyncTexts() {
    Model.Title = Protocol.Title;
    Model.Description = Protocol.Description.split(QLatin1Char('\n'));
    if (Protocol.Description.isEmpty())
        Model.Description.clear();
    Model.Protocol = Protocol.Text.split(QLatin1Char('\n'));
    Model.LogarithmicX = LogX();
}

void TExperimentDoc::syncFromModel() {
    Protocol.Title = Model.Title;
    Protocol.Description = Model.Description.join(QLatin1Char('\n'));
    Protocol.Text = Model.Protocol.join(QLatin1Char('\n'));
    Protocol.Modified = false;
    Protocol.ChangedSinceCheck = true;
}

bool TExperimentDoc::Load(const QString &fileName) {
    m_quiet = true;
    detachAll();
    m_quiet = false;
    bool ok = false;
    {
        BusyCursor busy;
        FileOp.FileName = fileName;
        if (FileOp.Open())
            ok = ReadExperiment(FileOp, Model);
        else
            Model.Clear();
    }
    syncFromModel();
    // "Exclude sets without data" decides only for new measurements: a stored
    // record keeps both rows.
    for (int i = 1; i < Model.RecordCount(); ++i) {
        TMeasurementRecord &r = Model.Record(i);
        if (m_graph) {
            m_graph->AddDependency(r.A.Set.get());
            m_graph->AddDependency(r.B.Set.get());
        }
        RebuildAB(r);
    }
    // The file's axis, else the next save would drop it.
    if (Model.LogarithmicX != LogX() && OnLogXRead)
        OnLogXRead(Model.LogarithmicX);
    if (ok) {
        DocName = fileName;
        FileOp.ForceSaveAs = false;
    } else {
        // What was read stays to be looked at; saving asks for a new name,
        // and no caption may pretend it is the refused file.
        FileOp.FileName = QStringLiteral("NoName.exp");
        FileOp.ForceSaveAs = true;
        DocName = FileOp.FileName;
    }
    Modified = false;
    if (m_graph)
        m_graph->AutoScaleXY();
    ScaleAB();
    notifySheets();
    if (OnCaptionsChanged)
        OnCaptionsChanged();
    changed();
    return ok;
}

bool TExperimentDoc::Save(bool saveAs) {
    if (saveAs)
        FileOp.ForceSaveAs = true;
    if (!FileOp.Save())
        return false;
    SyncTexts();
    bool ok;
    {
        BusyCursor busy;
        ok = WriteExperiment(FileOp, Model);
    }
    if (!ok)
        return false;
    DocName = FileOp.FileName;
    Modified = false;
    Protocol.Modified = false;
    if (OnCaptionsChanged)
        OnCaptionsChanged();
    if (OnSaved)
        OnSaved();
    return true;
}

bool TExperimentDoc::WriteCopy(const QString &fileName) {
    SyncTexts();
    TFileOp file;
    file.OnFileOpError = [&fileName](TFileOp &, int code) {
        WriteLog(TFileOp::ErrorMessage(code) + QStringLiteral(": ") + fileName);
    };
    return SaveExperimentFile(Model, fileName, &file);
}

TCloseAnswer TExperimentDoc::AskClose(bool confirmActions) const {
    if (ShMeasuring)
        return TCloseAnswer::Keep;
    if (!NeedsSave() || !confirmActions)
        return TCloseAnswer::Close;
    switch (Messages().confirm(QStringLiteral("Save Changes to %1").arg(DocName), mbYes | mbNo | mbCancel)) {
    case mbYes:
        return TCloseAnswer::SaveAndClose;
    case mbNo:
        return TCloseAnswer::Close;
    default:
        return TCloseAnswer::Keep;
    }
}

} // namespace tessel
