// Any text as an expression: only the evaluator's own errors may come out.
#include "authoring/Evaluator.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace tessel;
    TEvaluator e;
    e.AddVariable(QStringLiteral("x"), 2.5);
    e.AddVariable(QStringLiteral("Level"), -1e300);
    e.SetExpression(QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size)));
    try {
        const double v = e.Evaluate();
        // Every value the evaluator returns is finite; the variables are.
        if (std::isnan(v) || std::isinf(v))
            std::abort();
    } catch (const EEvaluatorError &) {
    } catch (const EArithmeticError &) {
    }
    return 0;
}
