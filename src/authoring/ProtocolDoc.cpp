#include "authoring/ProtocolDoc.h"

#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "common/NumberText.h"
#include "compiler/Compiler.h"
#include "settings/EnvSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace tessel {

QString DeviceIncludeDir(const QString &base, TDevice d) {
    const TDeviceInfo &info = DeviceInfo(d);
    const QString folder =
        QString::asprintf("%s_%4.4x", QByteArray(info.identification).trimmed().constData(), unsigned(info.version));
    const QString dir = QDir(base).filePath(folder);
    return QFileInfo(dir).isDir() ? dir + QLatin1Char('/') : base;
}

TTextRange LineRange(const QString &text, int32_t line) {
    int32_t start = 0;
    for (int32_t i = 1; i < line; ++i) {
        const qsizetype nl = text.indexOf(QLatin1Char('\n'), start);
        if (nl < 0)
            return {int32_t(text.size()), 0};
        start = int32_t(nl + 1);
    }
    qsizetype end = text.indexOf(QLatin1Char('\n'), start);
    if (end < 0)
        end = text.size();
    if (end > start && text.at(end - 1) == QLatin1Char('\r'))
        --end;
    return {start, int32_t(end - start)};
}

QString CaretText(const QString &text, int32_t pos) {
    pos = std::clamp<int32_t>(pos, 0, int32_t(text.size()));
    const int32_t line = int32_t(text.left(pos).count(QLatin1Char('\n'))) + 1;
    const int32_t lineStart = pos == 0 ? 0 : int32_t(text.lastIndexOf(QLatin1Char('\n'), pos - 1) + 1);
    return QString::asprintf("%3d: %3d", line, pos - lineStart + 1);
}

namespace {

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

qsizetype findFrom(const QString &text, const TFindRequest &req, qsizetype from) {
    const Qt::CaseSensitivity cs = req.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype p = text.indexOf(req.search, from, cs); p >= 0; p = text.indexOf(req.search, p + 1, cs)) {
        if (!req.wholeWord)
            return p;
        const qsizetype end = p + req.search.size();
        if ((p == 0 || !isWordChar(text.at(p - 1))) && (end >= text.size() || !isWordChar(text.at(end))))
            return p;
    }
    return -1;
}

} // namespace

bool FindInText(QString &text, const TFindRequest &req, TFindState &state, TTextRange &selection) {
    bool any = false;
    for (;;) {
        // An empty search text would match everywhere and never end Replace All.
        const qsizetype p = req.search.isEmpty() || state.start > text.size() ? -1 : findFrom(text, req, state.start);
        if (p < 0) {
            state.start = 0;
            Messages().information(QStringLiteral("Search string '%1' not found.").arg(req.search));
            return any;
        }
        any = true;
        selection = {int32_t(p), int32_t(req.search.size())};
        if (req.mode == TFindMode::Find) {
            state.start = int32_t(p + req.search.size());
            return true;
        }
        text.replace(p, req.search.size(), req.replacement);
        selection = {int32_t(p), int32_t(req.replacement.size())};
        if (req.mode == TFindMode::Replace) {
            state.start = int32_t(p + req.search.size());
            return true;
        }
        // Replace All goes on behind the inserted text so that a replacement
        // containing the search text cannot loop.
        state.start = int32_t(p + req.replacement.size());
    }
}

TProtocolDoc::TProtocolDoc(TCompiler &compiler, TEnvSetup &env, QString includeBase, TDevice device)
    : IncludeBase(std::move(includeBase)), Device(device), m_compiler(compiler), m_env(env) {
    LoadDefault();
}

void TProtocolDoc::SetText(const QString &text) {
    Text = text;
    Modified = true;
    ChangedSinceCheck = true;
}

void TProtocolDoc::LoadDefault() {
    QString text;
    // A missing template is reported and leaves the text empty.
    LoadFile(QDir(IncludeBase).filePath(QStringLiteral("Default.1st")), text);
    SetText(text);
}

bool TProtocolDoc::ClearCurrent() {
    if (m_env.ShowDialogs && Messages().confirm(QStringLiteral("Clear Current ?"), mbYes | mbNo | mbCancel) != mbYes)
        return false;
    LoadDefault();
    return true;
}

QString TProtocolDoc::CheckIncludeDir() {
    if (CurrentDevice)
        Device = CurrentDevice();
    QString base = IncludeBase;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return DeviceIncludeDir(base, Device);
}

int32_t TProtocolDoc::SyntaxCheck() {
    CompiledText = Text.split(QLatin1Char('\n'));
    Log.clear();
    m_compiler.IncludeDir = CheckIncludeDir();
    const int32_t r = m_compiler.CompileProtocol(CompiledText, Log, this);
    Variables.clear();
    for (int32_t i = 0; i < m_compiler.Vars.Count(); ++i)
        Variables.emplace_back(m_compiler.Vars.Name(i), FormatShortest(m_compiler.Vars.Value(i)));
    if (Variables.empty())
        Variables.emplace_back();
    Modified = r != kBuildOk;
    CheckDone = true;
    ChangedSinceCheck = false;
    CheckResult = r;
    ErrorRange = r == kBuildSourceError ? LineRange(Text, m_compiler.ErrorLine) : TTextRange{};
    if (OnChecked)
        OnChecked();
    return r;
}

QString TProtocolDoc::CheckText() const {
    if (!CheckDone || ChangedSinceCheck)
        return {};
    return CheckResult == kBuildOk ? QStringLiteral("Checked") : QStringLiteral("Errors");
}

bool TProtocolDoc::LoadFile(const QString &path, QString &text) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        Messages().error(f.errorString());
        return false;
    }
    text = QString::fromUtf8(f.readAll());
    return true;
}

bool TProtocolDoc::SaveFile(const QString &path, const QString &text) {
    QFile f(path);
    const QByteArray bytes = text.toUtf8();
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) || f.write(bytes) != bytes.size()) {
        Messages().error(f.errorString());
        return false;
    }
    return true;
}

bool TProtocolDoc::OpenDialog(QString &text) {
    const QString path =
        FileDialogs().getOpenFileName(QStringLiteral("Load Protocol"), StartDir(m_env),
                                      QStringLiteral("Protocol Files|*.p|Text Files|*.txt|All Files|*.*"));
    if (path.isEmpty())
        return false;
    RememberDir(m_env, path);
    return LoadFile(path, text);
}

bool TProtocolDoc::SaveAsDialog(const QString &text) {
    const QString path =
        FileDialogs().getSaveFileName(QStringLiteral("Save Protocol"), StartDir(m_env),
                                      QStringLiteral("Protocol File|*.p|Text File|*.txt"), QStringLiteral("p"));
    if (path.isEmpty())
        return false;
    RememberDir(m_env, path);
    return SaveFile(path, text);
}

} // namespace tessel
