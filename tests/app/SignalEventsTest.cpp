#include "app/SignalEvents.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "support/FakeCompilerLibrary.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <memory>

using namespace tessel;

TEST(SignalEvents, TakesTheTableOfASuccessfulBuildOnly) {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    auto previous = SetCompilerLibrary(std::make_unique<TFakeCompilerLibrary>());
    auto &fake = static_cast<TFakeCompilerLibrary &>(*CompilerLibrary());
    auto act = [](double t, uint32_t code) { return TCompilerCall{TCompilerCall::Action, t, code, {}, {}, 0}; };
    {
        TCompiler c;
        c.Constants.TimerBits = 32; // no timer fillers between the closing events
        QStringList log;
        // Line 3 pulses from 1 ms to 2 ms; the table closes at rest, then off.
        fake.script = {act(0.001, 0x8), act(0.002, kResetBit | 0x8)};
        ASSERT_EQ(c.CompileProtocol({"protocol"}, log, nullptr), kBuildOk);
        const std::vector<std::pair<double, uint32_t>> expected{
            {0.001, 0x88}, {0.002, 0x80}, {0.302, 0x80}, {0.802, 0}};
        const auto events = SignalEventsOf(c);
        ASSERT_EQ(events.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(events[i].first, expected[i].first, 1e-12);
            EXPECT_EQ(events[i].second, expected[i].second);
        }
        // A failed build leaves raw actions behind, which are no table.
        fake.script = {act(0, 0x4), act(1e-6, 0x4)};
        ASSERT_EQ(c.CompileProtocol({"protocol"}, log, nullptr), kBuildTimingError);
        EXPECT_TRUE(SignalEventsOf(c).empty());
    }
    SetCompilerLibrary(std::move(previous));
}
