// Feeds arbitrary bytes to the experiment file reader: it must refuse or
// read them without crashing, hanging or allocating beyond the input.
#include "common/MessageService.h"
#include "data/ExperimentFile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

namespace {
class QuietMessages : public tessel::IMessageService {
public:
    tessel::MsgButton show(tessel::MsgType, const QString &, int buttons) override {
        return tessel::DefaultButton(buttons);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static QuietMessages quiet;
    tessel::SetMessageService(&quiet);
    // Seed with tests/data/golden/*.exp so that inputs pass the magic.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    tessel::TFileOp f;
    f.FileName = QStringLiteral("fuzz.exp");
    f.OnCreateStream = [&bytes](const QString &, tessel::TFileMode) {
        return std::make_unique<tessel::TMemoryStream>(bytes);
    };
    tessel::TExperimentModel model;
    if (f.Open() && tessel::ReadExperiment(f, model)) {
        // What was read must write back without trouble.
        tessel::TMemoryStream out;
        for (int i = 1; i < model.RecordCount(); ++i) {
            model.Record(i).A.Set->SaveToStream(out);
            model.Record(i).B.Set->SaveToStream(out);
        }
    }
    return 0;
}
