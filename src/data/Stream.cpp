#include "data/Stream.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>

namespace tessel {

void TStream::Need(int64_t count) const {
    if (count < 0 || count > Remaining())
        throw EReadError();
}

void TStream::ReadBuffer(void *buffer, int64_t count) {
    if (count <= 0)
        return;
    if (Read(buffer, count) != count)
        throw EReadError();
}

void TStream::WriteBuffer(const void *buffer, int64_t count) {
    if (count <= 0)
        return;
    if (Write(buffer, count) != count)
        throw EWriteError();
}

double TStream::ReadF64() {
    const uint64_t bits = ReadLE<uint64_t>();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void TStream::WriteF64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof v);
    WriteLE(bits);
}

QString TStream::ReadStr() {
    const int32_t len = ReadI32();
    Need(len);
    QByteArray bytes(len, Qt::Uninitialized);
    ReadBuffer(bytes.data(), len);
    return QString::fromLatin1(bytes);
}

void TStream::WriteStr(const QString &s) {
    const QByteArray bytes = s.toLatin1();
    WriteI32(int32_t(bytes.size()));
    WriteBuffer(bytes.constData(), bytes.size());
}

int64_t TMemoryStream::Read(void *buffer, int64_t count) {
    const int64_t n = std::min<int64_t>(count, Remaining());
    if (n <= 0)
        return 0;
    std::memcpy(buffer, m_data.constData() + m_pos, size_t(n));
    m_pos += n;
    return n;
}

int64_t TMemoryStream::Write(const void *buffer, int64_t count) {
    if (count <= 0)
        return 0;
    if (m_pos + count > m_data.size())
        m_data.resize(qsizetype(m_pos + count));
    std::memcpy(m_data.data() + m_pos, buffer, size_t(count));
    m_pos += count;
    return count;
}

TFileStream::TFileStream(std::unique_ptr<QFile> file)
    : m_file(std::move(file)), m_size(m_file->size()), m_pos(m_file->pos()) {}
TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void *buffer, int64_t count) {
    char *out = static_cast<char *>(buffer);
    int64_t done = std::min(count, m_aheadEnd - m_ahead);
    if (done > 0) {
        std::memcpy(out, m_buffer + m_ahead, size_t(done));
        m_ahead += done;
    }
    while (done < count) {
        const int64_t rest = count - done;
        if (rest >= kReadAhead) {
            const int64_t n = m_file->read(out + done, rest);
            if (n <= 0)
                break;
            done += n;
            continue;
        }
        const int64_t n = m_file->read(m_buffer, kReadAhead);
        if (n <= 0)
            break;
        const int64_t take = std::min(rest, n);
        std::memcpy(out + done, m_buffer, size_t(take));
        m_ahead = take;
        m_aheadEnd = n;
        done += take;
    }
    m_pos += done;
    return done;
}

int64_t TFileStream::Write(const void *, int64_t) { return 0; }

TSaveFileStream::TSaveFileStream(std::unique_ptr<QSaveFile> file) : m_file(std::move(file)) {}
TSaveFileStream::~TSaveFileStream() {
    if (m_file && m_file->isOpen())
        m_file->cancelWriting();
}

int64_t TSaveFileStream::Read(void *, int64_t) { return 0; }

int64_t TSaveFileStream::Write(const void *buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        const int64_t n = m_file->write(static_cast<const char *>(buffer) + done, count - done);
        if (n <= 0) {
            m_failed = true;
            break;
        }
        done += n;
    }
    return done;
}

int64_t TSaveFileStream::Size() const { return m_file->size(); }
int64_t TSaveFileStream::Position() const { return m_file->pos(); }

bool TSaveFileStream::Commit() {
    if (m_failed) {
        m_file->cancelWriting();
        m_file->commit();
        return false;
    }
    // QSaveFile flushes, syncs and renames; it refuses when any write failed.
    return m_file->commit();
}

} // namespace tessel
