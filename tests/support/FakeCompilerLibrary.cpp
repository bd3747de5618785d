#include "support/FakeCompilerLibrary.h"

namespace tessel {

int32_t TFakeCompilerLibrary::Compile(const char *sourceFile, const char *includeDir) {
    compiled.push_back(std::string(sourceFile ? sourceFile : "") + "|" + (includeDir ? includeDir : ""));
    for (const TCompilerCall &c : script) {
        switch (c.kind) {
        case TCompilerCall::Action:
            if (addPrimAction)
                addPrimAction(c.time, c.code);
            break;
        case TCompilerCall::Macro:
            if (addCompAction) {
                // Same layout as the real library: length, spare byte, content.
                QByteArray record(2, '\0');
                record[0] = char(uint8_t(c.bytes.size()));
                record += c.bytes.left(255);
                addCompAction(c.time, reinterpret_cast<const uint8_t *>(record.constData()));
            }
            break;
        case TCompilerCall::Variable:
            if (addVar)
                addVar(c.name.constData(), c.value);
            break;
        case TCompilerCall::End:
            break;
        }
    }
    if (succeed && infoEnd)
        infoEnd();
    return succeed ? 1 : 0;
}

} // namespace tessel
