#include "data/FileOp.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <gtest/gtest.h>
#include <numeric>

using namespace tessel;
using namespace tessel::test;

namespace {

void WriteBytes(const QString &path, const QByteArray &b) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(b);
}

const QByteArray kMagic("QORVEN DATA FILE 97");

// Writes go to a real temporary file until the budget is used up, as on a
// full disk.
class FullDiskStream : public TSaveFileStream {
public:
    FullDiskStream(std::unique_ptr<QSaveFile> file, int64_t budget)
        : TSaveFileStream(std::move(file)), m_budget(budget) {}
    int64_t Write(const void *b, int64_t n) override {
        const int64_t allowed = std::min(n, m_budget);
        m_budget -= allowed;
        return allowed > 0 ? TSaveFileStream::Write(b, allowed) : 0;
    }

private:
    int64_t m_budget;
};

struct Fixture : ::testing::Test {
    TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
};

} // namespace

using FileOp = Fixture;

TEST_F(FileOp, OpenRefusesMissingFilesAndForeignMagic) {
    struct {
        QByteArray content;
        bool exists;
        QString message;
    } cases[] = {
        {{}, false, "File not found"},
        {"QORVEN DATA FILE 98 and more", true, "Bad file format"},
    };
    for (const auto &c : cases) {
        messages.clear();
        const QString path = dir.path("f.exp");
        QFile::remove(path);
        if (c.exists)
            WriteBytes(path, c.content);
        TFileOp f;
        f.FileName = path;
        f.ForceSaveAs = true;
        EXPECT_FALSE(f.Open());
        EXPECT_FALSE(f.IsOpen());
        EXPECT_EQ(messages.texts(), QStringList{c.message});
        EXPECT_TRUE(f.ForceSaveAs);
        EXPECT_EQ(f.FileName.isEmpty(), c.exists);
    }
}

TEST_F(FileOp, SaveWritesMagicAndReplacesOnlyOnClose) {
    const QString path = dir.path("a.exp");
    WriteBytes(path, "old contents");
    TFileOp f;
    f.FileName = path;
    ASSERT_TRUE(f.Save());
    // The typed values' bytes are pinned by the experiment goldens.
    f.WriteInteger(-2);
    EXPECT_EQ(ReadBytes(path), "old contents");
    ASSERT_TRUE(f.Close());
    const QByteArray want = kMagic + QByteArray("\xfe\xff\xff\xff", 4);
    EXPECT_EQ(ReadBytes(path), want);
    EXPECT_TRUE(messages.entries.empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.exp"});

    // A save abandoned half way (the program dies, or the container goes
    // without Close) leaves the file as it was.
    {
        TFileOp g;
        g.FileName = path;
        ASSERT_TRUE(g.Save());
        g.WriteInteger(1);
    }
    EXPECT_EQ(ReadBytes(path), want);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.exp"});
}

TEST_F(FileOp, FullDiskLeavesThePreviousFileIntact) {
    const QString path = dir.path("keep.exp");
    WriteBytes(path, kMagic + "previous measurements");
    for (int64_t budget : {0, 10, 19, 25}) {
        messages.clear();
        TFileOp f;
        f.FileName = path;
        f.OnCreateStream = [budget](const QString &name, TFileMode) -> std::unique_ptr<TStream> {
            auto file = std::make_unique<QSaveFile>(name);
            if (!file->open(QIODevice::WriteOnly))
                return nullptr;
            return std::make_unique<FullDiskStream>(std::move(file), budget);
        };
        if (f.Save()) {
            for (int i = 0; i < 10; ++i)
                f.WriteInteger(i);
        }
        EXPECT_FALSE(f.Close()) << budget;
        EXPECT_EQ(messages.texts(), QStringList{"Writing error"}) << budget;
        EXPECT_EQ(ReadBytes(path), kMagic + "previous measurements");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.exp"});
    }
}

TEST_F(FileOp, SaveAsAndOpenGoThroughTheDialogs) {
    RecordingFileDialogService dialogs;
    ScopedFileDialogService scope(&dialogs);
    TFileOp f;
    f.FileName = "NoName.exp";
    f.ForceSaveAs = true;
    f.SaveDialog = TFileDialogSetup{"Save", "Experiment Files|*.exp", "*.exp", {}};
    EXPECT_FALSE(f.Save()); // cancelled
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(std::pair(dialogs.requests[0].save, dialogs.requests[0].filter),
              std::pair(true, QString("Experiment Files|*.exp")));
    const QString target = dir.path("chosen.exp");
    dialogs.answer(target);
    ASSERT_TRUE(f.Save());
    EXPECT_EQ(std::pair(f.FileName, f.ForceSaveAs), std::pair(target, false));
    EXPECT_TRUE(f.Close());
    f.OpenDialog = TFileDialogSetup{"Open", "Experiment Files|*.exp", {}, {}};
    EXPECT_FALSE(f.Open());
    dialogs.answer(target);
    EXPECT_TRUE(f.Open());
    EXPECT_TRUE(messages.entries.empty());
}

// The first error goes to the custom handler where there is one, else to a
// dialog; later operations report nothing more.
TEST_F(FileOp, ErrorsReachTheHandlerOrADialogOnce) {
    TFileOp f;
    f.FileName = dir.path("no/such/folder/x.exp");
    EXPECT_FALSE(f.Save());
    EXPECT_EQ(messages.texts(), QStringList{"Cannot create file"});

    TFileOp g;
    std::vector<int> codes;
    g.OnFileOpError = [&](TFileOp &, int code) { codes.push_back(code); };
    g.FileName = dir.path("missing.exp");
    EXPECT_FALSE(g.Open());
    g.ReadInteger();
    EXPECT_EQ(codes, std::vector<int>{feNotFound});
    EXPECT_EQ(messages.texts(), QStringList{"Cannot create file"});
    EXPECT_EQ(TFileOp::ErrorMessage(42), "Unknown error");
}

// Small reads come from the stream's read-ahead, large ones straight from the
// file; any mix, across page edges and past the end, yields the file's bytes
// in order and the right position.
TEST_F(FileOp, FileStreamReadsAnyMixOfSizesInOrder) {
    QByteArray bytes(3 * 4096 + 77, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 251);
    const QString path = dir.path("stream.bin");
    WriteBytes(path, bytes);
    const std::vector<std::vector<int64_t>> mixes = {{4, 4, 8200, 100, 4096, 5000}, {4095, 1, 4096, 4097, 20}};
    for (const auto &mix : mixes) {
        auto file = std::make_unique<QFile>(path);
        ASSERT_TRUE(file->open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        TFileStream s(std::move(file));
        QByteArray got;
        for (int64_t n : mix) {
            QByteArray part(qsizetype(n), '\0');
            part.resize(qsizetype(s.Read(part.data(), n)));
            got += part;
            EXPECT_EQ(s.Position(), got.size());
        }
        EXPECT_EQ(got, bytes.left(got.size()));
        EXPECT_EQ(got.size(), std::min<qsizetype>(bytes.size(), std::accumulate(mix.begin(), mix.end(), qsizetype(0))));
        EXPECT_EQ(s.Remaining(), bytes.size() - got.size());
    }
}
