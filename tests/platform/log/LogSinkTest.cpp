#include "platform/log/LogSink.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace zyr::log;

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
