#include "platform/log/LogSink.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace zyr::log;

TEST(LogSink, RecorderTakesEventsUnderTheSourceAndResetRestoresTheSystemSink)
{
    {
        ScopedRecordingLog log;
        ReportEvent("one event");
        WriteDebugLine("one line");
        ASSERT_EQ(log.recorder.events.size(), 1u);
        EXPECT_EQ(log.recorder.events[0].source, "ZyrSecurity");
        EXPECT_EQ(log.recorder.events[0].text, "one event");
        EXPECT_EQ(log.recorder.debugLines, std::vector<std::string>{"one line"});
    }
    EXPECT_EQ(dynamic_cast<RecordingLogSink*>(&Sink()), nullptr);
}

TEST(LogSink, SystemDebugSinkEchoesToStandardErrorOnlyWhenAsked)
{
    ResetLogSink();
    unsetenv("ZYR_DEBUG");
    ::testing::internal::CaptureStderr();
    WriteDebugLine("quiet line");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    setenv("ZYR_DEBUG", "1", 1);
    ::testing::internal::CaptureStderr();
    WriteDebugLine("~~~~ GetUserName return: 0xcb");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "~~~~ GetUserName return: 0xcb\n");
    unsetenv("ZYR_DEBUG");
}
