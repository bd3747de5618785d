#pragma once

#include "common/Errors.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <cstdint>
#include <memory>

class QFile;
class QSaveFile;

namespace tessel {

// A read that finds fewer bytes than asked for, or a length that cannot fit
// in what is left of the stream.
class EReadError : public ETesselError {
public:
    EReadError() : ETesselError(QStringLiteral("Stream read error")) {}
};

class EWriteError : public ETesselError {
public:
    EWriteError() : ETesselError(QStringLiteral("Stream write error")) {}
};

// Byte stream under vectors, data sets and the experiment file. Readers ask
// Remaining() before they allocate, so a hostile length never turns into a
// huge allocation.
class TStream {
public:
    virtual ~TStream() = default;
    // Returns the number of bytes actually moved.
    virtual int64_t Read(void *buffer, int64_t count) = 0;
    virtual int64_t Write(const void *buffer, int64_t count) = 0;
    virtual int64_t Size() const = 0;
    virtual int64_t Position() const = 0;
    // Makes a written stream permanent; false when anything failed on the way.
    virtual bool Commit() { return true; }
    int64_t Remaining() const {
        const int64_t r = Size() - Position();
        return r < 0 ? 0 : r;
    }

    void ReadBuffer(void *buffer, int64_t count);
    void WriteBuffer(const void *buffer, int64_t count);
    // Raises EReadError unless count bytes remain.
    void Need(int64_t count) const;

    template <typename T> T ReadLE() {
        T v;
        ReadBuffer(&v, sizeof v);
        return qFromLittleEndian(v);
    }
    template <typename T> void WriteLE(T v) {
        v = qToLittleEndian(v);
        WriteBuffer(&v, sizeof v);
    }
    uint8_t ReadU8() { return ReadLE<uint8_t>(); }
    int32_t ReadI32() { return ReadLE<int32_t>(); }
    double ReadF64();
    void WriteU8(uint8_t v) { WriteLE(v); }
    void WriteI32(int32_t v) { WriteLE(v); }
    void WriteF64(double v);
    // 4-byte length, then single-byte (Latin-1) characters.
    QString ReadStr();
    void WriteStr(const QString &s);
};

// Growable in-memory stream.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(QByteArray data) : m_data(std::move(data)) {}
    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override { return m_data.size(); }
    int64_t Position() const override { return m_pos; }
    void Seek(int64_t pos) { m_pos = pos < 0 ? 0 : pos; }
    const QByteArray &Data() const { return m_data; }

private:
    QByteArray m_data;
    int64_t m_pos = 0;
};

// A file opened for reading, best unbuffered: small reads (lengths, style
// blocks) come from a read-ahead of one page, while a large read takes what
// the read-ahead holds and goes straight from the file into the caller's
// memory, so that sample blocks are copied once.
class TFileStream : public TStream {
public:
    explicit TFileStream(std::unique_ptr<QFile> file);
    ~TFileStream() override;
    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override { return m_size; }
    int64_t Position() const override { return m_pos; }

private:
    static constexpr int64_t kReadAhead = 4096;
    std::unique_ptr<QFile> m_file;
    int64_t m_size;
    int64_t m_pos;
    int64_t m_ahead = 0, m_aheadEnd = 0; // unread part of m_buffer
    char m_buffer[kReadAhead];
};

// A file being written: the bytes go to a temporary file beside the target,
// which replaces the target only in Commit, after a complete write and flush.
// Destroying it without Commit leaves the target as it was.
class TSaveFileStream : public TStream {
public:
    explicit TSaveFileStream(std::unique_ptr<QSaveFile> file);
    ~TSaveFileStream() override;
    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override;
    int64_t Position() const override;
    bool Commit() override;

private:
    std::unique_ptr<QSaveFile> m_file;
    bool m_failed = false;
};

} // namespace tessel
