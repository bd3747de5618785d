#pragma once

#include "data/Stream.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace tessel {

enum class TFileMode { Read, Write };

// Error codes of the file container.
enum TFileOpError : int {
    feCannotCreate = 1,
    feBadFormat = 2,
    feReading = 3,
    feWriting = 4,
    feNotFound = 5,
};

// What a file dialog of the container shows (through FileDialogs()).
struct TFileDialogSetup {
    QString Title;
    QString Filter;
    QString DefaultExt;
    QString InitialDir;
};

// The container of an experiment file: opens and checks the 19-byte magic,
// creates files through a temporary beside the target, and offers typed
// reads and writes that report failures once per opened file.
class TFileOp {
public:
    static constexpr char kMagic[] = "QORVEN DATA FILE 97";
    static constexpr int kMagicSize = 19;

    TFileOp();
    ~TFileOp();
    TFileOp(const TFileOp &) = delete;
    TFileOp &operator=(const TFileOp &) = delete;

    QString FileName;
    bool ForceSaveAs = false;
    std::optional<TFileDialogSetup> OpenDialog;
    std::optional<TFileDialogSetup> SaveDialog;
    // Creates the stream for a file; the default opens it for reading, or
    // for writing through a temporary file. Returning null means the file
    // could not be opened or created.
    std::function<std::unique_ptr<TStream>(const QString &fileName, TFileMode mode)> OnCreateStream;
    // Called once per opened file with the first problem's code. The default
    // shows the code's message.
    std::function<void(TFileOp &sender, int code)> OnFileOpError;

    bool Open();
    bool Save();
    bool SaveAs();
    // Frees the stream; a written file replaces the target only here. False
    // when the write did not complete (the old file is then untouched).
    bool Close();
    bool IsOpen() const { return bool(m_stream); }

    uint8_t ReadByte();
    int32_t ReadInteger();
    double ReadDouble();
    QString ReadString();
    void ReadStrings(QStringList &list);
    void WriteByte(uint8_t v);
    void WriteInteger(int32_t v);
    void WriteDouble(double v);
    void WriteString(const QString &s);
    void WriteStrings(const QStringList &list);

    // The raw stream for data sets and condition blocks; its short reads
    // raise EReadError.
    TStream &Stream() { return *m_stream; }
    int64_t Remaining() const { return m_stream ? m_stream->Remaining() : 0; }

    // First error code since the file was opened or created, 0 for none.
    int ErrorCode() const { return m_error; }
    void ReportError(int code);
    static QString ErrorMessage(int code);

private:
    std::unique_ptr<TStream> CreateStream(TFileMode mode);
    bool CreateForWriting();
    template <typename F> auto TypedRead(F f) -> decltype(f());
    template <typename F> void TypedWrite(F f);

    std::unique_ptr<TStream> m_stream;
    TFileMode m_mode = TFileMode::Read;
    int m_error = 0;
};

} // namespace tessel
