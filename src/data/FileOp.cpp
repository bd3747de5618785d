#include "data/FileOp.h"

#include "common/FileDialogService.h"
#include "common/MessageService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

namespace tessel {

TFileOp::TFileOp() = default;
// An unfinished write is discarded, never committed.
TFileOp::~TFileOp() = default;

QString TFileOp::ErrorMessage(int code) {
    switch (code) {
    case feCannotCreate:
        return QStringLiteral("Cannot create file");
    case feBadFormat:
        return QStringLiteral("Bad file format");
    case feReading:
        return QStringLiteral("Reading error");
    case feWriting:
        return QStringLiteral("Writing error");
    case feNotFound:
        return QStringLiteral("File not found");
    default:
        return QStringLiteral("Unknown error");
    }
}

void TFileOp::ReportError(int code) {
    if (m_error != 0)
        return;
    m_error = code;
    if (OnFileOpError)
        OnFileOpError(*this, code);
    else
        Messages().error(ErrorMessage(code));
}

std::unique_ptr<TStream> TFileOp::CreateStream(TFileMode mode) {
    if (OnCreateStream)
        return OnCreateStream(FileName, mode);
    if (mode == TFileMode::Read) {
        auto f = std::make_unique<QFile>(FileName);
        // The stream reads ahead itself; Qt's buffer would copy every
        // sample block's first 16 KiB once more.
        if (!f->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return nullptr;
        return std::make_unique<TFileStream>(std::move(f));
    }
    auto f = std::make_unique<QSaveFile>(FileName);
    if (!f->open(QIODevice::WriteOnly))
        return nullptr;
    return std::make_unique<TSaveFileStream>(std::move(f));
}

bool TFileOp::Open() {
    if (OpenDialog) {
        const QString name =
            FileDialogs().getOpenFileName(OpenDialog->Title, OpenDialog->InitialDir, OpenDialog->Filter);
        if (name.isEmpty())
            return false;
        FileName = name;
    }
    // A write still open here was never finished: drop it, never commit it.
    m_stream.reset();
    m_error = 0;
    m_mode = TFileMode::Read;
    m_stream = CreateStream(TFileMode::Read);
    if (!m_stream) {
        ReportError(QFileInfo::exists(FileName) ? feReading : feNotFound);
        return false;
    }
    char magic[kMagicSize] = {};
    if (m_stream->Read(magic, kMagicSize) != kMagicSize || std::memcmp(magic, kMagic, kMagicSize) != 0) {
        ReportError(feBadFormat);
        FileName.clear();
        m_stream.reset();
        return false;
    }
    ForceSaveAs = false;
    return true;
}

bool TFileOp::CreateForWriting() {
    m_stream.reset();
    m_error = 0;
    m_mode = TFileMode::Write;
    m_stream = CreateStream(TFileMode::Write);
    if (!m_stream) {
        ReportError(feCannotCreate);
        return false;
    }
    TypedWrite([&] { m_stream->WriteBuffer(kMagic, kMagicSize); });
    ForceSaveAs = false;
    return m_error == 0;
}

bool TFileOp::Save() {
    if (!FileName.isEmpty() && !ForceSaveAs)
        return CreateForWriting();
    return SaveAs();
}

bool TFileOp::SaveAs() {
    const TFileDialogSetup dlg = SaveDialog.value_or(TFileDialogSetup{});
    // The dialog proposes the document's own name: beside the file it was
    // read from, else in the start folder.
    QString proposed = FileName;
    if (!dlg.InitialDir.isEmpty() && !FileName.isEmpty() && QFileInfo(FileName).isRelative())
        proposed = QDir(dlg.InitialDir).filePath(FileName);
    else if (FileName.isEmpty())
        proposed = dlg.InitialDir;
    const QString name = FileDialogs().getSaveFileName(dlg.Title, proposed, dlg.Filter, dlg.DefaultExt);
    if (name.isEmpty())
        return false;
    FileName = name;
    return CreateForWriting();
}

bool TFileOp::Close() {
    if (!m_stream)
        return true;
    bool ok = true;
    if (m_mode == TFileMode::Write) {
        // A write that failed on the way never replaces the old file.
        if (m_error != 0) {
            ok = false;
        } else if (!m_stream->Commit()) {
            ReportError(feWriting);
            ok = false;
        }
    }
    m_stream.reset();
    return ok;
}

template <typename F> auto TFileOp::TypedRead(F f) -> decltype(f()) {
    using R = decltype(f());
    if (!m_stream || m_error != 0) {
        ReportError(feReading);
        return R{};
    }
    try {
        return f();
    } catch (const EReadError &) {
        ReportError(feReading);
        return R{};
    }
}

template <typename F> void TFileOp::TypedWrite(F f) {
    if (!m_stream || m_mode != TFileMode::Write || m_error != 0) {
        ReportError(feWriting);
        return;
    }
    try {
        f();
    } catch (const EWriteError &) {
        ReportError(feWriting);
    }
}

uint8_t TFileOp::ReadByte() {
    return TypedRead([&] { return m_stream->ReadU8(); });
}
int32_t TFileOp::ReadInteger() {
    return TypedRead([&] { return m_stream->ReadI32(); });
}
double TFileOp::ReadDouble() {
    return TypedRead([&] { return m_stream->ReadF64(); });
}
QString TFileOp::ReadString() {
    return TypedRead([&] { return m_stream->ReadStr(); });
}

void TFileOp::ReadStrings(QStringList &list) {
    list.clear();
    const int32_t count = ReadInteger();
    if (m_error != 0)
        return;
    // Each line takes at least its 4-byte length.
    if (count < 0 || int64_t(count) * 4 > Remaining()) {
        ReportError(feReading);
        return;
    }
    for (int32_t i = 0; i < count && m_error == 0; ++i)
        list.append(ReadString());
    if (m_error != 0)
        list.clear();
}

void TFileOp::WriteByte(uint8_t v) {
    TypedWrite([&] { m_stream->WriteU8(v); });
}
void TFileOp::WriteInteger(int32_t v) {
    TypedWrite([&] { m_stream->WriteI32(v); });
}
void TFileOp::WriteDouble(double v) {
    TypedWrite([&] { m_stream->WriteF64(v); });
}
void TFileOp::WriteString(const QString &s) {
    TypedWrite([&] { m_stream->WriteStr(s); });
}

void TFileOp::WriteStrings(const QStringList &list) {
    WriteInteger(int32_t(list.size()));
    for (const QString &s : list)
        WriteString(s);
}

} // namespace tessel
